#include "app/TPlayerEnvironment.h"

#include "players/TMprisConnection.h"
#include "players/TMpvConnection.h"
#include "players/player_conn.h"

namespace parlino {

const char* PlayerTypeCaption(TPlayerType type) {
    switch (type) {
    case TPlayerType::MediaPlayerClassic: return "Media Player Classic (or MPC HC)";
    case TPlayerType::Mpv: return "mpv";
    case TPlayerType::Mpris: return "MPRIS media player (VLC, Celluloid, browsers, mpv with mpv-mpris)";
    }
    return "";
}

TPlayerType DefaultPlayerType(const TPlayerEnvironment& players) {
    return players.Windows.HasForeignWindows() ? TPlayerType::MediaPlayerClassic : TPlayerType::Mpris;
}

std::string MpvSocketPath(const IKnownFolders& folders) { return folders.RuntimeFolder() + "/parlino-mpv.sock"; }

TPlayerConnection CreateFollower(TPlayerType type, TPlayerEnvironment& players, const TPlatform& platform) {
    switch (type) {
    case TPlayerType::Mpv:
        return std::make_shared<TMpvConnection>(players.CreateChannel(), MpvSocketPath(platform.Folders),
                                                platform.Ticks);
    case TPlayerType::Mpris: return std::make_shared<TMprisConnection>(players.Mpris, platform.Ticks);
    case TPlayerType::MediaPlayerClassic: break;
    }
    return std::make_shared<TMPCConnection>(players.Windows, platform.Locale);
}

} // namespace parlino
