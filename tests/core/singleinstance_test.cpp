#include "core/singleinstance.h"

#include "core/base/settingsstore.h"
#include "core/handoffreceiver.h"
#include "core/handoffstart.h"
#include "core/instanceclient.h"
#include "core/rulesedit.h"
#include "core/rulesstart.h"
#include "receive/autoreceiverules.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTextStream>

#include <atomic>
#include <ostream>
#include <thread>

// Paths in failure messages as text.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace vantrel {
namespace {

QString ProgramFile()
{
    return test::BuildFolder() + QStringLiteral("/vantrel");
}

// The real program on a portable profile, without a display.
std::unique_ptr<QProcess> StartProgram(const QString& home, const QStringList& arguments,
                                       bool headlessDefaults = false,
                                       const QString& workingFolder = {})
{
    auto process = std::make_unique<QProcess>();
    if (!workingFolder.isEmpty())
        process->setWorkingDirectory(workingFolder);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VANTREL_HOME"), home);
    if (headlessDefaults) {
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    } else {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    process->setProcessEnvironment(env);
    process->start(ProgramFile(), arguments);
    return process;
}

bool Finished(QProcess& process)
{
    return test::WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 30000);
}

TEST(SingleInstanceTest, OneInstancePerProfile)
{
    test::TempFolder first, second;
    SingleInstance a(Profile::Portable(first.path()));
    SingleInstance again(Profile::Portable(first.path() + QStringLiteral("/.")));
    SingleInstance b(Profile::Portable(second.path()));

    EXPECT_EQ(a.TryBecomeInstance(), SingleInstance::Outcome::Became);
    EXPECT_EQ(again.TryBecomeInstance(), SingleInstance::Outcome::AlreadyRunning);
    EXPECT_FALSE(again.isInstance());
    EXPECT_EQ(b.TryBecomeInstance(), SingleInstance::Outcome::Became);
}

TEST(SingleInstanceTest, ReleasedProfileCanBeTakenAgain)
{
    test::TempFolder temp;
    const Profile profile = Profile::Portable(temp.path());
    {
        SingleInstance first(profile);
        ASSERT_EQ(first.TryBecomeInstance(), SingleInstance::Outcome::Became);
    }
    SingleInstance next(profile);
    EXPECT_EQ(next.TryBecomeInstance(), SingleInstance::Outcome::Became);
    InstanceClient client(profile);
    EXPECT_TRUE(client.Connect());
}

TEST(SingleInstanceTest, NotificationsWaitForTheirTargetAndAreAnsweredOnceRead)
{
    test::TempFolder temp;
    const Profile profile = Profile::Portable(temp.path());
    SingleInstance instance(profile);
    ASSERT_EQ(instance.TryBecomeInstance(), SingleInstance::Outcome::Became);

    // Delivered before the receiver exists, as when a hand-off starts the program: one start
    // waits for its answer, another gives up first.
    temp.write(QStringLiteral("filename.vnt"), QByteArray("/tmp/early", 11));
    std::atomic<int> notified{-1};
    std::atomic<int> gaveUp{-1};
    std::thread notifier([&] {
        InstanceClient client(profile);
        notified = client.Connect() && client.Notify(20000) ? 1 : 0;
    });
    std::thread impatient([&] {
        InstanceClient client(profile);
        gaveUp = client.Connect() && client.Notify(200) ? 1 : 0;
    });
    test::WaitUntil([&] { return gaveUp >= 0; });
    impatient.join();
    EXPECT_EQ(gaveUp, 0);
    test::WaitUntil([] { return false; }, 200);
    EXPECT_EQ(notified, -1); // no answer before the path has been read

    HandOffReceiver receiver{ProgramFolder(temp.path())};
    QStringList opened;
    QObject::connect(&receiver, &HandOffReceiver::openSendRequested, &receiver,
                     [&](const QString& path) { opened << path; });
    instance.SetNotifyTarget(&receiver);
    test::WaitUntil([&] { return notified >= 0; });
    notifier.join();
    EXPECT_EQ(notified, 1);
    temp.write(QStringLiteral("filename.vnt"), QByteArray("/tmp/rewritten after", 21));
    ASSERT_TRUE(test::WaitUntil([&] { return !opened.isEmpty(); }));
    test::WaitUntil([] { return false; }, 200);
    EXPECT_EQ(opened, QStringList({QStringLiteral("/tmp/early")}));
}

TEST(SingleInstanceTest, CopyThatRefusesHandOffsAnswersSoAndDeliversNothing)
{
    test::TempFolder temp;
    const Profile profile = Profile::Portable(temp.path());
    SingleInstance instance(profile);
    ASSERT_EQ(instance.TryBecomeInstance(), SingleInstance::Outcome::Became);
    HandOffReceiver receiver{ProgramFolder(temp.path())};
    QStringList opened;
    QObject::connect(&receiver, &HandOffReceiver::openSendRequested, &receiver,
                     [&](const QString& path) { opened << path; });
    instance.SetNotifyTarget(&receiver);
    instance.RefuseHandOffs();
    temp.write(QStringLiteral("filename.vnt"), QByteArray("/tmp/refused", 13));

    std::atomic<int> delivery{-1};
    std::thread notifier([&] {
        InstanceClient client(profile);
        delivery = client.Connect() ? static_cast<int>(client.Deliver()) : -2;
    });
    test::WaitUntil([&] { return delivery != -1; });
    notifier.join();
    EXPECT_EQ(delivery, static_cast<int>(InstanceClient::Delivery::Refused));
    // Nothing was handed on, not even later.
    test::WaitUntil([&] { return !opened.isEmpty(); }, 300);
    EXPECT_TRUE(opened.isEmpty());
}

// A command-line request about the rules, run on a thread of its own as another process would
// (the copy answers on this thread's event loop).
struct RulesOutcome
{
    int exitCode = -1;
    QString output;
    QString errors;
};

RulesOutcome RunRulesCommand(const Profile& profile, const RulesRequest& request,
                             const std::function<void()>& meanwhile = {})
{
    RulesOutcome outcome;
    std::atomic<bool> done{false};
    std::thread command([&] {
        QTextStream out(&outcome.output), errors(&outcome.errors);
        outcome.exitCode = rulesstart::Run(profile, request, out, errors);
        done = true;
    });
    if (meanwhile)
        meanwhile();
    test::WaitUntil([&] { return done.load(); }, 20000);
    command.join();
    return outcome;
}

TEST(RulesCommandTest, EditsReachTheRunningCopyAtOnceAndItsFile)
{
    test::TempFolder temp;
    const Profile profile = Profile::Portable(temp.path());
    ASSERT_TRUE(QDir(temp.path()).mkdir(QStringLiteral("in")));
    const QString file = temp.file(QStringLiteral("autorec.vnt"));
    SingleInstance instance(profile);
    ASSERT_EQ(instance.TryBecomeInstance(), SingleInstance::Outcome::Became);
    AutoReceiveRules rules;
    int changes = 0;
    QObject::connect(&rules, &AutoReceiveRules::changed, &rules, [&] { ++changes; });

    RulesRequest add;
    add.kind = RulesRequest::Kind::Add;
    add.host = QStringLiteral("peer.example");
    add.saveFolder = temp.file(QStringLiteral("in"));
    add.bandLimit = QStringLiteral("40");
    // Asked before the copy is ready to answer (as while it starts): the request waits.
    const RulesOutcome added = RunRulesCommand(profile, add, [&] {
        test::WaitUntil([] { return false; }, 300);
        EXPECT_EQ(changes, 0);
        instance.SetRulesHandler(
            [&](const QByteArray& request) { return rulesedit::Answer(rules, request, file); });
    });
    EXPECT_EQ(added.exitCode, 0) << added.errors.toStdString();
    EXPECT_TRUE(added.output.startsWith(QStringLiteral("Added rule 1\tenabled\tpeer.example")))
        << added.output.toStdString();
    EXPECT_EQ(changes, 1); // the rules window refreshes on this
    const std::optional<AutoReceiveMatch> match =
        rules.MatchAutoReceive(QStringLiteral("peer.example"), std::nullopt);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->bandLimit, 40u);
    AutoReceiveRules stored;
    stored.Load(file);
    EXPECT_EQ(stored.rules().size(), 1u);

