// The mark-up of the modern voice API's Speak. The first byte chooses the
// form (bit 0: mark-up or plain text; bit 1: the rest is UTF-16 little
// endian, else each byte is one character), the voice's rate and volume.

#include "FuzzSupport.h"
#include "platform/linux/TEspeakMarkup.h"
#include "text/LoadTextFile.h"

using namespace parlino;

namespace {

size_t CodePoints(const std::string& utf8) {
    size_t count = 0;
    for (char c : utf8)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t form = data[0];
    const bool xml = form & 1;
    std::u16string text;
    if (form & 2) {
        for (size_t i = 1; i + 1 < size; i += 2)
            text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    } else {
        text.assign(data + 1, data + size);
    }
    const int32_t rate = static_cast<int32_t>(form >> 2) % 21 - 10;
    const int32_t volume = static_cast<int32_t>(form) * 100 / 255;

    const std::vector<TSpeechRun> runs = ParseSpeechText(text, xml, rate, volume);
    int32_t lastStart = -1;
    for (const TSpeechRun& run : runs) {
        FUZZ_CHECK(!run.Utf8Text.empty() || run.SilenceMs > 0);
        FUZZ_CHECK(run.SilenceMs >= 0 && run.SilenceMs <= 60000);
        FUZZ_CHECK(run.Prosody.Rate >= -10 && run.Prosody.Rate <= 10);
        FUZZ_CHECK(run.Prosody.Pitch >= -50 && run.Prosody.Pitch <= 50);
        FUZZ_CHECK(run.Prosody.Volume >= 0 && run.Prosody.Volume <= volume);
        // The engine gets well-formed UTF-8 without control characters.
        FUZZ_CHECK(DecodeUtf8(run.Utf8Text).has_value());
        for (unsigned char c : run.Utf8Text)
            FUZZ_CHECK(c >= 0x20 || c == '\t' || c == '\n' || c == '\r');
        // Each character maps back to the stretch of the text it came from,
        // in order.
        FUZZ_CHECK(run.Starts.size() == CodePoints(run.Utf8Text));
        FUZZ_CHECK(run.Ends.size() == run.Starts.size());
        for (size_t i = 0; i < run.Starts.size(); ++i) {
            FUZZ_CHECK(run.Starts[i] > lastStart && run.Starts[i] < run.Ends[i]);
            FUZZ_CHECK(static_cast<size_t>(run.Ends[i]) <= text.size());
            lastStart = run.Starts[i];
        }
        if (!xml)
            FUZZ_CHECK(run.Prosody.Rate == rate && run.Prosody.Volume == volume);
    }
    return 0;
}
