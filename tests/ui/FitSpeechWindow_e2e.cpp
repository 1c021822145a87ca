// "Fit speech into subtitle time" in the real window with espeak-ng on a
// recorded sink: dense dialogue is heard on time, each line sped up by the
// factor the controller reports.

#include "ui/TWindowE2E.h"

using namespace parlino;
using namespace parlino::test;
using namespace std::chrono_literals;

namespace {

// How long `text` sounds when said on its own through "Say it".
double SaidAloneMs(TfmParlinoA& window, TMonitorRecording& rec, const std::string& text) {
    window.eTest->setText(QString::fromStdString(text));
    const auto from = TClock::now();
    window.bt1->click();
    Wait(4500);
    const auto first = rec.FirstSound(from, from + 4500ms, 100);
    const auto last = rec.LastSound(from, from + 4500ms, 100);
    return first && last ? Ms(*last - *first) : 0.0;
}

} // namespace

TEST_F(TWindowE2E, FittedSpeechOfDenseDialogueIsHeardOnTimeAndShorterByTheFactorReported) {
    // Each line takes over two seconds at the chosen speed and has 1.5.
    const std::vector<std::pair<int, std::string>> entries{
        {1000, "The harbour lights were burning low that night."},
        {2500, "Nobody on the quay had seen the boat come in."},
        {4000, "She counted the crates twice and wrote it down."},
        {5500, "By morning the whole town would know the story."}};
    Window->LoadSubtitles(WriteSrt("dense.srt", entries));
    Window->chkFitSpeech->setChecked(true);
    Window->eFitPercent->setValue(200);
    std::vector<TSpokenEntry> spoken;
    // Row 0 of the grid is its header; its entry is empty and says nothing.
    Window->Controller->OnSpoken = [&](const TSpokenEntry& e) {
        if (e.Index > 0) spoken.push_back(e);
    };
    Window->rbManual->click();
    Window->sg1->setCurrentIndex(Window->GridModel->index(0, 1));
    const auto t0 = TClock::now(); // the clock stands at -200 ms
    Window->btPlay->click();
    Wait(8000);
    Window->btStop->click();
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    ASSERT_EQ(spoken.size(), entries.size());

    // A line goes to the voice once the one before has ended, so what sounds
    // from then until the next line goes to the voice is this line.
    auto at = [&](int32_t clockMs) { return t0 + std::chrono::milliseconds(clockMs + 200); };
    std::vector<double> heardMs;
    for (size_t i = 0; i < spoken.size(); ++i) {
        const auto from = at(spoken[i].SpeakMs) - 5ms;
        const auto to = i + 1 < spoken.size() ? at(spoken[i + 1].SpeakMs) - 5ms : from + 3000ms;
        const auto onset = Rec->FirstSound(from, to, 100);
        const auto end = Rec->LastSound(from, to, 100);
        ASSERT_TRUE(onset && end) << entries[i].second << " was not heard";
        const double late = Ms(*onset - at(spoken[i].DueMs));
        heardMs.push_back(Ms(*end - *onset));
        std::printf("line %zu: factor %.2f, heard %3.0f ms after its due tick for %4.0f ms (expected %lld)\n", i + 1,
                    spoken[i].Factor, late, heardMs.back(), static_cast<long long>(spoken[i].ExpectedMs));
        EXPECT_GE(late, -20);
        EXPECT_LE(late, 300) << entries[i].second;
        EXPECT_GT(spoken[i].Factor, 1.0);
        EXPECT_LE(spoken[i].Factor, 2.0);
    }

    // The second line said on its own at the chosen speed.
    Window->chkFitSpeech->setChecked(false);
    const double alone = SaidAloneMs(*Window, *Rec, entries[1].second);
    std::printf("line 2: %.0f ms alone, ratio %.2f, factor reported %.2f\n", alone, alone / heardMs[1],
                spoken[1].Factor);
    EXPECT_NEAR(alone / heardMs[1], spoken[1].Factor, spoken[1].Factor * 0.1);
}
