#pragma once

#include "core/base/handover.h"
#include "core/base/transferservices.h"
#include "tunnel/openernotice.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

namespace vantrel {

class TunnelList;
class TunnelOpenWorker;

// Opens receive tunnels for the "Open New Receive Tunnel" window, on the UI thread: runs one
// worker at a time, words its progress for the status line and lists the opened tunnel as an
// Outgoing row. Aborting never waits for the peer, and an aborted attempt lists nothing.
class TunnelOpener : public QObject, public Inbox<tunnel::OpenerNotice>
{
    Q_OBJECT
public:
    struct View
    {
        QString statusText = QStringLiteral("Status: Idle");
        bool failure = false; // the status line in red
        bool openEnabled = true;
    };

    // services: the program folder (client trust list), the sounds, the own NickName and
    // ServerPort that the registration carries.
    TunnelOpener(const TransferServices& services, TunnelList& list, QObject* parent = nullptr);
    ~TunnelOpener() override; // aborts
    TunnelOpener(const TunnelOpener&) = delete;
    TunnelOpener& operator=(const TunnelOpener&) = delete;

    const View& view() const { return m_view; }
    bool running() const { return m_worker != nullptr; }

    // OPEN: an empty host text (after trimming) does nothing; otherwise OPEN is disabled and
    // a worker starts.
    void Open(const QString& hostText);
    // Stops and joins a running worker and frees what it holds; nothing is listed.
    void Abort();
    // The window is shown again: back to Idle.
    void Reset();

signals:
    void viewChanged();
    // The tunnel is listed: the window closes.
    void opened();

private:
    void Take(tunnel::OpenerNotice notice) override;
    void EndWorker();

    TransferServices m_services;
    TunnelList& m_list;
    View m_view;
    std::unique_ptr<TunnelOpenWorker> m_worker;
    std::uint64_t m_run = 0;
};

} // namespace vantrel
