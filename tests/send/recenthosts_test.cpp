#include "send/recenthosts.h"

#include "core/base/settingsstore.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <ostream>
#include <thread>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace vantrel {
namespace {

class RecentHostsTest : public ::testing::Test
{
protected:
    QString Value(int index) const
    {
        return m_store.ReadString(SettingsStore::RecentHostsKey,
                                  QString::asprintf("%02dEntry", index));
    }
    void SetValue(int index, const QString& text)
    {
        m_store.Write(SettingsStore::RecentHostsKey, QString::asprintf("%02dEntry", index), text);
    }

    test::TempFolder m_temp;
    SettingsStore m_store{m_temp.file(QStringLiteral("Vantrel.ini"))};
    RecentHosts m_hosts{m_store};
};

TEST(RecentHostsText, PortShownUnlessDefault)
{
    EXPECT_EQ(RecentHosts::EntryText(QStringLiteral("pc1"), 12666, QStringLiteral("Bob")),
              QStringLiteral("pc1 (Bob)"));
    EXPECT_EQ(RecentHosts::EntryText(QStringLiteral("pc2"), 9000, QStringLiteral("Ann")),
              QStringLiteral("pc2:9000 (Ann)"));
    // Texts are placed, never interpreted.
    EXPECT_EQ(RecentHosts::EntryText(QStringLiteral("h%2"), 1, QStringLiteral("%1")),
              QStringLiteral("h%2:1 (%1)"));
}

TEST_F(RecentHostsTest, NewestFirstAndOneEntryPerHost)
{
    m_hosts.AddRecentHost(QStringLiteral("pc1"), 12666, QStringLiteral("Bob"));
    EXPECT_EQ(m_hosts.LoadRecentHosts(), QStringList{QStringLiteral("pc1 (Bob)")});

    m_hosts.AddRecentHost(QStringLiteral("pc2"), 9000, QStringLiteral("Ann"));
    EXPECT_EQ(m_hosts.LoadRecentHosts(),
              (QStringList{QStringLiteral("pc2:9000 (Ann)"), QStringLiteral("pc1 (Bob)")}));

    m_hosts.AddRecentHost(QStringLiteral("pc3"), 12666, QStringLiteral("Cy"));
    m_hosts.AddRecentHost(QStringLiteral("pc1"), 7000, QStringLiteral("Robert"));
    EXPECT_EQ(m_hosts.LoadRecentHosts(),
              (QStringList{QStringLiteral("pc1:7000 (Robert)"), QStringLiteral("pc3 (Cy)"),
                           QStringLiteral("pc2:9000 (Ann)")}));
    // The list kept its length: nothing is left behind past its end.
    EXPECT_TRUE(Value(3).isEmpty());
}

TEST_F(RecentHostsTest, HostTextIsMatchedAsPrefix)
{
    SetValue(0, QStringLiteral("pc10 (Ann)"));
    m_hosts.AddRecentHost(QStringLiteral("pc1"), 12666, QStringLiteral("Bob"));
    EXPECT_EQ(m_hosts.LoadRecentHosts(), QStringList{QStringLiteral("pc1 (Bob)")});

    m_hosts.AddRecentHost(QStringLiteral("pc10"), 12666, QStringLiteral("Ann"));
    EXPECT_EQ(m_hosts.LoadRecentHosts(),
              (QStringList{QStringLiteral("pc10 (Ann)"), QStringLiteral("pc1 (Bob)")}));

    // Case matters.
    m_hosts.AddRecentHost(QStringLiteral("PC10"), 12666, QStringLiteral("Ann"));
    EXPECT_EQ(m_hosts.LoadRecentHosts().size(), 3);
}

TEST_F(RecentHostsTest, LastPrefixMatchIsTheDuplicate)
{
    SetValue(0, QStringLiteral("pc1a (A)"));
    SetValue(1, QStringLiteral("x (X)"));
    SetValue(2, QStringLiteral("pc1b (B)"));
    SetValue(3, QStringLiteral("y (Y)"));
    m_hosts.AddRecentHost(QStringLiteral("pc1"), 12666, QStringLiteral("N"));
    EXPECT_EQ(m_hosts.LoadRecentHosts(),
              (QStringList{QStringLiteral("pc1 (N)"), QStringLiteral("pc1a (A)"),
                           QStringLiteral("x (X)"), QStringLiteral("y (Y)")}));
}

TEST_F(RecentHostsTest, ListEndsAtFirstEmptyValue)
{
    SetValue(0, QStringLiteral("a (A)"));
    SetValue(2, QStringLiteral("pc1 (Old)")); // beyond the gap: not part of the list
    EXPECT_EQ(m_hosts.LoadRecentHosts(), QStringList{QStringLiteral("a (A)")});
}

TEST_F(RecentHostsTest, FullListDropsTheOldest)
{
    for (int i = 0; i <= RecentHosts::MaxEntries; ++i)
        m_hosts.AddRecentHost(QStringLiteral("host%1-").arg(i), 12666, QStringLiteral("n"));
    QStringList list = m_hosts.LoadRecentHosts();
    ASSERT_EQ(list.size(), RecentHosts::MaxEntries);
    EXPECT_EQ(list.first(), QStringLiteral("host50- (n)"));
    EXPECT_EQ(list.last(), QStringLiteral("host1- (n)"));
    EXPECT_FALSE(m_store.Contains(SettingsStore::RecentHostsKey, QStringLiteral("50Entry")));

    // A known host in a full list moves up without losing anyone else.
    m_hosts.AddRecentHost(QStringLiteral("host1-"), 9000, QStringLiteral("m"));
    list = m_hosts.LoadRecentHosts();
    ASSERT_EQ(list.size(), RecentHosts::MaxEntries);
    EXPECT_EQ(list.first(), QStringLiteral("host1-:9000 (m)"));
    EXPECT_EQ(list.at(1), QStringLiteral("host50- (n)"));
    EXPECT_EQ(list.last(), QStringLiteral("host2- (n)"));
}

TEST_F(RecentHostsTest, ClearEmptiesTheListAndANewOneStarts)
{
    for (int i = 0; i < 5; ++i)
        m_hosts.AddRecentHost(QStringLiteral("h%1-").arg(i), 12666, QStringLiteral("n"));
    m_hosts.ClearRecentHosts();
    EXPECT_TRUE(m_hosts.LoadRecentHosts().isEmpty());
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(
            m_store.Contains(SettingsStore::RecentHostsKey, QString::asprintf("%02dEntry", i)));

    m_hosts.AddRecentHost(QStringLiteral("new"), 12666, QStringLiteral("n"));
    EXPECT_EQ(m_hosts.LoadRecentHosts(), QStringList{QStringLiteral("new (n)")});
}

// Every thread's updates survive: an unguarded read-modify-write would lose entries.
TEST_F(RecentHostsTest, ConcurrentAddsKeepEveryHostOnce)
{
    constexpr int PerThread = 12;
    const QList<QChar> prefixes = {QLatin1Char('a'), QLatin1Char('b'), QLatin1Char('c'),
                                   QLatin1Char('d')};
    std::vector<std::thread> threads;
    for (QChar prefix : prefixes) {
        threads.emplace_back([this, prefix] {
            RecentHosts hosts(m_store);
            for (int i = 0; i < PerThread; ++i)
                hosts.AddRecentHost(QStringLiteral("%1%2-").arg(prefix).arg(i), 12666,
                                    QStringLiteral("n"));
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    const QStringList list = m_hosts.LoadRecentHosts();
    ASSERT_EQ(list.size(), prefixes.size() * PerThread);
    for (QChar prefix : prefixes) {
        // Each thread's hosts appear once each, newest first.
        qsizetype previous = list.size();
        for (int i = 0; i < PerThread; ++i) {
            const qsizetype at = list.indexOf(QStringLiteral("%1%2- (n)").arg(prefix).arg(i));
            ASSERT_GE(at, 0) << prefix.toLatin1() << i;
            EXPECT_LT(at, previous);
            previous = at;
        }
    }
}

} // namespace
} // namespace vantrel
