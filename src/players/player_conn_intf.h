#pragma once
// The position source the playback controller reads: the program's own
// manual clock or a follower of an external player. Sources are shared
// through std::shared_ptr; the main window holds the only lasting reference,
// so assigning a new source frees the previous one.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace parlino {

// The subtitles a player shows: an external file, or a track inside the film.
struct TShownSubtitles {
    std::string FilmPath;     // the film the player plays
    std::string File;         // an external subtitle file; empty: a track of the film
    int StreamIndex = -1;     // the film's stream of that track; -1 with File, or no subtitles shown
    // The player does not say which it shows: a subtitle file beside the
    // film with its base name, else the film's first text track.
    bool Guess = false;
    bool operator==(const TShownSubtitles&) const = default;
};

class IPlayerConnection {
public:
    virtual ~IPlayerConnection() = default;
    virtual bool FindPlayer() = 0;
    virtual bool IsPlaying() = 0;
    virtual bool IsConnected() = 0;      // reachable now (every tick)
    virtual bool IsReady() = 0;
    virtual int32_t GetPosition() = 0;   // milliseconds; may be negative
    virtual void SetPosition(int32_t value) = 0;
    virtual void Reserved() = 0;
    virtual void Stop() = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Activate() = 0;         // bring the player forward
    // What the player shows, where it says so; none: unknown.
    virtual std::optional<TShownSubtitles> ShownSubtitles() { return std::nullopt; }

    // What the program itself may do to a followed film, apart from the
    // user's own Play and Pause: lower its sound while the voice speaks, and
    // hold it while the voice catches up. Sources that cannot keep these.
    // True for the followers of an external player, whose film this is.
    virtual bool FollowsFilm() const { return false; }
    // The player's own volume as a factor of amplitude (1: its full level),
    // as it last said; none: unknown, or a player whose volume cannot be set.
    virtual std::optional<double> FilmVolume() { return std::nullopt; }
    // Asks the player for that volume; false when it cannot be asked.
    virtual bool SetFilmVolume(double amplitude) { (void)amplitude; return false; }
    // Whether HoldFilm can pause the film now.
    virtual bool CanHoldFilm() { return false; }
    // Pauses (true) or plays (false) the film for the program's own reasons.
    virtual void HoldFilm(bool hold) { (void)hold; }
};

using TPlayerConnection = std::shared_ptr<IPlayerConnection>;

} // namespace parlino
