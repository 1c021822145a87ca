// The control tags of the legacy voice API, on the text as the Flite layer
// reads it first (typographic marks in ASCII, other characters as blanks).
// The first byte chooses tagged or plain text and where the text is cut in
// two, so that the state carried from one call to the next is fuzzed too.

#include "FuzzSupport.h"
#include "platform/linux/TFliteText.h"
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

// Flite's text is printable ASCII, and its positions lead back, in order,
// into the text given.
void CheckFliteText(const TFliteText& read, std::string_view given) {
    uint32_t last = 0;
    for (uint32_t k = 0; k < read.Text.size(); ++k) {
        const auto c = static_cast<unsigned char>(read.Text[k]);
        FUZZ_CHECK(c >= 0x20 && c < 0x7F);
        const uint32_t source = read.SourceOffset(k);
        FUZZ_CHECK(source >= last && source < given.size());
        last = source;
    }
    // ASCII text is read as it is.
    if (std::all_of(given.begin(), given.end(), [](char c) { return c >= 0x20 && c < 0x7F; }))
        FUZZ_CHECK(read.Text == given && read.Changes.empty());
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
    const TFliteTextReader reader(&fuzz::CodecFor(size));
    for (std::string_view given : {text.substr(0, cut), text.substr(cut)}) {
        const TFliteText read = reader.Read(given);
        CheckFliteText(read, given);
        const std::string_view part = read.Text;
        CheckPieces(ParseControlTags(part, tagged, state, limits), part, limits);
        if (!tagged)
            FUZZ_CHECK(state == limits.Defaults);
    }
    return 0;
}
