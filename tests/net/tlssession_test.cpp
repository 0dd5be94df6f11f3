#include "net/tlssession.h"

#include "tests/net/loopback.h"
#include "tests/support/tempprofile.h"
#include "tests/support/testcertificates.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace vantrel::test {
namespace {

namespace tc = testcertificates;

TEST(TlsSession, DescribesTheNegotiatedCipher)
{
    TempFolder folder;
    ASSERT_TRUE(tc::WriteProfileCertificates(folder.path()));
    SessionPair pair = ConnectPair(folder.path());
    ASSERT_TRUE(pair.client);
    const QString text = pair.client->CipherText();
    EXPECT_TRUE(text.contains(QStringLiteral("Kx="))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("   ")));
    EXPECT_FALSE(text.endsWith(QLatin1Char('\n')));
    EXPECT_EQ(text, pair.server->CipherText());
}

QByteArray Pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 1024) & 0xFF);
    return bytes;
}

TEST(TlsSession, BufferedWritesArriveIntactAndCloseFlushesThem)
{
    TempFolder folder;
    ASSERT_TRUE(tc::WriteProfileCertificates(folder.path()));
    SessionPair pair = ConnectPair(folder.path());
    ASSERT_TRUE(pair.client);
    const QByteArray sent = Pattern(1024 * 1024 + 100); // ends with a part-filled buffer
    QByteArray received;
    std::thread server([&] {
        SetReadDeadline(*pair.server, 10000);
        char block[1024];
        for (int n; (n = pair.server->Read(block, sizeof block)) > 0;)
            received.append(block, n);
    });
    pair.client->SetBufferedWrites(true);
    for (qsizetype at = 0; at < sent.size(); at += 1024) {
        const int n = static_cast<int>(std::min<qsizetype>(1024, sent.size() - at));
        ASSERT_EQ(pair.client->Write(sent.constData() + at, n), n);
    }
    pair.client->Close(); // no Flush(): closing must push the tail out
    server.join();
    EXPECT_EQ(received.size(), sent.size());
    EXPECT_TRUE(received == sent);
}

TEST(TlsSession, BufferedWritesLeaveBeforeAReadAndWhenBufferingEnds)
{
    // A buffered request followed by a read of its reply must not wait on itself. (Reads
    // have deadlines, so a fault fails the test instead of hanging it.)
    TempFolder folder;
    ASSERT_TRUE(tc::WriteProfileCertificates(folder.path()));
    SessionPair pair = ConnectPair(folder.path());
    ASSERT_TRUE(pair.client);
    QByteArray afterBuffering;
    std::thread server([&] {
        SetReadDeadline(*pair.server, 5000);
        char request[4];
        if (pair.server->Read(request, 4) == 4)
            pair.server->Write("pong", 4);
        if (pair.server->Read(request, 4) == 4)
            afterBuffering = QByteArray(request, 4);
    });
    SetReadDeadline(*pair.client, 5000);
    pair.client->SetBufferedWrites(true);
    ASSERT_EQ(pair.client->Write("ping", 4), 4);
    char reply[4] = {};
    EXPECT_EQ(pair.client->Read(reply, 4), 4);
    EXPECT_EQ(QByteArray(reply, 4), QByteArray("pong"));
    ASSERT_EQ(pair.client->Write("more", 4), 4);
    pair.client->SetBufferedWrites(false);
    server.join();
    EXPECT_EQ(afterBuffering, QByteArray("more"));
    // Unbuffered again: this one goes out at once.
    ASSERT_EQ(pair.client->Write("last", 4), 4);
    char last[4] = {};
    SetReadDeadline(*pair.server, 5000);
    EXPECT_EQ(pair.server->Read(last, 4), 4);
    EXPECT_EQ(QByteArray(last, 4), QByteArray("last"));
}

TEST(TlsSession, BufferedWriteToAVanishedPeerReportsFailure)
{
    TempFolder folder;
    ASSERT_TRUE(tc::WriteProfileCertificates(folder.path()));
    SessionPair pair = ConnectPair(folder.path());
    ASSERT_TRUE(pair.client);
    pair.server->Drop();
    pair.client->SetBufferedWrites(true);
    const QByteArray block = Pattern(1024);
    bool writeFailed = false;
    for (int i = 0; i < 64 * 1024 && !writeFailed; ++i)
        writeFailed = pair.client->Write(block.constData(), 1024) <= 0;
    EXPECT_TRUE(writeFailed);
    EXPECT_FALSE(pair.client->Flush());
    pair.client->Close();
    EXPECT_FALSE(pair.client->IsOpen());
}

TEST(TlsSession, InterruptReleasesAReadBlockedOnAnotherThread)
{
    TempFolder folder;
    ASSERT_TRUE(tc::WriteProfileCertificates(folder.path()));
    SessionPair pair = ConnectPair(folder.path());
    ASSERT_TRUE(pair.client);
    std::atomic<bool> reading{false};
    std::atomic<int> result{1};
    std::thread reader([&] {
        char buffer[16];
        reading = true;
        result = pair.client->Read(buffer, sizeof buffer);
    });
    ASSERT_TRUE(WaitUntil([&] { return reading.load(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // let it block in the read
    pair.client->Interrupt();
    reader.join();
    EXPECT_LE(result.load(), 0);
    EXPECT_TRUE(pair.client->IsOpen()); // interrupted, not closed
    // The peer sees the connection end.
    SetReadDeadline(*pair.server, 5000);
    char byte;
    EXPECT_EQ(pair.server->Read(&byte, 1), 0);
}

TEST(TlsSession, IsReadableWhenDataArrivesOrThePeerLeaves)
{
    TempFolder folder;
    ASSERT_TRUE(tc::WriteProfileCertificates(folder.path()));
    SessionPair pair = ConnectPair(folder.path());
    ASSERT_TRUE(pair.client);
    // Nothing travels after the handshake (no session tickets): an idle tunnel stays quiet.
    EXPECT_FALSE(pair.server->IsReadable());
    EXPECT_FALSE(pair.client->IsReadable());
    ASSERT_EQ(pair.client->Write("x", 1), 1);
    EXPECT_TRUE(WaitUntil([&] { return pair.server->IsReadable(); }));
    char byte;
    ASSERT_EQ(pair.server->Read(&byte, 1), 1);
    EXPECT_FALSE(pair.server->IsReadable());
    pair.client->Close();
    EXPECT_TRUE(WaitUntil([&] { return pair.server->IsReadable(); }));
}

} // namespace
} // namespace vantrel::test
