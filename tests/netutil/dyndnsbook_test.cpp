#include "netutil/dyndnsbook.h"

#include "core/base/settingsstore.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace vantrel {
namespace {

using namespace Qt::StringLiterals;

const QString& Key = SettingsStore::DynDnsKey;

QStringList Hosts(const DynDnsBook& book)
{
    QStringList hosts;
    for (const DynDnsBook::Entry& entry : book.entries())
        hosts << entry.host;
    return hosts;
}

TEST(DynDnsBook, LookupsWalkFromTheFirstEntryExactly)
{
    DynDnsBook book;
    book.AddEntry(QStringLiteral("failed.dyn.test"), DynDnsBook::Unresolved);
    book.AddEntry(QStringLiteral("Home.dyn.test"), QStringLiteral("10.0.0.7"));
    book.AddEntry(QStringLiteral("second.dyn.test"), QStringLiteral("10.0.0.7"));
    const struct
    {
        std::uint32_t address;
        std::optional<QString> name;
    } names[] = {
        {0x0a000007, QStringLiteral("Home.dyn.test")}, // the first of two with that address
        {0x0a000008, std::nullopt},
        {0, std::nullopt}, // "-" is no address
    };
    for (const auto& c : names)
        EXPECT_EQ(book.NameForAddress(c.address), c.name) << c.address;
    EXPECT_TRUE(book.ContainsHost(QStringLiteral("Home.dyn.test")));
    EXPECT_FALSE(book.ContainsHost(QStringLiteral("home.dyn.test")));
    EXPECT_FALSE(book.ContainsHost(QStringLiteral("Home.dyn.test.")));
}

TEST(DynDnsBook, WindowEditsKeepOrderAndRefuseEmptyNames)
{
    DynDnsBook book;
    book.AddEntry(QStringLiteral("a.test"), QStringLiteral("10.0.0.1"));
    book.AddHost();
    EXPECT_EQ(Hosts(book), QStringList({u"a.test"_s, u"<New Host>"_s}));
    EXPECT_EQ(book.entries().back().address, u"-"_s);

    EXPECT_FALSE(book.EditHost(0, QString()));
    EXPECT_TRUE(book.EditHost(1, QStringLiteral("b.test")));
    EXPECT_FALSE(book.EditHost(5, QStringLiteral("c.test")));
    EXPECT_EQ(Hosts(book), QStringList({u"a.test"_s, u"b.test"_s}));
    // Editing a name keeps the address until the next pass.
    EXPECT_TRUE(book.EditHost(0, QStringLiteral("z.test")));
    EXPECT_EQ(book.NameForAddress(0x0a000001), u"z.test"_s);

    book.RemoveEntry(-1);
    book.RemoveEntry(2);
    book.RemoveEntry(0);
    EXPECT_EQ(Hosts(book), QStringList({u"b.test"_s}));
    EXPECT_EQ(book.NameForAddress(0x0a000001), std::nullopt);
}

TEST(DynDnsBook, AddressesAreWrittenBackToTheSameEntryOnly)
{
    DynDnsBook book;
    book.AddEntry(QStringLiteral("a.test"), DynDnsBook::Unresolved);
    book.AddEntry(QStringLiteral("b.test"), DynDnsBook::Unresolved);
    const std::optional<DynDnsBook::Entry> b = book.EntryAt(1);
    ASSERT_TRUE(b);
    book.RemoveEntry(0);
    book.StoreAddress(b->id, QStringLiteral("10.0.0.2"));
    const std::optional<DynDnsBook::Entry> a = book.EntryAt(0);
    book.RemoveEntry(0);
    book.AddEntry(QStringLiteral("c.test"), DynDnsBook::Unresolved);
    book.StoreAddress(b->id, QStringLiteral("10.0.0.9")); // gone: nothing written
    EXPECT_EQ(book.entries().front().address, u"-"_s);
    EXPECT_EQ(a->address, u"10.0.0.2"_s);
    EXPECT_FALSE(book.EntryAt(1));
}

TEST(DynDnsBook, LoadTable)
{
    const struct
    {
        const char* name;
        QList<QPair<QString, QString>> stored;
        QString refreshText;
        QStringList hosts;
    } cases[] = {
        {"nothing stored", {}, u"10"_s, {}},
        {"empty period", {{u"RefreshTime"_s, QString()}}, u"10"_s, {}},
        {"period as stored",
         {{u"RefreshTime"_s, u"45"_s}, {u"AHost01"_s, u"a.test"_s}},
         u"45"_s,
         {u"a.test"_s}},
        {"no number is kept as text", {{u"RefreshTime"_s, u"soon"_s}}, u"soon"_s, {}},
        {"stops at the first gap",
         {{u"AHost01"_s, u"a.test"_s}, {u"AHost02"_s, u"b.test"_s}, {u"AHost04"_s, u"d"_s}},
         u"10"_s,
         {u"a.test"_s, u"b.test"_s}},
        {"stops at an empty name",
         {{u"AHost01"_s, QString()}, {u"AHost02"_s, u"b.test"_s}},
         u"10"_s,
         {}},
        {"no name at 1", {{u"AHost1"_s, u"a.test"_s}}, u"10"_s, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempFolder folder;
        SettingsStore store(folder.file(QStringLiteral("v.ini")));
        store.WriteValues(Key, c.stored);
        DynDnsBook book;
        book.AddEntry(QStringLiteral("replaced.test"), QStringLiteral("10.0.0.1"));
        EXPECT_EQ(book.Load(store), c.refreshText);
        EXPECT_EQ(Hosts(book), c.hosts);
        for (const DynDnsBook::Entry& entry : book.entries())
            EXPECT_EQ(entry.address, u"-"_s);
    }
}

TEST(DynDnsBook, LoadsPastNinetyNineEntries)
{
    test::TempFolder folder;
    SettingsStore store(folder.file(QStringLiteral("v.ini")));
    QList<QPair<QString, QString>> stored;
    for (int n = 1; n <= 101; ++n)
        stored.append({QStringLiteral("AHost%1").arg(n, 2, 10, QLatin1Char('0')),
                       QStringLiteral("h%1.test").arg(n)});
    store.WriteValues(Key, stored);
    DynDnsBook book;
    book.Load(store);
    ASSERT_EQ(book.size(), 101);
    EXPECT_EQ(book.entries().at(100).host, u"h101.test"_s);
    book.RemoveEntry(0);
    book.Save(store, QStringLiteral("10"));
    EXPECT_EQ(store.ReadString(Key, QStringLiteral("AHost100")), u"h101.test"_s);
    EXPECT_FALSE(store.Contains(Key, QStringLiteral("AHost101")));
}

TEST(DynDnsBook, SaveTable)
{
    const struct
    {
        const char* name;
        QString refreshText;
        QString stored;
    } periods[] = {
        {"a number", u"45"_s, u"45"_s}, {"leading zeros", u"007"_s, u"7"_s},
        {"zero", u"0"_s, u"30"_s},      {"not a number", u"ten"_s, u"30"_s},
        {"empty", QString(), u"30"_s},  {"negative", u"-5"_s, u"30"_s},
    };
    for (const auto& c : periods) {
        SCOPED_TRACE(c.name);
        test::TempFolder folder;
        SettingsStore store(folder.file(QStringLiteral("v.ini")));
        DynDnsBook book;
        book.Save(store, c.refreshText);
        EXPECT_EQ(store.ReadString(Key, QStringLiteral("RefreshTime")), c.stored);
    }
}

TEST(DynDnsBook, ShrunkListRewritesAndDeletesOnlyTheNextValue)
{
    test::TempFolder folder;
    SettingsStore store(folder.file(QStringLiteral("v.ini")));
    DynDnsBook book;
    for (const char* host : {"a.test", "b.test", "c.test", "d.test"})
        book.AddEntry(QLatin1String(host), QStringLiteral("10.0.0.1"));
    book.Save(store, QStringLiteral("10"));
    EXPECT_EQ(store.ReadString(Key, QStringLiteral("AHost04")), u"d.test"_s);
    EXPECT_FALSE(store.Contains(Key, QStringLiteral("Address01")));

    book.RemoveEntry(0);
    book.RemoveEntry(1);
    book.RemoveEntry(1);
    book.EditHost(0, QStringLiteral("only.test"));
    book.Save(store, QStringLiteral("10"));
    EXPECT_EQ(store.ReadString(Key, QStringLiteral("AHost01")), u"only.test"_s);
    EXPECT_FALSE(store.Contains(Key, QStringLiteral("AHost02")));
    EXPECT_EQ(store.ReadString(Key, QStringLiteral("AHost03")), u"c.test"_s);
    EXPECT_EQ(store.ReadString(Key, QStringLiteral("AHost04")), u"d.test"_s);

    DynDnsBook again;
    again.Load(store);
    EXPECT_EQ(Hosts(again), QStringList({u"only.test"_s}));
}

} // namespace
} // namespace vantrel
