#include "platform/linux/TFliteCentral.h"

#include "platform/Exceptions.h"
#include "platform/linux/TWavFileStream.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace parlino {
namespace {

// Synthesis runs at most this far ahead of what has been heard; marks report
// the heard position for that this many times a second.
constexpr int AheadSeconds = 3;
constexpr int ProgressMarksPerSecond = 4;

uint64_t TimeStamp() {
    return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

double Gain(uint32_t volume) {
    const double left = volume & 0xFFFFu, right = volume >> 16;
    return (left + right) / (2.0 * 65535.0);
}

// An attribute read: the value into `out`, which the caller must give.
template <typename T> HRESULT Report(T* out, T value) {
    if (!out) return E_INVALIDARG;
    *out = value;
    return S_OK;
}

} // namespace

HRESULT TFliteMultiMediaDevice::DeviceNumSet(uint32_t deviceNumber) {
    DeviceIndex = deviceNumber == 0xFFFFFFFFu || deviceNumber > 0x7FFFFFFFu ? -1 : static_cast<int>(deviceNumber);
    return S_OK;
}

TFliteAudioFile::TFliteAudioFile() : FFile(std::make_unique<TWavFileStream>()) {}
TFliteAudioFile::~TFliteAudioFile() = default;

HRESULT TFliteAudioFile::Set(const std::string& fileName, uint32_t) {
    try {
        WideString wide;
        for (char c : fileName) wide += static_cast<char16_t>(static_cast<unsigned char>(c));
        FFile->Open(wide, 3, false);
        return S_OK;
    } catch (const std::exception&) {
        return E_FAIL;
    }
}

HRESULT TFliteAudioFile::RealTimeSet(uint16_t realTime) {
    RealTime = realTime;
    return S_OK;
}

HRESULT TFliteAudioFile::Flush() {
    FFile->Flush();
    return S_OK;
}

// One TextData's way from the worker (audio, words) and the audio thread
// (marks heard, drain, failure) to the program's thread.
struct TFliteCentral::TText : std::enable_shared_from_this<TText> {
    struct TItem {
        enum TKind { Audio, Word, Bookmark, Finished } Kind;
        std::vector<int16_t> Samples;
        uint32_t Value = 0;
    };
    struct TMark {
        enum TKind { Progress, Word, Bookmark } Kind;
        uint64_t Sample = 0;
        uint32_t Value = 0;
    };

    // Fixed once submitted.
    IEventPoster* Poster = nullptr;
    std::shared_ptr<TFliteEngine> Engine;
    std::atomic<uint64_t> JobId{0};
    std::shared_ptr<ITTSBufNotifySink> Sink;
    int Device = -1;
    TWavFileStream* File = nullptr;
    int Rate = 16000;

    // Program's thread only.
    TFliteCentral* Owner = nullptr; // null once closed
    std::unique_ptr<IAudioStream> Audio;
    bool Playing = false; // the output is open: this text is the one heard
    uint64_t Written = 0, NextProgress = 0;

    // Shared, under Lock.
    std::mutex Lock;
    bool Closed = false;
    bool PumpPosted = false;
    std::vector<TItem> Items;
    std::vector<TMark> Marks;

    template <typename F> void Post(F work) {
        Poster->Post([weak = weak_from_this(), work = std::move(work)] {
            auto self = weak.lock();
            if (self && self->Owner) work(*self->Owner, self);
        });
    }
    // Worker thread: queue an item and make sure a pump is on its way.
    void Queue(TItem item) {
        std::lock_guard lock(Lock);
        if (Closed) return;
        if (item.Kind == TItem::Audio && !Items.empty() && Items.back().Kind == TItem::Audio)
            Items.back().Samples.insert(Items.back().Samples.end(), item.Samples.begin(), item.Samples.end());
        else
            Items.push_back(std::move(item));
        if (!PumpPosted) {
            PumpPosted = true;
            Post([](TFliteCentral& central, const std::shared_ptr<TText>& self) { central.Pump(self); });
        }
    }
    uint64_t AddMark(const TMark& mark) {
        std::lock_guard lock(Lock);
        Marks.push_back(mark);
        return Marks.size() - 1;
    }
};

// One text synthesised ahead. Its audio and words gather here until a
// TextData of the same text takes it; from then on they go straight to that
// text as they come.
struct TFliteCentral::TClip {
    // Fixed once submitted (program's thread).
    std::string Text;
    uint32_t Flags = 0;
    TTSProsody Prosody;
    double Factor = 1.0;
    uint64_t Id = 0, JobId = 0;
    std::shared_ptr<ITTSPreparedNotifySink> Sink;

