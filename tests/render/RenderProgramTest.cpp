// parlino-render end to end with the real voice engine, into WAV files: the
// subtitles are listed as the pass leaves them, each subtitle is heard where
// the controller lets it be heard, and bad command lines and files are
// reported in one line.

#include "RenderTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace parlino;
using namespace parlino::test;

namespace {

// The frame at which track time `ms` lies.
size_t FrameAt(const TWav& wav, int64_t ms) {
    return static_cast<size_t>(ms * wav.SampleRate / 1000);
}

// Milliseconds of track time at frame `frame`.
double MsAt(const TWav& wav, int64_t frame) {
    return double(frame) * 1000 / wav.SampleRate;
}

// The first sound at or after track time `fromMs`, in ms; -1 for none.
double OnsetMs(const TWav& wav, int64_t fromMs) {
    const int64_t frame = FirstSound(wav.Samples, FrameAt(wav, std::max<int64_t>(0, fromMs)));
    return frame < 0 ? -1 : MsAt(wav, frame);
}

// The engine's output for a text varies by a few samples with what it
// synthesised before, so lengths and lead-ins compare within this.
constexpr double SlackMs = 5;

// Renders with the modern engine's default voice unless `args` name a voice:
// the measurements compare with that engine's own output, and the legacy
// voices come first in the list.
TWav Render(const std::string& srt, std::vector<std::string> args, const std::string& wavName) {
    const std::string wav = TempPath(wavName);
    if (std::find(args.begin(), args.end(), "--voice") == args.end()) args.insert(args.begin(), {"--voice", "en-gb"});
    args.insert(args.end(), {"-o", wav, srt});
    const TRunResult r = RunRender(args);
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    return ReadWav(wav);
}

int Lines(const std::string& s) {
    return static_cast<int>(std::count(s.begin(), s.end(), '\n'));
}

} // namespace

// ---- Listing -------------------------------------------------------------

TEST(RenderProgram, ListGivesTheReadersAndThePassResultsInUtf8) {
    const TRunResult r = RunRender(
        {"--list", "--charset", "RUSSIAN_CHARSET", "--dic", "list.dic", DataPath("list_1251.srt")});
    EXPECT_EQ(r.Status, 0) << r.Err;
    // Tags <i> and <b> go, other tags stay; the dictionary rewrites (a rule
    // cannot match right after a tag, as in the main window); the file's
    // 1251 bytes come out as Cyrillic; the tab shows as a space.
    EXPECT_EQ(r.Out, "#\tstart_ms\tend_ms\ttext\n"
                     "1\t0\t0\t\n"
                     "2\t1000\t2500\tHello, Doctor Who arrives\n"
                     "3\t3250\t4000\t\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, "
                     "\xD0\xBC\xD0\xB8\xD1\x80 \xD0\xB8 \xD0\xB2\xD1\x81\xD1\x91\n"
                     "4\t62003\t63000\t<u>Kept</u> tag, Mister Smith\n");
}

TEST(RenderProgram, ListUsesTheSystemCodePageWithoutACharsetAndReadsTimecodeLists) {
    TRunResult r = RunRender({"--list", DataPath("list_1251.srt")});
    EXPECT_EQ(r.Status, 0) << r.Err;
    // Without a charset the 1251 bytes read as 1252, as the grid shows them.
    EXPECT_NE(r.Out.find("3\t3250\t4000\t\xC3\x8F\xC3\xB0\xC3\xA8"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("\tHello, Dr. Who arrives\n"), std::string::npos); // no dictionary

    r = RunRender({"--list", DataPath("list_timecode.txt")});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "#\tstart_ms\tend_ms\ttext\n"
                     "1\t0\t0\t\n"
                     "2\t1500\t2000\tFirst line two\n"
                     "3\t10000\t11250\tSecond\n");
}

