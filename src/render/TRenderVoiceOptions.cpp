// The voice options of parlino-render on every system: finding the voice a
// name means, the speed, pitch and volume within its ranges, the --voices
// table, and the report's folder.

#include "render/TRenderSpeech.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <filesystem>

namespace parlino {
namespace {

std::string AsciiLower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); });
    return s;
}

} // namespace

std::string FindVoice(const TUbSmartSpeech& speech, const ITextCodec& codec, const std::string& wanted) {
    const std::string key = AsciiLower(wanted);
    for (const std::string& name : speech.VoiceNames())
        if (AsciiLower(AnsiToUtf8(codec, name)) == key)
            return name;
    for (const std::string& name : speech.VoiceNames())
        if (AsciiLower(AnsiToUtf8(codec, name)).ends_with("(" + key + ")"))
            return name;
    return {};
}

void ApplyVoiceOptions(TUbSmartSpeech& speech, const ITextCodec& codec, const TRenderOptions& options) {
    std::string name;
    if (!options.VoiceName.empty()) {
        name = FindVoice(speech, codec, options.VoiceName);
        if (name.empty())
            throw ERenderUsageError("unknown voice '" + options.VoiceName + "' (see --voices)");
    }
    speech.SelectVoice(name);
    const TUbSmartSpeechVoiceInfo& info = speech.GetInfo();
    // The voice panel's sliders: each value within the voice's own range.
    if (options.Speed) {
        CheckRange("--speed", *options.Speed, info.SpeedMin, info.SpeedMax);
        speech.SetSpeed(*options.Speed);
    }
    if (options.Pitch) {
        CheckRange("--pitch", *options.Pitch, info.PitchMin, info.PitchMax);
        speech.SetPitch(*options.Pitch);
    }
    if (options.Volume) {
        CheckRange("--volume", *options.Volume, info.VolumeMin, info.VolumeMax);
        speech.SetVolume(*options.Volume);
    }
}

void WriteVoiceTable(TUbSmartSpeech& speech, const ITextCodec& codec, std::ostream& out) {
    out << "#\tname\tspeed\tpitch\tvolume\n";
    for (const std::string& name : speech.VoiceNames()) {
        speech.SelectVoice(name); // a legacy voice knows its ranges once selected
        const TUbSmartSpeechVoiceInfo& info = speech.GetInfo();
        out << AnsiToUtf8(codec, name) << '\t' << info.SpeedMin << ".." << info.SpeedMax << '\t' << info.PitchMin
            << ".." << info.PitchMax << '\t' << info.VolumeMin << ".." << info.VolumeMax << '\n';
    }
}

void CheckReportFolder(const std::string& reportFile) {
    if (reportFile.empty())
        return;
    std::filesystem::path folder = std::filesystem::path(reportFile).parent_path();
    if (folder.empty())
        folder = ".";
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        throw EParlinoError("Cannot write file \"" + reportFile + "\". No such folder: " + folder.string());
}

} // namespace parlino
