#pragma once
// The 18 Windows character sets the "Font charset" box offers, and their
// ANSI code pages.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlino {

struct TCharsetName {
    const char* Identifier;
    uint8_t Number;
};

constexpr uint8_t DEFAULT_CHARSET = 1;
constexpr uint8_t RUSSIAN_CHARSET = 204;

// In the order of the box's items.
extern const std::array<TCharsetName, 18> CharsetNames;

// The ANSI code page of a character set, or 0 when there is none (DEFAULT,
// SYMBOL and OEM character sets, and unknown numbers).
uint32_t CharsetToCodePage(uint8_t charset);

// Clears `items` and adds the 18 identifiers in table order. The font name
// does not change the list.
void FillCharsetList(std::string_view fontName, std::vector<std::string>& items);

// The number of an identifier, or nothing when the text is not one of the 18.
std::optional<uint8_t> CharsetByIdentifier(std::string_view identifier);

} // namespace parlino
