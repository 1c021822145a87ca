#pragma once
// The command line of parlino-render: what to do, with which voice and
// settings, from which subtitle file into which WAV file.

#include "platform/Exceptions.h"
#include "platform/IFilmAudio.h"
#include "text/Charsets.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace parlino {

// A command line that cannot be followed; the program exits with status 2.
class ERenderUsageError : public EParlinoError {
public:
    using EParlinoError::EParlinoError;
};

enum class TRenderCommand { Render, List, Voices, Help };

struct TRenderOptions {
    TRenderCommand Command = TRenderCommand::Render;
    std::string SubtitleFile;
    std::string OutputFile; // always set for Render
    std::string VoiceName;  // empty: the default voice
    std::optional<int32_t> Speed, Pitch,
        Volume;                 // the voice's own units; checked against its ranges
    std::string DictionaryFile; // empty: no dictionary
    int32_t ShiftMs = 0;        // whole seconds x 1000
    bool Interrupt = false;
    uint8_t Charset = DEFAULT_CHARSET;
    // --fit: entries that would run past the next one's due tick are spoken
    // faster, up to this percentage of the chosen speed; none: never faster.
    std::optional<int32_t> FitCeilingPercent;
    std::string ReportFile; // --report: the per-entry timing table; empty: none
    int32_t Track = 1;      // --track: a film's text subtitle track, from 1
    // --mix: the film whose sound the voice is mixed into, written in
    // MixFormat; empty: the voice's own track.
    std::string MixFilm;
    TSoundFileFormat MixFormat = TSoundFileFormat::Wav;
    int32_t DuckDb = 12; // --duck: how far the film is lowered under the voice
};

// --fit's range and the percentage a bare --fit means.
inline constexpr int32_t MinFitPercent = 100, MaxFitPercent = 300, DefaultFitPercent = 150;

// --duck's range in dB; 0 leaves the film's level alone.
inline constexpr int32_t MaxDuckDb = 40;

// The shift box's range, in seconds.
inline constexpr int32_t MaxShiftSeconds = 86400;

// `args` without the program name. Long options take their value as the
// next argument or after "="; "--" ends the options. Throws
// ERenderUsageError with a one-line message.
TRenderOptions ParseRenderOptions(const std::vector<std::string>& args);

// The subtitle file's path with its extension (if any) replaced by ".wav".
std::string DefaultOutputFile(const std::string& subtitleFile);

// The format of a mixed output file by its extension (any letter case):
// .wav, .flac, .m4a, or none (a device or pipe) for WAV. Throws
// ERenderUsageError for any other.
TSoundFileFormat MixedFileFormat(const std::string& outputFile);

// Throws ERenderUsageError unless min <= value <= max.
void CheckRange(const std::string& option, int32_t value, int32_t min, int32_t max);

// The text of --help.
std::string RenderUsageText();

} // namespace parlino
