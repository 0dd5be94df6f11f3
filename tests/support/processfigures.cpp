#include "tests/support/processfigures.h"

#include <QDir>
#include <QFile>

#include <fstream>
#include <sstream>
#include <string>

namespace vantrel::test {

namespace {

qint64 StatusKiB(const std::string& key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, key.size() + 1, key + ':') == 0) {
            std::istringstream value(line.substr(key.size() + 1));
            qint64 kib = -1;
            value >> kib;
            return value ? kib : -1;
        }
    }
    return -1;
}

int Entries(const QString& folder)
{
    const QDir dir(folder);
    return dir.exists() ? static_cast<int>(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                         QDir::System | QDir::Hidden)
                                               .size())
                        : -1;
}

} // namespace

qint64 ProcessFigures::ResidentKiB()
{
    return StatusKiB("VmRSS");
}

qint64 ProcessFigures::PeakKiB()
{
    return StatusKiB("VmHWM");
}

bool ProcessFigures::ResetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

int ProcessFigures::Descriptors()
{
    // The listing itself holds one descriptor while it reads.
    const int entries = Entries(QStringLiteral("/proc/self/fd"));
    return entries < 0 ? -1 : entries - 1;
}

int ProcessFigures::Threads()
{
    return Entries(QStringLiteral("/proc/self/task"));
}

} // namespace vantrel::test
