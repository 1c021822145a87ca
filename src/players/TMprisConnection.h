#pragma once
// The follower of media players on the session bus: every player that
// publishes an "org.mpris.MediaPlayer2.<name>" service (VLC, Celluloid,
// browsers, mpv with its MPRIS plugin). The follower keeps the latest state
// of each player, asking again on every tick without waiting for the
// answers: what arrives between two ticks is used at the next one. It
// follows the first player that plays, or else the first one listed.

#include "platform/IMprisBus.h"
#include "platform/ITickCounter.h"
#include "players/TPositionEstimate.h"
#include "players/TPlayerFollower.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parlino {

class TMprisConnection final : public TPlayerFollower {
public:
    static constexpr uint32_t NamesIntervalMs = 1000;
    // A player whose last state is older than this is not followed; a
    // request unanswered this long is asked again.
    static constexpr uint32_t StaleMs = 3000;
    static constexpr const char* ServicePrefix = "org.mpris.MediaPlayer2.";

    TMprisConnection(IMprisBus* bus, const ITickCounter& ticks);

    bool IsPlaying() override;
    // Takes the answers that came since the last tick, asks again, and picks
    // the player to follow; true when there is one with a recent state.
    bool IsConnected() override;
    // The followed player's estimated position; throws EPlayerError once for
    // each answer of that player that could not be read.
    int32_t GetPosition() override;
    // Raises the followed player's window, now or as soon as one is found.
    void Activate() override;
    // A local film the followed player plays (a file:// address): its
    // subtitles are guessed, as the player does not say which it shows.
    std::optional<TShownSubtitles> ShownSubtitles() override;

    // The followed player's Volume, where it lets it be set (CanControl).
    std::optional<double> FilmVolume() override;
    bool SetFilmVolume(double amplitude) override;
    bool CanHoldFilm() override;
    void HoldFilm(bool hold) override;

    // The service being followed; empty when none.
    const std::string& Followed() const { return FFollowed; }

private:
    struct TPlayer {
        explicit TPlayer(const ITickCounter& ticks) : Position(ticks) {}
        TPositionEstimate Position;
        std::string Status;
        bool CanRaise = false;
        std::string Url;
        std::optional<double> Volume;
        bool CanControl = false, CanPause = false;
        std::optional<uint32_t> LastState;    // tick of the last state received
        std::optional<uint32_t> AskedSince;   // an unanswered state request, sent then
    };

    void TakeReplies(uint32_t now);
    void Ask(uint32_t now);
    void Choose(uint32_t now);
    TPlayer* FollowedPlayer();

    IMprisBus* FBus;
    const ITickCounter& FTicks;
    std::vector<std::string> FNames;                      // in the bus's order
    std::map<std::string, std::unique_ptr<TPlayer>> FPlayers;
    std::optional<uint32_t> FNamesAsked;                  // an unanswered names request, sent then
    std::optional<uint32_t> FNamesAnswered;               // tick of the last names answer
    std::string FFollowed;
    bool FRaisePending = false;
    std::string FError;                                   // the followed player's unread answer
};

} // namespace parlino
