#include "tests/send/sendfixture.h"

#include "net/securechannel.h"
#include "send/zipbridgeloader.h"
#include "tests/support/testcertificates.h"

#include <QDir>

#include <random>

namespace vantrel::test {

namespace {
std::unique_ptr<ZipBridgeLoader> g_zip;
} // namespace

void SendFixture::SetUpTestSuite()
{
    SecureChannel::Bind();
    if (!g_zip)
        g_zip = ZipBridgeLoader::Load(BuildFolder());
}

ZipBridgeLoader* SendFixture::zip()
{
    return g_zip.get();
}

void SendFixture::SetUp()
{
    ASSERT_TRUE(g_zip) << "libzipbridge.so not found in " << BuildFolder().toStdString();
    ASSERT_TRUE(testcertificates::WriteProfileCertificates(m_profile.path()));
    ASSERT_TRUE(
        testcertificates::WriteServerFiles(m_peer.path(), testcertificates::SharedAuthority()));
    QDir().mkpath(TempFolderPath());
    m_store = std::make_unique<SettingsStore>(m_profile.file(QStringLiteral("Vantrel.ini")));
    m_recent = std::make_unique<RecentHosts>(*m_store);

    m_services.folder = ProgramFolder(m_profile.path());
    m_services.counters = &m_counters;
    m_services.sounds = &m_sounds;
    m_services.zip = g_zip.get();
    m_services.recentHosts = m_recent.get();
    m_services.book = &m_book;
    m_services.hub = &m_hub;
    m_services.ownNickName = [] { return QByteArrayLiteral("Alice"); };
    m_services.ownServerPort = [] { return 4321; };
}

std::unique_ptr<SendTransfer> SendFixture::Open(const QString& path)
{
    const RowRef row{&m_uploads, m_uploads.InsertTop(nullptr, QStringLiteral("N/A"))};
    auto transfer = std::make_unique<SendTransfer>(m_services, path, row);
    m_uploads.Attach(row.id, transfer.get());
    transfer->FirstShow();
    return transfer;
}

QString SendFixture::Source(const QString& relativeName, const QByteArray& bytes)
{
    m_data.write(relativeName, bytes);
    return m_data.file(relativeName);
}

std::unique_ptr<ScriptedReceiver> SendFixture::Receiver(ScriptedReceiver::Script script)
{
    auto receiver = std::make_unique<ScriptedReceiver>(m_peer.path(), std::move(script));
    EXPECT_TRUE(receiver->listening());
    return receiver;
}

void SendFixture::SendTo(SendTransfer& transfer, const ScriptedReceiver& receiver,
                         const QString& description)
{
    SendInputs inputs;
    inputs.hostText = receiver.hostText();
    inputs.description = description;
    transfer.Send(inputs);
}

bool SendFixture::WaitForState(const SendTransfer& transfer, SendTransfer::State state,
                               int timeoutMs)
{
    return WaitUntil([&] { return transfer.state() == state; }, timeoutMs);
}

QStringList SendFixture::TempFiles() const
{
    return QDir(TempFolderPath()).entryList(QDir::Files);
}

QByteArray RandomBytes(int size, unsigned seed)
{
    std::mt19937 random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    return bytes;
}

QByteArray TextBytes(int size)
{
    QByteArray text;
    for (int line = 0; text.size() < size; ++line)
        text += "line " + QByteArray::number(line) + " of a text that compresses well\n";
    text.truncate(size);
    return text;
}

} // namespace vantrel::test
