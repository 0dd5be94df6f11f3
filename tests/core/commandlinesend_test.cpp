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
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>

#include <cerrno>
#include <csignal>
#include <memory>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/wait.h>
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
    explicit Copy(const QString& homeFolder)
        : home(homeFolder), profile(Profile::Portable(homeFolder))
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

// A command run on a pseudo-terminal, as from a shell: its output read as it comes, its
// questions answered by typing.
class TerminalRun
{
public:
    TerminalRun(const QProcessEnvironment& environment, const QString& folder,
                const QStringList& arguments)
    {
        // Everything the child needs is made before the fork.
        std::vector<QByteArray> words{QFile::encodeName(ProgramFile())};
        for (const QString& argument : arguments)
            words.push_back(argument.toLocal8Bit());
        std::vector<QByteArray> variables;
        for (const QString& variable : environment.toStringList())
            variables.push_back(variable.toLocal8Bit());
        std::vector<char*> argv, envp;
        for (QByteArray& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        for (QByteArray& variable : variables)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        const QByteArray directory = QFile::encodeName(folder);
        m_child = ::forkpty(&m_terminal, nullptr, nullptr, nullptr);
        if (m_child == 0) {
            if (::chdir(directory.constData()) == 0)
                ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
    }
    ~TerminalRun()
    {
        if (m_child > 0 && !m_exited) {
            ::kill(m_child, SIGKILL);
            ::waitpid(m_child, nullptr, 0);
        }
        if (m_terminal >= 0)
            ::close(m_terminal);
    }
    bool started() const { return m_child > 0; }
    const QByteArray& output() const { return m_output; }

    // Reads until `text` has appeared, the terminal closes or the time is up.
    bool WaitFor(const QByteArray& text, int timeoutMs = 60000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!m_output.contains(text) && !m_closed && clock.elapsed() < timeoutMs)
            ReadSome(100);
        return m_output.contains(text);
    }
    void Type(const QByteArray& line)
    {
        ASSERT_EQ(::write(m_terminal, line.data(), line.size()), line.size());
    }
    // Reads to the end and gives the exit code; -1 when it does not end in time.
    int Finish(int timeoutMs = 120000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!m_closed && clock.elapsed() < timeoutMs)
            ReadSome(100);
        int status = 0;
        if (!m_closed || ::waitpid(m_child, &status, 0) != m_child)
            return -1;
        m_exited = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    void ReadSome(int waitMs)
    {
        pollfd entry{m_terminal, POLLIN, 0};
        if (::poll(&entry, 1, waitMs) <= 0)
            return;
        char buffer[4096];
        const ssize_t got = ::read(m_terminal, buffer, sizeof buffer);
        if (got > 0)
            m_output.append(buffer, got);
        else if (got == 0 || errno != EINTR)
            m_closed = true; // the other side is gone (EIO once the child has ended)
    }

    pid_t m_child = -1;
    int m_terminal = -1;
    bool m_closed = false;
    bool m_exited = false;
    QByteArray m_output;
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
        TakeFromLoopback(m_receiver);
    }

    QString Incoming() const { return m_temp.file(QStringLiteral("in")); }

