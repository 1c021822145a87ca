#pragma once
// A progress line on the terminal for a long run: "\rLABEL: 42 %", written
// again only when the figure changes, and wiped when the run ends.

#include "subtitles/FormatTime.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <ostream>
#include <string>

namespace parlino {

class TTerminalProgress {
public:
    explicit TTerminalProgress(std::ostream* out) : FOut(out) {}
    ~TTerminalProgress() { Clear(); }
    TTerminalProgress(const TTerminalProgress&) = delete;
    TTerminalProgress& operator=(const TTerminalProgress&) = delete;

    // `done` of `total` ms; a total of 0 or less is unknown, and the time
    // done is shown by the second instead.
    void Show(const std::string& label, int64_t done, int64_t total) {
        if (!FOut) return;
        const std::string figure = total > 0 ? std::to_string(std::min<int64_t>(100, done * 100 / total)) + " %"
                                             : FormatTime(static_cast<int32_t>(std::min<int64_t>(done, INT32_MAX) / 1000 * 1000));
        const std::string line = label + ": " + figure;
        if (line == FLine) return;
        *FOut << '\r' << line << std::string(FLine.size() > line.size() ? FLine.size() - line.size() : 0, ' ')
              << std::flush;
        FLine = line;
    }

    void Clear() {
        if (!FOut || FLine.empty()) return;
        *FOut << '\r' << std::string(FLine.size(), ' ') << '\r' << std::flush;
        FLine.clear();
    }

private:
    std::ostream* FOut;
    std::string FLine;
};

} // namespace parlino
