#include "platform/win/TComApartment.h"

#include <objbase.h>
#include <windows.h>

namespace parlino {

TComApartment::TComApartment() {
    // S_FALSE (already initialised) is counted too; RPC_E_CHANGED_MODE (a
    // multithreaded apartment) is not, and is used as it is.
    FInitialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

TComApartment::~TComApartment() {
    if (FInitialised)
        CoUninitialize();
}

} // namespace parlino
