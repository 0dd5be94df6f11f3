#include "tunnel/tunnelwaiter.h"

#include "net/tlssession.h"
#include "net/wirerecords.h"

namespace vantrel {

TunnelWaiter::TunnelWaiter(Accepts<tunnel::WaiterOutcome>* list, std::uint64_t rowId,
                           TlsSession& session, QByteArray ownNickName)
    : m_list(list), m_rowId(rowId), m_session(session), m_ownNickName(std::move(ownNickName))
{
}

TunnelWaiter::~TunnelWaiter()
{
    RequestStop();
    Join();
}

void TunnelWaiter::Start()
{
    m_worker.stop().AttachSocket(m_session.SocketDescriptor());
    m_worker.Start([this] { Run(); });
}

void TunnelWaiter::RequestStop()
{
    m_worker.RequestStop();
}

void TunnelWaiter::Join()
{
    m_worker.Join();
}

void TunnelWaiter::Run()
{
    tunnel::WaiterOutcome outcome;
    outcome.rowId = m_rowId;
    // The whole record, even when it comes in pieces: a request split across TLS records is
    // still a request.
    outcome.request = ReadRequest(m_session);
    if (outcome.request && !outcome.request->VersionMatches()) {
        outcome.versionMismatch = true;
        WriteReply(m_session, ReplyHeader::VersionMismatch(m_ownNickName));
    }
    // From here on a stop no longer touches the socket, which is closed below or handed on.
    m_worker.stop().DetachSocket();
    if (m_worker.StopRequested())
        return; // whoever stopped the waiter ends the session
    if (!outcome.request || outcome.versionMismatch)
        m_session.Close();
    HandOver(m_list, std::move(outcome));
}

} // namespace vantrel
