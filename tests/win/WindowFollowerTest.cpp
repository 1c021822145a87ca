// The window follower on Windows, against a stand-in player running in a
// process of its own: found by class, its position read, its play state told
// from the toolbar, restored and brought forward; what changes in the player
// is seen at the next query, and a player that quits is no longer found.

#include "platform/win/TWinFolders.h"
#include "platform/win/TWinLocaleInfo.h"
#include "platform/win/TWinWindowSystem.h"
#include "players/player_conn.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

namespace parlino {
namespace {

class StandInPlayer : public ::testing::Test {
protected:
    void SetUp() override {
        std::string command = "\"" + TWinFolders().ProgramFolder() +
                              "\\parlino-standin-player.exe\" \"00:01:02 / 01:30:00\"";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &Process));
        CloseHandle(Process.hThread);
        // The first window program of a fresh Wine prefix may take seconds to
        // start. The player's main window and toolbar are found before its
        // labels exist, so the wait lasts until the position can be read.
        DWORD exitCode = STILL_ACTIVE;
        const auto ready = [this] { return Follower.FindPlayer() && Follower.GetPosition() != 0; };
        for (int k = 0; k < 1500 && !ready() && exitCode == STILL_ACTIVE; ++k) {
            Sleep(20);
            GetExitCodeProcess(Process.hProcess, &exitCode);
        }
        ASSERT_NE(Follower.PositionLabel, 0u) << "the stand-in player did not start (exit code "
                                           << exitCode << ")";
    }
    void TearDown() override {
        if (Process.hProcess) {
            TerminateProcess(Process.hProcess, 0); // a no-op once it has quit
            CloseHandle(Process.hProcess);
        }
    }
    HWND Window(THwnd window) const { return reinterpret_cast<HWND>(window); }
    void SetButton(int id, bool enabled, bool checked) {
        SendMessageA(Window(Follower.Toolbar), TB_ENABLEBUTTON, id, MAKELONG(enabled, 0));
        SendMessageA(Window(Follower.Toolbar), TB_CHECKBUTTON, id, MAKELONG(checked, 0));
    }

    PROCESS_INFORMATION Process{};
    TWinWindowSystem Windows;
    TWinLocaleInfo Locale;
    TMPCConnection Follower{Windows, Locale};
};

TEST_F(StandInPlayer, IsFollowedThroughItsWindows) {
    EXPECT_EQ(Follower.GetPosition(), 62000);
    EXPECT_TRUE(Follower.IsPlaying());
    SetWindowTextA(Window(Follower.PositionLabel), "00:02:03 / 01:30:00");
    EXPECT_EQ(Follower.GetPosition(), 123000);

    // The play state from the pause and stop buttons.
    struct TCase {
        int Id;
        bool Enabled, Checked, Playing;
    };
    for (const TCase& c : {TCase{888, true, true, false}, TCase{888, true, false, true},
                           TCase{890, true, true, false}, TCase{890, true, false, true},
                           TCase{888, false, false, false}, TCase{888, true, false, true}}) {
        SetButton(c.Id, c.Enabled, c.Checked);
        EXPECT_EQ(Follower.IsPlaying(), c.Playing) << c.Id << c.Enabled << c.Checked;
    }

    ShowWindow(Window(Follower.MainWindow), SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(Window(Follower.MainWindow)));
    Follower.Activate();
    EXPECT_FALSE(IsIconic(Window(Follower.MainWindow)));

    PostMessageA(Window(Follower.MainWindow), WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(Process.hProcess, 10000), WAIT_OBJECT_0);
    EXPECT_FALSE(Follower.IsConnected());
    EXPECT_EQ(Follower.GetPosition(), 0);
}

} // namespace
} // namespace parlino
