#pragma once

#include "core/base/handover.h"
#include "net/workerthread.h"
#include "tunnel/openernotice.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

namespace vantrel {

class ClientContext;
class TlsSession;

// Opens a receive tunnel: resolves the typed host, connects and runs the client handshake,
// then writes the tunnel registration. It reports each step to the opener and, on success,
// hands it the session. A stop cuts a blocked lookup, connect or handshake short; a stopped
// worker reports nothing more and frees what it holds.
class TunnelOpenWorker
{
public:
    struct Request
    {
        QString hostText;
        QString trustListFile;
        QByteArray nickName;
        std::int32_t senderPort = 0;
    };

    TunnelOpenWorker(Accepts<tunnel::OpenerNotice>* opener, std::uint64_t run, Request request);
    ~TunnelOpenWorker(); // stops and joins
    TunnelOpenWorker(const TunnelOpenWorker&) = delete;
    TunnelOpenWorker& operator=(const TunnelOpenWorker&) = delete;

    void Start();
    void RequestStop();
    void Join();

private:
    void Run();
    void Post(tunnel::OpenerNotice::Kind kind, const QString& text);

    Accepts<tunnel::OpenerNotice>* m_opener;
    std::uint64_t m_run;
    Request m_request;
    WorkerThread m_worker;
};

} // namespace vantrel
