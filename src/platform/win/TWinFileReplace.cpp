#include "platform/win/TWinFileReplace.h"

#include <windows.h>

namespace parlino {

bool ReplaceFileWith(const std::string& temp, const std::string& target, std::string& error) {
    if (MoveFileExA(temp.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    const DWORD code = GetLastError();
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    error = text ? text : "error " + std::to_string(code);
    if (text)
        LocalFree(text);
    while (!error.empty() && (error.back() == '\n' || error.back() == '\r' || error.back() == ' '))
        error.pop_back();
    return false;
}

} // namespace parlino
