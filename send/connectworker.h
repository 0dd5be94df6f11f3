#pragma once

#include "net/tlssession.h"
#include "net/wirerecords.h"
#include "net/workerthread.h"
#include "send/sendmessages.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

namespace vantrel {

class ClientContext;
class DynDnsBook;
class RecentHosts;
struct SendCounters;

// Connects (directly, or over a session taken from a tunnel), writes the transfer request
// and reads the reply. Reports through notices posted to the transfer; on acceptance it
// keeps the session for the data phase (TakeSession after Join).
class ConnectWorker
{
public:
    struct Request
    {
        // Direct send: the typed host text and the trust list. Tunnel send: the session and
        // the tunnel's host text.
        QString hostText;
        std::unique_ptr<TlsSession> tunnelSession;
        QString trustListFile;
        QByteArray nickName;
        QByteArray fileName;
        QByteArray comment;
        std::uint32_t dirCount = 0;
        std::uint32_t fileCount = 0;
        std::uint32_t totalSize = 0;
        std::int32_t senderPort = 0;
        std::int32_t rawFlag = RawFlagArchive;
    };

    ConnectWorker(SendWorkerInbox* transfer, std::uint64_t run, Request request,
                  SendCounters& shared, RecentHosts* recent, DynDnsBook* book);
    ~ConnectWorker(); // stops and joins
    ConnectWorker(const ConnectWorker&) = delete;
    ConnectWorker& operator=(const ConnectWorker&) = delete;

    void Start();
    // Cuts a blocked lookup, connect, handshake or read short; no further notices.
    void RequestStop();
    void Join();
    // The accepted session, once the worker has been joined.
    std::unique_ptr<TlsSession> TakeSession();

private:
    void Run();
    bool Connect(); // direct send: resolve, dynamic DNS check, handshake
    void Exchange();
    void Post(SendNotice notice);
    void Status(SendNotice::Status status, const QString& subject = QString());
    void Failure(SendNotice::Status status, const QString& subject = QString());
    void EndSession();

    SendWorkerInbox* m_transfer;
    std::uint64_t m_run;
    Request m_request;
    SendCounters& m_shared;
    bool m_direct;
    RecentHosts* m_recent;
    DynDnsBook* m_book;
    std::unique_ptr<ClientContext> m_context; // outlives the session made from it
    std::unique_ptr<TlsSession> m_session;
    QString m_host;     // host name used (direct) or the tunnel's host text
    QString m_peerText; // dotted address (direct) or the tunnel's host text
    std::uint16_t m_port = 0;
    QByteArray m_presentedCertificate; // an untrusted receiver's certificate
    QByteArray m_presentedAuthority;   // and its authority, when it presented one
    WorkerThread m_worker;
};

} // namespace vantrel
