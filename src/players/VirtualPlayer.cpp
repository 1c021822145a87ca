#include "players/VirtualPlayer.h"

#include "platform/Exceptions.h"

namespace parlino {

void TVirtualPlayer::SetPosition(int32_t value) {
    Meter.Offset = value;
    const bool paused = Meter.Paused;
    Meter.Reset();
    if (paused) Meter.Pause(); // the new position shows at once and stays until Play
}

void TVirtualPlayer::Reserved() { throw EParlinoError("???"); }

void TVirtualPlayer::Play() {
    if (Meter.Paused) Meter.Resume();
    else Meter.Reset();
    Playing = true;
}

void TVirtualPlayer::Pause() {
    Playing = false;
    Meter.Pause();
}

} // namespace parlino
