// load_bench: fifty transfers at once between two copies of the engine over loopback TLS, the
// same mix as the load test (files raw and compressed, directory trees, some paced by a band
// limit, a few aborted by either side) at a larger size, each copy in a process of its own
// (this program started again as sender and as receiver). Prints the wall time and, for each
// side, its resident memory before the load and at its peak, and its descriptors and
// threads before, at the peak and after all transfers have ended; then checks every
// completed transfer byte for byte.
//
//   load_bench [--scale N] [--work DIR] [--keep]
//
// --scale multiplies every file size (the test runs scale 1, about 125 MiB of sources;
// default 4). Data and both profiles go to a fresh folder below --work (default /tmp),
// deleted at the end unless --keep.
#include "core/installation.h"
#include "tests/support/enginecopy.h"
#include "tests/support/filetree.h"
#include "tests/support/processfigures.h"
#include "tests/support/tempprofile.h"
#include "tests/support/transferload.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace vantrel::bench {
namespace {

using test::EngineCopy;
using test::ProcessFigures;
using test::TransferLoad;

constexpr int RunTimeoutMs = 30 * 60 * 1000;

QString Argument(const QStringList& args, const QString& name, const QString& fallback = {})
{
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args[at + 1] : fallback;
}

void Print(const QString& line)
{
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

// One side: the copy, the load from its end, and its figures on one line.
int RunSide(const QStringList& args)
{
    const bool sending = Argument(args, QStringLiteral("--role")) == QLatin1String("sender");
    EngineCopy::Options options;
    options.nickName = sending ? QByteArrayLiteral("Alice") : QByteArrayLiteral("Bob");
    options.home = Argument(args, QStringLiteral("--home"));
    EngineCopy copy(options);
    if (!copy.ok()) {
        Print(QStringLiteral("ERROR ") + copy.error());
        return 1;
    }
    const QString data = Argument(args, QStringLiteral("--data"));
    const int scale = Argument(args, QStringLiteral("--scale"), QStringLiteral("1")).toInt();
    QString error;
    std::unique_ptr<TransferLoad> load;
    if (sending) {
        if (!installation::TrustAuthority(copy.folder(), Argument(args, QStringLiteral("--trust")))
                 .ok) {
            Print(QStringLiteral("ERROR the receiver's authority was not taken"));
            return 1;
        }
        load = std::make_unique<TransferLoad>(&copy, nullptr, data, scale,
                                              QStringLiteral("127.0.0.1:") +
                                                  Argument(args, QStringLiteral("--port")));
    } else {
        load = std::make_unique<TransferLoad>(nullptr, &copy, data, scale);
        if (!load->AddRule(&error)) {
            Print(QStringLiteral("ERROR ") + error);
            return 1;
        }
    }

    const int descriptors = ProcessFigures::Descriptors();
    const int threads = ProcessFigures::Threads();
    ProcessFigures::ResetPeak();
    const qint64 resident = ProcessFigures::ResidentKiB();
    if (!sending) {
        Print(QStringLiteral("AUTHORITY ") + copy.folder().file(installation::AuthorityFile));
        Print(QStringLiteral("PORT %1").arg(copy.port()));
    }
    QElapsedTimer clock;
    clock.start();
    const bool ended = load->Run(RunTimeoutMs, &error);
    const qint64 runMs = clock.elapsed();
    const qint64 peak = std::max(ProcessFigures::PeakKiB(), load->peakResidentKiB());
    test::WaitUntil([&] {
        return ProcessFigures::Descriptors() <= descriptors && ProcessFigures::Threads() <= threads;
    });
    Print(QStringLiteral("FIGURES %1 %2 %3 %4 %5 %6 %7 %8 %9")
              .arg(resident)
              .arg(peak)
              .arg(descriptors)
              .arg(load->peakDescriptors())
              .arg(ProcessFigures::Descriptors())
              .arg(threads)
              .arg(load->peakThreads())
              .arg(ProcessFigures::Threads())
              .arg(runMs));
    if (!ended) {
        Print(QStringLiteral("ERROR ") + error);
        return 1;
    }
    return 0;
}

struct Side
{
    explicit Side(QString sideName) : name(std::move(sideName)) {}

    QString name;
    QProcess process;
    QStringList figures;
    QString error;
    QByteArray pending;

    // Reads what the side printed so far.
    void Take()
    {
        pending += process.readAllStandardOutput();
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromLocal8Bit(pending.left(end));
            pending.remove(0, end + 1);
            if (line.startsWith(QLatin1String("FIGURES ")))
                figures = line.mid(8).split(QLatin1Char(' '));
            else if (line.startsWith(QLatin1String("ERROR ")))
                error = line.mid(6);
            else
                lines << line;
        }
    }
    // The rest of the first line the side printed that starts with `key`.
    QString Value(const QString& key) const
    {
        for (const QString& line : lines) {
            if (line.startsWith(key + QLatin1Char(' ')))
                return line.mid(key.size() + 1);
        }
        return {};
    }
    QStringList lines;
};

QString FindBuildFolder()
{
    const QByteArray env = qgetenv("VANTREL_BUILD_DIR");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    QDir dir(QCoreApplication::applicationDirPath());
    do {
        if (QFileInfo::exists(dir.filePath(QStringLiteral("libzipbridge.so"))))
            return dir.path();
    } while (dir.cdUp());
    return QCoreApplication::applicationDirPath();
}

bool SameBytes(const QString& expected, const QString& actual)
{
    if (QFileInfo(expected).isDir())
        return test::TreeOf(expected) == test::TreeOf(actual);
    QFile a(expected);
    QFile b(actual);
    return a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) && a.readAll() == b.readAll();
}

