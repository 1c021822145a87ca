#pragma once
// Our own declarations of the SAPI 4 text-to-speech COM interfaces, records
// and identifiers that the legacy voice layer uses (no header provides
// them): the ANSI interfaces of Microsoft's SAPI 4 SDK, method for method in
// its order, and its ANSI mode record (1424 bytes). A Windows header: only
// the Windows layer's .cpp files and the Windows tests include it, after
// windows.h.

#include <objbase.h>

namespace parlino::sapi4 {

using QWORD = unsigned long long;

constexpr CLSID CLSID_TTSEnumerator = {
    0xD67C0280, 0xC743, 0x11CD, {0x80, 0xE5, 0x00, 0xAA, 0x00, 0x3E, 0x4B, 0x50}};
constexpr CLSID CLSID_MMAudioDest = {
    0xCB96B400, 0xC743, 0x11CD, {0x80, 0xE5, 0x00, 0xAA, 0x00, 0x3E, 0x4B, 0x50}};
constexpr CLSID CLSID_AudioDestFile = {
    0xD4623720, 0xE4B9, 0x11CF, {0x8D, 0x56, 0x00, 0xA0, 0xC9, 0x03, 0x4A, 0x7E}};

constexpr IID IID_ITTSEnumA = {
    0x05EB6C6D, 0xDBAB, 0x11CD, {0xB3, 0xCA, 0x00, 0xAA, 0x00, 0x47, 0xBA, 0x4F}};
constexpr IID IID_ITTSCentralA = {
    0x05EB6C6A, 0xDBAB, 0x11CD, {0xB3, 0xCA, 0x00, 0xAA, 0x00, 0x47, 0xBA, 0x4F}};
constexpr IID IID_ITTSAttributesA = {
    0x0FD6E2A1, 0xE77D, 0x11CD, {0xB3, 0xCA, 0x00, 0xAA, 0x00, 0x47, 0xBA, 0x4F}};
constexpr IID IID_ITTSDialogsA = {
    0x05EB6C6B, 0xDBAB, 0x11CD, {0xB3, 0xCA, 0x00, 0xAA, 0x00, 0x47, 0xBA, 0x4F}};
constexpr IID IID_ITTSNotifySinkA = {
    0x05EB6C6F, 0xDBAB, 0x11CD, {0xB3, 0xCA, 0x00, 0xAA, 0x00, 0x47, 0xBA, 0x4F}};
constexpr IID IID_ITTSBufNotifySink = {
    0xE4963D40, 0xC743, 0x11CD, {0x80, 0xE5, 0x00, 0xAA, 0x00, 0x3E, 0x4B, 0x50}};
constexpr IID IID_IAudioMultiMediaDevice = {
    0xB68AD320, 0xC743, 0x11CD, {0x80, 0xE5, 0x00, 0xAA, 0x00, 0x3E, 0x4B, 0x50}};
constexpr IID IID_IAudioFile = {
    0xFD7C2320, 0x3D6D, 0x11B9, {0xC0, 0x00, 0xFE, 0xD6, 0xCB, 0xA3, 0xB1, 0xA9}};

constexpr size_t SVFN_LEN = 262, LANG_LEN = 64;
constexpr size_t TTSI_NAMELEN = SVFN_LEN, TTSI_STYLELEN = SVFN_LEN;

struct SDATA {
    void* pData;
    DWORD dwSize;
};

enum VOICECHARSET { CHARSET_TEXT, CHARSET_IPAPHONETIC, CHARSET_ENGINEPHONETIC };

struct LANGUAGEA {
    LANGID LanguageID;
    CHAR szDialect[LANG_LEN];
};

struct TTSMODEINFOA {
    GUID gEngineID;
    CHAR szMfgName[TTSI_NAMELEN];
    CHAR szProductName[TTSI_NAMELEN];
    GUID gModeID;
    CHAR szModeName[TTSI_NAMELEN];
    LANGUAGEA language;
    CHAR szSpeaker[TTSI_NAMELEN];
    CHAR szStyle[TTSI_STYLELEN];
    WORD wGender;
    WORD wAge;
    DWORD dwFeatures;
    DWORD dwInterfaces;
    DWORD dwEngineFeatures;
};
static_assert(sizeof(TTSMODEINFOA) == 1424, "the SDK's ANSI mode record");

struct TTSMOUTH {
    BYTE bMouthHeight, bMouthWidth, bMouthUpturn, bJawOpen;
    BYTE bTeethUpperVisible, bTeethLowerVisible, bTonguePosn, bLipTension;
};

struct ITTSAttributesA : public IUnknown {
    virtual ::HRESULT STDMETHODCALLTYPE PitchGet(WORD*) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE PitchSet(WORD) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE RealTimeGet(DWORD*) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE RealTimeSet(DWORD) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE SpeedGet(DWORD*) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE SpeedSet(DWORD) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE VolumeGet(DWORD*) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE VolumeSet(DWORD) = 0;
};

struct ITTSBufNotifySink : public IUnknown {
    virtual ::HRESULT STDMETHODCALLTYPE TextDataDone(QWORD, DWORD) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE TextDataStarted(QWORD) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE BookMark(QWORD, DWORD) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE WordPosition(QWORD, DWORD) = 0;
};

struct ITTSNotifySinkA : public IUnknown {
    virtual ::HRESULT STDMETHODCALLTYPE AttribChanged(DWORD) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE AudioStart(QWORD) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE AudioStop(QWORD) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE Visual(QWORD, CHAR, CHAR, DWORD, TTSMOUTH*) = 0;
};

struct ITTSCentralA : public IUnknown {
    virtual ::HRESULT STDMETHODCALLTYPE Inject(const CHAR*) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE ModeGet(TTSMODEINFOA*) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE Phoneme(VOICECHARSET, DWORD, SDATA, SDATA*) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE PosnGet(QWORD*) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE TextData(VOICECHARSET, DWORD, SDATA, void*, IID) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE ToFileTime(QWORD*, FILETIME*) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE AudioPause() = 0;
    virtual ::HRESULT STDMETHODCALLTYPE AudioResume() = 0;
    virtual ::HRESULT STDMETHODCALLTYPE AudioReset() = 0;
    virtual ::HRESULT STDMETHODCALLTYPE Register(void*, IID, DWORD*) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE UnRegister(DWORD) = 0;
};

struct ITTSDialogsA : public IUnknown {
    virtual ::HRESULT STDMETHODCALLTYPE AboutDlg(HWND, const CHAR*) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE LexiconDlg(HWND, const CHAR*) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE GeneralDlg(HWND, const CHAR*) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE TranslateDlg(HWND, const CHAR*) = 0;
};

struct ITTSEnumA : public IUnknown {
    virtual ::HRESULT STDMETHODCALLTYPE Next(ULONG, TTSMODEINFOA*, ULONG*) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE Skip(ULONG) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual ::HRESULT STDMETHODCALLTYPE Clone(ITTSEnumA**) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE Select(GUID, ITTSCentralA**, IUnknown*) = 0;
};

struct IAudioMultiMediaDevice : public IUnknown {
    virtual ::HRESULT STDMETHODCALLTYPE CustomMessage(UINT, SDATA) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE DeviceNumGet(DWORD*) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE DeviceNumSet(DWORD) = 0;
};

struct IAudioFile : public IUnknown {
    virtual ::HRESULT STDMETHODCALLTYPE Register(IUnknown*) = 0; // an IAudioFileNotifySink
    virtual ::HRESULT STDMETHODCALLTYPE Set(const WCHAR*, DWORD) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE Add(const WCHAR*, DWORD) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE Flush() = 0;
    virtual ::HRESULT STDMETHODCALLTYPE RealTimeSet(WORD) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE RealTimeGet(WORD*) = 0;
};

} // namespace parlino::sapi4
