#pragma once
// The voice-over render: the playback controller in manual playback from the
// first row, on a simulated clock that moves 100 ms per tick, with the voice
// speaking into a timeline instead of a sound card. Each tick runs exactly
// what the main window's timer runs; between ticks the renderer waits for the
// voice's synthesis to cover the next 100 ms and then plays them, so the
// track comes out the same on every run and as fast as the voice synthesises.

#include "render/TRenderPoster.h"
#include "render/TRenderReport.h"
#include "render/TTimelineAudioOutput.h"
#include "speech/UbSmartSpeech.h"
#include "subtitles/TslItem.h"
#include "text/Charsets.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace parlino {

struct TRenderSettings {
    bool QueueFastSubtitles = true;        // false: each new subtitle cuts off the one speaking
    int32_t TimeShiftMs = 0;               // added to the clock before the search, as the shift box
    uint8_t GridCharset = DEFAULT_CHARSET; // its code page converts the texts for the voice
    std::string VoiceTags;                 // the voice panel's tag prefix (empty for engine voices)
    // "Fit speech into subtitle time" and its ceiling in % of the chosen
    // speed. Before each tick the renderer waits until everything the
    // controller synthesises ahead is done, so that neither its choices nor
    // the engine's output depend on how fast synthesis ran.
    bool FitSpeech = false;
    int32_t FitCeilingPercent = 150;
    // After the render, the full length of every entry that was cut off is
    // measured (synthesised again into memory) for the timings' CutMs;
    // otherwise CutMs counts only what had been synthesised.
    bool MeasureCutSpeech = false;
    uint32_t TickMs = 100;
    // Past the last subtitle, a voice that does not report idle while
    // nothing is playing is given up on after this much track time.
    int32_t QuietLimitMs = 30000;
    // How far the voice synthesises ahead of the last mark it has heard (its
    // flow control). In interrupt mode each tick waits until synthesis has
    // got that far or finished, so that a cut comes at the same point of the
    // synthesis on every run: the engine's output depends on what it has
    // synthesised before.
    int32_t VoiceAheadMs = 3000;
    // Wall-clock time to wait for the voice's next audio before the render fails.
    std::chrono::milliseconds SynthesisTimeout{30000};
    // Called after every tick with the track time and what the tick cost the
    // thread that ran it (the controller's work and the events it pumped):
    // for benchmarks that watch a long run.
    std::function<void(int64_t trackMs, std::chrono::nanoseconds tickCost)> OnTick;
    // Called when an entry's speech is over, with its timing as it will be
    // in the result (but for CutMs): for a mix that follows the render.
    std::function<void(const TEntryTiming&)> OnEntryOver;
};

struct TRenderResult {
    int64_t EndMs = 0;     // track time at which the render stopped
    uint64_t Ticks = 0;    // ticks run
    size_t Found = 0;      // entries the controller found (and queued)
    bool VoiceIdle = true; // false: stopped because the voice never reported idle
    // One per entry: when it was due and where its speech sits in the track.
    // Each stream the voice opens carries the entry of the matching Speak, in
    // order, so the voice must open one stream per Speak.
    std::vector<TEntryTiming> Timings;
};

// `speech` must speak through `timeline` (its voices were created on it) and
// post its events through `poster`; a voice must be selected. The timeline
// must not have played yet. `items` is the processed track; the controller
// writes its Spoken and Index fields.
class TVoiceOverRenderer {
public:
    TVoiceOverRenderer(TUbSmartSpeech& speech, TTimelineAudioOutput& timeline,
                       TRenderPoster& poster, TslItems& items, TRenderSettings settings = {});

    // Runs the whole track, until the last subtitle's speech has been heard
    // to its end. Throws EParlinoError when the voice fails (the controller's
    // one report of a failure, or no audio within SynthesisTimeout).
    TRenderResult Render();

private:
    template <typename F> void WaitFor(F&& done);
    // The full spoken length of every entry that was cut off and whose
    // length the controller did not know, synthesised again into memory.
    void MeasureCutEntries(std::vector<TEntryTiming>& timings);

    TUbSmartSpeech& FSpeech;
    TTimelineAudioOutput& FTimeline;
    TRenderPoster& FPoster;
    TslItems& FItems;
    TRenderSettings FSettings;
};

} // namespace parlino
