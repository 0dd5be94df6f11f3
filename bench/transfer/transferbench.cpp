// transfer_bench: whole transfers between two copies of the engine over loopback TLS, each
// copy in a process of its own (this program started again as sender and as receiver), with
// wall time, throughput, CPU time and peak memory of each side.
//
//   transfer_bench [--work DIR] [--file-mb N] [--tree-files N] [--tree-mb N]
//                  [--cases raw,zip-random,zip-text,tree] [--keep]
//
// Data and both profiles go to a fresh folder below --work (default /tmp); every run receives
// into a fresh destination folder. Everything is deleted at the end unless --keep.
// VANTREL_BENCH_WRAP_SEND / VANTREL_BENCH_WRAP_RECEIVE put a command before a side, for
// profiling: VANTREL_BENCH_WRAP_SEND="valgrind --tool=callgrind".
#include "bench/transfer/benchdata.h"
#include "bench/transfer/benchroles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <csignal>
#include <cstdio>
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

struct Case
{
    QString name;
    QString source;
    bool compression;
    int runs;
    std::uint64_t bytes;
};

// Starts this program in a role, behind the wrapper the environment names, if any.
void StartRole(QProcess& process, const QString& self, const char* wrapVariable,
               const QStringList& args)
{
    QStringList command =
        qEnvironmentVariable(wrapVariable).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    command << self << args;
    process.start(command.takeFirst(), command);
}

// The figures the summary is made of.
struct Result
{
    std::vector<double> fromSend; // seconds, per run
    double fromHandoff = 0;       // seconds, first run
    double peakMb = 0;            // the larger of the two sides
};

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

bool RunCase(const QString& self, const QString& work, const Case& c, Result& result)
{
    const QString caseFolder = work + QStringLiteral("/run-") + c.name;
    const QString receiverHome = caseFolder + QStringLiteral("/receiver");
    const QString senderHome = caseFolder + QStringLiteral("/sender");
    const QString destination = caseFolder + QStringLiteral("/received");
    QDir().mkpath(destination);

    SideLog receiver, sender;
    QByteArray receiverPending, senderPending;
    QProcess receiving, sending;
    receiving.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sending.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    StartRole(receiving, self, "VANTREL_BENCH_WRAP_RECEIVE",
              {QStringLiteral("--role"), QStringLiteral("receive"), QStringLiteral("--home"),
               receiverHome, QStringLiteral("--dest"), destination, QStringLiteral("--runs"),
               QString::number(c.runs)});
    while (receiver.port == 0 && receiver.error.isEmpty() && receiving.waitForReadyRead(30000))
        Drain(receiving, receiver, receiverPending);
    if (receiver.port == 0) {
        std::printf("%s: receiver did not start: %s\n", qPrintable(c.name),
                    qPrintable(receiver.error));
        return false;
    }
    StartRole(sending, self, "VANTREL_BENCH_WRAP_SEND",
              {QStringLiteral("--role"), QStringLiteral("send"), QStringLiteral("--home"),
               senderHome, QStringLiteral("--trust"), receiverHome + QStringLiteral("/ca.pem"),
               QStringLiteral("--port"), QString::number(receiver.port), QStringLiteral("--source"),
               c.source, QStringLiteral("--compression"),
               c.compression ? QStringLiteral("1") : QStringLiteral("0"), QStringLiteral("--runs"),
               QString::number(c.runs)});

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
        // The next run starts once the last one is on disk.
        if (released < c.runs && receiver.Has("DONE", released)) {
            sending.write("go\n");
            ++released;
        }
    }
    receiving.waitForFinished(-1);
    sending.waitForFinished(-1);
    Drain(receiving, receiver, receiverPending);
    Drain(sending, sender, senderPending);
    if (!receiver.error.isEmpty() || !sender.error.isEmpty()) {
        std::printf("%s: FAILED: receiver '%s', sender '%s'\n", qPrintable(c.name),
                    qPrintable(receiver.error), qPrintable(sender.error));
        return false;
    }

    const double mb = double(c.bytes) / 1e6;
    for (int run = 1; run <= c.runs; ++run) {
        const Stamp send = sender.At("SEND", run);
        const Stamp sent = sender.At("SENT", run);
        const Stamp start = run == 1 ? sender.At("HANDOFF", 1) : send;
        const Stamp request = receiver.At("REQUEST", run);
        const Stamp done = receiver.At("DONE", run);
        const double fromSend = Seconds(done.ns - send.ns);
        result.fromSend.push_back(fromSend);
        if (run == 1)
            result.fromHandoff = Seconds(done.ns - start.ns);
        std::printf("%-10s run %d: SEND->on disk %7.2f s  %8.1f MB/s", qPrintable(c.name), run,
                    fromSend, mb / fromSend);
        if (run == 1)
            std::printf("  | hand-off->on disk %7.2f s (first show %.2f s)",
                        Seconds(done.ns - start.ns), Seconds(sender.At("SHOWN", 1).ns - start.ns));
        std::printf("\n%-10s        CPU sender %5.2f s (user %.2f sys %.2f)  receiver %5.2f s "
                    "(user %.2f sys %.2f)",
                    "", Seconds(sent.cpuNs - start.cpuNs), Seconds(sent.userNs - start.userNs),
                    Seconds(sent.systemNs - start.systemNs), Seconds(done.cpuNs - request.cpuNs),
                    Seconds(done.userNs - request.userNs),
                    Seconds(done.systemNs - request.systemNs));
        // Where the receiver's time went: waiting for the sender's archive, the stream, unpacking.
        const Stamp data = receiver.At("DATA", run);
        std::printf("  | request->data %.2f s", Seconds(data.ns - request.ns));
        if (receiver.Has("UNZIP", run)) {
            const Stamp unzip = receiver.At("UNZIP", run);
            std::printf(", stream %.2f s, unpack %.2f s", Seconds(unzip.ns - data.ns),
                        Seconds(done.ns - unzip.ns));
        } else {
            std::printf(", stream %.2f s", Seconds(done.ns - data.ns));
        }
        std::printf("\n");
    }
    std::printf("%-10s        peak RSS sender %.1f MB  receiver %.1f MB\n", "",
                double(sender.peakKb) / 1024, double(receiver.peakKb) / 1024);
    result.peakMb = double(std::max(sender.peakKb, receiver.peakKb)) / 1024;
    std::fflush(stdout);
    return true;
}

