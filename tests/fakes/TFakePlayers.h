#pragma once
// Fakes of the services the player followers use: a tree of foreign windows,
// a line channel whose peer the test scripts, and a session bus with media
// players the test sets up. Each can misbehave on demand: windows vanish,
// peers send garbage or fall silent, players stop answering.

#include "app/TPlayerEnvironment.h"
#include "platform/IMprisBus.h"
#include "platform/IWindowSystem.h"

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace parlino::test {

class TFakeWindowSystem final : public IWindowSystem {
public:
    struct TButton {
        bool Enabled = true, Checked = false;
    };
    struct TWindow {
        THwnd Parent = 0;
        std::string Class, Text;
        bool Minimized = false;
        std::map<uint32_t, TButton> Buttons;
    };
    // The windows of one player: main window, toolbar, status dialog and its
    // two labels, the second showing the position.
    struct TPlayerWindows {
        THwnd Main, Toolbar, Dialog, FirstLabel, PositionLabel;
    };

    bool Foreign = true;
    std::map<THwnd, TWindow> Windows; // handles grow in creation order, the system's search order
    THwnd Foreground = 0;
    int Restores = 0;

    THwnd Add(THwnd parent, const std::string& className, const std::string& text = {}) {
        const THwnd handle = FNext++;
        Windows[handle] = TWindow{parent, className, text, false, {}};
        return handle;
    }
    void Remove(THwnd window) {
        std::vector<THwnd> children;
        for (const auto& [handle, w] : Windows)
            if (w.Parent == window) children.push_back(handle);
        for (THwnd child : children) Remove(child);
        Windows.erase(window);
    }
    // A player window tree showing `position` with the pause button enabled
    // and up, and stop up: playing.
    TPlayerWindows AddPlayer(const std::string& position) {
        TPlayerWindows p{};
        p.Main = Add(0, "MediaPlayerClassicW", "film.mkv - Player");
        p.Toolbar = Add(p.Main, "ToolbarWindow32");
        Windows[p.Toolbar].Buttons = {{888, {}}, {890, {}}};
        p.Dialog = Add(p.Main, "#32770");
        p.FirstLabel = Add(p.Dialog, "Static", "Playing");
        p.PositionLabel = Add(p.Dialog, "Static", position);
        return p;
    }

    bool HasForeignWindows() const override { return Foreign; }
    THwnd FindWindow(const std::string& className) override { return FindChild(0, 0, className); }
    THwnd FindWindowEx(THwnd parent, THwnd childAfter, const std::string& className) override {
        return parent ? FindChild(parent, childAfter, className) : 0;
    }
    std::string GetWindowText(THwnd window, int maxCount) override {
        auto found = Windows.find(window);
        if (found == Windows.end() || maxCount <= 0) return {};
        return found->second.Text.substr(0, static_cast<size_t>(maxCount - 1));
    }
    intptr_t SendMessage(THwnd window, uint32_t message, uintptr_t wParam, intptr_t) override {
        auto found = Windows.find(window);
        if (found == Windows.end()) return 0;
        auto button = found->second.Buttons.find(static_cast<uint32_t>(wParam));
        if (button == found->second.Buttons.end()) return 0;
        if (message == TB_ISBUTTONENABLED) return button->second.Enabled ? 1 : 0;
        if (message == TB_ISBUTTONCHECKED) return button->second.Checked ? 1 : 0;
        return 0;
    }
    bool ShowWindow(THwnd window, int command) override {
        if (!Windows.count(window)) return false;
        if (command == SW_RESTORE) {
            Windows[window].Minimized = false;
            ++Restores;
        }
        return true;
    }
    bool SetForegroundWindow(THwnd window) override {
        if (!Windows.count(window)) return false;
        Foreground = window;
        return true;
    }

private:
    THwnd FindChild(THwnd parent, THwnd after, const std::string& className) const {
        for (auto it = after ? Windows.upper_bound(after) : Windows.begin(); it != Windows.end(); ++it)
            if (it->second.Parent == parent && it->second.Class == className) return it->first;
        return 0;
    }
    THwnd FNext = 0x100;
};

// The other end of a fake line channel, scripted by the test.
struct TFakeLinePeer {
    bool Listening = true;                // Open succeeds
    std::vector<std::string> OpenedPaths;
    std::vector<std::string> Sent;        // every line the follower sent
    std::deque<std::string> Incoming;     // lines the next ReadLines returns
    bool HangUp = false;                  // the next ReadLines reports the peer gone
};

class TFakeLineChannel final : public ILineChannel {
public:
    explicit TFakeLineChannel(std::shared_ptr<TFakeLinePeer> peer) : FPeer(std::move(peer)) {}
    bool Open(const std::string& path) override {
        FPeer->OpenedPaths.push_back(path);
        FPeer->HangUp = false;
        return FOpen = FPeer->Listening;
    }
    bool IsOpen() const override { return FOpen; }
    void Close() override { FOpen = false; }
    bool Send(const std::string& line) override {
        if (!FOpen) return false;
        FPeer->Sent.push_back(line);
        return true;
    }
    std::vector<std::string> ReadLines() override {
        std::vector<std::string> lines(FPeer->Incoming.begin(), FPeer->Incoming.end());
        FPeer->Incoming.clear();
        if (FPeer->HangUp) FOpen = false;
        return lines;
    }

private:
    std::shared_ptr<TFakeLinePeer> FPeer;
    bool FOpen = false;
};

// Media players on a fake session bus. Requests are answered at once unless
// a player is told not to answer; the follower takes the answers at its next
// tick, as it would from the real bus.
class TFakeMprisBus final : public IMprisBus {
public:
    struct TPlayer {
        std::string Status = "Playing";
        std::optional<int64_t> PositionUs = 0;
        std::string Url; // Metadata's xesam:url
        bool CanRaise = true;
        std::optional<double> Volume = 1.0;
        bool CanControl = true, CanPause = true;
        bool Answers = true;
        std::string Error; // non-empty: state requests fail with it
    };
    bool Up = true;
    bool AnswerNames = true;
    std::vector<std::string> Names; // the bus's order
    std::map<std::string, TPlayer> Players;
    std::vector<std::string> Raised;
    int StateRequests = 0;

    TPlayer& AddPlayer(const std::string& service) {
        Names.push_back(service);
        return Players[service];
    }
    void RemovePlayer(const std::string& service) {
        Names.erase(std::remove(Names.begin(), Names.end(), service), Names.end());
        Players.erase(service);
    }

    bool Connected() override { return Up; }
    void RequestNames() override {
        if (!AnswerNames) return;
        TMprisReply reply;
        reply.Kind = TMprisReply::TKind::Names;
        reply.Names = Names;
        reply.Names.insert(reply.Names.begin(), "org.freedesktop.Notifications"); // not a player
        FReplies.push_back(reply);
    }
    void RequestState(const std::string& service) override {
        ++StateRequests;
        TMprisReply reply;
        reply.Service = service;
        auto found = Players.find(service);
        if (found == Players.end()) {
            reply.Error = "org.freedesktop.DBus.Error.ServiceUnknown: gone";
        } else if (!found->second.Answers) {
            return;
        } else if (!found->second.Error.empty()) {
            reply.Error = found->second.Error;
        } else {
            reply.Kind = TMprisReply::TKind::State;
            reply.PlaybackStatus = found->second.Status;
            reply.PositionUs = found->second.PositionUs;
            reply.CanRaise = found->second.CanRaise;
            reply.Url = found->second.Url;
            reply.Volume = found->second.Volume;
            reply.CanControl = found->second.CanControl;
            reply.CanPause = found->second.CanPause;
        }
        FReplies.push_back(reply);
    }
    std::vector<TMprisReply> TakeReplies() override { return std::exchange(FReplies, {}); }
    void Raise(const std::string& service) override { Raised.push_back(service); }
    // A player that can be controlled takes the new volume and play state.
    void SetVolume(const std::string& service, double volume) override {
        auto found = Players.find(service);
        if (found != Players.end() && found->second.CanControl) found->second.Volume = volume;
    }
    void PlayOrPause(const std::string& service, bool play) override {
        Commands.push_back(service + (play ? " Play" : " Pause"));
        auto found = Players.find(service);
        if (found != Players.end() && found->second.CanPause) found->second.Status = play ? "Playing" : "Paused";
    }
    std::vector<std::string> Commands;

private:
    std::vector<TMprisReply> FReplies;
};

// All three, as a window under test receives them.
struct TFakePlayers {
    TFakeWindowSystem Windows;
    std::shared_ptr<TFakeLinePeer> Mpv = std::make_shared<TFakeLinePeer>();
    TFakeMprisBus Bus;
    TPlayerEnvironment Environment{
        Windows, [peer = Mpv] { return std::make_unique<TFakeLineChannel>(peer); }, &Bus};
};

} // namespace parlino::test
