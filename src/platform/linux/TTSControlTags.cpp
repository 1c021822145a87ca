#include "platform/linux/TTSControlTags.h"

#include <algorithm>

namespace parlino {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool NameIs(std::string_view name, std::string_view wanted) {
    if (name.size() != wanted.size()) return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (Lower(name[i]) != wanted[i]) return false;
    return true;
}

// Decimal digits only (blanks around allowed); saturates at 2^32 - 1.
std::optional<uint32_t> ParseValue(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    if (s.empty()) return std::nullopt;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = std::min<uint64_t>(v * 10 + static_cast<uint64_t>(c - '0'), 0xFFFFFFFFu);
    }
    return static_cast<uint32_t>(v);
}

// Tags are short; a backslash further than this from the next one opens no tag.
constexpr size_t MaxTagLength = 64;

} // namespace

TTSProsody TTSLimits::Clamp(TTSProsody p) const {
    p.Speed = std::clamp(p.Speed, MinSpeed, MaxSpeed);
    p.Pitch = std::clamp(p.Pitch, MinPitch, MaxPitch);
    return p;
}

std::vector<TTSTextPiece> ParseControlTags(std::string_view text, bool tagged, TTSProsody& state,
                                           const TTSLimits& limits) {
    std::vector<TTSTextPiece> pieces;
    // Text after a tag starts a new piece, so that each piece's bytes are
    // one stretch of the text and word offsets stay exact.
    bool split = true;
    auto current = [&]() -> TTSTextPiece& {
        if (split) {
            if (!pieces.empty() && pieces.back().Text.empty()) pieces.back().Prosody = state;
            else pieces.push_back({state, 0, std::nullopt, {}, 0});
            split = false;
        }
        return pieces.back();
    };
    auto startPiece = [&]() -> TTSTextPiece& {
        if (pieces.empty() || !pieces.back().Text.empty()) pieces.push_back({state, 0, std::nullopt, {}, 0});
        pieces.back().Prosody = state;
        return pieces.back();
    };
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (tagged && c == '\\') {
            const size_t close = text.find('\\', i + 1);
            if (close == std::string_view::npos || close - i > MaxTagLength) {
                ++i; // opens no tag: dropped
                split = true;
                continue;
            }
            const std::string_view body = text.substr(i + 1, close - i - 1);
            const size_t eq = body.find('=');
            const std::string_view name = body.substr(0, eq);
            const std::optional<uint32_t> value =
                eq == std::string_view::npos ? std::nullopt : ParseValue(body.substr(eq + 1));
            if (NameIs(name, "rst")) {
                state = limits.Defaults;
            } else if (value && NameIs(name, "spd")) {
                state.Speed = std::clamp(*value, limits.MinSpeed, limits.MaxSpeed);
            } else if (value && NameIs(name, "pit")) {
                state.Pitch = static_cast<uint16_t>(
                    std::clamp<uint32_t>(*value, limits.MinPitch, limits.MaxPitch));
            } else if (value && NameIs(name, "vol")) {
                state.Volume = *value;
            } else if (value && NameIs(name, "pau")) {
                TTSTextPiece& piece = startPiece();
                piece.SilenceMs = std::min(limits.MaxPauseMs, piece.SilenceMs + std::min(*value, limits.MaxPauseMs));
            } else if (value && NameIs(name, "mrk")) {
                startPiece().Bookmark = *value;
            }
            split = true;
            i = close + 1;
            continue;
        }
        TTSTextPiece& piece = current();
        if (piece.Text.empty()) piece.Offset = static_cast<uint32_t>(i);
        piece.Text += c;
        ++i;
    }
    // Blanks between tags say nothing.
    for (TTSTextPiece& p : pieces)
        if (p.Text.find_first_not_of(" \t\r\n") == std::string::npos) p.Text.clear();
    std::erase_if(pieces, [](const TTSTextPiece& p) { return p.Text.empty() && p.SilenceMs == 0 && !p.Bookmark; });
    return pieces;
}

} // namespace parlino
