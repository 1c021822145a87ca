// Our interface goes first, the Windows headers after it (they define names
// of ours as macros).
#include "platform/win/TSapi5Voice.h"

#include "platform/Exceptions.h"
#include "platform/win/TComApartment.h"
#include "platform/win/TComPtr.h"
#include "platform/win/TOwnComObject.h"

#include <windows.h>

#include <sapi.h> // after windows.h, which it needs

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace parlino {
namespace {

// The wave format identifier of SAPI's streams (sapi51.h declares it but the
// import library lacks it).
constexpr GUID WaveFormatExFormatId = {
    0xC31ADBAE, 0x527F, 0x4FF5, {0xA2, 0x30, 0xF6, 0x2B, 0xB6, 0x1F, 0xF7, 0x0C}};

// The class identifiers, as the registry check names them.
constexpr GUID SpVoiceClass = {
    0x96749377, 0x3391, 0x11D2, {0x9E, 0xE3, 0x00, 0xC0, 0x4F, 0x79, 0x73, 0x96}};
constexpr GUID SpFileStreamClass = {
    0x947812B3, 0x2AE1, 0x4644, {0xBA, 0x86, 0x9E, 0x90, 0xDE, 0xD7, 0xEC, 0x91}};
constexpr GUID SpObjectTokenCategoryClass = {
    0xA910187F, 0x0C7A, 0x45AC, {0x92, 0xCC, 0x59, 0xED, 0xAF, 0xB7, 0x7B, 0x53}};

[[noreturn]] void Fail(const char* operation, HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(hr));
    throw EParlinoError(std::string("SAPI 5: ") + operation + " failed (0x" + code + ")");
}

void Check(HRESULT hr, const char* operation) {
    if (FAILED(hr))
        Fail(operation, hr);
}

const wchar_t* Wide(const WideString& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

bool KeyExists(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A voice or an audio output of the system.
class TSapi5Token final : public ISpeechObjectToken {
public:
    TSapi5Token(TComPtr<ISpObjectToken> token, WideString description)
        : Token(std::move(token)), Description(std::move(description)) {}
    WideString GetDescription(int32_t) const override { return Description; }
    const TComPtr<ISpObjectToken> Token;
    const WideString Description;
};

// The token's description: its default value, as SAPI's own helpers read it
// for the neutral locale. False when it has none.
bool ReadDescription(ISpObjectToken* token, WideString& description) {
    wchar_t* text = nullptr;
    const HRESULT hr = token->GetStringValue(nullptr, &text);
    if (FAILED(hr) || !text)
        return false;
    description.assign(reinterpret_cast<const char16_t*>(text));
    CoTaskMemFree(text);
    return !description.empty();
}

TSpeechObjectTokens EnumerateCategory(const wchar_t* category, const WideString& required,
                                      const WideString& optional) {
    TComPtr<ISpObjectTokenCategory> cat;
    Check(CoCreateInstance(SpObjectTokenCategoryClass, nullptr, CLSCTX_INPROC_SERVER,
                           IID_ISpObjectTokenCategory, reinterpret_cast<void**>(cat.Out())),
          "creating the token category");
    Check(cat->SetId(category, FALSE), "opening the token category");
    TComPtr<IEnumSpObjectTokens> tokens;
    Check(cat->EnumTokens(required.empty() ? nullptr : Wide(required),
                          optional.empty() ? nullptr : Wide(optional), tokens.Out()),
          "listing the tokens");
    if (!tokens)
        Fail("listing the tokens", E_POINTER);
    TSpeechObjectTokens result;
    for (;;) {
        TComPtr<ISpObjectToken> token;
        ULONG fetched = 0;
        if (tokens->Next(1, token.Out(), &fetched) != S_OK || fetched != 1 || !token)
            break;
        WideString description;
        if (ReadDescription(token.Get(), description))
            result.push_back(std::make_shared<TSapi5Token>(token, std::move(description)));
    }
    return result;
}

const TSapi5Token& OwnToken(const TSpeechObjectToken& token, const char* what) {
    const auto* own = dynamic_cast<const TSapi5Token*>(token.get());
    if (!own)
        throw EParlinoError(std::string("The token is not ") + what + " of the system's SAPI 5.");
    return *own;
}

// What SAPI's threads call when events are queued: it posts their delivery
// to the program's thread. Free-threaded; lives as long as SAPI holds it.
class TNotifySink final : public TOwnComObject<ISpNotifySink> {
public:
    TNotifySink(IEventPoster& poster, std::function<void()> deliver,
                std::shared_ptr<std::atomic<bool>> alive)
        : TOwnComObject(IID_ISpNotifySink), Poster(poster), Deliver(std::move(deliver)), Alive(std::move(alive)) {}
    HRESULT STDMETHODCALLTYPE Notify() override {
        // One delivery at a time is enough: it reads everything queued.
        if (Alive->load() && !Pending.exchange(true))
            Poster.Post([deliver = Deliver, alive = Alive, pending = &Pending, self = Hold()] {
                pending->store(false);
                if (alive->load())
                    deliver();
            });
        return S_OK;
    }

private:
    // Keeps the sink (and so `Pending`) alive until the posted work has run.
    std::shared_ptr<void> Hold() {
        AddRef();
        return std::shared_ptr<void>(this,
                                     [](void* p) { static_cast<TNotifySink*>(p)->Release(); });
    }

    IEventPoster& Poster;
    const std::function<void()> Deliver;
    const std::shared_ptr<std::atomic<bool>> Alive;
    std::atomic<bool> Pending{false};
};

// Frees what an event's parameter owns, as SAPI's SpClearEvent does.
void ClearEvent(SPEVENT& event) {
    switch (event.elParamType) {
    case SPET_LPARAM_IS_POINTER:
    case SPET_LPARAM_IS_STRING:
        CoTaskMemFree(reinterpret_cast<void*>(event.lParam));
        break;
    case SPET_LPARAM_IS_TOKEN:
    case SPET_LPARAM_IS_OBJECT:
        if (event.lParam)
            reinterpret_cast<IUnknown*>(event.lParam)->Release();
        break;
    default:
        break;
    }
    event.lParam = 0;
}

// What SAPI speaks into for a voice on an audio layer: an in-memory stream
// of 16-bit mono PCM at a given rate (SAPI converts its engine's format).
class TMemoryStream final : public TOwnComObject<ISpStreamFormat> {
public:
    explicit TMemoryStream(int sampleRate)
        : TOwnComObject({IID_ISequentialStream, IID_IStream, IID_ISpStreamFormat}) {
        Format.wFormatTag = WAVE_FORMAT_PCM;
        Format.nChannels = 1;
        Format.nSamplesPerSec = static_cast<DWORD>(sampleRate);
        Format.wBitsPerSample = 16;
        Format.nBlockAlign = 2;
        Format.nAvgBytesPerSec = Format.nSamplesPerSec * 2;
    }
    HRESULT STDMETHODCALLTYPE Read(void* to, ULONG size, ULONG* read) override {
        const size_t n =
            Position < Bytes.size() ? std::min<size_t>(size, Bytes.size() - Position) : 0;
        if (n)
            std::memcpy(to, Bytes.data() + Position, n);
        Position += n;
        if (read)
            *read = static_cast<ULONG>(n);
        return n == size ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Write(const void* from, ULONG size, ULONG* written) override {
        if (Position + size > Bytes.size())
            Bytes.resize(Position + size);
        std::memcpy(Bytes.data() + Position, from, size);
        Position += size;
        if (written)
            *written = size;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* now) override {
        int64_t base = 0;
        if (origin == STREAM_SEEK_CUR)
            base = static_cast<int64_t>(Position);
        else if (origin == STREAM_SEEK_END)
            base = static_cast<int64_t>(Bytes.size());
        else if (origin != STREAM_SEEK_SET)
            return STG_E_INVALIDFUNCTION;
        const int64_t to = base + move.QuadPart;
        if (to < 0)
            return STG_E_INVALIDFUNCTION;
        Position = static_cast<size_t>(to);
        if (now)
            now->QuadPart = Position;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override {
        Bytes.resize(static_cast<size_t>(size.QuadPart));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                     ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
        if (!stat)
            return E_POINTER;
        *stat = STATSTG{};
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = Bytes.size();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFormat(GUID* formatId, WAVEFORMATEX** format) override {
        if (formatId)
            *formatId = WaveFormatExFormatId;
        if (format) {
            *format = static_cast<WAVEFORMATEX*>(CoTaskMemAlloc(sizeof(WAVEFORMATEX)));
            if (!*format)
                return E_OUTOFMEMORY;
            **format = Format;
        }
        return S_OK;
    }

    std::vector<uint8_t> Bytes;

private:
    WAVEFORMATEX Format{};
    size_t Position = 0;
};

// One text spoken into memory and playing through the audio layer.
struct TAudioStream {
    int32_t Number = 0;
    std::unique_ptr<IAudioStream> Stream;
    // Per mark: the event it raises once heard.
    struct TEvent {
        SPEVENTENUM Id;
        int64_t Position; // in bytes of the stream, as SAPI gives it
        int32_t Character, Length;
    };
    std::vector<TEvent> Events;
    bool Started = false;
};

} // namespace

bool Sapi5ClassRegistered() {
    return KeyExists("SAPI.SpVoice") || KeyExists("CLSID\\{96749377-3391-11D2-9EE3-00C04F797396}");
}

// ---- The file stream -----------------------------------------------------

struct TSapi5FileStream::TImpl {
    TComApartment Apartment;
    TComPtr<ISpStream> Stream;
};

TSapi5FileStream::TSapi5FileStream() : F(std::make_unique<TImpl>()) {
    Check(CoCreateInstance(SpFileStreamClass, nullptr, CLSCTX_INPROC_SERVER, IID_ISpStream,
                           reinterpret_cast<void**>(F->Stream.Out())),
          "creating the file stream");
}

TSapi5FileStream::~TSapi5FileStream() = default;

void TSapi5FileStream::Open(const WideString& fileName, int32_t fileMode, bool) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = 22050;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = 44100;
    Check(F->Stream->BindToFile(Wide(fileName), static_cast<SPFILEMODE>(fileMode),
                                &WaveFormatExFormatId, &format, 0),
          "opening the file stream");
}

void TSapi5FileStream::Close() {
    Check(F->Stream->Close(), "closing the file stream");
}

void* TSapi5FileStream::ComStream() const {
    return static_cast<IUnknown*>(F->Stream.Get());
}

// ---- The voice -----------------------------------------------------------

struct TSapi5Voice::TImpl {
    TImpl(IEventPoster& poster, IAudioOutput* audio, int sampleRate)
        : Poster(poster), Audio(audio), SampleRate(sampleRate) {}
    TComApartment Apartment;
    IEventPoster& Poster;
    IAudioOutput* const Audio; // null: SAPI's own audio
    const int SampleRate;
    std::shared_ptr<TAudioStream> Playing; // on the audio layer
    bool Paused = false;
    int32_t LastNumber = 0;
    int OutputIndex = -1; // the audio output token's index, for the audio layer
    int32_t Interests = SVEAllEvents;
    TComPtr<ISpVoice> Voice;
    TNotifySink* Sink = nullptr; // SAPI's reference; ours is released at once
    bool SinkSet = false;
    std::shared_ptr<std::atomic<bool>> Alive = std::make_shared<std::atomic<bool>>(true);
    TComPtr<ISpObjectToken> Output; // null: the default device
    int32_t RateSet = 0;
    bool RateKnown = false;
    double RateFactor = 1.0;
    int32_t RateOffset = 0; // what the factor added to the rate in force
};

TSapi5Voice::TSapi5Voice(IEventPoster& poster, IAudioOutput* audio, int sampleRate)
    : F(std::make_unique<TImpl>(poster, audio, sampleRate)) {
    Check(CoCreateInstance(SpVoiceClass, nullptr, CLSCTX_INPROC_SERVER, IID_ISpVoice,
                           reinterpret_cast<void**>(F->Voice.Out())),
          "creating the voice");
    // On an audio layer the events are read right after each (synchronous)
    // Speak and raised as their audio is heard.
    F->Sink = new TNotifySink(
        poster,
        [this] {
            if (!F->Audio)
                DeliverEvents();
        },
        F->Alive);
    // A voice that cannot report events can still list its tokens; Speak
    // asks again and fails then.
    F->SinkSet = SUCCEEDED(F->Voice->SetNotifySink(F->Sink));
}

TSapi5Voice::~TSapi5Voice() {
    F->Alive->store(false);
    F->Playing.reset();
    if (F->SinkSet)
        F->Voice->SetNotifySink(nullptr);
    F->Sink->Release();
}

TSpeechObjectTokens TSapi5Voice::GetVoices(const WideString& required, const WideString& optional) {
    return EnumerateCategory(SPCAT_VOICES, required, optional);
}

namespace {

// A device of the audio layer, for a voice that plays through one.
class TLayerOutputToken final : public ISpeechObjectToken {
public:
    TLayerOutputToken(int index, WideString name) : Index(index), Name(std::move(name)) {}
    WideString GetDescription(int32_t) const override { return Name; }
    const int Index;
    const WideString Name;
};

} // namespace

TSpeechObjectTokens TSapi5Voice::GetAudioOutputs(const WideString& required,
                                                 const WideString& optional) {
    if (!F->Audio)
        return EnumerateCategory(SPCAT_AUDIOOUT, required, optional);
    TSpeechObjectTokens tokens;
    const std::vector<std::string> devices = F->Audio->OutputDevices();
    for (size_t i = 0; i < devices.size(); ++i) {
        WideString name;
        for (const char c : devices[i])
            name.push_back(static_cast<unsigned char>(c)); // the layer's names are ASCII
        tokens.push_back(std::make_shared<TLayerOutputToken>(static_cast<int>(i), std::move(name)));
    }
    return tokens;
}

void TSapi5Voice::SetVoice(const TSpeechObjectToken& voice) {
    ISpObjectToken* token = voice ? OwnToken(voice, "a voice").Token.Get() : nullptr;
    Check(F->Voice->SetVoice(token), "choosing the voice");
}

void TSapi5Voice::SetAudioOutput(const TSpeechObjectToken& output) {
    if (F->Audio) {
        const auto* layer = dynamic_cast<const TLayerOutputToken*>(output.get());
        if (output && !layer)
            throw EParlinoError("The token is not an audio output of this voice's audio layer.");
        F->OutputIndex = layer ? layer->Index : -1;
        return;
    }
    TComPtr<ISpObjectToken> token;
    if (output)
        token = OwnToken(output, "an audio output").Token;
    Check(F->Voice->SetOutput(token.Get(), TRUE), "choosing the audio output");
    F->Output = token;
}

void TSapi5Voice::SetAudioOutputStream(ISpeechFileStream* stream) {
    if (F->Audio) {
        if (stream)
            throw EParlinoError("A voice on an audio layer does not speak into a file stream.");
        return;
    }
    if (!stream) {
        Check(F->Voice->SetOutput(F->Output.Get(), TRUE), "returning to the audio output");
        return;
    }
    auto* file = dynamic_cast<TSapi5FileStream*>(stream);
    if (!file)
        throw EParlinoError("The audio output stream is not a SAPI 5 file stream.");
    Check(F->Voice->SetOutput(static_cast<IUnknown*>(file->ComStream()), TRUE),
          "choosing the file stream");
}

int32_t TSapi5Voice::Rate() const {
    long rate = 0;
    Check(F->Voice->GetRate(&rate), "reading the rate");
    // The factor's part of the rate is not the caller's.
    return F->RateOffset != 0 && F->RateKnown ? F->RateSet : static_cast<int32_t>(rate);
}

void TSapi5Voice::SetRate(int32_t rate) {
    rate = std::clamp(rate, -10, 10);
    Check(F->Voice->SetRate(rate), "setting the rate");
    F->RateSet = rate;
    F->RateKnown = true;
    F->RateOffset = 0;
}

int32_t TSapi5Voice::Volume() const {
    USHORT volume = 0;
    Check(F->Voice->GetVolume(&volume), "reading the volume");
    return volume;
}

void TSapi5Voice::SetVolume(int32_t volume) {
    Check(F->Voice->SetVolume(static_cast<USHORT>(std::clamp(volume, 0, 100))),
          "setting the volume");
}

void TSapi5Voice::SetEventInterests(int32_t interests) {
    F->Interests = interests;
    // The automation flags are SAPI's event bits (1 << SPEI_...); bit 0 is
    // none of them.
    const ULONGLONG events = static_cast<ULONGLONG>(static_cast<uint32_t>(interests) & ~1u);
    const ULONGLONG mask = events ? (events | SPFEI_FLAGCHECK) : 0;
    Check(F->Voice->SetInterest(mask, mask), "choosing the events");
}

int32_t TSapi5Voice::Speak(const WideString& text, int32_t flags) {
    if (F->Audio)
        return SpeakIntoAudio(text, flags);
    if (!F->SinkSet) {
        const HRESULT hr = F->Voice->SetNotifySink(F->Sink);
        if (FAILED(hr))
            Fail("connecting the voice's events", hr);
        F->SinkSet = true;
    }
    ApplyRateFactor();
    ULONG stream = 0;
    const wchar_t* words = text.empty() ? nullptr : Wide(text);
    Check(F->Voice->Speak(words, static_cast<DWORD>(flags), &stream), "speaking");
    return static_cast<int32_t>(stream);
}

int32_t TSapi5Voice::SpeakIntoAudio(const WideString& text, int32_t flags) {
    // Every Speak replaces the stream playing: a stream cut off raises
    // nothing more (its posted events find it gone).
    F->Playing.reset();
    const int32_t number = ++F->LastNumber;
    if (text.empty())
        return number;
    ApplyRateFactor();
    TComPtr<TMemoryStream> memory(new TMemoryStream(F->SampleRate), false);
    Check(F->Voice->SetOutput(static_cast<ISpStreamFormat*>(memory.Get()), TRUE),
          "speaking into memory");
    const ULONGLONG words = SPFEI(SPEI_WORD_BOUNDARY);
    Check(F->Voice->SetInterest(words, words), "choosing the events");
    const DWORD synchronous =
        static_cast<DWORD>(flags) & ~static_cast<DWORD>(SPF_ASYNC | SPF_PURGEBEFORESPEAK);
    ULONG sapiStream = 0;
    Check(F->Voice->Speak(Wide(text), synchronous, &sapiStream), "speaking");

    auto playing = std::make_shared<TAudioStream>();
    playing->Number = number;
    playing->Events.push_back({SPEI_START_INPUT_STREAM, 0, 0, 0});
    for (;;) {
        SPEVENT event{};
        ULONG fetched = 0;
        if (FAILED(F->Voice->GetEvents(1, &event, &fetched)) || fetched == 0)
            break;
        if (event.eEventId == SPEI_WORD_BOUNDARY)
            playing->Events.push_back(
                {SPEI_WORD_BOUNDARY, static_cast<int64_t>(event.ullAudioStreamOffset),
                 static_cast<int32_t>(event.lParam), static_cast<int32_t>(event.wParam)});
        ClearEvent(event);
    }
    const int64_t endPosition = static_cast<int64_t>(memory->Bytes.size());

    // The layer's news, on the program's thread, for the stream still playing.
    const std::weak_ptr<TAudioStream> weak = playing;
    const std::shared_ptr<std::atomic<bool>> alive = F->Alive;
    IEventPoster& poster = F->Poster;
    auto current = [this, weak, alive]() -> std::shared_ptr<TAudioStream> {
        if (!alive->load())
            return nullptr;
        std::shared_ptr<TAudioStream> stream = weak.lock();
        return stream && stream == F->Playing ? stream : nullptr;
    };
    TAudioStreamEvents events;
    events.OnMarkPlayed = [this, &poster, current](uint64_t mark) {
        poster.Post([this, current, mark] {
            const std::shared_ptr<TAudioStream> stream = current();
            if (!stream || mark >= stream->Events.size())
                return;
            const TAudioStream::TEvent& e = stream->Events[mark];
            if (e.Id == SPEI_START_INPUT_STREAM) {
                if ((F->Interests & SVEStartInputStream) && OnStartStream)
                    OnStartStream(stream->Number, 0);
            } else if ((F->Interests & SVEWordBoundary) && OnWord) {
                OnWord(stream->Number, e.Position, e.Character, e.Length);
            }
        });
    };
    auto ended = [this, &poster, current, endPosition] {
        poster.Post([this, current, endPosition] {
            const std::shared_ptr<TAudioStream> stream = current();
            if (!stream)
                return;
            F->Playing.reset();
            if ((F->Interests & SVEEndInputStream) && OnEndStream)
                OnEndStream(stream->Number, endPosition);
        });
    };
    events.OnDrained = ended;
    events.OnFailed = [ended](const std::string&) { ended(); };
    playing->Stream =
        F->Audio->OpenStream(F->OutputIndex, TAudioFormat{F->SampleRate, 1}, std::move(events));
    if (F->Paused)
        playing->Stream->Pause();
    F->Playing = playing;

    const auto* pcm = reinterpret_cast<const int16_t*>(memory->Bytes.data());
    const size_t total = memory->Bytes.size() / 2;
    size_t at = 0;
    for (size_t k = 0; k < playing->Events.size(); ++k) {
        const size_t sample = std::min(total, static_cast<size_t>(playing->Events[k].Position / 2));
        if (sample > at) {
            playing->Stream->Write(pcm + at, sample - at);
            at = sample;
        }
        playing->Stream->Mark(k);
    }
    if (at < total)
        playing->Stream->Write(pcm + at, total - at);
    playing->Stream->Drain();
    return number;
}

void TSapi5Voice::ApplyRateFactor() {
    // The factor goes onto the rate for this speech (and those after it).
    if (F->RateFactor == 1.0 && F->RateOffset == 0)
        return;
    if (!F->RateKnown) {
        long rate = 0;
        Check(F->Voice->GetRate(&rate), "reading the rate");
        F->RateSet = static_cast<int32_t>(rate);
        F->RateKnown = true;
    }
    const int32_t offset =
        static_cast<int32_t>(std::lround(10.0 * std::log(F->RateFactor) / std::log(3.0)));
    const int32_t rate = std::clamp(F->RateSet + offset, -10, 10);
    Check(F->Voice->SetRate(rate), "setting the rate");
    F->RateOffset = rate - F->RateSet;
}

void TSapi5Voice::Pause() {
    if (F->Audio) {
        F->Paused = true;
        if (F->Playing)
            F->Playing->Stream->Pause();
        return;
    }
    Check(F->Voice->Pause(), "pausing");
}

void TSapi5Voice::Resume() {
    if (F->Audio) {
        F->Paused = false;
        if (F->Playing)
            F->Playing->Stream->Resume();
        return;
    }
    Check(F->Voice->Resume(), "resuming");
}

void TSapi5Voice::SetRateFactor(double factor) {
    F->RateFactor = std::isfinite(factor) ? std::clamp(factor, 1.0, 3.0) : 1.0;
}

uint64_t TSapi5Voice::Prepare(const WideString&, int32_t) {
    return 0;
}

void TSapi5Voice::DiscardPrepared() {}

void TSapi5Voice::DeliverEvents() {
    for (;;) {
        SPEVENT event{};
        ULONG fetched = 0;
        if (FAILED(F->Voice->GetEvents(1, &event, &fetched)) || fetched == 0)
            return;
        const auto stream = static_cast<int32_t>(event.ulStreamNum);
        const auto position = static_cast<int64_t>(event.ullAudioStreamOffset);
        const SPEVENTENUM id = static_cast<SPEVENTENUM>(event.eEventId);
        const auto character = static_cast<int32_t>(event.lParam);
        const auto length = static_cast<int32_t>(event.wParam);
        ClearEvent(event);
        // A handler may destroy the voice (the facade's owner may go).
        const std::shared_ptr<std::atomic<bool>> alive = F->Alive;
        if (id == SPEI_START_INPUT_STREAM) {
            if (OnStartStream)
                OnStartStream(stream, position);
        } else if (id == SPEI_END_INPUT_STREAM) {
            if (OnEndStream)
                OnEndStream(stream, position);
        } else if (id == SPEI_WORD_BOUNDARY) {
            if (OnWord)
                OnWord(stream, position, character, length);
        }
        if (!alive->load())
            return;
    }
}

} // namespace parlino
