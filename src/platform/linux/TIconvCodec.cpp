#include "platform/linux/TIconvCodec.h"

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cwctype>
#include <iconv.h>
#include <locale.h>

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

// Runs a whole conversion; on an invalid or incomplete input sequence calls
// `onBad(inPtr, inLeft, out)`, which appends a replacement and returns how
// many input bytes to skip.
template <typename OnBad>
std::string Convert(const TIconv& cd, const char* in, size_t inLeft, OnBad onBad) {
    std::string out;
    out.resize(inLeft * 2 + 16);
    size_t used = 0;
    char* inPtr = const_cast<char*>(in);
    while (inLeft > 0) {
        char* outPtr = out.data() + used;
        size_t outLeft = out.size() - used;
        size_t rc = iconv(cd.Get(), &inPtr, &inLeft, &outPtr, &outLeft);
        used = out.size() - outLeft;
        if (rc != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ or EINVAL: replace and skip the offending unit.
        out.resize(used);
        size_t skip = onBad(inPtr, inLeft, out);
        if (skip > inLeft) skip = inLeft;
        inPtr += skip;
        inLeft -= skip;
        used = out.size();
        out.resize(used + inLeft * 2 + 16);
    }
    out.resize(used);
    return out;
}

locale_t Utf8Locale() {
    static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return loc;
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
    if (ansi.empty()) return {};
    std::string from = IconvName(Resolve(codePage));
    if (from.empty()) from = "CP1252";
    TIconv cd("UTF-16LE", from.c_str());
    if (!cd.Valid()) return {};
    std::string bytes = Convert(cd, ansi.data(), ansi.size(), [](const char*, size_t, std::string& out) {
        out += '\xFD';
        out += '\xFF';
        return size_t{1};
    });
    WideString wide(bytes.size() / 2, u'\0');
    for (size_t k = 0; k < wide.size(); ++k)
        wide[k] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * k]) |
                                        (static_cast<unsigned char>(bytes[2 * k + 1]) << 8));
    return wide;
}

std::string TIconvCodec::ToAnsi(std::u16string_view wide, uint32_t codePage) const {
    if (wide.empty()) return {};
    std::string to = IconvName(Resolve(codePage));
    if (to.empty()) to = "CP1252";
    TIconv cd(to.c_str(), "UTF-16LE");
    if (!cd.Valid()) return {};
    std::string bytes(wide.size() * 2, '\0');
    for (size_t k = 0; k < wide.size(); ++k) {
        bytes[2 * k] = static_cast<char>(wide[k] & 0xFF);
        bytes[2 * k + 1] = static_cast<char>(wide[k] >> 8);
    }
    return Convert(cd, bytes.data(), bytes.size(), [](const char* in, size_t left, std::string& out) {
        out += '?';
        // A whole surrogate pair is one character.
        if (left >= 4) {
            unsigned unit = static_cast<unsigned char>(in[0]) | (static_cast<unsigned char>(in[1]) << 8);
            if (unit >= 0xD800 && unit < 0xDC00) return size_t{4};
        }
        return size_t{2};
    });
}

std::string TIconvCodec::AnsiUpperCase(std::string_view ansi) const {
    bool ascii = true;
    for (char c : ansi)
        if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
    std::string result(ansi);
    if (ascii) {
        for (char& c : result)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        return result;
    }
    WideString wide = ToWide(ansi);
    locale_t loc = Utf8Locale();
    for (char16_t& ch : wide) {
        if (ch >= 0xD800 && ch < 0xE000) continue;
        wint_t up = loc ? towupper_l(ch, loc) : std::towupper(ch);
        if (up <= 0xFFFF) ch = static_cast<char16_t>(up);
    }
    std::string upper = ToAnsi(wide);
    // A letter whose capital the code page lacks keeps its own byte.
    if (upper.size() != result.size()) return result;
    for (size_t k = 0; k < upper.size(); ++k)
        if (upper[k] != '?' || result[k] == '?') result[k] = upper[k];
    return result;
}

} // namespace parlino
