#pragma once
// Subtitles inside a film file: its text subtitle tracks, and one of them
// read into the track by the reader of its layout (SubRip, WebVTT, ASS/SSA),
// by the same rules as a file of that layout.

#include "platform/IFilmReader.h"
#include "platform/ITextCodec.h"
#include "subtitles/TslItem.h"

#include <string>

namespace parlino {

// True for the extensions of film files (".mkv", ".mp4", ".webm", ".avi", ...), in any letter case.
bool IsFilmFileName(const std::string& fileName);

// How a track is named to the user: "2: English (Forced) [subrip]".
std::string FilmTrackName(int number, const TFilmTextTrack& track);

// Replaces `items` with text track `trackNumber` (from 1) of the film.
// Throws EFOpenError when the film cannot be opened, and EParlinoError when
// it has no such text track, only picture subtitles, or none at all.
void ReadFilmSubtitles(const IFilmReader& film, const std::string& fileName, int trackNumber, TslItems& items,
                       const ITextCodec& codec);

} // namespace parlino
