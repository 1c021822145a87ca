#include "render/TVoiceOverRenderer.h"

#include "app/TPlaybackController.h"
#include "app/TSpeechAhead.h"
#include "platform/Exceptions.h"
#include "players/VirtualPlayer.h"
#include "render/TSimulatedTicks.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <unordered_map>

namespace parlino {
namespace {

// The main window as the controller sees it during a render: manual playback
// from row 1, no scrolling, the "(default)" sound card (the track), and the
// first failure kept for the renderer to raise.
class TRenderView final : public IPlaybackView {
public:
    TRenderView(const TRenderSettings& settings, size_t itemCount)
        : FSettings(settings), FRows(static_cast<int>(itemCount) + 1) {}

    void SetWarning(const std::string&) override {}
    void SetStatus1(const std::string&) override {}
    void SetStatus2(const std::string&) override {}
    std::string PlayerTypeText() const override { return {}; }
    bool QueueFastSubtitles() const override { return FSettings.QueueFastSubtitles; }
    bool AutoScroll() const override { return false; }
    int SoundCardIndex() const override { return 0; }
    uint8_t GridFontCharset() const override { return FSettings.GridCharset; }
    std::string VoiceTags() const override { return FSettings.VoiceTags; }
    int SelectedRow() const override { return 1; }
    int TopRow() const override { return 1; }
    void ScrollTo(int, int) override {}
    int GridRowCount() const override { return FRows; }
    void UpdateControls() override {}
    bool FitSpeech() const override { return FSettings.FitSpeech; }
    int32_t FitCeilingPercent() const override { return FSettings.FitCeilingPercent; }
    void ReportError(const std::string& message) override {
        if (!Error)
            Error = message;
    }

    std::optional<std::string> Error;

private:
    const TRenderSettings& FSettings;
    int FRows;
};

// Fills the timings from what the controller hands to the voice and from
// where the timeline played each stream; the k-th stream opened belongs to
// the k-th entry spoken.
class TTimingRecorder {
public:
    TTimingRecorder(TPlaybackController& controller, TTimelineAudioOutput& timeline, const TslItems& items,
                    int32_t shiftMs, std::vector<TEntryTiming>& timings,
                    std::function<void(const TEntryTiming&)> onOver)
        : FController(controller), FTimeline(timeline), FShiftMs(shiftMs), FTimings(timings),
          FOnOver(std::move(onOver)) {
        // Due times and deadlines as the controller's fitting reckons them.
        const TDueSchedule& dues = controller.Schedule();
        FTimings.assign(items.size(), {});
        for (size_t i = 0; i < items.size(); ++i) {
            FTimings[i].DueMs = dues.SlotStartMs(i) - shiftMs;
            FTimings[i].DeadlineMs = dues.DeadlineMs(i) - shiftMs;
            FTimings[i].HasText = HasSpeech(items[i]);
        }
        FController.OnSpoken = [this](const TSpokenEntry& e) { Spoken(e); };
        FTimeline.OnStreamOver = [this](const TTimelineAudioOutput::TStreamSpan& s) { Over(s); };
    }
    ~TTimingRecorder() {
        FController.OnSpoken = nullptr;
        FTimeline.OnStreamOver = nullptr;
    }
    TTimingRecorder(const TTimingRecorder&) = delete;
    TTimingRecorder& operator=(const TTimingRecorder&) = delete;

private:
    void Spoken(const TSpokenEntry& e) {
        FStreamEntries.push_back(e.Index);
        if (e.Index >= FTimings.size())
            return;
        TEntryTiming& t = FTimings[e.Index];
        t = TEntryTiming{.DueMs = int64_t{e.DueMs} - FShiftMs, .DeadlineMs = t.DeadlineMs};
        t.HasText = true;
        t.Spoken = true;
        t.Factor = e.Factor;
        t.ExpectedMs = e.ExpectedMs;
    }

