#include "core/handoff.h"

#include "core/handoffreceiver.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>

namespace vantrel {
namespace {

QByteArray ReadRaw(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(HandOffFileTest, KeepsTheLastPathOnly)
{
    test::TempFolder temp;
    const QString file = temp.file(handoff::FileName);
    ASSERT_TRUE(handoff::WriteFile(file, "/home/user/a much longer first path.iso"));
    ASSERT_TRUE(handoff::WriteFile(file, "/tmp/b"));
    EXPECT_EQ(ReadRaw(file), QByteArray("/tmp/b", 7)); // the path and its NUL, nothing else
    EXPECT_EQ(handoff::ReadFile(file), QByteArray("/tmp/b"));
    EXPECT_EQ(handoff::ReadFile(file), QByteArray("/tmp/b")); // reading does not consume it
    EXPECT_EQ(handoff::ReadFile(temp.file(QStringLiteral("none.vnt"))), std::nullopt);
}

TEST(HandOffFileTest, CutsLongPathsOnCharacterBoundaries)
{
    const QByteArray euro = "\xE2\x82\xAC"; // three bytes
    struct Case
    {
        QByteArray path;
        QByteArray stored;
    };
    const Case cases[] = {
        {QByteArray(511, 'a'), QByteArray(511, 'a')},
        {QByteArray(600, 'a'), QByteArray(511, 'a')},
        // A three-byte character across byte 511 goes whole.
        {QByteArray(509, 'a') + euro + "tail", QByteArray(509, 'a')},
        {QByteArray(508, 'a') + euro + "tail", QByteArray(508, 'a') + euro},
        {QByteArray(510, 'a') + euro, QByteArray(510, 'a')},
    };
    test::TempFolder temp;
    const QString file = temp.file(handoff::FileName);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.size());
        ASSERT_TRUE(handoff::WriteFile(file, c.path));
        EXPECT_EQ(handoff::ReadFile(file), c.stored);
        EXPECT_TRUE(QString::fromUtf8(c.stored).toUtf8() == c.stored); // still valid UTF-8
    }
    // A longer file (written by something else) is read with one 512-byte read.
    temp.write(handoff::FileName, QByteArray(700, 'b'));
    EXPECT_EQ(handoff::ReadFile(file), QByteArray(512, 'b'));

