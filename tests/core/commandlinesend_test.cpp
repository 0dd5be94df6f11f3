// "vantrel --send" as a process against the headless program on loopback.
#include "core/base/settingsstore.h"
#include "core/commandlinesend.h"
#include "core/installation.h"
#include "core/profile.h"
#include "core/rulesedit.h"
#include "net/certificates.h"
#include "tests/engine/rawpeer.h"
#include "tests/support/filetree.h"
#include "tests/support/freeport.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>

#include <csignal>
#include <memory>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vantrel {
namespace {

QByteArray RandomBytes(qsizetype size)
{
    QByteArray bytes(size, '\0');
    QRandomGenerator generator(size);
    for (char& c : bytes)
        c = char(generator.bounded(256));
    return bytes;
}

QProcessEnvironment HeadlessEnvironment(const QString& home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VANTREL_HOME"), home);
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

QString ProgramFile()
{
    return test::BuildFolder() + QStringLiteral("/vantrel");
}

// An installed profile on a port of its own.
struct Copy
{
    explicit Copy(const QString& home) : home(home), profile(Profile::Portable(home))
    {
        SettingsStore store(profile.iniFile());
        ok = installation::Install(profile, store).ok;
        folder = profile.ProgramFolderFrom(store);
        port = test::FreePort();
        store.Write(SettingsStore::MainKey, QStringLiteral("ServerPort"), QString::number(port));
        store.Write(SettingsStore::MainKey, QStringLiteral("NickName"), QStringLiteral("Bob"));
    }
    QString hostText() const { return QStringLiteral("127.0.0.1:%1").arg(port); }
    QString authority() const { return folder.file(installation::AuthorityFile); }

    QString home;
    Profile profile;
    ProgramFolder folder;
    int port = 0;
    bool ok = false;
};

// The headless program serving a copy's profile.
class Headless
{
public:
    explicit Headless(const Copy& copy)
    {
        m_process.setProcessEnvironment(HeadlessEnvironment(copy.home));
        m_process.start(ProgramFile(), {});
    }
    ~Headless()
    {
        m_process.terminate();
        m_process.waitForFinished(20000);
    }
    bool WaitFor(const char* text, int timeoutMs = 60000)
    {
        return test::WaitUntil(
                   [&] {
                       m_output += m_process.readAllStandardOutput();
                       return m_output.contains(text) || m_process.state() == QProcess::NotRunning;
                   },
                   timeoutMs) &&
               m_output.contains(text);
    }
    const QByteArray& output() const { return m_output; }

private:
    QProcess m_process;
    QByteArray m_output;
};

struct Result
{
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

class CommandLineSendTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFileInfo(ProgramFile()).isExecutable());
        ASSERT_TRUE(m_receiver.ok && m_refuser.ok && m_sender.ok);
        for (const Copy* to : {&m_receiver, &m_refuser})
            ASSERT_TRUE(installation::TrustAuthority(m_sender.folder, to->authority()).ok);
        ASSERT_TRUE(QDir().mkpath(Incoming()));
        RulesRequest rule;
        rule.kind = RulesRequest::Kind::Add;
        rule.host = QStringLiteral("127.0.0.1");
        rule.saveFolder = Incoming();
        rule.bandLimit = QStringLiteral("0");
        ASSERT_EQ(
            rulesedit::ApplyToFile(rule, m_receiver.folder.file(QStringLiteral("autorec.vnt")))
                .exitCode,
            0);
    }

    QString Incoming() const { return m_temp.file(QStringLiteral("in")); }

    std::unique_ptr<QProcess> StartSend(const QStringList& arguments)
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(HeadlessEnvironment(m_sender.home));
        process->setWorkingDirectory(m_temp.path());
        process->start(ProgramFile(), QStringList{QStringLiteral("--send")} + arguments);
        return process;
    }
    Result Send(const QStringList& arguments)
    {
        auto process = StartSend(arguments);
        EXPECT_TRUE(process->waitForFinished(120000));
        return {process->exitCode(), process->readAllStandardOutput(),
                process->readAllStandardError()};
    }

    test::TempFolder m_temp;
    Copy m_receiver{m_temp.file(QStringLiteral("receiver"))};
    Copy m_refuser{m_temp.file(QStringLiteral("refuser"))};
    Copy m_sender{m_temp.file(QStringLiteral("sender"))};
};

