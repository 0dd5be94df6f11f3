#include "receive/autoreceiverules.h"

#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace vantrel {
namespace {

using Check = AutoReceiveRules::Check;
using Fields = AutoReceiveRules::Fields;

QByteArray U32(std::uint32_t value)
{
    QByteArray out;
    for (int shift = 0; shift < 32; shift += 8)
        out.append(static_cast<char>((value >> shift) & 0xff));
    return out;
}

QByteArray Record(std::uint32_t enabled, const QByteArray& host, const QByteArray& folder,
                  std::uint32_t bandLimit)
{
    return U32(enabled) + host + QByteArray(512 - host.size(), '\0') + folder +
           QByteArray(512 - folder.size(), '\0') + U32(bandLimit);
}

constexpr std::uint32_t Ip(int a, int b, int c, int d)
{
    return std::uint32_t(a) << 24 | std::uint32_t(b) << 16 | std::uint32_t(c) << 8 |
           std::uint32_t(d);
}

class AutoReceiveTest : public ::testing::Test
{
protected:
    QString Folder(const QString& name) const
    {
        QDir(m_temp.path()).mkpath(name);
        return m_temp.file(name);
    }
    QString RulesFile() const { return m_temp.file(QStringLiteral("autorec.vnt")); }
    QByteArray FileBytes() const
    {
        QFile file(RulesFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    test::TempFolder m_temp;
    AutoReceiveRules m_rules;
};

TEST_F(AutoReceiveTest, FileRoundTripAndLayout)
{
    const QString incoming = Folder(QStringLiteral("incoming"));
    const QString photos = Folder(QStringLiteral("Фото"));
    ASSERT_EQ(m_rules.Add({QStringLiteral("10.0.0.5"), incoming, QStringLiteral("0")}), Check::Ok);
    ASSERT_EQ(m_rules.Add({QStringLiteral("pc-ünï"), photos, QStringLiteral("64")}), Check::Ok);
    m_rules.SetEnabled(1, false);
    ASSERT_TRUE(m_rules.Save(RulesFile()));

    const QByteArray expected = U32(2) + Record(1, "10.0.0.5", incoming.toUtf8(), 0) +
                                Record(0, QStringLiteral("pc-ünï").toUtf8(), photos.toUtf8(), 64);
    EXPECT_EQ(FileBytes().toHex(), expected.toHex());

    AutoReceiveRules loaded;
    loaded.Load(RulesFile());
    ASSERT_EQ(loaded.rules().size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(loaded.rules()[i].enabled, m_rules.rules()[i].enabled);
        EXPECT_EQ(loaded.rules()[i].host, m_rules.rules()[i].host);
        EXPECT_EQ(loaded.rules()[i].saveFolder, m_rules.rules()[i].saveFolder);
        EXPECT_EQ(loaded.rules()[i].bandLimit, m_rules.rules()[i].bandLimit);
    }
}

TEST_F(AutoReceiveTest, LoadReadsHandWrittenRecords)
{
    const QByteArray bytes = U32(4) + Record(1, "a", "/in/a", 16) + Record(2, "b", "/in/b", 0) +
                             Record(0, "c", "/in/c", 0xfffffffbu) + // a negative limit
                             Record(1, "d", "/in/d", 5).left(600);  // cut short
    m_temp.write(QStringLiteral("autorec.vnt"), bytes);
    m_rules.Load(RulesFile());
    ASSERT_EQ(m_rules.rules().size(), 3u);
    EXPECT_TRUE(m_rules.rules()[0].enabled);
    EXPECT_EQ(m_rules.rules()[0].host, QStringLiteral("a"));
    EXPECT_EQ(m_rules.rules()[0].saveFolder, QStringLiteral("/in/a"));
    EXPECT_EQ(m_rules.rules()[0].bandLimit, 16);
    EXPECT_FALSE(m_rules.rules()[1].enabled); // only exactly 1 means enabled
    EXPECT_EQ(m_rules.rules()[2].bandLimit, 0);
    EXPECT_EQ(m_rules.rules()[2].BandLimitText(), QStringLiteral("No Limit"));

    // A missing file leaves no rules.
    m_rules.Load(m_temp.file(QStringLiteral("nothing.vnt")));
    EXPECT_TRUE(m_rules.rules().empty());
}

TEST_F(AutoReceiveTest, FirstEnabledRuleForTheAddressOrNameMatches)
{
    const QString a = Folder(QStringLiteral("a"));
    const QString b = Folder(QStringLiteral("b"));
    const QString c = Folder(QStringLiteral("c"));
    const QString d = Folder(QStringLiteral("d"));
    const QString e = Folder(QStringLiteral("e"));
    m_rules.Add({QStringLiteral("10.0.0.5"), a, QStringLiteral("1")});
    m_rules.Add({QStringLiteral("10.0.0.5"), b, QStringLiteral("2")});
    m_rules.Add({QStringLiteral("pc1"), c, QStringLiteral("3")});
    m_rules.Add({QStringLiteral("pc1"), d, QStringLiteral("4")});
    m_rules.Add({QStringLiteral("PC2"), e, QStringLiteral("5")});
    m_rules.SetEnabled(2, false);

    struct Case
    {
        const char* peerName;
        std::optional<std::uint32_t> ip;
        QString folder; // empty: no match
        std::uint32_t bandLimit;
    };
    const Case cases[] = {
        {"host.lan", Ip(10, 0, 0, 5), a, 1}, // earlier of two rules wins
        {"pc1", Ip(10, 0, 0, 9), d, 4},      // the disabled rule is passed over
        {"pc1", std::nullopt, d, 4},
        {"10.0.0.5", std::nullopt, a, 1}, // the name may itself be the dotted address
        {"pc2", Ip(1, 2, 3, 4), {}, 0},   // letter case differs
        {"PC2", Ip(1, 2, 3, 4), e, 5},
        {"other", Ip(10, 0, 0, 50), {}, 0},
        {"", std::nullopt, {}, 0},
    };
    for (const Case& c2 : cases) {
        const std::optional<AutoReceiveMatch> match =
            m_rules.MatchAutoReceive(QString::fromLatin1(c2.peerName), c2.ip);
        if (c2.folder.isEmpty()) {
            EXPECT_FALSE(match) << c2.peerName;
            continue;
        }
        ASSERT_TRUE(match) << c2.peerName;
        EXPECT_EQ(match->ruleFolder, c2.folder) << c2.peerName;
        EXPECT_EQ(match->bandLimit, c2.bandLimit) << c2.peerName;
    }
}

TEST_F(AutoReceiveTest, ChecksRunInOrder)
{
    const QString folder = Folder(QStringLiteral("in"));
    m_temp.write(QStringLiteral("plain.txt"), "x");
    struct Case
    {
        Fields fields;
        Check check;
    };
    const Case cases[] = {
        {{QString(), QString(), QString()}, Check::NoHost},
        {{QString(), folder, QStringLiteral("0")}, Check::NoHost},
        {{QStringLiteral(" "), QString(), QStringLiteral("0")}, Check::NoSaveDirectory},
        {{QStringLiteral("pc"), QString(), QString()}, Check::NoSaveDirectory},
        {{QStringLiteral("pc"), folder, QString()}, Check::NoBandLimit},
        {{QStringLiteral("pc"), QStringLiteral("/no/such/folder"), QString()}, Check::NoBandLimit},
        {{QStringLiteral("pc"), QStringLiteral("/no/such/folder"), QStringLiteral("0")},
         Check::InvalidSaveDirectory},
        {{QStringLiteral("pc"), m_temp.file(QStringLiteral("plain.txt")), QStringLiteral("0")},
         Check::InvalidSaveDirectory},
        {{QStringLiteral("pc"), QStringLiteral(" "), QStringLiteral("0")},
         Check::InvalidSaveDirectory},
        {{QStringLiteral("pc"), QStringLiteral("in"), QStringLiteral("0")},
         Check::InvalidSaveDirectory},
        {{QStringLiteral("pc"), folder, QStringLiteral(" ")}, Check::Ok},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(m_rules.Add(c.fields), c.check)
            << c.fields.host.toStdString() << '|' << c.fields.saveDirectory.toStdString() << '|'
            << c.fields.bandLimit.toStdString();
    }
    EXPECT_EQ(m_rules.rules().size(), 1u);
}

TEST(AutoReceiveMessages, TextsTitlesAndIcons)
{
    struct Case
    {
        Check check;
        const char* text;
        const char* title;
        bool warning;
    };
    const Case cases[] = {
        {Check::NoHost, "You should enter a Hostname or IP Address!", "Warning...", false},
        {Check::NoSaveDirectory, "You should enter a Save Directory!", "Warning...", false},
        {Check::NoBandLimit, "You should enter a Band Usage Limit value!", "Warning...", false},
        {Check::InvalidSaveDirectory, "You must provide a valid Save Directory!", "Error", true},
    };
    for (const Case& c : cases) {
        const AutoReceiveRules::Message message = AutoReceiveRules::CheckMessage(c.check);
        EXPECT_EQ(message.text, QLatin1String(c.text));
        EXPECT_EQ(message.title, QLatin1String(c.title));
        EXPECT_EQ(message.warning, c.warning) << c.text;
    }
}

TEST_F(AutoReceiveTest, OneTrailingSeparatorIsDropped)
{
    const QString folder = Folder(QStringLiteral("in"));
    ASSERT_EQ(m_rules.Add({QStringLiteral("a"), folder + QLatin1Char('/'), QStringLiteral("0")}),
              Check::Ok);
    ASSERT_EQ(m_rules.Add({QStringLiteral("b"), folder + QLatin1Char('\\'), QStringLiteral("0")}),
              Check::Ok);
    ASSERT_EQ(m_rules.Add({QStringLiteral("c"), QStringLiteral("/"), QStringLiteral("0")}),
              Check::Ok);
    EXPECT_EQ(m_rules.rules()[0].saveFolder, folder);
    EXPECT_EQ(m_rules.rules()[1].saveFolder, folder);
    EXPECT_EQ(m_rules.rules()[2].saveFolder, QStringLiteral("/"));
}

TEST_F(AutoReceiveTest, BandLimitTextAndParsing)
{
    const QString folder = Folder(QStringLiteral("in"));
    const std::pair<const char*, const char*> cases[] = {
        {"64", "64 Kb/sec"},        {"0", "No Limit"},
        {"abc", "No Limit"},        {"12abc", "No Limit"},
        {" 12 ", "12 Kb/sec"},      {"+8", "8 Kb/sec"},
        {"-5", "No Limit"},         {"2147483647", "2147483647 Kb/sec"},
        {"2147483648", "No Limit"}, {"99999999999999999999", "No Limit"},
        {"1.5", "No Limit"},
    };
    for (const auto& [typed, shown] : cases) {
        ASSERT_EQ(m_rules.Add({QStringLiteral("pc"), folder, QString::fromLatin1(typed)}),
                  Check::Ok);
        EXPECT_EQ(m_rules.rules().back().BandLimitText(), QLatin1String(shown)) << typed;
    }
}

TEST_F(AutoReceiveTest, ModifyKeepsEnabledStateAndFailedChecksChangeNothing)
{
    const QString a = Folder(QStringLiteral("a"));
    const QString b = Folder(QStringLiteral("b"));
    m_rules.Add({QStringLiteral("pc1"), a, QStringLiteral("1")});
    m_rules.Add({QStringLiteral("pc2"), a, QStringLiteral("2")});
    m_rules.SetEnabled(0, false);

    EXPECT_EQ(m_rules.Modify(0, {QStringLiteral("pc9"), b + QLatin1Char('/'), QStringLiteral("9")}),
              Check::Ok);
    EXPECT_FALSE(m_rules.rules()[0].enabled);
    EXPECT_EQ(m_rules.rules()[0].host, QStringLiteral("pc9"));
    EXPECT_EQ(m_rules.rules()[0].saveFolder, b);
    EXPECT_EQ(m_rules.rules()[0].bandLimit, 9);

    EXPECT_EQ(
        m_rules.Modify(1, {QStringLiteral("pc3"), QStringLiteral("/no/such"), QStringLiteral("3")}),
        Check::InvalidSaveDirectory);
    EXPECT_EQ(m_rules.rules()[1].host, QStringLiteral("pc2"));

    m_rules.Delete(0);
    m_rules.Delete(5);
    ASSERT_EQ(m_rules.rules().size(), 1u);
    EXPECT_EQ(m_rules.rules()[0].host, QStringLiteral("pc2"));
}

TEST_F(AutoReceiveTest, LongTextsAreCutToTheFieldWithoutSplittingACharacter)
{
    const QString folder = Folder(QStringLiteral("in"));
    const QString host = QString(510, QLatin1Char('h')) + QStringLiteral("éz"); // é over byte 511
    ASSERT_EQ(m_rules.Add({host, folder, QStringLiteral("0")}), Check::Ok);
    EXPECT_EQ(m_rules.rules()[0].host, QString(510, QLatin1Char('h')));
    ASSERT_TRUE(m_rules.Save(RulesFile()));
    EXPECT_EQ(FileBytes().mid(4 + 4, 512), QByteArray(510, 'h') + QByteArray(2, '\0'));

    // A folder path that does not fit is not the folder that was checked: refused.
    const QString deep =
        Folder(QString(200, QLatin1Char('a')) + QLatin1Char('/') + QString(200, QLatin1Char('b')) +
               QLatin1Char('/') + QString(200, QLatin1Char('c')));
    ASSERT_TRUE(QDir(deep).exists());
    EXPECT_EQ(m_rules.Add({QStringLiteral("pc"), deep, QStringLiteral("0")}),
              Check::InvalidSaveDirectory);
}

TEST_F(AutoReceiveTest, EditsAnnounceThemselves)
{
    int changes = 0;
    QObject::connect(&m_rules, &AutoReceiveRules::changed, &m_rules, [&changes] { ++changes; });
    const QString folder = Folder(QStringLiteral("in"));
    m_rules.Add({QStringLiteral("pc"), folder, QStringLiteral("0")});
    m_rules.Add({QString(), folder, QStringLiteral("0")}); // refused: no change
    m_rules.SetEnabled(0, false);
    m_rules.SetEnabled(0, false); // already so
    m_rules.Modify(0, {QStringLiteral("pc2"), folder, QStringLiteral("1")});
    m_rules.Delete(0);
    EXPECT_EQ(changes, 4);
}

} // namespace
} // namespace vantrel
