#pragma once
// The legacy voice API on Windows: the interfaces of speech/speech.h over the
// system's SAPI 4 through COM, with our own declarations of its interfaces
// (platform/win/Sapi4Com.h). Objects are made with class context 7 (in-process
// server, in-process handler, local server). The notification sinks given to
// the central are wrapped in COM objects of ours; what the engine tells them
// is handed on through the poster, so it reaches the program's sinks on the
// program's thread whichever thread the engine calls from. The program's
// ITTSCentralAhead is not offered: the speed factor is ignored and Prepare
// answers 0 (TUbSpeech's behaviour without it).
//
// Everything is called on the program's thread, which the classes object
// initialises for COM (a single-threaded apartment).

#include "platform/IEventPoster.h"
#include "speech/speech.h"

#include <memory>

namespace parlino {

// True when "CLSID\{D67C0280-C743-11cd-80E5-00AA003E4B50}" (the enumerator)
// exists under HKEY_CLASSES_ROOT. Reads the registry on every call; a failure
// counts as not installed.
bool Sapi4ClassRegistered();

class TSapi4Classes final : public ITTSClasses {
public:
    // The poster must outlive the classes and everything they make.
    explicit TSapi4Classes(IEventPoster& poster);
    ~TSapi4Classes() override;
    TSapi4Classes(const TSapi4Classes&) = delete;
    TSapi4Classes& operator=(const TSapi4Classes&) = delete;

    // Null when the class is not registered or gives no such interface.
    std::shared_ptr<ITTSEnumA> CreateEnum() override;
    std::shared_ptr<IAudioMultiMediaDevice> CreateMultiMediaDevice() override;
    std::shared_ptr<IAudioFile> CreateAudioFile() override;

private:
    struct TImpl;
    std::unique_ptr<TImpl> F;
};

} // namespace parlino
