// Saving the settings where a file of that name exists already: a plain
// rename cannot replace a file on Windows, so only a replacing save keeps
// every save after the first.

#include "fakes/TFakePlatform.h"
#include "settings/IniFile.h"
#include "settings/TGlobalSettings.h"

#include <gtest/gtest.h>

#include <filesystem>

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

} // namespace
} // namespace parlino
