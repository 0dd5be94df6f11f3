// Real processes killed mid-transfer: the program itself receiving headless under an
// auto-receive rule, a driven copy of the engine sending. Either side is killed (SIGKILL) at
// points drawn from a seeded generator during the data phase of a raw file and of a folder
// (an archive); after a restart the same offer resumes and arrives byte for byte. A receiver
// stopped by SIGTERM with several transfers running keeps what a resume needs and ends within
// a few seconds.
#include "core/base/settingsstore.h"
#include "core/installation.h"
#include "core/profile.h"
#include "receive/autoreceiverules.h"
#include "receive/resumecache.h"
#include "tests/engine/twocopies.h"
#include "tests/support/freeport.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace vantrel::test {
namespace {

constexpr int LineTimeoutMs = 60000;
constexpr std::uint32_t SlowBandLimit = 200; // the first attempt's, to widen the window
constexpr qsizetype OfferBytes = 1536 * 1024;
constexpr int ExitBoundMs = 10000;

// A process whose standard output is gathered line by line.
class Running
{
public:
    Running(const QString& program, const QStringList& arguments,
            const QProcessEnvironment& environment)
    {
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.setReadChannel(QProcess::StandardOutput);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            m_output += QString::fromUtf8(m_process.readAllStandardOutput());
        });
        m_process.start(program, arguments);
    }
    ~Running()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    QProcess& process() { return m_process; }
    const QString& output() const { return m_output; }
    qint64 pid() const { return m_process.processId(); }

    // The lines so far that begin with `prefix` and hold `text`.
    QStringList Lines(const QString& prefix, const QString& text = QString()) const
    {
        QStringList found;
        for (const QString& line : m_output.split(QLatin1Char('\n')))
            if (line.startsWith(prefix) && line.contains(text))
                found << line;
        return found;
    }
    bool WaitForLines(const QString& prefix, const QString& text, int count = 1)
    {
        return WaitUntil(
                   [&] {
                       return Lines(prefix, text).size() >= count ||
                              m_process.state() == QProcess::NotRunning;
                   },
                   LineTimeoutMs) &&
               Lines(prefix, text).size() >= count;
    }
    void Say(const QStringList& fields)
    {
        m_process.write((fields.join(QLatin1Char('\t')) + QLatin1Char('\n')).toUtf8());
    }
    // Only a process still running: a pid of 0 would signal the test's own process group.
    void Signal(int number)
    {
        if (pid() > 0 && m_process.state() == QProcess::Running)
            ::kill(static_cast<pid_t>(pid()), number);
    }
    bool WaitForEnd(int timeoutMs = LineTimeoutMs)
    {
        return WaitUntil([&] { return m_process.state() == QProcess::NotRunning; }, timeoutMs);
    }

private:
    QProcess m_process;
    QString m_output;
};

// The program, headless, on a profile of its own whose rule accepts everything from this
// machine into `incoming()`.
class Receiver
{
public:
    Receiver()
    {
        const Profile profile = Profile::Portable(m_home.path());
        SettingsStore store(profile.iniFile());
        m_ok = installation::Install(profile, store).ok;
        m_folder = profile.ProgramFolderFrom(store);
        m_port = FreePort();
        store.Write(SettingsStore::MainKey, QStringLiteral("ServerPort"), QString::number(m_port));
        store.Write(SettingsStore::MainKey, QStringLiteral("NickName"), QStringLiteral("Bob"));
        QDir().mkpath(incoming());
        AutoReceiveRules rules;
        m_ok = m_ok &&
               rules.Add({QStringLiteral("127.0.0.1"), incoming(), QStringLiteral("0")}) ==
                   AutoReceiveRules::Check::Ok &&
               rules.Save(m_folder.file(QStringLiteral("autorec.vnt")));
    }

    bool ok() const { return m_ok && m_port > 0; }
    QString incoming() const { return m_home.file(QStringLiteral("in")); }
    QString authority() const { return m_folder.file(installation::AuthorityFile); }
    const ProgramFolder& folder() const { return m_folder; }
    QString hostText() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    Running& running() { return *m_running; }

    bool Start()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VANTREL_HOME"), m_home.path());
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        m_running.reset();
        m_running = std::make_unique<Running>(BuildFolder() + QStringLiteral("/vantrel"),
                                              QStringList(), environment);
        return m_running->WaitForLines(QStringLiteral("Listening on port"), QString());
    }
    void Kill()
    {
        m_running->Signal(SIGKILL);
        m_running->WaitForEnd();
    }

private:
    TempFolder m_home;
    ProgramFolder m_folder;
    int m_port = 0;
    bool m_ok = false;
    std::unique_ptr<Running> m_running;
};

// A driven copy of the engine that sends; its profile outlives a restart.
class Sender
{
public:
    explicit Sender(QString home) : m_home(std::move(home)) {}

