#include "platform/linux/TEspeakVoice.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>

namespace parlino {

// ---- Mark-up -------------------------------------------------------------

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

void AppendUtf8(std::string& out, uint32_t c) {
    char16_t units[2];
    size_t n = 1;
    if (c >= 0x10000) {
        units[0] = char16_t(0xD800 + ((c - 0x10000) >> 10));
        units[1] = char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        n = 2;
    } else {
        units[0] = char16_t(c);
    }
    out += WideToUtf8(std::u16string_view(units, n));
}

bool IsAsciiLetter(char16_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsSpace(char16_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
char16_t LowerAscii(char16_t c) {
    return c >= 'A' && c <= 'Z' ? char16_t(c - 'A' + 'a') : c;
}

std::u16string Lower(std::u16string_view s) {
    std::u16string out(s);
    for (auto& c : out)
        c = LowerAscii(c);
    return out;
}

// Leading optional sign and digits; false when there are no digits.
bool ParseInteger(std::u16string_view s, int32_t& value) {
    size_t i = 0;
    while (i < s.size() && IsSpace(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    int64_t v = 0;
    size_t digits = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits)
        v = std::min<int64_t>(v * 10 + (s[i] - '0'), 1000000);
    if (digits == 0)
        return false;
    value = int32_t(negative ? -v : v);
    return true;
}

struct TAttribute {
    std::u16string Name; // lower case
    std::u16string Value;
};

class TMarkupReader {
public:
    TMarkupReader(std::u16string_view text, int32_t rate, int32_t volume)
        : FText(text), FVoiceVolume(volume) {
        FState.Rate = rate;
        FState.Volume = volume;
    }

    std::vector<TSpeechRun> Read(bool xml) {
        const size_t n = FText.size();
        for (size_t i = 0; i < n;) {
            const char16_t c = FText[i];
            if (xml && c == '<') {
                i = ReadTag(i);
            } else if (xml && c == '&') {
                i = ReadEntity(i);
            } else {
                i = ReadCharacter(i);
            }
        }
        if (FPendingSilence > 0) {
            if (FRuns.empty() || !FRuns.back().Utf8Text.empty())
                FRuns.emplace_back().Prosody = FState;
            FRuns.back().SilenceMs += FPendingSilence;
        }
        std::erase_if(FRuns,
                      [](const TSpeechRun& r) { return r.Utf8Text.empty() && r.SilenceMs == 0; });
        return std::move(FRuns);
    }

private:
    struct TScope {
        std::u16string Name;
        TSpeechProsody Saved;
    };

    size_t ReadCharacter(size_t i) {
        uint32_t c = FText[i];
        size_t length = 1;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < FText.size() && FText[i + 1] >= 0xDC00 &&
            FText[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (FText[i + 1] - 0xDC00);
            length = 2;
        }
        Emit(c, i, i + length);
        return i + length;
    }

    size_t ReadEntity(size_t i) {
        const size_t limit = std::min(FText.size(), i + 12);
        size_t semi = i + 1;
        while (semi < limit && FText[semi] != ';' && FText[semi] != '&' && FText[semi] != '<')
            ++semi;
        if (semi < limit && FText[semi] == ';') {
            const std::u16string_view name = FText.substr(i + 1, semi - i - 1);
            uint32_t c = 0;
            if (name == u"lt")
                c = '<';
            else if (name == u"gt")
                c = '>';
            else if (name == u"amp")
                c = '&';
            else if (name == u"quot")
                c = '"';
            else if (name == u"apos")
                c = '\'';
            else if (name.size() > 1 && name[0] == '#')
                c = NumericReference(name.substr(1));
            if (c != 0) {
                Emit(c, i, semi + 1);
                return semi + 1;
            }
        }
        Emit('&', i, i + 1);
        return i + 1;
    }

    // A character reference's value; a space for one that is out of range, 0
    // when it is no number at all.
    static uint32_t NumericReference(std::u16string_view digits) {
        const bool hex = !digits.empty() && (digits[0] == 'x' || digits[0] == 'X');
        if (hex)
            digits.remove_prefix(1);
        if (digits.empty())
            return 0;
        uint64_t v = 0;
        for (char16_t d : digits) {
            int value;
            if (d >= '0' && d <= '9')
                value = d - '0';
            else if (hex && d >= 'a' && d <= 'f')
                value = d - 'a' + 10;
            else if (hex && d >= 'A' && d <= 'F')
                value = d - 'A' + 10;
            else
                return 0;
            v = std::min<uint64_t>(v * (hex ? 16 : 10) + value, 0x110000);
        }
        if (v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))
            return ' ';
        return uint32_t(v);
    }

    size_t ReadTag(size_t i) {
        const size_t n = FText.size();
        if (i + 1 >= n)
            return n; // a lone '<' at the end
        const char16_t next = FText[i + 1];
        if (FText.substr(i, 4) == u"<!--") {
            const size_t end = FText.find(u"-->", i + 4);
            return end == std::u16string_view::npos ? n : end + 3;
        }
        if (!(IsAsciiLetter(next) || next == '/' || next == '!' || next == '?' || next == '_' ||
              next == ':'))
            return i + 1; // no tag: the '<' alone is dropped
        size_t j = i + 1;
        while (j < n && FText[j] != '>' && FText[j] != '<')
            ++j;
        if (j < n && FText[j] == '>') {
            ApplyTag(FText.substr(i + 1, j - i - 1));
            return j + 1;
        }
        return j; // never closed: skipped up to the next '<' or the end
    }

    void ApplyTag(std::u16string_view body) {
        if (body.empty() || body[0] == '!' || body[0] == '?')
            return;
        const bool closing = body[0] == '/';
        if (closing)
            body.remove_prefix(1);
        while (!body.empty() && IsSpace(body.back()))
            body.remove_suffix(1);
        const bool empty = !body.empty() && body.back() == '/';
        if (empty)
            body.remove_suffix(1);
        size_t k = 0;
        while (k < body.size() && !IsSpace(body[k]) && body[k] != '/')
            ++k;
        const std::u16string name = Lower(body.substr(0, k));
        if (closing) {
            for (size_t s = FScopes.size(); s-- > 0;) {
                if (FScopes[s].Name == name) {
                    FState = FScopes[s].Saved;
                    FScopes.resize(s);
                    break;
                }
            }
            return;
        }
        if (!empty)
            FScopes.push_back({name, FState});
        const auto attributes = ParseAttributes(body.substr(k));
        auto number = [&](std::u16string_view attribute, int32_t& value) {
            for (const auto& a : attributes)
                if (a.Name == attribute && ParseInteger(a.Value, value))
                    return true;
            return false;
        };
        int32_t v = 0;
        if (name == u"pitch") {
            if (number(u"absmiddle", v))
                FState.Pitch = std::clamp(v, -50, 50);
            else if (number(u"middle", v))
                FState.Pitch = std::clamp(FState.Pitch + v, -50, 50);
        } else if (name == u"rate") {
            if (number(u"absspeed", v))
                FState.Rate = std::clamp(v, -10, 10);
            else if (number(u"speed", v))
                FState.Rate = std::clamp(FState.Rate + v, -10, 10);
        } else if (name == u"volume") {
            if (number(u"level", v))
                FState.Volume = FVoiceVolume * std::clamp(v, 0, 100) / 100;
        } else if (name == u"silence") {
            if (number(u"msec", v))
                FPendingSilence =
                    std::min(FPendingSilence + std::clamp(v, 0, MaxSilenceMs), MaxSilenceMs);
        } else if (name == u"emph") {
            FState.Emphasis = true;
        }
    }

    static std::vector<TAttribute> ParseAttributes(std::u16string_view s) {
        std::vector<TAttribute> out;
        size_t i = 0;
        const size_t n = s.size();
        while (i < n) {
            while (i < n && (IsSpace(s[i]) || s[i] == '/'))
                ++i;
            const size_t nameStart = i;
            while (i < n && !IsSpace(s[i]) && s[i] != '=')
                ++i;
            TAttribute a;
            a.Name = Lower(s.substr(nameStart, i - nameStart));
            while (i < n && IsSpace(s[i]))
                ++i;
            if (i < n && s[i] == '=') {
                ++i;
                while (i < n && IsSpace(s[i]))
                    ++i;
                if (i < n && (s[i] == '"' || s[i] == '\'')) {
                    const char16_t quote = s[i++];
                    const size_t valueStart = i;
                    while (i < n && s[i] != quote)
                        ++i;
                    a.Value = s.substr(valueStart, i - valueStart);
                    if (i < n)
                        ++i;
                } else {
                    const size_t valueStart = i;
                    while (i < n && !IsSpace(s[i]))
                        ++i;
                    a.Value = s.substr(valueStart, i - valueStart);
                }
            }
            if (!a.Name.empty())
                out.push_back(std::move(a));
        }
        return out;
    }

    void Emit(uint32_t c, size_t start, size_t end) {
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F ||
            (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF)
            c = ' ';
        TSpeechRun* run = FRuns.empty() ? nullptr : &FRuns.back();
        if (run && run->Utf8Text.empty()) {
            run->Prosody = FState; // silence alone does not depend on the prosody
            run->SilenceMs += FPendingSilence;
            FPendingSilence = 0;
        } else if (!run || FPendingSilence > 0 || !(run->Prosody == FState)) {
            run = &FRuns.emplace_back();
            run->Prosody = FState;
            run->SilenceMs = FPendingSilence;
            FPendingSilence = 0;
        }
        AppendUtf8(run->Utf8Text, c);
        run->Starts.push_back(int32_t(start));
        run->Ends.push_back(int32_t(end));
    }

    static constexpr int32_t MaxSilenceMs = 60000;

    std::u16string_view FText;
    int32_t FVoiceVolume;
    TSpeechProsody FState;
    std::vector<TScope> FScopes;
    int32_t FPendingSilence = 0;
    std::vector<TSpeechRun> FRuns;
};

} // namespace

std::vector<TSpeechRun> ParseSpeechText(std::u16string_view text, bool xml, int32_t rate,
                                        int32_t volume) {
    return TMarkupReader(text, std::clamp(rate, -10, 10), std::clamp(volume, 0, 100)).Read(xml);
}

int EspeakWordsPerMinute(int32_t rate) {
    rate = std::clamp(rate, -10, 10);
    const double normal = TEspeakEngine::NormalWordsPerMinute;
    const double end =
        rate >= 0 ? TEspeakEngine::MaxWordsPerMinute : TEspeakEngine::MinWordsPerMinute;
    const double wpm = normal * std::pow(end / normal, std::abs(rate) / 10.0);
    return std::clamp(int(std::lround(wpm)), TEspeakEngine::MinWordsPerMinute,
                      TEspeakEngine::MaxWordsPerMinute);
}

int EspeakPitch(int32_t pitch) {
    return std::clamp(50 + pitch, 0, 100);
}

int EspeakAmplitude(int32_t volume) {
    return std::clamp(volume, 0, 100);
}

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

} // namespace

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

