#include "platform/linux/TXdgFolders.h"

#include "platform/Exceptions.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
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

// The user's base folders always exist on other systems, and the program
// makes only the last level of its own folders in them: on a new account,
// where ~/.config or ~/.local/share may not be there yet, they are made here
// (the folders made private to the user), as the XDG rules ask of a writer.
std::string MadeIfMissing(const std::string& folder) {
    std::error_code ec;
    if (std::filesystem::exists(folder, ec)) return folder;
    std::filesystem::path missing = folder;
    while (missing.has_parent_path() && missing.parent_path() != missing &&
           !std::filesystem::exists(missing.parent_path(), ec))
        missing = missing.parent_path();
    if (std::filesystem::create_directories(folder, ec))
        for (std::filesystem::path made = folder;; made = made.parent_path()) {
            std::filesystem::permissions(made, std::filesystem::perms::owner_all, ec);
            if (made == missing || !made.has_parent_path()) break;
        }
    return folder;
}

} // namespace

std::string TXdgFolders::LocalAppData() const { return MadeIfMissing(XdgOr("XDG_CONFIG_HOME", "/.config")); }
std::string TXdgFolders::AppData() const { return MadeIfMissing(XdgOr("XDG_DATA_HOME", "/.local/share")); }

std::string TXdgFolders::TempPath() const {
    if (const char* tmp = std::getenv("TMPDIR"); tmp && tmp[0] == '/') return StripDelimiter(tmp);
    return "/tmp";
}

std::string PrivateFolderProblem(const std::string& folder) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) return std::string("it cannot be read (") + std::strerror(errno) + ")";
    if (S_ISLNK(info.st_mode)) return "it is a link, not a folder";
    if (!S_ISDIR(info.st_mode)) return "it is not a folder";
    if (info.st_uid != ::geteuid()) return "it belongs to another user";
    if ((info.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        return std::string("other users may enter it (its mode is ") + mode + ", not 0700)";
    }
    return {};
}

std::string TXdgFolders::RuntimeFolder() const {
    std::string folder;
    if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && dir[0] == '/') {
        folder = StripDelimiter(dir);
    } else {
        // The shared temporary folder: a folder of our own in it, made
        // private before anything goes into it.
        folder = TempPath() + "/parlino-" + std::to_string(::geteuid());
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            throw EParlinoError("Parlino cannot make its run-time folder " + folder + ": " + std::strerror(errno) +
                                ".");
    }
    if (const std::string problem = PrivateFolderProblem(folder); !problem.empty())
        throw EParlinoError("Parlino does not use the run-time folder " + folder + " for its sockets: " + problem +
                            ". Only a folder that no other user can enter is safe. Remove it, or set "
                            "XDG_RUNTIME_DIR to such a folder.");
    return folder;
}

std::string TXdgFolders::ProgramFolder() const {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path(ec).string();
    return exe.parent_path().string();
}

} // namespace parlino
