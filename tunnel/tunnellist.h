#pragma once

#include "core/base/handover.h"
#include "core/base/hubmessages.h"
#include "tunnel/tunnelhandle.h"
#include "tunnel/tunnelstate.h"
#include "tunnel/waiteroutcome.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QTimer;

namespace vantrel {

class TlsSession;
struct TunnelRegistration;

// The receive tunnels of one running copy, newest first, on the UI thread. Incoming rows
// hold a session a peer registered here until a send takes it; Outgoing rows hold a session
// opened from here and the waiter that reads the sender's request from it. Every change of a
// row or its handle happens on the UI thread; a waiter is always stopped and joined before
// its session is freed.
class TunnelList : public QObject, public Inbox<tunnel::WaiterOutcome>
{
    Q_OBJECT
public:
    struct Row
    {
        std::uint64_t id = 0;
        bool incoming = true;
        QString host;
        QString nickName;
        TunnelState state = TunnelState::Dropped;
        std::unique_ptr<TunnelHandle> handle;

        QString type() const;
        QString status() const { return TunnelStateText(state); }
        int statusImage() const { return TunnelStateImage(state); }
        bool holdsSession() const { return handle && handle->session; }
    };

    static constexpr int CheckIntervalMs = 60000;
    // Open Incoming tunnels from one address: a peer that registers more closes its oldest,
    // so that no address can hold sockets here without end. Room for the two a peer may
    // keep, and some to spare.
    static constexpr int MaxOpenPerAddress = 4;

    // hub: where a request read on an Outgoing tunnel goes (UM_INCOMING_REQUEST);
    // ownNickName: what a Version-mismatch reply names.
    TunnelList(HubInbox* hub, std::function<QByteArray()> ownNickName, QObject* parent = nullptr);
    ~TunnelList() override; // closes every tunnel
    TunnelList(const TunnelList&) = delete;
    TunnelList& operator=(const TunnelList&) = delete;

    const std::vector<Row>& rows() const { return m_rows; }
    const Row* row(std::uint64_t id) const;

    // A registration from the listener: "Open" with its session, or "Dropped". One more
    // than MaxOpenPerAddress from the same address closes the oldest of them.
    void AddIncoming(std::unique_ptr<TunnelRegistration> registration);
    // A tunnel opened from here to `host`: its row goes on top, then its waiter starts.
    void AddOutgoing(const QString& host, std::unique_ptr<TlsSession> session);
    // The session of the newest Incoming row from exactly `host` that holds one; the row
    // turns "Used". None when there is no such row.
    std::unique_ptr<TlsSession> TakeForSend(const QString& host);
    // Every Incoming row holding a session whose peer has closed (or broken the protocol)
    // turns "Closed".
    void ProbeAll();
    // Probes, then "host (nick)" of every Incoming row still holding a session, top to bottom.
    QStringList TunnelChoices();
    // "Close Selected Tunnel": only an Open row is closed.
    void CloseRow(std::uint64_t id);
    // Every row that is not Open goes.
    void ClearInactive();
    // Closes every tunnel: open rows turn "Closed" (the program is ending).
    void CloseAll();

    QTimer* checkTimer() const { return m_checkTimer; }

signals:
    void changed();

private:
    void Take(tunnel::WaiterOutcome outcome) override;
    Row* FindRow(std::uint64_t id);
    // Makes room for one more open Incoming tunnel from `address`.
    void CloseOldestBeyondLimit(std::uint32_t address);
    // Stops and joins the row's waiter, then closes a session still held and drops the handle.
    static void EndHandle(Row& row);
    // The peer of an idle Incoming tunnel has gone: its session is dropped.
    static bool Probe(Row& row);

    HubInbox* m_hub;
    std::function<QByteArray()> m_ownNickName;
    std::vector<Row> m_rows; // newest first
    std::uint64_t m_nextId = 1;
    QTimer* m_checkTimer;
};

} // namespace vantrel
