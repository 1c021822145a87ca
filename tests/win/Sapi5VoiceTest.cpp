// The SAPI 5 layer: its calls and its event handling against fake classes
// registered in this process (CoCreateInstance then gives them), and the
// facade on Wine's own SAPI 5, which has no engine.

#include "fakes/TQueuePoster.h"
#include "platform/Exceptions.h"
#include "platform/win/TComApartment.h"
#include "platform/win/TSapi5Voice.h"
#include "platform/win/TWinCodec.h"
#include "render/TRenderProgram.h"
#include "speech/UbSmartSpeech.h"

#include "FakeCom.h"
#include "SapiStubs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace parlino {
namespace {

using test::TComFake;
using test::TQueuePoster;
using test::TRegisteredClass;

const CLSID SpVoiceClass = {
    0x96749377, 0x3391, 0x11D2, {0x9E, 0xE3, 0x00, 0xC0, 0x4F, 0x79, 0x73, 0x96}};
const CLSID SpFileStreamClass = {
    0x947812B3, 0x2AE1, 0x4644, {0xBA, 0x86, 0x9E, 0x90, 0xDE, 0xD7, 0xEC, 0x91}};
const CLSID SpObjectTokenCategoryClass = {
    0xA910187F, 0x0C7A, 0x45AC, {0x92, 0xCC, 0x59, 0xED, 0xAF, 0xB7, 0x7B, 0x53}};

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text)
        out += static_cast<char>(*text < 128 ? *text : '?');
    return out;
}

wchar_t* TaskString(const std::wstring& text) {
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
    wcscpy(copy, text.c_str());
    return copy;
}

// Everything the fakes were asked, in order.
struct TLog {
    std::vector<std::string> Calls;
    void Add(const std::string& call) { Calls.push_back(call); }
};
TLog* Log = nullptr;

class TFakeToken final : public TComFake<TStubISpObjectToken> {
public:
    explicit TFakeToken(std::wstring description)
        : TOwnComObject({IID_ISpObjectToken, IID_ISpDataKey}), Description(std::move(description)) {}
    HRESULT STDMETHODCALLTYPE GetStringValue(LPCWSTR name, LPWSTR* value) override {
        if (name || Description.empty())
            return E_FAIL;
        *value = TaskString(Description);
        return S_OK;
    }
    std::wstring Description;
};

