#include "platform/linux/TEspeakVoice.h"

#include "platform/Exceptions.h"
#include "platform/linux/TEspeakVoiceStream.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>

namespace parlino {

namespace {

WideString Utf8ToWide(std::string_view utf8) {
    WideString out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        uint32_t c = 0xFFFD;
        size_t n = 1;
        if (b < 0x80)
            c = b;
        else if ((b & 0xE0) == 0xC0)
            c = b & 0x1F, n = 2;
        else if ((b & 0xF0) == 0xE0)
            c = b & 0x0F, n = 3;
        else if ((b & 0xF8) == 0xF0)
            c = b & 0x07, n = 4;
        if (n > 1) {
            if (i + n > utf8.size())
                n = 1, c = 0xFFFD;
            for (size_t k = 1; k < n; ++k) {
                const auto f = static_cast<unsigned char>(utf8[i + k]);
                if ((f & 0xC0) != 0x80) {
                    n = k, c = 0xFFFD;
                    break;
                }
                c = (c << 6) | (f & 0x3F);
            }
        }
        i += n;
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            out += char16_t(0xD800 + (c >> 10));
            out += char16_t(0xDC00 + (c & 0x3FF));
        } else {
            out += char16_t(c >= 0xD800 && c <= 0xDFFF ? 0xFFFD : c);
        }
    }
    return out;
}

} // namespace

// ---- Tokens --------------------------------------------------------------

WideString TEspeakVoiceToken::GetDescription(int32_t) const {
    std::string name = Info.Name;
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    if (!Info.Language.empty())
        name += " (" + Info.Language + ")";
    return Utf8ToWide(name);
}

WideString TEspeakAudioOutputToken::GetDescription(int32_t) const {
    return Utf8ToWide(Name);
}

// ---- The voice -----------------------------------------------------------

namespace {

// Synthesis runs at most this far ahead of what has been heard.
constexpr int AheadSeconds = 3;
// Marks that report the heard position for that flow control, per second.
constexpr int ProgressMarksPerSecond = 4;
// Emphasis: a little slower, higher and louder.
constexpr double EmphasisSpeed = 0.85;
constexpr int EmphasisPitch = 10;
constexpr int EmphasisAmplitudePercent = 125;

// The text ends with a clause's punctuation (closing quotes and brackets
// after it aside).
bool EndsClause(std::string_view utf8) {
    const size_t last = utf8.find_last_not_of(" \t\r\n\"')]");
    return last != std::string_view::npos && std::string_view(".,;:!?").find(utf8[last]) != std::string_view::npos;
}

} // namespace

TEspeakSpeechVoice::TEspeakSpeechVoice(IAudioOutput& audio, IEventPoster& poster,
                                       std::shared_ptr<TEspeakEngine> engine)
    : FAudio(audio), FPoster(poster), FEngine(std::move(engine)) {
    for (const auto& info : FEngine->Voices())
        FVoiceTokens.push_back(std::make_shared<TEspeakVoiceToken>(info));
}

TEspeakSpeechVoice::~TEspeakSpeechVoice() {
    *FAlive = false;
    for (auto& utterance : FWaiting)
        Drop(utterance);
    FWaiting.clear();
    DiscardPrepared();
    if (FCurrent)
        Close(FCurrent);
}

TSpeechObjectTokens TEspeakSpeechVoice::GetVoices(const WideString&, const WideString&) {
    return FVoiceTokens;
}

TSpeechObjectTokens TEspeakSpeechVoice::GetAudioOutputs(const WideString&, const WideString&) {
    TSpeechObjectTokens tokens;
    const auto devices = FAudio.OutputDeviceInfos();
    for (size_t i = 0; i < devices.size(); ++i)
        tokens.push_back(std::make_shared<TEspeakAudioOutputToken>(int(i), devices[i].Name, devices[i].Id));
    return tokens;
}

void TEspeakSpeechVoice::SetVoice(const TSpeechObjectToken& voice) {
    if (!voice) {
        FVoiceName.clear();
        return;
    }
    const auto* token = dynamic_cast<const TEspeakVoiceToken*>(voice.get());
    if (!token)
        throw EParlinoError("The token is not a voice of this speech engine.");
    FVoiceName = token->Info.Name;
}

void TEspeakSpeechVoice::SetAudioOutput(const TSpeechObjectToken& output) {
    if (output && !dynamic_cast<const TEspeakAudioOutputToken*>(output.get()))
        throw EParlinoError("The token is not an audio output of this speech engine.");
    FOutput = output;
}

