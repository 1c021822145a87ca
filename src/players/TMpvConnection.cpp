#include "players/TMpvConnection.h"

#include "platform/Exceptions.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

namespace parlino {
namespace {

using json = nlohmann::json;

// Observer ids of the play-state properties.
enum TObserved : int { PauseProp = 2, IdleActive, EofReached, CoreIdle, FilmPath, ShownSub, VolumeProp };

const char* const ObserveCommands[] = {
    R"({"command":["observe_property",2,"pause"]})",
    R"({"command":["observe_property",3,"idle-active"]})",
    R"({"command":["observe_property",4,"eof-reached"]})",
    R"({"command":["observe_property",5,"core-idle"]})",
    R"({"command":["observe_property",6,"path"]})",
    R"({"command":["observe_property",7,"current-tracks/sub"]})",
    R"({"command":["observe_property",8,"volume"]})",
};

std::string Shorten(const std::string& s) { return s.size() <= 80 ? s : s.substr(0, 77) + "..."; }

} // namespace

TMpvConnection::TMpvConnection(std::unique_ptr<ILineChannel> channel, std::string socketPath,
                               const ITickCounter& ticks)
    : FChannel(std::move(channel)), FSocketPath(std::move(socketPath)), FTicks(ticks), FPosition(ticks) {}

void TMpvConnection::Connect() {
    if (!FChannel->Open(FSocketPath)) return;
    FAnswered = false;
    FAskedAt.reset();
    FLastHeard = FTicks.GetTickCount();
    for (const char* command : ObserveCommands)
        if (!FChannel->Send(command)) return;
    AskPosition(FLastHeard);
}

void TMpvConnection::AskPosition(uint32_t now) {
    FAskId = int64_t{now} + 1;
    if (FChannel->Send(R"({"command":["get_property","time-pos"],"request_id":)" + std::to_string(FAskId) + "}"))
        FAskedAt = now;
}

void TMpvConnection::Disconnect() {
    FChannel->Close();
    FAnswered = false;
    FAskedAt.reset();
    FPosition.Clear();
    FPaused = FIdle = FCoreIdle = true;
    FEof = false;
    FVolume.reset();
}

bool TMpvConnection::IsConnected() {
    if (!FChannel->IsOpen()) Connect();
    if (!FChannel->IsOpen()) return false;
    for (const std::string& line : FChannel->ReadLines()) {
        FAnswered = true;
        FLastHeard = FTicks.GetTickCount();
        Handle(line);
    }
    if (!FChannel->IsOpen()) { // the player quit
        Disconnect();
        return false;
    }
    const uint32_t now = FTicks.GetTickCount();
    if (FAskedAt && now - *FAskedAt >= AnswerTimeoutMs && now - FLastHeard >= AnswerTimeoutMs) {
        // Connected, but the player has stopped answering: drop the connection
        // and look for the player again.
        Disconnect();
        return false;
    }
    if (!FAskedAt) AskPosition(now); // one question at a time, so a slow player is not flooded
    FPosition.SetRunning(IsPlaying() && !FCoreIdle);
    return FAnswered && FChannel->IsOpen();
}

void TMpvConnection::Handle(const std::string& line) {
    try {
        HandleMessage(json::parse(line));
    } catch (const json::exception&) {
        FBadLine = line; // not JSON, or a field of an unexpected type
    }
}

void TMpvConnection::HandleMessage(const nlohmann::json& message) {
    if (!message.is_object()) throw json::type_error::create(302, "not an object", &message);
    const auto asBool = [](const json& data, bool fallback) { return data.is_boolean() ? data.get<bool>() : fallback; };
    const json data = message.value("data", json());
    if (message.contains("request_id")) {
        if (!FAskedAt || message["request_id"] != FAskId) return; // an answer to an older question
        const uint32_t askedAt = *FAskedAt;
        FAskedAt.reset();
        if (data.is_number() && std::isfinite(data.get<double>()))
            FPosition.Report(std::llround(data.get<double>() * 1000), askedAt);
        else FPosition.Clear(); // no file loaded
        return;
    }
    if (message.value("event", "") != "property-change" || !message.contains("id")) return;
    switch (message["id"].is_number_integer() ? message["id"].get<int>() : 0) {
    case PauseProp: FPaused = asBool(data, true); break;
    case IdleActive: FIdle = asBool(data, false); break;
    case EofReached: FEof = asBool(data, false); break;
    case CoreIdle: FCoreIdle = asBool(data, true); break;
    case FilmPath:
        if (data.is_string()) FFilmPath = data.get<std::string>();
        else FFilmPath.reset();
        break;
    case ShownSub:
        FShown = {};
        if (data.is_object()) {
            if (data.value("external", false)) FShown.File = data.value("external-filename", "");
            else if (data.value("ff-index", json()).is_number_integer()) FShown.StreamIndex = data["ff-index"].get<int>();
        }
        break;
    case VolumeProp:
        if (data.is_number() && std::isfinite(data.get<double>())) FVolume = data.get<double>();
        else FVolume.reset();
        break;
    default: break;
    }
}

// mpv's volume is a percentage on a cubic scale: 50 % is an eighth of the amplitude.
std::optional<double> TMpvConnection::FilmVolume() {
    if (!FVolume || !FAnswered || !FChannel->IsOpen()) return std::nullopt;
    return std::pow(std::max(0.0, *FVolume) / 100.0, 3.0);
}

bool TMpvConnection::SetFilmVolume(double amplitude) {
    if (!FVolume || !FChannel->IsOpen()) return false;
    const double percent = 100.0 * std::cbrt(std::clamp(amplitude, 0.0, 8.0));
    json command = {{"command", {"set_property", "volume", percent}}};
    return FChannel->Send(command.dump());
}

bool TMpvConnection::CanHoldFilm() { return FAnswered && FChannel->IsOpen(); }

void TMpvConnection::HoldFilm(bool hold) {
    if (FChannel->IsOpen()) FChannel->Send(hold ? R"({"command":["set_property","pause",true]})"
                                                : R"({"command":["set_property","pause",false]})");
}

std::optional<TShownSubtitles> TMpvConnection::ShownSubtitles() {
    if (!FFilmPath || !FChannel->IsOpen()) return std::nullopt;
    TShownSubtitles shown = FShown;
    shown.FilmPath = *FFilmPath;
    return shown;
}

bool TMpvConnection::IsPlaying() {
    return FAnswered && FChannel->IsOpen() && !FPaused && !FIdle && !FEof && FPosition.Position().has_value();
}

int32_t TMpvConnection::GetPosition() {
    if (!FBadLine.empty()) {
        const std::string line = std::move(FBadLine);
        FBadLine.clear();
        throw EPlayerError("mpv sent a message that cannot be read: " + Shorten(line));
    }
    return FPosition.Position().value_or(0);
}

} // namespace parlino
