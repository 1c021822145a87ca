#pragma once
// The players a following run can watch, and how to reach each: the window
// system for the desktop player watched through its windows, a socket
// channel for mpv, the session bus for media players. The composition root
// fills it with the real services, tests with fakes.

#include "platform/IFilmReader.h"
#include "platform/ILineChannel.h"
#include "platform/IMprisBus.h"
#include "platform/IWindowSystem.h"
#include "platform/TPlatform.h"
#include "players/player_conn_intf.h"

#include <functional>
#include <memory>
#include <string>

namespace parlino {

// The items of "Video player type", in the list's order.
enum class TPlayerType { MediaPlayerClassic = 0, Mpv = 1, Mpris = 2 };

struct TPlayerEnvironment {
    IWindowSystem& Windows;
    std::function<std::unique_ptr<ILineChannel>()> CreateChannel;
    IMprisBus* Mpris = nullptr; // none: no session bus
    const IFilmReader* Film = nullptr; // the subtitle tracks of film files; none: films cannot be opened
};

// The text of each "Video player type" item.
const char* PlayerTypeCaption(TPlayerType type);
// The item a first start selects: the window-watched player where its
// windows can exist, else the session-bus players, which most players offer.
TPlayerType DefaultPlayerType(const TPlayerEnvironment& players);
// Where mpv is asked to open its command socket: a fixed name in the user's
// runtime folder.
std::string MpvSocketPath(const IKnownFolders& folders);
// A new follower of the given player type.
TPlayerConnection CreateFollower(TPlayerType type, TPlayerEnvironment& players, const TPlatform& platform);

} // namespace parlino
