#pragma once
#include "players/player_conn_intf.h"

namespace parlino {

// What every follower of an external player shares: it watches the film
// but cannot move, start or stop it, so those operations do nothing.
class TPlayerFollower : public IPlayerConnection {
public:
    bool FindPlayer() override { return IsConnected(); }
    bool IsReady() override { return true; }
    void SetPosition(int32_t) override {}
    void Reserved() override {}
    void Stop() override {}
    void Play() override {}
    void Pause() override {}
    bool FollowsFilm() const override { return true; }
};

} // namespace parlino