    // The listing is the copy's, not the file's.
    QFile::remove(file);
    const RulesOutcome listed = RunRulesCommand(profile, RulesRequest{});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_TRUE(listed.output.startsWith(QStringLiteral("1\tenabled\tpeer.example\t")))
        << listed.output.toStdString();

    // A failed check changes nothing and says what the rules window says.
    add.saveFolder = temp.file(QStringLiteral("missing"));
    const RulesOutcome refused = RunRulesCommand(profile, add);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.errors.contains(QStringLiteral("You must provide a valid Save Directory!")))
        << refused.errors.toStdString();
    EXPECT_EQ(rules.rules().size(), 1u);

    RulesRequest remove;
    remove.kind = RulesRequest::Kind::Remove;
    remove.number = 1;
    EXPECT_EQ(RunRulesCommand(profile, remove).exitCode, 0);
    EXPECT_TRUE(rules.rules().empty());
    stored.Load(file);
    EXPECT_TRUE(stored.rules().empty());
    EXPECT_TRUE(QFileInfo::exists(file));
}

TEST(RulesCommandTest, WithoutARunningCopyTheFileIsEdited)
{
    test::TempFolder temp;
    const Profile profile = Profile::Portable(temp.path());
    ASSERT_TRUE(QDir(temp.path()).mkdir(QStringLiteral("in")));
    RulesRequest add;
    add.kind = RulesRequest::Kind::Add;
    add.host = QStringLiteral("10.1.2.3");
    add.saveFolder = temp.file(QStringLiteral("in"));
    add.bandLimit = QStringLiteral("0");
    const RulesOutcome added = RunRulesCommand(profile, add);
    EXPECT_EQ(added.exitCode, 0) << added.errors.toStdString();
    AutoReceiveRules stored;
    stored.Load(temp.file(QStringLiteral("autorec.vnt")));
    ASSERT_EQ(stored.rules().size(), 1u);
    EXPECT_EQ(stored.rules().front().host, QStringLiteral("10.1.2.3"));
    // The profile is free again for a copy to start.
    SingleInstance instance(profile);
    EXPECT_EQ(instance.TryBecomeInstance(), SingleInstance::Outcome::Became);
}

