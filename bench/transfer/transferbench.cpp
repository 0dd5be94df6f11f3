// transfer_bench: whole transfers between two copies of the engine, each copy in a process of
// its own (this program started again as sender and as receiver), timed against the tools
// people use instead (scp, tar | ssh, cp) on the same data, interleaved round by round, with
// wall time, throughput, CPU time and peak memory of each side, medians and per-round ratios.
//
//   transfer_bench [--work DIR] [--rounds N] [--link loopback|shaped] [--file-mb N]
//                  [--tree-files N] [--tree-mb N] [--cases raw,zip-random,zip-text,tree]
//                  [--no-ssh] [--keep]
//
// --link loopback (default): both copies and a throwaway sshd on 127.0.0.1. --link shaped
// (root only): the receiving copy and sshd in one network namespace, the sending copy, scp and
// ssh in another, joined by a veth pair shaped to 100 Mbit/s and 20 ms round trip; cases
// zip-text and tree unless --cases says otherwise.
// Before every timed run the writeback is settled and that run's source read back in. Data,
// profiles and results go to a fresh folder below --work (default /tmp); received trees stay
// until the end (creating files is slow for a while after many were deleted). Everything is
// deleted at the end unless --keep. VANTREL_BENCH_WRAP_SEND / VANTREL_BENCH_WRAP_RECEIVE put a
// command before a side, for profiling: VANTREL_BENCH_WRAP_SEND="valgrind --tool=callgrind".
#include "bench/transfer/benchdata.h"
#include "bench/transfer/benchroles.h"
#include "bench/transfer/pagecache.h"
#include "bench/transfer/roundfigures.h"
#include "bench/transfer/shapedlink.h"
#include "bench/transfer/signalcleanup.h"
#include "bench/transfer/sshserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

namespace vantrel::bench {
namespace {

struct Stamp
{
    qint64 ns = 0;
    qint64 cpuNs = 0;
    qint64 userNs = 0;
    qint64 systemNs = 0;
};

// What one side printed: events by name and run, its peak memory, any error.
struct SideLog
{
    QMap<QString, QMap<int, Stamp>> events;
    long peakKb = -1;
    QString error;
    int port = 0;

    void Take(const QByteArray& line)
    {
        const QList<QByteArray> f = line.trimmed().split(' ');
        if (f.value(0) == "EV" && f.size() >= 7)
            events[QString::fromLatin1(f[1])][f[2].toInt()] = {
                f[3].toLongLong(), f[4].toLongLong(), f[5].toLongLong(), f[6].toLongLong()};
        else if (f.value(0) == "HWM")
            peakKb = f.value(1).toLong();
        else if (f.value(0) == "PORT")
            port = f.value(1).toInt();
        else if (f.value(0) == "ERROR")
            error = QString::fromLocal8Bit(line.mid(6).trimmed());
    }
    Stamp At(const char* name, int run) const
    {
        return events.value(QString::fromLatin1(name)).value(run);
    }
    bool Has(const char* name, int run) const
    {
        return events.value(QString::fromLatin1(name)).contains(run);
    }
};

// Where everything runs: on loopback both prefixes are empty and the host is 127.0.0.1.
struct Setting
{
    QString self;
    QString work;
    QStringList nearPrefix; // the sending side
    QStringList farPrefix;  // the receiving side
    QString host;
    SshServer* ssh = nullptr;
    RoundFigures figures;
    QMap<QString, double> peakMb; // per Vantrel contender, the larger side, over all rounds
};

// Starts this program in a role, inside `prefix` and behind the wrapper the environment
// names, if any; it ends with this program.
void StartRole(QProcess& process, const QString& self, const QStringList& prefix,
               const char* wrapVariable, const QStringList& args)
{
    QStringList command = prefix;
    command << qEnvironmentVariable(wrapVariable).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    command << self << args;
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process.start(command.takeFirst(), command);
}

// Reads whole lines that a process has printed so far.
void Drain(QProcess& process, SideLog& log, QByteArray& pending)
{
    pending += process.readAllStandardOutput();
    for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1))
        log.Take(pending.left(end));
}

double Seconds(qint64 ns)
{
    return double(ns) / 1e9;
}

