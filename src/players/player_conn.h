#pragma once
// The follower of a desktop player watched from outside through its windows:
// it finds the player's main window by class, reads the position from the
// text of the second label of its status dialog, and tells from two toolbar
// buttons whether the film plays. It cannot control the player, and keeps no
// connection: every query searches the windows anew.

#include "platform/ILocaleInfo.h"
#include "platform/IWindowSystem.h"
#include "players/TPlayerFollower.h"

#include <string>
#include <vector>

namespace parlino {

class TMPCConnection final : public TPlayerFollower {
public:
    static constexpr const char* MainWindowClass = "MediaPlayerClassicW";
    static constexpr const char* ToolbarClass = "ToolbarWindow32";
    static constexpr const char* DialogClass = "#32770";
    static constexpr const char* LabelClass = "Static";

    TMPCConnection(IWindowSystem& windows, const ILocaleInfo& locale);

    bool FindPlayer() override;
    bool IsPlaying() override;
    bool IsConnected() override { return FindPlayer(); }
    // Milliseconds before the "/" of the position text; 0 without a label,
    // a text or a "/"; throws EConvertError when that is not a valid time.
    int32_t GetPosition() override;
    void Activate() override;

    // Handles of the last search.
    THwnd MainWindow = 0;
    THwnd PositionLabel = 0;
    THwnd Toolbar = 0;
    uint32_t PauseButtonId = 888;
    uint32_t StopButtonId = 890;
    std::vector<std::string> Parts; // scratch: the components of a time text

private:
    IWindowSystem& FWindows;
    const ILocaleInfo& FLocale;
};

} // namespace parlino
