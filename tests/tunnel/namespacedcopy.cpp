// One running copy of the engine driven line by line over standard input, so that a test can
// run copies as processes of its own (in network namespaces, or to kill them mid-transfer).
// Commands (fields separated by tabs):
//   trust <authority file>           trust that authority for outgoing connections
//   send <host text> <path> [kb/s]   a direct send, raw (a folder as an archive), with an
//                                    optional band limit
//   open <host text>                 open a receive tunnel to that copy
//   tunnelsend <host> <path>         a send through the newest open tunnel from <host>
//   tunnels                          the tunnel list, one "ROW" line per row, then "END"
//   rule <host> <folder>             an auto-receive rule for requests from <host>
//   start <host text> <path> <kb>    a direct raw send with a band limit (Kb/sec), answered
//                                    at once with "started"
//   sendstate                        the newest send: state, status line, UPLOADS row status
//   receivestate                     the newest receive: state ("gone" once the hub let it
//                                    go), status line, DOWNLOADS row status
//   takecounts                       bytes received and sent since the last takecounts
//   quit
// Every command but "tunnels" answers with one line "RESULT <text>" (fields separated by
// tabs). Each request that no auto-receive rule takes is accepted into the folder given with
// --accept-into.
#include "core/base/handoverlock.h"
#include "core/installation.h"
#include "core/transferhub.h"
#include "receive/autoreceiverules.h"
#include "receive/receivetransfer.h"
#include "send/sendinputs.h"
#include "send/sendtransfer.h"
#include "stats/ratecounters.h"
#include "tests/support/enginecopy.h"
#include "tests/support/tempprofile.h"
#include "tunnel/tunnellist.h"
#include "tunnel/tunnelopener.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

constexpr int CommandTimeoutMs = 60000;