    bool Start(const QString& trusted)
    {
        m_running.reset();
        m_running = std::make_unique<Running>(QStringLiteral(VANTREL_NAMESPACED_COPY),
                                              QStringList{QStringLiteral("--home"), m_home,
                                                          QStringLiteral("--nick"),
                                                          QStringLiteral("Alice")},
                                              QProcessEnvironment::systemEnvironment());
        if (!m_running->WaitForLines(QStringLiteral("READY"), QString()))
            return false;
        m_running->Say({QStringLiteral("trust"), trusted});
        return m_running->WaitForLines(QStringLiteral("RESULT"), QString());
    }
    void Send(const QString& host, const QString& path, std::uint32_t bandLimit = 0)
    {
        m_running->Say({QStringLiteral("send"), host, path, QString::number(bandLimit)});
    }
    void Kill()
    {
        m_running->Signal(SIGKILL);
        m_running->WaitForEnd();
    }
    Running& running() { return *m_running; }

private:
    QString m_home;
    std::unique_ptr<Running> m_running;
};

// A folder of incompressible files, so that its archive is as long as a raw file.
void WriteTree(const QString& root, quint32 seed)
{
    WriteFile(root + QStringLiteral("/a/one.bin"), RandomData(OfferBytes / 2, seed));
    WriteFile(root + QStringLiteral("/a/b/two.bin"), RandomData(OfferBytes / 3, seed + 1));
    WriteFile(root + QStringLiteral("/three.bin"), RandomData(OfferBytes / 6, seed + 2));
    WriteFile(root + QStringLiteral("/empty.txt"), QByteArray());
    QDir().mkpath(root + QStringLiteral("/c/empty folder"));
}

void Pause(int ms)
{
    QElapsedTimer timer;
    timer.start();
    WaitUntil([&] { return timer.elapsed() >= ms; }, ms + 1000);
}

quint32 Seed()
{
    const QByteArray given = qgetenv("VANTREL_CRASH_SEED");
    const quint32 seed = given.isEmpty() ? QRandomGenerator::system()->generate() : given.toUInt();
    std::printf("crash points drawn with VANTREL_CRASH_SEED=%u\n", seed);
    return seed;
}

enum class Killed
{
    Receiver,
    Sender
};

struct Round
{
    const char* name;
    bool directory;
    Killed killed;
};

void PrintTo(const Round& round, std::ostream* out)
{
    *out << round.name;
}

class Crash : public ::testing::TestWithParam<Round>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_receiver.ok());
        ASSERT_TRUE(m_receiver.Start()) << m_receiver.running().output().toStdString();
        ASSERT_TRUE(m_sender.Start(m_receiver.authority()))
            << m_sender.running().output().toStdString();
    }

    TempFolder m_data;
    Receiver m_receiver;
    Sender m_sender{m_data.file(QStringLiteral("sender"))};
};

TEST_P(Crash, KilledMidTransferResumesByteIdentical)
{
    const Round& round = GetParam();
    QRandomGenerator random(Seed());
    constexpr int Rounds = 2;
    for (int n = 0; n < Rounds; ++n) {
        // A new offer each round, so that every round starts from nothing kept.
        const QString name = QStringLiteral("offer-%1").arg(n);
        const QString source = m_data.file(QStringLiteral("src/") + name);
        if (round.directory)
            WriteTree(source, 100 + n);
        else
            WriteFile(source, RandomData(OfferBytes, 100 + n));
        const QString quoted = QLatin1Char('"') + name + QLatin1Char('"');

        const int results = m_sender.running().Lines(QStringLiteral("RESULT")).size();
        m_sender.Send(m_receiver.hostText(), source, SlowBandLimit);
        ASSERT_TRUE(m_receiver.running().WaitForLines(QStringLiteral("Accepted:"), quoted))
            << m_receiver.running().output().toStdString();
        // Within the data phase, past the first flush of received bytes.
        const int delayMs = 2500 + int(random.bounded(3000));
        std::printf("round %d: kill the %s %d ms after the acceptance\n", n,
                    round.killed == Killed::Receiver ? "receiver" : "sender", delayMs);
        Pause(delayMs);
        if (round.killed == Killed::Receiver) {
            m_receiver.Kill();
            ASSERT_TRUE(
                m_sender.running().WaitForLines(QStringLiteral("RESULT"), QString(), results + 1));
            ASSERT_TRUE(m_receiver.Start()) << m_receiver.running().output().toStdString();
        } else {
            m_sender.Kill();
            ASSERT_TRUE(m_receiver.running().WaitForLines(QStringLiteral("Failed:"), quoted))
                << m_receiver.running().output().toStdString();
            ASSERT_TRUE(m_sender.Start(m_receiver.authority()));
        }
        EXPECT_TRUE(m_receiver.running().Lines(QStringLiteral("Completed:"), quoted).isEmpty());

        const int before = m_sender.running().Lines(QStringLiteral("RESULT")).size();
        m_sender.Send(m_receiver.hostText(), source);
        ASSERT_TRUE(m_receiver.running().WaitForLines(QStringLiteral("Completed:"), quoted))
            << m_receiver.running().output().toStdString();
        const QStringList accepted =
            m_receiver.running().Lines(QStringLiteral("Accepted:"), quoted);
        ASSERT_FALSE(accepted.isEmpty());
        EXPECT_TRUE(accepted.back().contains(QStringLiteral("resuming")))
            << m_receiver.running().output().toStdString();
        EXPECT_EQ(TreeDifference(source, m_receiver.incoming() + QLatin1Char('/') + name),
                  QString());
        ASSERT_TRUE(
            m_sender.running().WaitForLines(QStringLiteral("RESULT"), QString(), before + 1));
    }
}

