#include "platform/linux/TEspeakMarkup.h"

#include "platform/linux/TEspeakEngine.h"
#include "platform/linux/TWavFileStream.h"

#include <algorithm>
#include <cmath>

namespace parlino {

namespace {

void AppendUtf8(std::string& out, uint32_t c) {
    char16_t units[2];
    size_t n = 1;
    if (c >= 0x10000) {
        units[0] = char16_t(0xD800 + ((c - 0x10000) >> 10));
        units[1] = char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        n = 2;
    } else {
        units[0] = char16_t(c);
    }
    out += WideToUtf8(std::u16string_view(units, n));
}

bool IsAsciiLetter(char16_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsSpace(char16_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
char16_t LowerAscii(char16_t c) {
    return c >= 'A' && c <= 'Z' ? char16_t(c - 'A' + 'a') : c;
}

std::u16string Lower(std::u16string_view s) {
    std::u16string out(s);
    for (auto& c : out)
        c = LowerAscii(c);
    return out;
}

// Leading optional sign and digits; false when there are no digits.
bool ParseInteger(std::u16string_view s, int32_t& value) {
    size_t i = 0;
    while (i < s.size() && IsSpace(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    int64_t v = 0;
    size_t digits = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits)
        v = std::min<int64_t>(v * 10 + (s[i] - '0'), 1000000);
    if (digits == 0)
        return false;
    value = int32_t(negative ? -v : v);
    return true;
}

struct TAttribute {
    std::u16string Name; // lower case
    std::u16string Value;
};

class TMarkupReader {
public:
    TMarkupReader(std::u16string_view text, int32_t rate, int32_t volume)
        : FText(text), FVoiceVolume(volume) {
        FState.Rate = rate;
        FState.Volume = volume;
    }

    std::vector<TSpeechRun> Read(bool xml) {
        const size_t n = FText.size();
        for (size_t i = 0; i < n;) {
            const char16_t c = FText[i];
            if (xml && c == '<') {
                i = ReadTag(i);
            } else if (xml && c == '&') {
                i = ReadEntity(i);
            } else {
                i = ReadCharacter(i);
            }
        }
        if (FPendingSilence > 0) {
            if (FRuns.empty() || !FRuns.back().Utf8Text.empty())
                FRuns.emplace_back().Prosody = FState;
            FRuns.back().SilenceMs += FPendingSilence;
        }
        std::erase_if(FRuns,
                      [](const TSpeechRun& r) { return r.Utf8Text.empty() && r.SilenceMs == 0; });
        return std::move(FRuns);
    }

private:
    struct TScope {
        std::u16string Name;
        TSpeechProsody Saved;
    };

    size_t ReadCharacter(size_t i) {
        uint32_t c = FText[i];
        size_t length = 1;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < FText.size() && FText[i + 1] >= 0xDC00 &&
            FText[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (FText[i + 1] - 0xDC00);
            length = 2;
        }
        Emit(c, i, i + length);
        return i + length;
    }

    size_t ReadEntity(size_t i) {
        const size_t limit = std::min(FText.size(), i + 12);
        size_t semi = i + 1;
        while (semi < limit && FText[semi] != ';' && FText[semi] != '&' && FText[semi] != '<')
            ++semi;
        if (semi < limit && FText[semi] == ';') {
            const std::u16string_view name = FText.substr(i + 1, semi - i - 1);
            uint32_t c = 0;
            if (name == u"lt")
                c = '<';
            else if (name == u"gt")
                c = '>';
            else if (name == u"amp")
                c = '&';
            else if (name == u"quot")
                c = '"';
            else if (name == u"apos")
                c = '\'';
            else if (name.size() > 1 && name[0] == '#')
                c = NumericReference(name.substr(1));
            if (c != 0) {
                Emit(c, i, semi + 1);
                return semi + 1;
            }
        }
        Emit('&', i, i + 1);
        return i + 1;
    }

    // A character reference's value; a space for one that is out of range, 0
    // when it is no number at all.
    static uint32_t NumericReference(std::u16string_view digits) {
        const bool hex = !digits.empty() && (digits[0] == 'x' || digits[0] == 'X');
        if (hex)
            digits.remove_prefix(1);
        if (digits.empty())
            return 0;
        uint64_t v = 0;
        for (char16_t d : digits) {
            int value;
            if (d >= '0' && d <= '9')
                value = d - '0';
            else if (hex && d >= 'a' && d <= 'f')
                value = d - 'a' + 10;
            else if (hex && d >= 'A' && d <= 'F')
                value = d - 'A' + 10;
            else
                return 0;
            v = std::min<uint64_t>(v * (hex ? 16 : 10) + value, 0x110000);
        }
        if (v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))
            return ' ';
        return uint32_t(v);
    }

    size_t ReadTag(size_t i) {
        const size_t n = FText.size();
        if (i + 1 >= n)
            return n; // a lone '<' at the end
        const char16_t next = FText[i + 1];
        if (FText.substr(i, 4) == u"<!--") {
            const size_t end = FText.find(u"-->", i + 4);
            return end == std::u16string_view::npos ? n : end + 3;
        }
        if (!(IsAsciiLetter(next) || next == '/' || next == '!' || next == '?' || next == '_' ||
              next == ':'))
            return i + 1; // no tag: the '<' alone is dropped
        size_t j = i + 1;
        while (j < n && FText[j] != '>' && FText[j] != '<')
            ++j;
        if (j < n && FText[j] == '>') {
            ApplyTag(FText.substr(i + 1, j - i - 1));
            return j + 1;
        }
        return j; // never closed: skipped up to the next '<' or the end
    }

    void ApplyTag(std::u16string_view body) {
        if (body.empty() || body[0] == '!' || body[0] == '?')
            return;
        const bool closing = body[0] == '/';
        if (closing)
            body.remove_prefix(1);
        while (!body.empty() && IsSpace(body.back()))
            body.remove_suffix(1);
        const bool empty = !body.empty() && body.back() == '/';
        if (empty)
            body.remove_suffix(1);
        size_t k = 0;
        while (k < body.size() && !IsSpace(body[k]) && body[k] != '/')
            ++k;
        const std::u16string name = Lower(body.substr(0, k));
        if (closing) {
            for (size_t s = FScopes.size(); s-- > 0;) {
                if (FScopes[s].Name == name) {
                    FState = FScopes[s].Saved;
                    FScopes.resize(s);
                    break;
                }
            }
            return;
        }
        if (!empty)
            FScopes.push_back({name, FState});
        const auto attributes = ParseAttributes(body.substr(k));
        auto number = [&](std::u16string_view attribute, int32_t& value) {
            for (const auto& a : attributes)
                if (a.Name == attribute && ParseInteger(a.Value, value))
                    return true;
            return false;
        };
        int32_t v = 0;
        if (name == u"pitch") {
            if (number(u"absmiddle", v))
                FState.Pitch = std::clamp(v, -50, 50);
            else if (number(u"middle", v))
                FState.Pitch = std::clamp(FState.Pitch + v, -50, 50);
        } else if (name == u"rate") {
            if (number(u"absspeed", v))
                FState.Rate = std::clamp(v, -10, 10);
            else if (number(u"speed", v))
                FState.Rate = std::clamp(FState.Rate + v, -10, 10);
        } else if (name == u"volume") {
            if (number(u"level", v))
                FState.Volume = FVoiceVolume * std::clamp(v, 0, 100) / 100;
        } else if (name == u"silence") {
            if (number(u"msec", v))
                FPendingSilence =
                    std::min(FPendingSilence + std::clamp(v, 0, MaxSilenceMs), MaxSilenceMs);
        } else if (name == u"emph") {
            FState.Emphasis = true;
        }
    }

    static std::vector<TAttribute> ParseAttributes(std::u16string_view s) {
        std::vector<TAttribute> out;
        size_t i = 0;
        const size_t n = s.size();
        while (i < n) {
            while (i < n && (IsSpace(s[i]) || s[i] == '/'))
                ++i;
            const size_t nameStart = i;
            while (i < n && !IsSpace(s[i]) && s[i] != '=')
                ++i;
            TAttribute a;
            a.Name = Lower(s.substr(nameStart, i - nameStart));
            while (i < n && IsSpace(s[i]))
                ++i;
            if (i < n && s[i] == '=') {
                ++i;
                while (i < n && IsSpace(s[i]))
                    ++i;
                if (i < n && (s[i] == '"' || s[i] == '\'')) {
                    const char16_t quote = s[i++];
                    const size_t valueStart = i;
                    while (i < n && s[i] != quote)
                        ++i;
                    a.Value = s.substr(valueStart, i - valueStart);
                    if (i < n)
                        ++i;
                } else {
                    const size_t valueStart = i;
                    while (i < n && !IsSpace(s[i]))
                        ++i;
                    a.Value = s.substr(valueStart, i - valueStart);
                }
            }
            if (!a.Name.empty())
                out.push_back(std::move(a));
        }
        return out;
    }

    void Emit(uint32_t c, size_t start, size_t end) {
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F ||
            (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF)
            c = ' ';
        TSpeechRun* run = FRuns.empty() ? nullptr : &FRuns.back();
        if (run && run->Utf8Text.empty()) {
            run->Prosody = FState; // silence alone does not depend on the prosody
            run->SilenceMs += FPendingSilence;
            FPendingSilence = 0;
        } else if (!run || FPendingSilence > 0 || !(run->Prosody == FState)) {
            run = &FRuns.emplace_back();
            run->Prosody = FState;
            run->SilenceMs = FPendingSilence;
            FPendingSilence = 0;
        }
        AppendUtf8(run->Utf8Text, c);
        run->Starts.push_back(int32_t(start));
        run->Ends.push_back(int32_t(end));
    }

    static constexpr int32_t MaxSilenceMs = 60000;

    std::u16string_view FText;
    int32_t FVoiceVolume;
    TSpeechProsody FState;
    std::vector<TScope> FScopes;
    int32_t FPendingSilence = 0;
    std::vector<TSpeechRun> FRuns;
};

} // namespace

std::vector<TSpeechRun> ParseSpeechText(std::u16string_view text, bool xml, int32_t rate,
                                        int32_t volume) {
    return TMarkupReader(text, std::clamp(rate, -10, 10), std::clamp(volume, 0, 100)).Read(xml);
}

int EspeakWordsPerMinute(int32_t rate) {
    rate = std::clamp(rate, -10, 10);
    const double normal = TEspeakEngine::NormalWordsPerMinute;
    const double end =
        rate >= 0 ? TEspeakEngine::MaxWordsPerMinute : TEspeakEngine::MinWordsPerMinute;
    const double wpm = normal * std::pow(end / normal, std::abs(rate) / 10.0);
    return std::clamp(int(std::lround(wpm)), TEspeakEngine::MinWordsPerMinute,
                      TEspeakEngine::MaxWordsPerMinute);
}

int EspeakPitch(int32_t pitch) {
    return std::clamp(50 + pitch, 0, 100);
}

int EspeakAmplitude(int32_t volume) {
    return std::clamp(volume, 0, 100);
}

} // namespace parlino
