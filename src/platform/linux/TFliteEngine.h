#pragma once
// Flite behind one worker thread. Flite keeps its voices and their settings
// in shared state, so every call into it happens on the worker; the rest of
// the program hands it jobs. Audio streams out while a text is synthesised,
// so a long text starts sounding before it has been synthesised whole.

#include "platform/linux/TSynthesisQueue.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <thread>
#include <vector>

namespace parlino {

struct TFliteVoiceInfo {
    std::string Name;         // "kal", "kal16", "awb", "rms", "slt"
    bool Female = false;
    int SampleRate = 16000;   // mono 16-bit PCM at this rate
    uint16_t NormalPitch = 100; // Hz, the voice's own mean
};

// One stretch of a job: SilenceMs of silence, then Text (may be empty).
struct TFlitePiece {
    std::string Text;
    uint32_t Offset = 0;          // of Text's first byte in the caller's text
    uint32_t SilenceMs = 0;
    std::optional<uint32_t> Bookmark; // reported before the silence
    uint32_t WordsPerMinute = 170;
    uint16_t PitchHz = 100;
    double Gain = 1.0; // 0..1
};

struct TFliteJob {
    size_t Voice = 0; // index into Voices()
    std::vector<TFlitePiece> Pieces;
    // All run on the worker, in stream order: a word or bookmark comes after
    // all audio before it and before any audio after it. OnFinished runs once
    // per submitted job, completed = false when it was cancelled.
    std::function<void(const int16_t* samples, size_t count)> OnAudio;
    std::function<void(uint32_t byteOffset)> OnWord;
    std::function<void(uint32_t mark)> OnBookmark;
    std::function<void(bool completed)> OnFinished;
    // When not 0, synthesis waits while it is more than this many samples
    // ahead of what Played reported.
    uint64_t AheadLimit = 0;
    // The rate OnAudio delivers at (0: the voice's own); other rates are
    // reached by linear interpolation. AheadLimit and Played count samples
    // at this rate.
    int OutputRate = 0;
    // Speaks this many times faster than the pieces' words per minute say
    // (1..3), by the voice's own duration stretch, so the pitch stays.
    double RateFactor = 1.0;
};

// Cuts `text` into stretches of at most `maxLength` bytes (the first one, of
// at most `firstLength` when that is not 0), each ending after a sentence end,
// else a clause end, else a blank (a run of letters longer than that is cut
// where it must be): (offset, length) pairs that cover the whole text in order.
std::vector<std::pair<size_t, size_t>> SplitForSynthesis(std::string_view text, size_t maxLength = 250,
                                                         size_t firstLength = 0);

// Whether a stretch of text ends a sentence (its last mark is . ! or ?).
bool EndsSentence(std::string_view text);

class TFliteEngine {
public:
    // The one engine of the process; created on first use, lives until exit.
    static std::shared_ptr<TFliteEngine> Shared();
    ~TFliteEngine();
    TFliteEngine(const TFliteEngine&) = delete;
    TFliteEngine& operator=(const TFliteEngine&) = delete;

    bool Initialised() const { return !FVoices.empty(); }
    const std::vector<TFliteVoiceInfo>& Voices() const { return FVoices; }

    // Any thread. Jobs run one after another in the order submitted, those
    // someone waits to hear (SubmitAhead) before those synthesised ahead of
    // need (Submit).
    uint64_t Submit(TFliteJob job);
    uint64_t SubmitAhead(TFliteJob job);
    // A job queued with Submit is now awaited: it moves ahead.
    void Hurry(uint64_t jobId);
    // Stops a queued or running job soon; OnFinished(false) follows.
    void Cancel(uint64_t jobId);
    // The listener has heard `samples` samples of job `jobId`.
    void Played(uint64_t jobId, uint64_t samples);

    // The speed the voices speak at their own settings, words per minute,
    // and the range in which they stay intelligible.
    static constexpr uint32_t NormalWordsPerMinute = 170;
    static constexpr uint32_t MinWordsPerMinute = 60;
    static constexpr uint32_t MaxWordsPerMinute = 400;
    static constexpr uint16_t MinPitchHz = 50;
    static constexpr uint16_t MaxPitchHz = 400;
    // Flite analyses a whole utterance before its first sound, so a job's
    // first stretch is kept this short: speech starts within milliseconds
    // and the rest is synthesised while the first words are heard.
    static constexpr size_t FirstStretchLength = 24;
    // A job's first sound: its first sample of at least OnsetLevel (-48 dB
    // of full scale, well under anything heard in speech), searched
    // for up to OnsetSearchMs past the first word's boundary; what comes
    // before it is left out but for OnsetMarginMs.
    static constexpr int OnsetLevel = 128;
    static constexpr int OnsetSearchMs = 200;
    static constexpr int OnsetMarginMs = 2;

    struct TRun; // the running job, worker only
private:
    TFliteEngine();
    using TJobRecord = TSynthesisQueue<TFliteJob>::TRecord;
    void Start();
    void RunJob(TJobRecord& record);
    bool SynthesisePiece(TRun& run, const TFlitePiece& piece);
    bool Deliver(TRun& run, const int16_t* samples, size_t count);
    void Emit(TRun& run, const int16_t* samples, size_t count);
    void Produce(TRun& run, const int16_t* samples, size_t count);
    static void Skip(TRun& run, const int16_t* samples, size_t count);
    bool WaitForRoom(TRun& run);
    friend struct TFliteCallback;

    std::vector<TFliteVoiceInfo> FVoices;
    std::vector<void*> FVoiceHandles; // cst_voice*, worker only
    std::vector<float> FNormalStretch;
    // Last: its worker stops before anything it uses goes.
    TSynthesisQueue<TFliteJob> FJobs;
};

} // namespace parlino
