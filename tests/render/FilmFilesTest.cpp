// parlino-render on film files that the test makes with FFmpeg's command
// line: their text tracks list as the subtitle files they were made from.

#include "fakes/MakeFilm.h"
#include "render/RenderTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace parlino;
using namespace parlino::test;

namespace {

const std::string SubtitlesData = std::string(PARLINO_TEST_DATA) + "/subtitles/";
const std::string AssData = std::string(PARLINO_TEST_DATA) + "/ass/";

std::string TempFilm(const std::string& name, int seconds, const std::vector<std::string>& subtitles,
                     const std::vector<std::string>& codecs) {
    const std::string path = TempPath(name);
    test::MakeFilm(path, seconds, subtitles, codecs);
    return path;
}

std::string List(const std::vector<std::string>& args) {
    std::vector<std::string> all{"--list"};
    all.insert(all.end(), args.begin(), args.end());
    const TRunResult r = RunRender(all);
    EXPECT_EQ(r.Status, 0) << r.Err;
    return r.Out;
}

} // namespace

TEST(FilmFiles, TextTracksListAsTheFilesTheyWereMadeFromAndTheOtherTracksAreNamed) {
    const std::string srt = SubtitlesData + "basic_lf.srt", ass = AssData + "own_two_speakers.ass";
    const std::string mkv = TempFilm("two-tracks.mkv", 70, {srt, ass}, {"srt", "ass"});
    EXPECT_EQ(List({mkv}), List({srt}));
    EXPECT_EQ(List({"--track", "2", mkv}), List({ass}));
    const std::string mp4 = TempFilm("mov-text.mp4", 70, {srt}, {"mov_text"});
    EXPECT_EQ(List({mp4}), List({srt}));

    TRunResult r = RunRender({"--list", "--track", "3", mkv});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "parlino-render: \"" + mkv + "\" has no text subtitle track 3; it has 2.\n");
    r = RunRender({"--list", TempFilm("silent.mkv", 2, {}, {})});
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("has no subtitle track."), std::string::npos) << r.Err;
    r = RunRender({"--list", TempPath("no-such-film.mkv")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("Cannot open file"), std::string::npos) << r.Err;
}

TEST(FilmFiles, AFilmCutShortGivesTheSubtitlesBeforeTheCut) {
    std::vector<std::pair<int, std::string>> lines;
    for (int i = 0; i < 10; ++i) lines.push_back({i * 10000 + 1000, "Line " + std::to_string(i + 1) + "."});
    const std::string srt = WriteSrt("ten.srt", lines);
    const std::string mkv = TempFilm("ten.mkv", 100, {srt}, {"srt"});
    const std::string whole = List({mkv});
    const std::string cut = TempPath("ten-cut.mkv");
    std::filesystem::copy_file(mkv, cut, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::resize_file(cut, std::filesystem::file_size(mkv) / 2);
    const std::string half = List({cut});
    // The header, the leading entry and some of the lines, as they begin the whole list.
    EXPECT_TRUE(whole.starts_with(half)) << half;
    EXPECT_NE(half.find("\tLine 3.\n"), std::string::npos) << half;
    EXPECT_EQ(half.find("\tLine 10.\n"), std::string::npos) << half;
}
