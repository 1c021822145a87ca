#include "app/CommandLine.h"

#include <filesystem>
#include <system_error>

namespace parlino {

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    TCommandLine result;
    if (args.empty()) return result;
    if (args.size() > 1) {
        result.Error = "parlino: give one subtitle file at most, not " + std::to_string(args.size()) + " arguments";
        return result;
    }
    const std::string& arg = args.front();
    if (arg.empty()) {
        result.Error = "parlino: the subtitle file name is empty";
    } else if (arg[0] == '-') {
        result.Error = "parlino: unknown option '" + arg +
                       "'; the only argument Parlino takes is a subtitle file to load"
                       " (write ./" + arg + " for a file of that name)";
    } else {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(arg, ec);
        result.FileName = ec ? arg : absolute.string();
    }
    return result;
}

} // namespace parlino
