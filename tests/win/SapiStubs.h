#pragma once
// clang-format off
// Generated from MinGW-w64's sapi51.h and objidl.h: every method of these
// interfaces answering E_NOTIMPL, for the fakes to override what they use.
#include <sapi.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"

class TStubISpVoice : public ISpVoice {
public:
    HRESULT STDMETHODCALLTYPE SetNotifySink(ISpNotifySink *pNotifySink) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetNotifyWindowMessage(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetNotifyCallbackFunction(SPNOTIFYCALLBACK *pfnCallback, WPARAM wParam, LPARAM lParam) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetNotifyCallbackInterface(ISpNotifyCallback *pSpCallback, WPARAM wParam, LPARAM lParam) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetNotifyWin32Event() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE WaitForNotifyEvent(DWORD dwMilliseconds) override { return E_NOTIMPL; }
    HANDLE STDMETHODCALLTYPE GetNotifyEventHandle() override { return {}; }
    HRESULT STDMETHODCALLTYPE SetInterest(ULONGLONG ullEventInterest, ULONGLONG ullQueuedInterest) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetEvents(ULONG ulCount, SPEVENT *pEventArray, ULONG *pulFetched) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetInfo(SPEVENTSOURCEINFO *pInfo) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetOutput(IUnknown *pUnkOutput, WINBOOL fAllowFormatChanges) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetOutputObjectToken(ISpObjectToken **ppObjectToken) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetOutputStream(ISpStreamFormat **ppStream) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Pause() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Resume() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetVoice(ISpObjectToken *pToken) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVoice(ISpObjectToken **ppToken) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Speak(LPCWSTR pwcs, DWORD dwFlags, ULONG *pulStreamNumber) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SpeakStream(IStream *pStream, DWORD dwFlags, ULONG *pulStreamNumber) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStatus(SPVOICESTATUS *pStatus, LPWSTR *ppszLastBookmark) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Skip(LPCWSTR pItemType, LONG lNumItems, ULONG *pulNumSkipped) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPriority(SPVPRIORITY ePriority) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPriority(SPVPRIORITY *pePriority) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetAlertBoundary(SPEVENTENUM eBoundary) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAlertBoundary(SPEVENTENUM *peBoundary) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetRate(LONG RateAdjust) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRate(LONG *pRateAdjust) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetVolume(USHORT usVolume) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVolume(USHORT *pusVolume) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE WaitUntilDone(ULONG msTimeout) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSyncSpeakTimeout(ULONG msTimeout) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSyncSpeakTimeout(ULONG *pmsTimeout) override { return E_NOTIMPL; }
    HANDLE STDMETHODCALLTYPE SpeakCompleteEvent() override { return {}; }
    HRESULT STDMETHODCALLTYPE IsUISupported(LPCWSTR pszTypeOfUI, void *pvExtraData, ULONG cbExtraData, WINBOOL *pfSupported) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DisplayUI(HWND hwndParent, LPCWSTR pszTitle, LPCWSTR pszTypeOfUI, void *pvExtraData, ULONG cbExtraData) override { return E_NOTIMPL; }
};

class TStubISpObjectToken : public ISpObjectToken {
public:
    HRESULT STDMETHODCALLTYPE SetData(LPCWSTR pszValueName, ULONG cbData, const BYTE *pData) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetData(LPCWSTR pszValueName, ULONG *pcbData, BYTE *pData) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStringValue(LPCWSTR pszValueName, LPCWSTR pszValue) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStringValue(LPCWSTR pszValueName, LPWSTR *ppszValue) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetDWORD(LPCWSTR pszValueName, DWORD dwValue) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDWORD(LPCWSTR pszValueName, DWORD *pdwValue) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OpenKey(LPCWSTR pszSubKeyName, ISpDataKey **ppSubKey) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateKey(LPCWSTR pszSubKey, ISpDataKey **ppSubKey) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteKey(LPCWSTR pszSubKey) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteValue(LPCWSTR pszValueName) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumKeys(ULONG Index, LPWSTR *ppszSubKeyName) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumValues(ULONG Index, LPWSTR *ppszValueName) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetId(LPCWSTR pszCategoryId, LPCWSTR pszTokenId, WINBOOL fCreateIfNotExist) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR *ppszCoMemTokenId) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCategory(ISpObjectTokenCategory **ppTokenCategory) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *pUnkOuter, DWORD dwClsContext, REFIID riid, void **ppvObject) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStorageFileName(REFCLSID clsidCaller, LPCWSTR pszValueName, LPCWSTR pszFileNameSpecifier, ULONG nFolder, LPWSTR *ppszFilePath) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveStorageFileName(REFCLSID clsidCaller, LPCWSTR pszKeyName, WINBOOL fDeleteFile) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Remove(const CLSID *pclsidCaller) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsUISupported(LPCWSTR pszTypeOfUI, void *pvExtraData, ULONG cbExtraData, IUnknown *punkObject, WINBOOL *pfSupported) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DisplayUI(HWND hwndParent, LPCWSTR pszTitle, LPCWSTR pszTypeOfUI, void *pvExtraData, ULONG cbExtraData, IUnknown *punkObject) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MatchesAttributes(LPCWSTR pszAttributes, WINBOOL *pfMatches) override { return E_NOTIMPL; }
};

