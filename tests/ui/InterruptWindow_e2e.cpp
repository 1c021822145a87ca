// Interrupt mode ("Queue fast running subtitles" unticked) in the real window
// on a recorded sink, with a voice of each family: every new line is handed
// to the voice within a tick of its due moment, and the line it cuts off
// falls silent at once.

#include "ui/TWindowE2E.h"

#include "ui/EngSettFr.h"

using namespace parlino;
using namespace parlino::test;
using namespace std::chrono_literals;

namespace {

class InterruptWindowE2E : public TWindowE2E {
protected:
    InterruptWindowE2E() { WithFliteVoices = true; }
};

} // namespace

TEST_F(InterruptWindowE2E, EachNewLineCutsOffTheOneBeforeAtOnceWithAVoiceOfEitherFamily) {
    const std::vector<std::pair<int, std::string>> entries{
        {1000, "The harbour lights were burning low that night, and nobody on the quay had seen it."},
        {1300, "She counted the crates twice, wrote it down, and went home through the rain again."},
        {1600, "Yes, indeed."}};
    Window->LoadSubtitles(WriteSrt("interrupt.srt", entries));
    Window->chkCompleteSpeech->setChecked(false);
    for (const char* voice : {"English (Great Britain) (en-gb)", "Flite female (slt)"}) {
        SCOPED_TRACE(voice);
        Window->frEngSett1->SetVoice(voice);
        ASSERT_EQ(Window->Speech->VoiceName(), voice);
        std::vector<TSpokenEntry> spoken;
        Window->Controller->OnSpoken = [&](const TSpokenEntry& e) { spoken.push_back(e); };
        Window->rbManual->click();
        Window->sg1->setCurrentIndex(Window->GridModel->index(0, 1));
        const auto t0 = TClock::now(); // the clock stands at -200 ms
        Window->btPlay->click();
        Wait(4500);
        Window->btStop->click();
        Window->Controller->OnSpoken = nullptr;
        EXPECT_TRUE(Errors.empty()) << Errors.front();
        ASSERT_EQ(spoken.size(), entries.size());
        int32_t latest = 0; // the longest a line waited for the voice after its due moment
        for (const TSpokenEntry& e : spoken) latest = std::max(latest, e.SpeakMs - e.DueMs);
        EXPECT_LT(latest, TPlaybackController::TickPeriodMs);

        auto at = [&](int64_t clockMs) { return t0 + std::chrono::milliseconds(clockMs + 200); };
        const auto firstDue = at(spoken[0].DueMs), lastDue = at(spoken[2].DueMs);
        const auto onset = Rec->FirstSound(firstDue - 20ms, firstDue + 1000ms, 100);
        ASSERT_TRUE(onset.has_value()) << "the first line was not heard";
        EXPECT_LE(Ms(*onset - firstDue), 150);
        EXPECT_GT(HeardMs(at(spoken[1].DueMs), lastDue), 150) << "the second line was not heard";
        // After the last line falls due only it is heard, for as long as it
        // lasts on its own: the line it cut off fell silent.
        const auto end = Rec->LastSound(lastDue, lastDue + 3500ms, 100);
        ASSERT_TRUE(end.has_value()) << "the last line was not heard";
        Window->eTest->setText(QString::fromStdString(entries[2].second));
        const auto from = TClock::now();
        Window->bt1->click();
        Wait(2500);
        const auto aloneOnset = Rec->FirstSound(from, from + 2500ms, 100);
        const auto aloneEnd = Rec->LastSound(from, from + 2500ms, 100);
        ASSERT_TRUE(aloneOnset && aloneEnd);
        const double alone = Ms(*aloneEnd - from);
        std::printf("%s: lines went to the voice at most %d ms after their due moment; the last sounds until "
                    "%.0f ms after its due moment, and %.0f ms said alone\n",
                    voice, latest, Ms(*end - lastDue), alone);
        EXPECT_LE(Ms(*end - lastDue), alone + 75);
    }
}
