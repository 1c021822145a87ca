#pragma once
// The window functions a follower uses on another program's windows: find a
// window by class, read its text, ask a toolbar about a button, restore it
// and bring it to the front. Shaped after the desktop calls of that name so
// that a system with such windows slots in unchanged.

#include <cstdint>
#include <string>

namespace parlino {

using THwnd = uintptr_t; // 0: no window

// Toolbar queries: wParam is the button's command identifier; the result is
// greater than 0 when the button is enabled or pressed.
constexpr uint32_t TB_ISBUTTONENABLED = 1033;
constexpr uint32_t TB_ISBUTTONCHECKED = 1034;
// ShowWindow command that restores a minimised or maximised window.
constexpr int SW_RESTORE = 9;

class IWindowSystem {
public:
    virtual ~IWindowSystem() = default;
    // False where no other program's windows can be found at all, so a
    // follower built on this interface can never work there.
    virtual bool HasForeignWindows() const = 0;
    // The first top-level window of `className` (any title), or 0.
    virtual THwnd FindWindow(const std::string& className) = 0;
    // The first child of `parent` of `className` after `childAfter` (0: from
    // the first child), or 0.
    virtual THwnd FindWindowEx(THwnd parent, THwnd childAfter, const std::string& className) = 0;
    // The window's text, at most `maxCount` - 1 characters; empty when the
    // window has none or is gone.
    virtual std::string GetWindowText(THwnd window, int maxCount) = 0;
    virtual intptr_t SendMessage(THwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    virtual bool ShowWindow(THwnd window, int command) = 0;
    virtual bool SetForegroundWindow(THwnd window) = 0;
};

} // namespace parlino
