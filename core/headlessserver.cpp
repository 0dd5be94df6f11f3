#include "core/headlessserver.h"

#include "core/transferhub.h"
#include "receive/receivestatustexts.h"
#include "receive/receivetransfer.h"
#include "stats/formatsize.h"

#include <QPointer>
#include <QTextStream>

namespace vantrel {

using State = ReceiveTransfer::State;

HeadlessServer::HeadlessServer(TransferHub& hub, QTextStream& out, QObject* parent)
    : QObject(parent), m_out(out)
{
    connect(&hub, &TransferHub::receiveOpened, this, &HeadlessServer::OnReceiveOpened);
    connect(&hub, &TransferHub::transferClosing, this,
            [this](QObject* transfer) { m_refused.erase(transfer); });
}

HeadlessServer::~HeadlessServer() = default;

QString HeadlessServer::RefusalComment()
{
    return tr("Nobody can answer requests on this computer now: it runs without a display and "
              "accepts only its auto-receive rules.");
}

void HeadlessServer::OnReceiveOpened(ReceiveTransfer* transfer)
{
    connect(transfer, &ReceiveTransfer::stateChanged, this,
            [this, transfer](const ReceiveOutcome& outcome) { OnStateChanged(transfer, outcome); });
    connect(transfer, &ReceiveTransfer::ended, this,
            [this, transfer](const ReceiveOutcome& outcome) { OnEnded(transfer, outcome); });
    Print(tr("Request"), *transfer,
          transfer->isAutoReceive() ? tr("an auto-receive rule matches")
                                    : tr("no auto-receive rule matches"));
    // A matched request answers itself from here (accept, resume, keep for later).
    transfer->Present();
    if (!transfer->isAutoReceive())
        Later(transfer, [this](ReceiveTransfer* t) { Refuse(t); });
}

void HeadlessServer::Refuse(ReceiveTransfer* transfer)
{
    m_refused.insert(transfer);
    Print(tr("Refused"), *transfer, RefusalComment());
    transfer->Abort(RefusalComment().toUtf8());
}

template <typename Step> void HeadlessServer::Later(ReceiveTransfer* transfer, Step step)
{
    QMetaObject::invokeMethod(
        this,
        [guarded = QPointer<ReceiveTransfer>(transfer), step] {
            if (guarded && guarded->state() != State::Closed)
                step(guarded.data());
        },
        Qt::QueuedConnection);
}

void HeadlessServer::OnStateChanged(ReceiveTransfer* transfer, const ReceiveOutcome& outcome)
{
    if (outcome.state != State::WaitingForData)
        return;
    Print(tr("Accepted"), *transfer,
          (outcome.resumeAsked ? tr("resuming into %1") : tr("saving as %1"))
              .arg(outcome.targetPath));
}

void HeadlessServer::OnEnded(ReceiveTransfer* transfer, const ReceiveOutcome& outcome)
{
    if (m_refused.count(transfer) != 0)
        return;
    switch (outcome.state) {
    case State::Completed:
        Print(tr("Completed"), *transfer, tr("saved as %1").arg(outcome.targetPath));
        // "Done".
        Later(transfer, [](ReceiveTransfer* t) { t->Close(); });
        break;
    case State::Interrupted:
        Print(
            tr("Failed"), *transfer,
            tr("%1; what arrived is kept for a later resume").arg(ReceiveStatusTexts::Of(outcome)));
        // An auto-receive keeps its data and closes by itself; anything else is kept the
        // same way rather than lost.
        if (!transfer->isAutoReceive())
            Later(transfer, [](ReceiveTransfer* t) { t->SaveForLaterResume(); });
        break;
    default:
        // Failed (which closes by itself), or closed before it ended.
        Print(tr("Failed"), *transfer, ReceiveStatusTexts::Of(outcome));
        break;
    }
}

void HeadlessServer::Print(const QString& outcome, const ReceiveTransfer& transfer,
                           const QString& detail)
{
    const RequestHeader& request = transfer.request();
    const QString what = transfer.isFile() ? tr("file \"%1\"") : tr("directory \"%1\"");
    QString line = tr("%1: %2 (%3), %4, %5 (%6 bytes)")
                       .arg(outcome, transfer.peerName(), transfer.view().nickName,
                            what.arg(transfer.proposedName()), FormatSize(request.totalSize),
                            QString::number(request.totalSize));
    if (!detail.isEmpty())
        line += QStringLiteral(": ") + detail;
    m_out << line << Qt::endl;
}

} // namespace vantrel
