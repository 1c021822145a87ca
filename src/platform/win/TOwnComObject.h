#pragma once
// A COM object of ours: its reference count (free-threaded) and a
// QueryInterface that answers IUnknown and the identifiers given, all with
// `Interface`. It starts with one reference.

#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <initializer_list>
#include <utility>
#include <vector>

namespace parlino {

template <class Interface> class TOwnComObject : public Interface {
public:
    explicit TOwnComObject(const IID& iid) : Iids{iid} {}
    explicit TOwnComObject(std::initializer_list<IID> iids) : Iids(iids) {}
    explicit TOwnComObject(std::vector<IID> iids) : Iids(std::move(iids)) {}
    virtual ~TOwnComObject() = default;
    ::HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        if (riid == IID_IUnknown || std::find(Iids.begin(), Iids.end(), riid) != Iids.end()) {
            *object = static_cast<Interface*>(this);
            this->AddRef();
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
    ULONG References() const { return Count; }

private:
    const std::vector<IID> Iids;
    std::atomic<ULONG> Count{1};
};

} // namespace parlino
