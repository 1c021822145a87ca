// WriteFileAtomically on Windows: the data go to a temporary file beside the
// target, which is flushed and then moved over it in one step. A plain
// rename fails there when the target exists, so every save after the first
// would fail; MoveFileEx with MOVEFILE_REPLACE_EXISTING replaces it.

#include "settings/AtomicFile.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <windows.h>

namespace parlino {
namespace {

[[noreturn]] void Fail(const std::string& fileName, const std::string& reason) {
    throw EParlinoError("Cannot write file \"" + fileName + "\". " + reason);
}

std::string SystemMessage(DWORD error) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n ? std::string(text, n) : "Error " + std::to_string(error) + ".";
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return message;
}

} // namespace

void WriteFileAtomically(const std::string& fileName, std::string_view data) {
    const DWORD attributes = GetFileAttributesA(fileName.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            Fail(fileName, "Not a file.");
        if (attributes & FILE_ATTRIBUTE_READONLY)
            Fail(fileName, "The file is read-only.");
    }
    // A name no other save uses at the same time: the process and a counter.
    static volatile LONG counter = 0;
    const std::string temp = fileName + "." + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(InterlockedIncrement(&counter)) + ".tmp";
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        Fail(fileName, SystemMessage(GetLastError()));
    auto failTemp = [&](DWORD error) {
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        DeleteFileA(temp.c_str());
        Fail(fileName, SystemMessage(error));
    };
    size_t done = 0;
    while (done < data.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, data.data() + done, chunk, &written, nullptr))
            failTemp(GetLastError());
        if (written == 0)
            failTemp(ERROR_WRITE_FAULT);
        done += written;
    }
    if (!FlushFileBuffers(file))
        failTemp(GetLastError());
    HANDLE closing = file;
    file = INVALID_HANDLE_VALUE;
    if (!CloseHandle(closing))
        failTemp(GetLastError());
    if (!MoveFileExA(temp.c_str(), fileName.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        failTemp(GetLastError());
}

} // namespace parlino
