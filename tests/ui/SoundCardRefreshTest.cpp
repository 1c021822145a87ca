// The "Sound card:" list while the program runs: cards plugged in or out
// reach the window through the event poster, the user's choice is kept by
// name, and a card that is gone is reported in the status area.

#include "fakes/ReadWholeFile.h"
#include "ui/TWindowWithFakes.h"

#include <gtest/gtest.h>

#include <thread>

using namespace parlino;

namespace {

class SoundCardRefresh : public test::TWindowWithFakes {
protected:
    void SetUp() override {
        TWindowWithFakes::SetUp();
        Start();
    }
    // The sound layer's news, from a thread of its own as the real one sends it.
    void DevicesChange(std::vector<std::string> names) {
        WaveOut.Devices.clear();
        for (std::string& name : names) WaveOut.Devices.push_back({std::move(name)});
        ASSERT_TRUE(WaveOut.OnDevicesChanged);
        std::thread([this] { WaveOut.OnDevicesChanged(); }).join();
    }
    QStringList Items() const {
        QStringList items;
        for (int i = 0; i < Window->cbDevice->count(); ++i) items << Window->cbDevice->itemText(i);
        return items;
    }
};

const char* const HeadsetGone = "Sound card \"Headset\" is not available: speech goes to the default sound card.";

} // namespace

TEST_F(SoundCardRefresh, CardsPluggedInAndOutKeepTheChoiceByNameAndAGoneCardIsReported) {
    TfmParlinoA& w = *Window;
    w.cbDevice->setCurrentIndex(2);
    emit w.cbDevice->activated(2); // the user picks "Headset"

    DevicesChange({"Speakers", "HDMI", "Headset"});
    EXPECT_EQ(Items(), QStringList({"(default)", "Speakers", "Headset"})) << "changed before the window's own thread ran";
    Poster.Pump();
    EXPECT_EQ(Items(), QStringList({"(default)", "Speakers", "HDMI", "Headset"}));
    EXPECT_EQ(w.cbDevice->currentText(), "Headset");
    EXPECT_EQ(w.Speech->AudioOutput, 2); // speech follows the card, not the old index
    EXPECT_TRUE(w.lWarning->text().isEmpty());

    DevicesChange({"Speakers", "HDMI"}); // unplugged
    Poster.Pump();
    EXPECT_EQ(Items(), QStringList({"(default)", "Speakers", "HDMI"}));
    EXPECT_EQ(w.cbDevice->currentIndex(), 0);
    EXPECT_EQ(w.Speech->AudioOutput, -1);
    EXPECT_EQ(w.lWarning->text(), HeadsetGone);
    w.StopPlayback(); // clears the player's warning, not the card's
    EXPECT_EQ(w.lWarning->text(), HeadsetGone);
    w.Timer1Timer();
    EXPECT_EQ(w.lWarning->text(), HeadsetGone);

    DevicesChange({"Headset", "Speakers", "HDMI"}); // back, at another place
    Poster.Pump();
    EXPECT_EQ(w.cbDevice->currentText(), "Headset");
    EXPECT_EQ(w.Speech->AudioOutput, 0);
    EXPECT_TRUE(w.lWarning->text().isEmpty());
    EXPECT_TRUE(Errors.empty());
}

TEST_F(SoundCardRefresh, ACardGoneAtTheEndIsStillTheStoredChoice) {
    Window->cbDevice->setCurrentIndex(2);
    emit Window->cbDevice->activated(2);
    DevicesChange({"Speakers"});
    Poster.Pump();
    Window.reset();
    const std::string saved = test::ReadWholeFile(Fake.Folders.Local + "/Parlino/Parlino.ini");
    EXPECT_NE(saved.find("WaveOutDeviceName=Headset\r\n"), std::string::npos) << saved;
}

TEST_F(SoundCardRefresh, NewsThatArrivesAfterTheWindowIsGoneIsDropped) {
    DevicesChange({"Speakers"});
    Window.reset();
    EXPECT_FALSE(WaveOut.OnDevicesChanged) << "the window left its handler behind";
    Poster.Pump(); // the posted refresh finds no window
}

TEST_F(SoundCardRefresh, ACardTheVoiceFoundGoneBeforeTheListKnewIsReportedOnTheNextTick) {
    ASSERT_NE(Voice, nullptr);
    Voice->Unavailable = std::make_shared<test::TFakeToken>(u"Headset");
    Window->Timer1Timer();
    EXPECT_EQ(Window->lWarning->text(), HeadsetGone);
    Voice->Unavailable = nullptr;
    Window->Timer1Timer();
    EXPECT_TRUE(Window->lWarning->text().isEmpty());
}
