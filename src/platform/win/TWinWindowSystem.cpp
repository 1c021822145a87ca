// Our interface goes first: the Windows headers define several of its names
// (TB_ISBUTTONENABLED, SW_RESTORE) as macros of the same values, and make
// FindWindow, FindWindowEx, GetWindowText and SendMessage macros that the
// member names must not become.
#include "platform/win/TWinWindowSystem.h"

#include <windows.h>
#undef FindWindow
#undef FindWindowEx
#undef GetWindowText
#undef SendMessage

#include <vector>

namespace parlino {
namespace {

HWND ToHwnd(THwnd window) {
    return reinterpret_cast<HWND>(window);
}

THwnd FromHwnd(HWND window) {
    return reinterpret_cast<THwnd>(window);
}

} // namespace

THwnd TWinWindowSystem::FindWindow(const std::string& className) {
    return FromHwnd(::FindWindowA(className.c_str(), nullptr));
}

THwnd TWinWindowSystem::FindWindowEx(THwnd parent, THwnd childAfter, const std::string& className) {
    return FromHwnd(::FindWindowExA(ToHwnd(parent), ToHwnd(childAfter), className.c_str(), nullptr));
}

std::string TWinWindowSystem::GetWindowText(THwnd window, int maxCount) {
    if (maxCount <= 1)
        return {};
    std::vector<char> text(static_cast<size_t>(maxCount), '\0');
    const int n = ::GetWindowTextA(ToHwnd(window), text.data(), maxCount);
    return std::string(text.data(), n > 0 ? static_cast<size_t>(n) : 0);
}

intptr_t TWinWindowSystem::SendMessage(THwnd window, uint32_t message, uintptr_t wParam,
                                       intptr_t lParam) {
    return ::SendMessageA(ToHwnd(window), message, wParam, lParam);
}

bool TWinWindowSystem::ShowWindow(THwnd window, int command) {
    return ::ShowWindow(ToHwnd(window), command);
}

bool TWinWindowSystem::SetForegroundWindow(THwnd window) {
    return ::SetForegroundWindow(ToHwnd(window));
}

} // namespace parlino
