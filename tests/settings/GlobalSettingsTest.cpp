#include "settings/TGlobalSettings.h"
#include "fakes/ReadWholeFile.h"

#include "fakes/TFakePlatform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace parlino {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) { return test::ReadWholeFile(path); }

class GlobalSettings : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(Folders.Program + "/Dic");
        Settings.IniFileName = Ini;
    }
    // Loads `text` as the content of the settings file.
    void LoadText(const std::string& text) {
        std::ofstream(Ini, std::ios::binary) << text;
        Settings.Load();
    }

    test::TFakeFolders Folders;
    test::TFakeMessageBoxes Messages;
    TGlobalSettings Settings{Folders, Messages};
    std::string Ini = Folders.Local + "/Parlino.ini";
};

TEST_F(GlobalSettings, AFreshRecordIsWrittenWithEverySectionAndKeyInOrder) {
    Settings.SetDefaults();
    Settings.Save();
    std::string expected = Read(std::string(PARLINO_TEST_DATA) + "/settings/fresh.ini");
    for (size_t at; (at = expected.find("{ROOT}")) != std::string::npos;)
        expected.replace(at, 6, Folders.Root);
    EXPECT_EQ(Read(Ini), expected);
    EXPECT_TRUE(fs::is_directory(Folders.Data + "/Zavirex"));
}

TEST_F(GlobalSettings, AnEmptyFileReadsTheDefaultsWithEngineIdZero) {
    LoadText("");
    EXPECT_EQ(Settings.Engine_id, 0);
    EXPECT_EQ(Settings.Engine_speed, -1);
    EXPECT_FALSE(Settings.Engine_speed_stored);
    EXPECT_EQ(Settings.Player, "mplayer2.exe");
    EXPECT_TRUE(Settings.MinimizeToTray);
    EXPECT_EQ(Settings.sk_Start, VK_F1 + 4);
    EXPECT_EQ(Settings.sk_Clipboard, VK_F1 + 11);
    EXPECT_EQ(Settings.Dic_folder, Folders.Program + "/Dic/");
    EXPECT_EQ(Settings.Text_folder, Folders.Data + "/Zavirex/");
    EXPECT_EQ(Settings.Temp_folder, "/tmp/");
    EXPECT_TRUE(Messages.Shown.empty());
    LoadText("[Engine]\nEngine_id=7\n");
    EXPECT_EQ(Settings.Engine_id, 7);
}

TEST_F(GlobalSettings, AnEmptyFilesListClearsTheActiveFileWhenSaved) {
    Settings.SetDefaults();
    Settings.ActiveFile = "film.srt";
    Settings.ActiveFileIdx = 2;
    Settings.Save();
    EXPECT_EQ(Settings.ActiveFile, "");
    EXPECT_EQ(Settings.ActiveFileIdx, 0);
    EXPECT_NE(Read(Ini).find("[FilesList]\r\nCount=0\r\nActiveFile=\r\nActiveFileIdx=0\r\n"),
              std::string::npos);
}

TEST_F(GlobalSettings, StoredValuesAreReadByTheDocumentRules) {
    LoadText("[Engine]\nEngine_id=-5\nEngine_speed=-3\nEngine_pitch=abc\nEngine_volume=0x10\n"
             "[Audio file]\nMp3_onthefly=1\n"
             "[Appearance]\nWindow_font_name=Arial\nWindow_font_size=12\nWindow_font_style=3\n"
             "Window_font_charset=204\nHighlight_Color=255\nSaveForm=1\nTop=1\nLeft=2\nHeight=4\n"
             "[Dictionaries]\nDic_count=2\n0=\n1=English.dic\n"
             "[Advanced]\nTextThreadPriority_SoundCard=9\nTextThreadPriority_AudioFile=-2\n"
             "[HotKeys]\nsk_Start=Ctrl+Shift+F9\nsk_Stop=\nsk_Pause=NoSuchKey\n"
             "[FilesList]\nCount=0\nActiveFile=a.srt\nActiveFileIdx=3\n");
    EXPECT_EQ(Settings.Engine_id, 0);
    EXPECT_EQ(Settings.Engine_speed, -3);
    EXPECT_TRUE(Settings.Engine_speed_stored);
    EXPECT_EQ(Settings.Engine_pitch, -1); // not a number: the default, and not stored
    EXPECT_FALSE(Settings.Engine_pitch_stored);
    EXPECT_EQ(Settings.Engine_volume, 16);
    EXPECT_FALSE(Settings.Mp3_onthefly);
    EXPECT_EQ(Settings.WindowFont.Style, fsBold | fsItalic);
    EXPECT_EQ(Settings.HighlightFont.Name, "Arial");
    EXPECT_EQ(Settings.HighlightFont.Size, 12);
    EXPECT_EQ(Settings.HighlightFont.Style, fsBold | fsItalic);
    EXPECT_EQ(Settings.HighlightFont.Charset, 204);
    EXPECT_EQ(Settings.HighlightFont.Color, 255);
    EXPECT_EQ(Settings.WindowFont.Color, clWindowText);
    EXPECT_FALSE(Settings.SaveForm); // Width is missing
    EXPECT_EQ(Settings.Dictionaries, TStringList{"English.dic"});
    EXPECT_EQ(Settings.TextThreadPriority_SoundCard, 6);
    EXPECT_EQ(Settings.TextThreadPriority_AudioFile, -2);
    EXPECT_EQ(Settings.sk_Start, scCtrl | scShift | (VK_F1 + 8));
    EXPECT_EQ(Settings.sk_Stop, 0);
    EXPECT_EQ(Settings.sk_Pause, 0);
    EXPECT_EQ(Settings.ActiveFile, "");
    EXPECT_EQ(Settings.ActiveFileIdx, 0);

    Settings.Save();
    const TIniFile saved = TIniFile::Load(Ini);
    EXPECT_EQ(saved.ReadString("Audio file", "Mp3_onthefly", ""), "0");
    EXPECT_EQ(saved.ReadString("HotKeys", "sk_Start", ""), "Shift+Ctrl+F9");
    EXPECT_EQ(saved.ReadString("Engine", "Engine_pitch", ""), "-1");
    EXPECT_EQ(saved.ReadString("Dictionaries", "Dic_count", ""), "1");
    EXPECT_EQ(saved.ReadString("Dictionaries", "0", ""), "English.dic");
    EXPECT_EQ(saved.ReadString("Dictionaries", "1", ""),
              "English.dic"); // left from the longer list
}

