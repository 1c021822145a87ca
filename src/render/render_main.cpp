// parlino-render: the voice-over track of a subtitle file, as a WAV file, or
// a film's sound with the voice-over mixed in.

#include "platform/TSystemServices.h"
#include "render/TRenderProgram.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    using namespace parlino;
    TSystemCodec codec;
    const TSystemFilmReader film;
    const TSystemFilmAudio filmAudio;
    TRenderEnvironment env{codec, TSystemFolders().ProgramFolder(), nullptr, {}, &film, &filmAudio};
    // Progress is for a person watching, not for a log or a pipe.
    if (::isatty(2)) env.Progress = &std::cerr;
    return RunRenderProgram(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                            env);
}
