#pragma once
#include <string>

namespace parlino {

// Opens documents and links with the desktop's handler, like the shell's "open" verb.
class IShell {
public:
    virtual ~IShell() = default;
    // Starts opening `target` (an address, a file or a program) with optional
    // `parameters`; returns at once and reports nothing, as the shell's answer
    // is not examined by any caller.
    virtual void Open(const std::string& target, const std::string& parameters,
                      bool maximized) = 0;
};

} // namespace parlino
