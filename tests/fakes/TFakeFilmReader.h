#pragma once
// A film whose tracks the test sets: its track list, and the text of each
// text track in its layout.

#include "platform/IFilmReader.h"
#include "platform/Exceptions.h"

#include <map>

namespace parlino::test {

class TFakeFilmReader final : public IFilmReader {
public:
    TFilmTracks Film;
    std::map<int, TFilmTrackText> Texts; // by track number
    TFilmTracks Tracks(const std::string&) const override { return Film; }
    TFilmTrackText ReadTextTrack(const std::string& path, int number) const override {
        const auto found = Texts.find(number);
        if (found == Texts.end()) throw EParlinoError("no track " + std::to_string(number) + " in " + path);
        return found->second;
    }
};

} // namespace parlino::test