void Say(const QString& line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// A send has ended when it completed, failed or was refused; a failed
// connection leaves it ready to try again with a red status.
QString StateWord(SendTransfer::State state)
{
    switch (state) {
    case SendTransfer::State::Preparing:
        return QStringLiteral("Preparing");
    case SendTransfer::State::Connecting:
        return QStringLiteral("Connecting");
    case SendTransfer::State::Refused:
        return QStringLiteral("Refused");
    case SendTransfer::State::WaitingForArchive:
        return QStringLiteral("WaitingForArchive");
    case SendTransfer::State::Streaming:
        return QStringLiteral("Streaming");
    case SendTransfer::State::Broken:
        return QStringLiteral("Broken");
    case SendTransfer::State::Completed:
        return QStringLiteral("Completed");
    case SendTransfer::State::Closed:
        break;
    }
    return QStringLiteral("Closed");
}

QString StateWord(ReceiveTransfer::State state)
{
    switch (state) {
    case ReceiveTransfer::State::Pending:
        return QStringLiteral("Pending");
    case ReceiveTransfer::State::ResumeQuestion:
        return QStringLiteral("ResumeQuestion");
    case ReceiveTransfer::State::WaitingForData:
        return QStringLiteral("WaitingForData");
    case ReceiveTransfer::State::Receiving:
        return QStringLiteral("Receiving");
    case ReceiveTransfer::State::Decompressing:
        return QStringLiteral("Decompressing");
    case ReceiveTransfer::State::Completed:
        return QStringLiteral("Completed");
    case ReceiveTransfer::State::Interrupted:
        return QStringLiteral("Interrupted");
    case ReceiveTransfer::State::Failed:
        return QStringLiteral("Failed");
    case ReceiveTransfer::State::Closed:
        break;
    }
    return QStringLiteral("Closed");
}

QString TopStatus(TransferListModel& list)
{
    return list.rowCount() > 0 ? list.Cell(list.IdAt(0), TransferListModel::Status) : QString();
}

class Peer
{
public:
    Peer(EngineCopy& copy, const QString& acceptInto) : m_copy(copy), m_acceptInto(acceptInto)
    {
        QObject::connect(&copy, &EngineCopy::receiveOpened, [this](ReceiveTransfer* receive) {
            if (!receive->isAutoReceive())
                receive->Accept(QDir(m_acceptInto).filePath(receive->proposedName()));
        });
    }

    // False on "quit".
    bool Run(const QStringList& fields)
    {
        const QString& command = fields.value(0);
        if (command == QLatin1String("quit"))
            return false;
        if (command == QLatin1String("trust")) {
            const bool ok = installation::TrustAuthority(m_copy.folder(), fields.value(1)).ok;
            Say(QStringLiteral("RESULT\t") +
                (ok ? QStringLiteral("trusted") : QStringLiteral("not trusted")));
        } else if (command == QLatin1String("send")) {
            SendInputs inputs;
            inputs.hostText = fields.value(1);
            Send(fields.value(2), inputs, fields.value(3).toUInt());
        } else if (command == QLatin1String("tunnelsend")) {
            SendInputs inputs;
            inputs.direct = false;
            for (const QString& choice : m_copy.hub().tunnels().TunnelChoices())
                if (choice.startsWith(fields.value(1) + QLatin1String(" ("))) {
                    inputs.tunnelText = choice;
                    break;
                }
            Send(fields.value(2), inputs);
        } else if (command == QLatin1String("rule")) {
            const bool ok =
                m_copy.rules().Add({fields.value(1), fields.value(2), QStringLiteral("0")}) ==
                AutoReceiveRules::Check::Ok;
            Say(QStringLiteral("RESULT\t") +
                (ok ? QStringLiteral("added") : QStringLiteral("refused")));
        } else if (command == QLatin1String("start")) {
            SendInputs inputs;
            inputs.hostText = fields.value(1);
            QPointer<SendTransfer> send = m_copy.OpenSend(fields.value(2), false);
            send->SetBandLimit(fields.value(3).toUInt());
            send->Send(inputs);
            Say(QStringLiteral("RESULT\tstarted"));
        } else if (command == QLatin1String("sendstate")) {
            const QPointer<SendTransfer> send =
                m_copy.sends().empty() ? nullptr : m_copy.sends().back();
            Say(QStringList{QStringLiteral("RESULT"),
                            send ? StateWord(send->state()) : QStringLiteral("gone"),
                            send ? send->view().statusText : QString(), TopStatus(m_copy.uploads())}
                    .join(QLatin1Char('\t')));
        } else if (command == QLatin1String("receivestate")) {
            const QPointer<ReceiveTransfer> receive =
                m_copy.receives().empty() ? nullptr : m_copy.receives().back();
            Say(QStringList{QStringLiteral("RESULT"),
                            receive ? StateWord(receive->state()) : QStringLiteral("gone"),
                            receive ? receive->view().statusText : QString(),
                            TopStatus(m_copy.downloads())}
                    .join(QLatin1Char('\t')));
        } else if (command == QLatin1String("takecounts")) {
            const RateCounters::Taken taken = m_copy.counters().TakeAndReset();
            Say(QStringLiteral("RESULT\t%1\t%2").arg(taken.downloadBytes).arg(taken.uploadBytes));
        } else if (command == QLatin1String("open")) {
            Open(fields.value(1));
        } else if (command == QLatin1String("tunnels")) {
            for (const TunnelList::Row& row : m_copy.hub().tunnels().rows())
                Say(QStringList{QStringLiteral("ROW"), row.type(), row.host, row.nickName,
                                row.status()}
                        .join(QLatin1Char('\t')));
            Say(QStringLiteral("END"));
        } else {
            Say(QStringLiteral("RESULT\tunknown command ") + command);
        }
        return true;
    }

private:
    void Send(const QString& path, const SendInputs& inputs, std::uint32_t bandLimit = 0)
    {
        QPointer<SendTransfer> send = m_copy.OpenSend(path, false);
        send->SetBandLimit(bandLimit);
        send->Send(inputs);
        WaitUntil([&] { return !send || send->Settled(); }, CommandTimeoutMs);
        Say(QStringLiteral("RESULT\t") +
            (send ? send->view().statusText : QStringLiteral("(closed)")));
        if (send)
            send->Close();
    }

    void Open(const QString& hostText)
    {
        TunnelOpener opener(m_copy.hub().services(), m_copy.hub().tunnels());
        bool opened = false;
        QObject::connect(&opener, &TunnelOpener::opened, [&] { opened = true; });
        opener.Open(hostText);
        WaitUntil([&] { return opened || opener.view().openEnabled; }, CommandTimeoutMs);
        Say(QStringLiteral("RESULT\t") +
            (opened ? QStringLiteral("opened") : opener.view().statusText));
    }

    EngineCopy& m_copy;
    QString m_acceptInto;
};

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    InstallHandOverMarks(app);

    QCommandLineParser parser;
    const QCommandLineOption home(QStringLiteral("home"), QStringLiteral("profile folder"),
                                  QStringLiteral("folder"));
    const QCommandLineOption nick(QStringLiteral("nick"), QStringLiteral("nickname"),
                                  QStringLiteral("name"));
    const QCommandLineOption acceptInto(QStringLiteral("accept-into"),
                                        QStringLiteral("where requests are saved"),
                                        QStringLiteral("folder"));
    parser.addOptions({home, nick, acceptInto});
    parser.process(app);

    EngineCopy::Options options;
    options.home = parser.value(home);
    options.nickName = parser.value(nick).toUtf8();
    EngineCopy copy(options);
    if (!copy.ok()) {
        Say(QStringLiteral("FAILED\t") + copy.error());
        return 1;
    }
    Peer peer(copy, parser.value(acceptInto));
    Say(QStringLiteral("READY\t%1\t%2")
            .arg(copy.port())
            .arg(copy.folder().file(installation::AuthorityFile)));

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            QCoreApplication::exit(0);
            return;
        }
        pending.append(buffer, got);
        // Commands wait in event loops of their own: no second command may start
        // meanwhile.
        input.setEnabled(false);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.left(end));
            pending.remove(0, end + 1);
            if (!peer.Run(line.split(QLatin1Char('\t')))) {
                QCoreApplication::exit(0);
                return;
            }
        }
        input.setEnabled(true);
    });
    return app.exec();
}
