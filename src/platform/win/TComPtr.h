#pragma once
#include <utility>

namespace parlino {

// A counted COM reference.
template <class T> class TComPtr {
public:
    TComPtr() = default;
    explicit TComPtr(T* p, bool addRef) : P(p) {
        if (P && addRef)
            P->AddRef();
    }
    TComPtr(const TComPtr& o) : P(o.P) {
        if (P)
            P->AddRef();
    }
    TComPtr& operator=(TComPtr o) {
        std::swap(P, o.P);
        return *this;
    }
    ~TComPtr() {
        if (P)
            P->Release();
    }
    T* operator->() const { return P; }
    T* Get() const { return P; }
    explicit operator bool() const { return P != nullptr; }
    T** Out() {
        *this = TComPtr();
        return &P;
    }

private:
    T* P = nullptr;
};

} // namespace parlino
