// parlino-render on film files that the test makes with FFmpeg's command
// line: their text tracks list as the subtitle files they were made from.

#include "render/RenderTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace parlino;
using namespace parlino::test;

namespace {

const std::string SubtitlesData = std::string(PARLINO_TEST_DATA) + "/subtitles/";
const std::string AssData = std::string(PARLINO_TEST_DATA) + "/ass/";

// A film of `seconds` of silence with the given subtitle files as tracks, in
// `codecs` (FFmpeg's names), as a file of `name`'s kind.
std::string MakeFilm(const std::string& name, int seconds, const std::vector<std::string>& subtitles,
                     const std::vector<std::string>& codecs) {
    const std::string path = TempPath(name);
    std::string command = "ffmpeg -nostdin -y -loglevel error -f lavfi -i anullsrc=r=8000:cl=mono";
    for (const std::string& file : subtitles) command += " -i '" + file + "'";
    command += " -map 0:a";
    for (size_t i = 0; i < subtitles.size(); ++i) command += " -map " + std::to_string(i + 1);
    command += name.ends_with(".mp4") ? " -c:a aac" : " -c:a pcm_s16le";
    for (size_t i = 0; i < codecs.size(); ++i) command += " -c:s:" + std::to_string(i) + " " + codecs[i];
    command += " -t " + std::to_string(seconds) + " '" + path + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
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
    const std::string mkv = MakeFilm("two-tracks.mkv", 70, {srt, ass}, {"srt", "ass"});
    EXPECT_EQ(List({mkv}), List({srt}));
    EXPECT_EQ(List({"--track", "2", mkv}), List({ass}));
    const std::string mp4 = MakeFilm("mov-text.mp4", 70, {srt}, {"mov_text"});
    EXPECT_EQ(List({mp4}), List({srt}));

    TRunResult r = RunRender({"--list", "--track", "3", mkv});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "parlino-render: \"" + mkv + "\" has no text subtitle track 3; it has 2.\n");
    r = RunRender({"--list", MakeFilm("silent.mkv", 2, {}, {})});
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
    const std::string mkv = MakeFilm("ten.mkv", 100, {srt}, {"srt"});
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
