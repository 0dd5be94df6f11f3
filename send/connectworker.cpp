#include "send/connectworker.h"

#include "net/securechannel.h"
#include "net/wirerecords.h"
#include "netutil/dyndnsbook.h"
#include "netutil/hostlookup.h"
#include "netutil/parsehosttext.h"
#include "send/recenthosts.h"
#include "send/sendcounters.h"
#include "send/sendnotice.h"

#include <chrono>

namespace vantrel {

ConnectWorker::ConnectWorker(SendWorkerInbox* transfer, std::uint64_t run, Request request,
                             SendCounters& shared, RecentHosts* recent, DynDnsBook* book)
    : m_transfer(transfer), m_run(run), m_request(std::move(request)), m_shared(shared),
      m_direct(!m_request.tunnelSession), m_recent(recent), m_book(book)
{
}

ConnectWorker::~ConnectWorker()
{
    RequestStop();
    Join();
    m_worker.stop().DetachSocket();
}

void ConnectWorker::Start()
{
    if (!m_direct) {
        m_session = std::move(m_request.tunnelSession);
        m_host = m_request.hostText;
        m_peerText = m_request.hostText;
        m_worker.stop().AttachSocket(m_session->SocketDescriptor());
    }
    m_worker.Start([this] { Run(); });
}

void ConnectWorker::RequestStop()
{
    m_worker.RequestStop();
}

void ConnectWorker::Join()
{
    m_worker.Join();
}

std::unique_ptr<TlsSession> ConnectWorker::TakeSession()
{
    m_worker.stop().DetachSocket();
    return std::move(m_session);
}

void ConnectWorker::Post(SendNotice notice)
{
    if (m_worker.StopRequested())
        return;
    notice.run = m_run;
    HandOver(m_transfer, std::move(notice));
}

void ConnectWorker::Status(SendNotice::Status status, const QString& subject)
{
    SendNotice notice;
    notice.status = status;
    notice.subject = subject;
    Post(std::move(notice));
}

void ConnectWorker::Failure(SendNotice::Status status, const QString& subject)
{
    SendNotice notice;
    notice.status = status;
    notice.subject = subject;
    notice.colour = SendView::Colour::Failure;
    notice.sound = Sound::Error;
    Post(std::move(notice));
}

void ConnectWorker::EndSession()
{
    m_worker.stop().DetachSocket();
    if (m_session)
        m_session->Close();
    m_session.reset();
    m_context.reset();
}

void ConnectWorker::Run()
{
    if (m_direct && !Connect()) {
        EndSession();
        SendNotice failed;
        failed.kind = SendNotice::Kind::ConnectFailed;
        failed.presentedCertificate = m_presentedCertificate;
        failed.presentedAuthority = m_presentedAuthority;
        Post(std::move(failed));
        return;
    }
    Exchange();
}

bool ConnectWorker::Connect()
{
    m_context = SecureChannel::CreateClientContext();
    Status(ConnectStatus::Resolving);
    const HostAndPort target = ParseHostText(m_request.hostText);
    m_host = target.host;
    m_port = target.port;
    if (!m_context) {
        Failure(ConnectStatus::TlsUnavailable);
        return false;
    }

    const hostlookup::Address address = hostlookup::Resolve(m_host, m_worker.stop());
    if (address.outcome == hostlookup::Outcome::Stopped)
        return false;
    if (address.outcome == hostlookup::Outcome::NotFound) {
        Failure(ConnectStatus::Unresolved, m_host);
        return false;
    }
    m_peerText = SecureChannel::DottedAddress(address.ipv4);

    if (hostlookup::IsNameNotAddress(m_host) && !(m_book && m_book->ContainsHost(m_host))) {
        const hostlookup::Name reverse = hostlookup::ReverseName(address.ipv4, m_worker.stop());
        if (reverse.outcome == hostlookup::Outcome::Stopped)
            return false;
        if (hostlookup::ReverseNameDiffers(m_host, reverse) && !m_worker.StopRequested()) {
            // The question is asked while the connection goes on.
            HandOver(m_transfer, send::UM_DYNDNS_DETECTED{m_run, m_host, m_peerText});
        }
    }

    Status(ConnectStatus::Connecting, m_peerText);
    SecureChannel::ConnectResult result = SecureChannel::ConnectSession(
        *m_context, m_request.trustListFile, address.ipv4, m_port,
        [this](SecureChannel::ConnectStep step) { Status(step, m_peerText); }, &m_worker.stop());
    if (!result.session) {
        m_presentedCertificate = result.presentedCertificate;
        m_presentedAuthority = result.presentedAuthority;
        Failure(result.failure, m_peerText);
        return false;
    }
    m_session = std::move(result.session);
    m_worker.stop().AttachSocket(m_session->SocketDescriptor());
    return !m_worker.StopRequested();
}

void ConnectWorker::Exchange()
{
    RequestHeader request;
    request.nickName = m_request.nickName;
    request.fileName = m_request.fileName;
    request.comment = CutUtf8(m_request.comment, MaxCommentBytes);
    request.dirCount = m_request.dirCount;
    request.fileCount = m_request.fileCount;
    request.totalSize = m_request.totalSize;
    request.senderPort = m_request.senderPort;
    request.rawFlag = m_request.rawFlag;
    WriteRequest(*m_session, request); // a failed write shows up as a failed reply read

    Status(ConnectStatus::Awaiting);
    const std::optional<ReplyHeader> reply = ReadReply(*m_session);
    if (m_worker.StopRequested())
        return;

    SendNotice outcome;
    outcome.hostText = m_host;
    if (!reply) {
        Failure(ConnectStatus::ResetBeforeReply, m_peerText);
        EndSession();
        outcome.kind = SendNotice::Kind::ConnectFailed;
        Post(std::move(outcome));
        return;
    }

    const QString nick = QString::fromUtf8(reply->nickName);
    outcome.nickName = reply->nickName;
    if (reply->IsAccepted()) {
        if (m_direct && m_recent)
            m_recent->AddRecentHost(m_host, m_port, nick);
        Status(ConnectStatus::Confirmed, nick);
        outcome.kind = SendNotice::Kind::Accepted;
        outcome.resumeOffset = reply->resumeOffset;
        Post(std::move(outcome)); // the session stays here for the data phase
        return;
    }

    if (reply->IsVersionMismatch()) {
        Failure(ConnectStatus::OtherVersion);
        EndSession();
        outcome.kind = SendNotice::Kind::ConnectFailed;
        Post(std::move(outcome));
        return;
    }

    outcome.kind = SendNotice::Kind::Refused;
    outcome.comment = reply->comment;
    Post(std::move(outcome));
    Failure(ConnectStatus::Refused, nick);
    EndSession();
    // Give the window a moment to come back from the minimized state before the panel.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!m_worker.StopRequested())
        HandOver(m_transfer, send::UM_SEND_REFUSED{m_run});
}

} // namespace vantrel
