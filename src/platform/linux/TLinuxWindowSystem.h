#pragma once
#include "platform/IWindowSystem.h"

namespace parlino {

// Linux desktops have no windows of the kind the window follower looks for
// (no window classes, toolbars or dialog labels of other programs can be
// read), so every search finds nothing and the follower waits for its player.
class TLinuxWindowSystem final : public IWindowSystem {
public:
    bool HasForeignWindows() const override { return false; }
    THwnd FindWindow(const std::string&) override { return 0; }
    THwnd FindWindowEx(THwnd, THwnd, const std::string&) override { return 0; }
    std::string GetWindowText(THwnd, int) override { return {}; }
    intptr_t SendMessage(THwnd, uint32_t, uintptr_t, intptr_t) override { return 0; }
    bool ShowWindow(THwnd, int) override { return false; }
    bool SetForegroundWindow(THwnd) override { return false; }
};

} // namespace parlino