void TEspeakSpeechVoice::SetAudioOutputStream(ISpeechFileStream* stream) {
    TWavFileStream* file = nullptr;
    if (stream) {
        file = dynamic_cast<TWavFileStream*>(stream);
        if (!file)
            throw EParlinoError("The audio output stream is not a WAV file stream.");
    }
    if (FCurrent && FCurrent->File && FCurrent->File != file)
        Close(FCurrent);
    std::erase_if(FWaiting, [this, file](TUtterance& u) {
        if (!u.File || u.File == file)
            return false;
        Drop(u);
        return true;
    });
    FFile = file;
    StartWaiting();
}

void TEspeakSpeechVoice::SetRate(int32_t rate) {
    FRate = std::clamp(rate, -10, 10);
}

void TEspeakSpeechVoice::SetVolume(int32_t volume) {
    FVolume = std::clamp(volume, 0, 100);
}

int32_t TEspeakSpeechVoice::Speak(const WideString& text, int32_t flags) {
    const int32_t number = ++FLastNumber;
    if (flags & SVSFPurgeBeforeSpeak)
        Purge();
    if (text.empty())
        return number;
    TUtterance utterance;
    utterance.Number = number;
    utterance.Prepared = TakePrepared(text, flags);
    if (!utterance.Prepared)
        utterance.Runs = ParseSpeechText(text, (flags & SVSFIsXML) != 0, FRate, FVolume);
    utterance.VoiceName = FVoiceName;
    utterance.Output = FOutput;
    utterance.File = FFile;
    if (FCurrent || !FWaiting.empty())
        FWaiting.push_back(std::move(utterance));
    else
        Start(std::move(utterance));
    return number;
}

void TEspeakSpeechVoice::SetRateFactor(double factor) {
    FRateFactor = std::isfinite(factor) ? std::clamp(factor, 1.0, 3.0) : 1.0;
}

std::string TEspeakSpeechVoice::PreparedKey(const WideString& text, int32_t flags) const {
    std::string key = FVoiceName;
    key += '\x1f' + std::to_string(FRate) + '\x1f' + std::to_string(FVolume) + '\x1f' +
           std::to_string(std::lround(FRateFactor * 1000)) + '\x1f' + std::to_string(flags & SVSFIsXML) + '\x1f';
    for (const char16_t c : text) {
        key.push_back(char(c & 0xFF));
        key.push_back(char(c >> 8));
    }
    return key;
}

uint64_t TEspeakSpeechVoice::Prepare(const WideString& text, int32_t flags) {
    if (FFile || text.empty())
        return 0;
    auto stream = NewStream(ParseSpeechText(text, (flags & SVSFIsXML) != 0, FRate, FVolume));
    stream->PrepareId = ++FLastPrepareId;
    FPrepared.push_back({PreparedKey(text, flags), stream});
    SubmitJob(stream, FVoiceName, false);
    while (FPrepared.size() > MaxPrepared) {
        // One still under way is reported as dropped, so that nobody waits for it.
        const auto dropped = FPrepared.front().Stream;
        FPrepared.pop_front();
        Close(dropped);
        if (!dropped->Reported)
            FPoster.Post([alive = FAlive, this, id = dropped->PrepareId] {
                if (*alive && OnPrepared)
                    OnPrepared(id, -1);
            });
    }
    return stream->PrepareId;
}

std::shared_ptr<TEspeakSpeechVoice::TStream> TEspeakSpeechVoice::TakePrepared(const WideString& text,
                                                                              int32_t flags) {
    if (FPrepared.empty())
        return nullptr;
    const std::string key = PreparedKey(text, flags);
    const auto it = std::find_if(FPrepared.begin(), FPrepared.end(),
                                 [&](const TPreparedText& p) { return p.Key == key; });
    if (it == FPrepared.end())
        return nullptr;
    auto stream = it->Stream;
    FPrepared.erase(it);
    return stream;
}

void TEspeakSpeechVoice::DiscardPrepared() {
    for (auto& prepared : FPrepared)
        Close(prepared.Stream);
    FPrepared.clear();
}

void TEspeakSpeechVoice::Drop(TUtterance& utterance) {
    if (utterance.Prepared)
        Close(utterance.Prepared);
    utterance.Prepared.reset();
}

