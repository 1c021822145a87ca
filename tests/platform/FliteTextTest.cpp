// The text Flite gets: typographic marks by their ASCII readings, other
// characters outside ASCII as blanks, and word positions back in the bytes of
// the text given.

#include "platform/linux/TFliteText.h"
#include "platform/linux/TIconvCodec.h"

#include <gtest/gtest.h>

#include <string_view>

using namespace parlino;

TEST(FliteText, TypographicMarksHaveAsciiReadings) {
    for (char16_t ch : std::u16string_view(u"\u2018\u2019\u201A\u201B")) EXPECT_EQ(FliteAsciiReading(ch), "'") << int(ch);
    for (char16_t ch : std::u16string_view(u"\u201C\u201D\u201E\u00AB\u00BB")) EXPECT_EQ(FliteAsciiReading(ch), "\"") << int(ch);
    for (char16_t ch : std::u16string_view(u"\u2010\u2011\u2013\u2014\u2212")) EXPECT_EQ(FliteAsciiReading(ch), "-") << int(ch);
    EXPECT_EQ(FliteAsciiReading(u'\u2026'), "...");
    EXPECT_EQ(FliteAsciiReading(u'\u00A0'), " ");
    for (char16_t ch : std::u16string_view(u"\u00E9\u0416\u20AC\uFFFD")) EXPECT_EQ(FliteAsciiReading(ch), "") << int(ch);
}

TEST(FliteText, SingleByteCodePagesMapTheirMarksAndBlankTheRest) {
    const TFliteTextReader windows1252(nullptr);
    TFliteText text = windows1252.Read("I\x92m \x93" "caf\xE9\x94 \x96 \x97 \x84x\x91 a\tb\x01");
    EXPECT_EQ(text.Text, "I'm \"caf \" - - \"x' a b ");
    EXPECT_TRUE(text.Changes.empty());
    for (uint32_t k = 0; k < text.Text.size(); ++k) EXPECT_EQ(text.SourceOffset(k), k);
    // Windows-1251 keeps the marks where 1252 has them; its letters are blanks.
    const TIconvCodec russian(1251);
    EXPECT_EQ(TFliteTextReader(&russian).Read("\xC4\xE0\x92 ok\x85").Text, "  ' ok...");
}

TEST(FliteText, AReadingLongerOrShorterThanItsBytesMapsPositionsBack) {
    const TFliteTextReader windows1252(nullptr);
    // "Wait… what… now": each ellipsis one byte, three in the text.
    const TFliteText text = windows1252.Read("Wait\x85 what\x85 now");
    EXPECT_EQ(text.Text, "Wait... what... now");
    ASSERT_EQ(text.Changes.size(), 2u);
    EXPECT_EQ(text.SourceOffset(0), 0u);  // "Wait"
    EXPECT_EQ(text.SourceOffset(4), 4u);  // the first dot: the ellipsis
    EXPECT_EQ(text.SourceOffset(6), 4u);  // its last dot
    EXPECT_EQ(text.SourceOffset(8), 6u);  // "what"
    EXPECT_EQ(text.SourceOffset(16), 12u); // "now"
    // Shift-JIS: the apostrophe is two bytes, its reading one.
    const TIconvCodec japanese(932);
    const TFliteText shiftJis = TFliteTextReader(&japanese).Read("I\x81\x66m \x93\xFA\xB1 x");
    EXPECT_EQ(shiftJis.Text, "I'm     x"); // a kanji is two blanks, a half-width kana one
    EXPECT_EQ(shiftJis.SourceOffset(2), 3u);
    EXPECT_EQ(shiftJis.SourceOffset(8), 9u);
}
