// The one UTF-8 cutter behind every text field that travels or is stored.
#include "core/base/cututf8.h"

#include <QString>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(CutUtf8, KeepsWholeCharactersAndNeverRewritesWhatItKeeps)
{
    const QByteArray e = "\xC3\xA9";             // 2 bytes
    const QByteArray euro = "\xE2\x82\xAC";      // 3 bytes
    const QByteArray smile = "\xF0\x9F\x98\x80"; // 4 bytes
    const QByteArray a = "a";
    const struct
    {
        const char* what;
        QByteArray text;
        int max;
        QByteArray cut;
    } cases[] = {
        {"fits", "abc", 31, "abc"},
        {"empty", "", 31, ""},
        {"nothing allowed", "abc", 0, ""},
        {"negative limit", "abc", -1, ""},
        {"ASCII exact fit", a.repeated(31), 31, a.repeated(31)},
        {"ASCII one over", a.repeated(32), 31, a.repeated(31)},
        // Each width of character, ending exactly at the limit and straddling it.
        {"2 bytes straddle", a.repeated(30) + e, 31, a.repeated(30)},
        {"2 bytes exact fit", a.repeated(29) + e, 31, a.repeated(29) + e},
        {"3 bytes straddle by 1", a.repeated(29) + euro, 31, a.repeated(29)},
        {"3 bytes straddle by 2", a.repeated(30) + euro, 31, a.repeated(30)},
        {"3 bytes exact fit", a.repeated(28) + euro + a, 31, a.repeated(28) + euro},
        {"4 bytes straddle by 1", a.repeated(28) + smile, 31, a.repeated(28)},
        {"4 bytes straddle by 3", a.repeated(30) + smile, 31, a.repeated(30)},
        {"4 bytes exact fit", a.repeated(27) + smile + a, 31, a.repeated(27) + smile},
        {"many 2 bytes", e.repeated(20), 31, e.repeated(15)},
        {"limit smaller than a character", smile, 3, ""},
        // Invalid input: a byte that starts no well-formed character is a character of its
        // own, kept as it is; well-formed characters around it are still never split.
        {"stray continuation bytes", QByteArray(40, '\x80'), 31, QByteArray(31, '\x80')},
        {"stray continuation after text", "a" + QByteArray(5, '\x80'), 3, "a\x80\x80"},
        {"invalid text that fits is unchanged", "ab\xE2\x82", 4, "ab\xE2\x82"},
        {"truncated sequence before a cut", "ab\xE2\x82xyz", 4, "ab\xE2\x82"},
        {"truncated lead at the limit", "ab\xE2\x82", 3, "ab\xE2"},
        {"lead byte 0xFF", "a\xFF" + euro, 4, "a\xFF"},
        {"overlong 2 bytes", "\xC0\xAF" + e, 3, "\xC0\xAF"},
        {"overlong 3 bytes", "\xE0\x80\xAF" + e, 4, "\xE0\x80\xAF"},
        {"surrogate", "\xED\xA0\x80" + e, 4, "\xED\xA0\x80"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80" + e, 5, "\xF4\x90\x80\x80"},
        {"invalid then valid straddling", "\x80" + euro, 3, "\x80"},
        {"embedded NUL is a character", QByteArray("a\0b", 3) + e, 4, QByteArray("a\0b", 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CutUtf8(c.text, c.max).toHex(), c.cut.toHex());
    }
}

TEST(CutUtf8, ValidTextStaysValidAtEveryLimit)
{
    const QString text = QStringLiteral("aé€😀ü漢字 test 🙂");
    const QByteArray utf8 = text.toUtf8();
    for (int max = 0; max <= utf8.size() + 1; ++max) {
        const QByteArray cut = CutUtf8(utf8, max);
        EXPECT_LE(cut.size(), max);
        EXPECT_TRUE(utf8.startsWith(cut));
        // Whole characters only: decoding and encoding again gives the same bytes, and the
        // next character would not have fitted.
        const QString kept = QString::fromUtf8(cut);
        EXPECT_EQ(kept.toUtf8(), cut) << max;
        ASSERT_TRUE(text.startsWith(kept)) << max;
        const QString rest = text.mid(kept.size());
        if (!rest.isEmpty()) {
            const QString next = rest.left(rest.at(0).isHighSurrogate() ? 2 : 1);
            EXPECT_GT(cut.size() + next.toUtf8().size(), max) << max;
        }
    }
}

} // namespace
} // namespace vantrel
