#include "net/tlssession.h"

#include "net/securechannel.h"
#include "net/tlssessionimpl.h"

#include <openssl/err.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vantrel {

namespace {

// Large enough that a stream of records (16 KiB from this program, 1 KiB from some peers)
// reaches the socket in few system calls.
constexpr long WriteBufferBytes = 128 * 1024;

// Remembers a failure that makes a TLS shutdown pointless, and leaves the thread's error
// queue clean for the next call's SSL_get_error.
void NoteFailure(TlsSession::Impl& impl, int result)
{
    const int error = SSL_get_error(impl.ssl.get(), result);
    if (error == SSL_ERROR_SYSCALL || error == SSL_ERROR_SSL)
        impl.broken = true;
    ERR_clear_error();
}

} // namespace

TlsSession::TlsSession(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

TlsSession::~TlsSession()
{
    if (m_impl)
        Drop();
}

int TlsSession::Read(void* buffer, int n)
{
    SSL* ssl = m_impl->ssl.get();
    if (!ssl || n < 0)
        return -1;
    // A request must never wait behind its own buffered bytes.
    if (m_impl->buffered && BIO_wpending(SSL_get_wbio(ssl)) > 0)
        Flush();
    const int got = SSL_read(ssl, buffer, n);
    if (got <= 0)
        NoteFailure(*m_impl, got);
    return got;
}

int TlsSession::Write(const void* buffer, int n)
{
    SSL* ssl = m_impl->ssl.get();
    if (!ssl || n < 0)
        return -1;
    if (n == 0)
        return 0;
    const int written = SSL_write(ssl, buffer, n);
    if (written <= 0)
        NoteFailure(*m_impl, written);
    return written;
}

void TlsSession::SetBufferedWrites(bool on)
{
    SSL* ssl = m_impl->ssl.get();
    if (!ssl || on == m_impl->buffered)
        return;
    if (on) {
        ossl::BioPtr socketBio(BIO_new_socket(m_impl->fd, BIO_NOCLOSE));
        ossl::BioPtr bufferBio(BIO_new(BIO_f_buffer()));
        if (!socketBio || !bufferBio ||
            BIO_set_write_buffer_size(bufferBio.get(), WriteBufferBytes) <= 0) {
            ERR_clear_error();
            return; // stays unbuffered, which is only slower
        }
        BIO_push(bufferBio.get(), socketBio.release());
        SSL_set0_wbio(ssl, bufferBio.release()); // frees the previous write BIO
    } else {
        Flush();
        BIO* socketBio = BIO_new_socket(m_impl->fd, BIO_NOCLOSE);
        if (!socketBio) {
            ERR_clear_error();
            return; // stays buffered, which only delays records until Flush() or Close()
        }
        SSL_set0_wbio(ssl, socketBio); // frees the buffer
    }
    m_impl->buffered = on;
}

bool TlsSession::Flush()
{
    SSL* ssl = m_impl->ssl.get();
    if (!ssl)
        return false;
    if (!m_impl->buffered)
        return true;
    if (BIO_flush(SSL_get_wbio(ssl)) > 0)
        return true;
    m_impl->broken = true;
    ERR_clear_error();
    return false;
}

QString TlsSession::CipherText() const
{
    SSL* ssl = m_impl->ssl.get();
    const SSL_CIPHER* cipher = ssl ? SSL_get_current_cipher(ssl) : nullptr;
    if (!cipher)
        return {};
    char description[255] = {};
    if (!SSL_CIPHER_description(cipher, description, sizeof description))
        return {};
    return SecureChannel::CipherTextFromDescription(QByteArray(description));
}

void TlsSession::Close()
{
    SSL* ssl = m_impl->ssl.get();
    if (!ssl)
        return;
    if (m_impl->buffered)
        Flush();
    // Sends our close_notify without waiting for the peer's. Blocks only while the peer's
    // window is full; Interrupt() first to give up on a stalled peer.
    if (!m_impl->broken && SSL_is_init_finished(ssl))
        SSL_shutdown(ssl);
    ERR_clear_error();
    Drop();
}

void TlsSession::Drop()
{
    if (!m_impl->ssl)
        return;
    {
        std::lock_guard lock(m_impl->fdMutex);
        if (m_impl->fd >= 0)
            ::close(m_impl->fd);
        m_impl->fd = -1;
    }
    m_impl->ssl.reset();
}

void TlsSession::Interrupt()
{
    std::lock_guard lock(m_impl->fdMutex);
    if (m_impl->fd >= 0)
        ::shutdown(m_impl->fd, SHUT_RDWR);
}

bool TlsSession::IsOpen() const
{
    return m_impl->ssl != nullptr;
}

bool TlsSession::IsReadable() const
{
    SSL* ssl = m_impl->ssl.get();
    if (!ssl)
        return false;
    // Bytes may wait in the library or in the buffering reader under it.
    if (SSL_pending(ssl) > 0 || SSL_has_pending(ssl) || BIO_pending(SSL_get_rbio(ssl)) > 0)
        return true;
    pollfd entry{m_impl->fd, POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

int TlsSession::SocketDescriptor() const
{
    return m_impl->fd;
}

std::uint32_t TlsSession::PeerAddress() const
{
    return m_impl->peerAddress;
}

std::uint16_t TlsSession::PeerPort() const
{
    return m_impl->peerPort;
}

} // namespace vantrel