class HandOffProcessTest : public ::testing::Test
{
protected:
    HandOffProcessTest()
        : m_profile(Profile::Portable(m_temp.path())), m_instance(m_profile),
          m_receiver(ProgramFolder(m_temp.path()))
    {
        QObject::connect(&m_receiver, &HandOffReceiver::openSendRequested, &m_receiver,
                         [this](const QString& path) { m_opened << path; });
    }

    void SetUp() override
    {
        ASSERT_TRUE(QFileInfo(ProgramFile()).isExecutable()) << ProgramFile().toStdString();
        ASSERT_EQ(m_instance.TryBecomeInstance(), SingleInstance::Outcome::Became);
        m_instance.SetNotifyTarget(&m_receiver);
    }

    test::TempFolder m_temp;
    Profile m_profile;
    SingleInstance m_instance;
    HandOffReceiver m_receiver;
    QStringList m_opened;
};

TEST_F(HandOffProcessTest, PathOnTheCommandLineReachesTheRunningInstance)
{
    const QString path = m_temp.path() + QStringLiteral("/My Files/Grüße – данные.txt");
    struct Case
    {
        QStringList arguments;
        QString expected;
    };
    const Case cases[] = {
        {{path}, path},
        // Split by a shell that was not told to quote: the words are joined back.
        {path.split(QLatin1Char(' ')), path},
        {{QLatin1Char('"') + path + QLatin1Char('"')}, path},
    };
    for (const Case& c : cases) {
        m_opened.clear();
        auto process = StartProgram(m_temp.path(), c.arguments);
        ASSERT_TRUE(Finished(*process));
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().constData();
        ASSERT_TRUE(test::WaitUntil([&] { return !m_opened.isEmpty(); }));
        EXPECT_EQ(m_opened, QStringList({c.expected}));
    }
}

