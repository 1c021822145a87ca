#pragma once
// The subtitle tracks of a film file through FFmpeg's demuxers. Only the
// packets of the chosen subtitle stream are kept; the demuxer skips those of
// every other stream, so a film of any size is read in bounded memory.

#include "platform/IFilmReader.h"

namespace parlino {

class TFfmpegFilmReader final : public IFilmReader {
public:
    TFilmTracks Tracks(const std::string& path) const override;
    TFilmTrackText ReadTextTrack(const std::string& path, int number) const override;
};

} // namespace parlino