void TEspeakSpeechVoice::PreparedDone(const std::shared_ptr<TStream>& stream) {
    stream->Reported = true;
    const uint64_t samples = stream->Synthesised;
    if (OnPrepared)
        OnPrepared(stream->PrepareId, int64_t(samples * 1000 / uint64_t(FEngine->SampleRate())));
}

void TEspeakSpeechVoice::Pause() {
    FPaused = true;
    if (FCurrent && FCurrent->Audio)
        FCurrent->Audio->Pause();
}

void TEspeakSpeechVoice::Resume() {
    FPaused = false;
    if (FCurrent && FCurrent->Audio)
        FCurrent->Audio->Resume();
}

std::shared_ptr<TEspeakSpeechVoice::TStream> TEspeakSpeechVoice::NewStream(std::vector<TSpeechRun> runs) {
    auto stream = std::make_shared<TStream>();
    stream->Runs = std::move(runs);
    stream->Poster = &FPoster;
    stream->Engine = FEngine;
    stream->Owner = this;
    stream->RateFactor = FRateFactor;
    stream->NextProgress = uint64_t(FEngine->SampleRate() / ProgressMarksPerSecond);
    return stream;
}

void TEspeakSpeechVoice::Start(TUtterance utterance) {
    const int rate = FEngine->SampleRate();
    // A text synthesised ahead plays what is there and goes on as the rest
    // arrives; its items waited in the stream until now.
    const bool prepared = utterance.Prepared != nullptr;
    auto stream = prepared ? std::move(utterance.Prepared) : NewStream(std::move(utterance.Runs));
    stream->Number = utterance.Number;

    if (utterance.File) {
        if (!utterance.File->IsOpen()) {
            Close(stream);
            throw EParlinoError("The audio output stream is not open.");
        }
        if (utterance.File->SamplesWritten() == 0)
            utterance.File->SetSampleRate(rate);
        stream->File = utterance.File;
    } else {
        // Audio thread: each handler posts onwards, or reports progress.
        std::weak_ptr<TStream> weak = stream;
        TAudioStreamEvents events;
        events.OnMarkPlayed = [weak](uint64_t id) {
            auto self = weak.lock();
            if (!self)
                return;
            TStream::TMark mark;
            {
                std::lock_guard lock(self->Lock);
                if (self->Closed || id >= self->Marks.size())
                    return;
                mark = self->Marks[id];
            }
            self->Engine->Played(self->JobId, mark.Sample);
            if (mark.Word)
                self->Post([mark](TEspeakSpeechVoice& voice, const std::shared_ptr<TStream>& s) {
                    voice.WordPlayed(s, int64_t(mark.Sample) * 2, mark.Position, mark.Length);
                });
        };
        events.OnDrained = [weak] {
            if (auto self = weak.lock())
                self->Post([](TEspeakSpeechVoice& voice, const std::shared_ptr<TStream>& s) {
                    voice.End(s);
                });
        };
        events.OnFailed = [weak](const std::string&) {
            if (auto self = weak.lock())
                self->Post([](TEspeakSpeechVoice& voice, const std::shared_ptr<TStream>& s) {
                    voice.End(s);
                });
        };
        try {
            stream->Audio = OpenAudio(utterance.Output, rate, events);
        } catch (...) {
            Close(stream);
            throw;
        }
        if (FPaused)
            stream->Audio->Pause();
    }

    FCurrent = stream;
    if (prepared) {
        FEngine->Hurry(stream->JobId); // still waiting behind other preparations
        Pump(stream);
    }
    else
        SubmitJob(stream, utterance.VoiceName, true);
}