const Round Rounds[] = {
    {"RawFileReceiverKilled", false, Killed::Receiver},
    {"FolderReceiverKilled", true, Killed::Receiver},
    {"RawFileSenderKilled", false, Killed::Sender},
    {"FolderSenderKilled", true, Killed::Sender},
};
INSTANTIATE_TEST_SUITE_P(Rounds, Crash, ::testing::ValuesIn(Rounds), CaseName());

// SIGTERM while three transfers run (two files, a folder): the receiver keeps what each needs
// for a resume, saves its lists and ends within a few seconds; after a restart each offer
// resumes and arrives whole.
TEST(Terminate, StopsWithinSecondsAndEveryRunningTransferResumes)
{
    TempFolder data;
    Receiver receiver;
    ASSERT_TRUE(receiver.ok());
    ASSERT_TRUE(receiver.Start()) << receiver.running().output().toStdString();
    std::vector<std::unique_ptr<Sender>> senders;
    QStringList names;
    for (int i = 0; i < 3; ++i) {
        const QString name = QStringLiteral("running-%1").arg(i);
        const QString source = data.file(QStringLiteral("src/") + name);
        if (i == 2)
            WriteTree(source, 200 + i);
        else
            WriteFile(source, RandomData(OfferBytes, 200 + i));
        names << name;
        senders.push_back(std::make_unique<Sender>(data.file(QStringLiteral("sender-%1").arg(i))));
        ASSERT_TRUE(senders.back()->Start(receiver.authority()));
        senders.back()->Send(receiver.hostText(), source, SlowBandLimit);
    }
    ASSERT_TRUE(receiver.running().WaitForLines(QStringLiteral("Accepted:"), QString(), 3))
        << receiver.running().output().toStdString();
    Pause(3000);

    QElapsedTimer stopping;
    stopping.start();
    receiver.running().Signal(SIGTERM);
    ASSERT_TRUE(receiver.running().WaitForEnd(2 * ExitBoundMs));
    const qint64 stopMs = stopping.elapsed();
    std::printf("SIGTERM with 3 transfers running: ended after %lld ms\n",
                static_cast<long long>(stopMs));
    EXPECT_LT(stopMs, ExitBoundMs);
    EXPECT_EQ(receiver.running().process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(receiver.running().process().exitCode(), 0);

    // The folder's partial archive is in the saved list; the files' partial copies stay in
    // place.
    ResumeCache saved(receiver.folder());
    saved.Load();
    ASSERT_EQ(saved.entries().size(), 1u);
    EXPECT_EQ(saved.entries()[0].fileName, names[2].toUtf8());
    EXPECT_GT(saved.entries()[0].actualSize.value_or(0), 0u);
    for (int i = 0; i < 2; ++i)
        EXPECT_GT(QFileInfo(receiver.incoming() + QLatin1Char('/') + names[i]).size(), 0);

    ASSERT_TRUE(receiver.Start()) << receiver.running().output().toStdString();
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(senders[i]->running().WaitForLines(QStringLiteral("RESULT"), QString(), 2));
        senders[i]->Send(receiver.hostText(), data.file(QStringLiteral("src/") + names[i]));
    }
    for (int i = 0; i < 3; ++i) {
        const QString quoted = QLatin1Char('"') + names[i] + QLatin1Char('"');
        ASSERT_TRUE(receiver.running().WaitForLines(QStringLiteral("Completed:"), quoted))
            << receiver.running().output().toStdString();
        EXPECT_TRUE(receiver.running()
                        .Lines(QStringLiteral("Accepted:"), quoted)
                        .value(0)
                        .contains(QStringLiteral("resuming")))
            << receiver.running().output().toStdString();
        EXPECT_EQ(TreeDifference(data.file(QStringLiteral("src/") + names[i]),
                                 receiver.incoming() + QLatin1Char('/') + names[i]),
                  QString());
    }
}

} // namespace
} // namespace vantrel::test
