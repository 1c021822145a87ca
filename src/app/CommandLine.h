#pragma once
// The program's command line. Parlino takes one argument at most: a subtitle
// file to load at start, which is how the desktop's "Open with" and the menu
// entry hand a file over. Everything else is chosen in the window, so options
// are refused rather than taken for file names.

#include <optional>
#include <string>
#include <vector>

namespace parlino {

struct TCommandLine {
    std::optional<std::string> FileName; // made absolute, so the file box shows where it is
    std::string Error;                   // not empty: the line is refused; print this and exit with status 2
};

// `args` are the arguments after the program name, once the toolkit has taken
// its own out.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

} // namespace parlino
