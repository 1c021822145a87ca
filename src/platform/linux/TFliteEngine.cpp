#include "platform/linux/TFliteEngine.h"

#include <flite/flite.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

extern "C" {
cst_voice* register_cmu_us_kal(const char* voxdir);
cst_voice* register_cmu_us_kal16(const char* voxdir);
cst_voice* register_cmu_us_awb(const char* voxdir);
cst_voice* register_cmu_us_rms(const char* voxdir);
cst_voice* register_cmu_us_slt(const char* voxdir);
}

namespace parlino {

namespace {
// How much of the voice's opening pause TrimLeading keeps: a moment at a seam,
// more after a clause's end.
constexpr int SeamKeepMs = 20;
constexpr int ClausePauseKeepMs = 160;
} // namespace

struct TFliteEngine::TRun {
    TFliteEngine* Engine = nullptr;
    TJobRecord* Record = nullptr;
    const TFlitePiece* Piece = nullptr;
    int InputRate = 16000, OutputRate = 16000;
    uint64_t Consumed = 0;      // samples of the voice's rate synthesised in this job
    uint64_t Produced = 0;      // samples handed out, at the output rate
    int16_t Previous = 0;       // the last sample consumed, for interpolation
    uint64_t InputBase = 0;     // input samples skipped before the first output sample
    bool TrimLeading = true;    // nothing heard of the job yet
    bool AwaitOnset = true;     // the job's first sound is still to come
    uint64_t OnsetSkipped = 0;  // input samples left out while awaiting it
    uint64_t TrimUntil = 0;     // input samples before this are left out
    bool TrimTrailing = false;  // the utterance continues the same sentence
    bool PauseFollows = false;  // the next piece opens with a pause asked for
    int LeadingKeepMs = SeamKeepMs; // of the opening pause TrimLeading leaves out
    uint64_t TrimFrom = UINT64_MAX; // input samples from this one on are left out
    uint64_t UtteranceBase = 0; // samples consumed before the current utterance
    const cst_utterance* Utterance = nullptr;
    struct TWord {
        uint64_t Sample;
        uint32_t Offset;
    };
    std::deque<TWord> Words; // of the current utterance, not yet reached
    std::string_view Chunk;  // the text being synthesised
    uint32_t ChunkOffset = 0; // of Chunk in the caller's text
    size_t TokenCursor = 0;  // in Chunk, after the last token found
    std::vector<int16_t> Scaled;
};

struct TFliteCallback {
    static int Stream(const cst_wave* w, int start, int size, int, cst_audio_streaming_info* asi) {
        auto* run = static_cast<TFliteEngine::TRun*>(asi->userdata);
        if (!run || run->Record->Cancelled) return CST_AUDIO_STREAM_STOP;
        if (asi->utt != run->Utterance || start == 0) {
            run->Utterance = asi->utt;
            run->UtteranceBase = run->Consumed - static_cast<uint64_t>(std::max(0, start));
            ReadWords(*run, w->sample_rate);
        }
        if (size > 0 && !run->Engine->Deliver(*run, w->samples + start, static_cast<size_t>(size)))
            return CST_AUDIO_STREAM_STOP;
        return CST_AUDIO_STREAM_CONT;
    }

