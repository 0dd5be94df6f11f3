#include "core/headlessserver.h"

#include "core/transferhub.h"
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
            [this](QObject* transfer) { m_followed.erase(transfer); });
}

HeadlessServer::~HeadlessServer() = default;

QString HeadlessServer::RefusalComment()
{
    return tr("Nobody can answer requests on this computer now: it runs without a display and "
              "accepts only its auto-receive rules.");
}

void HeadlessServer::OnReceiveOpened(ReceiveTransfer* transfer)
{
    m_followed[transfer] = Followed();
    connect(transfer, &ReceiveTransfer::viewChanged, this,
            [this, transfer] { OnViewChanged(transfer); });
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
    m_followed[transfer].refused = true;
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

void HeadlessServer::OnViewChanged(ReceiveTransfer* transfer)
{
    const auto found = m_followed.find(transfer);
    if (found == m_followed.end())
        return;
    Followed& followed = found->second;
    if (followed.refused || followed.ended)
        return;
    switch (transfer->state()) {
    case State::ResumeQuestion:
        followed.askedResume = true;
        break;
    case State::WaitingForData:
        if (!followed.accepted) {
            followed.accepted = true;
            Print(tr("Accepted"), *transfer,
                  (followed.askedResume ? tr("resuming into %1") : tr("saving as %1"))
                      .arg(transfer->targetPath()));
        }
        break;
    case State::Completed:
        followed.ended = true;
        Print(tr("Completed"), *transfer, tr("saved as %1").arg(transfer->targetPath()));
        // "Done".
        Later(transfer, [](ReceiveTransfer* t) { t->Close(); });
        break;
    case State::Interrupted:
        followed.ended = true;
        Print(tr("Failed"), *transfer,
              tr("%1; what arrived is kept for a later resume").arg(transfer->view().statusText));
        // An auto-receive keeps its data and closes by itself; anything else is kept the
        // same way rather than lost.
        if (!transfer->isAutoReceive())
            Later(transfer, [](ReceiveTransfer* t) { t->SaveForLaterResume(); });
        break;
    case State::Failed:
    case State::Closed:
        // A failure closes the transfer by itself.
        followed.ended = true;
        Print(tr("Failed"), *transfer, transfer->view().statusText);
        break;
    case State::Pending:
    case State::Receiving:
    case State::Decompressing:
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
