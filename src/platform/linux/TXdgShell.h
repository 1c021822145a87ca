#pragma once
#include "platform/IShell.h"

#include <string>
#include <vector>

namespace parlino {

// Opens a target with the desktop's opener (xdg-open), in a detached child so
// that the program never waits for it. Nothing is ever started as a program:
// parameters that a link's text split off at a blank are joined back to the
// target, and a local path is handed over as a file:// URL, so a folder name
// with a blank in it can never run its first word.
class TXdgShell final : public IShell {
public:
    void Open(const std::string& target, const std::string& parameters, bool maximized) override;
    // The command line that Open runs for these arguments.
    static std::vector<std::string> CommandFor(const std::string& target, const std::string& parameters);
    // "file://" and `path` with every byte outside letters, digits, "-._~/"
    // percent-encoded.
    static std::string FileUrl(const std::string& path);
};

} // namespace parlino