TEST(RenderProgram, ListReadsWebVttAndAssFilesWithTheDictionaryOnTheSpokenText) {
    const std::string vtt = TempPath("list.vtt");
    std::ofstream(vtt, std::ios::binary) << "WEBVTT\n\nNOTE a note\n\n"
                                            "intro\n00:01.000 --> 00:02.500 align:start\n"
                                            "<v Host>Dr. Who &amp; <i>Mr.</i>\nSmith\n";
    TRunResult r = RunRender({"--list", "--dic", "list.dic", vtt});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "#\tstart_ms\tend_ms\ttext\n"
                     "1\t0\t0\t\n"
                     "2\t1000\t2500\tDoctor Who & Mister Smith\n");

    const std::string ass = TempPath("LIST.SSA"); // the extension in any letter case
    std::ofstream(ass, std::ios::binary)
        << "[Script Info]\nScriptType: v4.00+\n\n[Events]\n"
           "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
           "Dialogue: 0,0:00:05.00,0:00:06.00,Default,,0,0,0,,{\\i1}Dr.{\\i0} Who,\\Nhere\n"
           "Comment: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,not spoken\n"
           "Dialogue: 1,0:00:03.00,0:00:04.00,Default,,0,0,0,,{\\p1}m 0 0 l 1 1{\\p0}First\n"
           "Dialogue: 0,0:00:03.00,0:00:04.00,Default,,0,0,0,,{\\blur3}First\n";
    r = RunRender({"--list", "--dic", "list.dic", ass});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "#\tstart_ms\tend_ms\ttext\n"
                     "1\t0\t0\t\n"
                     "2\t3000\t4000\tFirst\n"
                     "3\t5000\t6000\tDoctor Who, here\n");
}

TEST(RenderProgram, AFileWithNothingToSpeakFailsSayingWhy) {
    const std::string data = PARLINO_TEST_DATA;
    struct TCase {
        std::string File, Err;
    };
    const std::vector<TCase> cases = {
        {data + "/webvtt/own_binary.vtt",
         "The subtitle file holds no subtitles. It does not begin with the line \"WEBVTT\", so it "
         "is not a WebVTT file."},
        {data + "/webvtt/own_header_only.vtt",
         "The subtitle file holds no subtitles. It holds no cue with text to speak."},
        {data + "/ass/own_no_events.ass",
         "The subtitle file holds no subtitles. It has no [Events] section, so it is not an ASS/SSA "
         "file."},
        {data + "/ass/own_binary_after_events.ass",
         "The subtitle file holds no subtitles. Its [Events] section holds no Dialogue line with "
         "text to speak."},
        // These two used to load as no subtitles at all without a word.
        {data + "/subtitles/no_block.srt",
         "The subtitle file holds no subtitles. It has no SubRip block (a number line, then a "
         "time line)."},
        {data + "/subtitles/prose.txt",
         "The subtitle file holds no subtitles. None of its lines is a timecode line "
         "\"hh:mm:ss:cc hh:mm:ss:cc text\"."},
    };
    for (const TCase& c : cases) {
        const std::string wav = TempPath("nothing.wav");
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"--list", c.File}, std::vector<std::string>{"-o", wav, c.File}}) {
            const TRunResult r = RunRender(args);
            EXPECT_EQ(r.Status, 1) << c.File;
            EXPECT_EQ(r.Err, "parlino-render: " + c.Err + "\n");
            EXPECT_EQ(r.Out, "");
        }
        EXPECT_FALSE(std::filesystem::exists(wav));
    }
}

