// parlino-render: the voice-over track of a subtitle file, as a WAV file.

#include "platform/TSystemServices.h"
#include "render/TRenderProgram.h"

#include <iostream>

int main(int argc, char** argv) {
    using namespace parlino;
    TSystemCodec codec;
    const TSystemFilmReader film;
    TRenderEnvironment env{codec, TSystemFolders().ProgramFolder(), nullptr, {}, &film};
    return RunRenderProgram(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                            env);
}