void TEspeakSpeechVoice::SubmitJob(const std::shared_ptr<TStream>& stream, const std::string& voiceName,
                                   bool live) {
    TEspeakJob job;
    for (const auto& run : stream->Runs) {
        TEspeakPiece piece;
        piece.Utf8Text = run.Utf8Text;
        piece.VoiceName = voiceName;
        piece.WordsPerMinute = std::clamp(
            int(std::lround(EspeakWordsPerMinute(run.Prosody.Rate) * stream->RateFactor)),
            TEspeakEngine::MinWordsPerMinute, TEspeakEngine::MaxWordsPerMinute);
        piece.Pitch = EspeakPitch(run.Prosody.Pitch);
        piece.Amplitude = EspeakAmplitude(run.Prosody.Volume);
        if (run.Prosody.Emphasis) {
            piece.WordsPerMinute = std::max(TEspeakEngine::MinWordsPerMinute,
                                            int(std::lround(piece.WordsPerMinute * EmphasisSpeed)));
            piece.Pitch = std::min(100, piece.Pitch + EmphasisPitch);
            piece.Amplitude = piece.Amplitude * EmphasisAmplitudePercent / 100;
        }
        piece.SilenceMs = run.SilenceMs;
        job.Pieces.push_back(std::move(piece));
    }
    // A pause asked for after the end of a clause comes on top of the
    // clause's own pause, as espeak-ng makes it within one text; within a
    // clause there is none.
    for (size_t i = 0; i + 1 < job.Pieces.size(); ++i)
        job.Pieces[i].EndPause = job.Pieces[i + 1].SilenceMs > 0 && EndsClause(job.Pieces[i].Utf8Text);
    // Audio synthesised ahead is kept whole, so it is not held back.
    job.AheadLimit = live && !stream->File ? uint64_t(AheadSeconds) * uint64_t(FEngine->SampleRate()) : 0;
    // Worker thread.
    job.OnAudio = [stream](const int16_t* samples, size_t count) {
        stream->Synthesised += count;
        stream->Queue([&](std::vector<TStream::TItem>& items) {
            if (items.empty() || items.back().Kind != TStream::TItem::Audio)
                items.push_back({TStream::TItem::Audio, {}, {}});
            items.back().Samples.insert(items.back().Samples.end(), samples, samples + count);
        });
    };
    job.OnEvent = [stream](const TEspeakEvent& event) {
        if (event.Kind != TEspeakEventKind::Word)
            return;
        stream->Queue([&](std::vector<TStream::TItem>& items) {
            items.push_back({TStream::TItem::Word, {}, event});
        });
    };
    job.OnFinished = [stream](bool completed) {
        stream->Queue([&](std::vector<TStream::TItem>& items) {
            items.push_back({TStream::TItem::Finished, {}, {}});
        });
        if (completed && stream->PrepareId)
            stream->Post([](TEspeakSpeechVoice& voice, const std::shared_ptr<TStream>& s) {
                voice.PreparedDone(s);
            });
    };
    stream->JobId = FEngine->Submit(std::move(job), live);
}

std::unique_ptr<IAudioStream> TEspeakSpeechVoice::OpenAudio(const TSpeechObjectToken& output,
                                                            int sampleRate,
                                                            const TAudioStreamEvents& events) {
    const TAudioFormat format{sampleRate, 1};
    FUnavailableOutput.reset();
    const auto* token = static_cast<const TEspeakAudioOutputToken*>(output.get());
    if (!token)
        return FAudio.OpenStream(-1, format, events);
    // The device's place in the list now: where the token saw it, or else
    // wherever a device of that name is.
    const std::vector<TAudioDeviceInfo> devices = FAudio.OutputDeviceInfos();
    const auto same = [token](const TAudioDeviceInfo& device) { return device.Id == token->Id; };
    int index = -1;
    if (token->Index >= 0 && size_t(token->Index) < devices.size() && same(devices[size_t(token->Index)]))
        index = token->Index;
    else if (const auto it = std::find_if(devices.begin(), devices.end(), same); it != devices.end())
        index = int(it - devices.begin());
    if (index >= 0) {
        try {
            return FAudio.OpenStream(index, format, events);
        } catch (const EParlinoError&) {
            // Gone between the listing and the opening.
        }
    }
    FUnavailableOutput = output;
    return FAudio.OpenStream(-1, format, events);
}

void TEspeakSpeechVoice::StartWaiting() {
    while (!FCurrent && !FWaiting.empty()) {
        TUtterance next = std::move(FWaiting.front());
        FWaiting.pop_front();
        const int32_t number = next.Number;
        try {
            Start(std::move(next));
        } catch (const std::exception&) {
            // Nobody is there to catch it: the stream ends without sound.
            if ((FInterests & SVEEndInputStream) && OnEndStream)
                OnEndStream(number, 0);
        }
    }
}

void TEspeakSpeechVoice::Purge() {
    for (auto& utterance : FWaiting)
        Drop(utterance);
    FWaiting.clear();
    if (FCurrent)
        Close(FCurrent);
}