// A stray byte after a UTF-8 mark used to empty the whole file.
TEST(RenderProgram, AStrayByteInAUtf8FileIsListedAsOneQuestionMark) {
    const TRunResult r = RunRender({"--list", std::string(PARLINO_TEST_DATA) + "/subtitles/utf8_bom_stray_byte.srt"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "#\tstart_ms\tend_ms\ttext\n"
                     "1\t0\t0\t\n"
                     "2\t1000\t2000\tCaf? au lait\n"
                     "3\t3000\t4000\tna\xC3\xAFve\n");
}

TEST(RenderProgram, VoicesListsTheMergedVoicesWithTheirRanges) {
    const TRunResult r = RunRender({"--voices"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    ASSERT_GE(Lines(r.Out), 2);
    EXPECT_TRUE(r.Out.starts_with("#\tname\tspeed\tpitch\tvolume\n"));
    EXPECT_NE(r.Out.find("(en-gb)\t-10..10\t-50..50\t0..100\n"), std::string::npos);
    // The Flite voices come first, speed in words a minute and pitch in Hz.
    EXPECT_NE(r.Out.find("\nFlite male, 8 kHz (kal)\t60..400\t50..400\t0..100\n"), std::string::npos);
    EXPECT_LT(r.Out.find("(slt)\t"), r.Out.find("(en-gb)\t"));
    EXPECT_EQ(RunRender({"--help"}).Status, 0);
}

// ---- Errors --------------------------------------------------------------

TEST(RenderProgram, ErrorsAreOneLineWithStatusTwoForTheCommandLine) {
    const std::string srt = WriteSrt("errors.srt", {{1000, "One."}});
    struct TCase {
        std::vector<std::string> Args;
        int Status;
        std::string Err;
    };
    const std::vector<TCase> cases = {
        {{}, 2, "parlino-render: no subtitle file given (see --help)\n"},
        {{"--fast", srt}, 2, "parlino-render: unknown option --fast (see --help)\n"},
        {{srt, "--voice"}, 2, "parlino-render: --voice needs a value (see --help)\n"},
        {{"--voice", "Klingon", srt},
         2,
         "parlino-render: unknown voice 'Klingon' (see --voices) (see --help)\n"},
        {{"--voice", "en-gb", "--speed", "11", srt},
         2,
         "parlino-render: --speed 11 is out of range (-10..10) (see --help)\n"},
        {{"--voice", "en-gb", "--pitch", "-51", srt},
         2,
         "parlino-render: --pitch -51 is out of range (-50..50) (see --help)\n"},
        {{"--voice", "en-gb", "--volume", "101", srt},
         2,
         "parlino-render: --volume 101 is out of range (0..100) (see --help)\n"},
        {{"--dic", "missing.dic", srt}, 1, "parlino-render: dictionary not found: missing.dic\n"},
        {{TempPath("nowhere/none.srt")},
         1,
         "parlino-render: Cannot open file \"" + TempPath("nowhere/none.srt") +
             "\". No such file or directory\n"},
        {{"--list", TempPath("none.txt")},
         1,
         "parlino-render: Cannot open file \"" + TempPath("none.txt") +
             "\". No such file or directory\n"},
    };
    for (const TCase& c : cases) {
        const TRunResult r = RunRender(c.Args);
        EXPECT_EQ(r.Status, c.Status) << r.Err;
        EXPECT_EQ(r.Err, c.Err);
        EXPECT_EQ(r.Out, "");
    }
    EXPECT_FALSE(std::filesystem::exists(TempPath("errors.wav")));
}

TEST(RenderProgram, AFailedRenderLeavesNoFileBehind) {
    const std::string srt = WriteSrt("empty.srt", {});
    const std::string wav = TempPath("empty.wav");
    const TRunResult r = RunRender({"-o", wav, srt});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "parlino-render: The subtitle file holds no subtitles.\n");
    EXPECT_FALSE(std::filesystem::exists(wav));
    const TRunResult dir =
        RunRender({"-o", TempPath("no/such/dir.wav"), WriteSrt("dir.srt", {{1000, "A."}})});
    EXPECT_EQ(dir.Status, 1);
    EXPECT_EQ(Lines(dir.Err), 1);
    EXPECT_TRUE(dir.Err.starts_with("parlino-render: Cannot open file")) << dir.Err;
}

// ---- A track that cannot be written ----------------------------------------

namespace {

std::filesystem::path BuiltRenderProgram() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() /
           "parlino-render";
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Runs the program itself with `args`. With `maxFileBytes` every file it
// writes is limited to that size, as a full disk limits it: a write beyond
// fails with EFBIG ("File too large") instead of raising SIGXFSZ.
TRunResult RunProgram(const std::vector<std::string>& args, rlim_t maxFileBytes = 0) {
    const std::string program = BuiltRenderProgram().string();
    // Tests run side by side, each in a process of its own.
    static int runs = 0;
    const std::string name = "program-" + std::to_string(::getpid()) + "-" + std::to_string(++runs);
    const std::string out = TempPath(name + ".out"), err = TempPath(name + ".err");
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    TRunResult r;
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        if (maxFileBytes) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{maxFileBytes, maxFileBytes};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        ::execv(pointers[0], pointers.data());
        ::_exit(127);
    }
    ::close(outFd);
    ::close(errFd);
    int status = 0;
    ::waitpid(child, &status, 0);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.Out = ReadWhole(out);
    r.Err = ReadWhole(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return r;
}

// The names in `folder` that begin with `prefix`.
std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().starts_with(prefix))
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

// A failed write used to be ignored: the summary was printed and the run
// ended with status 0.
TEST(RenderProgram, AFullDeviceFailsTheRunNamingTheFileAndTheReason) {
    if (!std::filesystem::exists(BuiltRenderProgram()))
        GTEST_SKIP() << BuiltRenderProgram() << " is not built";
    const std::string srt = WriteSrt("full.srt", {{1000, "This track goes nowhere at all."}});
    const TRunResult r = RunProgram({"-o", "/dev/full", srt});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "parlino-render: Cannot write file \"/dev/full\". No space left on device\n");
    EXPECT_EQ(r.Out, ""); // no summary of a track that was not written
}

// On a disk that fills up, the track is written under a temporary name and
// never put in place: no file under the track's name looks finished, and a
// file there from before keeps its content.
TEST(RenderProgram, ATrackTheDiskCannotHoldLeavesNoFileAndKeepsTheOldOne) {
    if (!std::filesystem::exists(BuiltRenderProgram()))
        GTEST_SKIP() << BuiltRenderProgram() << " is not built";
    const std::string folder = TempPath("full-disk");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string srt =
        WriteSrt("full-disk.srt", {{1000, "A subtitle long enough for more than sixteen kilobytes of speech."}});
    const std::string wav = folder + "/track.wav";
    const std::string fileTooLarge = "parlino-render: Cannot write file \"" + wav + "\". File too large\n";

    TRunResult r = RunProgram({"-o", wav, srt}, 16 * 1024);
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.ends_with(fileTooLarge)) << r.Err;
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(FilesStartingWith(folder, "track.wav"), std::vector<std::string>{});

    std::ofstream(wav, std::ios::binary) << "the track of an earlier run";
    r = RunProgram({"-o", wav, srt}, 16 * 1024);
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.ends_with(fileTooLarge)) << r.Err;
    EXPECT_EQ(ReadWhole(wav), "the track of an earlier run");
    EXPECT_EQ(FilesStartingWith(folder, "track.wav"), std::vector<std::string>{"track.wav"});

    // With room enough the same run replaces it, and leaves nothing else.
    r = RunProgram({"-o", wav, srt});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(r.Out.starts_with(wav + ": 1 of 1 subtitles found")) << r.Out;
    const TWav track = ReadWav(wav);
    EXPECT_GT(track.Samples.size(), 8u * 1024);
    EXPECT_EQ(track.Bytes.size(), 44 + 2 * track.Samples.size());
    EXPECT_EQ(FilesStartingWith(folder, "track.wav"), std::vector<std::string>{"track.wav"});
    std::filesystem::remove_all(folder);
}

