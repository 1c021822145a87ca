#pragma once
#include "platform/IWindowSystem.h"

namespace parlino {

// Other programs' windows through the user interface functions (their ANSI
// variants).
class TWinWindowSystem final : public IWindowSystem {
public:
    bool HasForeignWindows() const override { return true; }
    THwnd FindWindow(const std::string& className) override;
    THwnd FindWindowEx(THwnd parent, THwnd childAfter, const std::string& className) override;
    std::string GetWindowText(THwnd window, int maxCount) override;
    intptr_t SendMessage(THwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    bool ShowWindow(THwnd window, int command) override;
    bool SetForegroundWindow(THwnd window) override;
};

} // namespace parlino