TEST_F(GlobalSettings, ASavedFileLoadsWithTheSameValues) {
    LoadText(Read(std::string(PARLINO_TEST_DATA) + "/settings/values_round_trip.ini"));
    const TGlobalSettings loaded = Settings;
    EXPECT_EQ(loaded.Skin, " padded skin ");
    EXPECT_EQ(loaded.Window_color, clWindow); // "-16777211 [File]" is no number
    Settings.Save();
    Settings.Load();
    EXPECT_EQ(Settings.Skin, loaded.Skin);
    EXPECT_EQ(Settings.LangFile, "\"quoted\"");
    EXPECT_EQ(Settings.Player, loaded.Player);
    EXPECT_EQ(Settings.WindowFont.Size, 12);
    EXPECT_EQ(Settings.Window_color, loaded.Window_color);
}

TEST_F(GlobalSettings, StoredFoldersThatAreGoneAreReplacedWithAMessageEach) {
    LoadText("[Locations]\nTemp_folder=/no/such/temp\nText_folder=" + Folders.Data +
             "\nDic_folder=/no/such/Dic\n");
    EXPECT_EQ(Settings.Temp_folder, "/tmp/");
    EXPECT_EQ(Settings.Text_folder, Folders.Data); // exists, and gets no delimiter
    EXPECT_EQ(Settings.Dic_folder, Folders.Program + "/");
    ASSERT_EQ(Messages.Shown.size(), 2u);
    EXPECT_EQ(Messages.Shown[0].Caption, "Bookvane");
    EXPECT_EQ(Messages.Shown[0].Text,
              "Application` 'TEMP' folder was assigned to\rWindows temporary folder.");
    EXPECT_EQ(Messages.Shown[1].Text,
              "Application` 'Dictionaries' folder was assigned to\rapplication folder.");
    Messages.Shown.clear();
    LoadText("[Locations]\nText_folder=\n");
    ASSERT_EQ(Messages.Shown.size(), 1u);
    EXPECT_EQ(Messages.Shown[0].Text,
              "Application` 'TEXT' folder was assigned to\rWindows temporary folder.");
    EXPECT_EQ(Settings.Text_folder, "/tmp/");
}

TEST_F(GlobalSettings, WhenTheSharedFolderCannotBeMadeTheStoredChoicesAreStillReadAndKept) {
    Folders.Data = Folders.Root + "/no/such/data";
    const std::string stored =
        "[Engine]\nEngine_name=My voice\n[Audio file]\nWaveOutDeviceName=Headset\n"
        "[Dictionaries]\ndefault_dic_name=Mine.dic\n";
    std::ofstream(Ini, std::ios::binary) << stored;
    try {
        Settings.LoadFromFile(Ini);
        FAIL() << "no error";
    } catch (const EParlinoError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create directory\r\n" + Folders.Data + "/Zavirex");
    }
    EXPECT_EQ(Settings.Engine_name, "My voice");
    EXPECT_EQ(Settings.WaveOutDeviceName, "Headset");
    Settings.Load();
    Settings.Save();
    const TIniFile saved = TIniFile::Load(Ini);
    EXPECT_EQ(saved.ReadString("Engine", "Engine_name", ""), "My voice");
    EXPECT_EQ(saved.ReadString("Audio file", "WaveOutDeviceName", ""), "Headset");
    EXPECT_EQ(saved.ReadString("Dictionaries", "default_dic_name", ""), "Mine.dic");
}

TEST_F(GlobalSettings, AFileThatCannotBeReadIsNeverOverwritten) {
    fs::create_directory(Ini); // exists, but is no file
    Settings.Load();
    EXPECT_EQ(Settings.Engine_name, "");
    Settings.Save();
    EXPECT_TRUE(fs::is_directory(Ini));
    // Even when it can be read by the time of saving, the defaults loaded
    // instead of its content are not written over it.
    fs::remove(Ini);
    std::ofstream(Ini, std::ios::binary) << "[Engine]\nEngine_name=Stored voice\n";
    Settings.Save();
    EXPECT_EQ(Read(Ini), "[Engine]\nEngine_name=Stored voice\n");
    // A read-only file is read but not replaced.
    LoadText("[Engine]\nEngine_name=Locked voice\n");
    fs::permissions(Ini, fs::perms::owner_read);
    Settings.Engine_name = "Other";
    Settings.Save();
    EXPECT_EQ(Read(Ini), "[Engine]\nEngine_name=Locked voice\n");
}

TEST(ForceDirectory, MakesOneLevelAndReportsAFailure) {
    test::TFakeFolders folders;
    TGlobalSettings::ForceDirectory(folders.Root + "/one/");
    EXPECT_TRUE(fs::is_directory(folders.Root + "/one"));
    TGlobalSettings::ForceDirectory(folders.Root + "/one"); // already there
    EXPECT_THROW(TGlobalSettings::ForceDirectory(folders.Root + "/two/three/"), EParlinoError);
}

} // namespace
} // namespace parlino