// ---- The track -----------------------------------------------------------

TEST(RenderProgram, EachSubtitleIsHeardFromTheFirstTickThatFindsIt) {
    const std::vector<std::pair<int, std::string>> entries{
        {1000, "One."}, {3000, "Two."}, {5000, "Three."}, {7000, "Four."}};
    const TWav track = Render(WriteSrt("due.srt", entries), {}, "due.wav");
    ASSERT_EQ(track.Channels, 1);
    ASSERT_EQ(track.Bits, 16);
    ASSERT_GT(track.SampleRate, 0);
    std::printf("subtitle  start_ms  due_ms  tick_ms  lead_in_ms  onset_ms  onset-due_ms\n");
    double end = 0;
    for (const auto& [start, text] : entries) {
        // Ticks stand at -200, -100, 0, ...: the first at or after start - 999.
        const int64_t tick = start - 999 + 99 - (start - 999 + 99 + 200) % 100;
        const std::vector<int16_t> clip = SynthesiseAlone(text);
        const double leadIn = MsAt(track, FirstSound(clip));
        const double onset = OnsetMs(track, tick - 100);
        std::printf("%-9s %8d %7d %8lld %11.1f %9.1f %13.1f\n", text.c_str(), start, start - 999,
                    static_cast<long long>(tick), leadIn, onset, onset - (start - 999));
        // The speech starts at that tick: the onset is the word's own lead-in later.
        EXPECT_NEAR(onset, double(tick) + leadIn, SlackMs) << text;
        // As measured in real time: not before due, within a tick of it plus the lead-in.
        EXPECT_GE(onset, start - 999) << text;
        EXPECT_LE(onset, start - 999 + 100 + leadIn + SlackMs) << text;
        end = double(tick) + MsAt(track, static_cast<int64_t>(clip.size()));
    }
    // The file ends with the last audio.
    EXPECT_NEAR(MsAt(track, static_cast<int64_t>(track.Samples.size())), end, SlackMs);
}

