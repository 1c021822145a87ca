#pragma once
// The sound card list: the names of the wave-audio devices for the
// "Sound card:" drop-down list.

#include "platform/IWaveOut.h"

#include <string>
#include <vector>

namespace parlino {

// Clears `list` and fills it with "(default)" followed by one entry per device
// of the direction (`output` true: output devices), in device-number order; a
// device whose query fails gets the text of the failure code instead of its
// name. Returns the number of the last device whose name equals the wave
// mapper's, 0 when none does, and -1 (with an empty list) when there are no
// devices. The wave-out layer has output devices only, so the input direction
// always reports none. Raises nothing.
int GetSoundCardList(IWaveOut& waveOut, std::vector<std::string>& list, bool output);

// The lasting identities of the entries GetSoundCardList just listed (of the
// same reading of the devices), entry for entry: empty for "(default)", then
// each device's WaveOutGetInstanceId. A list of names cut to 31 bytes may
// show two cards alike; their identities tell them apart.
std::vector<std::string> GetSoundCardIds(IWaveOut& waveOut, const std::vector<std::string>& list);

} // namespace parlino