// The same state before every timed run, whoever runs.
void Prepare(const QString& source)
{
    const std::int64_t left = PageCache::SettleWriteback();
    PageCache::ReadBack(source);
    if (left > 16 * 1024)
        std::printf("  (writeback not settled: %lld KiB still dirty)\n",
                    static_cast<long long>(left));
}

// One Vantrel contender: a fresh pair of copies sends `source` once per name in `names`; the
// first run counts from the hand-off, later runs send again with the archive ready. Received
// trees stay until the end of the benchmark; everything else goes right away.
bool RunVantrel(Setting& setting, const QStringList& names, const QString& source, bool compression,
                std::uint64_t bytes, int round, bool keepResult)
{
    const int runs = int(names.size());
    const QString folder =
        setting.work +
        QStringLiteral("/run-%1-r%2").arg(names.front().section(QLatin1Char(' '), 1, 1)).arg(round);
    const QString receiverHome = folder + QStringLiteral("/receiver");
    const QString senderHome = folder + QStringLiteral("/sender");
    const QString destination = folder + QStringLiteral("/received");
    QDir().mkpath(destination);

    Prepare(source);
    SideLog receiver, sender;
    QByteArray receiverPending, senderPending;
    QProcess receiving, sending;
    receiving.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sending.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    StartRole(receiving, setting.self, setting.farPrefix, "VANTREL_BENCH_WRAP_RECEIVE",
              {QStringLiteral("--role"), QStringLiteral("receive"), QStringLiteral("--home"),
               receiverHome, QStringLiteral("--dest"), destination, QStringLiteral("--runs"),
               QString::number(runs)});
    while (receiver.port == 0 && receiver.error.isEmpty() && receiving.waitForReadyRead(30000))
        Drain(receiving, receiver, receiverPending);
    const auto fail = [&](const QString& why) {
        std::printf("  %s: FAILED: %s\n", qPrintable(names.front()), qPrintable(why));
        for (const QString& name : names)
            setting.figures.Add(name, round, -1);
        QDir(folder).removeRecursively();
        return false;
    };
    if (receiver.port == 0)
        return fail(QStringLiteral("receiver did not start: ") + receiver.error);
    StartRole(sending, setting.self, setting.nearPrefix, "VANTREL_BENCH_WRAP_SEND",
              {QStringLiteral("--role"), QStringLiteral("send"), QStringLiteral("--home"),
               senderHome, QStringLiteral("--trust"), receiverHome + QStringLiteral("/ca.pem"),
               QStringLiteral("--host"), setting.host, QStringLiteral("--port"),
               QString::number(receiver.port), QStringLiteral("--source"), source,
               QStringLiteral("--compression"),
               compression ? QStringLiteral("1") : QStringLiteral("0"), QStringLiteral("--runs"),
               QString::number(runs)});

    int released = 1; // runs the sender may start
    while (receiving.state() != QProcess::NotRunning || sending.state() != QProcess::NotRunning) {
        receiving.waitForReadyRead(20);
        Drain(receiving, receiver, receiverPending);
        sending.waitForReadyRead(20);
        Drain(sending, sender, senderPending);
        if (!receiver.error.isEmpty() || !sender.error.isEmpty()) {
            receiving.kill();
            sending.kill();
            break;
        }
        // The next run starts once the last one is on disk and the machine has settled.
        if (released < runs && receiver.Has("DONE", released)) {
            Prepare(source);
            sending.write("go\n");
            ++released;
        }
    }
    receiving.waitForFinished(-1);
    sending.waitForFinished(-1);
    Drain(receiving, receiver, receiverPending);
    Drain(sending, sender, senderPending);
    if (!receiver.error.isEmpty() || !sender.error.isEmpty())
        return fail(QStringLiteral("receiver '%1', sender '%2'").arg(receiver.error, sender.error));

    const double mb = double(bytes) / 1e6;
    for (int run = 1; run <= runs; ++run) {
        const Stamp send = sender.At("SEND", run);
        const Stamp sent = sender.At("SENT", run);
        const Stamp start = run == 1 ? sender.At("HANDOFF", 1) : send;
        const Stamp request = receiver.At("REQUEST", run);
        const Stamp done = receiver.At("DONE", run);
        const double seconds = Seconds(done.ns - start.ns);
        setting.figures.Add(names[run - 1], round, seconds);
        std::printf("  %-30s %7.2f s %8.1f MB/s", qPrintable(names[run - 1]), seconds,
                    mb / seconds);
        if (run == 1)
            std::printf("  (SEND->on disk %.2f s, first show %.2f s)", Seconds(done.ns - send.ns),
                        Seconds(sender.At("SHOWN", 1).ns - start.ns));
        std::printf("\n  %-30s CPU sender %5.2f s (user %.2f sys %.2f)  receiver %5.2f s "
                    "(user %.2f sys %.2f)",
                    "", Seconds(sent.cpuNs - start.cpuNs), Seconds(sent.userNs - start.userNs),
                    Seconds(sent.systemNs - start.systemNs), Seconds(done.cpuNs - request.cpuNs),
                    Seconds(done.userNs - request.userNs),
                    Seconds(done.systemNs - request.systemNs));
        // Where the receiver's time went: waiting for the sender's archive, the stream, unpacking.
        const Stamp data = receiver.At("DATA", run);
        std::printf("\n  %-30s request->data %.2f s", "", Seconds(data.ns - request.ns));
        if (receiver.Has("UNZIP", run)) {
            const Stamp unzip = receiver.At("UNZIP", run);
            std::printf(", stream %.2f s, unpack %.2f s", Seconds(unzip.ns - data.ns),
                        Seconds(done.ns - unzip.ns));
        } else {
            std::printf(", stream %.2f s", Seconds(done.ns - data.ns));
        }
        std::printf("\n");
    }
    std::printf("  %-30s peak RSS sender %.1f MB  receiver %.1f MB\n", "",
                double(sender.peakKb) / 1024, double(receiver.peakKb) / 1024);
    const double peak = double(std::max(sender.peakKb, receiver.peakKb)) / 1024;
    for (const QString& name : names)
        setting.peakMb[name] = std::max(setting.peakMb.value(name), peak);
    std::fflush(stdout);
    QDir(senderHome).removeRecursively();
    QDir(receiverHome).removeRecursively();
    if (!keepResult)
        QDir(folder).removeRecursively();
    return true;
}

