#include "tests/receive/receivefixture.h"

#include "net/incomingconnection.h"
#include "net/securechannel.h"
#include "net/tlssession.h"
#include "send/zipbridgeloader.h"
#include "tests/net/loopback.h"
#include "tests/support/testcertificates.h"

#include <QDir>
#include <QFile>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>

namespace vantrel::test {

namespace {

// While it lives, files of this process may not grow past `bytes`, and a write past it fails
// instead of ending the process: a disk that refuses writes.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes) : m_handler(std::signal(SIGXFSZ, SIG_IGN))
    {
        if (getrlimit(RLIMIT_FSIZE, &m_before) != 0)
            return;
        rlimit limited = m_before;
        limited.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_ok)
            setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool ok() const { return m_ok; }

private:
    rlimit m_before{};
    void (*m_handler)(int);
    bool m_ok = false;
};

} // namespace

namespace {
std::unique_ptr<ZipBridgeLoader> g_zip;
} // namespace

ScriptedSender::ScriptedSender(const QString& profileFolder, const RequestHeader& request)
{
    SessionPair pair = ConnectPair(profileFolder);
    if (!pair.client || !pair.server)
        return;
    // A fault shows as a failed read, not as a test that hangs.
    SetReadDeadline(*pair.client, 30000);
    if (!WriteRequest(*pair.client, request))
        return;
    const std::optional<RequestHeader> read = vantrel::ReadRequest(*pair.server);
    if (!read)
        return;
    m_request = *read;
    m_client = std::move(pair.client);
    m_connection = std::make_unique<IncomingConnection>();
    m_connection->peerAddress = LocalhostAddress;
    m_connection->peerPort = pair.server->PeerPort();
    m_connection->peerName = QStringLiteral("127.0.0.1");
    m_connection->session = std::move(pair.server);
}

ScriptedSender::~ScriptedSender()
{
    Join();
}

void ScriptedSender::Start(Script script)
{
    m_thread = std::thread([this, script = std::move(script)] {
        script(*m_client, *this);
        m_client->Close();
    });
}

void ScriptedSender::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

std::optional<ReplyHeader> ScriptedSender::ReadReply(TlsSession& session)
{
    std::optional<ReplyHeader> reply = vantrel::ReadReply(session);
    if (reply)
        replies.push_back(*reply);
    return reply;
}

ScriptedSender::Script ScriptedSender::Stream(QByteArray stream, bool raw,
                                              std::optional<std::uint32_t> cutAt)
{
    return [stream = std::move(stream), raw, cutAt](TlsSession& session, ScriptedSender& sender) {
        const std::optional<ReplyHeader> reply = sender.ReadReply(session);
        if (!reply || !reply->IsAccepted())
            return;
        DataHeader header;
        header.rawFlag = raw ? 1 : 0;
        header.streamSize = static_cast<std::uint32_t>(stream.size());
        if (!WriteDataHeader(session, header))
            return;
        std::uint32_t position = reply->resumeOffset;
        const std::uint32_t end =
            cutAt ? std::min<std::uint32_t>(*cutAt, header.streamSize) : header.streamSize;
        while (position < end) {
            const int block = static_cast<int>(std::min<std::uint32_t>(1024, end - position));
            if (session.Write(stream.constData() + position, block) != block)
                return;
            position += static_cast<std::uint32_t>(block);
            sender.bytesSent += static_cast<std::uint32_t>(block);
        }
    };
}

void ReceiveFixture::SetUpTestSuite()
{
    SecureChannel::Bind();
    if (!g_zip)
        g_zip = ZipBridgeLoader::Load(BuildFolder());
}