    // Program's thread only.
    TEspeakSpeechVoice* Owner = nullptr; // null once closed
    std::unique_ptr<IAudioStream> Audio;
    TWavFileStream* File = nullptr;
    uint64_t Written = 0;
    uint64_t NextProgress = 0;
    bool Started = false;

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

TEspeakSpeechVoice::TEspeakSpeechVoice(IAudioOutput& audio, IEventPoster& poster,
                                       std::shared_ptr<TEspeakEngine> engine)
    : FAudio(audio), FPoster(poster), FEngine(std::move(engine)) {
    for (const auto& info : FEngine->Voices())
        FVoiceTokens.push_back(std::make_shared<TEspeakVoiceToken>(info));
}

TEspeakSpeechVoice::~TEspeakSpeechVoice() {
    FWaiting.clear();
    if (FCurrent)
        Close(FCurrent);
}

TSpeechObjectTokens TEspeakSpeechVoice::GetVoices(const WideString&, const WideString&) {
    return FVoiceTokens;
}

TSpeechObjectTokens TEspeakSpeechVoice::GetAudioOutputs(const WideString&, const WideString&) {
    TSpeechObjectTokens tokens;
    const auto devices = FAudio.OutputDevices();
    for (size_t i = 0; i < devices.size(); ++i)
        tokens.push_back(std::make_shared<TEspeakAudioOutputToken>(int(i), devices[i]));
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
    if (!output) {
        FDevice = -1;
        return;
    }
    const auto* token = dynamic_cast<const TEspeakAudioOutputToken*>(output.get());
    if (!token)
        throw EParlinoError("The token is not an audio output of this speech engine.");
    FDevice = token->Index;
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
    std::erase_if(FWaiting, [file](const TUtterance& u) { return u.File && u.File != file; });
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
    utterance.Runs = ParseSpeechText(text, (flags & SVSFIsXML) != 0, FRate, FVolume);
    utterance.VoiceName = FVoiceName;
    utterance.Device = FDevice;
    utterance.File = FFile;
    if (FCurrent || !FWaiting.empty())
        FWaiting.push_back(std::move(utterance));
    else
        Start(std::move(utterance));
    return number;
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

void TEspeakSpeechVoice::Start(TUtterance utterance) {
    const int rate = FEngine->SampleRate();
    auto stream = std::make_shared<TStream>();
    stream->Number = utterance.Number;
    stream->Runs = std::move(utterance.Runs);
    stream->Poster = &FPoster;
    stream->Engine = FEngine;
    stream->Owner = this;
    stream->NextProgress = uint64_t(rate / ProgressMarksPerSecond);

    if (utterance.File) {
        if (!utterance.File->IsOpen())
            throw EParlinoError("The audio output stream is not open.");
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
        stream->Audio =
            FAudio.OpenStream(utterance.Device, TAudioFormat{rate, 1}, std::move(events));
        if (FPaused)
            stream->Audio->Pause();
    }

    TEspeakJob job;
    for (const auto& run : stream->Runs) {
        TEspeakPiece piece;
        piece.Utf8Text = run.Utf8Text;
        piece.VoiceName = utterance.VoiceName;
        piece.WordsPerMinute = EspeakWordsPerMinute(run.Prosody.Rate);
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
    job.AheadLimit = stream->File ? 0 : uint64_t(AheadSeconds) * uint64_t(rate);
    // Worker thread.
    job.OnAudio = [stream](const int16_t* samples, size_t count) {
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
    job.OnFinished = [stream](bool) {
        stream->Queue([&](std::vector<TStream::TItem>& items) {
            items.push_back({TStream::TItem::Finished, {}, {}});
        });
    };
    FCurrent = stream;
    stream->JobId = FEngine->Submit(std::move(job));
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
