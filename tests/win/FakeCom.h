#pragma once
// COM objects for the fakes of the system's speech classes: reference
// counting and QueryInterface over a list of interfaces, and a class factory
// that CoRegisterClassObject registers in the test process, so that
// CoCreateInstance of that class gives the fake.

#include <objbase.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <vector>

namespace parlino::test {

// `Base` is the COM interface the object implements (a stub class of it);
// `iids` lists every interface identifier it answers to besides IUnknown.
template <class Base> class TComFake : public Base {
public:
    explicit TComFake(std::vector<IID> iids) : Iids(std::move(iids)) {}
    virtual ~TComFake() = default;
    ::HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        bool known = riid == IID_IUnknown;
        for (const IID& iid : Iids)
            known = known || riid == iid;
        if (!known) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<Base*>(this);
        this->AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++Count; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --Count;
        if (left == 0)
            delete this;
        return left;
    }
    ULONG References() const { return Count; }

private:
    std::vector<IID> Iids;
    std::atomic<ULONG> Count{1};
};

// Makes a new object with `create` (which returns it with one reference).
class TFakeClassFactory final : public IClassFactory {
public:
    explicit TFakeClassFactory(std::function<IUnknown*()> create) : Create(std::move(create)) {}
    ::HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++Count; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --Count;
        if (left == 0)
            delete this;
        return left;
    }
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
    std::atomic<ULONG> Count{1};
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