    // The words of the utterance with the sample at which each begins and the
    // byte offset of its token in the caller's text.
    static void ReadWords(TFliteEngine::TRun& run, int sampleRate) {
        run.Words.clear();
        run.TrimFrom = UINT64_MAX;
        auto* utt = const_cast<cst_utterance*>(run.Utterance);
        if (!utt) return;
        if (run.TrimTrailing) TrimClosingPause(run, *utt, sampleRate);
        const cst_relation* words = utt_relation(utt, "Word");
        if (!words) return;
        const cst_item* lastToken = nullptr;
        for (cst_item* word = relation_head(const_cast<cst_relation*>(words)); word; word = item_next(word)) {
            const cst_item* token = item_parent(item_as(word, "Token"));
            if (!token || token == lastToken) continue;
            lastToken = token;
            // Tokens come in text order, their names as written: each is
            // found in the piece's text after the one before.
            const char* name = item_feat_string(token, "name");
            const std::string_view text = run.Chunk;
            size_t begin = name && *name ? text.find(name, run.TokenCursor) : std::string::npos;
            if (begin == std::string::npos) begin = std::min(run.TokenCursor, text.size());
            else run.TokenCursor = begin + std::strlen(name);
            const float seconds = ffeature_float(word, "R:SylStructure.daughter1.daughter1.R:Segment.p.end");
            const uint64_t sample = run.UtteranceBase + static_cast<uint64_t>(std::max(0.0f, seconds) * sampleRate);
            run.Words.push_back({sample, run.ChunkOffset + static_cast<uint32_t>(begin)});
            if (run.TrimLeading) {
                // The voice opens every utterance with a pause; the first
                // one of a job is left out but for a moment, so speech
                // starts as soon as it is asked for.
                const uint64_t keep = uint64_t(sampleRate) * uint64_t(run.LeadingKeepMs) / 1000;
                run.TrimUntil = sample > keep ? sample - keep : 0;
                run.TrimLeading = false;
                run.LeadingKeepMs = SeamKeepMs;
            }
        }
    }

