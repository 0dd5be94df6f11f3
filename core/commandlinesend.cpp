#include "core/commandlinesend.h"

#include "core/base/settingsstore.h"
#include "core/installation.h"
#include "core/profile.h"
#include "core/programcore.h"
#include "core/quitonsignals.h"
#include "core/transferhub.h"
#include "net/certificates.h"
#include "send/sendinputs.h"
#include "send/sendtransfer.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QTextStream>
#include <QTimer>

namespace vantrel::commandlinesend {

namespace {

QString Stripped(const QString& status)
{
    return status.startsWith(QLatin1String("Status:")) ? status.mid(7).trimmed() : status;
}

class Progress
{
public:
    Progress(QTextStream& out, bool terminal) : m_out(out), m_terminal(terminal) {}

    void Show(const SendView& view)
    {
        if (!view.progressSending || view.progressMax == 0)
            return;
        const int percent = int(qint64(view.progressPosition) * 100 / view.progressMax);
        if (m_terminal) {
            const int filled = percent * Width / 100;
            m_out << '\r' << '[' << QString(filled, QLatin1Char('#'))
                  << QString(Width - filled, QLatin1Char(' ')) << "] " << percent << "%  "
                  << view.dataText << "  " << view.speed << "  " << view.timeLeft << "\x1b[K";
            m_out.flush();
            m_drawn = true;
            return;
        }
        // Plain lines: one at each quarter reached.
        const int quarter = percent / 25;
        if (quarter <= m_quarter)
            return;
        m_quarter = quarter;
        m_out << percent << "%  " << view.dataText << "  " << view.speed << Qt::endl;
    }