// A file manager's "send" on several selected files starts one process per file at once.
TEST_F(HandOffProcessTest, StartsTogetherHandOffEachTheirOwnPathOnce)
{
    QStringList paths;
    std::vector<std::unique_ptr<QProcess>> starts;
    for (int i = 1; i <= 5; ++i) {
        const QString name = QStringLiteral("m%1.bin").arg(i);
        m_temp.write(name, name.toUtf8());
        paths << m_temp.file(name);
        starts.push_back(StartProgram(m_temp.path(), {paths.back()}));
    }
    for (auto& start : starts) {
        ASSERT_TRUE(Finished(*start));
        EXPECT_EQ(start->exitCode(), 0) << start->readAllStandardError().constData();
    }
    ASSERT_TRUE(test::WaitUntil([&] { return m_opened.size() >= paths.size(); }));
    test::WaitUntil([] { return false; }, 300); // nothing more arrives
    m_opened.sort();
    EXPECT_EQ(m_opened, paths);
}

TEST_F(HandOffProcessTest, FileNamedLikeAnOptionIsHandedOffByItsPath)
{
    const QString folder = m_temp.file(QStringLiteral("work"));
    m_temp.write(QStringLiteral("work/--help"), "not an option");
    auto process = StartProgram(m_temp.path(), {QStringLiteral("--help")}, false, folder);
    ASSERT_TRUE(Finished(*process));
    EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().constData();
    EXPECT_TRUE(process->readAllStandardOutput().isEmpty()); // no help text
    ASSERT_TRUE(test::WaitUntil([&] { return !m_opened.isEmpty(); }));
    EXPECT_EQ(m_opened, QStringList({folder + QStringLiteral("/--help")}));
}

TEST_F(HandOffProcessTest, UnknownOptionGivesUsageAndHandsNothingOff)
{
    auto process = StartProgram(m_temp.path(), {QStringLiteral("--no-such-option")});
    ASSERT_TRUE(Finished(*process));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 2);
    const QByteArray errors = process->readAllStandardError();
    EXPECT_TRUE(errors.contains("unknown option --no-such-option")) << errors.constData();
    EXPECT_TRUE(errors.contains("Usage: vantrel")) << errors.constData();
    EXPECT_FALSE(QFileInfo::exists(m_temp.file(QStringLiteral("filename.vnt"))));
    test::WaitUntil([&] { return !m_opened.isEmpty(); }, 300);
    EXPECT_TRUE(m_opened.isEmpty());
}

TEST_F(HandOffProcessTest, SendWithoutAHostIsAUsageErrorAtOnce)
{
    m_temp.write(QStringLiteral("notes.txt"), "to send");
    auto process = StartProgram(m_temp.path(), {QStringLiteral("--send"), QString(),
                                                m_temp.file(QStringLiteral("notes.txt"))});
    // Not Finished(): that would wait long enough for a hang to pass unnoticed.
    ASSERT_TRUE(test::WaitUntil([&] { return process->state() == QProcess::NotRunning; }, 10000));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 2);
    const QByteArray errors = process->readAllStandardError();
    EXPECT_TRUE(errors.contains("--send needs a host")) << errors.constData();
}