// One other tool's run of `command` (inside `prefix`), timed from start to exit.
bool RunTool(Setting& setting, const QString& name, int round, const QString& source,
             const QStringList& command, std::uint64_t bytes)
{
    Prepare(source);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    // A group of its own, so that Ctrl+C ends the whole pipeline and the ssh client in it.
    process.setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    QElapsedTimer timer;
    timer.start();
    process.start(command.front(), command.mid(1));
    const pid_t group = pid_t(process.processId());
    if (group > 0)
        SignalCleanup::AddProcess(-group);
    const bool finished = process.waitForFinished(-1);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    SignalCleanup::ForgetProcess(-group);
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::printf("  %-30s FAILED: %s\n", qPrintable(name),
                    qPrintable(QString::fromLocal8Bit(process.readAll()).trimmed()));
        setting.figures.Add(name, round, -1);
        return false;
    }
    setting.figures.Add(name, round, seconds);
    std::printf("  %-30s %7.2f s %8.1f MB/s\n", qPrintable(name), seconds,
                double(bytes) / 1e6 / seconds);
    std::fflush(stdout);
    return true;
}

// A fresh destination folder for one tool run.
QString ToolDestination(const Setting& setting, const QString& slug, int round)
{
    const QString folder = setting.work + QStringLiteral("/tool-%1-r%2").arg(slug).arg(round);
    QDir().mkpath(folder);
    return folder;
}

bool RunScp(Setting& setting, const QString& name, int round, const QString& source,
            std::uint64_t bytes, bool compress)
{
    const QString destination =
        ToolDestination(setting, compress ? QStringLiteral("scpc") : QStringLiteral("scp"), round);
    QStringList command = setting.nearPrefix;
    command << QStringLiteral("scp") << setting.ssh->ScpOptions();
    if (compress)
        command << QStringLiteral("-C");
    command << source << setting.ssh->Target() + QLatin1Char(':') + destination + QLatin1Char('/');
    const bool ok = RunTool(setting, name, round, source, command, bytes);
    QDir(destination).removeRecursively();
    return ok;
}

