// The user's choices in the main window survive a restart through
// Parlino.ini: the tests drive the controls, close the window and open a new
// one on the same settings folder.

#include "ui/TWindowWithFakes.h"
#include "fakes/ReadWholeFile.h"
#include "fakes/TFakePlatform.h"
#include "fakes/TFakePlayers.h"
#include "fakes/TFakeSpeechVoice.h"
#include "fakes/TFakeWaveOut.h"
#include "fakes/TQueuePoster.h"
#include "settings/IniFile.h"
#include "ui/QtTestApp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace parlino;
namespace fs = std::filesystem;

namespace {

class SettingsWindow : public test::TWindowWithFakes {
protected:
    void SetUp() override {
        TWindowWithFakes::SetUp();
        fs::create_directories(Fake.Folders.Program + "/Dic");
        for (const char* name : {"First.dic", "Second.dic"})
            std::ofstream(Fake.Folders.Program + "/Dic/" + name);
    }
    void Close() { Window.reset(); }
    std::string IniPath() const { return Fake.Folders.Local + "/Parlino/Parlino.ini"; }
    void WriteIni(const std::string& text) {
        fs::create_directories(Fake.Folders.Local + "/Parlino");
        std::ofstream(IniPath(), std::ios::binary) << text;
    }
    std::string ReadIni() const { return test::ReadWholeFile(IniPath()); }
    // A choice in a drop-down list, as the user makes it.
    static void Choose(QComboBox* box, int index) {
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
};

TEST_F(SettingsWindow, EveryChoiceIsBackAfterARestart) {
    TfmParlinoA& first = Start();
    EXPECT_EQ(first.cbDevice->currentText(), "(default)");
    EXPECT_EQ(first.Speech->VoiceName(), "Voice 1");
    Choose(first.frEngSett1->lbEngines, 2);
    first.frEngSett1->sb1->SetPosition(-4); // below 0, as the voices' ranges allow
    first.frEngSett1->sb2->SetPosition(-37);
    first.frEngSett1->sb3->SetPosition(0);
    Choose(first.cbDevice, 2);
    first.chkDict->click();
    Choose(first.cbDic, 1);
    first.eSpeechShift->setValue(-12);
    first.cbPlayerType->setCurrentIndex(1);
    first.chkFitSpeech->click();
    first.eFitPercent->setValue(230);
    Close();

    TfmParlinoA& second = Start();
    EXPECT_EQ(second.Speech->VoiceName(), "Voice 3");
    EXPECT_EQ(second.frEngSett1->lbEngines->currentText(), "Voice 3");
    EXPECT_EQ(second.frEngSett1->sb1->Position(), -4);
    EXPECT_EQ(second.frEngSett1->sb2->Position(), -37);
    EXPECT_EQ(second.frEngSett1->sb3->Position(), 0);
    EXPECT_EQ(Voice->RateValue, -4); // the voice itself got the values, not only the sliders
    EXPECT_EQ(Voice->VolumeValue, 0);
    EXPECT_EQ(second.cbDevice->currentText(), "Headset");
    EXPECT_TRUE(second.chkDict->isChecked());
    EXPECT_EQ(second.cbDic->currentText(), "Second.dic");
    EXPECT_EQ(second.eSpeechShift->value(), -12);
    EXPECT_EQ(second.Controller->TimeShift, -12000);
    EXPECT_EQ(second.cbPlayerType->currentText(), "mpv");
    EXPECT_TRUE(second.chkFitSpeech->isChecked());
    EXPECT_EQ(second.eFitPercent->value(), 230);
    EXPECT_TRUE(Errors.empty());
    EXPECT_TRUE(Fake.Messages.Shown.empty());
    EXPECT_FALSE(second.SettingsLock);
    const std::string player = second.cbPlayerType->currentText().toStdString();
    Close();
    EXPECT_NE(ReadIni().find("Player_type=" + player + "\r\n"), std::string::npos);
    EXPECT_NE(ReadIni().find("Fit_speech_max_percent=230\r\n"), std::string::npos);
}

TEST_F(SettingsWindow, AFitCeilingOutOfRangeInAHandEditedFileGivesTheDefault) {
    WriteIni("[Misc]\r\nFit_speech=1\r\nFit_speech_max_percent=999\r\n");
    TfmParlinoA& window = Start();
    EXPECT_TRUE(window.chkFitSpeech->isChecked());
    EXPECT_EQ(window.eFitPercent->value(), 150);
    Close();
    WriteIni("[Misc]\r\nFit_speech=1\r\nFit_speech_max_percent=100\r\n");
    EXPECT_EQ(Start().eFitPercent->value(), 100);
}

TEST_F(SettingsWindow, StoredValuesOutsideTheVoicesRangeOrMissingLeaveTheVoicesOwn) {
    WriteIni("[Engine]\nEngine_name=voice "
             "2\nEngine_speed=99\nEngine_volume=-1\n[Misc]\nPlayer_type=No such player\n");
    TfmParlinoA& w = Start();
    EXPECT_EQ(w.Speech->VoiceName(), "Voice 2"); // voice names match without regard to case
    EXPECT_EQ(w.frEngSett1->sb1->Position(), 0);
    EXPECT_EQ(w.frEngSett1->sb2->Position(), 0);
    EXPECT_EQ(w.frEngSett1->sb3->Position(), 100);
    EXPECT_EQ(w.cbPlayerType->currentIndex(), 0);
}

TEST_F(SettingsWindow, AMissingSoundCardOrDictionaryKeepsItsPlaceInTheFile) {
    WriteIni("; my settings\n[Audio file]\nWaveOutDeviceName=USB headset\n[Dictionaries]\n"
             "default_dic_name=Gone.dic\n[Misc]\nf1=1\n");
    TfmParlinoA& first = Start();
    EXPECT_EQ(first.cbDevice->currentIndex(), 0);
    EXPECT_EQ(first.cbDic->currentIndex(), 0);
    EXPECT_TRUE(first.chkDict->isChecked());
    EXPECT_TRUE(Errors.empty());
    Close();
    std::string saved = ReadIni();
    EXPECT_EQ(saved.find("; my settings\r\n"), 0u);
    EXPECT_NE(saved.find("WaveOutDeviceName=USB headset\r\n"), std::string::npos);
    EXPECT_NE(saved.find("default_dic_name=Gone.dic\r\n"), std::string::npos);

    // Choosing another item in this run replaces it, even the item shown instead.
    TfmParlinoA& second = Start();
    Choose(second.cbDevice, 0);
    Choose(second.cbDic, 1);
    Close();
    saved = ReadIni();
    EXPECT_NE(saved.find("WaveOutDeviceName=(default)\r\n"), std::string::npos);
    EXPECT_NE(saved.find("default_dic_name=Second.dic\r\n"), std::string::npos);
}

TEST_F(SettingsWindow, AVoiceThatIsNotInstalledKeepsItsPlaceUntilTheUserChoosesAnother) {
    WriteIni("[Engine]\nEngine_name=Removed "
             "voice\nEngine_speed=-8\nEngine_pitch=12\nEngine_volume=30\n");
    auto stored = [this] {
        const TIniFile ini(ReadIni());
        return ini.ReadString("Engine", "Engine_name", "") + " " +
               ini.ReadString("Engine", "Engine_speed", "") + " " +
               ini.ReadString("Engine", "Engine_pitch", "") + " " +
               ini.ReadString("Engine", "Engine_volume", "");
    };
    Start();
    EXPECT_EQ(Window->Speech->VoiceName(), "Voice 1");
    Close();
    EXPECT_EQ(stored(), "Removed voice -8 12 30");
    // No voice at all (a broken engine, say) keeps it as well.
    TSpeechEnvironment none{test::FakeVoiceBackends(0, &Voice), Poster, &WaveOut};
    Window = std::make_unique<TfmParlinoA>(Fake.Platform, none, Players.Environment);
    EXPECT_EQ(Errors.size(), 1u);
    Close();
    EXPECT_EQ(stored(), "Removed voice -8 12 30");
    // Moving a slider is a choice for the voice in use.
    Start().frEngSett1->sb1->SetPosition(3);
    Close();
    EXPECT_EQ(stored(), "Voice 1 3 12 30");
}

TEST_F(SettingsWindow, BadFilesStartWithWhatCanBeUsedAndLoseNothing) {
    // Binary junk around one readable key, and a last line cut off.
    std::string junk;
    for (int i = 0; i < 3000; ++i)
        junk.push_back(static_cast<char>((i * 131) % 256));
    WriteIni(junk + "\n[Engine]\nEngine_name=Voice 2\nEngine_spe");
    TfmParlinoA& w = Start();
    EXPECT_EQ(w.Speech->VoiceName(), "Voice 2");
    EXPECT_EQ(w.cbDevice->currentIndex(), 0);
    Close();
    const std::string saved = ReadIni();
    EXPECT_EQ(saved.substr(0, 100), junk.substr(0, 100));
    EXPECT_NE(saved.find("Engine_name=Voice 2\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Engine_spe\r\n"), std::string::npos);

    // A read-only file is applied and left as it is.
    WriteIni("[Engine]\nEngine_name=Voice 3\n");
    fs::permissions(IniPath(), fs::perms::owner_read);
    Start().eSpeechShift->setValue(5);
    Close();
    EXPECT_EQ(ReadIni(), "[Engine]\nEngine_name=Voice 3\n");
}

TEST_F(SettingsWindow, AFolderThatCannotBeWrittenLeavesTheOldFileAndTheWindowCloses) {
    WriteIni("[Engine]\nEngine_name=Voice 2\n");
    const std::string folder = Fake.Folders.Local + "/Parlino";
    // Permissions do not stop the superuser; an immutable folder does.
    const bool root = ::geteuid() == 0;
    if (root && std::system(("chattr +i '" + folder + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "this file system has no immutable folders";
    if (!root)
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    Start().eSpeechShift->setValue(5);
    Close();
    const std::string saved = ReadIni();
    if (root)
        std::system(("chattr -i '" + folder + "'").c_str());
    else
        fs::permissions(folder, fs::perms::owner_all);
    EXPECT_EQ(saved, "[Engine]\nEngine_name=Voice 2\n");
    EXPECT_EQ(static_cast<size_t>(std::distance(fs::directory_iterator(folder), {})), 1u);
    EXPECT_TRUE(Errors.empty());
}

TEST_F(SettingsWindow, AFirstStartWritesTheWholeFileInAConfigurationFolderItMakes) {
    Fake.Folders.Local = Fake.Folders.Root + "/fresh/.config"; // not there yet
    Players.Windows.Foreign = false; // as on Linux: the session-bus players are the first choice
    EXPECT_EQ(Start().cbPlayerType->currentIndex(), static_cast<int>(TPlayerType::Mpris));
    Close();
    const std::string saved = ReadIni();
    for (const char* section : {"[File]", "[Engine]", "[Appearance]", "[Misc]", "[Audio file]",
                                "[Dictionaries]", "[Locations]", "[HotKeys]", "[FilesList]",
                                "[GlobalOther]", "[RecentFiles]", "[Hooks]", "[Advanced]"})
        EXPECT_NE(saved.find(std::string(section) + "\r\n"), std::string::npos) << section;
    EXPECT_NE(saved.find("Dic_folder=" + Fake.Folders.Program + "/Dic\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Engine_name=Voice 1\r\n"), std::string::npos);
    EXPECT_NE(saved.find("WaveOutDeviceName=(default)\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Player_type=MPRIS media player (VLC, Celluloid, browsers, mpv with mpv-mpris)\r\n"),
              std::string::npos);
}

} // namespace
