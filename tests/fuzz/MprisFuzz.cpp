// The media player follower on what the session bus hands over, once the
// bus layer has turned a message into a TMprisReply. The input is a script,
// one command a line:
//   names <service>...                  the players on the bus
//   state <service> <status> [<position us>] [raise]
//   fail [<service>] <error text>       a request that failed ("fail" alone: names)
//   tick <ms>                           the follower's tick, that much later
//   activate                            the user starts following
// A bare number as service means "org.mpris.MediaPlayer2.p<number>".

#include "FuzzSupport.h"
#include "platform/Exceptions.h"
#include "players/TMprisConnection.h"

#include <utility>

#include <algorithm>
#include <cstdlib>

using namespace parlino;

namespace {

class TScriptedBus final : public IMprisBus {
public:
    std::vector<TMprisReply> Pending;
    std::vector<std::string> Raised;
    bool Connected() override { return true; }
    void RequestNames() override {}
    void RequestState(const std::string&) override {}
    std::vector<TMprisReply> TakeReplies() override { return std::exchange(Pending, {}); }
    void Raise(const std::string& service) override { Raised.push_back(service); }
};

std::vector<std::string> Words(std::string_view line) {
    std::vector<std::string> words;
    size_t pos = 0;
    while (pos < line.size()) {
        const size_t start = line.find_first_not_of(' ', pos);
        if (start == std::string_view::npos)
            break;
        const size_t end = std::min(line.find(' ', start), line.size());
        words.emplace_back(line.substr(start, end - start));
        pos = end;
    }
    return words;
}

std::string Service(const std::string& word) {
    const bool number = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return c >= '0' && c <= '9';
    });
    return number ? TMprisConnection::ServicePrefix + ("p" + word) : word;
}

std::string Rest(const std::vector<std::string>& words, size_t from) {
    std::string text;
    for (size_t i = from; i < words.size(); ++i)
        text += (i > from ? " " : "") + words[i];
    return text;
}

void Perform(const std::vector<std::string>& words, TScriptedBus& bus, fuzz::TTicks& ticks,
             TMprisConnection& follower, std::vector<std::string>& names) {
    const std::string& command = words[0];
    TMprisReply reply;
    if (command == "names") {
        reply.Kind = TMprisReply::TKind::Names;
        for (size_t i = 1; i < words.size(); ++i)
            reply.Names.push_back(Service(words[i]));
        names = reply.Names;
        bus.Pending.push_back(std::move(reply));
    } else if (command == "state" && words.size() >= 3) {
        reply.Kind = TMprisReply::TKind::State;
        reply.Service = Service(words[1]);
        reply.PlaybackStatus = words[2];
        if (words.size() >= 4 && words[3] != "raise") {
            reply.PositionUs = std::strtoll(words[3].c_str(), nullptr, 10);
        }
        reply.CanRaise = words.back() == "raise";
        bus.Pending.push_back(std::move(reply));
    } else if (command == "fail") {
        reply.Kind = TMprisReply::TKind::Failure;
        if (words.size() >= 2)
            reply.Service = Service(words[1]);
        reply.Error = Rest(words, 2);
        bus.Pending.push_back(std::move(reply));
    } else if (command == "tick") {
        ticks.Now += words.size() >= 2 ? static_cast<uint32_t>(std::strtoul(words[1].c_str(), nullptr, 10)) : 100;
        const bool connected = follower.IsConnected();
        const std::string& followed = follower.Followed();
        // Only a player of the latest list is followed.
        FUZZ_CHECK(connected == !followed.empty());
        FUZZ_CHECK(followed.empty() || std::find(names.begin(), names.end(), followed) != names.end());
        FUZZ_CHECK(!follower.IsPlaying() || connected);
        try {
            follower.GetPosition();
        } catch (const EPlayerError&) {
            // An answer that could not be read is reported once.
            follower.GetPosition();
        }
    } else if (command == "activate") {
        follower.Activate();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input = fuzz::AsText(data, size);
    fuzz::TTicks ticks(0);
    TScriptedBus bus;
    TMprisConnection follower(&bus, ticks);
    std::vector<std::string> names;
    fuzz::ForEachLine(input, [&](std::string_view line) {
        const std::vector<std::string> words = Words(line);
        if (!words.empty())
            Perform(words, bus, ticks, follower, names);
    });
    // A window is raised only for a player that was on the bus.
    for (const std::string& raised : bus.Raised)
        FUZZ_CHECK(raised.rfind(TMprisConnection::ServicePrefix, 0) == 0);
    return 0;
}
