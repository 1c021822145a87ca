#include "platform/win/TWinCodec.h"

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>

namespace parlino {
namespace {

// The characters of a single-byte code page, byte by byte. Windows gives a
// byte the code page leaves unassigned the C1 control of the same number
// (0x81 -> U+0081) or a private-use character (0xAA of 1253 -> U+F8F9);
// such a byte is no character, so it becomes U+FFFD here, as on the other
// systems.
struct TSingleByteTable {
    bool Valid = false;
    std::array<char16_t, 256> Chars{};
};

const TSingleByteTable& SingleByteTable(uint32_t codePage) {
    static std::mutex mutex;
    static std::map<uint32_t, std::unique_ptr<const TSingleByteTable>> tables;
    std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<const TSingleByteTable>& slot = tables[codePage];
    if (!slot) {
        auto table = std::make_unique<TSingleByteTable>();
        CPINFO info{};
        table->Valid = GetCPInfo(codePage, &info) && info.MaxCharSize == 1;
        for (unsigned b = 0; table->Valid && b < 256; ++b) {
            const char byte = static_cast<char>(b);
            wchar_t ch = 0;
            if (MultiByteToWideChar(codePage, 0, &byte, 1, &ch, 1) != 1)
                ch = 0xFFFD;
            if (b >= 0x80 && ((ch >= 0x80 && ch <= 0x9F) || (ch >= 0xE000 && ch <= 0xF8FF)))
                ch = 0xFFFD;
            table->Chars[b] = static_cast<char16_t>(ch);
        }
        slot = std::move(table);
    }
    return *slot;
}

std::string OneCharToAnsi(uint32_t codePage, const wchar_t* wide, int length) {
    char out[8];
    BOOL lossy = FALSE;
    const bool utf = codePage == CP_UTF8 || codePage == CP_UTF7;
    const int n = WideCharToMultiByte(codePage, utf ? 0 : WC_NO_BEST_FIT_CHARS, wide, length, out,
                                      sizeof out, nullptr, utf ? nullptr : &lossy);
    return n > 0 && !lossy ? std::string(out, static_cast<size_t>(n)) : std::string();
}

} // namespace

TWinCodec::TWinCodec() : FSystemCodePage(GetACP()) {}

WideString TWinCodec::ToWide(std::string_view ansi, uint32_t codePage) const {
    codePage = Resolve(codePage);
    if (ansi.empty())
        return {};
    const TSingleByteTable& table = SingleByteTable(codePage);
    if (table.Valid) {
        WideString out(ansi.size(), u'\0');
        for (size_t i = 0; i < ansi.size(); ++i)
            out[i] = table.Chars[static_cast<unsigned char>(ansi[i])];
        return out;
    }
    const int length = static_cast<int>(ansi.size());
    const int n = MultiByteToWideChar(codePage, 0, ansi.data(), length, nullptr, 0);
    if (n <= 0)
        return WideString(ansi.size(), u'\uFFFD'); // an unknown code page
    WideString out(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(codePage, 0, ansi.data(), length, reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
}

std::string TWinCodec::ToAnsi(std::u16string_view wide, uint32_t codePage) const {
    codePage = Resolve(codePage);
    std::string out;
    out.reserve(wide.size());
    // Character by character, so that what the code page cannot show
    // becomes '?' instead of a look-alike.
    for (size_t i = 0; i < wide.size();) {
        const bool pair = wide[i] >= 0xD800 && wide[i] < 0xDC00 && i + 1 < wide.size() &&
                          wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000;
        const int length = pair ? 2 : 1;
        if (wide[i] < 0x80) {
            out += static_cast<char>(wide[i]);
        } else {
            const std::string bytes = OneCharToAnsi(
                codePage, reinterpret_cast<const wchar_t*>(wide.data() + i), length);
            out += bytes.empty() ? std::string("?") : bytes;
        }
        i += static_cast<size_t>(length);
    }
    return out;
}

TLeadBytes TWinCodec::LeadBytes(uint32_t codePage) const {
    TLeadBytes lead{};
    CPINFO info{};
    if (!GetCPInfo(Resolve(codePage), &info) || info.MaxCharSize != 2)
        return lead;
    for (int k = 0; k + 1 < MAX_LEADBYTES && info.LeadByte[k]; k += 2)
        for (unsigned b = info.LeadByte[k]; b <= info.LeadByte[k + 1]; ++b)
            lead[b] = true;
    return lead;
}

std::string TWinCodec::AnsiUpperCase(std::string_view ansi) const {
    const TLeadBytes lead = LeadBytes(0);
    std::string out(ansi);
    for (size_t i = 0; i < ansi.size();) {
        const size_t length = AnsiCharLength(lead, ansi, i);
        const unsigned char b = static_cast<unsigned char>(ansi[i]);
        if (length == 1 && b < 0x80) {
            if (b >= 'a' && b <= 'z')
                out[i] = static_cast<char>(b - 'a' + 'A');
        } else {
            const WideString wide = ToWide(ansi.substr(i, length));
            if (wide.size() == 1 && wide[0] != 0xFFFD) {
                wchar_t up = static_cast<wchar_t>(wide[0]);
                LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE, &up, 1, &up, 1);
                const std::string bytes = OneCharToAnsi(FSystemCodePage, &up, 1);
                if (bytes.size() == length)
                    out.replace(i, length, bytes);
            }
        }
        i += length;
    }
    return out;
}

} // namespace parlino
