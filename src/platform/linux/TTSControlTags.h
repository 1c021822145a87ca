#pragma once
// The control tags of the legacy voice API, as the engine layer reads them in
// Inject and in tagged text: \Spd=n\ (words per minute), \Pit=n\ (Hz),
// \Vol=n\ (low 16 bits left, high 16 bits right), \Pau=n\ (milliseconds of
// silence), \Mrk=n\ (a bookmark) and \Rst\ (every parameter back to the
// mode's defaults). Tag names ignore letter case; every other tag is skipped
// unspoken. A backslash that opens no complete tag is dropped and the text
// after it spoken. A value that is no decimal number leaves the tag without
// effect; a value too large for 32 bits counts as the largest one; values are
// clamped to the engine's limits.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlino {

struct TTSProsody {
    uint32_t Speed = 170;         // words per minute
    uint16_t Pitch = 100;         // Hz
    uint32_t Volume = 0xFFFFFFFF; // left level + right level x 65536
    bool operator==(const TTSProsody&) const = default;
};

struct TTSLimits {
    uint32_t MinSpeed = 1, MaxSpeed = 1000;
    uint16_t MinPitch = 1, MaxPitch = 1000;
    uint32_t MaxPauseMs = 10000;
    TTSProsody Defaults;
    TTSProsody Clamp(TTSProsody p) const;
};

// A stretch of text spoken with one prosody: SilenceMs of silence first, then
// Text, whose first byte was byte Offset of the text given.
struct TTSTextPiece {
    TTSProsody Prosody;
    uint32_t SilenceMs = 0;
    std::optional<uint32_t> Bookmark; // reached before the silence
    std::string Text;
    uint32_t Offset = 0;
};

// Reads `text`, starting from (and updating) `state`. Without `tagged` the
// whole text is one piece. Text of nothing but blanks counts as none; pieces
// with neither text, silence nor bookmark are left out.
std::vector<TTSTextPiece> ParseControlTags(std::string_view text, bool tagged, TTSProsody& state,
                                           const TTSLimits& limits);

} // namespace parlino
