#include "receive/temparchive.h"

#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QFile>

namespace vantrel {
namespace {

TEST(TempArchive, NeverReusesAnExistingName)
{
    test::TempFolder folder;
    const QString temp = folder.file(QStringLiteral("Temp"));
    const QString first = CreateTempArchive(temp, QStringLiteral("ZIV"));
    EXPECT_EQ(first, temp + QStringLiteral("/ZIV1.zip"));
    folder.write(QStringLiteral("Temp/ZIV2.zip"), "left by an earlier run");
    EXPECT_EQ(CreateTempArchive(temp, QStringLiteral("ZIV")), temp + QStringLiteral("/ZIV3.zip"));
    QFile kept(folder.file(QStringLiteral("Temp/ZIV2.zip")));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArrayLiteral("left by an earlier run"));
}

} // namespace
} // namespace vantrel
