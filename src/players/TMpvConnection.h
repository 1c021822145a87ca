#pragma once
// The follower of mpv through its JSON IPC: mpv started with
// --input-ipc-server=<socket> listens on a Unix socket for one JSON message
// per line. The follower asks mpv to report its play state whenever it
// changes (pause, idle-active, eof-reached, core-idle), and asks for the
// position (time-pos) on every tick. It also watches which film plays and
// which subtitle track mpv shows. Nothing is waited for: what arrives
// between two ticks is read at the next one, and an answer's position is
// taken as it stood when the question was sent, so it is not a tick old. A
// player that leaves a question unanswered for seconds is dropped; a player
// that quits closes the socket; either way the next tick looks for it
// again, so a restarted player is found.

#include "platform/ILineChannel.h"
#include "platform/ITickCounter.h"
#include "players/TPositionEstimate.h"
#include "players/TPlayerFollower.h"

#include <nlohmann/json_fwd.hpp>

#include <memory>
#include <optional>
#include <string>

namespace parlino {

class TMpvConnection final : public TPlayerFollower {
public:
    // A player that leaves a question unanswered this long counts as gone.
    static constexpr uint32_t AnswerTimeoutMs = 3000;

    TMpvConnection(std::unique_ptr<ILineChannel> channel, std::string socketPath, const ITickCounter& ticks);

    bool IsPlaying() override;
    // Reads what the player sent since the last tick; connects first when
    // there is no connection. True once the player has answered and as long
    // as it keeps answering.
    bool IsConnected() override;
    // The estimated film position; 0 while no file is loaded. Throws
    // EPlayerError once for every line the player sent that could not be read.
    int32_t GetPosition() override;
    void Activate() override {}
    // The film mpv plays and the subtitle track it shows, once it has said.
    std::optional<TShownSubtitles> ShownSubtitles() override;
    // Its "volume" property, and its "pause" property for the program's own hold.
    std::optional<double> FilmVolume() override;
    bool SetFilmVolume(double amplitude) override;
    bool CanHoldFilm() override;
    void HoldFilm(bool hold) override;

private:
    void Connect();
    void Disconnect();
    void Handle(const std::string& line);
    void HandleMessage(const nlohmann::json& message);
    void AskPosition(uint32_t now);

    std::unique_ptr<ILineChannel> FChannel;
    std::string FSocketPath;
    const ITickCounter& FTicks;
    TPositionEstimate FPosition;
    bool FAnswered = false;                // something came since the connection was made
    uint32_t FLastHeard = 0;               // tick of the last line received
    std::optional<uint32_t> FAskedAt;      // the unanswered position question, sent then
    int64_t FAskId = 0;                    // its request id
    bool FPaused = true, FIdle = true, FEof = false, FCoreIdle = true;
    std::optional<std::string> FFilmPath;  // "path"; none until mpv says
    TShownSubtitles FShown;                // from "current-tracks/sub"
    std::optional<double> FVolume;         // "volume", in mpv's percent
    std::string FBadLine;                  // the last line that could not be read
};

} // namespace parlino
