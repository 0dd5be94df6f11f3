#include "receive/bufferedoutput.h"

#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cstring>

namespace vantrel {
namespace {

// Whatever the path held before, the file ends up holding exactly what was written.
TEST(BufferedOutput, CreateLeavesOnlyWhatIsWritten)
{
    const struct
    {
        const char* what;
        const char* before; // nullptr: no file there
    } cases[] = {
        {"a new file", nullptr},
        {"an empty file made beforehand (the temporary archive)", ""},
        {"a longer file, cut off", "an older and much longer content than the new one"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempFolder folder;
        const QString path = folder.file(QStringLiteral("out.bin"));
        if (c.before)
            folder.write(QStringLiteral("out.bin"), c.before);
        BufferedOutput output;
        ASSERT_TRUE(output.Create(path)) << output.errorText().toStdString();
        const char text[] = "new";
        std::memcpy(output.Free(), text, 3);
        ASSERT_TRUE(output.Commit(3));
        ASSERT_TRUE(output.Flush());
        EXPECT_EQ(output.onDisk(), 3u);
        ASSERT_TRUE(output.Close());
        QFile written(path);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(written.readAll(), QByteArrayLiteral("new"));
    }
}

TEST(BufferedOutput, CreateInAMissingFolderFailsWithAText)
{
    test::TempFolder folder;
    BufferedOutput output;
    EXPECT_FALSE(output.Create(folder.file(QStringLiteral("missing/out.bin"))));
    EXPECT_FALSE(output.errorText().isEmpty());
    EXPECT_FALSE(output.IsOpen());
}

} // namespace
} // namespace vantrel
