#pragma once
// Film files on a system whose build has no demuxer: every film is refused
// with a message that says so.

#include "platform/Exceptions.h"
#include "platform/IFilmReader.h"

namespace parlino {

class TNoFilmReader final : public IFilmReader {
public:
    TFilmTracks Tracks(const std::string& path) const override { Refuse(path); }
    TFilmTrackText ReadTextTrack(const std::string& path, int) const override { Refuse(path); }

private:
    [[noreturn]] static void Refuse(const std::string& path) {
        throw EParlinoError("Film files cannot be read by this build: " + path);
    }
};

} // namespace parlino
