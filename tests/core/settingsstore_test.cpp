#include "core/base/settingsstore.h"

#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QFile>

namespace vantrel {
namespace {

QString FileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(SettingsStore, MainKeyIsGeneralSectionAndSubkeysAreSections)
{
    test::TempFolder temp;
    const QString ini = temp.file(QStringLiteral("Vantrel.ini"));
    {
        SettingsStore store(ini);
        store.Write(SettingsStore::MainKey, QStringLiteral("NickName"), QStringLiteral("Bob"));
        store.Write(SettingsStore::RecentHostsKey, QStringLiteral("00Entry"),
                    QStringLiteral("pc1 (Bob)"));
        store.Write(SettingsStore::PolicyKey, QStringLiteral("TunPolicy"), QStringLiteral("3"));
    }
    // Written at once: the text is there before any other object reads it.
    const QString text = FileText(ini);
    EXPECT_TRUE(text.contains(QLatin1String("[General]\nNickName=Bob"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("[MRUHosts]\n00Entry=pc1 (Bob)")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("[TunnelPolicies]\nTunPolicy=3")))
        << text.toStdString();

    SettingsStore again(ini);
    EXPECT_EQ(again.Read(SettingsStore::MainKey, QStringLiteral("NickName")),
              QStringLiteral("Bob"));
    EXPECT_EQ(again.ReadString(SettingsStore::RecentHostsKey, QStringLiteral("00Entry")),
              QStringLiteral("pc1 (Bob)"));
    // A value of one key is not visible under another.
    EXPECT_FALSE(again.Contains(SettingsStore::MainKey, QStringLiteral("00Entry")));
}

TEST(SettingsStore, AwkwardTextsRoundTripAsOneString)
{
    test::TempFolder temp;
    const QString ini = temp.file(QStringLiteral("Vantrel.ini"));
    const QStringList texts = {
        QStringLiteral("pc1:9000 (Bob, the \"builder\")"),
        QStringLiteral("a, b, c"),
        QStringLiteral("@ByteArray(not really)"),
        QStringLiteral("semi;colon #hash =equals"),
        QStringLiteral("  blanks around  "),
        QStringLiteral("back\\slash/and/slash"),
        QStringLiteral("Ünïcödé ☃"),
        QStringLiteral("true"),
        QStringLiteral("12"),
    };
    {
        SettingsStore store(ini);
        for (int i = 0; i < texts.size(); ++i)
            store.Write(SettingsStore::DynDnsKey, QStringLiteral("V%1").arg(i), texts[i]);
    }
    SettingsStore store(ini);
    for (int i = 0; i < texts.size(); ++i)
        EXPECT_EQ(store.ReadString(SettingsStore::DynDnsKey, QStringLiteral("V%1").arg(i)),
                  texts[i]);
}

TEST(SettingsStore, HandWrittenValuesReadAsStrings)
{
    test::TempFolder temp;
    temp.write(QStringLiteral("Vantrel.ini"), "[General]\n"
                                              "Plain=hello\n"
                                              "List=a, b\n"
                                              "Quoted=\"x, y\"\n"
                                              "Empty=\n"
                                              "Bytes=@ByteArray(raw)\n");
    SettingsStore store(temp.file(QStringLiteral("Vantrel.ini")));
    const QString& key = SettingsStore::MainKey;
    EXPECT_EQ(store.Read(key, QStringLiteral("Plain")), QStringLiteral("hello"));
    EXPECT_EQ(store.Read(key, QStringLiteral("List")), QStringLiteral("a, b"));
    EXPECT_EQ(store.Read(key, QStringLiteral("Quoted")), QStringLiteral("x, y"));
    EXPECT_EQ(store.Read(key, QStringLiteral("Empty")), QString());
    EXPECT_EQ(store.Read(key, QStringLiteral("Bytes")), QStringLiteral("raw"));
    EXPECT_EQ(store.Read(key, QStringLiteral("Missing")), std::nullopt);
    EXPECT_EQ(store.ReadString(key, QStringLiteral("Missing")), QString());
}

TEST(SettingsStore, DeleteRemovesOnlyThatValue)
{
    test::TempFolder temp;
    SettingsStore store(temp.file(QStringLiteral("Vantrel.ini")));
    const QString& key = SettingsStore::PolicyKey;
    store.Write(key, QStringLiteral("AHost01"), QStringLiteral("a"));
    store.Write(key, QStringLiteral("AHost02"), QStringLiteral("b"));
    store.Delete(key, QStringLiteral("AHost01"));
    store.Delete(key, QStringLiteral("AHost07")); // missing: nothing happens
    EXPECT_FALSE(store.Contains(key, QStringLiteral("AHost01")));
    EXPECT_TRUE(store.Contains(key, QStringLiteral("AHost02")));

    SettingsStore reread(store.fileName());
    EXPECT_FALSE(reread.Contains(key, QStringLiteral("AHost01")));
    EXPECT_EQ(reread.ReadString(key, QStringLiteral("AHost02")), QStringLiteral("b"));
}

TEST(SettingsStore, BatchedWritesAndDeletesReachTheFile)
{
    test::TempFolder temp;
    SettingsStore store(temp.file(QStringLiteral("Vantrel.ini")));
    const QString& key = SettingsStore::RecentHostsKey;
    store.WriteValues(key, {{QStringLiteral("00Entry"), QStringLiteral("a (A)")},
                            {QStringLiteral("01Entry"), QStringLiteral("b (B)")},
                            {QStringLiteral("02Entry"), QStringLiteral("c (C)")}});
    SettingsStore reread(store.fileName());
    EXPECT_EQ(reread.ReadString(key, QStringLiteral("01Entry")), QStringLiteral("b (B)"));

    store.DeleteValues(
        key, {QStringLiteral("00Entry"), QStringLiteral("02Entry"), QStringLiteral("09Entry")});
    SettingsStore after(store.fileName());
    EXPECT_FALSE(after.Contains(key, QStringLiteral("00Entry")));
    EXPECT_TRUE(after.Contains(key, QStringLiteral("01Entry")));
    EXPECT_FALSE(after.Contains(key, QStringLiteral("02Entry")));
}

TEST(SettingsStore, GarbledFileNeitherCrashesNorBlocksWrites)
{
    test::TempFolder temp;
    QByteArray junk("[General\n=\n==x\n[\x01\xff\xfe]\nNickName\n\\\\\n[MRUHosts]\n00Entry=\"open");
    for (int i = 0; i < 256; ++i)
        junk.append(static_cast<char>(i));
    temp.write(QStringLiteral("Vantrel.ini"), junk);

    SettingsStore store(temp.file(QStringLiteral("Vantrel.ini")));
    (void)store.Read(SettingsStore::MainKey, QStringLiteral("NickName"));
    (void)store.Read(SettingsStore::RecentHostsKey, QStringLiteral("00Entry"));
    store.Write(SettingsStore::MainKey, QStringLiteral("ServerPort"), QStringLiteral("9000"));
    EXPECT_EQ(store.ReadString(SettingsStore::MainKey, QStringLiteral("ServerPort")),
              QStringLiteral("9000"));
}

} // namespace
} // namespace vantrel
