#include "subtitles/FilmSubtitles.h"

#include "platform/Exceptions.h"
#include "subtitles/AssReader.h"
#include "subtitles/SubtitleReaders.h"
#include "subtitles/WebVttReader.h"
#include "text/LoadTextFile.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace parlino {

bool IsFilmFileName(const std::string& fileName) {
    std::string ext = std::filesystem::path(fileName).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    for (const char* film : {".mkv", ".mka", ".mk3d", ".mp4", ".m4v", ".mov", ".webm", ".avi", ".ts", ".m2ts",
                             ".mts", ".ogv", ".ogm", ".flv", ".wmv", ".asf", ".mpg", ".mpeg", ".vob"})
        if (ext == film) return true;
    return false;
}

std::string FilmTrackName(int number, const TFilmTextTrack& track) {
    std::string name = std::to_string(number) + ":";
    if (!track.Language.empty()) name += " " + track.Language;
    if (!track.Title.empty()) name += " (" + track.Title + ")";
    return name + " [" + track.Codec + "]";
}

void ReadFilmSubtitles(const IFilmReader& film, const std::string& fileName, int trackNumber, TslItems& items,
                       const ITextCodec& codec) {
    const TFilmTracks tracks = film.Tracks(fileName);
    if (tracks.Text.empty()) {
        if (tracks.Pictures.empty()) throw EParlinoError("\"" + fileName + "\" has no subtitle track.");
        std::string kinds;
        for (const std::string& picture : tracks.Pictures)
            if (kinds.find(picture) == std::string::npos) kinds += (kinds.empty() ? "" : ", ") + picture;
        throw EParlinoError("\"" + fileName + "\" has only picture subtitles (" + kinds +
                            "), which cannot be read aloud.");
    }
    if (trackNumber < 1 || size_t(trackNumber) > tracks.Text.size())
        throw EParlinoError("\"" + fileName + "\" has no text subtitle track " + std::to_string(trackNumber) +
                            "; it has " + std::to_string(tracks.Text.size()) + ".");
    const TFilmTrackText text = film.ReadTextTrack(fileName, trackNumber);
    TStringList lines;
    DecodeTextBytes(lines, "\xEF\xBB\xBF" + text.Utf8, codec); // the tracks are UTF-8
    switch (text.Layout) {
    case TFilmTextLayout::SubRip:
        ReadSrtLines(lines, items);
        break;
    case TFilmTextLayout::WebVtt:
        ReadVttLines(lines, items);
        break;
    case TFilmTextLayout::Ass:
        ReadAssLines(lines, items, codec.LeadBytes());
        break;
    }
    if (items.size() < 2)
        throw EParlinoError("Text subtitle track " + std::to_string(trackNumber) + " of \"" + fileName +
                            "\" holds no subtitles.");
}

} // namespace parlino
