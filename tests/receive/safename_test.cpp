#include "receive/safename.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QList>
#include <QString>

namespace vantrel {
namespace {

struct NameCase
{
    QByteArray offered;
    bool directory;
    QString safe;
};

TEST(SafeBaseName, KeepsOnlyASafeLastComponent)
{
    const QList<NameCase> cases = {
        {"report.pdf", false, QStringLiteral("report.pdf")},
        {"../../x", false, QStringLiteral("x")},
        {"/etc/passwd", false, QStringLiteral("passwd")},
        {"a\\..\\b", false, QStringLiteral("b")},
        {"C:\\Windows\\evil.dll", false, QStringLiteral("evil.dll")},
        {"", false, QStringLiteral("received-file")},
        {".", false, QStringLiteral("received-file")},
        {"..", false, QStringLiteral("received-file")},
        {"dir/..", false, QStringLiteral("received-file")},
        {"trailing/", true, QStringLiteral("received-directory")},
        {"..\x01", false, QStringLiteral("received-file")},
        {"  ", false, QStringLiteral("received-file")},
        {"bell\x07\x1b[31m.txt", false, QStringLiteral("bell[31m.txt")},
        {"doc\xe2\x80\xaetxt.exe", false, QStringLiteral("doctxt.exe")}, // right-to-left override
        {"caf\xc3\xa9.txt", false, QStringLiteral("caf\u00e9.txt")},
        {"...", false, QStringLiteral("...")},
        {".hidden", false, QStringLiteral(".hidden")},
    };
    for (const NameCase& c : cases)
        EXPECT_EQ(safename::SafeBaseName(c.offered, c.directory), c.safe)
            << "offered: " << c.offered.toStdString();
}

TEST(SafeBaseName, StaysWithinAFileNameLength)
{
    // Each invalid byte becomes a three-byte replacement character.
    const QString safe = safename::SafeBaseName(QByteArray(255, '\xff'));
    EXPECT_LE(safe.toUtf8().size(), 255);
    EXPECT_FALSE(safe.isEmpty());
}

} // namespace
} // namespace vantrel