TEST_F(HandOffProcessTest, SecondNormalStartEndsSilently)
{
    auto process = StartProgram(m_temp.path(), {});
    ASSERT_TRUE(Finished(*process));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 0);
    EXPECT_TRUE(process->readAllStandardOutput().isEmpty());
    // It never got as far as installing the profile.
    EXPECT_FALSE(QFileInfo::exists(m_temp.file(QStringLiteral("servercert.pem"))));
    EXPECT_TRUE(m_opened.isEmpty());
}

TEST_F(HandOffProcessTest, TooLongPathIsRefusedWithoutHandingOff)
{
    auto process =
        StartProgram(m_temp.path(), {QStringLiteral("/tmp/") + QString(600, QLatin1Char('y'))});
    ASSERT_TRUE(Finished(*process));
    EXPECT_EQ(process->exitCode(), 1);
    EXPECT_TRUE(process->readAllStandardError().contains("longer than 511 bytes"));
    EXPECT_FALSE(QFileInfo::exists(m_temp.file(QStringLiteral("filename.vnt"))));
}

// Starts with paths while no copy runs: the first starts the program, the others wait for
// it. The "program" here only records that it was started; this test then becomes the copy,
// as a program slow to start would.
TEST(HandOffStartTest, StartsTogetherWithoutACopyStartItOnceAndEachPathArrivesOnce)
{
    test::TempFolder temp;
    const Profile profile = Profile::Portable(temp.path());
    const QString program = temp.file(QStringLiteral("program.sh"));
    const QString log = temp.file(QStringLiteral("started.log"));
    temp.write(QStringLiteral("program.sh"),
               "#!/bin/sh\necho started >> '" + QFile::encodeName(log) + "'\n");
    ASSERT_TRUE(
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    constexpr int Count = 5;
    QStringList paths;
    for (int i = 1; i <= Count; ++i)
        paths << temp.file(QStringLiteral("file %1.bin").arg(i));
    std::atomic<int> exitCodes[Count];
    QString errorTexts[Count];
    std::vector<std::thread> starts;
    for (int i = 0; i < Count; ++i) {
        exitCodes[i] = -1;
        starts.emplace_back([&, i] {
            QTextStream errors(&errorTexts[i]);
            handoffstart::Timing timing;
            timing.polls = 100; // a loaded machine may take a while to run the script
            exitCodes[i] = handoffstart::Run(profile, QFile::encodeName(paths[i]), program, errors,
                                             timing, true);
        });
    }
    auto allDone = [&] {
        for (const auto& code : exitCodes) {
            if (code < 0)
                return false;
        }
        return true;
    };

    SingleInstance instance(profile);
    HandOffReceiver receiver(ProgramFolder(temp.path()), profile.handOffTurnFile());
    QStringList opened;
    QObject::connect(&receiver, &HandOffReceiver::openSendRequested, &receiver,
                     [&](const QString& path) { opened << path; });
    const bool started =
        test::WaitUntil([&] { return QFileInfo::exists(log) || allDone(); }, 30000);
    if (started) {
        EXPECT_EQ(instance.TryBecomeInstance(), SingleInstance::Outcome::Became);
        instance.SetNotifyTarget(&receiver);
    }
    EXPECT_TRUE(test::WaitUntil(allDone, 120000));
    for (std::thread& start : starts)
        start.join();
    ASSERT_TRUE(started);
    for (int i = 0; i < Count; ++i)
        EXPECT_EQ(exitCodes[i], 0) << errorTexts[i].toStdString();

    ASSERT_TRUE(test::WaitUntil([&] { return opened.size() >= Count; }));
    test::WaitUntil([] { return false; }, 300);
    opened.sort();
    EXPECT_EQ(opened, paths);
    QFile startedLog(log);
    ASSERT_TRUE(startedLog.open(QIODevice::ReadOnly));
    EXPECT_EQ(startedLog.readAll(), QByteArray("started\n")); // one copy was started
}

TEST(ProgramProcessTest, HandOffWithoutDisplayStartsNoCopy)
{
    test::TempFolder temp;
    const QString home = temp.file(QStringLiteral("profile"));
    const QString path = temp.file(QStringLiteral("to send.txt"));
    auto process = StartProgram(home, {path}, true);
    ASSERT_TRUE(Finished(*process));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 1);
    const QByteArray errors = process->readAllStandardError();
    EXPECT_TRUE(errors.contains("without a display")) << errors.constData();
    EXPECT_TRUE(errors.contains(path.toUtf8())) << errors.constData();
    // Nothing was started in the background: the profile is free and was never installed.
    SingleInstance instance{Profile::Portable(home)};
    EXPECT_EQ(instance.TryBecomeInstance(), SingleInstance::Outcome::Became);
    EXPECT_FALSE(QFileInfo::exists(home + QStringLiteral("/servercert.pem")));
}

