#pragma once
// Keyboard shortcuts as the settings file keeps them: 16-bit values with the
// virtual-key code in the low byte and the modifiers scShift, scCtrl and
// scAlt, written as texts such as "Ctrl+F5".

#include <cstdint>
#include <string>
#include <string_view>

namespace parlino {

using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut VK_F1 = 0x70;

// "Shift+", "Ctrl+" and "Alt+" (in this order, as present) and the key's
// name; empty for 0 or a key without a name.
std::string ShortCutToText(TShortCut shortCut);
// The reverse, without regard to letter case; 0 when the text names no key.
TShortCut TextToShortCut(std::string_view text);

} // namespace parlino
