// Our interface goes first: speech/speech.h declares names (HRESULT, S_OK,
// E_FAIL, the API's interfaces) that the Windows headers define as macros or
// in the global namespace; the system's interfaces are ours too, in
// parlino::sapi4.
#include "platform/win/TSapi4Classes.h"

#include "platform/win/TComApartment.h"
#include "platform/win/TComPtr.h"
#include "platform/win/TOwnComObject.h"

#include <windows.h>

#include "platform/win/Sapi4Com.h"

#include <atomic>
#include <cstring>
#include <functional>

namespace parlino {
namespace {

bool KeyExists(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Objects are made with class context 7 (in-process server, in-process
// handler, local server), as the program always did, when the registry knows
// the class. When it does not, only the in-process contexts are asked (which
// still find a class registered by this process): asking COM for the local
// server of a class nobody registered makes it wait for a server that never
// comes (tens of seconds under Wine).
template <class T> TComPtr<T> Create(const CLSID& clsid, const IID& iid) {
    wchar_t text[40] = {};
    char path[64] = "CLSID\\";
    if (StringFromGUID2(clsid, text, 40) > 0)
        for (size_t i = 0; text[i] && i < 39; ++i)
            path[6 + i] = static_cast<char>(text[i]), path[7 + i] = 0;
    const DWORD context = KeyExists(path)
                              ? (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER)
                              : (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER);
    TComPtr<T> object;
    if (FAILED(
            CoCreateInstance(clsid, nullptr, context, iid, reinterpret_cast<void**>(object.Out()))))
        return {};
    return object;
}

template <class T> TComPtr<T> Query(IUnknown* object, const IID& iid) {
    TComPtr<T> result;
    if (!object || FAILED(object->QueryInterface(iid, reinterpret_cast<void**>(result.Out()))))
        return {};
    return result;
}

GUID ToGuid(const TGUID& g) {
    GUID out;
    out.Data1 = g.Data1, out.Data2 = g.Data2, out.Data3 = g.Data3;
    std::memcpy(out.Data4, g.Data4, 8);
    return out;
}

TGUID FromGuid(const GUID& g) {
    TGUID out;
    out.Data1 = g.Data1, out.Data2 = g.Data2, out.Data3 = g.Data3;
    std::memcpy(out.Data4, g.Data4, 8);
    return out;
}

template <size_t N, size_t M> void CopyText(char (&to)[N], const char (&from)[M]) {
    const size_t length = strnlen(from, M);
    const size_t n = length < N - 1 ? length : N - 1;
    std::memcpy(to, from, n);
    to[n] = 0;
}

void FromRecord(const sapi4::TTSMODEINFOA& m, TTSModeInfoA& out) {
    out = TTSModeInfoA();
    out.gEngineID = FromGuid(m.gEngineID);
    CopyText(out.szMfgName, m.szMfgName);
    CopyText(out.szProductName, m.szProductName);
    out.gModeID = FromGuid(m.gModeID);
    CopyText(out.szModeName, m.szModeName);
    out.language.LanguageID = m.language.LanguageID;
    CopyText(out.language.szDialect, m.language.szDialect);
    CopyText(out.szSpeaker, m.szSpeaker);
    CopyText(out.szStyle, m.szStyle);
    out.wGender = m.wGender;
    out.wAge = m.wAge;
    out.dwFeatures = m.dwFeatures;
    out.dwInterfaces = m.dwInterfaces;
    out.dwEngineFeatures = m.dwEngineFeatures;
}

// The engine's notifications, handed to the program's sink on its thread.
class TComNotifySink final : public TOwnComObject<sapi4::ITTSNotifySinkA> {
public:
    TComNotifySink(IEventPoster& poster, std::shared_ptr<parlino::ITTSNotifySinkA> sink)
        : TOwnComObject(sapi4::IID_ITTSNotifySinkA), Poster(poster), Sink(std::move(sink)) {}
    ::HRESULT STDMETHODCALLTYPE AttribChanged(DWORD attribute) override {
        Poster.Post([sink = Sink, attribute] { sink->AttribChanged(attribute); });
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE AudioStart(sapi4::QWORD time) override {
        Poster.Post([sink = Sink, time] { sink->AudioStart(time); });
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE AudioStop(sapi4::QWORD time) override {
        Poster.Post([sink = Sink, time] { sink->AudioStop(time); });
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE Visual(sapi4::QWORD time, CHAR ipa, CHAR engine, DWORD hints,
                                       sapi4::TTSMOUTH* mouth) override {
        TTSMouth shape;
        if (mouth)
            std::memcpy(static_cast<void*>(&shape), mouth, sizeof shape);
        const bool hasMouth = mouth != nullptr;
        Poster.Post([sink = Sink, time, ipa, engine, hints, shape, hasMouth] {
            sink->Visual(time, ipa, engine, hints, hasMouth ? &shape : nullptr);
        });
        return S_OK;
    }

private:
    IEventPoster& Poster;
    const std::shared_ptr<parlino::ITTSNotifySinkA> Sink;
};
static_assert(sizeof(TTSMouth) == sizeof(sapi4::TTSMOUTH), "the same mouth record");

class TComBufNotifySink final : public TOwnComObject<sapi4::ITTSBufNotifySink> {
public:
    TComBufNotifySink(IEventPoster& poster, std::shared_ptr<parlino::ITTSBufNotifySink> sink)
        : TOwnComObject(sapi4::IID_ITTSBufNotifySink), Poster(poster), Sink(std::move(sink)) {}
    ::HRESULT STDMETHODCALLTYPE TextDataDone(sapi4::QWORD time, DWORD flags) override {
        Poster.Post([sink = Sink, time, flags] { sink->TextDataDone(time, flags); });
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE TextDataStarted(sapi4::QWORD time) override {
        Poster.Post([sink = Sink, time] { sink->TextDataStarted(time); });
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE BookMark(sapi4::QWORD time, DWORD mark) override {
        Poster.Post([sink = Sink, time, mark] { sink->BookMark(time, mark); });
        return S_OK;
    }
    ::HRESULT STDMETHODCALLTYPE WordPosition(sapi4::QWORD time, DWORD position) override {
        Poster.Post([sink = Sink, time, position] { sink->WordPosition(time, position); });
        return S_OK;
    }

private:
    IEventPoster& Poster;
    const std::shared_ptr<parlino::ITTSBufNotifySink> Sink;
};

// The audio destinations keep their COM object, which Select receives.
class TComDestination : public virtual IAudioDestination {
public:
    explicit TComDestination(TComPtr<IUnknown> object) : Object(std::move(object)) {}
    IUnknown* Unknown() const { return Object.Get(); }

private:
    TComPtr<IUnknown> Object;
};

class TComMultiMediaDevice final : public IAudioMultiMediaDevice, public TComDestination {
public:
    explicit TComMultiMediaDevice(TComPtr<sapi4::IAudioMultiMediaDevice> device)
        : TComDestination(TComPtr<IUnknown>(device.Get(), true)), Device(std::move(device)) {}
    HRESULT DeviceNumSet(uint32_t deviceNumber) override {
        return Device->DeviceNumSet(deviceNumber);
    }

private:
    TComPtr<sapi4::IAudioMultiMediaDevice> Device;
};

class TComAudioFile final : public IAudioFile, public TComDestination {
public:
    explicit TComAudioFile(TComPtr<sapi4::IAudioFile> file)
        : TComDestination(TComPtr<IUnknown>(file.Get(), true)), File(std::move(file)) {}
    HRESULT Set(const std::string& fileName, uint32_t flags) override {
        // The ANSI name in the system's code page, as the program holds it.
        std::wstring wide(fileName.size() + 1, L'\0');
        const int n =
            MultiByteToWideChar(CP_ACP, 0, fileName.c_str(), static_cast<int>(fileName.size()),
                                wide.data(), static_cast<int>(wide.size()));
        wide.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return File->Set(wide.c_str(), flags);
    }
    HRESULT RealTimeSet(uint16_t realTime) override { return File->RealTimeSet(realTime); }
    HRESULT Flush() override { return File->Flush(); }

private:
    TComPtr<sapi4::IAudioFile> File;
};

class TComAttributes final : public ITTSAttributesA {
public:
    explicit TComAttributes(TComPtr<sapi4::ITTSAttributesA> a) : A(std::move(a)) {}
    HRESULT PitchGet(uint16_t* pitch) override {
        WORD value = 0;
        const ::HRESULT hr = A->PitchGet(&value);
        if (pitch)
            *pitch = value;
        return hr;
    }
    HRESULT PitchSet(uint16_t pitch) override { return A->PitchSet(pitch); }
    HRESULT RealTimeGet(uint32_t* value) override {
        return Get(&sapi4::ITTSAttributesA::RealTimeGet, value);
    }
    HRESULT RealTimeSet(uint32_t value) override { return A->RealTimeSet(value); }
    HRESULT SpeedGet(uint32_t* value) override {
        return Get(&sapi4::ITTSAttributesA::SpeedGet, value);
    }
    HRESULT SpeedSet(uint32_t value) override { return A->SpeedSet(value); }
    HRESULT VolumeGet(uint32_t* value) override {
        return Get(&sapi4::ITTSAttributesA::VolumeGet, value);
    }
    HRESULT VolumeSet(uint32_t value) override { return A->VolumeSet(value); }

private:
    HRESULT Get(::HRESULT (STDMETHODCALLTYPE sapi4::ITTSAttributesA::*get)(DWORD*), uint32_t* out) {
        DWORD value = 0;
        const ::HRESULT hr = (A.Get()->*get)(&value);
        if (out)
            *out = value;
        return hr;
    }
    TComPtr<sapi4::ITTSAttributesA> A;
};

class TComDialogs final : public ITTSDialogsA {
public:
    explicit TComDialogs(TComPtr<sapi4::ITTSDialogsA> d) : D(std::move(d)) {}
    HRESULT AboutDlg(void* parent, const char* title) override {
        return D->AboutDlg(static_cast<HWND>(parent), title);
    }
    HRESULT GeneralDlg(void* parent, const char* title) override {
        return D->GeneralDlg(static_cast<HWND>(parent), title);
    }
    HRESULT LexiconDlg(void* parent, const char* title) override {
        return D->LexiconDlg(static_cast<HWND>(parent), title);
    }
    HRESULT TranslateDlg(void* parent, const char* title) override {
        return D->TranslateDlg(static_cast<HWND>(parent), title);
    }

private:
    TComPtr<sapi4::ITTSDialogsA> D;
};

class TComCentral final : public ITTSCentralA {
public:
    TComCentral(TComPtr<sapi4::ITTSCentralA> central, IEventPoster& poster)
        : Central(std::move(central)), Poster(poster) {}
    HRESULT Inject(const char* tags) override { return Central->Inject(tags); }
    HRESULT TextData(uint32_t characterSet, uint32_t flags, const char* text, uint32_t size,
                     std::shared_ptr<parlino::ITTSBufNotifySink> sink,
                     const TGUID& sinkInterface) override {
        if (sinkInterface != IID_ITTSBufNotifySink)
            return E_INVALIDARG;
        sapi4::SDATA data{const_cast<char*>(text), size};
        // The engine takes its own reference to the sink it keeps.
        TComBufNotifySink* own = sink ? new TComBufNotifySink(Poster, std::move(sink)) : nullptr;
        const ::HRESULT hr = Central->TextData(
            static_cast<sapi4::VOICECHARSET>(characterSet), flags, data,
            static_cast<sapi4::ITTSBufNotifySink*>(own), sapi4::IID_ITTSBufNotifySink);
        if (own)
            own->Release();
        return hr;
    }
    HRESULT AudioPause() override { return Central->AudioPause(); }
    HRESULT AudioResume() override { return Central->AudioResume(); }
    HRESULT AudioReset() override { return Central->AudioReset(); }
    HRESULT Register(std::shared_ptr<parlino::ITTSNotifySinkA> sink, const TGUID& sinkInterface,
                     uint32_t* key) override {
        if (sinkInterface != IID_ITTSNotifySinkA || !sink)
            return E_INVALIDARG;
        auto* own = new TComNotifySink(Poster, std::move(sink));
        DWORD registered = 0;
        const ::HRESULT hr = Central->Register(static_cast<sapi4::ITTSNotifySinkA*>(own),
                                               sapi4::IID_ITTSNotifySinkA, &registered);
        own->Release();
        if (key)
            *key = registered;
        return hr;
    }
    HRESULT UnRegister(uint32_t key) override { return Central->UnRegister(key); }
    std::shared_ptr<ITTSAttributesA> Attributes() override {
        auto a = Query<sapi4::ITTSAttributesA>(Central.Get(), sapi4::IID_ITTSAttributesA);
        return a ? std::make_shared<TComAttributes>(a) : nullptr;
    }
    std::shared_ptr<ITTSDialogsA> Dialogs() override {
        auto d = Query<sapi4::ITTSDialogsA>(Central.Get(), sapi4::IID_ITTSDialogsA);
        return d ? std::make_shared<TComDialogs>(d) : nullptr;
    }

private:
    TComPtr<sapi4::ITTSCentralA> Central;
    IEventPoster& Poster;
};

class TComEnum final : public ITTSEnumA {
public:
    TComEnum(TComPtr<sapi4::ITTSEnumA> e, IEventPoster& poster) : E(std::move(e)), Poster(poster) {}
    HRESULT Next(uint32_t count, TTSModeInfoA* modes, uint32_t* fetched) override {
        uint32_t done = 0;
        ::HRESULT hr = S_OK;
        // One record at a time: the system's record is not ours.
        while (done < count) {
            sapi4::TTSMODEINFOA record{};
            ULONG one = 0;
            hr = E->Next(1, &record, &one);
            if (FAILED(hr) || one != 1)
                break;
            FromRecord(record, modes[done++]);
            if (hr != S_OK)
                break;
        }
        if (fetched)
            *fetched = done;
        if (FAILED(hr))
            return hr;
        return done == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(uint32_t count) override { return E->Skip(count); }
    HRESULT Reset() override { return E->Reset(); }
    HRESULT Select(const TGUID& modeId, std::shared_ptr<ITTSCentralA>* central,
                   std::shared_ptr<IAudioDestination> destination) override {
        auto* own = dynamic_cast<TComDestination*>(destination.get());
        if (!central || (destination && !own))
            return E_INVALIDARG;
        TComPtr<sapi4::ITTSCentralA> made;
        const ::HRESULT hr = E->Select(ToGuid(modeId), made.Out(), own ? own->Unknown() : nullptr);
        if (FAILED(hr))
            return hr;
        if (!made)
            return E_FAIL;
        *central = std::make_shared<TComCentral>(made, Poster);
        return hr;
    }

private:
    TComPtr<sapi4::ITTSEnumA> E;
    IEventPoster& Poster;
};

} // namespace

bool Sapi4ClassRegistered() {
    return KeyExists("CLSID\\{D67C0280-C743-11cd-80E5-00AA003E4B50}");
}

struct TSapi4Classes::TImpl {
    explicit TImpl(IEventPoster& poster) : Poster(poster) {}
    TComApartment Apartment;
    IEventPoster& Poster;
};

TSapi4Classes::TSapi4Classes(IEventPoster& poster) : F(std::make_unique<TImpl>(poster)) {}

TSapi4Classes::~TSapi4Classes() = default;

std::shared_ptr<ITTSEnumA> TSapi4Classes::CreateEnum() {
    auto e = Create<sapi4::ITTSEnumA>(sapi4::CLSID_TTSEnumerator, sapi4::IID_ITTSEnumA);
    return e ? std::make_shared<TComEnum>(e, F->Poster) : nullptr;
}

std::shared_ptr<IAudioMultiMediaDevice> TSapi4Classes::CreateMultiMediaDevice() {
    auto d = Create<sapi4::IAudioMultiMediaDevice>(sapi4::CLSID_MMAudioDest,
                                                   sapi4::IID_IAudioMultiMediaDevice);
    return d ? std::make_shared<TComMultiMediaDevice>(d) : nullptr;
}

std::shared_ptr<IAudioFile> TSapi4Classes::CreateAudioFile() {
    auto f = Create<sapi4::IAudioFile>(sapi4::CLSID_AudioDestFile, sapi4::IID_IAudioFile);
    return f ? std::make_shared<TComAudioFile>(f) : nullptr;
}

} // namespace parlino