    EXPECT_TRUE(handoff::Fits(QString(511, QLatin1Char('x'))));
    EXPECT_FALSE(handoff::Fits(QString(512, QLatin1Char('x'))));
    EXPECT_FALSE(handoff::Fits(QString(200, QChar(0x20AC)))); // 600 bytes
}

TEST(HandOffFileTest, CommandLineTailIsOnePath)
{
    struct Case
    {
        QList<QByteArray> arguments;
        QByteArray tail;
    };
    const Case cases[] = {
        {{"/tmp/file.txt"}, "/tmp/file.txt"},
        {{"/tmp/My", "Files/x.txt"}, "/tmp/My Files/x.txt"},
        {{"/tmp/a", "", "b"}, "/tmp/a  b"},
        {{"\"/tmp/quoted path\""}, "/tmp/quoted path"},
        {{"'/tmp/single'"}, "/tmp/single"},
        {{"\"/tmp/a\"", "\"b\""}, "/tmp/a\" \"b"}, // one pair only
        {{"\"/tmp/unbalanced"}, "\"/tmp/unbalanced"},
        {{"\"'/tmp/mixed\"'"}, "\"'/tmp/mixed\"'"},
        {{"\""}, "\""},
        {{}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(handoff::CommandLineTail(c.arguments), c.tail)
            << c.arguments.join(' ').constData();
}

TEST(HandOffFileTest, RelativePathsAreMadeAbsoluteAgainstTheCurrentFolder)
{
    const QByteArray current = QFile::encodeName(QDir::currentPath());
    struct Case
    {
        QByteArray path;
        QByteArray absolute;
    };
    const Case cases[] = {
        {"/tmp/x", "/tmp/x"},
        {"", ""},
        {"--help", current + "/--help"},
        {"sub/a b.txt", current + "/sub/a b.txt"},
        {"\xff\xfe", current + "/\xff\xfe"}, // bytes that are no UTF-8 stay as they are
    };
    for (const Case& c : cases)
        EXPECT_EQ(handoff::Absolute(c.path), c.absolute) << c.path.constData();
}

class HandOffReceiverTest : public ::testing::Test
{
protected:
    HandOffReceiverTest() : m_receiver(ProgramFolder(m_temp.path()))
    {
        m_receiver.SetRestoreApplication([this] { m_events << QStringLiteral("restore"); });
        QObject::connect(
            &m_receiver, &HandOffReceiver::openSendRequested, &m_receiver,
            [this](const QString& path) { m_events << QStringLiteral("open ") + path; });
    }

    test::TempFolder m_temp;
    HandOffReceiver m_receiver;
    QStringList m_events;
};

TEST_F(HandOffReceiverTest, NotifyRestoresThenOpensTheHandedOffPath)
{
    const QString path = QStringLiteral("/tmp/Grüße aus Köln/файл 1.txt");
    ASSERT_TRUE(m_receiver.HandOff(path));
    EXPECT_EQ(ReadRaw(m_temp.file(handoff::FileName)), path.toUtf8() + '\0');
    ASSERT_TRUE(test::WaitUntil([&] { return m_events.size() == 2; }));
    EXPECT_EQ(m_events, QStringList({QStringLiteral("restore"), QStringLiteral("open ") + path}));
}

TEST_F(HandOffReceiverTest, NoticeReadsTheFileAtOnceAndWithoutOneOnlyRestores)
{
    static_cast<HandOffNotifyInbox&>(m_receiver).Take(hub::UM_HANDOFF_NOTIFY{});
    ASSERT_TRUE(test::WaitUntil([&] { return !m_events.isEmpty(); }));
    test::WaitUntil([] { return false; }, 200);
    EXPECT_EQ(m_events, QStringList({QStringLiteral("restore")}));

    // The writer may let the next start rewrite the file once the notice is taken: what
    // opens is what the file held then.
    m_events.clear();
    m_temp.write(handoff::FileName, QByteArray("/tmp/written by hand\0ignored", 28));
    static_cast<HandOffNotifyInbox&>(m_receiver).Take(hub::UM_HANDOFF_NOTIFY{});
    m_temp.write(handoff::FileName, QByteArray("/tmp/the next one", 18));
    ASSERT_TRUE(test::WaitUntil([&] { return m_events.size() == 2; }));
    EXPECT_EQ(m_events, QStringList({QStringLiteral("restore"),
                                     QStringLiteral("open /tmp/written by hand")}));
}

TEST_F(HandOffReceiverTest, TooLongPathIsRefusedAndLeavesTheFileAlone)
{
    ASSERT_TRUE(m_receiver.HandOff(QStringLiteral("/tmp/first")));
    ASSERT_TRUE(test::WaitUntil([&] { return m_events.size() == 2; }));
    EXPECT_FALSE(m_receiver.HandOff(QStringLiteral("/tmp/") + QString(600, QLatin1Char('x'))));
    EXPECT_EQ(handoff::ReadFile(m_temp.file(handoff::FileName)), QByteArray("/tmp/first"));
}

TEST_F(HandOffReceiverTest, QuickSuccessionOpensEachPathOnce)
{
    ASSERT_TRUE(m_receiver.HandOff(QStringLiteral("/tmp/one")));
    ASSERT_TRUE(m_receiver.HandOff(QStringLiteral("/tmp/two")));
    ASSERT_TRUE(test::WaitUntil([&] { return m_events.size() == 4; }));
    EXPECT_EQ(m_events.filter(QStringLiteral("open ")),
              QStringList({QStringLiteral("open /tmp/one"), QStringLiteral("open /tmp/two")}));
    EXPECT_EQ(handoff::ReadFile(m_temp.file(handoff::FileName)), QByteArray("/tmp/two"));
}

TEST(HandOffReceiverTurnTest, WhileAnotherStartHoldsTheTurnTheFileIsLeftToIt)
{
    test::TempFolder temp;
    const QString turnFile = temp.file(QStringLiteral("handoff.lock"));
    HandOffReceiver receiver(ProgramFolder(temp.path()), turnFile);
    QStringList opened;
    QObject::connect(&receiver, &HandOffReceiver::openSendRequested, &receiver,
                     [&](const QString& path) { opened << path; });

    // Another start has taken its turn and written its path; its notice is on its way.
    QLockFile other(turnFile);
    ASSERT_TRUE(other.tryLock(0));
    temp.write(handoff::FileName, QByteArray("/tmp/from another start", 24));
    ASSERT_TRUE(receiver.HandOff(QStringLiteral("/tmp/dropped")));
    static_cast<HandOffNotifyInbox&>(receiver).Take(hub::UM_HANDOFF_NOTIFY{});
    other.unlock();
    ASSERT_TRUE(test::WaitUntil([&] { return opened.size() == 2; }));
    EXPECT_EQ(opened, QStringList({QStringLiteral("/tmp/dropped"),
                                   QStringLiteral("/tmp/from another start")}));

    // With the turn free the in-process hand-off writes the file as before.
    ASSERT_TRUE(receiver.HandOff(QStringLiteral("/tmp/later")));
    EXPECT_EQ(handoff::ReadFile(temp.file(handoff::FileName)), QByteArray("/tmp/later"));
    ASSERT_TRUE(test::WaitUntil([&] { return opened.size() == 3; }));
    EXPECT_EQ(opened.back(), QStringLiteral("/tmp/later"));
}

} // namespace
} // namespace vantrel