TEST(ProgramProcessTest, StartsHeadlessOnAFreshProfileRefusesHandOffsAndEndsOnSigterm)
{
    test::TempFolder temp;
    const QString home = temp.file(QStringLiteral("fresh profile"));
    auto process = StartProgram(home, {}, true);
    QByteArray output;
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            output += process->readAllStandardOutput();
            return output.contains("Stop it with Ctrl+C or SIGTERM.") ||
                   process->state() == QProcess::NotRunning;
        },
        60000))
        << output.constData();
    ASSERT_EQ(process->state(), QProcess::Running)
        << output.constData() << process->readAllStandardError().constData();
    EXPECT_TRUE(output.contains("headless"));
    EXPECT_TRUE(output.contains(home.toUtf8()));
    EXPECT_TRUE(output.contains("port 12666"));
    EXPECT_TRUE(output.contains("auto-receive rules only"));

    SettingsStore store(home + QStringLiteral("/Vantrel.ini"));
    EXPECT_EQ(store.ReadString(SettingsStore::MainKey, QStringLiteral("SProgramPath")), home);
    for (const char* name : {"servercert.pem", "serverkey.pem", "clientcalist.pem",
                             "sounds/complete.wav", "CachedResumes", "Temp"})
        EXPECT_TRUE(QFileInfo::exists(home + QLatin1Char('/') + QLatin1String(name))) << name;

    // While it runs, the profile is taken.
    SingleInstance other{Profile::Portable(home)};
    EXPECT_EQ(other.TryBecomeInstance(), SingleInstance::Outcome::AlreadyRunning);

    // Nobody could drive a send here: a hand-off is refused, saying why.
    const QString path = temp.file(QStringLiteral("to send.txt"));
    auto handOff = StartProgram(home, {path}, true);
    ASSERT_TRUE(Finished(*handOff));
    EXPECT_EQ(handOff->exitStatus(), QProcess::NormalExit);
    EXPECT_NE(handOff->exitCode(), 0);
    const QByteArray errors = handOff->readAllStandardError();
    EXPECT_TRUE(errors.contains("has no display")) << errors.constData();
    EXPECT_TRUE(errors.contains(path.toUtf8())) << errors.constData();
    EXPECT_EQ(process->state(), QProcess::Running);

    process->terminate(); // SIGTERM
    ASSERT_TRUE(Finished(*process));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().constData();
    EXPECT_EQ(other.TryBecomeInstance(), SingleInstance::Outcome::Became);
}