int RunBench(const QStringList& args)
{
    const int scale = Argument(args, QStringLiteral("--scale"), QStringLiteral("4")).toInt();
    QTemporaryDir work(Argument(args, QStringLiteral("--work"), QDir::tempPath()) +
                       QStringLiteral("/load_bench-XXXXXX"));
    if (!work.isValid()) {
        Print(QStringLiteral("cannot make the work folder"));
        return 1;
    }
    work.setAutoRemove(!args.contains(QStringLiteral("--keep")));
    qputenv("VANTREL_BUILD_DIR", FindBuildFolder().toLocal8Bit());
    const QString data = work.filePath(QStringLiteral("data"));
    TransferLoad plan(nullptr, nullptr, data, scale);
    plan.WriteSources();
    Print(QStringLiteral("load_bench: %1 transfers at once, scale %2, %3 MiB of sources in %4")
              .arg(TransferLoad::Count)
              .arg(scale)
              .arg(plan.totalBytes() / (1024.0 * 1024.0), 0, 'f', 1)
              .arg(work.path()));

    const QString self = QCoreApplication::applicationFilePath();
    const QStringList common{QStringLiteral("--data"), data, QStringLiteral("--scale"),
                             QString::number(scale)};
    Side receiver(QStringLiteral("receiver"));
    receiver.process.start(self, QStringList{QStringLiteral("--role"), QStringLiteral("receiver"),
                                             QStringLiteral("--home"),
                                             work.filePath(QStringLiteral("bob"))} +
                                     common);
    while (receiver.Value(QStringLiteral("PORT")).isEmpty() && receiver.error.isEmpty() &&
           receiver.process.waitForReadyRead(60000))
        receiver.Take();
    if (receiver.Value(QStringLiteral("PORT")).isEmpty()) {
        Print(QStringLiteral("the receiver did not start: ") + receiver.error);
        return 1;
    }
    QElapsedTimer wall;
    wall.start();
    Side sender(QStringLiteral("sender"));
    sender.process.start(
        self, QStringList{QStringLiteral("--role"), QStringLiteral("sender"),
                          QStringLiteral("--home"), work.filePath(QStringLiteral("alice")),
                          QStringLiteral("--trust"), receiver.Value(QStringLiteral("AUTHORITY")),
                          QStringLiteral("--port"), receiver.Value(QStringLiteral("PORT"))} +
                  common);
    for (Side* side : {&sender, &receiver}) {
        side->process.waitForFinished(RunTimeoutMs);
        side->Take();
    }
    const double seconds = wall.elapsed() / 1000.0;

    Print(QStringLiteral("wall time (sender start to both done): %1 s").arg(seconds, 0, 'f', 1));
    Print(QStringLiteral("side       RSS before  peak RSS  growth    fds before/peak/after  "
                         "threads before/peak/after  run"));
    bool failed = false;
    for (Side* side : {&sender, &receiver}) {
        if (side->figures.size() != 9) {
            Print(side->name + QStringLiteral(": no figures; ") + side->error);
            failed = true;
            continue;
        }
        const auto kib = [&](int i) { return side->figures[i].toLongLong(); };
        Print(QStringLiteral("%1 %2 MiB  %3 MiB  %4 MiB  %5 / %6 / %7  %8 / %9 / %10  %11 s")
                  .arg(side->name, -10)
                  .arg(kib(0) / 1024.0, 8, 'f', 1)
                  .arg(kib(1) / 1024.0, 6, 'f', 1)
                  .arg((kib(1) - kib(0)) / 1024.0, 6, 'f', 1)
                  .arg(side->figures[2], 8)
                  .arg(side->figures[3], 4)
                  .arg(side->figures[4], -6)
                  .arg(side->figures[5], 10)
                  .arg(side->figures[6], 4)
                  .arg(side->figures[7], -8)
                  .arg(kib(8) / 1000.0, 0, 'f', 1));
        if (!side->error.isEmpty()) {
            Print(side->name + QStringLiteral(" failed: ") + side->error);
            failed = true;
        }
    }
    int whole = 0;
    int expected = 0;
    for (const TransferLoad::Item& item : plan.items()) {
        if (item.ending != TransferLoad::Ending::Completes)
            continue;
        ++expected;
        if (SameBytes(item.source, plan.Destination(item)))
            ++whole;
        else
            Print(QStringLiteral("not the same: ") + item.name);
    }
    Print(QStringLiteral("completed byte for byte: %1 of %2 (and %3 aborted)")
              .arg(whole)
              .arg(expected)
              .arg(TransferLoad::Count - expected));
    return failed || whole != expected ? 1 : 0;
}

} // namespace
} // namespace vantrel::bench

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    return args.contains(QStringLiteral("--role")) ? vantrel::bench::RunSide(args)
                                                   : vantrel::bench::RunBench(args);
}