void TEspeakSpeechVoice::Close(const std::shared_ptr<TStream>& stream) {
    {
        std::lock_guard lock(stream->Lock);
        stream->Closed = true;
        stream->Items.clear();
    }
    stream->Owner = nullptr;
    FEngine->Cancel(stream->JobId);
    stream->Audio.reset(); // silent at once
    if (FCurrent == stream)
        FCurrent.reset();
}

void TEspeakSpeechVoice::RaiseStart(TStream& stream) {
    stream.Started = true;
    if ((FInterests & SVEStartInputStream) && OnStartStream)
        OnStartStream(stream.Number, 0);
}

void TEspeakSpeechVoice::End(const std::shared_ptr<TStream>& stream) {
    if (stream != FCurrent)
        return;
    if (!stream->Started) {
        RaiseStart(*stream);
        if (stream != FCurrent)
            return; // the handler spoke anew
    }
    const int32_t number = stream->Number;
    const int64_t bytes = int64_t(stream->Written) * 2;
    Close(stream);
    if ((FInterests & SVEEndInputStream) && OnEndStream)
        OnEndStream(number, bytes);
    StartWaiting();
}

void TEspeakSpeechVoice::Pump(const std::shared_ptr<TStream>& stream) {
    // A text synthesised ahead keeps what arrives until it is spoken; no
    // further pump is posted meanwhile, Start pumps it.
    if (stream != FCurrent)
        return;
    std::vector<TStream::TItem> items;
    {
        std::lock_guard lock(stream->Lock);
        items.swap(stream->Items);
        stream->PumpPosted = false;
    }
    for (auto& item : items) {
        // A handler may have purged this stream meanwhile.
        if (stream != FCurrent)
            return;
        switch (item.Kind) {
        case TStream::TItem::Audio:
            if (!stream->Started) {
                RaiseStart(*stream);
                if (stream != FCurrent)
                    return;
            }
            WriteAudio(*stream, item.Samples.data(), item.Samples.size());
            break;
        case TStream::TItem::Word:
            WordReached(*stream, item.Event);
            break;
        case TStream::TItem::Finished:
            FinishSynthesis(stream);
            break;
        }
    }
}

void TEspeakSpeechVoice::WriteAudio(TStream& stream, const int16_t* samples, size_t count) {
    if (stream.File) {
        stream.File->Write(samples, count);
        stream.Written += count;
        return;
    }
    const uint64_t interval = uint64_t(FEngine->SampleRate() / ProgressMarksPerSecond);
    size_t done = 0;
    while (done < count) {
        const size_t take =
            size_t(std::min<uint64_t>(count - done, stream.NextProgress - stream.Written));
        stream.Audio->Write(samples + done, take);
        done += take;
        stream.Written += take;
        if (stream.Written >= stream.NextProgress) {
            stream.Audio->Mark(stream.AddMark({stream.Written, false, 0, 0}));
            stream.NextProgress += interval;
        }
    }
}

void TEspeakSpeechVoice::WordReached(TStream& stream, const TEspeakEvent& event) {
    if (event.Piece >= stream.Runs.size())
        return;
    const TSpeechRun& run = stream.Runs[event.Piece];
    if (run.Starts.empty())
        return;
    const size_t last = run.Starts.size() - 1;
    const size_t first = std::min<size_t>(size_t(event.TextPosition), last);
    const size_t end = std::min<size_t>(first + size_t(std::max(event.Length, 1)) - 1, last);
    const int32_t position = run.Starts[first];
    const int32_t length = run.Ends[end] - position;
    if (stream.File) {
        if ((FInterests & SVEWordBoundary) && OnWord)
            OnWord(stream.Number, int64_t(stream.Written) * 2, position, length);
        return;
    }
    stream.Audio->Mark(stream.AddMark({stream.Written, true, position, length}));
}

void TEspeakSpeechVoice::WordPlayed(const std::shared_ptr<TStream>& stream, int64_t bytePosition,
                                    int32_t position, int32_t length) {
    if (stream != FCurrent)
        return;
    if ((FInterests & SVEWordBoundary) && OnWord)
        OnWord(stream->Number, bytePosition, position, length);
}

void TEspeakSpeechVoice::FinishSynthesis(const std::shared_ptr<TStream>& stream) {
    if (stream->File) {
        stream->File->Flush();
        End(stream);
    } else if (stream->Written == 0) {
        End(stream); // nothing to play, nothing to wait for
    } else {
        stream->Audio->Drain();
    }
}

} // namespace parlino