void Line(const char* what, const QString& figure)
{
    std::printf("  %-52s %s\n", what, qPrintable(figure));
}

// The same tree copied by tar through a pipe on the same disk, without network or encryption:
// what moving these files costs on this machine in this run. Negative when the copy fails.
double TarCopySeconds(const QString& tree, const QString& destination)
{
    QDir().mkpath(destination);
    QElapsedTimer timer;
    timer.start();
    QProcess shell;
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"),
                 QStringLiteral("tar -C \"$0\" -cf - . | tar -C \"$1\" -xf -"), tree, destination});
    if (!shell.waitForFinished(-1) || shell.exitStatus() != QProcess::NormalExit ||
        shell.exitCode() != 0)
        return -1;
    ::sync();
    return double(timer.nsecsElapsed()) / 1e9;
}

void Summarise(const QMap<QString, Result>& results, double fileMb, double tarSeconds)
{
    std::printf("summary:\n");
    double peak = 0;
    for (const Result& r : results)
        peak = std::max(peak, r.peakMb);
    Line("peak RSS of the larger copy", QStringLiteral("%1 MB").arg(peak, 0, 'f', 1));
    const auto first = [&](const char* name) {
        const Result r = results.value(QString::fromLatin1(name));
        return r.fromSend.empty() ? 0.0 : r.fromSend.front();
    };
    if (first("raw") > 0)
        Line("raw, SEND->on disk", QStringLiteral("%1 MB/s").arg(fileMb / first("raw"), 0, 'f', 1));
    if (first("raw") > 0 && first("zip-random") > 0)
        Line("compression on, incompressible: time of raw",
             QStringLiteral("%1x").arg(first("zip-random") / first("raw"), 0, 'f', 2));
    const Result tree = results.value(QStringLiteral("tree"));
    if (tree.fromSend.size() >= 2)
        Line("tree, SEND->on disk (archive ready)",
             QStringLiteral("%1 s").arg(tree.fromSend[1], 0, 'f', 2));
    if (!tree.fromSend.empty())
        Line("tree, hand-off->on disk", QStringLiteral("%1 s").arg(tree.fromHandoff, 0, 'f', 2));
    if (tarSeconds >= 0)
        Line("tree, tar | tar on the same disk", QStringLiteral("%1 s").arg(tarSeconds, 0, 'f', 2));
}

