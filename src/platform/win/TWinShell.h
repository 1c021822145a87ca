#pragma once
#include "platform/IShell.h"

namespace parlino {

// The shell's "open" verb (ShellExecuteA).
class TWinShell final : public IShell {
public:
    void Open(const std::string& target, const std::string& parameters, bool maximized) override;
};

} // namespace parlino
