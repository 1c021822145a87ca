// parlino-render: the voice-over track of a subtitle file, as a WAV file.

#include "platform/linux/TFfmpegFilmReader.h"
#include "platform/linux/TIconvCodec.h"
#include "platform/linux/TXdgFolders.h"
#include "render/TRenderProgram.h"

#include <iostream>

int main(int argc, char** argv) {
    using namespace parlino;
    TIconvCodec codec;
    const TFfmpegFilmReader film;
    TRenderEnvironment env{codec, TXdgFolders().ProgramFolder(), nullptr, {}, &film};
    return RunRenderProgram(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                            env);
}