    // Shared with the worker, under Lock.
    std::mutex Lock;
    bool Dropped = false; // discarded: nothing more is kept or reported
    bool Reported = false; // its length went to the sink
    std::vector<TText::TItem> Items;
    std::shared_ptr<TText> Consumer; // the text that plays it, once taken
    uint64_t Samples = 0;            // synthesised so far
    uint64_t AudibleEnd = 0;         // after the last sample that is heard

    // Worker thread.
    void Add(TText::TItem item) {
        std::lock_guard lock(Lock);
        if (Dropped) return;
        if (item.Kind == TText::TItem::Audio) {
            for (size_t i = 0; i < item.Samples.size(); ++i)
                if (std::abs(int(item.Samples[i])) >= AudibleLevel) AudibleEnd = Samples + i + 1;
            Samples += item.Samples.size();
        }
        if (Consumer) Consumer->Queue(std::move(item));
        else if (item.Kind == TText::TItem::Audio && !Items.empty() && Items.back().Kind == TText::TItem::Audio)
            Items.back().Samples.insert(Items.back().Samples.end(), item.Samples.begin(), item.Samples.end());
        else Items.push_back(std::move(item));
    }
    // The spoken length: to the last sound heard, or the whole audio when
    // none is (volume 0).
    uint64_t DurationMs(int rate) {
        std::lock_guard lock(Lock);
        const uint64_t end = AudibleEnd ? AudibleEnd : Samples;
        return rate > 0 ? (end * 1000 + uint64_t(rate) / 2) / uint64_t(rate) : 0;
    }
    // Quieter samples are the fading end of a sound, not speech.
    static constexpr int AudibleLevel = 100;
};

TFliteCentral::TFliteCentral(IAudioOutput& audio, IEventPoster& poster, std::shared_ptr<TFliteEngine> engine,
                             size_t voice, int outputRate, std::shared_ptr<IAudioDestination> destination,
                             const ITextCodec* codec)
    : FAudio(audio), FPoster(poster), FEngine(std::move(engine)), FVoice(voice), FOutputRate(outputRate),
      FDevice(std::dynamic_pointer_cast<TFliteMultiMediaDevice>(destination)),
      FFile(std::dynamic_pointer_cast<TFliteAudioFile>(destination)), FTextReader(codec) {
    const TFliteVoiceInfo& info = FEngine->Voices().at(voice);
    FLimits.MinSpeed = TFliteEngine::MinWordsPerMinute;
    FLimits.MaxSpeed = TFliteEngine::MaxWordsPerMinute;
    FLimits.MinPitch = TFliteEngine::MinPitchHz;
    FLimits.MaxPitch = TFliteEngine::MaxPitchHz;
    FLimits.Defaults.Speed = TFliteEngine::NormalWordsPerMinute;
    FLimits.Defaults.Pitch = info.NormalPitch;
    FLimits.Defaults.Volume = 0xFFFFFFFFu;
    FProsody = FLimits.Defaults;
}

TFliteCentral::~TFliteCentral() {
    for (auto& text : std::deque<std::shared_ptr<TText>>(FTexts)) Close(text);
    DiscardPrepared();
}

HRESULT TFliteCentral::Inject(const char* tags) {
    if (!tags) return E_INVALIDARG;
    ParseControlTags(tags, true, FProsody, FLimits); // only the parameters count here
    return S_OK;
}

int TFliteCentral::TextRate() const {
    return FOutputRate > 0 ? FOutputRate : FEngine->Voices()[FVoice].SampleRate;
}

TFliteJob TFliteCentral::MakeJob(const std::string& text, uint32_t flags, TTSProsody& prosody,
                                 std::shared_ptr<const TFliteText>& spoken) const {
    TFliteJob job;
    job.Voice = FVoice;
    job.OutputRate = TextRate();
    job.RateFactor = FSpeedFactor;
    auto read = std::make_shared<TFliteText>(FTextReader.Read(text));
    spoken = read;
    for (const TTSTextPiece& piece :
         ParseControlTags(read->Text, (flags & TTSDATAFLAG_TAGGED) != 0, prosody, FLimits)) {
        TFlitePiece p;
        p.Text = piece.Text;
        p.Offset = piece.Offset;
        p.SilenceMs = piece.SilenceMs;
        p.Bookmark = piece.Bookmark;
        p.WordsPerMinute = piece.Prosody.Speed;
        p.PitchHz = piece.Prosody.Pitch;
        p.Gain = Gain(piece.Prosody.Volume);
        job.Pieces.push_back(std::move(p));
    }
    return job;
}

HRESULT TFliteCentral::TextData(uint32_t characterSet, uint32_t flags, const char* data, uint32_t size,
                                std::shared_ptr<ITTSBufNotifySink> sink, const TGUID&) {
    if (characterSet != CHARSET_TEXT || !data) return E_INVALIDARG;
    if (!FDevice && !FFile) return E_UNEXPECTED;
    if (FFile && !FFile->File().IsOpen()) return E_UNEXPECTED;
    const std::string text(data, strnlen(data, size));
    flags &= TTSDATAFLAG_TAGGED;
    auto item = std::make_shared<TText>();
    item->Poster = &FPoster;
    item->Engine = FEngine;
    item->Sink = std::move(sink);
    item->Owner = this;
    item->Rate = TextRate();
    item->NextProgress = uint64_t(item->Rate / ProgressMarksPerSecond);
    if (FFile) item->File = &FFile->File();
    else item->Device = FDevice->DeviceIndex;

    // Matched with the parameters in force before the text's own tags move them.
    const std::shared_ptr<TClip> clip = item->File ? nullptr : TakePrepared(text, flags);
    std::shared_ptr<const TFliteText> spoken;
    TFliteJob job = MakeJob(text, flags, FProsody, spoken);
    if (clip) {
        // What is synthesised already is there at once, the rest follows.
        item->JobId = clip->JobId;
        {
            std::scoped_lock lock(clip->Lock, item->Lock);
            item->Items = std::move(clip->Items);
            clip->Consumer = item;
        }
        FEngine->Hurry(clip->JobId);
    } else {
        job.AheadLimit = item->File ? 0 : uint64_t(AheadSeconds) * uint64_t(item->Rate);
        using TItem = TText::TItem;
        job.OnAudio = [item](const int16_t* samples, size_t count) {
            item->Queue({TItem::Audio, std::vector<int16_t>(samples, samples + count), 0});
        };
        job.OnWord = [item, spoken](uint32_t offset) {
            item->Queue({TItem::Word, {}, spoken->SourceOffset(offset)});
        };
        job.OnBookmark = [item](uint32_t mark) { item->Queue({TItem::Bookmark, {}, mark}); };
        job.OnFinished = [item](bool) { item->Queue({TItem::Finished, {}, 0}); };
        // Someone waits to hear it: it goes before texts prepared ahead.
        item->JobId = FEngine->SubmitAhead(std::move(job));
    }
    FTexts.push_back(item);
    if (FTexts.size() == 1) Start(item);
    return S_OK;
}

void TFliteCentral::Start(const std::shared_ptr<TText>& text) {
    text->Playing = true;
    if (!text->File) {
        std::weak_ptr<TText> weak = text;
        TAudioStreamEvents events;
        // Audio thread.
        events.OnMarkPlayed = [weak](uint64_t id) {
            auto self = weak.lock();
            if (!self) return;
            TText::TMark mark;
            {
                std::lock_guard lock(self->Lock);
                if (self->Closed || id >= self->Marks.size()) return;
                mark = self->Marks[id];
            }
            self->Engine->Played(self->JobId, mark.Sample);
            if (mark.Kind != TText::TMark::Progress)
                self->Post([id](TFliteCentral& central, const std::shared_ptr<TText>& s) { central.Heard(s, id); });
        };
        events.OnDrained = [weak] {
            if (auto self = weak.lock())
                self->Post([](TFliteCentral& central, const std::shared_ptr<TText>& s) { central.End(s); });
        };
        events.OnFailed = [weak](const std::string&) {
            if (auto self = weak.lock())
                self->Post([](TFliteCentral& central, const std::shared_ptr<TText>& s) { central.End(s); });
        };
        try {
            text->Audio = FAudio.OpenStream(text->Device, TAudioFormat{text->Rate, 1}, std::move(events));
        } catch (const std::exception&) {
            // No such device: the text ends without sound once synthesised.
        }
        if (text->Audio && FPaused) text->Audio->Pause();
    } else if (text->File->SamplesWritten() == 0) {
        text->File->SetSampleRate(text->Rate);
    }
    Pump(text);
}

void TFliteCentral::Pump(const std::shared_ptr<TText>& text) {
    std::vector<TText::TItem> items;
    {
        std::lock_guard lock(text->Lock);
        text->PumpPosted = false;
        if (!text->Playing) return; // kept until the texts before it are heard
        items.swap(text->Items);
    }
    for (auto& item : items) {
        if (!text->Owner) return; // a sink reset the engine meanwhile
        switch (item.Kind) {
        case TText::TItem::Audio:
            if (!FAudioRunning) {
                FAudioRunning = true;
                ReportPendingStop(); // the reset audio's end comes before the new start
                NotifyStart();
                if (!text->Owner) return;
            }
            WriteAudio(*text, item.Samples.data(), item.Samples.size());
            break;
        case TText::TItem::Word:
        case TText::TItem::Bookmark: {
            const auto kind = item.Kind == TText::TItem::Word ? TText::TMark::Word : TText::TMark::Bookmark;
            if (text->File || !text->Audio) {
                // A file is "heard" as it is written.
                const uint64_t id = text->AddMark({kind, text->Written, item.Value});
                Heard(text, id);
            } else {
                text->Audio->Mark(text->AddMark({kind, text->Written, item.Value}));
            }
            break;
        }
        case TText::TItem::Finished:
            Finish(text);
            break;
        }
    }
}

void TFliteCentral::WriteAudio(TText& text, const int16_t* samples, size_t count) {
    if (text.File) {
        text.File->Write(samples, count);
        text.Written += count;
        return;
    }
    if (!text.Audio) return;
    const uint64_t interval = uint64_t(text.Rate / ProgressMarksPerSecond);
    size_t done = 0;
    while (done < count) {
        const size_t take = size_t(std::min<uint64_t>(count - done, text.NextProgress - text.Written));
        text.Audio->Write(samples + done, take);
        done += take;
        text.Written += take;
        if (text.Written >= text.NextProgress) {
            text.Audio->Mark(text.AddMark({TText::TMark::Progress, text.Written, 0}));
            text.NextProgress += interval;
        }
    }
}

void TFliteCentral::Heard(const std::shared_ptr<TText>& text, uint64_t id) {
    TText::TMark mark;
    {
        std::lock_guard lock(text->Lock);
        if (id >= text->Marks.size()) return;
        mark = text->Marks[id];
    }
    if (!text->Sink) return;
    if (mark.Kind == TText::TMark::Word) text->Sink->WordPosition(TimeStamp(), mark.Value);
    else if (mark.Kind == TText::TMark::Bookmark) text->Sink->BookMark(TimeStamp(), mark.Value);
}

void TFliteCentral::Finish(const std::shared_ptr<TText>& text) {
    if (text->File) {
        text->File->Flush();
        End(text);
    } else if (!text->Audio || text->Written == 0) {
        End(text); // nothing to play, nothing to wait for
    } else {
        text->Audio->Drain();
    }
}

void TFliteCentral::End(const std::shared_ptr<TText>& text) {
    if (FTexts.empty() || FTexts.front() != text) return;
    std::shared_ptr<ITTSBufNotifySink> sink = text->Sink;
    Close(text);
    if (sink) sink->TextDataDone(TimeStamp(), 0);
    if (!FTexts.empty()) {
        Start(FTexts.front());
    } else if (FAudioRunning) {
        FAudioRunning = false;
        NotifyStop();
    }
}

void TFliteCentral::Close(const std::shared_ptr<TText>& text) {
    {
        std::lock_guard lock(text->Lock);
        text->Closed = true;
        text->Items.clear();
    }
    text->Owner = nullptr;
    FEngine->Cancel(text->JobId);
    text->Audio.reset(); // silent at once
    std::erase(FTexts, text);
}

HRESULT TFliteCentral::AudioPause() {
    FPaused = true;
    if (!FTexts.empty() && FTexts.front()->Audio) FTexts.front()->Audio->Pause();
    return S_OK;
}

HRESULT TFliteCentral::AudioResume() {
    FPaused = false;
    if (!FTexts.empty() && FTexts.front()->Audio) FTexts.front()->Audio->Resume();
    return S_OK;
}

HRESULT TFliteCentral::AudioReset() {
    for (auto& text : std::deque<std::shared_ptr<TText>>(FTexts)) Close(text);
    FPaused = false;
    if (FAudioRunning) {
        // Reported later, on the program's thread, like every notification.
        FAudioRunning = false;
        FStopPending = true;
        FPoster.Post([weak = weak_from_this()] {
            if (auto self = weak.lock()) self->ReportPendingStop();
        });
    }
    return S_OK;
}

void TFliteCentral::ReportPendingStop() {
    if (!FStopPending) return;
    FStopPending = false;
    NotifyStop();
}

HRESULT TFliteCentral::SpeedFactorSet(double factor) {
    FSpeedFactor = std::isfinite(factor) ? std::clamp(factor, 1.0, 3.0) : 1.0;
    return S_OK;
}

HRESULT TFliteCentral::SpeedFactorGet(double* factor) { return Report(factor, FSpeedFactor); }

HRESULT TFliteCentral::Prepare(uint32_t characterSet, uint32_t flags, const char* data, uint32_t size,
                               std::shared_ptr<ITTSPreparedNotifySink> sink, uint64_t* id) {
    if (!id) return E_INVALIDARG;
    *id = 0;
    if (characterSet != CHARSET_TEXT || !data) return E_INVALIDARG;
    if (!FDevice) return E_UNEXPECTED; // a file is written as it is spoken
    auto clip = std::make_shared<TClip>();
    clip->Text.assign(data, strnlen(data, size));
    clip->Flags = flags & TTSDATAFLAG_TAGGED;
    clip->Prosody = FProsody;
    clip->Factor = FSpeedFactor;
    clip->Id = FNextPrepareId++;
    clip->Sink = std::move(sink);
    TTSProsody prosody = FProsody; // the text's tags act when it is spoken
    std::shared_ptr<const TFliteText> spoken;
    TFliteJob job = MakeJob(clip->Text, clip->Flags, prosody, spoken);
    using TItem = TText::TItem;
    job.OnAudio = [clip](const int16_t* samples, size_t count) {
        clip->Add({TItem::Audio, std::vector<int16_t>(samples, samples + count), 0});
    };
    job.OnWord = [clip, spoken](uint32_t offset) { clip->Add({TItem::Word, {}, spoken->SourceOffset(offset)}); };
    job.OnBookmark = [clip](uint32_t mark) { clip->Add({TItem::Bookmark, {}, mark}); };
    job.OnFinished = [clip, poster = &FPoster, weak = weak_from_this()](bool completed) {
        clip->Add({TItem::Finished, {}, 0});
        if (completed)
            poster->Post([clip, weak] {
                if (auto self = weak.lock()) self->ReportPrepared(clip);
            });
    };
    clip->JobId = FEngine->Submit(std::move(job));
    FClips.push_back(clip);
    while (FClips.size() > MaxPrepared) {
        // One not yet reported is reported as dropped, so that nobody waits for it.
        auto dropped = FClips.front();
        FClips.pop_front();
        bool reported = false;
        {
            std::lock_guard lock(dropped->Lock);
            reported = dropped->Reported;
        }
        Drop(dropped);
        if (!reported && dropped->Sink)
            FPoster.Post([sink = dropped->Sink, id = dropped->Id] { sink->Dropped(id); });
    }
    *id = clip->Id;
    return S_OK;
}

HRESULT TFliteCentral::DiscardPrepared() {
    for (auto& clip : FClips) Drop(clip);
    FClips.clear();
    return S_OK;
}

std::shared_ptr<TFliteCentral::TClip> TFliteCentral::TakePrepared(const std::string& text, uint32_t flags) {
    const auto found = std::find_if(FClips.begin(), FClips.end(), [&](const std::shared_ptr<TClip>& clip) {
        return clip->Text == text && clip->Flags == flags && clip->Prosody == FProsody &&
               clip->Factor == FSpeedFactor;
    });
    if (found == FClips.end()) return nullptr;
    auto clip = *found;
    FClips.erase(found);
    return clip;
}

void TFliteCentral::Drop(const std::shared_ptr<TClip>& clip) {
    {
        std::lock_guard lock(clip->Lock);
        clip->Dropped = true;
        clip->Items.clear();
    }
    FEngine->Cancel(clip->JobId);
}

void TFliteCentral::ReportPrepared(const std::shared_ptr<TClip>& clip) {
    {
        std::lock_guard lock(clip->Lock);
        if (clip->Dropped) return;
        clip->Reported = true;
    }
    if (clip->Sink) clip->Sink->Prepared(clip->Id, clip->DurationMs(TextRate()));
}

HRESULT TFliteCentral::Register(std::shared_ptr<ITTSNotifySinkA> sink, const TGUID& sinkInterface, uint32_t* key) {
    if (!sink || !key || !(sinkInterface == IID_ITTSNotifySinkA)) return E_INVALIDARG;
    *key = FNextKey++;
    FSinks[*key] = std::move(sink);
    return S_OK;
}

HRESULT TFliteCentral::UnRegister(uint32_t key) { return FSinks.erase(key) ? S_OK : E_INVALIDARG; }

void TFliteCentral::NotifyStart() {
    auto sinks = FSinks;
    for (auto& [key, sink] : sinks) sink->AudioStart(TimeStamp());
}

void TFliteCentral::NotifyStop() {
    auto sinks = FSinks;
    for (auto& [key, sink] : sinks) sink->AudioStop(TimeStamp());
}

HRESULT TFliteCentral::PitchGet(uint16_t* pitch) { return Report(pitch, FProsody.Pitch); }

HRESULT TFliteCentral::PitchSet(uint16_t pitch) {
    FProsody.Pitch = std::clamp(pitch, FLimits.MinPitch, FLimits.MaxPitch);
    return S_OK;
}

HRESULT TFliteCentral::RealTimeGet(uint32_t* realTime) { return Report(realTime, FRealTime); }

HRESULT TFliteCentral::RealTimeSet(uint32_t realTime) {
    FRealTime = std::clamp(realTime, MinRealTime, MaxRealTime);
    return S_OK;
}

HRESULT TFliteCentral::SpeedGet(uint32_t* speed) { return Report(speed, FProsody.Speed); }

HRESULT TFliteCentral::SpeedSet(uint32_t speed) {
    FProsody.Speed = std::clamp(speed, FLimits.MinSpeed, FLimits.MaxSpeed);
    return S_OK;
}

HRESULT TFliteCentral::VolumeGet(uint32_t* volume) { return Report(volume, FProsody.Volume); }

HRESULT TFliteCentral::VolumeSet(uint32_t volume) {
    FProsody.Volume = volume;
    return S_OK;
}

} // namespace parlino
