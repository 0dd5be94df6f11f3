// The stored lists are never left half-written: a save that a size limit cuts off (the write
// fails midway, or the process is killed by the limit's signal) leaves the old file byte for
// byte, and a save that fits replaces it whole.
#include "core/base/settingsstore.h"
#include "net/wirerecords.h"
#include "receive/autoreceiverules.h"
#include "receive/resumecache.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantrel {
namespace {

constexpr rlim_t SizeLimit = 4096; // above every old file, below every new one

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One list, how it is saved, and how many entries make it larger than the limit. Qt's own
// writers keep up to 16 KiB in a buffer and take a cut-off flush for success, so the large
// lists stay below that where they can.
struct StoredList
{
    const char* name;
    const char* fileName;
    std::function<void(const QString& folder, int entries)> save;
    int largeEntries;
};

void PrintTo(const StoredList& list, std::ostream* out)
{
    *out << list.name;
}

void SaveSettings(const QString& folder, int entries)
{
    SettingsStore store(folder + QStringLiteral("/Vantrel.ini"));
    QList<QPair<QString, QString>> hosts;
    for (int i = 0; i < entries; ++i)
        hosts.append({QStringLiteral("%1Entry").arg(i, 2, 10, QLatin1Char('0')),
                      QStringLiteral("host-number-%1.example (Nick %1)").arg(i)});
    store.WriteValues(SettingsStore::RecentHostsKey, hosts);
}

void SaveResumes(const QString& folder, int entries)
{
    ProgramFolder program(folder);
    QDir().mkpath(program.cachedResumesFolder());
    ResumeCache cache(program);
    for (int i = 0; i < entries; ++i) {
        RequestHeader request;
        request.fileName = QByteArray("tree-") + QByteArray::number(i);
        request.dirCount = 1;
        request.totalSize = 1000 + i;
        const std::uint32_t id = cache.Add(request);
        QFile(cache.EntryFile(id)).open(QIODevice::WriteOnly);
    }
    cache.Save();
}

void SaveRules(const QString& folder, int entries)
{
    AutoReceiveRules rules;
    for (int i = 0; i < entries; ++i)
        rules.Add({QStringLiteral("10.0.0.%1").arg(i + 1), folder, QStringLiteral("0")});
    rules.Save(folder + QStringLiteral("/autorec.vnt"));
}

const StoredList Lists[] = {
    {"Settings", "Vantrel.ini", SaveSettings, 200},
    {"CachedResumes", "cachedreslist.vnt", SaveResumes, 40},
    {"AutoReceiveRules", "autorec.vnt", SaveRules, 10},
};

class StoredLists : public ::testing::TestWithParam<StoredList>
{
protected:
    // Saves the large list in a child process whose files may not grow past SizeLimit;
    // `killed`: the limit's signal ends it (a crash), otherwise the write fails and it goes on.
    // Returns how the child ended.
    int SaveLargeLimited(bool killed)
    {
        const pid_t child = ::fork();
        if (child == 0) {
            std::signal(SIGXFSZ, killed ? SIG_DFL : SIG_IGN);
            const rlimit limit{SizeLimit, SizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            GetParam().save(m_folder.path(), GetParam().largeEntries);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return status;
    }

    QString ListFile() const { return m_folder.file(QString::fromLatin1(GetParam().fileName)); }

    test::TempFolder m_folder;
};

TEST_P(StoredLists, ASaveCutOffByASizeLimitLeavesTheOldFile)
{
    GetParam().save(m_folder.path(), 1);
    const QByteArray old = FileBytes(ListFile());
    ASSERT_FALSE(old.isEmpty());
    ASSERT_LT(old.size(), qsizetype(SizeLimit));

    const int failed = SaveLargeLimited(false);
    ASSERT_TRUE(WIFEXITED(failed));
    EXPECT_EQ(FileBytes(ListFile()), old);
    // A failed save cleans up after itself.
    EXPECT_EQ(QDir(m_folder.path()).entryList({QStringLiteral("*.new")}, QDir::Files),
              QStringList());

    const int crashed = SaveLargeLimited(true);
    ASSERT_TRUE(WIFSIGNALED(crashed) && WTERMSIG(crashed) == SIGXFSZ) << crashed;
    EXPECT_EQ(FileBytes(ListFile()), old);

    // Without the limit the large list replaces the old one whole.
    GetParam().save(m_folder.path(), GetParam().largeEntries);
    EXPECT_GT(FileBytes(ListFile()).size(), qsizetype(SizeLimit));
}

INSTANTIATE_TEST_SUITE_P(Lists, StoredLists, ::testing::ValuesIn(Lists),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vantrel
