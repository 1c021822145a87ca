#pragma once
// The composition root of the window, per system: the real platform services,
// speech engines, sound devices and player links the main window runs on.
// src/app/linux/TAppServices.cpp builds the Linux ones, src/app/win/ the
// Windows ones; main.cpp is the same on both.

#include "app/TPlayerEnvironment.h"
#include "app/TSpeechEnvironment.h"
#include "platform/IEventPoster.h"
#include "platform/IMessageBoxes.h"
#include "platform/TPlatform.h"

#include <memory>
#include <string>

namespace parlino {

class TAppServices {
public:
    // Why the window cannot start on this system now (for example no display
    // to show it on); empty when it can. Asked before anything is made.
    static std::string StartProblem();

    // `poster` and `messages` must outlive the services.
    TAppServices(IEventPoster& poster, IMessageBoxes& messages);
    ~TAppServices();
    TAppServices(const TAppServices&) = delete;
    TAppServices& operator=(const TAppServices&) = delete;

    // The services, for the main window; each lives as long as this object.
    TPlatform& Platform();
    TSpeechEnvironment& Speech();
    TPlayerEnvironment& Players();

private:
    struct TImpl;
    std::unique_ptr<TImpl> F;
};

} // namespace parlino