    // A rule of `copy` that takes whatever comes from this machine into Incoming().
    void TakeFromLoopback(const Copy& copy) const
    {
        RulesRequest rule;
        rule.kind = RulesRequest::Kind::Add;
        rule.host = QStringLiteral("127.0.0.1");
        rule.saveFolder = Incoming();
        rule.bandLimit = QStringLiteral("0");
        EXPECT_EQ(
            rulesedit::ApplyToFile(rule, copy.folder.file(QStringLiteral("autorec.vnt"))).exitCode,
            0);
    }
    // A copy the sender does not trust, which takes what the sender sends.
    std::unique_ptr<Copy> Stranger() const
    {
        auto stranger = std::make_unique<Copy>(m_temp.file(QStringLiteral("stranger")));
        EXPECT_TRUE(stranger->ok);
        TakeFromLoopback(*stranger);
        return stranger;
    }
    QByteArray TrustList() const
    {
        QFile file(m_sender.folder.file(installation::TrustListFile));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

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
    const std::unique_ptr<Copy> strangerCopy = Stranger();
    const Copy& stranger = *strangerCopy;
    Headless running(stranger);
    ASSERT_TRUE(running.WaitFor("Listening on port"));
    m_temp.write(QStringLiteral("x.txt"), "x");
    const QByteArray listBefore = TrustList();
    QFile authorityFile(stranger.authority());
    ASSERT_TRUE(authorityFile.open(QIODevice::ReadOnly));
    const QByteArray authority = authorityFile.readAll();
    const auto listNow = [&] { return TrustList(); };

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
    // The sender is done once its last byte is out; the receiver then still unpacks.
    EXPECT_TRUE(running.WaitFor("Completed")) << running.output().constData();
    QFile arrived(Incoming() + QStringLiteral("/x.txt"));
    ASSERT_TRUE(arrived.open(QIODevice::ReadOnly));
    EXPECT_EQ(arrived.readAll(), QByteArray("x"));
}

// On a terminal the sender is asked whether to trust the receiver: anything but yes trusts
// nothing, yes adds its authority and sends again at once.
TEST_F(CommandLineSendTest, OnATerminalTheAnswerDecidesTrust)
{
    const std::unique_ptr<Copy> stranger = Stranger();
    Headless running(*stranger);
    ASSERT_TRUE(running.WaitFor("Listening on port"));
    m_temp.write(QStringLiteral("t.txt"), "trusted at the prompt");
    const QByteArray listBefore = TrustList();
    QFile authorityFile(stranger->authority());
    ASSERT_TRUE(authorityFile.open(QIODevice::ReadOnly));
    const QByteArray authority = authorityFile.readAll();
    const QByteArray question = "Trust this computer? [y/N] ";
    const QStringList arguments = {QStringLiteral("--send"), stranger->hostText(),
                                   QStringLiteral("t.txt")};

    struct Answer
    {
        QByteArray typed;
        int exitCode;
        bool trusted;
    };
    for (const Answer& answer : {Answer{"n\n", commandlinesend::Untrusted, false},
                                 Answer{"\n", commandlinesend::Untrusted, false},
                                 Answer{"Y\n", commandlinesend::Delivered, true}}) {
        SCOPED_TRACE(answer.typed.constData());
        TerminalRun run(HeadlessEnvironment(m_sender.home), m_temp.path(), arguments);
        ASSERT_TRUE(run.started());
        ASSERT_TRUE(run.WaitFor(question)) << run.output().constData();
        EXPECT_TRUE(run.output().contains(
            certificates::ReadableFingerprint(authority).split(u'\n').front().toLatin1()))
            << run.output().constData();
        run.Type(answer.typed);
        EXPECT_EQ(run.Finish(), answer.exitCode) << run.output().constData();
        EXPECT_EQ(TrustList(), answer.trusted ? listBefore + authority : listBefore);
    }
    // Only the last answer sent anything; the receiver unpacks it after the sender is done.
    EXPECT_TRUE(running.WaitFor("Completed")) << running.output().constData();
    EXPECT_EQ(running.output().count("Completed"), 1);
    QFile arrived(Incoming() + QStringLiteral("/t.txt"));
    ASSERT_TRUE(arrived.open(QIODevice::ReadOnly));
    EXPECT_EQ(arrived.readAll(), QByteArray("trusted at the prompt"));
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
    // The sender is done once its last byte is out; the receiver may still be writing.
    EXPECT_TRUE(receiver.WaitFor("Completed")) << receiver.output().constData();
    QFile file(arrived);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() == bytes);
}

// The endings no loopback case above reaches (a name that does not resolve needs a name
// server; a failed handshake, a receiver that resets) keep the codes the help text promises.
TEST(CommandLineSendExitCodes, EndingsWithoutALoopbackCaseKeepTheirCodes)
{
    const struct
    {
        SendReason reason;
        int code;
    } cases[] = {
        {SendReason::Unresolved, commandlinesend::Unreachable},
        {SendReason::HandshakeFailed, commandlinesend::Untrusted},
        {SendReason::ConnectionReset, commandlinesend::Failed},
        {SendReason::ChangedWhileSent, commandlinesend::Failed},
        {SendReason::TlsUnavailable, commandlinesend::Failed},
        {SendReason::Cancelled, commandlinesend::Interrupted},
    };
    for (const auto& c : cases)
        EXPECT_EQ(commandlinesend::ExitCodeOf(c.reason), c.code) << static_cast<int>(c.reason);
}

} // namespace
} // namespace vantrel
