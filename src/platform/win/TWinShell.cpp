#include "platform/win/TWinShell.h"

#include <windows.h>
#include <shellapi.h>

namespace parlino {

void TWinShell::Open(const std::string& target, const std::string& parameters, bool maximized) {
    ShellExecuteA(nullptr, "open", target.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                  nullptr, maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
}

} // namespace parlino
