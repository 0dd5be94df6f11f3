#pragma once

#include "core/base/handover.h"
#include "net/workerthread.h"
#include "tunnel/waiteroutcome.h"

#include <QByteArray>

#include <cstdint>

namespace vantrel {

class TlsSession;

// Sits on the session of an Outgoing tunnel and reads the request its sender pushes down it.
// A request of another protocol version is answered (Version-mismatch, with `ownNickName`)
// and the session closed here; a failed read closes it too. Either way the outcome goes to the
// tunnel list. The session belongs to the row's handle throughout: it is only read and, on
// those two endings, closed here; the owner frees it after the waiter has been joined.
class TunnelWaiter
{
public:
    TunnelWaiter(Accepts<tunnel::WaiterOutcome>* list, std::uint64_t rowId, TlsSession& session,
                 QByteArray ownNickName);
    ~TunnelWaiter(); // stops and joins
    TunnelWaiter(const TunnelWaiter&) = delete;
    TunnelWaiter& operator=(const TunnelWaiter&) = delete;

    void Start();
    // Cuts the blocked read short (the socket is shut down); no outcome follows.
    void RequestStop();
    void Join();

private:
    void Run();

    Accepts<tunnel::WaiterOutcome>* m_list;
    std::uint64_t m_rowId;
    TlsSession& m_session;
    QByteArray m_ownNickName;
    WorkerThread m_worker;
};

} // namespace vantrel
