#pragma once

#include <QString>

#include <cstdint>
#include <memory>

namespace vantrel {

// One TLS session over one connected TCP socket; it owns both. Move it with unique_ptr:
// a session always has exactly one owner. OpenSSL stays behind the pointer.
class TlsSession
{
public:
    struct Impl;
    explicit TlsSession(std::unique_ptr<Impl> impl);
    ~TlsSession(); // drops (no TLS shutdown) if still open
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // One library read of at most n bytes; returns what the library returns (<= 0 on
    // close or error). No loop. With buffered writes on, pending records go out first, so
    // a request never waits behind its own buffer.
    int Read(void* buffer, int n);
    // One library write of n bytes; returns what the library returns. No loop.
    int Write(const void* buffer, int n);

    // With buffering on, written records gather in a user-space buffer under TLS and reach
    // the socket in large writes; Flush() pushes them out. Off by default. Close() flushes,
    // and so does turning buffering off. A write that cannot reach the socket surfaces as a
    // Write() result <= 0 or a false Flush().
    void SetBufferedWrites(bool on);
    bool Flush();

    // The negotiated cipher's description for display: final line break dropped, runs of
    // spaces cut to two.
    QString CipherText() const;

    // Buffered records flushed, TLS shutdown (our close_notify, no wait for the peer's),
    // socket closed, session freed. Idempotent. It may block while a stalled peer's window
    // is full: Interrupt() first to give up on such a peer.
    void Close();
    // Socket closed and session freed without a TLS shutdown. Idempotent.
    void Drop();
    // Thread-safe: shuts the socket down so that a read or write blocked on another thread
    // returns. The socket stays open until Close() or Drop().
    void Interrupt();

    bool IsOpen() const;
    // Zero-wait readability test (data or a closed peer), for idle tunnels.
    bool IsReadable() const;
    int SocketDescriptor() const;
    std::uint32_t PeerAddress() const; // IPv4, host byte order
    std::uint16_t PeerPort() const;

    Impl* impl() const { return m_impl.get(); }

private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace vantrel
