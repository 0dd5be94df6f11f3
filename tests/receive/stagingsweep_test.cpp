#include "receive/stagingname.h"
#include "receive/stagingsweep.h"
#include "tests/support/filetree.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace vantrel {
namespace {

using Kind = StagingName::Kind;

// A process that has ended and been reaped: its pid names nobody (until reused).
pid_t DeadPid()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

// A process that runs until the object goes.
class LiveChild
{
public:
    LiveChild() : m_pid(::fork())
    {
        if (m_pid == 0) {
            ::pause();
            ::_exit(0);
        }
    }
    ~LiveChild()
    {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid;
};

QString Name(Kind kind, const char* target, pid_t pid, unsigned n = 1)
{
    return QFile::decodeName(StagingName::Make(kind, target, pid, n).c_str());
}

void MakeLink(const QString& target, const QString& link)
{
    ASSERT_TRUE(QFile::link(target, link)) << link.toStdString();
}

TEST(StagingName, MakesTheFormsTheWritersUse)
{
    EXPECT_EQ(StagingName::Make(Kind::File, "report.pdf", 4321, 7), ".report.pdf.vantrel-4321-7");
    EXPECT_EQ(StagingName::Make(Kind::Folder, "photos", 4321, 2), ".photos.vantrel-unpack-4321-2");
    // A name that holds what looks like a placeholder stays as it is.
    EXPECT_EQ(StagingName::Make(Kind::Folder, "a%1b", 9, 1), ".a%1b.vantrel-unpack-9-1");
}

TEST(StagingName, ParsesExactlyWhatItMakes)
{
    struct Case
    {
        std::string name;
        std::optional<Kind> kind; // nothing: not a staging name
        pid_t pid = 0;
    };
    const Case cases[] = {
        {".report.pdf.vantrel-4321-7", Kind::File, 4321},
        {".photos.vantrel-unpack-4321-100", Kind::Folder, 4321},
        {".a-b-1-2.vantrel-5-1", Kind::File, 5},
        {".x.vantrel-unpack.vantrel-5-1000", Kind::File, 5}, // a file named "x.vantrel-unpack"
        {"..hidden.vantrel-unpack-5-1", Kind::Folder, 5},    // a folder named ".hidden"
        {".x.vantrel-2147483647-1", Kind::File, 2147483647},
        {"report.pdf.vantrel-4321-7", {}},  // no leading dot
        {"..vantrel-4321-7", {}},           // no target name
        {"..vantrel-unpack-4321-7", {}},    // no target name
        {".x.vantrel-04321-7", {}},         // a leading zero
        {".x.vantrel-4321-07", {}},         // a leading zero
        {".x.vantrel-0-1", {}},             // pid 0
        {".x.vantrel-2147483648-1", {}},    // beyond any pid
        {".x.vantrel-4321-0", {}},          // n counts from 1
        {".x.vantrel-4321-1001", {}},       // beyond the file writer's tries
        {".x.vantrel-unpack-4321-101", {}}, // beyond the folder writer's tries
        {".x.vantrel-4321", {}},            // no n
        {".x.vantrel--1", {}},              // no pid
        {".x.vantrel-+12-1", {}},           // a sign
        {".x.vantrel-12-1.tmp", {}},        // something after
        {".x.vantrel-unpacked-12-1", {}},   // another word
        {".x.Vantrel-12-1", {}},            // another case
        {".x.vantrel_12_1", {}},            // other separators
        {".x-12-1", {}},                    // no mark
        {"", {}},
        {".", {}},
    };
    for (const Case& c : cases) {
        const std::optional<StagingName::Parsed> parsed = StagingName::Parse(c.name);
        ASSERT_EQ(parsed.has_value(), c.kind.has_value()) << c.name;
        if (parsed) {
            EXPECT_EQ(parsed->kind, *c.kind) << c.name;
            EXPECT_EQ(parsed->pid, c.pid) << c.name;
        }
    }
}

TEST(StagingSweep, RemovesOnlyTheLeftoversOfProcessesThatAreGone)
{
    test::TempFolder root;
    const QString targets = root.file(QStringLiteral("targets"));
    const QString other = root.file(QStringLiteral("other"));
    const QString outside = root.file(QStringLiteral("outside"));
    const pid_t dead = DeadPid();
    const LiveChild live;
    ASSERT_EQ(::kill(dead, 0), -1);

    // Leftovers of the dead process: a file, and a tree with a link out and a locked folder.
    const QString deadFile = Name(Kind::File, "report.pdf", dead);
    const QString deadTree = Name(Kind::Folder, "photos", dead, 3);
    root.write(QStringLiteral("targets/") + deadFile, "half a file");
    root.write(QStringLiteral("targets/%1/a/b.txt").arg(deadTree), "b");
    root.write(QStringLiteral("targets/%1/locked/c.txt").arg(deadTree), "c");
    root.write(QStringLiteral("outside/keep.txt"), "keep");
    root.write(QStringLiteral("outside/folder/inner.txt"), "inner");
    MakeLink(outside + QStringLiteral("/keep.txt"),
             QStringLiteral("%1/%2/a/to-file").arg(targets, deadTree));
    MakeLink(outside + QStringLiteral("/folder"),
             QStringLiteral("%1/%2/to-folder").arg(targets, deadTree));
    ASSERT_EQ(::chmod(QFile::encodeName(QStringLiteral("%1/%2/locked").arg(targets, deadTree)), 0),
              0);

    // What must stay: staging of running processes, near misses, the wrong kinds, a link named
    // like a staging folder, staging below the folder's own entries, and another folder's.
    QStringList stays = {
        Name(Kind::File, "mine", ::getpid()),
        Name(Kind::Folder, "theirs", live.pid()) + QStringLiteral("/x"),
        QStringLiteral(".x.vantrel-0%1-1").arg(dead),
        QStringLiteral("x.vantrel-%1-1").arg(dead),
        QStringLiteral(".x.vantrel-%1-1.tmp").arg(dead),
        QStringLiteral(".x.vantrel-unpacked-%1-1").arg(dead),
        QStringLiteral(".x.vantrel-%1-1001").arg(dead),
        Name(Kind::File, "wrong-kind", dead) + QStringLiteral("/in-a-folder"),
        QStringLiteral("nested/") + Name(Kind::File, "deeper", dead),
        QStringLiteral("report.pdf"),
    };
    for (const QString& name : stays)
        root.write(QStringLiteral("targets/") + name, "stays");
    root.write(QStringLiteral("other/") + Name(Kind::File, "elsewhere", dead), "stays");
    const QString fileKindLink = Name(Kind::Folder, "link", dead);
    MakeLink(outside + QStringLiteral("/folder"), targets + QLatin1Char('/') + fileKindLink);
    const QString wrongKind = Name(Kind::Folder, "plain-file", dead);
    root.write(QStringLiteral("targets/") + wrongKind, "a file under a folder's name");

    const std::map<QString, QByteArray> otherBefore = test::TreeOf(other);
    const std::map<QString, QByteArray> outsideBefore = test::TreeOf(outside);

    const QStringList removed = StagingSweep::Sweep(
        {targets, targets + QStringLiteral("/."), root.file(QStringLiteral("missing"))});

    QStringList expected = {targets + QLatin1Char('/') + deadFile,
                            targets + QLatin1Char('/') + deadTree};
    QStringList sorted = removed;
    sorted.sort();
    expected.sort();
    EXPECT_EQ(sorted, expected);
    EXPECT_FALSE(QFileInfo::exists(targets + QLatin1Char('/') + deadFile));
    EXPECT_FALSE(QFileInfo(targets + QLatin1Char('/') + deadTree).exists());
    for (const QString& name : stays)
        EXPECT_TRUE(QFileInfo::exists(targets + QLatin1Char('/') + name)) << name.toStdString();
    EXPECT_TRUE(QFileInfo(targets + QLatin1Char('/') + fileKindLink).isSymLink());
    EXPECT_TRUE(QFileInfo(targets + QLatin1Char('/') + wrongKind).isFile());
    EXPECT_EQ(test::TreeOf(other), otherBefore);
    EXPECT_EQ(test::TreeOf(outside), outsideBefore);
}

TEST(StagingSweep, RemoveTreeNeverFollowsALink)
{
    test::TempFolder root;
    root.write(QStringLiteral("tree/a/b/c.txt"), "c");
    root.write(QStringLiteral("tree/sealed/d.txt"), "d");
    root.write(QStringLiteral("outside/keep.txt"), "keep");
    const QString outside = root.file(QStringLiteral("outside"));
    MakeLink(outside, root.file(QStringLiteral("tree/a/to-outside")));
    MakeLink(outside + QStringLiteral("/keep.txt"), root.file(QStringLiteral("tree/a/b/to-file")));
    ASSERT_EQ(::chmod(QFile::encodeName(root.file(QStringLiteral("tree/sealed"))), 0), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(root.file(QStringLiteral("tree/a/b"))), 0500), 0);
    const std::map<QString, QByteArray> outsideBefore = test::TreeOf(outside);

    EXPECT_TRUE(StagingSweep::RemoveTree(root.file(QStringLiteral("tree"))));
    EXPECT_FALSE(QFileInfo::exists(root.file(QStringLiteral("tree"))));
    EXPECT_EQ(test::TreeOf(outside), outsideBefore);

    // A link given as the tree is not followed either.
    MakeLink(outside, root.file(QStringLiteral("link")));
    EXPECT_FALSE(StagingSweep::RemoveTree(root.file(QStringLiteral("link"))));
    EXPECT_EQ(test::TreeOf(outside), outsideBefore);
}

} // namespace
} // namespace vantrel
