// The mpv follower on what a player sends over its socket: each line of the
// input is one line from the player, read at a tick of its own, 100 ms after
// the one before; an empty line is a tick with nothing received.

#include "FuzzSupport.h"
#include "platform/Exceptions.h"
#include "players/TMpvConnection.h"

#include <utility>

using namespace parlino;

namespace {

// A player that is always there and says what the input says.
class TScriptedChannel final : public ILineChannel {
public:
    std::vector<std::string> Next;
    bool Open(const std::string&) override { return FOpen = true; }
    bool IsOpen() const override { return FOpen; }
    void Close() override { FOpen = false; }
    bool Send(const std::string&) override { return FOpen; }
    std::vector<std::string> ReadLines() override { return std::exchange(Next, {}); }

private:
    bool FOpen = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input = fuzz::AsText(data, size);
    fuzz::TTicks ticks(1000); // the first question's id is 1001
    auto owned = std::make_unique<TScriptedChannel>();
    TScriptedChannel& channel = *owned;
    TMpvConnection mpv(std::move(owned), "/nowhere/mpv.sock", ticks);

    fuzz::ForEachLine(input, [&](std::string_view line) {
        if (!line.empty())
            channel.Next.emplace_back(line);
        const bool connected = mpv.IsConnected();
        const bool playing = mpv.IsPlaying();
        FUZZ_CHECK(connected || !playing);
        try {
            mpv.GetPosition();
        } catch (const EPlayerError&) {
            // A line that could not be read is reported once.
            mpv.GetPosition();
        }
        ticks.Now += 100;
    });
    return 0;
}
