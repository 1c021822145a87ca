#include "render/TRenderOptions.h"

#include <gtest/gtest.h>

using namespace parlino;

namespace {

TRenderOptions Parse(std::vector<std::string> args) {
    return ParseRenderOptions(args);
}

// The usage error's message, or "" when the arguments parse.
std::string UsageError(std::vector<std::string> args) {
    try {
        ParseRenderOptions(args);
    } catch (const ERenderUsageError& e) {
        return e.what();
    }
    return {};
}

} // namespace

TEST(RenderOptions, EveryOptionInBothSpellings) {
    const TRenderOptions o = Parse({"-o", "out.wav", "--voice", "en-gb", "--speed=-3", "--pitch",
                                    "+12", "--volume=80", "--dic", "English.dic", "--shift", "-2",
                                    "--interrupt", "--charset", "RUSSIAN_CHARSET", "film.srt"});
    EXPECT_EQ(o.Command, TRenderCommand::Render);
    EXPECT_EQ(o.SubtitleFile, "film.srt");
    EXPECT_EQ(o.OutputFile, "out.wav");
    EXPECT_EQ(o.VoiceName, "en-gb");
    EXPECT_EQ(o.Speed, -3);
    EXPECT_EQ(o.Pitch, 12);
    EXPECT_EQ(o.Volume, 80);
    EXPECT_EQ(o.DictionaryFile, "English.dic");
    EXPECT_EQ(o.ShiftMs, -2000);
    EXPECT_TRUE(o.Interrupt);
    EXPECT_EQ(o.Charset, RUSSIAN_CHARSET);
}

TEST(RenderOptions, DefaultsAndTheDefaultOutputName) {
    const TRenderOptions o = Parse({"films/Night.Train.SRT"});
    EXPECT_EQ(o.OutputFile, "films/Night.Train.wav");
    EXPECT_FALSE(o.Speed || o.Pitch || o.Volume);
    EXPECT_EQ(o.ShiftMs, 0);
    EXPECT_FALSE(o.Interrupt);
    EXPECT_EQ(o.Charset, DEFAULT_CHARSET);
    EXPECT_EQ(Parse({"timecodes"}).OutputFile, "timecodes.wav");
    // A subtitle file that starts with a dash, after "--".
    EXPECT_EQ(Parse({"--", "-odd.srt"}).SubtitleFile, "-odd.srt");
    // The charset name in any letter case; the last of a repeated option wins.
    EXPECT_EQ(Parse({"--charset", "greek_charset", "a.srt"}).Charset, 161);
    EXPECT_EQ(Parse({"--speed", "1", "--speed", "2", "a.srt"}).Speed, 2);
}

TEST(RenderOptions, CommandsWithoutAudio) {
    EXPECT_EQ(Parse({"--list", "a.srt"}).Command, TRenderCommand::List);
    EXPECT_EQ(Parse({"--voices"}).Command, TRenderCommand::Voices);
    EXPECT_EQ(Parse({"--help"}).Command, TRenderCommand::Help);
    // Help wins over whatever else is wrong on the line.
    EXPECT_EQ(Parse({"--bogus", "-h"}).Command, TRenderCommand::Help);
}

TEST(RenderOptions, BadCommandLinesSayWhatIsWrong) {
    EXPECT_EQ(UsageError({}), "no subtitle file given");
    EXPECT_EQ(UsageError({"--loud", "a.srt"}), "unknown option --loud");
    EXPECT_EQ(UsageError({"-x", "a.srt"}), "unknown option -x");
    EXPECT_EQ(UsageError({"a.srt", "b.srt"}), "one subtitle file only, not also 'b.srt'");
    EXPECT_EQ(UsageError({"a.srt", "--speed"}), "--speed needs a value");
    EXPECT_EQ(UsageError({"a.srt", "-o"}), "-o needs a value");
    EXPECT_EQ(UsageError({"-o", "", "a.srt"}), "-o needs a file name");
    EXPECT_EQ(UsageError({"--voice=", "a.srt"}), "--voice needs a voice name");
    EXPECT_EQ(UsageError({"--speed", "fast", "a.srt"}), "--speed needs a whole number, not 'fast'");
    EXPECT_EQ(UsageError({"--pitch", "1.5", "a.srt"}), "--pitch needs a whole number, not '1.5'");
    EXPECT_EQ(UsageError({"--volume", "", "a.srt"}), "--volume needs a whole number, not ''");
    EXPECT_EQ(UsageError({"--volume", "99999999999", "a.srt"}),
              "--volume 99999999999 is out of range");
    EXPECT_EQ(UsageError({"--shift", "86401", "a.srt"}),
              "--shift 86401 is out of range (-86400..86400)");
    EXPECT_EQ(UsageError({"--interrupt=yes", "a.srt"}), "--interrupt takes no value");
    EXPECT_NE(UsageError({"--charset", "KLINGON_CHARSET", "a.srt"})
                  .find("unknown charset 'KLINGON_CHARSET'"),
              std::string::npos);
    EXPECT_EQ(UsageError({"--list", "--voices"}), "--list and --voices cannot be used together");
    EXPECT_EQ(UsageError({"--voices", "a.srt"}), "--voices takes no subtitle file");
    EXPECT_EQ(UsageError({"-o", "a.srt", "a.srt"}),
              "the output file would overwrite the subtitle file");
    EXPECT_EQ(UsageError({"a.wav"}), "the output file would overwrite the subtitle file");
}

