#include "platform/win/TWinTickCounter.h"

#include <windows.h>

namespace parlino {

uint32_t TWinTickCounter::GetTickCount() const {
    return ::GetTickCount();
}

} // namespace parlino
