// The cost of one playback tick over a large track: the controller scans the
// whole track for the due entry ten times a second.
//   tick_cost_bench [entries=100000]

#include "app/TPlaybackController.h"
#include "fakes/TFakePlatform.h"
#include "fakes/TFakeSpeechVoice.h"
#include "fakes/TQueuePoster.h"
#include "players/VirtualPlayer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace parlino;

namespace {

class TQuietView final : public IPlaybackView {
public:
    void SetWarning(const std::string&) override {}
    void SetStatus1(const std::string&) override {}
    void SetStatus2(const std::string&) override {}
    std::string PlayerTypeText() const override { return {}; }
    bool QueueFastSubtitles() const override { return true; }
    bool AutoScroll() const override { return true; }
    int SoundCardIndex() const override { return 0; }
    uint8_t GridFontCharset() const override { return 1; }
    std::string VoiceTags() const override { return {}; }
    int SelectedRow() const override { return 1; }
    int TopRow() const override { return 1; }
    void ScrollTo(int, int) override {}
    int GridRowCount() const override { return 3; }
    void UpdateControls() override {}
    void ReportError(const std::string&) override {}
};

} // namespace

int main(int argc, char** argv) {
    const int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
    TIconvCodec codec(1252);
    test::TQueuePoster poster;
    test::TFakeSpeechVoice* voice = nullptr;
    TUbSmartSpeechBackends b;
    b.Sapi5Installed = [] { return true; };
    b.CreateVoice = [&]() -> std::unique_ptr<ISpeechVoice> {
        auto v = std::make_unique<test::TFakeSpeechVoice>();
        v->VoiceTokens.push_back(std::make_shared<test::TFakeToken>(u"Voice"));
        voice = v.get();
        return v;
    };
    TUbSmartSpeech speech(std::move(b), codec, poster);
    speech.SelectVoice("");
    TslItems items(1);
    for (int i = 1; i <= entries; ++i) {
        TslItem item;
        item.StartMs = i * 1500;
        item.DisplayText = item.SpeechText = "Subtitle number " + std::to_string(i);
        items.push_back(item);
    }
    TQuietView view;
    TPlaybackController controller(view, speech, items);
    test::TFakeTickCounter ticks;
    auto clock = std::make_shared<TVirtualPlayer>(ticks);
    controller.Connection = clock;
    controller.StartPlayback();
    clock->SetPosition(-200);
    clock->Play();
    // Ticks at the start of the track (found at once) and at its end (a full scan).
    std::vector<double> startTicks, endTicks;
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) clock->SetPosition(entries * 1500 - 5000);
        for (int t = 0; t < 200; ++t) {
            ticks.Advance(100);
            const auto a = std::chrono::steady_clock::now();
            controller.ProcessTick();
            const auto z = std::chrono::steady_clock::now();
            (pass == 0 ? startTicks : endTicks).push_back(std::chrono::duration<double, std::micro>(z - a).count());
            if (voice) voice->FireEnd(voice->NextStream);
        }
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    auto maxOf = [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); };
    std::printf("entries: %d\ntick near the start, median: %.1f us (max %.1f us)\n"
                "tick near the end (whole track scanned), median: %.1f us (max %.1f us)\n"
                "share of the 100 ms tick period at the end: %.2f %%\n",
                entries, median(startTicks), maxOf(startTicks), median(endTicks), maxOf(endTicks),
                median(endTicks) / 1000.0);
    return 0;
}
