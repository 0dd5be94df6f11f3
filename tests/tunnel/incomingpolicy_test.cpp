#include "tunnel/incomingpolicy.h"

#include "core/base/settingsstore.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <ostream>
#include <thread>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace vantrel {
namespace {

constexpr std::uint32_t Ip(int a, int b, int c, int d)
{
    return std::uint32_t(a) << 24 | std::uint32_t(b) << 16 | std::uint32_t(c) << 8 |
           std::uint32_t(d);
}

const QString& Key = SettingsStore::PolicyKey;

TEST(IncomingPolicy, DefaultsToAcceptAllWithNoHosts)
{
    IncomingPolicy policy;
    EXPECT_EQ(policy.mode(), PolicyMode::AcceptAll);
    EXPECT_TRUE(policy.hosts().isEmpty());
    EXPECT_TRUE(policy.Allows(QStringLiteral("anyone"), Ip(10, 0, 0, 1)));
}

TEST(IncomingPolicy, ModesAndMatchingTable)
{
    struct Case
    {
        PolicyMode mode;
        QStringList hosts;
        const char* peerName;
        std::uint32_t ip;
        bool allowed;
    };
    const QStringList listed = {QStringLiteral("192.168.1.20"), QStringLiteral("pc.example"),
                                QStringLiteral("<New Host>")};
    const Case cases[] = {
        {PolicyMode::AcceptAll, {}, "pc.example", Ip(1, 2, 3, 4), true},
        {PolicyMode::AcceptAll, listed, "pc.example", Ip(1, 2, 3, 4), true},
        {PolicyMode::DenyAll, {}, "other", Ip(1, 2, 3, 4), false},
        {PolicyMode::DenyAll, listed, "pc.example", Ip(192, 168, 1, 20), false},
        {PolicyMode::AcceptOnly, {}, "pc.example", Ip(192, 168, 1, 20), false},
        {PolicyMode::AcceptOnly, listed, "pc.example", Ip(1, 2, 3, 4), true},
        // Listed by address: matches whatever name the peer resolved to.
        {PolicyMode::AcceptOnly, listed, "host.lan", Ip(192, 168, 1, 20), true},
        {PolicyMode::AcceptOnly, listed, "PC.example", Ip(1, 2, 3, 4), false},
        {PolicyMode::AcceptOnly, listed, "pc.example.", Ip(1, 2, 3, 4), false},
        {PolicyMode::AcceptOnly, listed, "pc", Ip(192, 168, 1, 2), false},
        {PolicyMode::AcceptOnly, listed, "<New Host>", Ip(1, 2, 3, 4), true},
        {PolicyMode::AcceptOnly, {QStringLiteral("010.0.0.1")}, "x", Ip(10, 0, 0, 1), false},
        {PolicyMode::AcceptOnly, {QStringLiteral("10.0.0.1")}, "x", Ip(10, 0, 0, 1), true},
        {PolicyMode::AcceptOnly, {QStringLiteral("255.0.255.0")}, "x", Ip(255, 0, 255, 0), true},
        {PolicyMode::AcceptExcept, {}, "pc.example", Ip(192, 168, 1, 20), true},
        {PolicyMode::AcceptExcept, listed, "pc.example", Ip(1, 2, 3, 4), false},
        {PolicyMode::AcceptExcept, listed, "host.lan", Ip(192, 168, 1, 20), false},
        {PolicyMode::AcceptExcept, listed, "PC.EXAMPLE", Ip(1, 2, 3, 4), true},
    };
    for (const Case& c : cases) {
        IncomingPolicy policy;
        policy.SetMode(c.mode);
        for (const QString& host : c.hosts)
            policy.AddHost(host);
        EXPECT_EQ(policy.Allows(QString::fromLatin1(c.peerName), c.ip), c.allowed)
            << "mode " << int(c.mode) << " peer " << c.peerName << " hosts "
            << c.hosts.join(QLatin1Char(',')).toStdString();
    }
}

TEST(IncomingPolicy, ListEdits)
{
    IncomingPolicy policy;
    EXPECT_EQ(policy.AddHost(), 0);
    EXPECT_EQ(policy.AddHost(), 1);
    EXPECT_EQ(policy.hosts(),
              (QStringList{IncomingPolicy::NewHostText, IncomingPolicy::NewHostText}));

    EXPECT_TRUE(policy.EditHost(0, QStringLiteral("pc1")));
    EXPECT_FALSE(policy.EditHost(0, QString())); // an empty edit keeps the old text
    EXPECT_FALSE(policy.EditHost(0, QStringLiteral("pc1")));
    EXPECT_FALSE(policy.EditHost(5, QStringLiteral("pc9")));
    policy.AddHost(QStringLiteral("pc1")); // duplicates are allowed
    policy.AddHost(QString());             // never an empty entry
    EXPECT_EQ(policy.hosts(), (QStringList{QStringLiteral("pc1"), IncomingPolicy::NewHostText,
                                           QStringLiteral("pc1")}));

    policy.RemoveHost(1);
    policy.RemoveHost(7);
    EXPECT_EQ(policy.hosts(), (QStringList{QStringLiteral("pc1"), QStringLiteral("pc1")}));
}

class PolicyStoreTest : public ::testing::Test
{
protected:
    test::TempFolder m_temp;
    SettingsStore m_store{m_temp.file(QStringLiteral("Vantrel.ini"))};
};

TEST_F(PolicyStoreTest, StoredModeTexts)
{
    IncomingPolicy missing;
    missing.SetMode(PolicyMode::DenyAll);
    missing.Load(m_store);
    EXPECT_EQ(missing.mode(), PolicyMode::AcceptAll);

    const std::pair<const char*, PolicyMode> cases[] = {
        {"", PolicyMode::AcceptAll},     {"1", PolicyMode::AcceptAll},
        {"2", PolicyMode::DenyAll},      {"3", PolicyMode::AcceptOnly},
        {"4", PolicyMode::AcceptExcept}, {"0", PolicyMode::AcceptExcept},
        {"x", PolicyMode::AcceptExcept}, {" 2", PolicyMode::AcceptExcept},
    };
    for (const auto& [text, mode] : cases) {
        m_store.Write(Key, QStringLiteral("TunPolicy"), QString::fromLatin1(text));
        IncomingPolicy policy;
        policy.Load(m_store);
        EXPECT_EQ(policy.mode(), mode) << '"' << text << '"';
    }
}

TEST_F(PolicyStoreTest, ModeAndHostsRoundTrip)
{
    for (PolicyMode mode : {PolicyMode::AcceptAll, PolicyMode::DenyAll, PolicyMode::AcceptOnly,
                            PolicyMode::AcceptExcept}) {
        IncomingPolicy policy;
        policy.SetMode(mode);
        policy.AddHost();
        policy.AddHost(QStringLiteral(" spaced name "));
        policy.Save(m_store);
        EXPECT_EQ(m_store.ReadString(Key, QStringLiteral("TunPolicy")), QString::number(int(mode)));

        IncomingPolicy loaded;
        loaded.Load(m_store);
        EXPECT_EQ(loaded.mode(), mode);
        EXPECT_EQ(loaded.hosts(),
                  (QStringList{IncomingPolicy::NewHostText, QStringLiteral(" spaced name ")}));
    }
}

TEST_F(PolicyStoreTest, LoadingStopsAtTheFirstGap)
{
    m_store.Write(Key, QStringLiteral("AHost01"), QStringLiteral("a"));
    m_store.Write(Key, QStringLiteral("AHost02"), QStringLiteral("b"));
    m_store.Write(Key, QStringLiteral("AHost04"), QStringLiteral("d"));
    IncomingPolicy policy;
    policy.Load(m_store);
    EXPECT_EQ(policy.hosts(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
}

TEST_F(PolicyStoreTest, ShrunkListDeletesOnlyTheNextValue)
{
    IncomingPolicy policy;
    for (int i = 1; i <= 5; ++i)
        policy.AddHost(QStringLiteral("h%1").arg(i));
    policy.Save(m_store);
    policy.RemoveHost(0);
    policy.RemoveHost(0);
    policy.RemoveHost(0);
    policy.Save(m_store);

    SettingsStore reread(m_store.fileName());
    EXPECT_EQ(reread.ReadString(Key, QStringLiteral("AHost01")), QStringLiteral("h4"));
    EXPECT_EQ(reread.ReadString(Key, QStringLiteral("AHost02")), QStringLiteral("h5"));
    EXPECT_FALSE(reread.Contains(Key, QStringLiteral("AHost03")));
    EXPECT_EQ(reread.ReadString(Key, QStringLiteral("AHost04")), QStringLiteral("h4"));
    EXPECT_EQ(reread.ReadString(Key, QStringLiteral("AHost05")), QStringLiteral("h5"));

    IncomingPolicy loaded;
    loaded.Load(reread);
    EXPECT_EQ(loaded.hosts(), (QStringList{QStringLiteral("h4"), QStringLiteral("h5")}));
}

TEST_F(PolicyStoreTest, HundredthEntryIsAHost100)
{
    IncomingPolicy policy;
    for (int i = 1; i <= 100; ++i)
        policy.AddHost(QStringLiteral("host%1").arg(i));
    policy.Save(m_store);
    EXPECT_EQ(m_store.ReadString(Key, QStringLiteral("AHost01")), QStringLiteral("host1"));
    EXPECT_EQ(m_store.ReadString(Key, QStringLiteral("AHost99")), QStringLiteral("host99"));
    EXPECT_EQ(m_store.ReadString(Key, QStringLiteral("AHost100")), QStringLiteral("host100"));

    IncomingPolicy loaded;
    loaded.Load(m_store);
    ASSERT_EQ(loaded.hosts().size(), 100);
    EXPECT_EQ(loaded.hosts().last(), QStringLiteral("host100"));
}

// A check sees one whole published state: mixing the mode of one with the list of the other
// would refuse the peer, while each state on its own lets it through.
TEST_F(PolicyStoreTest, ChecksSeeOneConsistentState)
{
    SettingsStore onlyPeer(m_temp.file(QStringLiteral("only.ini")));
    onlyPeer.Write(Key, QStringLiteral("TunPolicy"), QStringLiteral("3"));
    onlyPeer.Write(Key, QStringLiteral("AHost01"), QStringLiteral("peer"));
    SettingsStore exceptNone(m_temp.file(QStringLiteral("except.ini")));
    exceptNone.Write(Key, QStringLiteral("TunPolicy"), QStringLiteral("4"));

    IncomingPolicy policy;
    policy.Load(onlyPeer);
    std::atomic<bool> stop{false};
    std::atomic<int> refused{0};
    std::atomic<int> checks{0};
    std::thread checker([&] {
        while (!stop.load()) {
            if (!policy.Allows(QStringLiteral("peer"), Ip(10, 0, 0, 1)))
                refused.fetch_add(1);
            checks.fetch_add(1);
        }
    });
    // Keep changing the policy until the checker has run alongside for a good while.
    for (int i = 0; i < 300 || checks.load() < 20000; ++i) {
        policy.Load(i % 2 ? onlyPeer : exceptNone);
        // Edits that leave the peer's answer unchanged in either state.
        policy.AddHost(QStringLiteral("other"));
        policy.RemoveHost(static_cast<int>(policy.hosts().size()) - 1);
    }
    stop = true;
    checker.join();
    EXPECT_EQ(refused.load(), 0);
}

} // namespace
} // namespace vantrel
