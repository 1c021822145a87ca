#pragma once
// One Speak of the espeak-ng voice on its way to the listener: the audio and
// word events the worker synthesised, the marks stamped with their audio
// position that the audio thread reports as heard, and the posting of all of
// it to the program's thread. Only the voice's own source includes this.

#include "platform/linux/TEspeakVoice.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace parlino {

// One Speak's way from the worker (audio, events) and the audio thread
// (marks heard, drain, failure) to the program's thread.
struct TEspeakSpeechVoice::TStream : std::enable_shared_from_this<TStream> {
    struct TItem {
        enum TKind { Audio, Word, Finished } Kind;
        std::vector<int16_t> Samples;
        TEspeakEvent Event;
    };
    struct TMark {
        uint64_t Sample = 0;
        bool Word = false;
        int32_t Position = 0, Length = 0;
    };

    // Set before the job starts, then fixed.
    int32_t Number = 0;
    std::vector<TSpeechRun> Runs;
    IEventPoster* Poster = nullptr;
    std::shared_ptr<TEspeakEngine> Engine;
    std::atomic<uint64_t> JobId{0};
    double RateFactor = 1.0;
    // Synthesised ahead (Prepare): the id it was prepared under; 0 for a
    // stream that Speak started.
    uint64_t PrepareId = 0;

    // Worker thread: samples synthesised so far.
    std::atomic<uint64_t> Synthesised{0};

    // Program's thread only.
    TEspeakSpeechVoice* Owner = nullptr; // null once closed
    std::unique_ptr<IAudioStream> Audio;
    TWavFileStream* File = nullptr;
    uint64_t Written = 0;
    uint64_t NextProgress = 0;
    bool Started = false;
    bool Reported = false; // synthesised ahead: its length was reported

    // Shared, under Lock.
    std::mutex Lock;
    bool Closed = false;
    bool PumpPosted = false;
    std::vector<TItem> Items;
    std::vector<TMark> Marks;

    // Runs `work` on the program's thread unless the stream is closed by then.
    // Caller holds Lock.
    void
    PostLocked(std::function<void(TEspeakSpeechVoice&, const std::shared_ptr<TStream>&)> work) {
        Poster->Post([weak = weak_from_this(), work = std::move(work)] {
            auto self = weak.lock();
            if (self && self->Owner)
                work(*self->Owner, self);
        });
    }
    void Post(std::function<void(TEspeakSpeechVoice&, const std::shared_ptr<TStream>&)> work) {
        std::lock_guard lock(Lock);
        if (!Closed)
            PostLocked(std::move(work));
    }
    // Worker thread: queue an item and make sure a pump is on its way.
    template <typename F> void Queue(F&& fill) {
        std::lock_guard lock(Lock);
        if (Closed)
            return;
        fill(Items);
        if (!PumpPosted) {
            PumpPosted = true;
            PostLocked([](TEspeakSpeechVoice& voice, const std::shared_ptr<TStream>& self) {
                voice.Pump(self);
            });
        }
    }
    uint64_t AddMark(const TMark& mark) {
        std::lock_guard lock(Lock);
        Marks.push_back(mark);
        return Marks.size() - 1;
    }
};

} // namespace parlino
