#include "platform/linux/TEspeakEngine.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>

namespace parlino {

// espeak-ng's callback has no context argument of its own; the one engine of
// the process registers itself here before its first synthesis.
struct TEspeakCallback {
    static inline TEspeakEngine* Engine = nullptr;
    static int Call(short* wav, int count, espeak_EVENT* events) {
        return Engine ? Engine->OnSynth(wav, count, events) : 1;
    }
};

namespace {

// espeak-ng hands out audio in chunks of this length (milliseconds).
constexpr int ChunkMs = 50;
constexpr size_t SilenceChunk = 1024;

} // namespace

std::shared_ptr<TEspeakEngine> TEspeakEngine::Shared() {
    // The process's engine is never destroyed: the last reference to it may
    // be dropped on its own worker thread (by a finished job's callbacks),
    // which could then not join itself. The worker simply ends with the process.
    static TEspeakEngine* const engine = new TEspeakEngine;
    return std::shared_ptr<TEspeakEngine>(std::shared_ptr<TEspeakEngine>(), engine);
}

TEspeakEngine::TEspeakEngine() {
    FJobs.Start([this] { Initialise(); }, [this](TJobRecord& record) { RunJob(record); },
                [this] {
                    if (FInitialised) {
                        espeak_Terminate();
                        TEspeakCallback::Engine = nullptr;
                    }
                });
}

TEspeakEngine::~TEspeakEngine() = default;

void TEspeakEngine::Initialise() {
    const int rate =
        espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, ChunkMs, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (rate <= 0)
        return;
    FSampleRate = rate;
    FInitialised = true;
    TEspeakCallback::Engine = this;
    espeak_SetSynthCallback(&TEspeakCallback::Call);

    std::string defaultName;
    if (espeak_SetVoiceByName("en") == EE_OK) {
        if (const espeak_VOICE* current = espeak_GetCurrentVoice(); current && current->name)
            defaultName = current->name;
    }
    const espeak_VOICE** list = espeak_ListVoices(nullptr);
    for (size_t i = 0; list && list[i]; ++i) {
        const espeak_VOICE* voice = list[i];
        if (!voice->name)
            continue;
        TEspeakVoiceInfo info;
        info.Name = voice->name;
        // The language list is a priority byte, then a name, per entry.
        if (voice->languages && voice->languages[0])
            info.Language = voice->languages + 1;
        if (voice->identifier)
            info.Identifier = voice->identifier;
        FVoices.push_back(std::move(info));
    }
    auto isDefault = [&](const TEspeakVoiceInfo& v) { return v.Name == defaultName; };
    if (auto it = std::find_if(FVoices.begin(), FVoices.end(), isDefault); it != FVoices.end())
        std::rotate(FVoices.begin(), it, it + 1);
}

uint64_t TEspeakEngine::Submit(TEspeakJob job, bool first) {
    return first ? FJobs.SubmitAhead(std::move(job)) : FJobs.Submit(std::move(job));
}

void TEspeakEngine::Cancel(uint64_t jobId) { FJobs.Cancel(jobId); }

void TEspeakEngine::Hurry(uint64_t jobId) { FJobs.Hurry(jobId); }

void TEspeakEngine::Played(uint64_t jobId, uint64_t samples) { FJobs.Played(jobId, samples); }

void TEspeakEngine::RunJob(TJobRecord& record) {
    TRun run;
    run.Record = &record;
    FRun = &run;
    bool completed = !record.Cancelled;
    if (FInitialised) {
        for (size_t i = 0; completed && i < record.Job.Pieces.size(); ++i) {
            run.Piece = i;
            completed = SynthesisePiece(run, record.Job.Pieces[i]) && !record.Cancelled;
        }
    }
    FRun = nullptr;
    if (record.Job.OnFinished)
        record.Job.OnFinished(completed && !record.Cancelled);
}

bool TEspeakEngine::SynthesisePiece(TRun& run, const TEspeakPiece& piece) {
    if (piece.SilenceMs > 0 &&
        !DeliverSilence(run, uint64_t(piece.SilenceMs) * uint64_t(FSampleRate) / 1000))
        return false;
    if (piece.Utf8Text.empty())
        return true;

    const std::string& wanted =
        piece.VoiceName.empty() && !FVoices.empty() ? FVoices.front().Name : piece.VoiceName;
    if (!FVoiceSet || wanted != FCurrentVoice) {
        if (espeak_SetVoiceByName(wanted.c_str()) != EE_OK && !FVoices.empty())
            espeak_SetVoiceByName(FVoices.front().Name.c_str());
        FCurrentVoice = wanted;
        FVoiceSet = true;
    }
    // A voice change resets the parameters, so they are set for every piece.
    espeak_SetParameter(espeakRATE,
                        std::clamp(piece.WordsPerMinute, MinWordsPerMinute, MaxWordsPerMinute), 0);
    espeak_SetParameter(espeakPITCH, std::clamp(piece.Pitch, 0, 100), 0);
    espeak_SetParameter(espeakVOLUME, std::clamp(piece.Amplitude, 0, 200), 0);

    run.PieceBase = run.Produced;
    run.Pending.clear();
    espeak_Synth(piece.Utf8Text.c_str(), piece.Utf8Text.size() + 1, 0, POS_CHARACTER, 0,
                 espeakCHARS_UTF8 | (piece.EndPause ? espeakENDPAUSE : 0), nullptr, nullptr);
    if (run.Record->Cancelled)
        return false;
    FlushEvents(run);
    return true;
}

int TEspeakEngine::OnSynth(const int16_t* wav, int count, const void* eventList) {
    if (!FRun)
        return 1;
    TRun& run = *FRun;
    if (run.Record->Cancelled)
        return 1;
    for (auto* event = static_cast<const espeak_EVENT*>(eventList);
         event && event->type != espeakEVENT_LIST_TERMINATED; ++event) {
        if (event->type != espeakEVENT_WORD && event->type != espeakEVENT_SENTENCE)
            continue;
        TEspeakEvent out;
        out.Kind =
            event->type == espeakEVENT_WORD ? TEspeakEventKind::Word : TEspeakEventKind::Sentence;
        out.Piece = run.Piece;
        out.TextPosition = std::max(0, event->text_position - 1); // espeak-ng counts from 1
        out.Length = std::max(0, event->length);
        out.Sample = run.PieceBase +
                     uint64_t(std::max(0, event->audio_position)) * uint64_t(FSampleRate) / 1000;
        // Words come in text order. After a synthesis was aborted espeak-ng
        // may report a stray word from the start of the text at the end of
        // the next one; it is dropped.
        if (out.Kind == TEspeakEventKind::Word) {
            if (run.LastWordPiece == run.Piece && out.TextPosition < run.LastWordPosition)
                continue;
            run.LastWordPiece = run.Piece;
            run.LastWordPosition = out.TextPosition;
        }
        if (!run.Pending.empty())
            out.Sample = std::max(out.Sample, run.Pending.back().Sample);
        run.Pending.push_back(out);
    }
    if (wav && count > 0 && !DeliverAudio(run, wav, size_t(count)))
        return 1;
    return run.Record->Cancelled ? 1 : 0;
}

bool TEspeakEngine::DeliverAudio(TRun& run, const int16_t* samples, size_t count) {
    const TEspeakJob& job = run.Record->Job;
    auto deliverDue = [&] {
        while (!run.Pending.empty() && run.Pending.front().Sample <= run.Produced) {
            TEspeakEvent event = run.Pending.front();
            run.Pending.pop_front();
            event.Sample = run.Produced;
            if (job.OnEvent)
                job.OnEvent(event);
        }
    };
    size_t done = 0;
    while (done < count) {
        deliverDue();
        size_t take = count - done;
        if (!run.Pending.empty())
            take = std::min<uint64_t>(take, run.Pending.front().Sample - run.Produced);
        if (job.OnAudio)
            job.OnAudio(samples + done, take);
        done += take;
        run.Produced += take;
    }
    deliverDue();
    return WaitForRoom(run);
}

bool TEspeakEngine::DeliverSilence(TRun& run, uint64_t count) {
    static const int16_t zeros[SilenceChunk] = {};
    while (count > 0) {
        const size_t take = size_t(std::min<uint64_t>(count, SilenceChunk));
        if (!DeliverAudio(run, zeros, take) || run.Record->Cancelled)
            return false;
        count -= take;
    }
    return true;
}

void TEspeakEngine::FlushEvents(TRun& run) {
    const TEspeakJob& job = run.Record->Job;
    while (!run.Pending.empty()) {
        TEspeakEvent event = run.Pending.front();
        run.Pending.pop_front();
        event.Sample = run.Produced;
        if (job.OnEvent)
            job.OnEvent(event);
    }
}

bool TEspeakEngine::WaitForRoom(TRun& run) { return FJobs.WaitForRoom(*run.Record, run.Produced); }

} // namespace parlino
