#pragma once
#include "players/UbTimeMeter.h"
#include "players/player_conn_intf.h"

namespace parlino {

// The manual clock: starts at a given position, runs in real time while
// playing, stands still while paused, and can be moved.
class TVirtualPlayer final : public IPlayerConnection {
public:
    explicit TVirtualPlayer(const ITickCounter& ticks) : Meter(ticks) {}

    bool FindPlayer() override { return true; }
    bool IsPlaying() override { return Playing; }
    bool IsConnected() override { return true; }
    bool IsReady() override { return true; }
    int32_t GetPosition() override { return Meter.Elapsed(); }
    void SetPosition(int32_t value) override;
    void Reserved() override;
    void Stop() override { Playing = false; }
    void Play() override;
    void Pause() override;
    void Activate() override {}

    TUbTimeMeter Meter;
    bool Playing = false;
};

} // namespace parlino