// tar -C src -cf - . | ssh ... tar -C dst -xf -; the received tree stays until the end.
bool RunTarSsh(Setting& setting, int round, const QString& tree, std::uint64_t bytes)
{
    const QString destination = ToolDestination(setting, QStringLiteral("tarssh"), round);
    QStringList command = setting.nearPrefix;
    command << QStringLiteral("/bin/bash") << QStringLiteral("-o") << QStringLiteral("pipefail")
            << QStringLiteral("-c")
            << QStringLiteral("src=$1 dst=$2; shift 2; "
                              "tar -C \"$src\" -cf - . | ssh \"$@\" tar -C \"$dst\" -xf -")
            << QStringLiteral("bash") << tree << destination << setting.ssh->SshOptions()
            << setting.ssh->Target();
    return RunTool(setting, QStringLiteral("tar | ssh"), round, tree, command, bytes);
}

QString Option(const QStringList& args, const QString& name, const QString& fallback = {})
{
    const qsizetype i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
}

QString LoadLine()
{
    QProcess uptime;
    uptime.start(QStringLiteral("uptime"), {});
    uptime.waitForFinished(5000);
    return QString::fromLocal8Bit(uptime.readAllStandardOutput()).trimmed();
}

void Summarise(const Setting& setting, int rounds, bool shaped)
{
    std::printf("\nsummary (%s):\n",
                shaped ? "shaped link, 100 Mbit/s, 20 ms round trip" : "loopback");
    setting.figures.PrintRounds(rounds);
    std::printf("ratios of time, median of the per-round ratios (target from the issue):\n");
    const RoundFigures& f = setting.figures;
    f.PrintRatio(QStringLiteral("Vantrel raw"), QStringLiteral("scp raw"),
                 QStringLiteral("<= 0.45"));
    f.PrintRatio(QStringLiteral("cp"), QStringLiteral("scp raw"), QStringLiteral("(floor)"));
    f.PrintRatio(QStringLiteral("Vantrel zip-random"), QStringLiteral("Vantrel raw"),
                 QStringLiteral("<= 1.15"));
    f.PrintRatio(QStringLiteral("Vantrel zip-text"), QStringLiteral("scp logs"),
                 shaped ? QStringLiteral("<= 0.35") : QStringLiteral("-"));
    f.PrintRatio(QStringLiteral("Vantrel zip-text"), QStringLiteral("scp -C logs"),
                 QStringLiteral("-"));
    f.PrintRatio(QStringLiteral("Vantrel tree from hand-off"), QStringLiteral("tar | ssh"),
                 shaped ? QStringLiteral("-") : QStringLiteral("<= 1.3"));
    f.PrintRatio(QStringLiteral("Vantrel tree archive ready"), QStringLiteral("tar | ssh"),
                 shaped ? QStringLiteral("-") : QStringLiteral("<= 0.8"));
    f.PrintRatio(QStringLiteral("Vantrel tree from hand-off"), QStringLiteral("tar | tar"),
                 QStringLiteral("-"));
    double peak = 0;
    for (double mb : setting.peakMb)
        peak = std::max(peak, mb);
    std::printf("  %-44s %5.1f MB   target < 64 MB\n", "peak RSS of the larger copy, any case",
                peak);
}

