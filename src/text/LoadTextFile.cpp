#include "text/LoadTextFile.h"

#include "platform/Exceptions.h"
#include "platform/ReadOpenFlags.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlino {
namespace {

[[noreturn]] void ThrowOpenError(const std::string& fileName, const std::string& reason) {
    throw EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
}

[[noreturn]] void ThrowOpenError(const std::string& fileName, int error) {
    ThrowOpenError(fileName, std::strerror(error));
}

// Why a file of this type cannot be read as text.
std::string NotRegularReason(mode_t mode) {
    if (S_ISDIR(mode))
        return std::strerror(EISDIR);
    if (S_ISFIFO(mode))
        return "It is a pipe, not a regular file.";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "It is a device, not a regular file.";
#ifdef S_ISSOCK
    if (S_ISSOCK(mode))
        return "It is a socket, not a regular file.";
#endif
    return "It is not a regular file.";
}

[[noreturn]] void ThrowTooLarge(const std::string& fileName) {
    ThrowOpenError(fileName, "The file is larger than " + std::to_string(MaxTextFileSize >> 20) +
                                 " MB, too large for a text file.");
}

std::string ReadWholeFile(const std::string& fileName) {
    // Opened without blocking: opening a pipe would wait for a writer.
    int fd = ::open(fileName.c_str(), ReadOpenFlags);
    if (fd < 0) ThrowOpenError(fileName, errno);
    struct Closer {
        int Fd;
        ~Closer() { ::close(Fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) ThrowOpenError(fileName, errno);
    if (!S_ISREG(st.st_mode)) ThrowOpenError(fileName, NotRegularReason(st.st_mode));
    if (static_cast<uint64_t>(st.st_size) > MaxTextFileSize) ThrowTooLarge(fileName);
    std::string bytes;
    bytes.reserve(static_cast<size_t>(st.st_size));
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowOpenError(fileName, errno);
        }
        // A file may grow while it is read, and some report no size at all.
        if (bytes.size() + static_cast<size_t>(n) > MaxTextFileSize) ThrowTooLarge(fileName);
        bytes.append(buffer, static_cast<size_t>(n));
    }
    return bytes;
}

// The length of the well-formed UTF-8 sequence at p[i] (one to four bytes,
// no overlong forms, no surrogates), or 0 when there is none; `cp` receives
// its code point.
size_t Utf8Sequence(const unsigned char* p, size_t n, size_t i, uint32_t& cp) {
    unsigned char b = p[i];
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    size_t len;
    uint32_t min;
    if (b >= 0xC2 && b <= 0xDF) { len = 2; cp = b & 0x1F; min = 0x80; }
    else if (b >= 0xE0 && b <= 0xEF) { len = 3; cp = b & 0x0F; min = 0x800; }
    else if (b >= 0xF0 && b <= 0xF4) { len = 4; cp = b & 0x07; min = 0x10000; }
    else return 0;
    if (n - i < len) return 0;
    for (size_t k = 1; k < len; ++k) {
        if ((p[i + k] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

// The length of the maximal ill-formed subpart at p[i], where no well-formed
// sequence begins: a lead byte with the continuation bytes that could still
// have followed it, or else the byte alone. Each becomes one U+FFFD, as
// Unicode recommends (and iconv, browsers and editors do), so a stray byte
// costs one character and never the rest of the text.
size_t Utf8BadSubpart(const unsigned char* p, size_t n, size_t i) {
    const unsigned char b = p[i];
    size_t len;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (b >= 0xC2 && b <= 0xDF) len = 2;
    else if (b >= 0xE0 && b <= 0xEF) len = 3;
    else if (b >= 0xF0 && b <= 0xF4) len = 4;
    else return 1;
    if (b == 0xE0) low = 0xA0;      // no overlong forms
    else if (b == 0xED) high = 0x9F; // no surrogates
    else if (b == 0xF0) low = 0x90;
    else if (b == 0xF4) high = 0x8F; // nothing beyond U+10FFFF
    size_t k = 1;
    for (; k < len && i + k < n; ++k) {
        const unsigned char c = p[i + k];
        if (k == 1 ? (c < low || c > high) : (c & 0xC0) != 0x80) break;
    }
    return k;
}

// Whether `bytes` is well-formed UTF-8, checked where it lies; `multiByte`
// tells whether any sequence was longer than a byte.
bool IsUtf8(std::string_view bytes, bool& multiByte) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    multiByte = false;
    for (size_t i = 0; i < n;) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        uint32_t cp;
        size_t len = Utf8Sequence(p, n, i, cp);
        if (len == 0) return false;
        multiByte = true;
        i += len;
    }
    return true;
}

// One code point as UTF-16: a surrogate pair above the basic plane.
void AppendUtf16(WideString& out, uint32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

} // namespace

std::optional<WideString> DecodeUtf8(std::string_view bytes, bool* multiByte) {
    WideString out;
    out.reserve(bytes.size());
    bool anyMulti = false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        uint32_t cp;
        size_t len = Utf8Sequence(p, n, i, cp);
        if (len == 0) return std::nullopt;
        AppendUtf16(out, cp);
        anyMulti = anyMulti || len > 1;
        i += len;
    }
    if (multiByte) *multiByte = anyMulti;
    return out;
}

WideString DecodeUtf8Replacing(std::string_view bytes) {
    WideString out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        uint32_t cp;
        size_t len = Utf8Sequence(p, n, i, cp);
        if (len == 0) {
            out.push_back(u'\uFFFD');
            i += Utf8BadSubpart(p, n, i);
            continue;
        }
        AppendUtf16(out, cp);
        i += len;
    }
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

// Writes converted text over the bytes it came from. No code page takes
// more bytes for a character than UTF-8 or UTF-16 does, so the text written
// never overtakes the text still to be read, and a file is decoded without a
// second copy of it; should it ever do so, the rest is gathered apart.
class TInPlaceWriter {
public:
    explicit TInPlaceWriter(std::string& bytes) : FBytes(bytes) {}
    // `ansi` is the conversion of the bytes before `readUpTo`.
    void Write(std::string_view ansi, size_t readUpTo) {
        if (FSpill.empty() && FWritten + ansi.size() <= readUpTo) {
            std::memcpy(FBytes.data() + FWritten, ansi.data(), ansi.size());
            FWritten += ansi.size();
        } else {
            FSpill.append(ansi);
        }
    }
    std::string Finish() {
        FBytes.resize(FWritten);
        FBytes.append(FSpill);
        return std::move(FBytes);
    }

private:
    std::string& FBytes;
    size_t FWritten = 0;
    std::string FSpill;
};

// Converts the UTF-8 in bytes[from, end) to ANSI text, a piece at a time,
// in place; malformed sequences become U+FFFD first, and so whatever the
// code page makes of that (DecodeUtf8Replacing).
std::string Utf8ToAnsiInPlace(std::string&& bytes, size_t from, size_t end,
                              const ITextCodec& codec) {
    constexpr size_t PieceSize = 1 << 16;
    auto continuation = [&](size_t at) { return (static_cast<unsigned char>(bytes[at]) & 0xC0) == 0x80; };
    TInPlaceWriter writer(bytes);
    while (from < end) {
        size_t stop = std::min(end, from + PieceSize);
        // A piece ends where a character begins: before a byte that is no
        // continuation byte, within the three bytes a sequence can reach
        // back. Further back there is none, so the byte at `stop` is a stray
        // continuation byte that belongs to nothing before it.
        if (stop < end) {
            size_t back = 0;
            while (back < 3 && continuation(stop - back)) ++back;
            if (!continuation(stop - back)) stop -= back;
        }
        writer.Write(codec.ToAnsi(DecodeUtf8Replacing(std::string_view(bytes).substr(from, stop - from))),
                     stop);
        from = stop;
    }
    return writer.Finish();
}

// Converts the UTF-16 text of bytes[from, ...) to ANSI text, a piece at a
// time, in place: little-endian (low byte first) or big-endian. The text
// ends at its first zero unit; an odd last byte is dropped.
std::string Utf16ToAnsiInPlace(std::string&& bytes, size_t from, bool bigEndian, const ITextCodec& codec) {
    constexpr size_t PieceUnits = 1 << 15;
    const size_t low = bigEndian ? 1 : 0;
    auto unitAt = [&](size_t at) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[at + low]) |
                                     (static_cast<unsigned char>(bytes[at + 1 - low]) << 8));
    };
    TInPlaceWriter writer(bytes);
    WideString wide;
    size_t at = from;
    bool ended = false;
    while (!ended && at + 1 < bytes.size()) {
        wide.clear();
        while (at + 1 < bytes.size() && wide.size() < PieceUnits) {
            char16_t unit = unitAt(at);
            if (unit == 0) {
                ended = true;
                break;
            }
            wide.push_back(unit);
            at += 2;
        }
        // A surrogate pair stays in one piece.
        if (!ended && at + 1 < bytes.size() && wide.size() > 1 && wide.back() >= 0xD800 &&
            wide.back() < 0xDC00) {
            wide.pop_back();
            at -= 2;
        }
        writer.Write(codec.ToAnsi(wide), at);
    }
    return writer.Finish();
}

// The text decoded to ANSI text, written over `bytes`; `bytes` itself when
// it needs no decoding.
std::string DecodeToAnsi(std::string&& bytes, const ITextCodec& codec) {
    std::string_view view(bytes);
    // After a mark the file is in that encoding, whatever it holds: a
    // malformed sequence is one replacement character, not the end of it.
    if (view.size() >= 3 && view.substr(0, 3) == "\xEF\xBB\xBF")
        return Utf8ToAnsiInPlace(std::move(bytes), 3, bytes.size(), codec);
    if (view.size() >= 2 && view.substr(0, 2) == "\xFF\xFE")
        return Utf16ToAnsiInPlace(std::move(bytes), 2, false, codec);
    if (view.size() >= 2 && view.substr(0, 2) == "\xFE\xFF")
        return Utf16ToAnsiInPlace(std::move(bytes), 2, true, codec);
    // Without a mark the text ends at its first zero byte, and only the
    // bytes before it decide whether it is UTF-8.
    const size_t end = std::min(view.find('\0'), view.size());
    bool multiByte = false;
    if (IsUtf8(view.substr(0, end), multiByte) && multiByte)
        return Utf8ToAnsiInPlace(std::move(bytes), 0, end, codec);
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
