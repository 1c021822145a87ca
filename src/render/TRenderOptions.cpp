#include "render/TRenderOptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>

namespace parlino {
namespace {

int32_t ParseWholeNumber(const std::string& option, const std::string& text) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (first == last || error != std::errc() || end != last) {
        if (error == std::errc::result_out_of_range)
            throw ERenderUsageError(option + " " + text + " is out of range");
        throw ERenderUsageError(option + " needs a whole number, not '" + text + "'");
    }
    return value;
}

// Whether `text` is a number --fit takes as its optional value: digits only,
// so that a file name after a bare --fit stays a file name.
bool IsDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

void CheckRange(const std::string& option, int32_t value, int32_t min, int32_t max) {
    if (value < min || value > max)
        throw ERenderUsageError(option + " " + std::to_string(value) + " is out of range (" +
                                std::to_string(min) + ".." + std::to_string(max) + ")");
}

TSoundFileFormat MixedFileFormat(const std::string& outputFile) {
    std::string extension = std::filesystem::path(outputFile).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension.empty() || extension == ".wav")
        return TSoundFileFormat::Wav;
    if (extension == ".flac")
        return TSoundFileFormat::Flac;
    if (extension == ".m4a")
        return TSoundFileFormat::M4a;
    throw ERenderUsageError("--mix writes .wav, .flac or .m4a files, not " + extension);
}

std::string DefaultOutputFile(const std::string& subtitleFile) {
    std::filesystem::path path(subtitleFile);
    path.replace_extension(".wav");
    return path.string();
}

TRenderOptions ParseRenderOptions(const std::vector<std::string>& args) {
    TRenderOptions options;
    // Help is given whatever else is wrong on the line.
    for (const std::string& arg : args) {
        if (arg == "--")
            break;
        if (arg == "--help" || arg == "-h") {
            options.Command = TRenderCommand::Help;
            return options;
        }
    }
    bool list = false, voices = false, outputGiven = false, duckGiven = false;
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        auto flag = [&] {
            if (inlineValue)
                throw ERenderUsageError(name + " takes no value");
        };
        auto value = [&]() -> std::string {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= args.size())
                throw ERenderUsageError(name + " needs a value");
            return args[++i];
        };
        if (name == "-o") {
            options.OutputFile = value();
            if (options.OutputFile.empty())
                throw ERenderUsageError("-o needs a file name");
            outputGiven = true;
        } else if (name == "--voice") {
            options.VoiceName = value();
            if (options.VoiceName.empty())
                throw ERenderUsageError("--voice needs a voice name");
        } else if (name == "--speed") {
            options.Speed = ParseWholeNumber(name, value());
        } else if (name == "--pitch") {
            options.Pitch = ParseWholeNumber(name, value());
        } else if (name == "--volume") {
            options.Volume = ParseWholeNumber(name, value());
        } else if (name == "--dic") {
            options.DictionaryFile = value();
            if (options.DictionaryFile.empty())
                throw ERenderUsageError("--dic needs a file name");
        } else if (name == "--shift") {
            const int32_t seconds = ParseWholeNumber(name, value());
            CheckRange(name, seconds, -MaxShiftSeconds, MaxShiftSeconds);
            options.ShiftMs = seconds * 1000;
        } else if (name == "--interrupt") {
            flag();
            options.Interrupt = true;
        } else if (name == "--fit") {
            std::optional<std::string> percent = inlineValue;
            if (!percent && i + 1 < args.size() && IsDigits(args[i + 1]))
                percent = args[++i];
            const int32_t value = percent ? ParseWholeNumber(name, *percent) : DefaultFitPercent;
            CheckRange(name, value, MinFitPercent, MaxFitPercent);
            options.FitCeilingPercent = value;
        } else if (name == "--track") {
            options.Track = ParseWholeNumber(name, value());
            CheckRange(name, options.Track, 1, 999);
        } else if (name == "--mix") {
            options.MixFilm = value();
            if (options.MixFilm.empty())
                throw ERenderUsageError("--mix needs a film file");
        } else if (name == "--duck") {
            options.DuckDb = ParseWholeNumber(name, value());
            CheckRange(name, options.DuckDb, 0, MaxDuckDb);
            duckGiven = true;
        } else if (name == "--report") {
            options.ReportFile = value();
            if (options.ReportFile.empty())
                throw ERenderUsageError("--report needs a file name");
        } else if (name == "--charset") {
            const std::string identifier = value();
            const std::optional<uint8_t> charset = CharsetByIdentifier(Upper(identifier));
            if (!charset)
                throw ERenderUsageError(
                    "unknown charset '" + identifier +
                    "' (one of ANSI_CHARSET, RUSSIAN_CHARSET, ...; see --help)");
            options.Charset = *charset;
        } else if (name == "--list") {
            flag();
            list = true;
        } else if (name == "--voices") {
            flag();
            voices = true;
        } else {
            throw ERenderUsageError("unknown option " + name);
        }
    }

    if (list && voices)
        throw ERenderUsageError("--list and --voices cannot be used together");
    if ((list || voices) && (options.FitCeilingPercent || !options.ReportFile.empty() || !options.MixFilm.empty()))
        throw ERenderUsageError(std::string(options.FitCeilingPercent ? "--fit"
                                            : options.ReportFile.empty() ? "--mix" : "--report") +
                                " needs a render, not " + (list ? "--list" : "--voices"));
    if (duckGiven && options.MixFilm.empty())
        throw ERenderUsageError("--duck needs --mix FILM");
    if (voices) {
        if (!files.empty())
            throw ERenderUsageError("--voices takes no subtitle file");
        options.Command = TRenderCommand::Voices;
        return options;
    }
    if (files.empty())
        throw ERenderUsageError("no subtitle file given");
    if (files.size() > 1)
        throw ERenderUsageError("one subtitle file only, not also '" + files[1] + "'");
    options.SubtitleFile = files[0];
    if (list) {
        options.Command = TRenderCommand::List;
        return options;
    }
    if (!outputGiven)
        options.OutputFile = DefaultOutputFile(options.SubtitleFile);
    std::error_code error;
    if (std::filesystem::equivalent(options.OutputFile, options.SubtitleFile, error) ||
        options.OutputFile == options.SubtitleFile)
        throw ERenderUsageError("the output file would overwrite the subtitle file");
    if (!options.MixFilm.empty()) {
        options.MixFormat = MixedFileFormat(options.OutputFile);
        if (options.OutputFile == options.MixFilm ||
            std::filesystem::equivalent(options.OutputFile, options.MixFilm, error))
            throw ERenderUsageError("the output file would overwrite the film");
    }
    if (!options.ReportFile.empty()) {
        for (const std::string* other : {&options.SubtitleFile, &options.OutputFile})
            if (options.ReportFile == *other ||
                std::filesystem::equivalent(options.ReportFile, *other, error))
                throw ERenderUsageError(std::string("the report would overwrite the ") +
                                        (other == &options.SubtitleFile ? "subtitle" : "output") +
                                        " file");
    }
    return options;
}