TEST(RenderProgram, AFliteVoiceSpeaksEachSubtitleFromTheTickThatFindsIt) {
    const std::vector<std::pair<int32_t, std::string>> entries{{1000, "Hello there."}, {5000, "Good bye."}};
    const TWav track = Render(WriteSrt("flite.srt", entries), {"--voice", "slt"}, "flite.wav");
    ASSERT_GT(track.SampleRate, 0);
    for (const auto& [start, text] : entries) {
        // Due at start - 999; Flite's own lead-in of silence comes on top.
        const double onset = OnsetMs(track, start - 999 - 100);
        std::printf("%s due %d ms, heard from %.1f ms\n", text.c_str(), start - 999, onset);
        EXPECT_GE(onset, start - 999) << text;
        EXPECT_LE(onset, start - 999 + 100 + 300) << text;
    }
}

TEST(RenderProgram, QueuedSubtitlesFollowEachOtherAndInterruptCutsThem) {
    const std::vector<std::pair<int, std::string>> fast{
        {1000, "The first subtitle goes on and on for a long while."},
        {1400, "The second one cuts in."},
        {1800, "The third one is heard to the end."}};
    const std::string srt = WriteSrt("fast.srt", fast);
    std::vector<double> lengths;
    for (const auto& [start, text] : fast)
        lengths.push_back(double(SynthesiseAlone(text).size()) * 1000 / 22050);

    // Queued: each from the first tick after the one before was heard out.
    const TWav queued = Render(srt, {}, "queued.wav");
    double at = 100;
    for (size_t i = 0; i + 1 < lengths.size(); ++i)
        at = std::ceil((at + lengths[i]) / 100) * 100;
    EXPECT_NEAR(MsAt(queued, static_cast<int64_t>(queued.Samples.size())), at + lengths.back(),
                100 + SlackMs);

    // Interrupted: each cuts the one before at the first tick after it is
    // due (1, 401 and 801 ms: the ticks at 100, 500 and 900 ms); the last is
    // heard to its end.
    const TWav cut = Render(srt, {"--interrupt"}, "cut.wav");
    EXPECT_NEAR(MsAt(cut, static_cast<int64_t>(cut.Samples.size())), 900 + lengths.back(),
                SlackMs);
    EXPECT_LT(OnsetMs(cut, 0), 100 + 20);
    const size_t heardQueued = LoudFrames(queued.Samples), heardCut = LoudFrames(cut.Samples);
    std::printf("queued: %.0f ms loud, interrupted: %.0f ms loud\n",
                MsAt(queued, int64_t(heardQueued)), MsAt(cut, int64_t(heardCut)));
    EXPECT_LT(heardCut, heardQueued * 3 / 4);
}

