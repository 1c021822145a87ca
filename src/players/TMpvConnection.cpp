#include "players/TMpvConnection.h"

#include "platform/Exceptions.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace parlino {
namespace {

using json = nlohmann::json;

// Observer ids of the properties the follower keeps.
enum TObserved : int { TimePos = 1, PauseProp, IdleActive, EofReached, CoreIdle };
constexpr int PingRequestId = 100;

const char* const ObserveCommands[] = {
    R"({"command":["observe_property",1,"time-pos"]})",
    R"({"command":["observe_property",2,"pause"]})",
    R"({"command":["observe_property",3,"idle-active"]})",
    R"({"command":["observe_property",4,"eof-reached"]})",
    R"({"command":["observe_property",5,"core-idle"]})",
};
const std::string PingCommand = R"({"command":["get_property","time-pos"],"request_id":100})";

std::string Shorten(const std::string& s) { return s.size() <= 80 ? s : s.substr(0, 77) + "..."; }

} // namespace

TMpvConnection::TMpvConnection(std::unique_ptr<ILineChannel> channel, std::string socketPath,
                               const ITickCounter& ticks)
    : FChannel(std::move(channel)), FSocketPath(std::move(socketPath)), FTicks(ticks), FPosition(ticks) {}

void TMpvConnection::Connect() {
    if (!FChannel->Open(FSocketPath)) return;
    FAnswered = false;
    FPingSince.reset();
    FLastPing = FLastHeard = FTicks.GetTickCount();
    for (const char* command : ObserveCommands)
        if (!FChannel->Send(command)) return;
    // Answered at once by a live player; it also proves the player answers
    // when none of the observed properties is available yet.
    if (FChannel->Send(PingCommand)) FPingSince = FLastPing;
}

void TMpvConnection::Disconnect() {
    FChannel->Close();
    FAnswered = false;
    FPingSince.reset();
    FPosition.Clear();
    FPaused = FIdle = FCoreIdle = true;
    FEof = false;
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
    if (FPingSince && now - *FPingSince >= AnswerTimeoutMs && now - FLastHeard >= AnswerTimeoutMs) {
        // Connected, but the player has stopped answering: drop the connection
        // and look for the player again.
        Disconnect();
        return false;
    }
    if (!FPingSince && now - FLastPing >= PingIntervalMs) {
        FLastPing = now;
        if (FChannel->Send(PingCommand)) FPingSince = now;
    }
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
    if (message.contains("request_id") && message["request_id"] == PingRequestId) {
        FPingSince.reset();
        const json data = message.value("data", json());
        if (data.is_number() && std::isfinite(data.get<double>())) FPosition.Report(std::llround(data.get<double>() * 1000));
        return;
    }
    if (message.value("event", "") != "property-change" || !message.contains("id")) return;
    const json data = message.value("data", json());
    switch (message["id"].is_number_integer() ? message["id"].get<int>() : 0) {
    case TimePos:
        if (data.is_number() && std::isfinite(data.get<double>())) FPosition.Report(std::llround(data.get<double>() * 1000));
        else FPosition.Clear(); // no file loaded
        break;
    case PauseProp: FPaused = asBool(data, true); break;
    case IdleActive: FIdle = asBool(data, false); break;
    case EofReached: FEof = asBool(data, false); break;
    case CoreIdle: FCoreIdle = asBool(data, true); break;
    default: break;
    }
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
