#pragma once
// The mark-up of the modern voice API's Speak: the text split into runs of
// one prosody each, and the prosody values in espeak-ng's units.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parlino {

struct TSpeechProsody {
    int32_t Rate = 0;     // -10..10, the voice's rate scale
    int32_t Volume = 100; // 0..100, percent of full volume
    int32_t Pitch = 0;    // -50..50 around the voice's middle
    bool Emphasis = false;
    bool operator==(const TSpeechProsody&) const = default;
};

// A stretch of the spoken text that shares one prosody: SilenceMs of silence,
// then Utf8Text.
struct TSpeechRun {
    TSpeechProsody Prosody;
    int32_t SilenceMs = 0;
    std::string Utf8Text;
    // Per code point of Utf8Text: the UTF-16 units [Starts[i], Ends[i]) of
    // the text given to Speak it came from (an entity spans its spelling).
    std::vector<int32_t> Starts, Ends;
};

// Splits the text of a Speak into runs. `rate` and `volume` are the voice's
// Rate and Volume. Without `xml` the text is spoken as it is. With `xml` the
// tags pitch (absmiddle, middle), rate (absspeed, speed), volume (level),
// silence (msec) and emph are honoured, in the empty-element form for the rest
// of the enclosing scope, or opened and closed; every other tag, comment or
// declaration is skipped unspoken, as is a tag without its closing '>' (it
// ends before the next '<'); the entities &lt; &gt; &amp; &quot; &apos; and
// numeric character references are decoded; a '<' that opens no tag is
// dropped, an '&' that starts no entity is spoken. Control characters and
// unpaired surrogates become spaces.
std::vector<TSpeechRun> ParseSpeechText(std::u16string_view text, bool xml, int32_t rate,
                                        int32_t volume);

// Rate -10..10 to words per minute: geometric around 175 (espeak-ng's normal
// speed), 450 at +10 and 80 at -10 (espeak-ng's limits).
int EspeakWordsPerMinute(int32_t rate);
// Pitch -50..50 to espeak-ng's 0..100, 0 giving 50.
int EspeakPitch(int32_t pitch);
// Volume 0..100 to espeak-ng's amplitude, 100 being its normal level.
int EspeakAmplitude(int32_t volume);

} // namespace parlino