TEST(RenderProgram, AShiftMakesSubtitlesDueEarlierAndSpeechBeforeZeroStartsAtZero) {
    const std::string srt = WriteSrt("shift.srt", {{5000, "Five."}, {8000, "Eight."}});
    const TWav plain = Render(srt, {}, "plain.wav");
    const TWav shifted = Render(srt, {"--shift", "2"}, "shift.wav");
    const TWav later = Render(srt, {"--shift=-1"}, "later.wav");
    for (int start : {5000, 8000}) {
        const double onset = OnsetMs(plain, start - 1000);
        EXPECT_NEAR(OnsetMs(shifted, start - 3000), onset - 2000, SlackMs) << start;
        EXPECT_NEAR(OnsetMs(later, start), onset + 1000, SlackMs) << start;
    }

    // Due on the very first tick, at -200 ms: heard from time 0 on.
    const std::vector<int16_t> five = SynthesiseAlone("Five.");
    const TWav atZero =
        Render(WriteSrt("early.srt", {{1000, "Five."}}), {"--shift", "1"}, "early.wav");
    EXPECT_NEAR(OnsetMs(atZero, 0), MsAt(atZero, FirstSound(five)), SlackMs);
    EXPECT_NEAR(MsAt(atZero, int64_t(atZero.Samples.size())), MsAt(atZero, int64_t(five.size())),
                SlackMs);
}

TEST(RenderProgram, VoiceSettingsApply) {
    const std::string srt =
        WriteSrt("settings.srt", {{1000, "Settings are applied to every subtitle."},
                                  {4000, "And the output does not change."}});
    const TWav normal = Render(srt, {}, "normal.wav");
    const TWav fast = Render(srt, {"--speed", "8", "--voice", "EN-GB"}, "fastvoice.wav");
    EXPECT_LT(LoudFrames(fast.Samples), LoudFrames(normal.Samples) * 3 / 4);
    const TWav silent = Render(srt, {"--volume", "0"}, "silent.wav");
    EXPECT_EQ(LoudFrames(silent.Samples, 0), 0u);
    const TWav quiet = Render(srt, {"--volume", "30"}, "quiet.wav");
    EXPECT_LT(LoudFrames(quiet.Samples, 8000), LoudFrames(normal.Samples, 8000) / 2);
}

// Each run of the program starts the engine afresh, as a user's runs do.
TEST(RenderProgram, TheSameInputGivesTheSameBytesOnEveryRunWithOrWithoutAReport) {
    const std::filesystem::path program =
        std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() /
        "parlino-render";
    if (!std::filesystem::exists(program))
        GTEST_SKIP() << program << " is not built";
    const std::string srt =
        WriteSrt("same.srt", {{1000, "The first subtitle goes on and on for a long while."},
                              {1400, "The second one cuts in."},
                              {1800, "The third one, heard to the end."},
                              {6000, "And a last one."}});
    // The third run also writes a report, which must not change the track.
    const std::string report = " --report '" + TempPath("same.tsv") + "'";
    for (const std::string mode : {"", "--interrupt", "--fit"}) {
        std::vector<std::string> bytes;
        for (int run = 0; run < 3; ++run) {
            const std::string wav = TempPath("same" + std::to_string(run) + ".wav");
            const std::string command = program.string() + " " + mode + (run == 2 ? report : "") +
                                        " -o '" + wav + "' '" + srt + "' >/dev/null";
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
            bytes.push_back(ReadWav(wav).Bytes);
        }
        EXPECT_GT(bytes[0].size(), 44u);
        EXPECT_TRUE(bytes[0] == bytes[1]) << "differs with '" << mode << "'";
        EXPECT_TRUE(bytes[0] == bytes[2]) << "the report changes the track with '" << mode << "'";
    }
}

// ---- Fitting speech and the report ----------------------------------------

namespace {

// The report's lines after the header, split at tabs.
std::vector<std::vector<std::string>> ReadReport(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "#\tdue_ms\tonset_ms\tend_ms\tfactor\tlateness_ms\toverrun_ms\tcut_ms");
    while (std::getline(in, line)) {
        std::vector<std::string> fields(1);
        for (char c : line) {
            if (c == '\t')
                fields.emplace_back();
            else
                fields.back().push_back(c);
        }
        EXPECT_EQ(fields.size(), 8u) << line;
        fields.resize(8);
        rows.push_back(fields);
    }
    return rows;
}

