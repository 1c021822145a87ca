#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace parlino;

TEST(CommandLine, NoArgumentOpensNothingAndOneArgumentIsTheFileMadeAbsolute) {
    const TCommandLine none = ParseCommandLine({});
    EXPECT_FALSE(none.FileName);
    EXPECT_TRUE(none.Error.empty());

    const TCommandLine absolute = ParseCommandLine({"/films/a film.srt"});
    EXPECT_EQ(absolute.FileName, "/films/a film.srt");
    EXPECT_TRUE(absolute.Error.empty());

    // A relative name is taken from the folder the program was started in.
    const TCommandLine relative = ParseCommandLine({"./-film.srt"});
    ASSERT_TRUE(relative.FileName);
    EXPECT_EQ(*relative.FileName, (std::filesystem::current_path() / "./-film.srt").string());
}

TEST(CommandLine, OptionsSeveralFilesAndAnEmptyNameAreRefusedWithAMessage) {
    for (const char* option : {"--help", "-h", "-", "--", "-style=fusion"}) {
        const TCommandLine line = ParseCommandLine({option});
        EXPECT_FALSE(line.FileName) << option;
        EXPECT_NE(line.Error.find("unknown option '" + std::string(option) + "'"), std::string::npos) << line.Error;
        EXPECT_NE(line.Error.find("./" + std::string(option)), std::string::npos) << line.Error;
    }
    const TCommandLine two = ParseCommandLine({"a.srt", "b.srt"});
    EXPECT_FALSE(two.FileName);
    EXPECT_EQ(two.Error, "parlino: give one subtitle file at most, not 2 arguments");

    const TCommandLine empty = ParseCommandLine({""});
    EXPECT_FALSE(empty.FileName);
    EXPECT_EQ(empty.Error, "parlino: the subtitle file name is empty");
}
