#include "settings/ShortCuts.h"

#include <array>

namespace parlino {
namespace {

char Fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithFolded(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (Fold(text[i]) != Fold(prefix[i]))
            return false;
    return true;
}

// The name of a virtual key, empty when it has none.
std::string KeyName(uint8_t key) {
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
        return std::string(1, static_cast<char>(key));
    if (key >= VK_F1 && key < VK_F1 + 24)
        return "F" + std::to_string(key - VK_F1 + 1);
    switch (key) {
    case 0x08:
        return "BkSp";
    case 0x09:
        return "Tab";
    case 0x0D:
        return "Enter";
    case 0x1B:
        return "Esc";
    case 0x20:
        return "Space";
    case 0x21:
        return "PgUp";
    case 0x22:
        return "PgDn";
    case 0x23:
        return "End";
    case 0x24:
        return "Home";
    case 0x25:
        return "Left";
    case 0x26:
        return "Up";
    case 0x27:
        return "Right";
    case 0x28:
        return "Down";
    case 0x2D:
        return "Ins";
    case 0x2E:
        return "Del";
    default:
        return {};
    }
}

} // namespace

std::string ShortCutToText(TShortCut shortCut) {
    const std::string name = KeyName(static_cast<uint8_t>(shortCut & 0xFF));
    if (name.empty())
        return {};
    std::string text;
    if (shortCut & scShift)
        text += "Shift+";
    if (shortCut & scCtrl)
        text += "Ctrl+";
    if (shortCut & scAlt)
        text += "Alt+";
    return text + name;
}

TShortCut TextToShortCut(std::string_view text) {
    TShortCut modifiers = 0;
    for (bool found = true; found;) {
        found = false;
        for (auto [prefix, flag] : std::array<std::pair<std::string_view, TShortCut>, 3>{
                 {{"Shift+", scShift}, {"Ctrl+", scCtrl}, {"Alt+", scAlt}}})
            if (text.size() > prefix.size() && StartsWithFolded(text, prefix)) {
                modifiers |= flag;
                text.remove_prefix(prefix.size());
                found = true;
            }
    }
    for (int key = 1; key < 256; ++key) {
        const std::string name = KeyName(static_cast<uint8_t>(key));
        if (!name.empty() && name.size() == text.size() && StartsWithFolded(text, name))
            return static_cast<TShortCut>(modifiers | key);
    }
    return 0;
}

} // namespace parlino
