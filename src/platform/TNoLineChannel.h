#pragma once
// A line channel for a system without the players' Unix sockets (Windows,
// where mpv listens on a named pipe instead): nothing ever listens, so the
// mpv follower finds no player.

#include "platform/ILineChannel.h"

namespace parlino {

class TNoLineChannel final : public ILineChannel {
public:
    bool Open(const std::string&) override { return false; }
    bool IsOpen() const override { return false; }
    void Close() override {}
    bool Send(const std::string&) override { return false; }
    std::vector<std::string> ReadLines() override { return {}; }
};

} // namespace parlino
