#include "platform/linux/TXdgFolders.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace parlino {
namespace {

std::string StripDelimiter(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string Home() {
    if (const char* home = std::getenv("HOME"); home && *home) return StripDelimiter(home);
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return StripDelimiter(pw->pw_dir);
    return "/tmp";
}

// An XDG variable counts only when it holds an absolute path.
std::string XdgOr(const char* var, const char* fallbackUnderHome) {
    if (const char* value = std::getenv(var); value && value[0] == '/') return StripDelimiter(value);
    return Home() + fallbackUnderHome;
}

} // namespace

std::string TXdgFolders::LocalAppData() const { return XdgOr("XDG_CONFIG_HOME", "/.config"); }
std::string TXdgFolders::AppData() const { return XdgOr("XDG_DATA_HOME", "/.local/share"); }

std::string TXdgFolders::TempPath() const {
    if (const char* tmp = std::getenv("TMPDIR"); tmp && tmp[0] == '/') return StripDelimiter(tmp);
    return "/tmp";
}

std::string TXdgFolders::RuntimeFolder() const {
    if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && dir[0] == '/') return StripDelimiter(dir);
    return TempPath();
}

std::string TXdgFolders::ProgramFolder() const {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path(ec).string();
    return exe.parent_path().string();
}

} // namespace parlino