std::string RenderUsageText() {
    // The 18 identifiers, wrapped under the option's description.
    const std::string indent(21, ' ');
    std::string charsets = indent;
    size_t lineStart = 0;
    for (size_t i = 0; i < CharsetNames.size(); ++i) {
        std::string word = CharsetNames[i].Identifier;
        if (i + 1 < CharsetNames.size())
            word += ',';
        if (charsets.size() - lineStart + word.size() + 1 > 79) {
            charsets += "\n";
            lineStart = charsets.size();
            charsets += indent;
        } else if (charsets.size() - lineStart > indent.size()) {
            charsets += ' ';
        }
        charsets += word;
    }
    return "Usage: parlino-render [options] SUBTITLE_FILE\n"
           "Reads a subtitle file aloud into a WAV file (mono, 16-bit) whose time 0 is the\n"
           "film's time 0: each subtitle is spoken exactly as Parlino's manual playback\n"
           "from the first row would let a listener hear it, without waiting for the film.\n"
           "SubRip files end in .srt, WebVTT files in .vtt, ASS/SSA files in .ass or\n"
           ".ssa; a film file (.mkv, .mp4, .webm, .avi, ...) gives its text subtitle track;\n"
           "every other file is read as a timecode list.\n"
           "\n"
           "Options:\n"
           "  -o FILE.wav        output file (default: the subtitle file's name with its\n"
           "                     extension replaced by .wav, in the same folder)\n"
           "  --voice NAME       a voice of --voices, by its full name or by the language\n"
           "                     code in its last brackets (e.g. en-gb); default: the first\n"
           "  --speed N          speed in the voice's own units (engine voices: -10..10;\n"
           "                     Flite voices: words a minute, 60..400)\n"
           "  --pitch N          pitch in the voice's own units (engine voices: -50..50;\n"
           "                     Flite voices: Hz, 50..400)\n"
           "  --volume N         volume in the voice's own units (0..100)\n"
           "  --dic FILE         rewrite the texts with this dictionary; a bare name is also\n"
           "                     looked for in the Dic folder beside the program\n"
           "  --shift SECONDS    track time shift, whole seconds (-86400..86400); positive\n"
           "                     makes subtitles due earlier\n"
           "  --interrupt        each new subtitle cuts off the one being spoken (default:\n"
           "                     fast subtitles are queued and spoken one after another)\n"
           "  --fit [PERCENT]    fit speech into subtitle time: an entry that would run on\n"
           "                     past the next one's due time is spoken just fast enough\n"
           "                     to end in time, up to PERCENT % of the chosen speed\n"
           "                     (100..300, default 150); queued entries get the time left\n"
           "  --report FILE.tsv  also write a table of when each entry was heard: number,\n"
           "                     due ms, onset ms, end ms, speed factor, lateness ms (onset\n"
           "                     - due), overrun ms (past the next entry's due time; the\n"
           "                     last entry's own end), cut ms (interrupted speech not\n"
           "                     heard), tab-separated; entries never spoken have no onset\n"
           "  --track N          a film's text subtitle track, counted from 1 (default 1)\n"
           "  --mix FILM         write FILM's sound with the voice mixed in, instead of the\n"
           "                     voice alone: at the film's rate and channels, for its\n"
           "                     whole length, the voice in the centre (front left and\n"
           "                     right alike for stereo); -o's extension chooses .wav,\n"
           "                     .flac or .m4a\n"
           "  --duck DB          with --mix: the film is lowered by DB while the voice\n"
           "                     speaks, from 100 ms before it to 600 ms after (0..40,\n"
           "                     default 12; 0 leaves the film as it is)\n"
           "  --charset NAME     the character set whose code page the texts are read in,\n"
           "                     as Parlino's \"Font charset\" box, one of:\n" +
           charsets +
           "\n"
           "  --list             print the subtitles as they will be spoken, no audio:\n"
           "                     number, start ms, end ms and text, tab-separated\n"
           "  --voices           print the installed voices with their ranges\n"
           "  --help             print this text\n"
           "\n"
           "Exit status: 0 done, 1 failed (unreadable file, voice failure), 2 bad command line.\n";
}

} // namespace parlino
