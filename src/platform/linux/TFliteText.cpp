#include "platform/linux/TFliteText.h"

#include "platform/linux/TIconvCodec.h"

#include <algorithm>

namespace parlino {

std::string_view FliteAsciiReading(char16_t ch) {
    switch (ch) {
    case u'\u2018': case u'\u2019': case u'\u201A': case u'\u201B': case u'\u2032':
        return "'";
    case u'\u201C': case u'\u201D': case u'\u201E': case u'\u201F': case u'\u00AB': case u'\u00BB':
    case u'\u2033':
        return "\"";
    case u'\u2010': case u'\u2011': case u'\u2012': case u'\u2013': case u'\u2014': case u'\u2015':
    case u'\u2212':
        return "-";
    case u'\u2026':
        return "...";
    case u'\u00A0': case u'\u2002': case u'\u2003': case u'\u2009': case u'\u202F':
        return " ";
    default:
        return {};
    }
}

uint32_t TFliteText::SourceOffset(uint32_t offset) const {
    // The last change that begins at or before `offset`.
    auto after = std::upper_bound(Changes.begin(), Changes.end(), offset,
                                  [](uint32_t at, const TChange& change) { return at < change.At; });
    if (after == Changes.begin()) return offset;
    const TChange& change = *(after - 1);
    if (offset < change.At + change.Length) return change.SourceAt;
    return change.SourceAt + change.SourceLength + (offset - change.At - change.Length);
}

namespace {

const ITextCodec& CodecOrWindows1252(const ITextCodec* codec) {
    static const TIconvCodec windows1252(1252);
    return codec ? *codec : windows1252;
}

} // namespace

TFliteTextReader::TFliteTextReader(const ITextCodec* codec)
    : FCodec(CodecOrWindows1252(codec)), FLeadBytes(FCodec.LeadBytes()) {}

TFliteText TFliteTextReader::Read(std::string_view ansi) const {
    TFliteText out;
    out.Text.reserve(ansi.size());
    for (size_t i = 0; i < ansi.size();) {
        const auto b = static_cast<unsigned char>(ansi[i]);
        if (b >= 0x20 && b < 0x7F) {
            out.Text += ansi[i++];
            continue;
        }
        const size_t length = b < 0x80 ? 1 : AnsiCharLength(FLeadBytes, ansi, i);
        const std::string_view character = ansi.substr(i, length);
        std::string_view reading;
        if (b >= 0x80) {
            const uint16_t key = length == 2 ? static_cast<uint16_t>(b << 8 | static_cast<unsigned char>(ansi[i + 1])) : b;
            auto found = FReadings.find(key);
            if (found == FReadings.end()) {
                const WideString wide = FCodec.ToWide(character);
                found = FReadings.emplace(key, std::string(wide.size() == 1 ? FliteAsciiReading(wide[0]) : "")).first;
            }
            reading = found->second;
        }
        if (reading.empty()) {
            out.Text.append(length, ' '); // as many blanks as bytes, so positions stay
        } else {
            if (reading.size() != length)
                out.Changes.push_back({static_cast<uint32_t>(out.Text.size()), static_cast<uint32_t>(reading.size()),
                                       static_cast<uint32_t>(i), static_cast<uint32_t>(length)});
            out.Text += reading;
        }
        i += length;
    }
    return out;
}

} // namespace parlino
