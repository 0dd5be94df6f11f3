#pragma once

#include "core/base/hubmessages.h"
#include "core/base/transferlistmodel.h"
#include "core/base/transferservices.h"
#include "tunnel/tunnellist.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace vantrel {

class AutoReceiveRules;
class IncomingPolicy;
class ReceiveTransfer;
class SendTransfer;
class SettingsStore;

// The hub of one running copy, on the UI thread: the DOWNLOADS and UPLOADS lists, the live
// transfers behind their active rows, the active-transfer count with its tray hint, and the
// messages that the listener and the transfers hand to it. Windows render what it exposes
// and follow its signals; it never touches one.
class TransferHub : public QObject, public HubInbox
{
    Q_OBJECT
public:
    // What the closing saves, besides the resume list of the services.
    struct Stores
    {
        std::function<void()> saveSettings;
        IncomingPolicy* policy = nullptr;
        SettingsStore* store = nullptr; // where the policy is saved
        AutoReceiveRules* rules = nullptr;
        // The "Check for Updates" option now: whether a new version is announced.
        std::function<bool()> updateNoticeWanted;
        std::function<void()> saveBook; // the dynamic DNS book
    };

    static inline const QString NoPublicAddress = QStringLiteral("Unable to get Address");
    static inline const QString InitialTrayHint =
        QStringLiteral("There are no transfers in progress...");

    // `services.hub` and, when empty, `services.takeTunnel` are pointed at this hub and its
    // tunnel list.
    TransferHub(const TransferServices& services, const Stores& stores, QObject* parent = nullptr);
    ~TransferHub() override; // frees the live transfers and closes the tunnels

    TransferListModel& downloads() { return m_downloads; }
    TransferListModel& uploads() { return m_uploads; }
    TransferListModel& list(TransferListModel::Kind kind);
    const TransferServices& services() const { return m_services; }

    int activeCount() const { return m_activeCount; }
    QString trayHint() const { return m_trayHint; }
    bool trayAnimating() const { return m_trayAnimating; }

    // A send window's transfer and its UPLOADS row for a handed-off path.
    SendTransfer* OpenSend(const QString& path);

    // The window caption of a live receive transfer ("New File Receive Request from <peer>
    // (<nick>)", or "New File Auto-Receive from ..." when a rule matched), or "" when the
    // transfer is not one of ours.
    QString ReceiveCaption(const ReceiveTransfer* transfer) const;

    // "Show all Active" / "Hide all Active": the transfers of a list's active rows, top to
    // bottom. "Clear all Inactive": the inactive rows go, the active ones keep their order.
    std::vector<QObject*> ActiveTransfers(TransferListModel::Kind kind) const;
    void ClearInactive(TransferListModel::Kind kind);

    // False while any transfer is active; the windows are then asked to show them all.
    bool RequestClose();
    // After an allowed close, or a stop by signal: receives still running end as interrupted
    // and keep their data for a resume; then it saves settings, policy, resume list and rules
    // in that order, and deletes the temporary send archives ("VN*") of the temporary folder.
    void Closing();

    // The receive tunnels: registrations arrive here, sends take their sessions from it.
    TunnelList& tunnels() { return m_tunnels; }

public slots:
    void StartTrayAnimation();
    void StopTrayAnimation();

signals:
    void receiveOpened(vantrel::ReceiveTransfer* transfer);
    void sendOpened(vantrel::SendTransfer* transfer);
    // The transfer is about to be destroyed: its window must go now.
    void transferClosing(QObject* transfer);
    void activeCountChanged(int count);
    void trayHintChanged(const QString& hint);
    void trayAnimationChanged(bool on);
    // Bring the program back from the tray to the front.
    void restoreRequested();
    // A refused close: every transfer window is to be shown, DOWNLOADS first, top to bottom.
    void showAllTransferWindows();
    // A transfer closed: the band-limit dialog lets go of it and closes.
    void bandLimitDialogDetach();
    void tunnelsChanged();
    // The Internet address list's one row: an address or NoPublicAddress.
    void publicAddressChanged(const QString& text);
    // An update check got its answer: the periodic checks end.
    void updateAnswered();
    // The program comes to the front (restoreRequested first), then the notice is shown.
    void newVersionAvailable(double version, const QString& downloadUrl,
                             const QString& featuresUrl);

private:
    // A live transfer of either direction and the row it was opened with.
    template <typename Transfer> struct Live
    {
        std::unique_ptr<Transfer> transfer;
        TransferListModel::RowId row = 0;
    };

    void Take(hub::UM_INCOMING_REQUEST message) override;
    void Take(hub::UM_REQUEST_DROPPED message) override;
    void Take(hub::UM_RECEIVE_CLOSED message) override;
    void Take(hub::UM_SEND_CLOSED message) override;
    void Take(hub::UM_TUNNEL_REGISTERED message) override;
    void Take(hub::UM_RESUMES_CHANGED) override;
    void Take(hub::UM_PUBLIC_ADDRESS message) override;
    void Take(hub::UM_UPDATE_ANSWERED) override;
    void Take(hub::UM_NEW_VERSION message) override;
    // A closed transfer leaves its list and is destroyed; one already retired is ignored.
    template <typename Transfer>
    void RetireTransfer(std::vector<Live<Transfer>>& lives, TransferListModel& list,
                        Transfer* transfer);
    void ChangeActiveCount(int delta);
    void DeleteTemporaryArchives() const;

    TransferServices m_services;
    Stores m_stores;
    // The models outlive the transfers, which update their rows until destroyed.
    TransferListModel m_downloads;
    TransferListModel m_uploads;
    std::vector<Live<ReceiveTransfer>> m_receives;
    std::vector<Live<SendTransfer>> m_sends;
    TunnelList m_tunnels;
    int m_activeCount = 0;
    QString m_trayHint = InitialTrayHint;
    bool m_trayAnimating = false;
};

} // namespace vantrel
