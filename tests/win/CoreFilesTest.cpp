// The core's files on Windows: read in binary mode, where text mode would
// end a file at byte 0x1A, and saved over an existing file, which a plain
// rename cannot replace there.

#include "fakes/TFakePlatform.h"
#include "settings/IniFile.h"
#include "settings/TGlobalSettings.h"
#include "subtitles/SubtitleReaders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace parlino {
namespace {

TEST(WindowsSettings, SavedTwiceAndReadBack) {
    test::TFakePlatform platform;
    const std::string file = platform.Folders.Local + "\\Parlino.ini";
    for (int32_t width : {640, 800}) {
        TGlobalSettings settings(platform.Folders, platform.Messages);
        settings.Width = width;
        settings.SaveToFile(file);
    }
    TGlobalSettings read(platform.Folders, platform.Messages);
    read.LoadFromFile(file);
    EXPECT_EQ(read.Width, 800);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(platform.Folders.Local), {}), 1)
        << "no temporary file is left beside the settings";
}

TEST(WindowsFiles, AByte1AInASubtitleFileIsReadLikeAnyOther) {
    test::TFakePlatform platform;
    const std::string file = platform.Folders.Local + "\\ctrl-z.srt";
    std::ofstream(file, std::ios::binary) << "1\r\n00:00:01,000 --> 00:00:02,000\r\nA\x1A B\r\n\r\n"
                                             "2\r\n00:00:03,000 --> 00:00:04,000\r\nC\r\n\r\n";
    TslItems items;
    ReadSubtitleFile(file, items, platform.Codec);
    ASSERT_EQ(items.size(), 3u); // the leading entry and both subtitles
    EXPECT_EQ(items[2].DisplayText, "C");
}

} // namespace
} // namespace parlino
