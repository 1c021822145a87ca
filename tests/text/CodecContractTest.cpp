// What the system codec gives, the same on every system: bytes a code page
// leaves unassigned become U+FFFD, characters it cannot show '?' (never a
// look-alike), and double-byte characters stay whole.

#include "platform/TSystemServices.h"

#include <gtest/gtest.h>

namespace parlino {
namespace {

TEST(SystemCodec, UnassignedBytesAndUnshowableCharactersGiveTheSameOnEverySystem) {
    const TSystemCodec codec(1252);
    struct TCase {
        uint32_t CodePage;
        std::string Ansi;
        std::u16string Wide;
    };
    const TCase toWide[] = {
        {1252, "\x80\x81", u"\u20AC\uFFFD"}, {1251, "\xC0\x98", u"\u0410\uFFFD"},
        {1253, "\xC1\xAA\xD2", u"\u0391\uFFFD\uFFFD"}, {1255, "\xFB\xE0 ", u"\uFFFD\u05D0 "},
        {1257, "\xA1\xE0", u"\uFFFD\u0105"}, {932, "\x82\xA0" "a", u"\u3042a"},
    };
    for (const TCase& c : toWide)
        EXPECT_EQ(codec.ToWide(c.Ansi, c.CodePage), c.Wide) << c.CodePage;
    const TCase toAnsi[] = {
        {1252, "\x80?", u"\u20AC\u0416"}, {1251, "?\xC0", u"\u00E4\u0410"},
        {1252, "a?b", u"a\U0001F600b"}, {932, "\x82\xA0?", u"\u3042\u0105"},
    };
    for (const TCase& c : toAnsi)
        EXPECT_EQ(codec.ToAnsi(c.Wide, c.CodePage), c.Ansi) << c.CodePage;
}

} // namespace
} // namespace parlino
