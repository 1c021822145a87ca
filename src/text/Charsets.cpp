#include "text/Charsets.h"

namespace parlino {

const std::array<TCharsetName, 18> CharsetNames = {{
    {"ANSI_CHARSET", 0},        {"DEFAULT_CHARSET", 1},      {"SYMBOL_CHARSET", 2},
    {"MAC_CHARSET", 77},        {"SHIFTJIS_CHARSET", 128},   {"HANGEUL_CHARSET", 129},
    {"JOHAB_CHARSET", 130},     {"GB2312_CHARSET", 134},     {"CHINESEBIG5_CHARSET", 136},
    {"GREEK_CHARSET", 161},     {"TURKISH_CHARSET", 162},    {"HEBREW_CHARSET", 177},
    {"ARABIC_CHARSET", 178},    {"BALTIC_CHARSET", 186},     {"RUSSIAN_CHARSET", 204},
    {"THAI_CHARSET", 222},      {"EASTEUROPE_CHARSET", 238}, {"OEM_CHARSET", 255},
}};

uint32_t CharsetToCodePage(uint8_t charset) {
    switch (charset) {
    case 0: return 1252;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258; // VIETNAMESE_CHARSET, not offered in the box
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    default: return 0;
    }
}

void FillCharsetList(std::string_view /*fontName*/, std::vector<std::string>& items) {
    items.clear();
    for (const TCharsetName& c : CharsetNames) items.emplace_back(c.Identifier);
}

std::optional<uint8_t> CharsetByIdentifier(std::string_view identifier) {
    for (const TCharsetName& c : CharsetNames)
        if (identifier == c.Identifier) return c.Number;
    return std::nullopt;
}

} // namespace parlino
