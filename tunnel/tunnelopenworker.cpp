#include "tunnel/tunnelopenworker.h"

#include "net/clientcontext.h"
#include "net/connecttexts.h"
#include "net/securechannel.h"
#include "net/tlssession.h"
#include "net/wirerecords.h"
#include "netutil/hostlookup.h"
#include "netutil/parsehosttext.h"

namespace vantrel {

using tunnel::OpenerNotice;

TunnelOpenWorker::TunnelOpenWorker(Accepts<OpenerNotice>* opener, std::uint64_t run,
                                   Request request)
    : m_opener(opener), m_run(run), m_request(std::move(request))
{
}

TunnelOpenWorker::~TunnelOpenWorker()
{
    RequestStop();
    Join();
}

void TunnelOpenWorker::Start()
{
    m_worker.Start([this] { Run(); });
}

void TunnelOpenWorker::RequestStop()
{
    m_worker.RequestStop();
}

void TunnelOpenWorker::Join()
{
    m_worker.Join();
}

void TunnelOpenWorker::Post(OpenerNotice::Kind kind, const QString& text)
{
    if (m_worker.StopRequested())
        return;
    OpenerNotice notice;
    notice.kind = kind;
    notice.run = m_run;
    notice.statusText = text;
    HandOver(m_opener, std::move(notice));
}

void TunnelOpenWorker::Run()
{
    Post(OpenerNotice::Kind::Status, ConnectTexts::Resolving());
    const HostAndPort target = ParseHostText(m_request.hostText);
    const std::unique_ptr<ClientContext> context = SecureChannel::CreateClientContext();
    if (!context) {
        Post(OpenerNotice::Kind::Failed, ConnectTexts::TlsUnavailable());
        return;
    }

    const hostlookup::Address address = hostlookup::Resolve(target.host, m_worker.stop());
    if (address.outcome == hostlookup::Outcome::Stopped)
        return;
    if (address.outcome == hostlookup::Outcome::NotFound) {
        Post(OpenerNotice::Kind::Failed, ConnectTexts::Unresolved(target.host));
        return;
    }

    const QString dotted = SecureChannel::DottedAddress(address.ipv4);
    Post(OpenerNotice::Kind::Status, ConnectTexts::Connecting(dotted));
    SecureChannel::ConnectResult result = SecureChannel::ConnectSession(
        *context, m_request.trustListFile, address.ipv4, target.port,
        [&](SecureChannel::ConnectStep step) {
            Post(OpenerNotice::Kind::Status, ConnectTexts::Step(step, dotted));
        },
        &m_worker.stop());
    if (!result.session) {
        Post(OpenerNotice::Kind::Failed, ConnectTexts::Failure(result.failure, dotted));
        return;
    }
    std::unique_ptr<TlsSession> session = std::move(result.session);

    RequestHeader registration;
    registration.kind = static_cast<std::int32_t>(MessageKind::TunnelRegistration);
    registration.nickName = m_request.nickName; // cut to its field by the encoder
    registration.senderPort = m_request.senderPort;
    registration.rawFlag = 0;
    m_worker.stop().AttachSocket(session->SocketDescriptor());
    // The peer never answers a registration, and a refused one shows as a closed tunnel.
    WriteRequest(*session, registration);
    m_worker.stop().DetachSocket();
    if (m_worker.StopRequested()) {
        session->Drop();
        return;
    }

    OpenerNotice opened;
    opened.kind = OpenerNotice::Kind::Opened;
    opened.run = m_run;
    opened.session = std::move(session);
    opened.host = target.host;
    HandOver(m_opener, std::move(opened));
}

} // namespace vantrel
