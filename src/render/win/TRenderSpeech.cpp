// The speaking commands of parlino-render on Windows. Its voices (the
// system's speech interfaces) are not part of this build yet, so these
// commands say so instead of producing an empty track.

#include "render/TRenderSpeech.h"

#include "platform/Exceptions.h"

namespace parlino {
namespace {

[[noreturn]] void NoVoices(const char* command) {
    throw EParlinoError(std::string(command) +
                        " needs voices, which this Windows build does not have yet; "
                        "--list and --help work");
}

} // namespace

void ListRenderVoices(const TRenderEnvironment&, std::ostream&) {
    NoVoices("--voices");
}

void RenderTrack(const TRenderOptions&, const TRenderEnvironment&, std::ostream&) {
    NoVoices("rendering");
}

} // namespace parlino
