#pragma once
#include "players/player_conn_intf.h"

namespace parlino {

// The source of "Video player following" while no follower of an external
// player exists on this platform: it never finds a player, so a following
// run shows the waiting text and speaks nothing. It is also the source the
// window starts with, so that a source always exists.
class TNoPlayerConnection final : public IPlayerConnection {
public:
    bool FindPlayer() override { return false; }
    bool IsPlaying() override { return false; }
    bool IsConnected() override { return false; }
    bool IsReady() override { return true; }
    int32_t GetPosition() override { return 0; }
    void SetPosition(int32_t) override {}
    void Reserved() override {}
    void Stop() override {}
    void Play() override {}
    void Pause() override {}
    void Activate() override {}
};

} // namespace parlino