int Orchestrate(const QStringList& args)
{
    SignalCleanup::Install();
    const QString base = Option(args, QStringLiteral("--work"), QStringLiteral("/tmp"));
    const std::uint64_t fileBytes =
        Option(args, QStringLiteral("--file-mb"), QStringLiteral("1024")).toULongLong() << 20;
    const int treeFiles =
        Option(args, QStringLiteral("--tree-files"), QStringLiteral("20000")).toInt();
    const std::uint64_t treeBytes =
        Option(args, QStringLiteral("--tree-mb"), QStringLiteral("200")).toULongLong() * 1000 *
        1000;
    const int rounds =
        std::max(1, Option(args, QStringLiteral("--rounds"), QStringLiteral("5")).toInt());
    const QString link = Option(args, QStringLiteral("--link"), QStringLiteral("loopback"));
    const bool shaped = link == QLatin1String("shaped");
    if (!shaped && link != QLatin1String("loopback")) {
        std::printf("--link is loopback or shaped\n");
        return 2;
    }
    const QStringList cases = Option(args, QStringLiteral("--cases"),
                                     shaped ? QStringLiteral("zip-text,tree")
                                            : QStringLiteral("raw,zip-random,zip-text,tree"))
                                  .split(QLatin1Char(','));
    std::printf("load before: %s\n", qPrintable(LoadLine()));

    Setting setting;
    setting.self = QCoreApplication::applicationFilePath();
    setting.host = QStringLiteral("127.0.0.1");
    std::unique_ptr<ShapedLink> shapedLink;
    if (shaped) {
        if (::geteuid() != 0) {
            std::printf("shaped link skipped: network namespaces and netem need root\n");
            return 0;
        }
        shapedLink = std::make_unique<ShapedLink>();
        if (!shapedLink->ok()) {
            std::printf("shaped link skipped: %s\n", qPrintable(shapedLink->error()));
            return 0;
        }
        setting.nearPrefix = shapedLink->Near();
        setting.farPrefix = shapedLink->Far();
        setting.host = shapedLink->FarAddress();
        std::printf("shaped link: %s; ping %s\n", qPrintable(shapedLink->Method()),
                    qPrintable(shapedLink->Ping()));
    }

    // Sources; per round the received trees of every contender; the largest file case's
    // sender archive, receiver archive and result at once.
    const std::uint64_t needed =
        2 * fileBytes + 4 * fileBytes + treeBytes * (1 + 4 * std::uint64_t(rounds));
    const std::uint64_t free = FreeBytes(base);
    std::printf("free space in %s: %.1f GB, needed about %.1f GB\n", qPrintable(base),
                double(free) / 1e9, double(needed) / 1e9);
    if (free < needed + (2ull << 30)) {
        std::printf("not enough free space\n");
        return 1;
    }
    setting.work = QDir(base).filePath(QStringLiteral("vantrel-bench-%1").arg(::getpid()));
    QDir().mkpath(setting.work + QStringLiteral("/data"));
    const bool keep = args.contains(QStringLiteral("--keep"));
    const int workSlot = keep ? -1
                              : SignalCleanup::AddCommand(
                                    {QStringLiteral("rm"), QStringLiteral("-rf"), setting.work});

    std::unique_ptr<SshServer> ssh;
    if (!args.contains(QStringLiteral("--no-ssh"))) {
        ssh = std::make_unique<SshServer>(setting.work + QStringLiteral("/ssh"), setting.host,
                                          setting.farPrefix);
        if (ssh->Start(setting.nearPrefix)) {
            setting.ssh = ssh.get();
            std::printf("throwaway sshd on %s; ssh/scp cipher %s; scp in its default (SFTP) "
                        "mode, without -C unless named \"scp -C ...\"\n",
                        qPrintable(setting.host), qPrintable(ssh->Cipher()));
        } else {
            std::printf("comparison with scp and tar | ssh skipped: %s\n",
                        qPrintable(ssh->error()));
            ssh.reset();
        }
    }

    QElapsedTimer making;
    making.start();
    const QString random = setting.work + QStringLiteral("/data/random.bin");
    const QString text = setting.work + QStringLiteral("/data/server.log");
    const QString tree = setting.work + QStringLiteral("/data/tree");
    if (cases.contains(QStringLiteral("raw")) || cases.contains(QStringLiteral("zip-random")))
        WriteRandomFile(random, fileBytes, 1);
    if (cases.contains(QStringLiteral("zip-text")))
        WriteLogFile(text, fileBytes, 2);
    TreeFigures figures;
    if (cases.contains(QStringLiteral("tree")))
        figures = WriteTree(tree, treeFiles, treeBytes, 3);
    std::printf("data made in %.1f s (file %.1f MB; tree: %d files, %d folders, %.1f MB)\n",
                double(making.elapsed()) / 1000, double(fileBytes) / 1e6, figures.files,
                figures.folders, double(figures.bytes) / 1e6);

    bool ok = true;
    for (int round = 1; round <= rounds; ++round) {
        std::printf("round %d of %d (load: %s)\n", round, rounds, qPrintable(LoadLine()));
        for (const QString& name : cases) {
            if (name == QLatin1String("raw")) {
                ok = RunVantrel(setting, {QStringLiteral("Vantrel raw")}, random, false, fileBytes,
                                round, false) &&
                     ok;
                if (setting.ssh)
                    ok = RunScp(setting, QStringLiteral("scp raw"), round, random, fileBytes,
                                false) &&
                         ok;
                const QString copy = ToolDestination(setting, QStringLiteral("cp"), round);
                ok = RunTool(setting, QStringLiteral("cp"), round, random,
                             {QStringLiteral("cp"), random, copy + QStringLiteral("/random.bin")},
                             fileBytes) &&
                     ok;
                QDir(copy).removeRecursively();
            } else if (name == QLatin1String("zip-random")) {
                ok = RunVantrel(setting, {QStringLiteral("Vantrel zip-random")}, random, true,
                                fileBytes, round, false) &&
                     ok;
            } else if (name == QLatin1String("zip-text")) {
                ok = RunVantrel(setting, {QStringLiteral("Vantrel zip-text")}, text, true,
                                fileBytes, round, false) &&
                     ok;
                if (setting.ssh) {
                    ok = RunScp(setting, QStringLiteral("scp logs"), round, text, fileBytes,
                                false) &&
                         ok;
                    ok = RunScp(setting, QStringLiteral("scp -C logs"), round, text, fileBytes,
                                true) &&
                         ok;
                }
            } else if (name == QLatin1String("tree")) {
                ok = RunVantrel(setting,
                                {QStringLiteral("Vantrel tree from hand-off"),
                                 QStringLiteral("Vantrel tree archive ready")},
                                tree, true, figures.bytes, round, true) &&
                     ok;
                if (setting.ssh)
                    ok = RunTarSsh(setting, round, tree, figures.bytes) && ok;
                if (!shaped) {
                    // What moving these files costs on this disk, without network or encryption.
                    const QString copy = ToolDestination(setting, QStringLiteral("tartar"), round);
                    ok = RunTool(setting, QStringLiteral("tar | tar"), round, tree,
                                 {QStringLiteral("/bin/bash"), QStringLiteral("-o"),
                                  QStringLiteral("pipefail"), QStringLiteral("-c"),
                                  QStringLiteral("tar -C \"$0\" -cf - . | tar -C \"$1\" -xf -"),
                                  tree, copy},
                                 figures.bytes) &&
                         ok;
                }
            } else {
                std::printf("unknown case %s\n", qPrintable(name));
                ok = false;
            }
        }
    }
    std::printf("load after: %s\n", qPrintable(LoadLine()));
    ssh.reset();
    shapedLink.reset();
    if (!keep)
        QDir(setting.work).removeRecursively();
    SignalCleanup::ForgetCommand(workSlot);
    Summarise(setting, rounds, shaped);
    return ok ? 0 : 1;
}
} // namespace
} // namespace vantrel::bench

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    using namespace vantrel::bench;
    const QString role = Option(args, QStringLiteral("--role"));
    if (role == QLatin1String("receive")) {
        ReceiverArgs r;
        r.home = Option(args, QStringLiteral("--home"));
        r.destination = Option(args, QStringLiteral("--dest"));
        r.runs = Option(args, QStringLiteral("--runs"), QStringLiteral("1")).toInt();
        return RunReceiver(r);
    }
    if (role == QLatin1String("send")) {
        SenderArgs s;
        s.home = Option(args, QStringLiteral("--home"));
        s.trustAuthority = Option(args, QStringLiteral("--trust"));
        s.host = Option(args, QStringLiteral("--host"), s.host);
        s.port = Option(args, QStringLiteral("--port")).toInt();
        s.source = Option(args, QStringLiteral("--source"));
        s.compression = Option(args, QStringLiteral("--compression")) == QLatin1String("1");
        s.runs = Option(args, QStringLiteral("--runs"), QStringLiteral("1")).toInt();
        return RunSender(s);
    }
    return Orchestrate(args);
}
