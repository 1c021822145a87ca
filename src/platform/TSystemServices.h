#pragma once
// The real implementations of the simple platform services on the system
// this build is for. Programs and tests name them through these aliases, so
// this is the one place that chooses between the systems.

#ifdef _WIN32
#include "platform/TNoFilmAudio.h"
#include "platform/TNoFilmReader.h"
#include "platform/win/TWinCodec.h"
#include "platform/win/TWinFolders.h"
#include "platform/win/TWinLocaleInfo.h"
#include "platform/win/TWinShell.h"
#include "platform/win/TWinTickCounter.h"
#include "platform/win/TWinWaveOut.h"
#include "platform/win/TWinWindowSystem.h"

namespace parlino {
using TSystemCodec = TWinCodec;
using TSystemFolders = TWinFolders;
using TSystemLocaleInfo = TWinLocaleInfo;
using TSystemShell = TWinShell;
using TSystemTickCounter = TWinTickCounter;
using TSystemWindowSystem = TWinWindowSystem;
using TSystemFilmReader = TNoFilmReader; // no FFmpeg for this build yet
using TSystemFilmAudio = TNoFilmAudio;
} // namespace parlino
#else
#include "platform/linux/TFfmpegFilmAudio.h"
#include "platform/linux/TFfmpegFilmReader.h"
#include "platform/linux/TIconvCodec.h"
#include "platform/linux/TLinuxLocaleInfo.h"
#include "platform/linux/TLinuxWindowSystem.h"
#include "platform/linux/TMonotonicTickCounter.h"
#include "platform/linux/TXdgFolders.h"
#include "platform/linux/TXdgShell.h"

namespace parlino {
using TSystemCodec = TIconvCodec;
using TSystemFolders = TXdgFolders;
using TSystemLocaleInfo = TLinuxLocaleInfo;
using TSystemShell = TXdgShell;
using TSystemTickCounter = TMonotonicTickCounter;
using TSystemWindowSystem = TLinuxWindowSystem;
using TSystemFilmReader = TFfmpegFilmReader;
using TSystemFilmAudio = TFfmpegFilmAudio;
} // namespace parlino
#endif
