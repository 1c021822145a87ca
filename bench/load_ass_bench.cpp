// Times loading a large ASS script as "Load.." does: reading, decoding and
// splitting it, the ASS reader (fields, overrides, drawings, the sort by
// start time and the one-text-per-moment rule), and then the clean-up pass
// without a dictionary. The script is written to the temporary folder first
// and removed at the end; it looks like a fansub release: dialogue on two
// layers (text and its shadow), a comment now and then, signs with drawings,
// karaoke syllables, and the signs and songs written after the dialogue, so
// the reader has to sort.
//   load_ass_bench [megabytes=100] [utf8|ansi]
// Hostile scripts instead: one Dialogue line of `count` '{' that no '}'
// closes, or every shape below of about `megabytes` each:
//   load_ass_bench braces [count=80000]
//   load_ass_bench shapes [megabytes=4]

#include "platform/linux/TIconvCodec.h"
#include "subtitles/AssReader.h"
#include "subtitles/SubtitleReaders.h"
#include "text/ProcessSubtitles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/resource.h>

using namespace parlino;

namespace {

std::string AssTime(long cs) {
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld.%02ld", cs / 360000, cs / 6000 % 60,
                  cs / 100 % 60, cs % 100);
    return text;
}

std::string Event(const char* kind, int layer, long startCs, long endCs, const char* style,
                  const std::string& text) {
    return std::string(kind) + ": " + std::to_string(layer) + "," + AssTime(startCs) + "," +
           AssTime(endCs) + "," + style + ",,0,0,0,," + text + "\r\n";
}

