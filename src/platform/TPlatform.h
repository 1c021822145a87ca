#pragma once
#include "platform/ILocaleInfo.h"
#include "platform/IShell.h"
#include "platform/IKnownFolders.h"
#include "platform/IMessageBoxes.h"
#include "platform/ITextCodec.h"
#include "platform/ITickCounter.h"

namespace parlino {

// The platform services one program instance runs on. The composition root
// fills it with the real implementations; tests fill it with fakes.
struct TPlatform {
    ITextCodec& Codec;
    ILocaleInfo& Locale;
    ITickCounter& Ticks;
    IKnownFolders& Folders;
    IShell& Shell;
    IMessageBoxes& Messages;
};

} // namespace parlino