QString Option(const QStringList& args, const QString& name, const QString& fallback = {})
{
    const qsizetype i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
}

int Orchestrate(const QStringList& args)
{
    const QString self = QCoreApplication::applicationFilePath();
    const QString base = Option(args, QStringLiteral("--work"), QStringLiteral("/tmp"));
    const std::uint64_t fileBytes =
        Option(args, QStringLiteral("--file-mb"), QStringLiteral("1024")).toULongLong() << 20;
    const int treeFiles =
        Option(args, QStringLiteral("--tree-files"), QStringLiteral("20000")).toInt();
    const std::uint64_t treeBytes =
        Option(args, QStringLiteral("--tree-mb"), QStringLiteral("200")).toULongLong() * 1000 *
        1000;
    const QStringList cases =
        Option(args, QStringLiteral("--cases"), QStringLiteral("raw,zip-random,zip-text,tree"))
            .split(QLatin1Char(','));

    // Source, sender archive, receiver archive and result of the largest case at once.
    const std::uint64_t needed = 2 * fileBytes + 4 * fileBytes + 4 * treeBytes;
    const std::uint64_t free = FreeBytes(base);
    std::printf("free space in %s: %.1f GB, needed about %.1f GB\n", qPrintable(base),
                double(free) / 1e9, double(needed) / 1e9);
    if (free < needed + (2ull << 30)) {
        std::printf("not enough free space\n");
        return 1;
    }
    const QString work = QDir(base).filePath(QStringLiteral("vantrel-bench-%1").arg(::getpid()));
    QDir().mkpath(work + QStringLiteral("/data"));

    QElapsedTimer making;
    making.start();
    std::vector<Case> plan;
    const QString random = work + QStringLiteral("/data/random.bin");
    const QString text = work + QStringLiteral("/data/server.log");
    const QString tree = work + QStringLiteral("/data/tree");
    if (cases.contains(QStringLiteral("raw")) || cases.contains(QStringLiteral("zip-random")))
        WriteRandomFile(random, fileBytes, 1);
    if (cases.contains(QStringLiteral("zip-text")))
        WriteLogFile(text, fileBytes, 2);
    TreeFigures figures;
    if (cases.contains(QStringLiteral("tree")))
        figures = WriteTree(tree, treeFiles, treeBytes, 3);
    std::printf("data made in %.1f s (tree: %d files, %d folders, %.1f MB)\n",
                double(making.elapsed()) / 1000, figures.files, figures.folders,
                double(figures.bytes) / 1e6);
    ::sync();

    for (const QString& name : cases) {
        if (name == QLatin1String("raw"))
            plan.push_back({name, random, false, 1, fileBytes});
        else if (name == QLatin1String("zip-random"))
            plan.push_back({name, random, true, 1, fileBytes});
        else if (name == QLatin1String("zip-text"))
            plan.push_back({name, text, true, 1, fileBytes});
        else if (name == QLatin1String("tree"))
            plan.push_back({name, tree, true, 2, figures.bytes});
    }
    bool ok = true;
    QMap<QString, Result> results;
    for (const Case& c : plan) {
        ok = RunCase(self, work, c, results[c.name]) && ok;
        // Each case's profiles, archives and results go before the next one starts.
        QDir(work + QStringLiteral("/run-") + c.name).removeRecursively();
        ::sync();
    }
    double tarSeconds = -1;
    if (cases.contains(QStringLiteral("tree"))) {
        const QString copy = work + QStringLiteral("/tar-copy");
        tarSeconds = TarCopySeconds(tree, copy);
        QDir(copy).removeRecursively();
    }
    if (!args.contains(QStringLiteral("--keep")))
        QDir(work).removeRecursively();
    Summarise(results, double(fileBytes) / 1e6, tarSeconds);
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
        s.port = Option(args, QStringLiteral("--port")).toInt();
        s.source = Option(args, QStringLiteral("--source"));
        s.compression = Option(args, QStringLiteral("--compression")) == QLatin1String("1");
        s.runs = Option(args, QStringLiteral("--runs"), QStringLiteral("1")).toInt();
        return RunSender(s);
    }
    return Orchestrate(args);
}
