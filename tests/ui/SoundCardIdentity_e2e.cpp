// Two sound cards whose names differ only after their 31st character, as the
// HDMI outputs of one graphics card do, on the real sound server: the list
// shows both cut alike, but the card chosen is the one that is kept, found
// again at the next start and after a hot-plug, and the one speech goes to.

#include "fakes/ReadWholeFile.h"
#include "ui/TWindowE2E.h"

#include <regex>
#include <thread>

using namespace parlino;
using namespace parlino::test;
using namespace std::chrono_literals;

namespace {

// 48 characters in common, cut to the same 31 in the list.
const std::string Common = "Navi 21/23 HDMI/DP Audio Controller Digital Ster";
const std::string Hdmi2 = Common + " (HDMI 2)", Hdmi3 = Common + " (HDMI 3)";
const QString Shown = QString::fromStdString(Common.substr(0, 31));

class SoundCardIdentityE2E : public TWindowE2E {
protected:
    // Waits until the window's list holds `count` cards besides "(default)".
    bool WaitForCards(int count) {
        for (int i = 0; i < 300; ++i) {
            if (Window->cbDevice->count() == count + 1) return true;
            Wait(10);
        }
        return false;
    }
    std::vector<int> ItemsShown(const QString& text) const {
        std::vector<int> found;
        for (int i = 0; i < Window->cbDevice->count(); ++i)
            if (Window->cbDevice->itemText(i) == text) found.push_back(i);
        return found;
    }
    std::string IniFile() const { return Fake.Folders.Local + "/Parlino/Parlino.ini"; }
    void Restart() {
        Window.reset(); // saves the settings
        Window = std::make_unique<TfmParlinoA>(Platform, *Env, *Players);
        Window->show();
    }
    // The sound a Say it of the current card leaves on `sink`.
    double SayItHeardOn(TMonitorRecording& sink) {
        Window->eTest->setText("Which card is this?");
        const auto start = TClock::now();
        Window->bt1->click();
        Wait(2500);
        const auto end = TClock::now();
        sink.WaitUntilRecorded(end);
        return sink.SoundMs(start, end);
    }
};

} // namespace

// The user sees two entries alike in the list; the one they picked stays
// picked after a restart and after the cards are plugged anew, and speech
// comes out of it.
TEST_F(SoundCardIdentityE2E, CardsAlikeInTheirFirst31CharactersAreKeptApartByTheirIdentity) {
    const int two = Server->LoadNullSink("hdmi2", Hdmi2);
    const int three = Server->LoadNullSink("hdmi3", Hdmi3);
    ASSERT_GE(two, 0);
    ASSERT_GE(three, 0);
    ASSERT_TRUE(WaitForCards(4)) << "the cards plugged in did not reach the list";
    const std::vector<int> alike = ItemsShown(Shown);
    ASSERT_EQ(alike.size(), 2u) << "both cards show the same cut name";
    // The user picks the second of the two: HDMI 3.
    Window->cbDevice->setCurrentIndex(alike[1]);
    emit Window->cbDevice->activated(alike[1]);
    TMonitorRecording& onThree = Server->Record("hdmi3");
    TMonitorRecording& onTwo = Server->Record("hdmi2");
    EXPECT_GT(SayItHeardOn(onThree), 300);

    // Kept by its identity beside the name the list shows.
    Restart();
    const std::string ini = ReadWholeFile(IniFile());
    EXPECT_NE(ini.find("WaveOutDeviceName=" + Shown.toStdString() + "\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Sound_card_id=hdmi3\r\n"), std::string::npos) << ini;
    EXPECT_EQ(Window->cbDevice->currentIndex(), ItemsShown(Shown).at(1)) << "HDMI 2 was chosen after the restart";
    EXPECT_GT(SayItHeardOn(onThree), 300);

    // Plugged anew, HDMI 2 now after HDMI 3: still HDMI 3, now the first of the two.
    ASSERT_TRUE(Server->UnloadModule(two));
    ASSERT_TRUE(WaitForCards(3));
    const int twoAgain = Server->LoadNullSink("hdmi2", Hdmi2);
    ASSERT_GE(twoAgain, 0);
    ASSERT_TRUE(WaitForCards(4));
    ASSERT_EQ(ItemsShown(Shown).size(), 2u);
    EXPECT_EQ(Window->cbDevice->currentIndex(), ItemsShown(Shown).at(0)) << "the choice moved to HDMI 2";
    TMonitorRecording& onTwoAgain = Server->Record("hdmi2");
    EXPECT_GT(SayItHeardOn(onThree), 300);
    EXPECT_EQ(SayItHeardOn(onTwoAgain), 0);
    (void)onTwo;

    // HDMI 3 unplugged: its look-alike does not stand in for it.
    ASSERT_TRUE(Server->UnloadModule(three));
    ASSERT_TRUE(WaitForCards(3));
    EXPECT_EQ(Window->cbDevice->currentIndex(), 0);
    EXPECT_NE(Window->lWarning->text().toStdString().find("is not available"), std::string::npos)
        << Window->lWarning->text().toStdString();
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}

// A settings file of an older version names the card only: it is found by
// that name, and its identity is kept from then on.
TEST_F(SoundCardIdentityE2E, AnOlderSettingsFileFindsTheCardByItsName) {
    Window.reset();
    std::string ini = ReadWholeFile(IniFile());
    ini = std::regex_replace(ini, std::regex("WaveOutDeviceName=[^\r]*"), "WaveOutDeviceName=TestB");
    ini = std::regex_replace(ini, std::regex("Sound_card_id=[^\r]*\r\n"), "");
    std::ofstream(IniFile(), std::ios::binary) << ini;
    Window = std::make_unique<TfmParlinoA>(Platform, *Env, *Players);
    EXPECT_EQ(Window->cbDevice->currentText(), "TestB");
    Restart();
    EXPECT_NE(ReadWholeFile(IniFile()).find("Sound_card_id=test_b\r\n"), std::string::npos);
    EXPECT_EQ(Window->cbDevice->currentText(), "TestB");
}
