// The nickname fallback shared by the settings and the engines.
#include "core/base/nickname.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(NickName, AnEmptyOrMissingNicknameTravelsAsAnonymous)
{
    const struct
    {
        const char* what;
        std::function<QByteArray()> source;
        QByteArray travels;
    } cases[] = {
        {"no source", {}, "Anonymous"},
        {"empty", [] { return QByteArray(); }, "Anonymous"},
        {"set", [] { return QByteArrayLiteral("Bob"); }, "Bob"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(OwnNickName(c.source), c.travels);
    }
    EXPECT_EQ(EffectiveNickName(QString()), QStringLiteral("Anonymous"));
    EXPECT_EQ(EffectiveNickName(QStringLiteral("Ann")), QStringLiteral("Ann"));
}

} // namespace
} // namespace vantrel
