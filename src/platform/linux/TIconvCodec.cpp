#include "platform/linux/TIconvCodec.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cwctype>
#include <iconv.h>
#include <locale.h>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace parlino {
namespace {

// RAII holder of one conversion descriptor.
class TIconv {
public:
    TIconv(const char* to, const char* from) : FHandle(iconv_open(to, from)) {}
    ~TIconv() {
        if (Valid()) iconv_close(FHandle);
    }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;
    bool Valid() const { return FHandle != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return FHandle; }

private:
    iconv_t FHandle;
};

// Runs a whole conversion from `in` into a buffer of `Out` units; on an
// invalid or incomplete input sequence calls `onBad(inPtr, inLeft, out,
// used)`, which writes a replacement at `used` (growing `out` if needed) and
// returns how many input bytes to skip.
template <typename Out, typename OnBad>
Out Convert(const TIconv& cd, const char* in, size_t inLeft, size_t outGuess, OnBad onBad) {
    Out out;
    out.resize(outGuess + 8);
    size_t used = 0; // in bytes
    char* inPtr = const_cast<char*>(in);
    while (inLeft > 0) {
        char* outPtr = reinterpret_cast<char*>(out.data()) + used;
        size_t outLeft = out.size() * sizeof(out[0]) - used;
        size_t rc = iconv(cd.Get(), &inPtr, &inLeft, &outPtr, &outLeft);
        used = out.size() * sizeof(out[0]) - outLeft;
        if (rc != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ or EINVAL: replace and skip the offending unit.
        if (out.size() * sizeof(out[0]) - used < 16) out.resize(out.size() * 2);
        size_t skip = std::min(onBad(inPtr, inLeft, out, used), inLeft);
        inPtr += skip;
        inLeft -= skip;
    }
    out.resize(used / sizeof(out[0]));
    return out;
}

bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

locale_t Utf8Locale() {
    static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return loc;
}

char16_t UpperOf(char16_t ch) {
    if (ch >= 0xD800 && ch < 0xE000) return ch;
    locale_t loc = Utf8Locale();
    wint_t up = loc ? towupper_l(ch, loc) : std::towupper(ch);
    return up <= 0xFFFF ? static_cast<char16_t>(up) : ch;
}

// The lead-byte ranges of the double-byte code pages a system can have, as
// Windows defines them. They also cover the cells iconv leaves undefined, so
// that a character is never split wherever it stands.
TLeadBytes LeadBytesOf(uint32_t codePage) {
    TLeadBytes lead{};
    auto mark = [&](unsigned from, unsigned to) {
        for (unsigned b = from; b <= to; ++b) lead[b] = true;
    };
    switch (codePage) {
    case 932: mark(0x81, 0x9F); mark(0xE0, 0xFC); break;
    case 936: case 949: case 950: mark(0x81, 0xFE); break;
    default: break;
    }
    return lead;
}

// The upper case of every character of one code page, made once.
struct TUpperTable {
    TLeadBytes Lead{};
    // One-byte characters: their upper case, or their own byte.
    std::array<unsigned char, 256> Single{};
    // Two-byte characters (lead << 8 | trail) whose upper case is another
    // two-byte character.
    std::unordered_map<uint16_t, uint16_t> Double;
};

// The one UTF-16 unit that `bytes` stand for, or 0 when they are not exactly
// one character.
char16_t OneCharacter(const TIconv& cd, std::string_view bytes) {
    iconv(cd.Get(), nullptr, nullptr, nullptr, nullptr);
    char16_t out[2] = {0, 0};
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* outPtr = reinterpret_cast<char*>(out);
    size_t outLeft = sizeof out;
    if (iconv(cd.Get(), &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0 ||
        outLeft != sizeof out - 2)
        return 0;
    return out[0];
}

// The bytes of `ch` in the code page, or nothing when it has none.
std::string Encode(const TIconv& cd, char16_t ch) {
    iconv(cd.Get(), nullptr, nullptr, nullptr, nullptr);
    char* in = reinterpret_cast<char*>(&ch);
    size_t inLeft = sizeof ch;
    char out[8];
    char* outPtr = out;
    size_t outLeft = sizeof out;
    if (iconv(cd.Get(), &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) return {};
    return std::string(out, sizeof out - outLeft);
}

std::unique_ptr<const TUpperTable> BuildUpperTable(uint32_t codePage, const std::string& iconvName) {
    auto table = std::make_unique<TUpperTable>();
    table->Lead = LeadBytesOf(codePage);
    for (unsigned b = 0; b < 256; ++b)
        table->Single[b] = (b >= 'a' && b <= 'z') ? static_cast<unsigned char>(b - 'a' + 'A') : static_cast<unsigned char>(b);
    // UTF-8 has characters of up to four bytes: there only ASCII letters fold.
    if (codePage == 65001) return table;
    TIconv toWide("UTF-16LE", iconvName.c_str()), fromWide(iconvName.c_str(), "UTF-16LE");
    if (!toWide.Valid() || !fromWide.Valid()) return table;
    for (unsigned b = 0x80; b < 256; ++b) {
        if (table->Lead[b]) continue;
        const char byte = static_cast<char>(b);
        const char16_t ch = OneCharacter(toWide, std::string_view(&byte, 1));
        const char16_t up = ch ? UpperOf(ch) : ch;
        if (up == ch) continue;
        const std::string upper = Encode(fromWide, up);
        if (upper.size() == 1) table->Single[b] = static_cast<unsigned char>(upper[0]);
    }
    for (unsigned lead = 0x80; lead < 256; ++lead) {
        if (!table->Lead[lead]) continue;
        for (unsigned trail = MinTrailByte; trail < 256; ++trail) {
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const char16_t ch = OneCharacter(toWide, std::string_view(pair, 2));
            const char16_t up = ch ? UpperOf(ch) : ch;
            if (up == ch) continue;
            const std::string upper = Encode(fromWide, up);
            if (upper.size() != 2 || AnsiCharLength(table->Lead, upper, 0) != 2) continue;
            table->Double[static_cast<uint16_t>(lead << 8 | trail)] = static_cast<uint16_t>(
                static_cast<unsigned char>(upper[0]) << 8 | static_cast<unsigned char>(upper[1]));
        }
    }
    return table;
}

// Made once per code page for the whole process; the tables never change.
const TUpperTable& UpperTableFor(uint32_t codePage, const std::string& iconvName) {
    static std::mutex mutex;
    static std::map<uint32_t, std::unique_ptr<const TUpperTable>> tables;
    std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<const TUpperTable>& table = tables[codePage];
    if (!table) table = BuildUpperTable(codePage, iconvName);
    return *table;
}

} // namespace

TIconvCodec::TIconvCodec() {
    std::string name;
    for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(var);
        if (value && *value) {
            name = value;
            break;
        }
    }
    FSystemCodePage = CodePageForLocale(name);
}

uint32_t TIconvCodec::CodePageForLocale(const std::string& localeName) {
    std::string lang, territory;
    size_t i = 0;
    while (i < localeName.size() && localeName[i] != '_' && localeName[i] != '.' &&
           localeName[i] != '@')
        lang += static_cast<char>(std::tolower(static_cast<unsigned char>(localeName[i++])));
    if (i < localeName.size() && localeName[i] == '_') {
        ++i;
        while (i < localeName.size() && localeName[i] != '.' && localeName[i] != '@')
            territory += static_cast<char>(std::toupper(static_cast<unsigned char>(localeName[i++])));
    }
    struct Entry { const char* Lang; uint32_t CodePage; };
    static const Entry table[] = {
        {"ru", 1251}, {"uk", 1251}, {"be", 1251}, {"bg", 1251}, {"sr", 1251}, {"mk", 1251},
        {"pl", 1250}, {"cs", 1250}, {"hu", 1250}, {"sk", 1250}, {"sl", 1250}, {"hr", 1250},
        {"ro", 1250}, {"el", 1253}, {"tr", 1254}, {"he", 1255}, {"ar", 1256}, {"fa", 1256},
        {"lt", 1257}, {"lv", 1257}, {"et", 1257}, {"vi", 1258}, {"th", 874},  {"ja", 932},
        {"ko", 949},
    };
    if (lang == "zh") return (territory == "TW" || territory == "HK") ? 950 : 936;
    for (const Entry& e : table)
        if (lang == e.Lang) return e.CodePage;
    return 1252;
}

std::string TIconvCodec::IconvName(uint32_t codePage) {
    switch (codePage) {
    case 874: case 932: case 936: case 949: case 950:
    case 1250: case 1251: case 1252: case 1253: case 1254:
    case 1255: case 1256: case 1257: case 1258:
        return "CP" + std::to_string(codePage);
    case 1361: return "JOHAB";
    case 10000: return "MACINTOSH";
    case 20127: return "ASCII";
    case 65001: return "UTF-8";
    default:
        if (codePage >= 28591 && codePage <= 28599)
            return "ISO-8859-" + std::to_string(codePage - 28590);
        return {};
    }
}

uint32_t TIconvCodec::Resolve(uint32_t codePage) const {
    if (codePage == 0 || IconvName(codePage).empty()) return FSystemCodePage;
    return codePage;
}

WideString TIconvCodec::ToWide(std::string_view ansi, uint32_t codePage) const {
    if (IsAscii(ansi)) return WideString(ansi.begin(), ansi.end());
    std::string from = IconvName(Resolve(codePage));
    if (from.empty()) from = "CP1252";
    TIconv cd("UTF-16LE", from.c_str());
    if (!cd.Valid()) return {};
    // UTF-16LE is the memory layout of char16_t on the machines we build for.
    static_assert(std::endian::native == std::endian::little);
    return Convert<WideString>(cd, ansi.data(), ansi.size(), ansi.size(),
                               [](const char*, size_t, WideString& out, size_t& used) {
                                   out[used / 2] = u'\uFFFD';
                                   used += 2;
                                   return size_t{1};
                               });
}

std::string TIconvCodec::ToAnsi(std::u16string_view wide, uint32_t codePage) const {
    bool ascii = true;
    for (char16_t ch : wide)
        if (ch >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) return std::string(wide.begin(), wide.end());
    std::string to = IconvName(Resolve(codePage));
    if (to.empty()) to = "CP1252";
    TIconv cd(to.c_str(), "UTF-16LE");
    if (!cd.Valid()) return {};
    return Convert<std::string>(cd, reinterpret_cast<const char*>(wide.data()), wide.size() * 2, wide.size(),
                                [](const char* in, size_t left, std::string& out, size_t& used) {
                                    out[used++] = '?';
                                    // A whole surrogate pair is one character.
                                    if (left >= 4) {
                                        unsigned unit = static_cast<unsigned char>(in[0]) |
                                                        (static_cast<unsigned char>(in[1]) << 8);
                                        if (unit >= 0xD800 && unit < 0xDC00) return size_t{4};
                                    }
                                    return size_t{2};
                                });
}

TLeadBytes TIconvCodec::LeadBytes(uint32_t codePage) const {
    return LeadBytesOf(Resolve(codePage));
}

std::string TIconvCodec::AnsiUpperCase(std::string_view ansi) const {
    std::string result(ansi);
    if (IsAscii(ansi)) {
        for (char& c : result)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        return result;
    }
    std::string name = IconvName(FSystemCodePage);
    if (name.empty()) name = "CP1252"; // as ToWide reads such a code page
    const TUpperTable& table = UpperTableFor(FSystemCodePage, name);
    auto* p = reinterpret_cast<unsigned char*>(result.data());
    for (size_t i = 0; i < result.size();) {
        if (AnsiCharLength(table.Lead, result, i) == 1) {
            p[i] = table.Single[p[i]];
            ++i;
            continue;
        }
        if (auto it = table.Double.find(static_cast<uint16_t>(p[i] << 8 | p[i + 1])); it != table.Double.end()) {
            p[i] = static_cast<unsigned char>(it->second >> 8);
            p[i + 1] = static_cast<unsigned char>(it->second);
        }
        i += 2;
    }
    return result;
}

} // namespace parlino