class TFakeTokenEnum final : public TComFake<TStubIEnumSpObjectTokens> {
public:
    explicit TFakeTokenEnum(std::vector<ISpObjectToken*> tokens)
        : TOwnComObject({IID_IEnumSpObjectTokens}), Tokens(std::move(tokens)) {}
    HRESULT STDMETHODCALLTYPE Next(ULONG count, ISpObjectToken** tokens, ULONG* fetched) override {
        ULONG n = 0;
        while (n < count && At < Tokens.size()) {
            tokens[n] = Tokens[At++];
            tokens[n++]->AddRef();
        }
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE GetCount(ULONG* count) override {
        *count = static_cast<ULONG>(Tokens.size());
        return S_OK;
    }
    std::vector<ISpObjectToken*> Tokens; // the fixture holds them
    size_t At = 0;
};

// Voices: "Anna", a token without a description, "Boris". Outputs:
// "Speakers", "Headphones".
struct TTokens {
    std::vector<TFakeToken*> Voices{new TFakeToken(L"Anna"), new TFakeToken(L""),
                                    new TFakeToken(L"Boris")};
    std::vector<TFakeToken*> Outputs{new TFakeToken(L"Speakers"), new TFakeToken(L"Headphones")};
    ~TTokens() {
        for (auto* t : Voices)
            t->Release();
        for (auto* t : Outputs)
            t->Release();
    }
};
TTokens* Tokens = nullptr;

class TFakeCategory final : public TComFake<TStubISpObjectTokenCategory> {
public:
    TFakeCategory() : TOwnComObject({IID_ISpObjectTokenCategory, IID_ISpDataKey}) {}
    HRESULT STDMETHODCALLTYPE SetId(LPCWSTR id, WINBOOL) override {
        Id = id;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumTokens(LPCWSTR, LPCWSTR, IEnumSpObjectTokens** tokens) override {
        std::vector<TFakeToken*>* list = nullptr;
        if (Id == SPCAT_VOICES)
            list = &Tokens->Voices;
        else if (Id == SPCAT_AUDIOOUT)
            list = &Tokens->Outputs;
        else
            return E_FAIL;
        *tokens = new TFakeTokenEnum(std::vector<ISpObjectToken*>(list->begin(), list->end()));
        return S_OK;
    }
    std::wstring Id;
};

class TFakeFileStream final : public TComFake<TStubISpStream> {
public:
    TFakeFileStream()
        : TOwnComObject({IID_ISpStream, IID_ISpStreamFormat, IID_IStream, IID_ISequentialStream}) {}
    HRESULT STDMETHODCALLTYPE BindToFile(LPCWSTR name, SPFILEMODE mode, const GUID*,
                                         const WAVEFORMATEX* format, ULONGLONG) override {
        Log->Add("BindToFile " + Narrow(name) + " mode " + std::to_string(mode) + " " +
                 std::to_string(format->nSamplesPerSec) + " Hz " +
                 std::to_string(format->wBitsPerSample) + " bit " +
                 std::to_string(format->nChannels));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Close() override {
        Log->Add("Close");
        return S_OK;
    }
};
TFakeFileStream* LastFileStream = nullptr;

std::string TokenName(IUnknown* object) {
    if (!object)
        return "null";
    if (object == static_cast<IUnknown*>(static_cast<ISpStream*>(LastFileStream)))
        return "file stream";
    for (auto* t : Tokens->Voices)
        if (object == static_cast<IUnknown*>(static_cast<ISpObjectToken*>(t)))
            return Narrow(t->Description.c_str());
    for (auto* t : Tokens->Outputs)
        if (object == static_cast<IUnknown*>(static_cast<ISpObjectToken*>(t)))
            return Narrow(t->Description.c_str());
    return "unknown";
}

// The voice: each Speak of a text queues a start, a word per space-separated
// word and an end, and tells the sink from a thread of its own, as SAPI's
// engine thread does.
class TFakeVoice final : public TComFake<TStubISpVoice> {
public:
    TFakeVoice() : TOwnComObject({IID_ISpVoice, IID_ISpEventSource, IID_ISpNotifySource}) {}
    ~TFakeVoice() override {
        if (Sink)
            Sink->Release();
        if (Stream)
            Stream->Release();
    }
    HRESULT STDMETHODCALLTYPE SetNotifySink(ISpNotifySink* sink) override {
        Log->Add(sink ? "SetNotifySink" : "SetNotifySink null");
        if (Sink)
            Sink->Release();
        Sink = sink;
        if (Sink)
            Sink->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetInterest(ULONGLONG events, ULONGLONG queued) override {
        char text[64];
        std::snprintf(text, sizeof text, "SetInterest %llx %llx", events, queued);
        Log->Add(text);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetEvents(ULONG count, SPEVENT* events, ULONG* fetched) override {
        std::lock_guard lock(Mutex);
        ULONG n = 0;
        for (; n < count && !Queue.empty(); ++n) {
            events[n] = Queue.front();
            Queue.pop_front();
        }
        *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE SetOutput(IUnknown* output, WINBOOL) override {
        if (Stream)
            Stream->Release();
        Stream = nullptr;
        // A stream of the voice's own (not a token, not the file stream fake):
        // the voice speaks into memory.
        if (output && TokenName(output) == "unknown" &&
            SUCCEEDED(
                output->QueryInterface(IID_ISpStreamFormat, reinterpret_cast<void**>(&Stream)))) {
            Log->Add("SetOutput memory stream");
            return S_OK;
        }
        Log->Add("SetOutput " + TokenName(output));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetVoice(ISpObjectToken* voice) override {
        Log->Add("SetVoice " + TokenName(voice));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetRate(LONG rate) override {
        Log->Add("SetRate " + std::to_string(rate));
        Rate = rate;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRate(LONG* rate) override {
        *rate = Rate;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetVolume(USHORT volume) override {
        Log->Add("SetVolume " + std::to_string(volume));
        Volume = volume;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetVolume(USHORT* volume) override {
        *volume = Volume;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Pause() override {
        Log->Add("Pause");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Resume() override {
        Log->Add("Resume");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Speak(LPCWSTR text, DWORD flags, ULONG* stream) override {
        Log->Add("Speak " + (text ? "\"" + Narrow(text) + "\"" : std::string("null")) + " " +
                 std::to_string(flags));
        const ULONG number = ++Streams;
        if (stream)
            *stream = number;
        if (!text || !*text)
            return S_OK;
        if (Stream)
            return SpeakIntoStream(text, number);
        {
            std::lock_guard lock(Mutex);
            auto event = [&](SPEVENTENUM id, ULONGLONG offset, WPARAM w, LPARAM l) {
                SPEVENT e{};
                e.eEventId = id;
                e.elParamType = SPET_LPARAM_IS_UNDEFINED;
                e.ulStreamNum = number;
                e.ullAudioStreamOffset = offset;
                e.wParam = w;
                e.lParam = l;
                Queue.push_back(e);
            };
            event(SPEI_START_INPUT_STREAM, 0, 0, 0);
            const std::wstring all(text);
            for (size_t at = 0; at < all.size();) {
                const size_t end = std::min(all.find(L' ', at), all.size());
                event(SPEI_WORD_BOUNDARY, 1000 * (at + 1), end - at, static_cast<LPARAM>(at));
                at = end + 1;
            }
            event(SPEI_END_INPUT_STREAM, 1000 * (all.size() + 1), 0, 0);
        }
        if (Sink) {
            Sink->AddRef();
            std::thread([sink = Sink] {
                sink->Notify();
                sink->Release();
            }).join();
        }
        return S_OK;
    }

    // Each space-separated piece sounds for 200 ms at a constant level, with
    // 100 ms of silence after it, in the stream's format; a word event marks
    // where its sound starts.
    HRESULT SpeakIntoStream(const wchar_t* text, ULONG number) {
        GUID id{};
        WAVEFORMATEX* format = nullptr;
        if (FAILED(Stream->GetFormat(&id, &format)) || !format)
            return E_FAIL;
        const size_t rate = format->nSamplesPerSec;
        Log->Add("into memory at " + std::to_string(rate) + " Hz, " +
                 std::to_string(format->wBitsPerSample) + " bit");
        CoTaskMemFree(format);
        ULONGLONG written = 0;
        const std::wstring all(text);
        for (size_t at = 0; at < all.size();) {
            const size_t end = std::min(all.find(L' ', at), all.size());
            {
                std::lock_guard lock(Mutex);
                SPEVENT e{};
                e.eEventId = SPEI_WORD_BOUNDARY;
                e.elParamType = SPET_LPARAM_IS_UNDEFINED;
                e.ulStreamNum = number;
                e.ullAudioStreamOffset = written;
                e.wParam = end - at;
                e.lParam = static_cast<LPARAM>(at);
                Queue.push_back(e);
            }
            std::vector<int16_t> sound(rate * 3 / 10, 0);
            std::fill(sound.begin(), sound.begin() + static_cast<ptrdiff_t>(rate / 5),
                      int16_t{8000});
            ULONG done = 0;
            Stream->Write(sound.data(), static_cast<ULONG>(sound.size() * 2), &done);
            written += done;
            at = end + 1;
        }
        return S_OK;
    }

    ISpNotifySink* Sink = nullptr;
    ISpStreamFormat* Stream = nullptr;
    std::mutex Mutex;
    std::deque<SPEVENT> Queue;
    LONG Rate = 0;
    USHORT Volume = 100;
    ULONG Streams = 0;
};

class Sapi5Fakes : public ::testing::Test {
protected:
    void SetUp() override {
        Log = &FLog;
        Tokens = &FTokens;
        ASSERT_TRUE(SUCCEEDED(VoiceClass.Result));
        ASSERT_TRUE(SUCCEEDED(CategoryClass.Result));
        ASSERT_TRUE(SUCCEEDED(StreamClass.Result));
    }
    void TearDown() override {
        Log = nullptr;
        Tokens = nullptr;
    }
    TUbSmartSpeechBackends Backends() {
        TUbSmartSpeechBackends b;
        b.Sapi5Installed = [] { return true; };
        b.CreateVoice = [this]() -> std::unique_ptr<ISpeechVoice> {
            return std::make_unique<TSapi5Voice>(Poster);
        };
        b.CreateFileStream = []() -> std::unique_ptr<ISpeechFileStream> {
            return std::make_unique<TSapi5FileStream>();
        };
        return b;
    }

    TComApartment Apartment;
    TLog FLog;
    TTokens FTokens;
    TQueuePoster Poster;
    TWinCodec Codec;
    TRegisteredClass VoiceClass{
        SpVoiceClass, []() -> IUnknown* { return static_cast<ISpVoice*>(new TFakeVoice); }};
    TRegisteredClass CategoryClass{
        SpObjectTokenCategoryClass,
        []() -> IUnknown* { return static_cast<ISpObjectTokenCategory*>(new TFakeCategory); }};
    TRegisteredClass StreamClass{SpFileStreamClass, []() -> IUnknown* {
                                     LastFileStream = new TFakeFileStream;
                                     return static_cast<ISpStream*>(LastFileStream);
                                 }};
};

TEST_F(Sapi5Fakes, TheVoiceListHoldsTheSystemsVoicesThatHaveADescription) {
    TUbSmartSpeech speech(Backends(), Codec, Poster);
    EXPECT_EQ(speech.VoiceNames(), (std::vector<std::string>{"Anna", "Boris"}));
    ASSERT_EQ(speech.AudioOutputs().size(), 2u);
    EXPECT_EQ(speech.AudioOutputs()[0].first, "Speakers");
    EXPECT_EQ(speech.AudioOutputs()[1].first, "Headphones");
    const TUbSmartSpeechVoiceInfo& anna = *speech.Voices()[0].second;
    EXPECT_EQ(anna.SpeedMin, -10);
    EXPECT_EQ(anna.SpeedMax, 10);
    EXPECT_EQ(anna.PitchMin, -50);
    EXPECT_EQ(anna.VolumeMax, 100);
}

TEST_F(Sapi5Fakes, SelectingAVoiceGivesItsTokenToTheVoiceAndSetsRateAndVolume) {
    TUbSmartSpeech speech(Backends(), Codec, Poster);
    FLog.Calls.clear();
    speech.SelectVoice("boris");
    EXPECT_EQ(FLog.Calls,
              (std::vector<std::string>{"SetVoice Boris", "SetRate 0", "SetVolume 100"}));
    speech.SetSpeed(-4);
    speech.SetVolume(55);
    EXPECT_EQ(speech.GetSpeed(), -4);
    EXPECT_EQ(speech.GetVolume(), 55);
}

TEST_F(Sapi5Fakes, SpeakingSendsTheMarkedUpTextAndTheEventsReachTheFacadeInOrderWithPositions) {
    TUbSmartSpeech speech(Backends(), Codec, Poster);
    std::vector<std::string> events;
    speech.OnStart = [&](TUbSmartSpeech*) { events.push_back("start"); };
    speech.OnWordPosition = [&](TUbSmartSpeech*, uint32_t at) {
        events.push_back("word " + std::to_string(at));
    };
    speech.OnStop = [&](TUbSmartSpeech*) { events.push_back("stop"); };
    speech.SelectVoice("Anna");
    speech.AudioOutput = 1;
    speech.Text = {"Good day"};
    FLog.Calls.clear();
    speech.Speak();
    // Events: start, end and word boundary, SAPI's event bits with its two
    // check bits; flags 11 (async, purge, XML).
    EXPECT_EQ(FLog.Calls,
              (std::vector<std::string>{"SetOutput null", "SetOutput Headphones",
                                        "SetInterest 240000026 240000026",
                                        "Speak \"<PITCH ABSMIDDLE=\"0\">Good day\r\n\" 11"}));
    EXPECT_FALSE(speech.IsIdle());
    EXPECT_TRUE(events.empty()); // nothing before the program's thread pumps
    Poster.Pump();
    // The fake takes every space-separated piece for a word: "<PITCH" at 0,
    // "ABSMIDDLE=\"0\">Good" at 7 and "day" at 26.
    EXPECT_EQ(events, (std::vector<std::string>{"start", "word 0", "word 7", "word 26", "stop"}));
    EXPECT_TRUE(speech.IsIdle());
}

TEST_F(Sapi5Fakes, PauseResumeAndStopCallTheVoiceInTheFacadesOrder) {
    TUbSmartSpeech speech(Backends(), Codec, Poster);
    speech.SelectVoice("");
    speech.UseTags = false;
    speech.Text = {"Hello"};
    speech.Speak();
    FLog.Calls.clear();
    speech.Pause();
    EXPECT_TRUE(speech.IsPaused());
    speech.Stop();
    EXPECT_EQ(FLog.Calls, (std::vector<std::string>{"Pause", "Resume", "Speak null 2"}));
    EXPECT_FALSE(speech.IsPaused());
    EXPECT_TRUE(speech.IsIdle());
    // The events of the stream the purge cut off do not end the next one.
    speech.Speak();
    Poster.Pump();
    EXPECT_TRUE(speech.IsIdle());
}

TEST_F(Sapi5Fakes, TheFileStreamIsBoundToTheFileAndBecomesTheVoicesOutput) {
    TSapi5Voice voice(Poster);
    TSapi5FileStream stream;
    stream.Open(u"out.wav", SSFMCreateForWrite, false);
    voice.SetAudioOutputStream(&stream);
    voice.SetAudioOutputStream(nullptr);
    stream.Close();
    EXPECT_EQ(FLog.Calls, (std::vector<std::string>{
                              "SetNotifySink", "BindToFile out.wav mode 3 22050 Hz 16 bit 1",
                              "SetOutput file stream", "SetOutput null", "Close"}));
}

TEST_F(Sapi5Fakes, TheRateFactorRaisesTheRateOfTheNextSpeechOnly) {
    TSapi5Voice voice(Poster);
    voice.SetRate(2);
    voice.SetRateFactor(3.0); // three times as fast: ten steps more
    FLog.Calls.clear();
    voice.Speak(u"x", SVSFlagsAsync);
    EXPECT_EQ(FLog.Calls, (std::vector<std::string>{"SetRate 10", "Speak \"x\" 1"}));
    EXPECT_EQ(voice.Rate(), 2);
    EXPECT_EQ(voice.Prepare(u"x", SVSFlagsAsync), 0u);
    voice.SetRateFactor(1.0);
    FLog.Calls.clear();
    voice.Speak(u"x", SVSFlagsAsync);
    EXPECT_EQ(FLog.Calls, (std::vector<std::string>{"SetRate 2", "Speak \"x\" 1"}));
}

TEST_F(Sapi5Fakes, ATokenOfAnotherLayerIsRefused) {
    TSapi5Voice voice(Poster);
    class TOther final : public ISpeechObjectToken {
        WideString GetDescription(int32_t) const override { return u"other"; }
    };
    EXPECT_THROW(voice.SetVoice(std::make_shared<TOther>()), EParlinoError);
}

TEST_F(Sapi5Fakes, DestroyingTheVoiceInAnEventHandlerStopsTheDelivery) {
    auto voice = std::make_unique<TSapi5Voice>(Poster);
    int events = 0;
    voice->OnStartStream = [&](int32_t, int64_t) {
        ++events;
        voice.reset();
    };
    voice->OnWord = [&](int32_t, int64_t, int32_t, int32_t) { ++events; };
    voice->Speak(u"a b", SVSFlagsAsync);
    Poster.Pump();
    EXPECT_EQ(events, 1);
}

// parlino-render's render on Windows: the voice speaks each subtitle into
// memory and the track holds that audio at the subtitles' times.
TEST_F(Sapi5Fakes, ARenderSpeaksThroughTheVoiceIntoTheTrack) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "parlino-sapi5-render";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string srt = (folder / "two.srt").string(), wav = (folder / "two.wav").string();
    std::ofstream(srt, std::ios::binary) << "1\r\n00:00:01,000 --> 00:00:02,000\r\nGood day\r\n\r\n"
                                            "2\r\n00:00:03,000 --> 00:00:04,000\r\nBye\r\n";
    const TRenderEnvironment env{Codec, folder.string(), nullptr, {}, nullptr};
    std::ostringstream out, err;
    ASSERT_EQ(RunRenderProgram({srt, "-o", wav, "--voice", "boris"}, out, err, env), 0)
        << err.str();
    EXPECT_NE(out.str().find("subtitles found"), std::string::npos) << out.str();
    EXPECT_NE(std::find(FLog.Calls.begin(), FLog.Calls.end(), "SetVoice Boris"), FLog.Calls.end());
    EXPECT_NE(std::find(FLog.Calls.begin(), FLog.Calls.end(), "into memory at 22050 Hz, 16 bit"),
              FLog.Calls.end());
    // Synchronous (no asynchronous or purge flag), with the mark-up: 8.
    EXPECT_NE(std::find(FLog.Calls.begin(), FLog.Calls.end(),
                        "Speak \"<PITCH ABSMIDDLE=\"0\">Bye\r\n\" 8"),
              FLog.Calls.end());

    std::vector<char> bytes;
    {
        std::ifstream file(wav, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    ASSERT_GT(bytes.size(), 44u);
    ASSERT_EQ(std::string(bytes.data(), 4), "RIFF");
    std::vector<int16_t> samples((bytes.size() - 44) / 2);
    std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
    auto firstSoundFrom = [&](size_t from) {
        for (size_t i = from; i < samples.size(); ++i)
            if (samples[i] != 0)
                return i;
        return samples.size();
    };
    // The same onsets as the Linux render of this file gives (its report:
    // 100 and 2100 ms); the first speech's three pieces end by 1 s.
    const size_t rate = 22050;
    EXPECT_EQ(firstSoundFrom(0), rate / 10);
    EXPECT_EQ(firstSoundFrom(rate), rate * 21 / 10);
    std::filesystem::remove_all(folder);
}

// Wine's SAPI 5 creates SpVoice but has no engine and one empty token.
TEST(Sapi5OnTheSystem, WithoutAnEngineTheVoiceListIsEmptyAndTheFacadeSaysSo) {
    using test::TQueuePoster;
    TComApartment apartment;
    TQueuePoster poster;
    TWinCodec codec;
    TUbSmartSpeechBackends b;
    b.Sapi5Installed = [] { return Sapi5ClassRegistered(); };
    b.CreateVoice = [&]() -> std::unique_ptr<ISpeechVoice> {
        return std::make_unique<TSapi5Voice>(poster);
    };
    {
        // The listing itself succeeds: its one token has no description.
        TSapi5Voice voice(poster);
        EXPECT_TRUE(voice.GetVoices().empty());
    }
    TUbSmartSpeech speech(b, codec, poster);
    EXPECT_TRUE(speech.Voices().empty());
    EXPECT_FALSE(speech.VoiceSelected());
    EXPECT_EQ(speech.VoiceName(), "");
    speech.Stop();
    try {
        speech.Speak();
        FAIL() << "spoke without a voice";
    } catch (const EParlinoError& e) {
        EXPECT_STREQ(e.what(), "TUbSmartSpeech.GetInfo: Select voice first!");
    }
    EXPECT_THROW(speech.SelectVoice(""), EParlinoError);
}

} // namespace
} // namespace parlino
