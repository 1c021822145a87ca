#pragma once
// espeak-ng behind one worker thread. espeak-ng keeps global state and
// deadlocks when it is called from several threads, so every call into it
// happens on the worker; the rest of the program hands it jobs.

#include "platform/linux/TSynthesisQueue.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace parlino {

struct TEspeakVoiceInfo {
    std::string Name;       // unique among the installed voices; selects the voice
    std::string Language;   // the voice's first language code, e.g. "en-gb"
    std::string Identifier; // the voice file, e.g. "gmw/en"
};

// One stretch of a job spoken with one set of parameters: first SilenceMs of
// silence, then Utf8Text (which may be empty).
struct TEspeakPiece {
    std::string Utf8Text;
    std::string VoiceName;    // empty: the default voice
    int WordsPerMinute = 175; // 80..450
    int Pitch = 50;           // 0..100
    int Amplitude = 100;      // 0..200, 100 = normal
    int SilenceMs = 0;
    // The pause that ends the text's last clause is kept (espeak-ng leaves it
    // out at the end of a text): for a piece that a pause of its own follows,
    // so that a clause ended there is heard as long as within one text.
    bool EndPause = false;
};

enum class TEspeakEventKind { Word, Sentence };

struct TEspeakEvent {
    TEspeakEventKind Kind = TEspeakEventKind::Word;
    size_t Piece = 0;         // index into TEspeakJob::Pieces
    int32_t TextPosition = 0; // code points from the start of the piece's text, 0-based
    int32_t Length = 0;       // code points (words only)
    uint64_t Sample = 0;      // audio position in samples from the start of the job
};

struct TEspeakJob {
    std::vector<TEspeakPiece> Pieces;
    // All three run on the worker thread. Audio and events arrive in stream
    // order: an event comes after all audio before its sample and before any
    // audio after it. OnFinished runs exactly once per submitted job, with
    // completed = false when the job was cancelled.
    std::function<void(const int16_t* samples, size_t count)> OnAudio;
    std::function<void(const TEspeakEvent& event)> OnEvent;
    std::function<void(bool completed)> OnFinished;
    // Flow control: when not 0, synthesis waits while it is more than this
    // many samples ahead of the position reported through Played.
    uint64_t AheadLimit = 0;
};

class TEspeakEngine {
public:
    // The one engine of the process (espeak-ng cannot run twice in one
    // process). Created on first use; lives until the process ends.
    static std::shared_ptr<TEspeakEngine> Shared();

    ~TEspeakEngine();
    TEspeakEngine(const TEspeakEngine&) = delete;
    TEspeakEngine& operator=(const TEspeakEngine&) = delete;

    // False when espeak-ng failed to start: no voices, and every job
    // finishes at once without audio.
    bool Initialised() const { return FInitialised; }
    // Mono 16-bit PCM at this rate.
    int SampleRate() const { return FSampleRate; }
    // The installed voices: the default voice first, then the others in
    // espeak-ng's order. Fixed for the engine's life.
    const std::vector<TEspeakVoiceInfo>& Voices() const { return FVoices; }

    // Queues a job; jobs run one after another in the order submitted,
    // except that a job submitted `first` goes before every job queued
    // without it (behind those queued `first` before it).
    // Returns the job's id (never 0). Any thread.
    uint64_t Submit(TEspeakJob job, bool first = false);
    // Moves a job queued without `first` to where `first` would queue it now:
    // a text synthesised ahead that is now to be spoken. Any thread.
    void Hurry(uint64_t jobId);
    // Stops a queued or running job soon (a running synthesis aborts at its
    // next audio chunk); its OnFinished(false) follows on the worker. Returns
    // at once. Unknown or finished ids are ignored. Any thread.
    void Cancel(uint64_t jobId);
    // The listener has heard `samples` samples of job `jobId`. Any thread.
    void Played(uint64_t jobId, uint64_t samples);

    // espeak-ng's speed range in words per minute.
    static constexpr int NormalWordsPerMinute = 175;
    static constexpr int MinWordsPerMinute = 80;
    static constexpr int MaxWordsPerMinute = 450;

private:
    TEspeakEngine();

    using TJobRecord = TSynthesisQueue<TEspeakJob>::TRecord;
    // Per running job, worker thread only.
    struct TRun {
        TJobRecord* Record = nullptr;
        size_t Piece = 0;
        uint64_t PieceBase = 0;           // samples produced before the current piece
        uint64_t Produced = 0;            // samples handed to OnAudio so far
        std::deque<TEspeakEvent> Pending; // events whose sample is not yet reached
        size_t LastWordPiece = SIZE_MAX;  // where the last word reported stands
        int32_t LastWordPosition = 0;
    };

    void Initialise();
    void RunJob(TJobRecord& record);
    bool SynthesisePiece(TRun& run, const TEspeakPiece& piece);
    bool DeliverSilence(TRun& run, uint64_t count);
    // Hands audio out, splitting it at pending events; false when cancelled.
    bool DeliverAudio(TRun& run, const int16_t* samples, size_t count);
    void FlushEvents(TRun& run);
    bool WaitForRoom(TRun& run);
    // Called by espeak-ng on the worker; returns 1 to abort the synthesis.
    int OnSynth(const int16_t* wav, int count, const void* events);
    friend struct TEspeakCallback;

    // Written by the worker before the constructor returns, then fixed.
    bool FInitialised = false;
    int FSampleRate = 22050;
    std::vector<TEspeakVoiceInfo> FVoices;

    // Worker thread only.
    std::string FCurrentVoice;
    bool FVoiceSet = false;
    TRun* FRun = nullptr;

    // Last: its worker stops before anything it uses goes.
    TSynthesisQueue<TEspeakJob> FJobs;
};

} // namespace parlino
