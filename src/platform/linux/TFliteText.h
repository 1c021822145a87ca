#pragma once
// Text as the Flite voices get it. Flite reads English ASCII text: the
// typographic marks of a text are given their ASCII readings first, as
// espeak-ng reads them (so "I’m" is "I'm", not "I m"), and every other
// character outside printable ASCII (a letter of another code page, a control
// character) becomes one blank per byte. Word positions are reported back in
// bytes of the text as it was given.

#include "platform/ITextCodec.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace parlino {

// The ASCII reading of a typographic mark: ‘ ’ ‚ ‛ and the prime an
// apostrophe; “ ” „ ‟ « » and the double prime a quotation mark; the hyphens,
// dashes and the minus sign a hyphen-minus; … three full stops; the spaces of
// other widths a space. Empty for every other character.
std::string_view FliteAsciiReading(char16_t ch);

// A text in Flite's ASCII, with the way back to the bytes it was read from.
struct TFliteText {
    std::string Text;
    // Each character whose reading is not as long as its bytes: its reading
    // begins at byte `At` of Text and is `Length` bytes long, and it was the
    // `SourceLength` bytes from byte `SourceAt` of the text given. In order.
    struct TChange {
        uint32_t At, Length, SourceAt, SourceLength;
    };
    std::vector<TChange> Changes;

    // The byte of the text given that byte `offset` of Text was read from
    // (within a reading: the first byte of its character).
    uint32_t SourceOffset(uint32_t offset) const;
};

// Reads texts in the system code page of a codec, character by character as
// the code page's lead bytes divide them. Not thread-safe: one reader serves
// one thread (a central's program thread).
class TFliteTextReader {
public:
    // The codec must outlive the reader; null reads Windows-1252.
    explicit TFliteTextReader(const ITextCodec* codec);
    TFliteText Read(std::string_view ansi) const;

private:
    const ITextCodec& FCodec;
    TLeadBytes FLeadBytes;
    // The reading of each character met so far, by its bytes (a lead byte
    // in the high byte); empty: blanks.
    mutable std::unordered_map<uint16_t, std::string> FReadings;
};

} // namespace parlino
