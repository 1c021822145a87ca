#include "platform/win/TWinFolders.h"

#include <windows.h>
#include <shlobj.h>

namespace parlino {
namespace {

std::string WithoutDelimiter(std::string path) {
    // "C:\" stays as it is: without its backslash it would mean the drive's
    // current folder.
    if (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return path;
}

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return {};
    return WithoutDelimiter(path);
}

} // namespace

std::string TWinFolders::LocalAppData() const {
    return ShellFolder(CSIDL_LOCAL_APPDATA);
}

std::string TWinFolders::AppData() const {
    return ShellFolder(CSIDL_APPDATA);
}

std::string TWinFolders::CommonAppData() const {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const bool known = GetVersionExA(&version);
#pragma GCC diagnostic pop
    if (!known || version.dwMajorVersion < 6)
        return {};
    return ShellFolder(CSIDL_COMMON_APPDATA);
}

std::string TWinFolders::TempPath() const {
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathA(sizeof path, path);
    return n > 0 && n < sizeof path ? WithoutDelimiter(std::string(path, n)) : std::string();
}

std::string TWinFolders::ProgramFolder() const {
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string file(path, n < sizeof path ? n : 0);
    const size_t slash = file.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : file.substr(0, slash);
}

} // namespace parlino