    void Over(const TTimelineAudioOutput::TStreamSpan& s) {
        if (s.Stream >= FStreamEntries.size() || FStreamEntries[s.Stream] >= FTimings.size())
            return;
        TEntryTiming& t = FTimings[FStreamEntries[s.Stream]];
        const auto ms = [this](uint64_t frames) { return FTimeline.MsAt(frames); };
        t.Heard = s.Played;
        t.OnsetMs = ms(s.FirstFrame);
        t.EndMs = ms(s.EndFrame);
        t.Cut = s.Cut;
        t.HeardMs = ms(s.PlayedFrames);
        if (s.Cut) {
            // Until its full length is known: at least what was synthesised
            // and not played.
            const int64_t full = t.ExpectedMs >= 0 ? t.ExpectedMs : ms(s.WrittenFrames);
            t.CutMs = std::max<int64_t>(0, full - t.HeardMs);
        }
        if (FOnOver)
            FOnOver(t);
    }

    TPlaybackController& FController;
    TTimelineAudioOutput& FTimeline;
    int32_t FShiftMs;
    std::vector<TEntryTiming>& FTimings;
    std::vector<size_t> FStreamEntries; // by stream number: the entry spoken
    std::function<void(const TEntryTiming&)> FOnOver;
};

} // namespace

TVoiceOverRenderer::TVoiceOverRenderer(TUbSmartSpeech& speech, TTimelineAudioOutput& timeline,
                                       TRenderPoster& poster, TslItems& items,
                                       TRenderSettings settings)
    : FSpeech(speech), FTimeline(timeline), FPoster(poster), FItems(items),
      FSettings(std::move(settings)) {
    if (FSettings.TickMs == 0)
        throw EParlinoError("The render's tick must be longer than 0 ms.");
}

template <typename F> void TVoiceOverRenderer::WaitFor(F&& done) {
    for (;;) {
        FPoster.Pump();
        if (done())
            return;
        if (!FPoster.WaitForWork(FSettings.SynthesisTimeout))
            throw EParlinoError("The voice stopped delivering audio.");
    }
}

void TVoiceOverRenderer::MeasureCutEntries(std::vector<TEntryTiming>& timings) {
    // Once the track is done, so that it is the same as without the report.
    std::unordered_map<uint64_t, size_t> waiting; // prepare id -> entry
    const auto oldOnPrepared = FSpeech.OnPrepared;
    FSpeech.OnPrepared = [&](TUbSmartSpeech*, uint64_t id, int64_t durationMs) {
        const auto found = waiting.find(id);
        if (found == waiting.end())
            return;
        TEntryTiming& t = timings[found->second];
        t.ExpectedMs = durationMs;
        t.CutMs = std::max<int64_t>(0, durationMs - t.HeardMs);
        waiting.erase(found);
    };
    // A few at a time: a voice keeps only so many texts synthesised ahead.
    constexpr size_t Batch = 8;
    try {
        for (size_t i = 0; i < timings.size() && i < FItems.size(); ++i) {
            if (!timings[i].Cut || timings[i].ExpectedMs >= 0)
                continue;
            FSpeech.CodePage = static_cast<uint16_t>(CharsetToCodePage(FSettings.GridCharset));
            FSpeech.Text = {FSettings.VoiceTags + FItems[i].SpeechText};
            FSpeech.SpeedFactor = timings[i].Factor;
            if (const uint64_t id = FSpeech.Prepare())
                waiting[id] = i; // else the voice cannot tell: the estimate stays
            FSpeech.SpeedFactor = 1.0;
            if (waiting.size() >= Batch) {
                WaitFor([&] { return waiting.empty(); });
                FSpeech.DiscardPrepared();
            }
        }
        WaitFor([&] { return waiting.empty(); });
        FSpeech.DiscardPrepared();
    } catch (...) {
        FSpeech.SpeedFactor = 1.0;
        FSpeech.OnPrepared = oldOnPrepared;
        throw;
    }
    FSpeech.OnPrepared = oldOnPrepared;
}

TRenderResult TVoiceOverRenderer::Render() {
    TRenderResult result;
    if (FItems.empty())
        return result;

    TSimulatedTicks ticks;
    auto player = std::make_shared<TVirtualPlayer>(ticks);
    TRenderView view(FSettings, FItems.size());
    TPlaybackController controller(view, FSpeech, FItems);
    TTimingRecorder recorder(controller, FTimeline, FItems, FSettings.TimeShiftMs, result.Timings,
                             FSettings.OnEntryOver);

    // The "Play" command with no run active, from row 1: a new manual clock
    // 200 ms before the selected entry. The track shift then applies as in
    // a followed run.
    controller.TimeShift = 0;
    controller.Connection = player;
    controller.StartPlayback();
    player->SetPosition(controller.SelectedItemStart() - TPlaybackController::ManualStartLeadMs);
    player->Play();
    controller.TimeShift = FSettings.TimeShiftMs;
    FTimeline.SetNowMs(player->GetPosition());

    int64_t lastStart = FItems.front().StartMs;
    for (const TslItem& item : FItems)
        lastStart = std::max<int64_t>(lastStart, item.StartMs);

    const uint64_t aheadFrames = static_cast<uint64_t>(FSettings.VoiceAheadMs) *
                                 static_cast<uint64_t>(FTimeline.SampleRate()) / 1000;
    int64_t quietMs = 0;
    for (;;) {
        if (!FSettings.QueueFastSubtitles)
            WaitFor([&] { return FTimeline.WritersAtRest(aheadFrames); });
        // Every synthesis ahead the controller has asked for is waited for,
        // not only that of the entries due by this tick: otherwise how far
        // the others got would decide when the next ones are asked for, and
        // with that the order of the engine's work, which its output depends
        // on. The engine does them after the voice's own speech, so a voice
        // held back by its flow control holds them back too until the next
        // tick; that point is the same on every run.
        if (FSettings.FitSpeech)
            WaitFor([&] {
                const int32_t position = player->GetPosition();
                if (controller.AheadPending(position, static_cast<int32_t>(FSettings.TickMs)))
                    return false;
                return FTimeline.WriterHeldBack(aheadFrames) ||
                       !controller.AheadPending(position,
                                                static_cast<int32_t>(TSpeechAhead::LookAheadMs));
            });
        const auto tickStart = std::chrono::steady_clock::now();
        controller.ProcessTick();
        ++result.Ticks;
        if (view.Error)
            throw EParlinoError(*view.Error);
        FPoster.Pump();
        if (FSettings.OnTick)
            FSettings.OnTick(player->GetPosition(), std::chrono::steady_clock::now() - tickStart);

        // Nothing can be found any more once the shifted clock is past the
        // last start; the render ends when the voice has spoken the queue.
        // A voice that stays busy with nothing playing is given up on.
        const int64_t position = player->GetPosition();
        if (position + controller.TimeShift > lastStart && FTimeline.OpenStreams() == 0) {
            const bool idle = FSpeech.IsIdle();
            if (idle && controller.Queue.empty())
                break;
            quietMs = idle ? 0 : quietMs + FSettings.TickMs;
            if (quietMs >= FSettings.QuietLimitMs) {
                result.VoiceIdle = false;
                break;
            }
        } else {
            quietMs = 0;
        }

        WaitFor([&] { return FTimeline.Ready(FSettings.TickMs); });
        FTimeline.Advance(FSettings.TickMs);
        ticks.Advance(FSettings.TickMs);
        FPoster.Pump();
    }

    controller.StopPlayback();
    FPoster.Pump();
    FTimeline.SweepClosed();
    if (FSettings.MeasureCutSpeech)
        MeasureCutEntries(result.Timings);
    result.EndMs = player->GetPosition();
    result.Found = static_cast<size_t>(
        std::count_if(FItems.begin(), FItems.end(), [](const TslItem& i) { return i.Spoken; }));
    return result;
}

} // namespace parlino
