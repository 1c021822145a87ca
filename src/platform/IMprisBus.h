#pragma once
// The session-bus client of the media player follower: media players
// publish themselves as "org.mpris.MediaPlayer2.<name>" services with their
// playback status and position. Every request is asynchronous: its answer
// (or its failure, also after a time-out) is collected later by
// TakeReplies, so the caller never waits on a player.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace parlino {

struct TMprisReply {
    enum class TKind {
        Names,   // the player services on the bus, in the bus's order
        State,   // one player's state
        Failure, // a request that failed or timed out
    };
    TKind Kind = TKind::Failure;
    std::vector<std::string> Names;      // Names
    std::string Service;                 // State, Failure (empty for a names request)
    std::string PlaybackStatus;          // State: "Playing", "Paused" or "Stopped"
    std::optional<int64_t> PositionUs;   // State: none when the player has no position
    bool CanRaise = false;               // State
    std::string Url;                     // State: the film's address (Metadata's xesam:url); may be empty
    std::optional<double> Volume;        // State: linear, 1 the player's full level; none when not told
    bool CanControl = false;             // State: the player takes commands (and a new Volume)
    bool CanPause = false;               // State
    std::string Error;                   // Failure
};

class IMprisBus {
public:
    virtual ~IMprisBus() = default;
    // False when there is no session bus to ask.
    virtual bool Connected() = 0;
    virtual void RequestNames() = 0;
    virtual void RequestState(const std::string& service) = 0;
    // Every reply that arrived since the last call, oldest first.
    virtual std::vector<TMprisReply> TakeReplies() = 0;
    // Asks the player to show its window; nothing is awaited.
    virtual void Raise(const std::string& service) = 0;
    // Sets the player's Volume; nothing is awaited.
    virtual void SetVolume(const std::string& service, double volume) { (void)service; (void)volume; }
    // Calls the player's Play (true) or Pause (false); nothing is awaited.
    virtual void PlayOrPause(const std::string& service, bool play) { (void)service; (void)play; }
};

} // namespace parlino
