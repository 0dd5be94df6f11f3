#pragma once

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace vantrel::test {

// A tiny HTTP/1.0 server on 127.0.0.1 that answers every request with the reply of the
// moment: its first part at once, the rest after a pause (or never, for a silent server).
class UpdateServerStub
{
public:
    UpdateServerStub();
    ~UpdateServerStub();

    int port() const { return m_port; }
    void SetReply(const QByteArray& first, const QByteArray& later = {},
                  std::chrono::milliseconds pause = std::chrono::milliseconds(0));
    // The server reads the request and then says nothing until the client goes.
    void SetSilent();
    int requests() const { return m_requests; }
    QByteArray lastRequest() const;

private:
    void Serve();

    int m_listenFd = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping = false;
    std::atomic<int> m_requests = 0;
    mutable std::mutex m_mutex;
    QByteArray m_first;
    QByteArray m_later;
    std::chrono::milliseconds m_pause{0};
    bool m_silent = false;
    QByteArray m_lastRequest;
    std::thread m_thread;
};

} // namespace vantrel::test
