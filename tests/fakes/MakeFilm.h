#pragma once
// Film files for the tests, made with FFmpeg's command line: `seconds` of
// silence with the given subtitle files as tracks, in `codecs` (FFmpeg's
// names: srt, ass, webvtt, mov_text), as a file of `path`'s kind.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace parlino::test {

inline void MakeFilm(const std::string& path, int seconds, const std::vector<std::string>& subtitles,
                     const std::vector<std::string>& codecs) {
    std::string command = "ffmpeg -nostdin -y -loglevel error -f lavfi -i anullsrc=r=8000:cl=mono";
    for (const std::string& file : subtitles) command += " -i '" + file + "'";
    command += " -map 0:a";
    for (size_t i = 0; i < subtitles.size(); ++i) command += " -map " + std::to_string(i + 1);
    command += path.ends_with(".mp4") ? " -c:a aac" : " -c:a pcm_s16le";
    for (size_t i = 0; i < codecs.size(); ++i) command += " -c:s:" + std::to_string(i) + " " + codecs[i];
    command += " -t " + std::to_string(seconds) + " '" + path + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

} // namespace parlino::test