// The rule options as processes, against the headless program and then with no copy running.
TEST(ProgramProcessTest, RuleOptionsAgainstARunningAndAStoppedCopy)
{
    test::TempFolder temp;
    const QString home = temp.file(QStringLiteral("profile"));
    ASSERT_TRUE(QDir(temp.path()).mkdir(QStringLiteral("in")));
    const QString in = temp.file(QStringLiteral("in"));
    struct Result
    {
        int exitCode;
        QByteArray output;
        QByteArray errors;
    };
    auto run = [&](const QStringList& arguments) {
        auto process = StartProgram(home, arguments, true, temp.path());
        EXPECT_TRUE(Finished(*process));
        return Result{process->exitCode(), process->readAllStandardOutput(),
                      process->readAllStandardError()};
    };
    auto server = StartProgram(home, {}, true);
    QByteArray output;
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            output += server->readAllStandardOutput();
            return output.contains("Stop it with Ctrl+C") ||
                   server->state() == QProcess::NotRunning;
        },
        60000));
    ASSERT_EQ(server->state(), QProcess::Running) << output.constData();

    struct Step
    {
        QStringList arguments;
        int exitCode;
        QByteArray output;
        QByteArray errors;
    };
    const QByteArray inBytes = in.toUtf8();
    const Step running[] = {
        {{QStringLiteral("--rules")}, 0, {}, "no auto-receive rules"},
        // A relative folder is taken from where the command runs.
        {{QStringLiteral("--rule-add"), QStringLiteral("localhost"), QStringLiteral("in"),
          QStringLiteral("--limit"), QStringLiteral("64")},
         0,
         "Added rule 1\tenabled\tlocalhost\t" + inBytes + "\t64 Kb/sec\n",
         {}},
        {{QStringLiteral("--rule-add"), QStringLiteral("127.0.0.1"), in}, 0, "Added rule 2", {}},
        {{QStringLiteral("--rule-add"), QStringLiteral("x"), QStringLiteral("nowhere")},
         1,
         {},
         "You must provide a valid Save Directory!"},
        {{QStringLiteral("--rule-remove"), QStringLiteral("5")}, 1, {}, "there is no rule 5"},
        {{QStringLiteral("--rule-remove"), QStringLiteral("1")}, 0, "Removed rule 1", {}},
        {{QStringLiteral("--rules")}, 0, "1\tenabled\t127.0.0.1\t" + inBytes + "\tNo Limit\n", {}},
    };
    for (const Step& step : running) {
        const Result result = run(step.arguments);
        SCOPED_TRACE(step.arguments.join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(result.exitCode, step.exitCode) << result.errors.constData();
        EXPECT_TRUE(result.output.contains(step.output)) << result.output.constData();
        EXPECT_TRUE(result.errors.contains(step.errors)) << result.errors.constData();
    }
    EXPECT_EQ(server->state(), QProcess::Running);

    // Killed outright, the copy still leaves its rules in the file.
    server->kill();
    ASSERT_TRUE(Finished(*server));
    const Step stopped[] = {
        {{QStringLiteral("--rules")}, 0, "1\tenabled\t127.0.0.1\t", {}},
        {{QStringLiteral("--rule-add"), QStringLiteral("peer"), in}, 0, "Added rule 2", {}},
        {{QStringLiteral("--rules")}, 0, "2\tenabled\tpeer\t", {}},
    };
    for (const Step& step : stopped) {
        const Result result = run(step.arguments);
        SCOPED_TRACE(step.arguments.join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(result.exitCode, step.exitCode) << result.errors.constData();
        EXPECT_TRUE(result.output.contains(step.output)) << result.output.constData();
        EXPECT_TRUE(result.errors.contains(step.errors)) << result.errors.constData();
    }
    // A copy started on the profile now serves the rule added while none ran.
    server = StartProgram(home, {}, true);
    output.clear();
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            output += server->readAllStandardOutput();
            return output.contains("Stop it with Ctrl+C") ||
                   server->state() == QProcess::NotRunning;
        },
        60000));
    const Result listed = run({QStringLiteral("--rules")});
    EXPECT_TRUE(listed.output.contains("2\tenabled\tpeer\t")) << listed.output.constData();
    server->terminate();
    ASSERT_TRUE(Finished(*server));
}

} // namespace
} // namespace vantrel
