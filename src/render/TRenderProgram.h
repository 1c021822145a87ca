#pragma once
// parlino-render as a function of its arguments and output streams, so that
// the whole program can be run by the tests: loading and processing the
// subtitles like the main window, the voice like the voice panel, and the
// render into a WAV file.

#include "platform/IFilmAudio.h"
#include "platform/IFilmReader.h"
#include "platform/ITextCodec.h"
#include "render/TRenderOptions.h"
#include "subtitles/TslItem.h"

#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace parlino {

class TEspeakEngine; // the Linux voices' engine

struct TRenderEnvironment {
    const ITextCodec& Codec;
    std::string ProgramFolder;             // where the Dic folder is looked for
    std::shared_ptr<TEspeakEngine> Engine; // null: the process's shared engine
    // Handed to the render's settings: called after every tick.
    std::function<void(int64_t trackMs, std::chrono::nanoseconds tickCost)> OnTick;
    const IFilmReader* Film = nullptr; // null: film files cannot be read
    const IFilmAudio* FilmAudio = nullptr; // null: --mix is refused
    // Where a long run shows how far it has got (a terminal); null: nowhere.
    std::ostream* Progress = nullptr;
};

// Runs the program: `args` without the program name; results on `out`, one
// line per error on `err`. Returns the exit status: 0 done, 1 failed, 2 a
// usage error.
int RunRenderProgram(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     const TRenderEnvironment& env);

// The subtitles of `options` read and processed as the main window loads
// them, with the dictionary of `options` when one is given. Throws
// EFOpenError for files that cannot be read, EParlinoError for a missing
// dictionary or a track without subtitles.
void LoadRenderSubtitles(const TRenderOptions& options, const TRenderEnvironment& env,
                         TslItems& items);

// The --list text: a header line, then per entry its grid number, StartMs,
// EndMs and SpeechText in UTF-8 (from `codePage`, 0: the system's), tab
// separated, with tabs in the text shown as single spaces.
std::string ListSubtitles(const TslItems& items, const ITextCodec& codec, uint32_t codePage);

} // namespace parlino