    void Finish()
    {
        if (m_drawn)
            m_out << Qt::endl;
        m_drawn = false;
    }

private:
    static constexpr int Width = 30;
    QTextStream& m_out;
    bool m_terminal;
    bool m_drawn = false;
    int m_quarter = -1;
};

int Outcome(const SendTransfer& send, const SendRequest& request, QTextStream& out,
            QTextStream& errors)
{
    const SendOutcome& outcome = send.outcome();
    const int code = ExitCodeOf(outcome.reason);
    if (code == Delivered) {
        out << "Delivered: " << request.path << " to " << request.hostText << Qt::endl;
        return code;
    }
    const SendView& view = send.view();
    errors << "Vantrel: " << Stripped(view.statusText) << Qt::endl;
    if (outcome.reason == SendReason::Refused && !outcome.refusalComment.isEmpty())
        errors << view.refusalLabel << ": " << outcome.refusalComment << Qt::endl;
    if (code == Untrusted && send.presentedCertificate().isEmpty())
        errors << "The receiver's certificate is not signed by an authority this profile "
                  "trusts. Get its authority (vantrel --export-ca FILE on the receiver), "
                  "check its fingerprint there (vantrel --print-ca), and trust it here with "
                  "vantrel --trust FILE."
               << Qt::endl;
    return code;
}

QString Indented(const QString& text)
{
    return QStringLiteral("  ") + QString(text).replace(QLatin1Char('\n'), QStringLiteral("\n  "));
}

QString HexDigits(const QString& fingerprint)
{
    QString digits;
    for (const QChar c : fingerprint) {
        if (c.isLetterOrNumber())
            digits += c.toUpper();
    }
    return digits;
}

// What an untrusted receiver presented, and how to trust it. True when its authority is to be
// trusted now: its fingerprint is the one given with --trust-fingerprint, or the person at
// the terminal said yes.
bool ShowUntrusted(const SendTransfer& send, const SendRequest& request, QTextStream& errors,
                   const std::function<bool(const QString&)>& ask)
{
    const QByteArray& authority = send.presentedAuthority();
    if (authority.isEmpty()) {
        const QByteArray& certificate = send.presentedCertificate();
        errors << "The receiver presented its own certificate ("
               << certificates::SubjectText(certificate)
               << ") without its authority; its certificate's SHA-256 fingerprint is:\n"
               << Indented(certificates::ReadableFingerprint(certificate)) << "\n"
               << "A certificate alone cannot be trusted. Get the receiver's authority file "
                  "(vantrel --export-ca FILE there, or its ca.pem) and trust it here with "
                  "vantrel --trust FILE, or in the Trusted computers window."
               << Qt::endl;
        return false;
    }
    errors << "The receiver's authority is " << certificates::SubjectText(authority)
           << ", SHA-256 fingerprint:\n"
           << Indented(certificates::ReadableFingerprint(authority)) << "\n"
           << "Compare it with the one the receiver shows (its Options page, or vantrel "
              "--print-ca there). To trust it: answer yes here on a terminal, send again with "
              "--trust-fingerprint and that fingerprint, or import its authority file with "
              "vantrel --trust FILE (also in the Trusted computers window)."
           << Qt::endl;
    if (!request.trustFingerprint.isEmpty()) {
        if (HexDigits(certificates::Fingerprint(authority)) == request.trustFingerprint)
            return true;
        errors << "Vantrel: that is not the fingerprint given with --trust-fingerprint; "
                  "nothing was changed."
               << Qt::endl;
        return false;
    }
    return ask && ask(QStringLiteral("Trust this computer? [y/N] "));
}

} // namespace

int ExitCodeOf(SendReason reason)
{
    switch (reason) {
    case SendReason::Delivered:
        return Delivered;
    case SendReason::Refused:
        return Refused;
    case SendReason::Unresolved:
    case SendReason::Unreachable:
        return Unreachable;
    case SendReason::NotTrusted:
    case SendReason::HandshakeFailed:
        return Untrusted;
    case SendReason::VersionMismatch:
        return VersionMismatch;
    case SendReason::Cancelled:
        return Interrupted;
    case SendReason::None:
    case SendReason::TlsUnavailable:
    case SendReason::TrustListUnreadable:
    case SendReason::TrustListUnwritable:
    case SendReason::TunnelClosed:
    case SendReason::ConnectionReset:
    case SendReason::PathMissing:
    case SendReason::NotSendable:
    case SendReason::TooLarge:
    case SendReason::NoName:
    case SendReason::NameTooLong:
    case SendReason::CompressionFailed:
    case SendReason::NoSpaceToCompress:
    case SendReason::ArchiveTooLarge:
    case SendReason::SourceUnreadable:
    case SendReason::SourceShrank:
    case SendReason::ChangedWhileSent:
    case SendReason::ResumeBeyondEnd:
        break;
    }
    return Failed;
}

int Run(const Profile& profile, const SendRequest& request, QTextStream& out, QTextStream& errors,
        bool terminal, const std::function<bool(const QString& question)>& ask)
{
    if (!QFileInfo::exists(request.path)) {
        errors << "Vantrel: " << request.path << " does not exist." << Qt::endl;
        return Failed;
    }
    {
        SettingsStore store(profile.iniFile());
        if (!installation::IsInstalled(store)) {
            const installation::Result installed = installation::Install(profile, store);
            if (!installed.ok) {
                errors << installed.message << Qt::endl;
                return Failed;
            }
        }
    }
    ProgramCore core(profile);
    ProgramCore::Options options;
    options.listen = false;
    if (core.Initialise(options) != ProgramCore::InitResult::Ok) {
        errors << "Vantrel: cannot set up the TLS library or the compression component."
               << Qt::endl;
        return Failed;
    }

    QuitOnSignals stop;
    QPointer<SendTransfer> send = core.hub()->OpenSend(request.path);
    send->FirstShow();
    if (send->Settled()) { // the path could not be read
        errors << "Vantrel: " << Stripped(send->view().statusText) << Qt::endl;
        return ExitCodeOf(send->outcome().reason);
    }
    send->SetCompression(request.compress);
    send->SetBandLimit(request.bandLimit);
    SendInputs inputs;
    inputs.hostText = request.hostText;
    inputs.description = request.comment;

    QEventLoop loop;
    bool interrupted = false;
    Progress progress(out, terminal);
    QObject::connect(&stop, &QuitOnSignals::quitRequested, &loop, [&] {
        interrupted = true;
        loop.quit();
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!send || send->Settled()) {
            loop.quit();
            return;
        }
        progress.Show(send->view());
    });
    poll.start(250);
    send->Send(inputs);
    for (;;) {
        loop.exec();
        progress.Finish();

        if (interrupted || !send) {
            if (send)
                send->Close(); // the receiver sees the connection end and keeps what it has
            errors << "Vantrel: interrupted; sending the same again resumes where the receiver "
                      "kept the data."
                   << Qt::endl;
            return Interrupted;
        }
        const int code = Outcome(*send, request, out, errors);
        if (code == Untrusted && !send->presentedCertificate().isEmpty() &&
            ShowUntrusted(*send, request, errors, ask)) {
            errors << "Now trusting " << certificates::SubjectText(send->presentedAuthority())
                   << "; sending again." << Qt::endl;
            send->TrustReceiver(); // sends again at once
            if (!send->Settled())
                continue;
        }
        send->Close();
        return code;
    }
}

} // namespace vantrel::commandlinesend
