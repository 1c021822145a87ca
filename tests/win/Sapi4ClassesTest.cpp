// The SAPI 4 layer: the "not installed" path on the bare prefix (nothing
// registers SAPI 4 there), and the call order and the notification sinks
// against fake classes registered in this process. The facade's registry
// check needs the enumerator's key under HKEY_CLASSES_ROOT itself (Wine does
// not merge HKCU\Software\Classes), so the fixture writes it there and
// removes it again.

#include "fakes/TQueuePoster.h"
#include "platform/win/TComApartment.h"
#include "platform/win/TSapi4Classes.h"
#include "platform/win/TWinCodec.h"
#include "speech/UbSmartSpeech.h"
#include "speech/UbSpeech.h"

#include "FakeCom.h"

#include "platform/win/Sapi4Com.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace parlino {
namespace {

using test::TComFake;
using test::TQueuePoster;
using test::TRegisteredClass;

std::vector<std::string>* Log = nullptr;
// What the fakes are asked outside a test's log (as a fixture goes) is dropped.
void Add(const std::string& call) {
    if (Log)
        Log->push_back(call);
}

const char* const EnumeratorKey = "CLSID\\{D67C0280-C743-11cd-80E5-00AA003E4B50}";

class TStubMultiMediaDevice : public sapi4::IAudioMultiMediaDevice {
public:
    ::HRESULT STDMETHODCALLTYPE CustomMessage(UINT, sapi4::SDATA) override { return E_NOTIMPL; }
    ::HRESULT STDMETHODCALLTYPE DeviceNumGet(DWORD*) override { return E_NOTIMPL; }
    ::HRESULT STDMETHODCALLTYPE DeviceNumSet(DWORD number) override {
        Add("DeviceNumSet " + std::to_string(number));
        return S_OK;
    }
};

class TStubAudioFile : public sapi4::IAudioFile {
public:
    ::HRESULT STDMETHODCALLTYPE Register(IUnknown*) override { return E_NOTIMPL; }
    ::HRESULT STDMETHODCALLTYPE Set(const WCHAR* name, DWORD flags) override {
        std::string narrow;
        for (; *name; ++name)
            narrow += static_cast<char>(*name);
        parlino::Add("Set " + narrow + " " + std::to_string(flags));
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE Add(const WCHAR*, DWORD) override { return E_NOTIMPL; }
    ::HRESULT STDMETHODCALLTYPE Flush() override {
        parlino::Add("Flush");
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE RealTimeSet(WORD value) override {
        parlino::Add("RealTimeSet " + std::to_string(value));
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE RealTimeGet(WORD*) override { return E_NOTIMPL; }
};

// The central answers to its attributes and dialogs as well. Speaking a text
// makes the engine, on a thread of its own, report the start of audio, a
// word at each space-separated piece, the text done and the end of audio.
class TFakeCentral final : public sapi4::ITTSCentralA,
                           public sapi4::ITTSAttributesA,
                           public sapi4::ITTSDialogsA {
public:
    ~TFakeCentral() {
        if (Notify)
            Notify->Release();
    }
    ::HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_IUnknown || riid == sapi4::IID_ITTSCentralA)
            *object = static_cast<sapi4::ITTSCentralA*>(this);
        else if (riid == sapi4::IID_ITTSAttributesA)
            *object = static_cast<sapi4::ITTSAttributesA*>(this);
        else if (riid == sapi4::IID_ITTSDialogsA)
            *object = static_cast<sapi4::ITTSDialogsA*>(this);
        else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++Count; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --Count;
        if (left == 0)
            delete this;
        return left;
    }
    ::HRESULT STDMETHODCALLTYPE Inject(const CHAR* tags) override {
        Add(std::string("Inject ") + tags);
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE ModeGet(sapi4::TTSMODEINFOA*) override { return E_NOTIMPL; }
    ::HRESULT STDMETHODCALLTYPE Phoneme(sapi4::VOICECHARSET, DWORD, sapi4::SDATA,
                                        sapi4::SDATA*) override {
        return E_NOTIMPL;
    }
    ::HRESULT STDMETHODCALLTYPE PosnGet(sapi4::QWORD*) override { return E_NOTIMPL; }
    ::HRESULT STDMETHODCALLTYPE TextData(sapi4::VOICECHARSET set, DWORD flags, sapi4::SDATA data,
                                         void* sink, IID iid) override {
        const std::string text(static_cast<const char*>(data.pData));
        std::string shown = text;
        for (size_t at; (at = shown.find("\r\n")) != std::string::npos;)
            shown.replace(at, 2, "|");
        Add("TextData " + std::to_string(set) + " " + std::to_string(flags) + " \"" + shown +
            "\" " + std::to_string(data.dwSize) +
            (iid == sapi4::IID_ITTSBufNotifySink ? " buffer sink" : " other sink"));
        auto* buffer = static_cast<sapi4::ITTSBufNotifySink*>(sink);
        buffer->AddRef();
        Notify->AddRef();
        std::thread([buffer, notify = Notify, text] {
            notify->AudioStart(1);
            for (size_t at = 0; at < text.size();) {
                buffer->WordPosition(2, static_cast<DWORD>(at));
                const size_t space = text.find(' ', at);
                at = space == std::string::npos ? text.size() : space + 1;
            }
            buffer->TextDataDone(3, 0);
            notify->AudioStop(4);
            buffer->Release();
            notify->Release();
        }).join();
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE ToFileTime(sapi4::QWORD*, FILETIME*) override { return E_NOTIMPL; }
    ::HRESULT STDMETHODCALLTYPE AudioPause() override {
        Add("AudioPause");
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE AudioResume() override {
        Add("AudioResume");
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE AudioReset() override {
        Add("AudioReset");
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE Register(void* sink, IID iid, DWORD* key) override {
        Add(std::string("Register") +
            (iid == sapi4::IID_ITTSNotifySinkA ? " notify sink" : " other sink"));
        Notify = static_cast<sapi4::ITTSNotifySinkA*>(sink);
        Notify->AddRef();
        *key = 7;
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE UnRegister(DWORD key) override {
        Add("UnRegister " + std::to_string(key));
        return S_OK;
    }
    // Attributes: pitch 50..400, speed 80..300, real time 0..100.
    ::HRESULT STDMETHODCALLTYPE PitchGet(WORD* v) override {
        *v = Pitch;
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE PitchSet(WORD v) override {
        Pitch = std::clamp<WORD>(v, 50, 400);
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE RealTimeGet(DWORD* v) override {
        *v = RealTime;
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE RealTimeSet(DWORD v) override {
        RealTime = std::min<DWORD>(v, 100);
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE SpeedGet(DWORD* v) override {
        *v = Speed;
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE SpeedSet(DWORD v) override {
        Speed = std::clamp<DWORD>(v, 80, 300);
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE VolumeGet(DWORD* v) override {
        *v = 0xFFFFFFFF;
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE VolumeSet(DWORD) override { return S_OK; }
    ::HRESULT STDMETHODCALLTYPE AboutDlg(HWND, const CHAR*) override { return E_NOTIMPL; }
    ::HRESULT STDMETHODCALLTYPE LexiconDlg(HWND, const CHAR*) override { return E_NOTIMPL; }
    ::HRESULT STDMETHODCALLTYPE GeneralDlg(HWND, const CHAR*) override { return E_NOTIMPL; }
    ::HRESULT STDMETHODCALLTYPE TranslateDlg(HWND, const CHAR*) override { return E_NOTIMPL; }

    sapi4::ITTSNotifySinkA* Notify = nullptr;
    WORD Pitch = 120;
    DWORD Speed = 150, RealTime = 50;

private:
    std::atomic<ULONG> Count{1};
};

class TStubEnum : public sapi4::ITTSEnumA {
public:
    ::HRESULT STDMETHODCALLTYPE Clone(sapi4::ITTSEnumA**) override { return E_NOTIMPL; }
};

// Two modes, "Mary" and "Mike".
class TFakeEnum final : public TComFake<TStubEnum> {
public:
    TFakeEnum() : TOwnComObject({sapi4::IID_ITTSEnumA}) {}
    static sapi4::TTSMODEINFOA Mode(int n) {
        sapi4::TTSMODEINFOA m{};
        m.gModeID = {0x1000u + n, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
        std::strcpy(m.szModeName, n == 0 ? "Mary" : "Mike");
        std::strcpy(m.szMfgName, "Fake");
        std::strcpy(m.language.szDialect, "Standard");
        m.wGender = n == 0 ? 1 : 2;
        return m;
    }
    ::HRESULT STDMETHODCALLTYPE Next(ULONG count, sapi4::TTSMODEINFOA* modes,
                                     ULONG* fetched) override {
        Add("Next " + std::to_string(count));
        ULONG n = 0;
        for (; n < count && At < 2; ++n)
            modes[n] = Mode(At++);
        *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    ::HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        Add("Skip " + std::to_string(count));
        At += static_cast<int>(count);
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE Reset() override {
        Add("Reset");
        At = 0;
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE Select(GUID mode, sapi4::ITTSCentralA** central,
                                       IUnknown* destination) override {
        Add("Select " + std::to_string(mode.Data1 - 0x1000u) +
            (destination ? " with destination" : " without"));
        *central = new TFakeCentral;
        return S_OK;
    }
    int At = 0;
};

class Sapi4Fakes : public ::testing::Test {
protected:
    void SetUp() override {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, EnumeratorKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
        ASSERT_TRUE(SUCCEEDED(EnumClass.Result));
        ASSERT_TRUE(SUCCEEDED(DeviceClass.Result));
        ASSERT_TRUE(SUCCEEDED(FileClass.Result));
    }
    void TearDown() override {
        RegDeleteKeyA(HKEY_CLASSES_ROOT, EnumeratorKey);
        Log = nullptr;
    }
    TUbSmartSpeechBackends Backends() {
        TUbSmartSpeechBackends b;
        b.Sapi4Installed = [] { return Sapi4ClassRegistered(); };
        b.Sapi4Speech = &Legacy;
        return b;
    }

    std::vector<std::string> Calls;
    // The legacy component lists the engines as it is made.
    bool Logging = (Log = &Calls, true);
    TComApartment Apartment;
    TQueuePoster Poster;
    TWinCodec Codec;
    TRegisteredClass EnumClass{sapi4::CLSID_TTSEnumerator, []() -> IUnknown* {
                                   return static_cast<sapi4::ITTSEnumA*>(new TFakeEnum);
                               }};
    TRegisteredClass DeviceClass{
        sapi4::CLSID_MMAudioDest, []() -> IUnknown* {
            return static_cast<sapi4::IAudioMultiMediaDevice*>(
                new TComFake<TStubMultiMediaDevice>({sapi4::IID_IAudioMultiMediaDevice}));
        }};
    TRegisteredClass FileClass{sapi4::CLSID_AudioDestFile, []() -> IUnknown* {
                                   return static_cast<sapi4::IAudioFile*>(
                                       new TComFake<TStubAudioFile>({sapi4::IID_IAudioFile}));
                               }};
    TSapi4Classes Classes{Poster};
    TUbSpeech Legacy{Classes};
};

TEST_F(Sapi4Fakes, TheEnginesModesAreTheLegacyVoices) {
    EXPECT_TRUE(Sapi4ClassRegistered());
    EXPECT_TRUE(Legacy.Initialized);
    TUbSmartSpeech speech(Backends(), Codec, Poster);
    EXPECT_EQ(speech.VoiceNames(), (std::vector<std::string>{"Mary", "Mike"}));
}

TEST_F(Sapi4Fakes, SelectingAModeAttachesItsCentralAndReadsItsRanges) {
    TUbSmartSpeech speech(Backends(), Codec, Poster);
    Calls.clear();
    speech.SelectVoice("MIKE");
    EXPECT_EQ(Calls,
              (std::vector<std::string>{"Reset", "Skip 1", "Next 1", "Select 1 with destination",
                                        "Register notify sink"}));
    const TUbSmartSpeechVoiceInfo& info = speech.GetInfo();
    EXPECT_EQ(info.PitchMin, 50);
    EXPECT_EQ(info.PitchMax, 400);
    EXPECT_EQ(info.SpeedMin, 80);
    EXPECT_EQ(info.SpeedMax, 300);
    EXPECT_EQ(Legacy.EngineInfo.Gender, "MALE");
    EXPECT_EQ(Legacy.EngineInfo.Dialect, "Standard");
    EXPECT_EQ(Legacy.EngineInfo.MfgName, "Fake");
    // The probing put the values back.
    EXPECT_EQ(speech.GetPitch(), 120);
    EXPECT_EQ(speech.GetSpeed(), 150);
    EXPECT_EQ(speech.GetVolume(), 100);
}

TEST_F(Sapi4Fakes, ParametersAreInjectedAsTags) {
    TUbSmartSpeech speech(Backends(), Codec, Poster);
    speech.SelectVoice("Mary");
    Calls.clear();
    speech.SetSpeed(200);
    speech.SetPitch(90);
    speech.SetVolume(50);
    EXPECT_EQ(Calls, (std::vector<std::string>{"Inject \\Spd=200\\", "Inject \\Pit=90\\",
                                               "Inject \\Vol=2147450879\\"}));
}

TEST_F(Sapi4Fakes, SpeakingHandsTheTextOverAndTheEnginesNotificationsReachTheFacadeInOrder) {
    TUbSmartSpeech speech(Backends(), Codec, Poster);
    std::vector<std::string> events;
    speech.OnStart = [&](TUbSmartSpeech*) { events.push_back("start"); };
    speech.OnWordPosition = [&](TUbSmartSpeech*, uint32_t at) {
        events.push_back("word " + std::to_string(at));
    };
    speech.OnStop = [&](TUbSmartSpeech*) { events.push_back("stop"); };
    speech.SelectVoice("Mary");
    speech.Text = {"Good day"};
    Calls.clear();
    speech.Speak();
    EXPECT_EQ(Calls, (std::vector<std::string>{"DeviceNumSet 4294967295",
                                               "TextData 0 1 \"Good day|\" 11 buffer sink"}));
    EXPECT_TRUE(events.empty()); // the sinks' news waits for the program's thread
    EXPECT_FALSE(speech.IsIdle());
    Poster.Pump();
    EXPECT_EQ(events, (std::vector<std::string>{"start", "word 0", "word 5", "stop"}));
    EXPECT_TRUE(speech.IsIdle());
}

TEST_F(Sapi4Fakes, PauseResumeAndStopAreTheCentralsAudioCalls) {
    TUbSmartSpeech speech(Backends(), Codec, Poster);
    speech.SelectVoice("Mary");
    Calls.clear();
    speech.Pause();
    EXPECT_TRUE(speech.IsPaused());
    speech.Resume();
    speech.Pause();
    speech.Stop();
    EXPECT_FALSE(speech.IsPaused());
    EXPECT_EQ(Calls,
              (std::vector<std::string>{"AudioPause", "AudioResume", "AudioPause", "AudioReset"}));
}

TEST_F(Sapi4Fakes, FileOutputGoesToTheFileDestination) {
    Legacy.Output = TUbSpeechOutput::soFile;
    Legacy.SelectEngine("Mary");
    ASSERT_TRUE(Legacy.EngineSelected);
    Legacy.Output = TUbSpeechOutput::soFile;
    Legacy.Filename = "out.wav";
    Legacy.FileRealTime = 3;
    Calls.clear();
    Legacy.Speak("Hi");
    Poster.Pump();
    EXPECT_EQ(Calls, (std::vector<std::string>{"Set out.wav 1", "RealTimeSet 3",
                                               "TextData 0 1 \"Hi\" 3 buffer sink", "Flush"}));
}

TEST(Sapi4OnTheSystem, NotInstalledMeansNoLegacyVoicesAndTheComponentsMessage) {
    TComApartment apartment;
    TQueuePoster poster;
    TWinCodec codec;
    EXPECT_FALSE(Sapi4ClassRegistered());
    TSapi4Classes classes(poster);
    EXPECT_EQ(classes.CreateEnum(), nullptr);
    EXPECT_EQ(classes.CreateMultiMediaDevice(), nullptr);
    EXPECT_EQ(classes.CreateAudioFile(), nullptr);
    TUbSpeech legacy(classes);
    EXPECT_FALSE(legacy.Initialized);
    EXPECT_TRUE(legacy.Engines.empty());
    try {
        legacy.SelectEngine("Mary");
        FAIL() << "selected an engine that is not there";
    } catch (const EMSpeechException& e) {
        EXPECT_STREQ(e.what(), "Speech Engine not initialized.\r\nPossibly, you need to set "
                               "up\r\nMicrosoft\xAE SpeechAPI");
    }
    TUbSmartSpeechBackends b;
    b.Sapi4Installed = [] { return Sapi4ClassRegistered(); };
    b.Sapi4Speech = &legacy;
    TUbSmartSpeech speech(b, codec, poster);
    EXPECT_TRUE(speech.Voices().empty());
}

} // namespace
} // namespace parlino
