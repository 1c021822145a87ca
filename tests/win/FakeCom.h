#pragma once
// COM objects for the fakes of the system's speech classes: reference
// counting and QueryInterface over a list of interfaces, and a class factory
// that CoRegisterClassObject registers in the test process, so that
// CoCreateInstance of that class gives the fake.

#include <objbase.h>
#include <windows.h>

#include "platform/win/TOwnComObject.h"

#include <atomic>
#include <functional>
#include <vector>

namespace parlino::test {

// `Base` is the COM interface the object implements (a stub class of it),
// answering to the identifiers given besides IUnknown.
template <class Base> using TComFake = parlino::TOwnComObject<Base>;

// Makes a new object with `create` (which returns it with one reference).
class TFakeClassFactory final : public TOwnComObject<IClassFactory> {
public:
    explicit TFakeClassFactory(std::function<IUnknown*()> create)
        : TOwnComObject(IID_IClassFactory), Create(std::move(create)) {}
    ::HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid,
                                               void** object) override {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        IUnknown* made = Create();
        if (!made)
            return E_OUTOFMEMORY;
        const ::HRESULT hr = made->QueryInterface(riid, object);
        made->Release();
        return hr;
    }
    ::HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    std::function<IUnknown*()> Create;
};

// Registers a class in this process for the life of the object.
class TRegisteredClass {
public:
    TRegisteredClass(const CLSID& clsid, std::function<IUnknown*()> create) {
        auto* factory = new TFakeClassFactory(std::move(create));
        Result = CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                       &Cookie);
        factory->Release();
    }
    ~TRegisteredClass() {
        if (SUCCEEDED(Result))
            CoRevokeClassObject(Cookie);
    }
    TRegisteredClass(const TRegisteredClass&) = delete;
    TRegisteredClass& operator=(const TRegisteredClass&) = delete;
    ::HRESULT Result = E_FAIL;

private:
    DWORD Cookie = 0;
};

} // namespace parlino::test