double Field(const std::vector<std::string>& row, size_t column) {
    EXPECT_FALSE(row[column].empty()) << "column " << column;
    return row[column].empty() ? 0 : std::stod(row[column]);
}

} // namespace

TEST(RenderProgram, FitSpeaksDenseEntriesFasterWithinTheCeilingAndInTime) {
    const std::vector<std::pair<int, std::string>> dense{{1000, "We have to leave now."},
                                                         {2000, "Where are the car keys?"},
                                                         {3000, "No."},
                                                         {4000, "They wait at the gate."},
                                                         {5000, "Then we go."}};
    const std::string report = TempPath("fit.tsv");
    const TWav track =
        Render(WriteSrt("fit.srt", dense), {"--fit", "--report", report}, "fit.wav");
    const auto rows = ReadReport(report);
    ASSERT_EQ(rows.size(), dense.size()); // the reader's leading empty entry has no row
    bool faster = false;
    for (size_t i = 0; i < dense.size(); ++i) {
        const auto& row = rows[i];
        const double due = Field(row, 1), onset = Field(row, 2), factor = Field(row, 4);
        // Time until the next entry is due; the last has until its end.
        const double time = i + 1 < dense.size() ? Field(rows[i + 1], 1) - due
                                                 : dense[i].first + 1000 - due;
        const double natural = MsAt(track, int64_t(SynthesiseAlone(dense[i].second).size()));
        std::printf("%-34s due %5.0f onset %5.0f natural %5.0f ms for %5.0f ms: factor %s\n",
                    dense[i].second.c_str(), due, onset, natural, time, row[4].c_str());
        EXPECT_GE(factor, 1.0) << dense[i].second;
        EXPECT_LE(factor, 1.5) << dense[i].second;
        if (natural > time) { // even from its due time on
            EXPECT_GT(factor, 1.0) << dense[i].second;
        }
        faster = faster || factor > 1.0;
        EXPECT_GE(onset, due) << dense[i].second;
        EXPECT_LE(onset - due, 300) << dense[i].second;
        EXPECT_EQ(Field(row, 5), onset - due);
        EXPECT_EQ(row[7], "0") << dense[i].second;
        // The onset is where the entry's audio begins in the track.
        const double heard = OnsetMs(track, int64_t(onset));
        EXPECT_GE(heard, onset);
        EXPECT_LE(heard, onset + 150) << dense[i].second;
    }
    EXPECT_TRUE(faster);
}

TEST(RenderProgram, FitSpeaksAFliteVoiceFasterAndInTimeToo) {
    const std::vector<std::pair<int, std::string>> dense{{1000, "We have to leave before the rain."},
                                                         {2500, "Where are the car keys now?"},
                                                         {4000, "They wait for us at the gate."}};
    const std::string report = TempPath("fit-kal.tsv");
    Render(WriteSrt("fit-kal.srt", dense), {"--voice", "kal", "--fit", "200", "--report", report}, "fit-kal.wav");
    const auto rows = ReadReport(report);
    ASSERT_EQ(rows.size(), dense.size());
    for (size_t i = 0; i < dense.size(); ++i) {
        const auto& row = rows[i];
        const double due = Field(row, 1), onset = Field(row, 2), end = Field(row, 3), factor = Field(row, 4);
        std::printf("kal: %-46s due %5.0f onset %5.0f end %5.0f factor %s\n", dense[i].second.c_str(), due,
                    onset, end, row[4].c_str());
        // The first two are longer than the 1.5 s they have: sped up,
        // within the ceiling, to end by the next one's due time.
        if (i + 1 < dense.size()) {
            EXPECT_GT(factor, 1.0) << dense[i].second;
            EXPECT_LE(end, Field(rows[i + 1], 1) + 100) << dense[i].second;
        }
        EXPECT_LE(factor, 2.0) << dense[i].second;
        EXPECT_LE(onset - due, 300) << dense[i].second;
        EXPECT_EQ(row[7], "0") << dense[i].second;
    }
}

