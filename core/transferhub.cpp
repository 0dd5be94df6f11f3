#include "core/transferhub.h"

#include "core/base/rowref.h"
#include "core/base/settingsstore.h"
#include "net/incomingrequest.h"
#include "net/tlssession.h"
#include "receive/autoreceiverules.h"
#include "receive/receivetransfer.h"
#include "receive/resumecache.h"
#include "receive/safename.h"
#include "send/recenthosts.h"
#include "send/sendtransfer.h"
#include "stats/formatsize.h"
#include "tunnel/incomingpolicy.h"
#include "tunnel/tunnelregistration.h"

#include <QDir>
#include <QFile>
#include <QSignalBlocker>

#include <algorithm>

namespace vantrel {

TransferHub::TransferHub(const TransferServices& services, const Stores& stores, QObject* parent)
    : QObject(parent), m_services(services), m_stores(stores),
      m_downloads(TransferListModel::Kind::Downloads), m_uploads(TransferListModel::Kind::Uploads),
      m_tunnels(this, services.ownNickName)
{
    m_services.hub = this;
    if (!m_services.takeTunnel)
        m_services.takeTunnel = [this](const QString& host) { return m_tunnels.TakeForSend(host); };
    connect(&m_tunnels, &TunnelList::changed, this, &TransferHub::tunnelsChanged);
}

TransferHub::~TransferHub()
{
    // Transfers first: they write to rows of the lists and post to this object.
    m_receives.clear();
    m_sends.clear();
    const QSignalBlocker quiet(this); // nothing is listening for news any more
    m_tunnels.CloseAll();
}

TransferListModel& TransferHub::list(TransferListModel::Kind kind)
{
    return kind == TransferListModel::Kind::Downloads ? m_downloads : m_uploads;
}

void TransferHub::Take(hub::UM_RESUMES_CHANGED)
{
    if (m_services.resumes)
        m_services.resumes->Save();
}

void TransferHub::Take(hub::UM_PUBLIC_ADDRESS message)
{
    emit publicAddressChanged(message.address.isEmpty() ? NoPublicAddress : message.address);
}

void TransferHub::Take(hub::UM_UPDATE_ANSWERED)
{
    emit updateAnswered();
}

void TransferHub::Take(hub::UM_NEW_VERSION message)
{
    if (m_stores.updateNoticeWanted && !m_stores.updateNoticeWanted())
        return;
    emit restoreRequested();
    emit newVersionAvailable(message.version, message.downloadUrl, message.featuresUrl);
}

void TransferHub::Take(hub::UM_INCOMING_REQUEST message)
{
    const std::unique_ptr<IncomingRequest> incoming = std::move(message.incoming);
    if (!incoming || !incoming->connection)
        return;
    const RequestHeader& request = incoming->request;
    const QString peerName = incoming->connection->peerName;
    const std::uint32_t address = incoming->connection->peerAddress;

    if (m_services.recentHosts)
        m_services.recentHosts->AddRecentHost(peerName, request.senderPort,
                                              safename::PrintableText(request.nickName));
    std::optional<AutoReceiveMatch> match;
    if (m_stores.rules)
        match = m_stores.rules->MatchAutoReceive(
            peerName, address != 0 ? std::optional<std::uint32_t>(address) : std::nullopt);

    // The transfer fills its row from the start, so the row exists before it does.
    const TransferListModel::RowId row = m_downloads.InsertTop(nullptr, peerName);
    Live<ReceiveTransfer> live;
    live.row = row;
    live.transfer =
        std::make_unique<ReceiveTransfer>(m_services, std::move(incoming->connection), request,
                                          RowRef{&m_downloads, row}, match, nullptr);
    ReceiveTransfer* transfer = live.transfer.get();
    m_downloads.Attach(row, transfer);
    // The animation announces a request until it is answered.
    connect(transfer, &ReceiveTransfer::answered, this, &TransferHub::StopTrayAnimation);
    m_receives.push_back(std::move(live));

    // The program comes back from the tray first, so that the new window opens above it.
    emit restoreRequested();
    emit receiveOpened(transfer);
    StartTrayAnimation();
    ChangeActiveCount(+1);
}

void TransferHub::Take(hub::UM_REQUEST_DROPPED message)
{
    const std::unique_ptr<IncomingRequest> incoming = std::move(message.incoming);
    if (!incoming || !incoming->connection)
        return;
    const RequestHeader& request = incoming->request;
    const TransferListModel::RowId row =
        m_downloads.InsertTop(nullptr, incoming->connection->peerName);
    m_downloads.SetStateIcon(row, TransferListModel::IconDropped);
    // The peer's texts as every other row shows them: no control characters.
    m_downloads.SetCell(row, TransferListModel::NickName,
                        safename::PrintableText(request.nickName));
    m_downloads.SetCell(row, TransferListModel::FileName,
                        safename::PrintableText(request.fileName));
    m_downloads.SetCell(row, TransferListModel::Dirs, QString::number(request.dirCount));
    m_downloads.SetCell(row, TransferListModel::Files, QString::number(request.fileCount));
    m_downloads.SetCell(row, TransferListModel::Size, FormatSize(request.totalSize));
    m_downloads.SetCell(row, TransferListModel::Status, tr("Dropped"));
    m_downloads.SetCell(row, TransferListModel::Speed, tr("-"));
    m_downloads.SetCell(row, TransferListModel::Progress, tr("-"));
}

SendTransfer* TransferHub::OpenSend(const QString& path)
{
    const TransferListModel::RowId row = m_uploads.InsertTop(nullptr, tr("N/A"));
    Live<SendTransfer> live;
    live.row = row;
    live.transfer =
        std::make_unique<SendTransfer>(m_services, path, RowRef{&m_uploads, row}, nullptr);
    SendTransfer* transfer = live.transfer.get();
    m_uploads.Attach(row, transfer);
    m_sends.push_back(std::move(live));

    emit restoreRequested();
    emit sendOpened(transfer);
    ChangeActiveCount(+1);
    return transfer;
}

void TransferHub::Take(hub::UM_RECEIVE_CLOSED message)
{
    RetireTransfer(m_receives, m_downloads, message.transfer);
}

void TransferHub::Take(hub::UM_SEND_CLOSED message)
{
    RetireTransfer(m_sends, m_uploads, message.transfer);
}

template <typename Transfer>
void TransferHub::RetireTransfer(std::vector<Live<Transfer>>& lives, TransferListModel& list,
                                 Transfer* transfer)
{
    const auto found =
        std::find_if(lives.begin(), lives.end(), [transfer](const Live<Transfer>& live) {
            return live.transfer.get() == transfer;
        });
    if (transfer == nullptr || found == lives.end())
        return; // already retired
    list.Detach(found->row);
    found->transfer.release();
    lives.erase(found);
    emit transferClosing(transfer);
    // Its workers were joined by its Close; what may still sit on the stack of this event's
    // sender (a window's slot) is safer left to the event loop. As a child it also goes with
    // the hub should the loop never come round again.
    transfer->setParent(this);
    transfer->deleteLater();
    ChangeActiveCount(-1);
    emit bandLimitDialogDetach();
}

void TransferHub::Take(hub::UM_TUNNEL_REGISTERED message)
{
    m_tunnels.AddIncoming(std::move(message.registration));
}

QString TransferHub::ReceiveCaption(const ReceiveTransfer* transfer) const
{
    for (const Live<ReceiveTransfer>& live : m_receives) {
        if (live.transfer.get() == transfer)
            return transfer->view().caption;
    }
    return {};
}

std::vector<QObject*> TransferHub::ActiveTransfers(TransferListModel::Kind kind) const
{
    return kind == TransferListModel::Kind::Downloads ? m_downloads.ActiveTransfers()
                                                      : m_uploads.ActiveTransfers();
}

void TransferHub::ClearInactive(TransferListModel::Kind kind)
{
    list(kind).ClearInactive();
}

void TransferHub::StartTrayAnimation()
{
    if (m_trayAnimating)
        return;
    m_trayAnimating = true;
    emit trayAnimationChanged(true);
}

void TransferHub::StopTrayAnimation()
{
    if (!m_trayAnimating)
        return;
    m_trayAnimating = false;
    emit trayAnimationChanged(false);
}

void TransferHub::ChangeActiveCount(int delta)
{
    m_activeCount += delta;
    m_trayHint = tr("Active Transfers: %1").arg(m_activeCount);
    emit activeCountChanged(m_activeCount);
    emit trayHintChanged(m_trayHint);
}

bool TransferHub::RequestClose()
{
    if (m_activeCount == 0)
        return true;
    emit restoreRequested();
    emit showAllTransferWindows();
    return false;
}

void TransferHub::Closing()
{
    // Only a stop by signal closes with transfers running: each receive keeps what it has
    // for a resume, before the resume list is saved below.
    for (const Live<ReceiveTransfer>& live : m_receives)
        live.transfer->KeepForExit();
    if (m_stores.saveSettings)
        m_stores.saveSettings();
    if (m_stores.policy && m_stores.store)
        m_stores.policy->Save(*m_stores.store);
    if (m_services.resumes)
        m_services.resumes->Save();
    if (m_stores.saveBook)
        m_stores.saveBook();
    if (m_stores.rules)
        m_stores.rules->Save(m_services.folder.file(QStringLiteral("autorec.vnt")));
    DeleteTemporaryArchives();
}

void TransferHub::DeleteTemporaryArchives() const
{
    // A file that cannot go (still in use) stays; the others are still tried.
    QDir temp(m_services.folder.tempFolder());
    const QStringList names =
        temp.entryList({QStringLiteral("VN*")}, QDir::Files | QDir::Hidden | QDir::CaseSensitive);
    for (const QString& name : names)
        QFile::remove(temp.filePath(name));
}

} // namespace vantrel

#include "moc_transferhub.cpp"
