// The window with Flite's voices, as the program has them: they come first in
// the voice list and speak manual playback on time, through the same panel
// as espeak-ng's voices.

#include "ui/TWindowE2E.h"

#include "ui/EngSettFr.h"

using namespace parlino;
using namespace parlino::test;
using namespace std::chrono_literals;

namespace {

class FliteWindowE2E : public TWindowE2E {
protected:
    FliteWindowE2E() { WithFliteVoices = true; }
};

} // namespace

TEST_F(FliteWindowE2E, AFliteVoiceSpeaksEverySubtitleWhenItIsDue) {
    Window->frEngSett1->SetVoice("Flite female (slt)");
    ASSERT_EQ(Window->Speech->VoiceName(), "Flite female (slt)");
    const std::vector<std::pair<int, std::string>> entries{
        {1000, "One."}, {3000, "Two words."}, {5000, "Three short words."}, {7000, "Four."}};
    Window->LoadSubtitles(WriteSrt("flite.srt", entries));
    Window->rbManual->click();
    Window->sg1->setCurrentIndex(Window->GridModel->index(0, 1));
    const auto t0 = TClock::now(); // the clock stands at -200 ms
    Window->btPlay->click();
    Wait(8500);
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    for (const auto& [start, text] : entries) {
        // Due at the first tick that finds the clock less than a second before the start.
        const auto due = t0 + std::chrono::milliseconds(start - 999 + 200);
        // The sink is silent but for the voice, so a faint threshold finds
        // the first consonant of "Two" or "Three", not the vowel after it.
        const auto onset = Rec->FirstSound(due - 100ms, due + 1900ms, 100);
        ASSERT_TRUE(onset.has_value()) << text << " was not heard";
        const double late = Ms(*onset - due);
        std::printf("%-20s due %5d ms, heard %4.0f ms after\n", text.c_str(), start - 999, late);
        EXPECT_GE(late, -20) << text << " spoken before it was due";
        EXPECT_LE(late, 100 + 50) << text << " later than one tick plus 50 ms";
    }
}