    // The voice closes every utterance with a pause; where the next one goes
    // on with the same sentence it is left out but for a moment, so the two
    // are heard as one stretch of speech.
    static void TrimClosingPause(TFliteEngine::TRun& run, cst_utterance& utt, int sampleRate) {
        cst_relation* segments = utt_relation(&utt, "Segment");
        cst_item* last = segments ? relation_tail(segments) : nullptr;
        if (!last || std::strcmp(item_feat_string(last, "name"), "pau") != 0) return;
        const cst_item* before = item_prev(last);
        const float seconds = before ? item_feat_float(before, "end") : 0.0f;
        run.TrimFrom = run.UtteranceBase + static_cast<uint64_t>(std::max(0.0f, seconds) * sampleRate) +
                       uint64_t(sampleRate) * SeamPauseMs / 1000;
    }
    static constexpr int SeamPauseMs = 20;
};

bool EndsSentence(std::string_view text) {
    const size_t last = text.find_last_not_of(" \t\r\n\"')");
    return last != std::string_view::npos && std::strchr(".!?", text[last]) != nullptr;
}

// A sentence end or a comma, semicolon or colon.
static bool EndsClause(std::string_view text) {
    const size_t last = text.find_last_not_of(" \t\r\n\"')");
    return last != std::string_view::npos && std::strchr(".!?,;:", text[last]) != nullptr;
}

std::vector<std::pair<size_t, size_t>> SplitForSynthesis(std::string_view text, size_t maxLength, size_t firstLength) {
    std::vector<std::pair<size_t, size_t>> chunks;
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    size_t start = 0;
    while (start < text.size()) {
        size_t end = std::min(text.size(), start + (chunks.empty() && firstLength ? firstLength : maxLength));
        if (end < text.size()) {
            // The last sentence end, else clause end, else blank in reach.
            size_t cut = std::string_view::npos;
            for (const char* marks : {".!?", ",;:", ""}) {
                for (size_t i = end; i > start + 1 && cut == std::string_view::npos; --i) {
                    const char before = text[i - 1];
                    if (isBlank(text[i]) && (*marks ? std::strchr(marks, before) != nullptr : true)) cut = i;
                }
                if (cut != std::string_view::npos) break;
            }
            if (cut != std::string_view::npos) end = cut;
        }
        chunks.emplace_back(start, end - start);
        start = end;
    }
    return chunks;
}

std::shared_ptr<TFliteEngine> TFliteEngine::Shared() {
    // Never destroyed: the worker may hold the last reference.
    static TFliteEngine* const engine = new TFliteEngine;
    return std::shared_ptr<TFliteEngine>(std::shared_ptr<TFliteEngine>(), engine);
}

TFliteEngine::TFliteEngine() {
    FJobs.Start([this] { Start(); }, [this](TJobRecord& record) { RunJob(record); });
}

TFliteEngine::~TFliteEngine() = default;

// On the worker: the library and its voices.
void TFliteEngine::Start() {
    flite_init();
    struct TEntry {
        const char* Name;
        cst_voice* (*Register)(const char*);
        bool Female;
        uint16_t Pitch;
    };
    const TEntry entries[] = {
        {"kal", register_cmu_us_kal, false, 95},  {"kal16", register_cmu_us_kal16, false, 95},
        {"awb", register_cmu_us_awb, false, 120}, {"rms", register_cmu_us_rms, false, 105},
        {"slt", register_cmu_us_slt, true, 175},
    };
    for (const TEntry& e : entries) {
        cst_voice* voice = e.Register(nullptr);
        if (!voice) continue;
        auto* asi = new_audio_streaming_info();
        asi->asc = &TFliteCallback::Stream;
        asi->min_buffsize = 256;
        asi->userdata = nullptr;
        feat_set(voice->features, "streaming_info", audio_streaming_info_val(asi));
        TFliteVoiceInfo info;
        info.Name = e.Name;
        info.Female = e.Female;
        info.NormalPitch = static_cast<uint16_t>(get_param_float(voice->features, "int_f0_target_mean", e.Pitch));
        cst_wave* probe = flite_text_to_wave("", voice);
        info.SampleRate = probe && probe->sample_rate > 0 ? probe->sample_rate : 16000;
        if (probe) delete_wave(probe);
        FVoices.push_back(info);
        FVoiceHandles.push_back(voice);
        FNormalStretch.push_back(get_param_float(voice->features, "duration_stretch", 1.0f));
    }
}

uint64_t TFliteEngine::Submit(TFliteJob job) { return FJobs.Submit(std::move(job)); }

uint64_t TFliteEngine::SubmitAhead(TFliteJob job) { return FJobs.SubmitAhead(std::move(job)); }

void TFliteEngine::Hurry(uint64_t jobId) { FJobs.Hurry(jobId); }

void TFliteEngine::Cancel(uint64_t jobId) { FJobs.Cancel(jobId); }

void TFliteEngine::Played(uint64_t jobId, uint64_t samples) { FJobs.Played(jobId, samples); }

void TFliteEngine::RunJob(TJobRecord& record) {
    TRun run;
    run.Engine = this;
    run.Record = &record;
    if (record.Job.Voice < FVoices.size()) {
        run.InputRate = FVoices[record.Job.Voice].SampleRate;
        run.OutputRate = record.Job.OutputRate > 0 ? record.Job.OutputRate : run.InputRate;
    }
    bool completed = !record.Cancelled && record.Job.Voice < FVoiceHandles.size();
    bool clauseEnded = false; // the text so far ends with a clause
    for (size_t i = 0; completed && i < record.Job.Pieces.size(); ++i) {
        const TFlitePiece& piece = record.Job.Pieces[i];
        run.PauseFollows = i + 1 < record.Job.Pieces.size() && record.Job.Pieces[i + 1].SilenceMs > 0;
        // After a pause asked for at a clause's end, the voice's pauses on
        // both sides make up its own pause between clauses.
        run.LeadingKeepMs = piece.SilenceMs > 0 && clauseEnded ? ClausePauseKeepMs : SeamKeepMs;
        completed = SynthesisePiece(run, piece) && !record.Cancelled;
        if (piece.Text.find_first_not_of(" \t\r\n") != std::string::npos) clauseEnded = EndsClause(piece.Text);
    }
    if (record.Job.OnFinished) record.Job.OnFinished(completed && !record.Cancelled);
}

bool TFliteEngine::SynthesisePiece(TRun& run, const TFlitePiece& piece) {
    const TFliteJob& job = run.Record->Job;
    run.Piece = &piece;
    run.Words.clear();
    if (piece.Bookmark && job.OnBookmark) job.OnBookmark(*piece.Bookmark);
    const TFliteVoiceInfo& info = FVoices[job.Voice];
    static const int16_t zeros[1024] = {};
    // A pause asked for is kept whole; the voice's own pause that opens the
    // speech after it is left out but for a moment (the one that closes the
    // speech before it stays where a clause ends there), so the pause lasts
    // as long as asked.
    if (piece.SilenceMs > 0) {
        run.AwaitOnset = false;
        run.TrimLeading = true;
    }
    for (uint64_t left = uint64_t(piece.SilenceMs) * uint64_t(info.SampleRate) / 1000; left > 0;) {
        const size_t take = size_t(std::min<uint64_t>(left, 1024));
        if (!Deliver(run, zeros, take)) return false;
        left -= take;
    }
    if (piece.Text.find_first_not_of(" \t\r\n") == std::string::npos) return true;

    auto* voice = static_cast<cst_voice*>(FVoiceHandles[job.Voice]);
    const double wpm = std::clamp<double>(piece.WordsPerMinute, MinWordsPerMinute, MaxWordsPerMinute);
    const double factor = std::isfinite(job.RateFactor) ? std::clamp(job.RateFactor, 1.0, 3.0) : 1.0;
    feat_set_float(voice->features, "duration_stretch",
                   static_cast<float>(FNormalStretch[job.Voice] * NormalWordsPerMinute / (wpm * factor)));
    const float pitch = std::clamp<float>(piece.PitchHz, MinPitchHz, MaxPitchHz);
    // Both kinds of voice move their pitch contour to this mean. (Scaling it
    // by "f0_shift" as well would move it twice: 200 Hz asked, 440 heard.)
    feat_set_float(voice->features, "int_f0_target_mean", pitch);
    cst_audio_streaming_info* asi = val_audio_streaming_info(feat_val(voice->features, "streaming_info"));
    asi->userdata = &run;
    // Flite analyses a whole utterance before its first audio, and without a
    // sentence end an utterance can be the whole text: long texts go in
    // sentence-sized chunks, so the first sound never waits for all of it.
    // Where a cut falls inside a sentence, the pauses on either side of it
    // are left out, so the listener hears no break there.
    const auto chunks = SplitForSynthesis(piece.Text, 250, run.Produced == 0 ? FirstStretchLength : 0);
    for (size_t i = 0; i < chunks.size() && !run.Record->Cancelled; ++i) {
        const auto [begin, length] = chunks[i];
        const std::string chunk = piece.Text.substr(begin, length);
        run.Chunk = chunk;
        run.ChunkOffset = piece.Offset + static_cast<uint32_t>(begin);
        run.TokenCursor = 0;
        run.Utterance = nullptr;
        run.TrimTrailing = (i + 1 < chunks.size() && !EndsSentence(chunk)) ||
                           (i + 1 == chunks.size() && run.PauseFollows && !EndsClause(chunk));
        if (i > 0 && !EndsSentence(piece.Text.substr(chunks[i - 1].first, chunks[i - 1].second)))
            run.TrimLeading = true;
        flite_text_to_speech(chunk.c_str(), voice, "none");
        run.Chunk = {};
    }
    run.TrimTrailing = false;
    run.TrimFrom = UINT64_MAX;
    asi->userdata = nullptr;
    if (run.Record->Cancelled) return false;
    // Words the audio never reached (a trailing pause cut short).
    for (const auto& word : run.Words)
        if (job.OnWord) job.OnWord(word.Offset);
    run.Words.clear();
    return true;
}

bool TFliteEngine::Deliver(TRun& run, const int16_t* samples, size_t count) {
    const TFliteJob& job = run.Record->Job;
    size_t done = 0;
    while (done < count) {
        while (!run.Words.empty() && run.Words.front().Sample <= run.Consumed) {
            if (job.OnWord) job.OnWord(run.Words.front().Offset);
            run.Words.pop_front();
        }
        size_t take = count - done;
        if (!run.Words.empty()) take = size_t(std::min<uint64_t>(take, run.Words.front().Sample - run.Consumed));
        Emit(run, samples + done, take);
        done += take;
    }
    return WaitForRoom(run);
}

void TFliteEngine::Emit(TRun& run, const int16_t* samples, size_t count) {
    if (run.Consumed < run.TrimUntil) {
        const size_t skip = size_t(std::min<uint64_t>(count, run.TrimUntil - run.Consumed));
        Skip(run, samples, skip);
        samples += skip;
        count -= skip;
    }
    if (run.AwaitOnset && count > 0) {
        // The first word's boundary is only roughly where its sound starts:
        // the silence before the first audible sample is left out too (but
        // for a moment), so a text sounds the moment its audio is played, and
        // a text prepared ahead at once.
        const uint64_t limit = uint64_t(run.InputRate) * OnsetSearchMs / 1000;
        size_t onset = 0;
        while (onset < count && std::abs(int(samples[onset])) < OnsetLevel && run.OnsetSkipped + onset < limit)
            ++onset;
        if (onset < count) run.AwaitOnset = false;
        const size_t margin = size_t(run.InputRate) * OnsetMarginMs / 1000;
        const size_t skip = run.AwaitOnset ? onset : onset - std::min(onset, margin);
        Skip(run, samples, skip);
        run.OnsetSkipped += skip;
        samples += skip;
        count -= skip;
    }
    const size_t keep = run.Consumed >= run.TrimFrom ? 0 : size_t(std::min<uint64_t>(count, run.TrimFrom - run.Consumed));
    Produce(run, samples, keep);
    Skip(run, samples + keep, count - keep);
}

// Leaves samples out of what is heard; the resampler's input position moves
// past them, so the output goes on without a jump in its phase.
void TFliteEngine::Skip(TRun& run, const int16_t* samples, size_t count) {
    if (count == 0) return;
    run.Consumed += count;
    run.InputBase += count;
    run.Previous = samples[count - 1];
}

void TFliteEngine::Produce(TRun& run, const int16_t* samples, size_t count) {
    if (count == 0) return;
    const double gain = run.Piece ? std::clamp(run.Piece->Gain, 0.0, 1.0) : 1.0;
    run.Scaled.clear();
    if (run.OutputRate == run.InputRate) {
        for (size_t i = 0; i < count; ++i)
            run.Scaled.push_back(static_cast<int16_t>(std::lround(samples[i] * gain)));
    } else {
        // Output sample j lies at input position j x in / out; the sample
        // before this chunk is Previous.
        const uint64_t first = run.Consumed;
        auto at = [&](uint64_t index) { return index < first ? run.Previous : samples[index - first]; };
        for (;;) {
            const uint64_t scaled = (run.Produced + run.Scaled.size()) * uint64_t(run.InputRate);
            const uint64_t whole = run.InputBase + scaled / uint64_t(run.OutputRate);
            if (whole + 1 >= first + count) break;
            const double t = double(scaled % uint64_t(run.OutputRate)) / run.OutputRate;
            const double value = at(whole) * (1 - t) + at(whole + 1) * t;
            run.Scaled.push_back(static_cast<int16_t>(std::lround(value * gain)));
        }
    }
    run.Previous = samples[count - 1];
    run.Consumed += count;
    if (!run.Scaled.empty() && run.Record->Job.OnAudio) run.Record->Job.OnAudio(run.Scaled.data(), run.Scaled.size());
    run.Produced += run.Scaled.size();
}

bool TFliteEngine::WaitForRoom(TRun& run) { return FJobs.WaitForRoom(*run.Record, run.Produced); }

} // namespace parlino
