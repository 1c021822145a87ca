#pragma once
// The subtitle tracks inside a film file (mkv, mp4, webm, ...): which there
// are, and one text track as the subtitle file of its layout would hold it,
// so that the readers of those files read it by their own rules.

#include <string>
#include <vector>

namespace parlino {

// The layout of a text track: what a file of its subtitles would be.
enum class TFilmTextLayout { SubRip, WebVtt, Ass };

struct TFilmTextTrack {
    int StreamIndex = -1; // the film's stream
    std::string Codec;    // the film's name for its format: "subrip", "ass", "webvtt", "mov_text"
    std::string Language; // from the film's metadata; may be empty
    std::string Title;
};

struct TFilmTracks {
    std::vector<TFilmTextTrack> Text;  // in the film's order; numbered from 1 by the caller
    std::vector<std::string> Pictures; // the codecs of the picture subtitle tracks (PGS, VobSub, DVB)
};

struct TFilmTrackText {
    TFilmTextLayout Layout = TFilmTextLayout::SubRip;
    std::string Utf8; // the whole track in that layout, UTF-8
};

class IFilmReader {
public:
    virtual ~IFilmReader() = default;
    // Throws EFOpenError when the file cannot be opened as a film.
    virtual TFilmTracks Tracks(const std::string& path) const = 0;
    // Text track `number` (from 1, as Tracks lists them). A film cut short
    // gives the subtitles before the cut. Throws EFOpenError as Tracks does,
    // and EParlinoError when there is no such text track.
    virtual TFilmTrackText ReadTextTrack(const std::string& path, int number) const = 0;
};

} // namespace parlino
