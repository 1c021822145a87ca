#include "render/TRenderReport.h"

#include <algorithm>
#include <cstdio>

namespace parlino {

std::string FormatRenderReport(const std::vector<TEntryTiming>& timings) {
    std::string text = "#\tdue_ms\tonset_ms\tend_ms\tfactor\tlateness_ms\toverrun_ms\tcut_ms\n";
    for (size_t i = 0; i < timings.size(); ++i) {
        const TEntryTiming& t = timings[i];
        if (!t.HasText) continue;
        text += std::to_string(i + 1) + '\t' + std::to_string(t.DueMs) + '\t';
        if (!t.Spoken) {
            text += "\t\t\t\t\t\n";
            continue;
        }
        char factor[32];
        std::snprintf(factor, sizeof factor, "%.3f", t.Factor);
        if (t.Heard)
            text += std::to_string(t.OnsetMs) + '\t' + std::to_string(t.EndMs) + '\t' + factor +
                    '\t' + std::to_string(t.OnsetMs - t.DueMs) + '\t' +
                    std::to_string(std::max<int64_t>(0, t.EndMs - t.DeadlineMs)) + '\t';
        else
            text += std::string("\t\t") + factor + "\t\t\t";
        text += std::to_string(t.CutMs) + '\n';
    }
    return text;
}

} // namespace parlino
