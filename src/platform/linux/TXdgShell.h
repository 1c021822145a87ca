#pragma once
#include "platform/IShell.h"

#include <string>
#include <vector>

namespace parlino {

// Opens a target with xdg-open, or starts it as a program when parameters are
// given. The child is detached so that the program never waits for it.
class TXdgShell final : public IShell {
public:
    void Open(const std::string& target, const std::string& parameters, bool maximized) override;
    // The command line that Open runs for these arguments.
    static std::vector<std::string> CommandFor(const std::string& target, const std::string& parameters);
};

} // namespace parlino