// Writes about `megabytes` of script to `path`; returns the Dialogue lines.
long WriteScript(const std::string& path, long megabytes, bool utf8) {
    std::ofstream out(path, std::ios::binary);
    out << "[Script Info]\r\nScriptType: v4.00+\r\nPlayResX: 1920\r\nPlayResY: 1080\r\n\r\n"
           "[V4+ Styles]\r\nFormat: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, "
           "OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, "
           "Spacing, "
           "Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\r\n"
           "Style: "
           "Default,Arial,60,&H00FFFFFF,&H000000FF,&H00000000,&H80000000,0,0,0,0,100,100,0,0,1,"
           "3,2,2,40,40,40,1\r\n\r\n[Events]\r\n"
           "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\r\n";
    const std::string line = utf8 ? "Caf\xC3\xA9 au lait, s'il vous pla\xC3\xAEt, and another line"
                                  : "Just another ordinary line of dialogue, spoken";
    const long target = megabytes * 1024 * 1024;
    long written = 0, dialogues = 0;
    std::string signs; // written after the dialogue of each block of a minute
    for (long i = 0; written < target; ++i) {
        const long start = i * 150, end = start + 140;
        std::string block;
        if (i % 20 == 0)
            block += Event("Comment", 0, start, start, "Default", "TL note: check this line");
        // The text and its shadow on two layers: spoken once.
        block += Event("Dialogue", 1, start, end, "Default",
                       "{\\i1}" + line + "{\\i0},\\Nsecond part " + std::to_string(i));
        block +=
            Event("Dialogue", 0, start, end, "Default",
                  "{\\blur3\\3c&H000000&}" + line + "," + "\\Nsecond part " + std::to_string(i));
        dialogues += 2;
        if (i % 10 == 5) {
            signs += Event("Dialogue", 5, start + 20, end, "Default",
                           "{\\an7\\pos(100,200)\\p1}m 0 0 l 200 0 200 80 0 80{\\p0}");
            signs += Event("Dialogue", 6, start + 20, end, "Default",
                           "{\\an5\\pos(200,240)\\fad(200,200)}Sign " + std::to_string(i));
            signs += Event("Dialogue", 2, start + 40, end, "Default",
                           "{\\k20}Ka{\\k15}ra{\\k30}o{\\k25}ke{\\k40} line");
            dialogues += 3;
        }
        if (i % 40 == 39) {
            block += signs;
            signs.clear();
        }
        out << block;
        written += static_cast<long>(block.size());
    }
    out << signs;
    return dialogues;
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

std::string TempPath(const std::string& name) {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/parlino_bench_" + name + ".ass";
}

// Writes a script of the standard header and `events`, then loads it as the
// window does (reader and clean-up pass); returns the seconds it took.
double LoadHostile(const std::string& name, const std::string& events, size_t& entries) {
    const std::string path = TempPath(name);
    {
        std::ofstream out(path, std::ios::binary);
        out << "[Script Info]\r\nScriptType: v4.00+\r\n\r\n[Events]\r\n"
               "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, "
               "Text\r\n"
            << events;
    }
    const TIconvCodec codec(1252);
    TslItems items;
    const auto start = std::chrono::steady_clock::now();
    std::string emptyReason;
    ReadSubtitleFile(path, items, codec, &emptyReason);
    if (!items.empty())
        ProcessSubtitles(items, nullptr, codec);
    const auto end = std::chrono::steady_clock::now();
    entries = items.empty() ? 0 : items.size() - 1;
    std::remove(path.c_str());
    return Seconds(start, end);
}

std::string Repeat(const std::string& piece, size_t bytes) {
    std::string out;
    out.reserve(bytes + piece.size());
    while (out.size() < bytes)
        out += piece;
    return out;
}

// One Dialogue line of `count` unclosed '{'.
int RunBraces(long count) {
    size_t entries = 0;
    const double seconds = LoadHostile(
        "braces", Event("Dialogue", 0, 0, 100, "Default", std::string(static_cast<size_t>(count), '{')),
        entries);
    std::printf("one Dialogue line of %ld unclosed '{': load %.3f s, %zu entries\n", count, seconds,
                entries);
    return 0;
}

// Shapes a hostile or broken script may take, about `megabytes` each.
int RunShapes(long megabytes) {
    const size_t bytes = static_cast<size_t>(megabytes) << 20;
    const std::string line = "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,";
    struct TShape {
        const char* Name;
        std::string Events;
    };
    std::string sameStart, sameText, manyLines;
    for (long k = 0; sameStart.size() < bytes; ++k)
        sameStart += line + "text " + std::to_string(k) + "\r\n";
    sameText = Repeat(line + "the same text\r\n", bytes);
    for (long k = 0; manyLines.size() < bytes; ++k)
        manyLines += Event("Dialogue", 0, (k * 7919) % 900000, (k * 7919) % 900000 + 100, "Default",
                           "{\\i1}line{\\i0} " + std::to_string(k));
    const TShape shapes[] = {
        {"unclosed '{'", line + Repeat("{", bytes) + "\r\n"},
        {"unclosed '{\\p1'", line + Repeat("{\\p1", bytes) + "\r\n"},
        {"'{' then one '}' at the end", line + Repeat("{", bytes) + "}x\r\n"},
        {"'{}' blocks", line + Repeat("{}x", bytes) + "\r\n"},
        {"'\\p' tags in one block", line + "{" + Repeat("\\p1\\p0", bytes) + "}x\r\n"},
        {"'\\N' breaks", line + Repeat("\\N", bytes) + "x\r\n"},
        {"backslashes", line + Repeat("\\", bytes) + "x\r\n"},
        {"'<i>' tags", line + Repeat("<i>", bytes) + "x\r\n"},
        {"'<' without '>'", line + Repeat("<", bytes) + "x\r\n"},
        {"commas", line + Repeat(",", bytes) + "x\r\n"},
        {"one long word", line + Repeat("x", bytes) + "\r\n"},
        {"short lines, one start", sameStart},
        {"short lines, one start, one text", sameText},
        {"short lines out of order", manyLines},
        {"Format lines", Repeat("Format: Start, End, Text\r\n", bytes)},
        {"no newline at all", Repeat("Dialogue: 0,0:00:01.00,", bytes)},
    };
    double longest = 0;
    for (const TShape& shape : shapes) {
        size_t entries = 0;
        const double seconds = LoadHostile("shape", shape.Events, entries);
        longest = std::max(longest, seconds);
        std::printf("%-36s %5.1f MB  load %.3f s, %zu entries\n", shape.Name,
                    static_cast<double>(shape.Events.size()) / (1 << 20), seconds, entries);
    }
    std::printf("longest load: %.3f s\n", longest);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "braces")
        return RunBraces(argc > 2 ? std::atol(argv[2]) : 80000);
    if (argc > 1 && std::string(argv[1]) == "shapes")
        return RunShapes(argc > 2 ? std::atol(argv[2]) : 4);
    const long megabytes = argc > 1 ? std::atol(argv[1]) : 100;
    const bool utf8 = argc > 2 && std::string(argv[2]) == "utf8";
    const char* tmp = std::getenv("TMPDIR");
    const std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/parlino_bench_" +
                             std::to_string(megabytes) + (utf8 ? "_utf8" : "_ansi") + ".ass";
    const long dialogues = WriteScript(path, megabytes, utf8);
    const TIconvCodec codec(1252);
    TslItems items;
    {
        // The phases one by one, to show where the time goes.
        auto t0 = std::chrono::steady_clock::now();
        const std::string text = LoadTextFileText(path, codec);
        auto t1 = std::chrono::steady_clock::now();
        const auto lines = SplitLineViews(text);
        auto t2 = std::chrono::steady_clock::now();
        ReadAssLines(lines, items, codec.LeadBytes());
        auto t3 = std::chrono::steady_clock::now();
        std::printf("phases: read+decode %.2f s, split %.2f s, parse+sort %.2f s\n",
                    Seconds(t0, t1), Seconds(t1, t2), Seconds(t2, t3));
        items = TslItems();
    }
    // The load as the window does it: the reader, then the clean-up pass.
    const auto start = std::chrono::steady_clock::now();
    ReadSubtitleFile(path, items, codec);
    const auto read = std::chrono::steady_clock::now();
    ProcessSubtitles(items, nullptr, codec);
    const auto end = std::chrono::steady_clock::now();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("file: %ld MB (%s), %ld Dialogue lines\n", megabytes,
                utf8 ? "UTF-8 without mark" : "ANSI", dialogues);
    std::printf("entries: %zu (drawings left out, layered twins spoken once)\n", items.size() - 1);
    std::printf("read seconds: %.2f\nclean-up pass seconds: %.2f\nload seconds: %.2f\n",
                Seconds(start, read), Seconds(read, end), Seconds(start, end));
    std::printf("process peak memory MB: %ld\n", usage.ru_maxrss / 1024);
    std::remove(path.c_str());
    return 0;
}
