#pragma once
// The parts of parlino-render that speak: they build the system's voices,
// so each system has its own.

#include "render/TRenderProgram.h"

#include <ostream>

namespace parlino {

// The --voices table of every installed voice with its ranges.
void ListRenderVoices(const TRenderEnvironment& env, std::ostream& out);

// Renders the track `options` ask for and reports it on `out`.
void RenderTrack(const TRenderOptions& options, const TRenderEnvironment& env, std::ostream& out);

// ANSI text of `codePage` (0: the system's) in UTF-8.
std::string AnsiToUtf8(const ITextCodec& codec, const std::string& text, uint32_t codePage = 0);

} // namespace parlino
