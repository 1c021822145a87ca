// The control tags of the legacy voice API. The first byte chooses tagged
// or plain text and where the text is cut in two, so that the state carried
// from one call to the next is fuzzed too.

#include "FuzzSupport.h"
#include "platform/linux/TTSControlTags.h"

using namespace parlino;

namespace {

void CheckPieces(const std::vector<TTSTextPiece>& pieces, std::string_view text,
                 const TTSLimits& limits) {
    uint32_t end = 0;
    for (const TTSTextPiece& piece : pieces) {
        FUZZ_CHECK(!piece.Text.empty() || piece.SilenceMs > 0 || piece.Bookmark);
        FUZZ_CHECK(piece.SilenceMs <= limits.MaxPauseMs);
        FUZZ_CHECK(piece.Prosody.Speed >= limits.MinSpeed && piece.Prosody.Speed <= limits.MaxSpeed);
        FUZZ_CHECK(piece.Prosody.Pitch >= limits.MinPitch && piece.Prosody.Pitch <= limits.MaxPitch);
        if (piece.Text.empty())
            continue;
        // Each piece is one stretch of the text, after the one before.
        FUZZ_CHECK(piece.Offset >= end && piece.Offset + piece.Text.size() <= text.size());
        FUZZ_CHECK(text.substr(piece.Offset, piece.Text.size()) == piece.Text);
        end = piece.Offset + static_cast<uint32_t>(piece.Text.size());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const bool tagged = !(data[0] & 1);
    const std::string_view text = fuzz::AsText(data + 1, size - 1);
    const size_t cut = std::min<size_t>(data[0] >> 1, text.size());

    TTSLimits limits;
    limits.MinSpeed = 60;
    limits.MaxSpeed = 400;
    limits.MinPitch = 50;
    limits.MaxPitch = 400;
    limits.Defaults = {170, 100, 0xFFFFFFFF};
    TTSProsody state = limits.Defaults;
    for (std::string_view part : {text.substr(0, cut), text.substr(cut)}) {
        CheckPieces(ParseControlTags(part, tagged, state, limits), part, limits);
        if (!tagged)
            FUZZ_CHECK(state == limits.Defaults);
    }
    return 0;
}
