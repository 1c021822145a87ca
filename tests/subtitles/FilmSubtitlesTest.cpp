// A film's text tracks read by the reader of their layout, and what a film
// without any says.

#include "fakes/TFakeFilmReader.h"
#include "platform/TSystemServices.h"
#include "subtitles/FilmSubtitles.h"

#include <gtest/gtest.h>

using namespace parlino;
using namespace parlino::test;

TEST(FilmSubtitles, EachLayoutIsReadByItsReaderAndAFilmWithoutTextTracksSaysWhatItHas) {
    const TSystemCodec codec(1252);
    TFakeFilmReader film;
    film.Film.Text = {{1, "subrip", "eng", ""}, {2, "ass", "", "Signs"}, {3, "webvtt", "", ""}};
    film.Texts[1] = {TFilmTextLayout::SubRip, "1\n00:00:01,000 --> 00:00:02,000\n<i>Caf\xC3\xA9</i> first\n\n"};
    film.Texts[2] = {TFilmTextLayout::Ass, "[Events]\nFormat: Layer, Start, End, Style, Text\n"
                                           "Dialogue: 0,0:00:03.00,0:00:04.00,Default,{\\an8}Sign\\Nhere\n"};
    film.Texts[3] = {TFilmTextLayout::WebVtt, "WEBVTT\n\n00:05.000 --> 00:06.000\n<v Anna>Hi &amp; bye\n\n"};
    struct TCase {
        int Track;
        int32_t StartMs;
        std::string Speech;
    };
    for (const TCase& c : {TCase{1, 1000, "<i>Caf\xE9</i> first"}, TCase{2, 3000, "Sign here"}, TCase{3, 5000, "Hi & bye"}}) {
        TslItems items;
        ReadFilmSubtitles(film, "film.mkv", c.Track, items, codec);
        ASSERT_EQ(items.size(), 2u) << c.Track;
        EXPECT_EQ(items[1].StartMs, c.StartMs);
        EXPECT_EQ(items[1].SpeechText, c.Speech);
    }
    EXPECT_EQ(FilmTrackName(2, film.Film.Text[1]), "2: (Signs) [ass]");

    auto message = [&](int track) {
        try {
            TslItems items;
            ReadFilmSubtitles(film, "film.mkv", track, items, codec);
        } catch (const EParlinoError& e) {
            return std::string(e.what());
        }
        return std::string("read");
    };
    EXPECT_EQ(message(4), "\"film.mkv\" has no text subtitle track 4; it has 3.");
    film.Texts[1].Utf8 = "";
    EXPECT_EQ(message(1), "Text subtitle track 1 of \"film.mkv\" holds no subtitles.");
    film.Film.Text.clear();
    film.Film.Pictures = {"hdmv_pgs_subtitle", "hdmv_pgs_subtitle", "dvd_subtitle"};
    EXPECT_EQ(message(1), "\"film.mkv\" has only picture subtitles (hdmv_pgs_subtitle, dvd_subtitle), which "
                          "cannot be read aloud.");
    film.Film.Pictures.clear();
    EXPECT_EQ(message(1), "\"film.mkv\" has no subtitle track.");
    EXPECT_TRUE(IsFilmFileName("/films/A.Film.MKV"));
    EXPECT_FALSE(IsFilmFileName("/films/a.srt"));
}
