#include "players/TMprisConnection.h"

#include "platform/Exceptions.h"

#include <algorithm>

namespace parlino {
namespace {

// The file a file:// address names, with its %XX escapes undone; none for
// any other address (a stream, a disc) or a broken escape.
std::optional<std::string> LocalPath(const std::string& url) {
    constexpr std::string_view scheme = "file://";
    if (url.size() <= scheme.size() || url.compare(0, scheme.size(), scheme) != 0) return std::nullopt;
    std::string path;
    for (size_t i = scheme.size(); i < url.size(); ++i) {
        if (url[i] != '%') {
            path.push_back(url[i]);
            continue;
        }
        const auto hex = [](char c) {
            return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        };
        if (i + 2 >= url.size() || hex(url[i + 1]) < 0 || hex(url[i + 2]) < 0) return std::nullopt;
        path.push_back(char(hex(url[i + 1]) * 16 + hex(url[i + 2])));
        i += 2;
    }
    if (path.empty() || path.front() != '/') return std::nullopt; // file://host/... is not local
    return path;
}

bool IsGone(const std::string& error) {
    // The bus's own answer for a service that has left it.
    return error.find("ServiceUnknown") != std::string::npos || error.find("NameHasNoOwner") != std::string::npos;
}
} // namespace

TMprisConnection::TMprisConnection(IMprisBus* bus, const ITickCounter& ticks) : FBus(bus), FTicks(ticks) {}

bool TMprisConnection::IsConnected() {
    if (!FBus || !FBus->Connected()) {
        FFollowed.clear();
        return false;
    }
    const uint32_t now = FTicks.GetTickCount();
    TakeReplies(now);
    Ask(now);
    Choose(now);
    return !FFollowed.empty();
}

void TMprisConnection::TakeReplies(uint32_t now) {
    for (TMprisReply& reply : FBus->TakeReplies()) {
        if (reply.Kind == TMprisReply::TKind::Names) {
            FNamesAsked.reset();
            FNamesAnswered = now;
            FNames.clear();
            for (const std::string& name : reply.Names)
                if (name.rfind(ServicePrefix, 0) == 0) FNames.push_back(name);
            std::erase_if(FPlayers, [&](const auto& p) {
                return std::find(FNames.begin(), FNames.end(), p.first) == FNames.end();
            });
            for (const std::string& name : FNames)
                if (!FPlayers.count(name)) FPlayers.emplace(name, std::make_unique<TPlayer>(FTicks));
            continue;
        }
        if (reply.Service.empty()) { // the names request failed
            FNamesAsked.reset();
            continue;
        }
        auto found = FPlayers.find(reply.Service);
        if (found == FPlayers.end()) continue; // a player that has left the list meanwhile
        TPlayer& player = *found->second;
        const uint32_t askedAt = player.AskedSince.value_or(now);
        player.AskedSince.reset();
        if (reply.Kind == TMprisReply::TKind::Failure) {
            if (IsGone(reply.Error)) {
                FNames.erase(std::remove(FNames.begin(), FNames.end(), reply.Service), FNames.end());
                FPlayers.erase(found);
            } else if (reply.Service == FFollowed) {
                FError = reply.Error;
            }
            continue;
        }
        player.Status = reply.PlaybackStatus;
        player.CanRaise = reply.CanRaise;
        player.Url = reply.Url;
        player.Volume = reply.Volume;
        player.CanControl = reply.CanControl;
        player.CanPause = reply.CanPause;
        player.LastState = now;
        player.Position.Report(reply.PositionUs.value_or(0) / 1000, askedAt);
        player.Position.SetRunning(player.Status == "Playing");
    }
}

void TMprisConnection::Ask(uint32_t now) {
    const bool namesDue = !FNamesAnswered || now - *FNamesAnswered >= NamesIntervalMs;
    if (namesDue && (!FNamesAsked || now - *FNamesAsked >= StaleMs)) {
        FNamesAsked = now;
        FBus->RequestNames();
    }
    for (const std::string& name : FNames) {
        TPlayer& player = *FPlayers.at(name);
        if (player.AskedSince && now - *player.AskedSince < StaleMs) continue;
        player.AskedSince = now;
        FBus->RequestState(name);
    }
}

void TMprisConnection::Choose(uint32_t now) {
    const auto usable = [&](const std::string& name) {
        const TPlayer& player = *FPlayers.at(name);
        return player.LastState && now - *player.LastState < StaleMs;
    };
    std::string chosen;
    for (const std::string& name : FNames)
        if (usable(name) && FPlayers.at(name)->Status == "Playing") {
            chosen = name;
            break;
        }
    if (chosen.empty())
        for (const std::string& name : FNames)
            if (usable(name)) {
                chosen = name;
                break;
            }
    if (chosen != FFollowed) FError.clear();
    FFollowed = chosen;
    if (FRaisePending && !FFollowed.empty()) {
        FRaisePending = false;
        if (FPlayers.at(FFollowed)->CanRaise) FBus->Raise(FFollowed);
    }
}

std::optional<TShownSubtitles> TMprisConnection::ShownSubtitles() {
    const TPlayer* player = FollowedPlayer();
    const std::optional<std::string> path = player ? LocalPath(player->Url) : std::nullopt;
    if (!path) return std::nullopt;
    TShownSubtitles shown;
    shown.FilmPath = *path;
    shown.Guess = true;
    return shown;
}

TMprisConnection::TPlayer* TMprisConnection::FollowedPlayer() {
    if (FFollowed.empty()) return nullptr;
    auto found = FPlayers.find(FFollowed);
    return found == FPlayers.end() ? nullptr : found->second.get();
}

bool TMprisConnection::IsPlaying() {
    const TPlayer* player = FollowedPlayer();
    return player && player->Status == "Playing";
}

int32_t TMprisConnection::GetPosition() {
    if (!FError.empty()) {
        const std::string error = std::move(FError);
        FError.clear();
        throw EPlayerError("The media player " + FFollowed.substr(std::string(ServicePrefix).size()) +
                           " sent an answer that cannot be read: " + error);
    }
    const TPlayer* player = FollowedPlayer();
    return player ? player->Position.Position().value_or(0) : 0;
}

std::optional<double> TMprisConnection::FilmVolume() {
    const TPlayer* player = FollowedPlayer();
    if (!player || !player->CanControl || !player->Volume) return std::nullopt;
    return std::max(0.0, *player->Volume);
}

bool TMprisConnection::SetFilmVolume(double amplitude) {
    const TPlayer* player = FollowedPlayer();
    if (!player || !player->CanControl || !player->Volume) return false;
    FBus->SetVolume(FFollowed, std::max(0.0, amplitude));
    return true;
}

bool TMprisConnection::CanHoldFilm() {
    const TPlayer* player = FollowedPlayer();
    return player && player->CanControl && player->CanPause;
}

void TMprisConnection::HoldFilm(bool hold) {
    if (!FFollowed.empty()) FBus->PlayOrPause(FFollowed, !hold);
}

void TMprisConnection::Activate() {
    if (!FBus) return;
    FRaisePending = true;
    if (!FFollowed.empty()) Choose(FTicks.GetTickCount());
}

} // namespace parlino
