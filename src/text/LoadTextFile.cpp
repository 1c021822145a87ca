#include "text/LoadTextFile.h"

#include "platform/Exceptions.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlino {
namespace {

[[noreturn]] void ThrowOpenError(const std::string& fileName, int error) {
    throw EFOpenError("Cannot open file \"" + fileName + "\". " + std::strerror(error));
}

std::string ReadWholeFile(const std::string& fileName) {
    int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) ThrowOpenError(fileName, errno);
    struct Closer {
        int Fd;
        ~Closer() { ::close(Fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) ThrowOpenError(fileName, errno);
    if (S_ISDIR(st.st_mode)) ThrowOpenError(fileName, EISDIR);
    std::string bytes;
    if (S_ISREG(st.st_mode)) bytes.reserve(static_cast<size_t>(st.st_size));
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowOpenError(fileName, errno);
        }
        bytes.append(buffer, static_cast<size_t>(n));
    }
    return bytes;
}

} // namespace

std::optional<WideString> DecodeUtf8(std::string_view bytes, bool* multiByte) {
    WideString out;
    out.reserve(bytes.size());
    bool anyMulti = false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        unsigned char b = p[i];
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        size_t len;
        uint32_t cp, min;
        if (b >= 0xC2 && b <= 0xDF) { len = 2; cp = b & 0x1F; min = 0x80; }
        else if (b >= 0xE0 && b <= 0xEF) { len = 3; cp = b & 0x0F; min = 0x800; }
        else if (b >= 0xF0 && b <= 0xF4) { len = 4; cp = b & 0x07; min = 0x10000; }
        else return std::nullopt;
        if (n - i < len) return std::nullopt;
        for (size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return std::nullopt;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        anyMulti = true;
        i += len;
    }
    if (multiByte) *multiByte = anyMulti;
    return out;
}

namespace {

// Calls `emit(line)` for every line of `text`.
template <typename Emit>
void ForEachLine(std::string_view text, Emit emit) {
    size_t end = text.find('\0');
    if (end != std::string_view::npos) text = text.substr(0, end);
    size_t start = 0;
    const size_t n = text.size();
    while (start < n) {
        size_t stop = text.find_first_of("\r\n", start);
        if (stop == std::string_view::npos) stop = n;
        emit(text.substr(start, stop - start));
        if (stop < n && text[stop] == '\r' && stop + 1 < n && text[stop + 1] == '\n') ++stop;
        start = stop + 1;
    }
}

// The text decoded to ANSI text; `bytes` itself when it needs no decoding.
std::string DecodeToAnsi(std::string&& bytes, const ITextCodec& codec) {
    std::string_view view(bytes);
    if (view.size() >= 3 && view.substr(0, 3) == "\xEF\xBB\xBF") {
        std::optional<WideString> wide = DecodeUtf8(view.substr(3));
        return wide ? codec.ToAnsi(*wide) : std::string();
    }
    if (view.size() >= 2 && view.substr(0, 2) == "\xFF\xFE") {
        WideString wide;
        wide.reserve((view.size() - 2) / 2);
        for (size_t i = 2; i + 1 < view.size(); i += 2) {
            char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(view[i]) |
                                                  (static_cast<unsigned char>(view[i + 1]) << 8));
            if (unit == 0) break;
            wide.push_back(unit);
        }
        return codec.ToAnsi(wide);
    }
    bool multiByte = false;
    if (std::optional<WideString> wide = DecodeUtf8(view, &multiByte); wide && multiByte) return codec.ToAnsi(*wide);
    return std::move(bytes);
}

} // namespace

void SplitLines(std::string_view text, TStringList& lines) {
    ForEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
}

std::vector<std::string_view> SplitLineViews(std::string_view text) {
    std::vector<std::string_view> lines;
    ForEachLine(text, [&](std::string_view line) { lines.push_back(line); });
    return lines;
}

void DecodeTextBytes(TStringList& lines, std::string_view bytes, const ITextCodec& codec) {
    lines.clear();
    SplitLines(DecodeToAnsi(std::string(bytes), codec), lines);
}

std::string LoadTextFileText(const std::string& fileName, const ITextCodec& codec) {
    return DecodeToAnsi(ReadWholeFile(fileName), codec);
}

void LoadTextFile(TStringList& lines, const std::string& fileName, const ITextCodec& codec) {
    lines.clear();
    SplitLines(LoadTextFileText(fileName, codec), lines);
}

} // namespace parlino