TEST_F(CommandLineSendTest, DeliversRefusesAndTellsWhatWentWrong)
{
    Headless receiver(m_receiver);
    Headless refuser(m_refuser);
    ASSERT_TRUE(receiver.WaitFor("Listening on port"));
    ASSERT_TRUE(refuser.WaitFor("Listening on port"));

    m_temp.write(QStringLiteral("notes.txt"), RandomBytes(300000));
    m_temp.write(QStringLiteral("tree/a.txt"), "hello");
    m_temp.write(QStringLiteral("tree/sub/b.bin"), RandomBytes(70000));
    ASSERT_TRUE(QDir(m_temp.path()).mkpath(QStringLiteral("tree/empty")));
    const QString closedPort = QStringLiteral("127.0.0.1:%1").arg(test::FreePort());
    struct Case
    {
        QStringList arguments;
        int exitCode;
        const char* output;
        const char* errors;
    };
    const Case cases[] = {
        {{m_receiver.hostText(), QStringLiteral("notes.txt"), QStringLiteral("--comment"),
          QStringLiteral("for you")},
         commandlinesend::Delivered,
         "Delivered:",
         ""},
        {{m_receiver.hostText(), m_temp.file(QStringLiteral("tree")),
          QStringLiteral("--no-compress")},
         commandlinesend::Delivered,
         "Delivered:",
         ""},
        {{m_refuser.hostText(), QStringLiteral("notes.txt")},
         commandlinesend::Refused,
         "",
         "Nobody can answer requests on this computer now"},
        {{closedPort, QStringLiteral("notes.txt")},
         commandlinesend::Unreachable,
         "",
         "Unable to connect"},
        {{m_receiver.hostText(), QStringLiteral("missing.txt")},
         commandlinesend::Failed,
         "",
         "does not exist"},
        {{m_receiver.hostText()}, 2, "", "--send takes a host and a path"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const Result result = Send(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.errors.constData();
        EXPECT_TRUE(result.output.contains(c.output)) << result.output.constData();
        EXPECT_TRUE(result.errors.contains(c.errors)) << result.errors.constData();
    }
    EXPECT_EQ(test::TreeOf(Incoming() + QStringLiteral("/tree")),
              test::TreeOf(m_temp.file(QStringLiteral("tree"))));
    QFile sent(m_temp.file(QStringLiteral("notes.txt")));
    QFile arrived(Incoming() + QStringLiteral("/notes.txt"));
    ASSERT_TRUE(sent.open(QIODevice::ReadOnly) && arrived.open(QIODevice::ReadOnly));
    EXPECT_TRUE(sent.readAll() == arrived.readAll());
    // The request carried the sending profile's nickname.
    EXPECT_TRUE(receiver.WaitFor("(Bob), file \"notes.txt\"")) << receiver.output().constData();
}

TEST_F(CommandLineSendTest, UntrustedReceiverIsNamedWithHowToTrustIt)
{
    Copy stranger(m_temp.file(QStringLiteral("stranger")));
    ASSERT_TRUE(stranger.ok);
    RulesRequest rule;
    rule.kind = RulesRequest::Kind::Add;
    rule.host = QStringLiteral("127.0.0.1");
    rule.saveFolder = Incoming();
    rule.bandLimit = QStringLiteral("0");
    ASSERT_EQ(
        rulesedit::ApplyToFile(rule, stranger.folder.file(QStringLiteral("autorec.vnt"))).exitCode,
        0);
    Headless running(stranger);
    ASSERT_TRUE(running.WaitFor("Listening on port"));
    m_temp.write(QStringLiteral("x.txt"), "x");
    const QString trustList = m_sender.folder.file(installation::TrustListFile);
    QFile listFile(trustList);
    ASSERT_TRUE(listFile.open(QIODevice::ReadOnly));
    const QByteArray listBefore = listFile.readAll();
    listFile.close();
    QFile authorityFile(stranger.authority());
    ASSERT_TRUE(authorityFile.open(QIODevice::ReadOnly));
    const QByteArray authority = authorityFile.readAll();
    const auto listNow = [&] {
        QFile file(trustList);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };

    // Not on a terminal: the receiver's authority is named by the fingerprint it shows for
    // itself, and nothing changes.
    const Result result = Send({stranger.hostText(), QStringLiteral("x.txt")});
    EXPECT_EQ(result.exitCode, commandlinesend::Untrusted) << result.errors.constData();
    for (const QString& line : certificates::ReadableFingerprint(authority).split(u'\n'))
        EXPECT_TRUE(result.errors.contains(line.toLatin1())) << result.errors.constData();
    EXPECT_TRUE(result.errors.contains("--trust FILE")) << result.errors.constData();
    EXPECT_EQ(listNow(), listBefore);

    // A fingerprint given for a script: another one trusts nothing, the right one delivers.
    const Result wrong = Send({stranger.hostText(), QStringLiteral("x.txt"),
                               QStringLiteral("--trust-fingerprint"), QString(64, u'A')});
    EXPECT_EQ(wrong.exitCode, commandlinesend::Untrusted) << wrong.errors.constData();
    EXPECT_EQ(listNow(), listBefore);
    const Result right =
        Send({stranger.hostText(), QStringLiteral("x.txt"), QStringLiteral("--trust-fingerprint"),
              certificates::Fingerprint(authority)});
    EXPECT_EQ(right.exitCode, commandlinesend::Delivered) << right.errors.constData();
    EXPECT_EQ(listNow(), listBefore + authority);
    QFile arrived(Incoming() + QStringLiteral("/x.txt"));
    ASSERT_TRUE(arrived.open(QIODevice::ReadOnly));
    EXPECT_EQ(arrived.readAll(), QByteArray("x"));
}

TEST_F(CommandLineSendTest, ReceiverOfAnotherVersionIsReportedSo)
{
    // A trusted receiver that answers as another version would.
    test::OneRequestServer server(m_receiver.folder.path(),
                                  ReplyHeader::VersionMismatch(QByteArrayLiteral("Old")));
    ASSERT_TRUE(server.listening());
    m_temp.write(QStringLiteral("x.txt"), "x");
    const Result result = Send({server.hostText(), QStringLiteral("x.txt")});
    EXPECT_EQ(result.exitCode, commandlinesend::VersionMismatch) << result.errors.constData();
    EXPECT_TRUE(result.errors.contains("different version")) << result.errors.constData();
}

TEST_F(CommandLineSendTest, InterruptedByCtrlCAndResumedByTheSameCommand)
{
    Headless receiver(m_receiver);
    ASSERT_TRUE(receiver.WaitFor("Listening on port"));
    const QByteArray bytes = RandomBytes(4 * 1024 * 1024);
    m_temp.write(QStringLiteral("big.bin"), bytes);
    const QString arrived = Incoming() + QStringLiteral("/big.bin");

    auto first = StartSend({m_receiver.hostText(), QStringLiteral("big.bin"),
                            QStringLiteral("--no-compress"), QStringLiteral("--limit"),
                            QStringLiteral("200")});
    ASSERT_TRUE(test::WaitUntil([&] { return QFileInfo(arrived).size() > 1024 * 1024; }, 60000));
    ::kill(static_cast<pid_t>(first->processId()), SIGINT);
    ASSERT_TRUE(first->waitForFinished(30000));
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), commandlinesend::Interrupted);
    EXPECT_TRUE(first->readAllStandardError().contains("interrupted"));
    // Not a terminal: plain progress lines, no bar redrawn in place.
    const QByteArray progress = first->readAllStandardOutput();
    EXPECT_TRUE(progress.contains("%  ")) << progress.constData();
    EXPECT_FALSE(progress.contains('\r'));
    // The receiver saw the sender vanish and kept what arrived.
    ASSERT_TRUE(receiver.WaitFor("kept for a later resume", 30000))
        << receiver.output().constData();
    const qint64 kept = QFileInfo(arrived).size();
    EXPECT_LT(kept, bytes.size());

    const Result second =
        Send({m_receiver.hostText(), QStringLiteral("big.bin"), QStringLiteral("--no-compress")});
    EXPECT_EQ(second.exitCode, commandlinesend::Delivered) << second.errors.constData();
    EXPECT_TRUE(receiver.WaitFor("resuming into")) << receiver.output().constData();
    QFile file(arrived);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() == bytes);
}

} // namespace
} // namespace vantrel