TEST(RenderProgram, LinesThatFallDueTogetherAreAllHeardInFileOrderInEveryMode) {
    // Two speakers at one moment, a sign beside a line, a line 50 ms after another.
    const std::string ass = std::string(PARLINO_TEST_DATA) + "/ass/own_two_speakers.ass";
    for (const std::vector<std::string>& mode : {std::vector<std::string>{}, {"--interrupt"}, {"--fit"}}) {
        const std::string name = mode.empty() ? "queue" : mode[0].substr(2);
        SCOPED_TRACE(name);
        const std::string report = TempPath("together-" + name + ".tsv");
        std::vector<std::string> args = mode;
        for (const std::string& a : {std::string("--report"), report, std::string("-o"),
                                     TempPath("together-" + name + ".wav"), ass})
            args.push_back(a);
        const TRunResult r = RunRender(args);
        ASSERT_EQ(r.Status, 0) << r.Err;
        EXPECT_NE(r.Out.find(": 6 of 6 subtitles found"), std::string::npos) << r.Out;
        const auto rows = ReadReport(report);
        ASSERT_EQ(rows.size(), 6u); // one row per line with text
        for (size_t i = 0; i < rows.size(); ++i) {
            ASSERT_FALSE(rows[i][2].empty()) << "line " << i + 1 << " was not heard";
            EXPECT_EQ(rows[i][7], "0") << "line " << i + 1 << " was cut off";
            if (i > 0) {
                EXPECT_GT(Field(rows[i], 2), Field(rows[i - 1], 2));
            }
        }
    }
}

TEST(RenderProgram, TheReportShowsWhatInterruptingCut) {
    const std::vector<std::pair<int, std::string>> fast{
        // Longer than the voice synthesises ahead of what is heard, so the
        // length of what was cut is known only by measuring it.
        {1000, "The first subtitle goes on and on for a long while, and then it goes on for "
               "longer still, as nobody is there to stop it."},
        {2000, "Short."}};
    const std::string report = TempPath("cut.tsv");
    const TWav track = Render(WriteSrt("cutreport.srt", fast), {"--interrupt", "--report", report},
                              "cutreport.wav");
    const auto rows = ReadReport(report);
    ASSERT_EQ(rows.size(), 2u);
    const double full = MsAt(track, int64_t(SynthesiseAlone(fast[0].second).size()));
    const double onset = Field(rows[0], 2), end = Field(rows[0], 3), cut = Field(rows[0], 7);
    std::printf("first: %.0f ms long, heard %.0f..%.0f, cut %.0f ms\n", full, onset, end, cut);
    EXPECT_EQ(rows[0][4], "1.000"); // without --fit nothing is faster
    EXPECT_GT(cut, 0);
    EXPECT_NEAR(end - onset + cut, full, 2 * SlackMs);
    EXPECT_GE(end, Field(rows[1], 1)); // cut when the next entry was due
    EXPECT_GT(Field(rows[0], 6), 0);   // which is overrun, as the table says
    EXPECT_EQ(rows[1][7], "0");        // the last one heard to its end
}

TEST(RenderProgram, AReportThatCannotBeWrittenFailsTheRun) {
    const std::string srt = WriteSrt("noreport.srt", {{1000, "One."}});
    const std::string wav = TempPath("noreport.wav");
    std::filesystem::remove(wav);
    // No folder: found out before rendering.
    TRunResult r = RunRender({"--report", TempPath("no/such/folder/r.tsv"), "-o", wav, srt});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(Lines(r.Err), 1);
    EXPECT_TRUE(r.Err.starts_with("parlino-render: Cannot write file")) << r.Err;
    EXPECT_FALSE(std::filesystem::exists(wav));
    // A read-only report keeps its old content; the track is complete.
    const std::string old = TempPath("readonly.tsv");
    std::filesystem::remove(old);
    std::ofstream(old) << "old\n";
    std::filesystem::permissions(old, std::filesystem::perms::owner_read);
    r = RunRender({"--report", old, "-o", wav, srt});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.starts_with("parlino-render: Cannot write file \"" + old)) << r.Err;
    std::ifstream in(old);
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, "old\n");
    std::filesystem::permissions(old, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
}
