#pragma once
// A film's sound on a system whose build has no decoder: every request is
// refused with a message that says so.

#include "platform/Exceptions.h"
#include "platform/IFilmAudio.h"

namespace parlino {

class TNoFilmAudio final : public IFilmAudio {
public:
    std::unique_ptr<IFilmAudioDecoder> OpenSound(const std::string& path) const override { Refuse(path); }
    std::unique_ptr<ISoundFileWriter> CreateSoundFile(const std::string&, const std::string& shownName,
                                                      const TSoundFileParams&) const override {
        Refuse(shownName);
    }

private:
    [[noreturn]] static void Refuse(const std::string& path) {
        throw EParlinoError("Mixing with a film's sound is not available on this system: " + path);
    }
};

} // namespace parlino