void ReceiveFixture::SetUp()
{
    ASSERT_TRUE(g_zip) << "libzipbridge.so not found in " << BuildFolder().toStdString();
    ASSERT_TRUE(testcertificates::WriteProfileCertificates(m_profile.path()));
    m_folder = ProgramFolder(m_profile.path());
    QDir().mkpath(m_folder.tempFolder());
    QDir().mkpath(m_folder.cachedResumesFolder());
    m_resumes = std::make_unique<ResumeCache>(m_folder);

    m_services.folder = m_folder;
    m_services.counters = &m_counters;
    m_services.sounds = &m_sounds;
    m_services.zip = g_zip.get();
    m_services.unpacker = g_zip.get();
    m_services.resumes = m_resumes.get();
    m_services.hub = &m_hub;
    m_services.ownNickName = [] { return QByteArrayLiteral("Bob"); };
    m_services.ownServerPort = [] { return 12666; };
}

RequestHeader ReceiveFixture::Request(const QByteArray& fileName, std::uint32_t dirCount,
                                      std::uint32_t fileCount, std::uint32_t totalSize, int rawFlag)
{
    RequestHeader request;
    request.nickName = QByteArrayLiteral("Alice");
    request.fileName = fileName;
    request.comment = QByteArrayLiteral("holiday pictures");
    request.dirCount = dirCount;
    request.fileCount = fileCount;
    request.totalSize = totalSize;
    request.senderPort = 12666;
    request.rawFlag = rawFlag;
    return request;
}

std::unique_ptr<ScriptedSender> ReceiveFixture::Sender(const RequestHeader& request)
{
    auto sender = std::make_unique<ScriptedSender>(m_profile.path(), request);
    EXPECT_TRUE(sender->connected());
    return sender;
}

std::unique_ptr<ReceiveTransfer> ReceiveFixture::Open(ScriptedSender& sender,
                                                      std::optional<AutoReceiveMatch> match)
{
    const RowRef row{&m_downloads, m_downloads.InsertTop(nullptr, QStringLiteral("127.0.0.1"))};
    auto transfer = std::make_unique<ReceiveTransfer>(m_services, sender.TakeConnection(),
                                                      sender.request(), row, std::move(match));
    m_downloads.Attach(row.id, transfer.get());
    transfer->SetTimersEnabled(false);
    QObject::connect(
        transfer.get(), &ReceiveTransfer::messageBox, transfer.get(),
        [this](const QString& text, const QString& title) { m_boxes.emplace_back(text, title); });
    transfer->Present();
    return transfer;
}

QByteArray ReceiveFixture::Pattern(int size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    std::uint32_t state = 2463534242u + static_cast<std::uint32_t>(seed);
    for (int i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes[i] = static_cast<char>(state & 0xff);
    }
    return bytes;
}

QByteArray ReceiveFixture::ZipFile(const QString& path)
{
    const QString archive = m_data.file(QStringLiteral("archive-%1.zip").arg(qHash(path)));
    QFile::remove(archive);
    std::uint32_t progress = 0, unused = 0, cancel = 0;
    g_zip->ZipSingleFile(QFile::encodeName(archive).constData(),
                         QFile::encodeName(path).constData(), &progress, &unused, &cancel);
    return ReadAll(archive);
}

QByteArray ReceiveFixture::ZipFolder(const QString& path)
{
    const QString archive = m_data.file(QStringLiteral("archive-%1.zip").arg(qHash(path)));
    QFile::remove(archive);
    std::uint32_t progress = 0, cancel = 0;
    g_zip->ZipFolder(QFile::encodeName(archive).constData(), QFile::encodeName(path).constData(),
                     &progress, &cancel);
    return ReadAll(archive);
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QStringList ReceiveFixture::TempFiles() const
{
    return QDir(m_folder.tempFolder()).entryList(QDir::Files | QDir::Hidden);
}

bool ReceiveFixture::WaitForState(ReceiveTransfer& transfer, ReceiveTransfer::State state,
                                  int timeoutMs)
{
    return WaitUntil([&] { return transfer.state() == state; }, timeoutMs);
}

bool ReceiveFixture::AcceptUnderFileSizeLimit(ReceiveTransfer& transfer, const QString& target,
                                              std::uint64_t bytes)
{
    const FileSizeLimit limit(static_cast<rlim_t>(bytes));
    if (!limit.ok())
        return false;
    transfer.Accept(target);
    return WaitForState(transfer, ReceiveTransfer::State::Interrupted);
}

} // namespace vantrel::test
