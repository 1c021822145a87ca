// parlino-render's commands: reading the options, listing subtitles, and
// the errors and exit codes, on every system.

#include "render/TRenderSpeech.h"

#include "platform/Exceptions.h"
#include "subtitles/FilmSubtitles.h"
#include "subtitles/SubtitleReaders.h"
#include "text/LoadTextFile.h"
#include "text/ProcessSubtitles.h"

#include <algorithm>
#include <filesystem>
#include <optional>

namespace parlino {
namespace {

constexpr const char* ProgramName = "parlino-render";

// The dictionary file `name` names: a path as given, else a file of that name
// in the program's dictionary folder.
std::string FindDictionary(const std::string& name, const TRenderEnvironment& env) {
    std::error_code error;
    if (std::filesystem::is_regular_file(name, error))
        return name;
    if (name.find('/') == std::string::npos) {
        const std::string folder = DictionaryFolder(env.ProgramFolder);
        const std::string inFolder = (std::filesystem::path(folder) / name).string();
        if (std::filesystem::is_regular_file(inFolder, error))
            return inFolder;
    }
    throw EParlinoError("dictionary not found: " + name);
}

} // namespace

std::string AnsiToUtf8(const ITextCodec& codec, const std::string& text, uint32_t codePage) {
    constexpr uint32_t Utf8CodePage = 65001;
    return text.empty() ? std::string() : codec.ToAnsi(codec.ToWide(text, codePage), Utf8CodePage);
}

void LoadRenderSubtitles(const TRenderOptions& options, const TRenderEnvironment& env,
                         TslItems& items) {
    // The readers report a missing or unreadable file as "Cannot open file".
    std::string emptyReason;
    if (IsFilmFileName(options.SubtitleFile)) {
        if (!env.Film) throw EParlinoError("Film files cannot be read by this build: " + options.SubtitleFile);
        ReadFilmSubtitles(*env.Film, options.SubtitleFile, options.Track, items, env.Codec);
    } else {
        ReadSubtitleFile(options.SubtitleFile, items, env.Codec, &emptyReason);
    }
    if (items.empty() && !emptyReason.empty())
        throw EParlinoError(std::string(NoSubtitlesMessage) + " " + emptyReason);
    std::optional<TStringList> rules;
    if (!options.DictionaryFile.empty()) {
        rules.emplace();
        LoadTextFile(*rules, FindDictionary(options.DictionaryFile, env), env.Codec);
    }
    ProcessSubtitles(items, rules ? &*rules : nullptr, env.Codec);
}

std::string ListSubtitles(const TslItems& items, const ITextCodec& codec, uint32_t codePage) {
    std::string text = "#\tstart_ms\tend_ms\ttext\n";
    for (size_t i = 0; i < items.size(); ++i) {
        std::string speech = AnsiToUtf8(codec, items[i].SpeechText, codePage);
        std::replace(speech.begin(), speech.end(), '\t', ' ');
        text += std::to_string(i + 1) + '\t' + std::to_string(items[i].StartMs) + '\t' +
                std::to_string(items[i].EndMs) + '\t' + speech + '\n';
    }
    return text;
}

int RunRenderProgram(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     const TRenderEnvironment& env) {
    try {
        const TRenderOptions options = ParseRenderOptions(args);
        switch (options.Command) {
        case TRenderCommand::Help:
            out << RenderUsageText();
            break;
        case TRenderCommand::Voices: {
            ListRenderVoices(env, out);
            break;
        }
        case TRenderCommand::List: {
            TslItems items;
            LoadRenderSubtitles(options, env, items);
            out << ListSubtitles(items, env.Codec, CharsetToCodePage(options.Charset));
            break;
        }
        case TRenderCommand::Render:
            RenderTrack(options, env, out);
            break;
        }
        out.flush();
        return 0;
    } catch (const ERenderUsageError& e) {
        err << ProgramName << ": " << e.what() << " (see --help)\n";
        return 2;
    } catch (const std::exception& e) {
        std::string message = e.what();
        std::replace(message.begin(), message.end(), '\r', ' ');
        std::replace(message.begin(), message.end(), '\n', ' ');
        err << ProgramName << ": " << message << '\n';
        return 1;
    }
}

} // namespace parlino