class TStubISpObjectTokenCategory : public ISpObjectTokenCategory {
public:
    HRESULT STDMETHODCALLTYPE SetData(LPCWSTR pszValueName, ULONG cbData, const BYTE *pData) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetData(LPCWSTR pszValueName, ULONG *pcbData, BYTE *pData) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStringValue(LPCWSTR pszValueName, LPCWSTR pszValue) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStringValue(LPCWSTR pszValueName, LPWSTR *ppszValue) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetDWORD(LPCWSTR pszValueName, DWORD dwValue) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDWORD(LPCWSTR pszValueName, DWORD *pdwValue) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OpenKey(LPCWSTR pszSubKeyName, ISpDataKey **ppSubKey) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateKey(LPCWSTR pszSubKey, ISpDataKey **ppSubKey) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteKey(LPCWSTR pszSubKey) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteValue(LPCWSTR pszValueName) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumKeys(ULONG Index, LPWSTR *ppszSubKeyName) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumValues(ULONG Index, LPWSTR *ppszValueName) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetId(LPCWSTR pszCategoryId, WINBOOL fCreateIfNotExist) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR *ppszCoMemCategoryId) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDataKey(SPDATAKEYLOCATION spdkl, ISpDataKey **ppDataKey) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumTokens(LPCWSTR pzsReqAttribs, LPCWSTR pszOptAttribs, IEnumSpObjectTokens **ppEnum) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetDefaultTokenId(LPCWSTR pszTokenId) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDefaultTokenId(LPWSTR *ppszCoMemTokenId) override { return E_NOTIMPL; }
};

class TStubIEnumSpObjectTokens : public IEnumSpObjectTokens {
public:
    HRESULT STDMETHODCALLTYPE Next(ULONG celt, ISpObjectToken **pelt, ULONG *pceltFetched) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumSpObjectTokens **ppEnum) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Item(ULONG Index, ISpObjectToken **ppToken) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCount(ULONG *pCount) override { return E_NOTIMPL; }
};

class TStubISpStream : public ISpStream {
public:
    HRESULT STDMETHODCALLTYPE Read(void *pv, ULONG cb, ULONG *pcbRead) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Write(const void *pv, ULONG cb, ULONG *pcbWritten) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER *plibNewPosition) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER libNewSize) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream *pstm, ULARGE_INTEGER cb, ULARGE_INTEGER *pcbRead, ULARGE_INTEGER *pcbWritten) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Commit(DWORD grfCommitFlags) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG *pstatstg, DWORD grfStatFlag) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream **ppstm) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFormat(GUID *pguidFormatId, WAVEFORMATEX **ppCoMemWaveFormatEx) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetBaseStream(IStream *pStream, REFGUID rguidFormat, const WAVEFORMATEX *pWaveFormatEx) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBaseStream(IStream **ppStream) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BindToFile(LPCWSTR pszFileName, SPFILEMODE eMode, const GUID *pFormatId, const WAVEFORMATEX *pWaveFormatEx, ULONGLONG ullEventInterest) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Close() override { return E_NOTIMPL; }
};

#pragma GCC diagnostic pop
// clang-format on
