#pragma once
// The parts of parlino-render that speak: they build the system's voices,
// so each system has its own.

#include "render/TRenderOptions.h"
#include "render/TRenderProgram.h"
#include "speech/UbSmartSpeech.h"

#include <ostream>

namespace parlino {

// The --voices table of every installed voice with its ranges.
void ListRenderVoices(const TRenderEnvironment& env, std::ostream& out);

// Renders the track `options` ask for and reports it on `out`.
void RenderTrack(const TRenderOptions& options, const TRenderEnvironment& env, std::ostream& out);

// The name in the facade's list that `wanted` (UTF-8) means: the full name in
// any ASCII letter case, else the first voice whose last brackets hold it as
// a language code. Empty when none.
std::string FindVoice(const TUbSmartSpeech& speech, const ITextCodec& codec, const std::string& wanted);
// Selects the voice the options name (the default without one) and sets its
// speed, pitch and volume, each checked against the voice's own range.
void ApplyVoiceOptions(TUbSmartSpeech& speech, const ITextCodec& codec, const TRenderOptions& options);
// The --voices table: every voice with its ranges.
void WriteVoiceTable(TUbSmartSpeech& speech, const ITextCodec& codec, std::ostream& out);
// Fails before a long render when the report has no folder to go to; any
// other reason it cannot be written shows when it is written.
void CheckReportFolder(const std::string& reportFile);

// ANSI text of `codePage` (0: the system's) in UTF-8.
std::string AnsiToUtf8(const ITextCodec& codec, const std::string& text, uint32_t codePage = 0);

} // namespace parlino