TEST(RenderOptions, FitTakesAnOptionalPercentAndReportAFile) {
    EXPECT_FALSE(Parse({"a.srt"}).FitCeilingPercent);
    EXPECT_EQ(Parse({"a.srt"}).ReportFile, "");
    // A bare --fit: the default; a following name that is no number stays a file.
    EXPECT_EQ(Parse({"--fit", "a.srt"}).FitCeilingPercent, 150);
    EXPECT_EQ(Parse({"--fit", "2001.srt"}).SubtitleFile, "2001.srt");
    EXPECT_EQ(Parse({"--fit", "130", "a.srt"}).FitCeilingPercent, 130);
    EXPECT_EQ(Parse({"a.srt", "--fit=300"}).FitCeilingPercent, 300);
    EXPECT_EQ(Parse({"a.srt", "--fit", "100"}).FitCeilingPercent, 100);
    const TRenderOptions o = Parse({"--report", "timing.tsv", "a.srt"});
    EXPECT_EQ(o.ReportFile, "timing.tsv");
    EXPECT_FALSE(o.FitCeilingPercent);

    EXPECT_EQ(UsageError({"--fit", "99", "a.srt"}), "--fit 99 is out of range (100..300)");
    EXPECT_EQ(UsageError({"--fit=301", "a.srt"}), "--fit 301 is out of range (100..300)");
    EXPECT_EQ(UsageError({"--fit=1.5", "a.srt"}), "--fit needs a whole number, not '1.5'");
    EXPECT_EQ(UsageError({"--fit=", "a.srt"}), "--fit needs a whole number, not ''");
    EXPECT_EQ(UsageError({"a.srt", "--report"}), "--report needs a value");
    EXPECT_EQ(UsageError({"--report=", "a.srt"}), "--report needs a file name");
    EXPECT_EQ(UsageError({"--report", "a.srt", "a.srt"}),
              "the report would overwrite the subtitle file");
    EXPECT_EQ(UsageError({"--report", "a.wav", "a.srt"}),
              "the report would overwrite the output file");
    EXPECT_EQ(UsageError({"--list", "--fit", "a.srt"}), "--fit needs a render, not --list");
    EXPECT_EQ(UsageError({"--voices", "--report", "r.tsv"}),
              "--report needs a render, not --voices");
}

TEST(RenderOptions, MixTakesAFilmAndDuckItsDepthAndTheOutputNamesTheFormat) {
    const struct {
        std::vector<std::string> Args;
        std::string Error; // "" : parses
        TSoundFileFormat Format = TSoundFileFormat::Wav;
        int32_t Duck = 12;
    } cases[] = {
        {{"--mix", "f.mkv", "a.srt"}, ""},
        {{"--mix=f.mkv", "--duck", "0", "-o", "OUT.FLAC", "a.srt"}, "", TSoundFileFormat::Flac, 0},
        {{"--mix", "f.mkv", "--duck=40", "-o", "out.m4a", "a.srt"}, "", TSoundFileFormat::M4a, 40},
        {{"--mix", "f.mkv", "-o", "/dev/stdout", "a.srt"}, ""},
        {{"--mix", "f.mkv", "-o", "out.mp3", "a.srt"}, "--mix writes .wav, .flac or .m4a files, not .mp3"},
        {{"--mix", "f.mkv", "--duck", "41", "a.srt"}, "--duck 41 is out of range (0..40)"},
        {{"--mix", "f.mkv", "--duck", "-1", "a.srt"}, "--duck -1 is out of range (0..40)"},
        {{"--mix", "f.mkv", "--duck", "6dB", "a.srt"}, "--duck needs a whole number, not '6dB'"},
        {{"--duck", "6", "a.srt"}, "--duck needs --mix FILM"},
        {{"--mix=", "a.srt"}, "--mix needs a film file"},
        {{"--mix", "f.wav", "-o", "f.wav", "a.srt"}, "the output file would overwrite the film"},
        {{"--list", "--mix", "f.mkv", "a.srt"}, "--mix needs a render, not --list"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args.front() + " " + c.Args[1]);
        EXPECT_EQ(UsageError(c.Args), c.Error);
        if (!c.Error.empty()) continue;
        const TRenderOptions o = Parse(c.Args);
        EXPECT_EQ(o.MixFilm, "f.mkv");
        EXPECT_EQ(o.MixFormat, c.Format);
        EXPECT_EQ(o.DuckDb, c.Duck);
    }
    EXPECT_EQ(Parse({"a.srt"}).MixFilm, "");
}

TEST(RenderOptions, RangesAreInclusive) {
    EXPECT_NO_THROW(CheckRange("--speed", -10, -10, 10));
    EXPECT_NO_THROW(CheckRange("--speed", 10, -10, 10));
    try {
        CheckRange("--speed", 11, -10, 10);
        FAIL();
    } catch (const ERenderUsageError& e) {
        EXPECT_STREQ(e.what(), "--speed 11 is out of range (-10..10)");
    }
}

TEST(RenderOptions, HelpNamesEveryOption) {
    const std::string help = RenderUsageText();
    for (const char* option :
         {"-o FILE.wav", "--voice NAME", "--speed N", "--pitch N", "--volume N", "--dic FILE",
          "--shift SECONDS", "--interrupt", "--fit [PERCENT]", "--report FILE.tsv", "--mix FILM", "--duck DB", "--charset NAME", "--list", "--voices", "--help",
          "RUSSIAN_CHARSET", "OEM_CHARSET"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
}
