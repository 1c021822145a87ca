#pragma once
#include "platform/ILineChannel.h"

#include <string>

namespace parlino {

// A line channel over a non-blocking Unix stream socket. Lines longer than
// MaxLineBytes are cut there, so a peer that never sends a line feed cannot
// make the buffer grow without end. Only a peer that runs as this user is
// talked to (its credentials, SO_PEERCRED): Open refuses any other, as a
// socket where nothing listens.
class TUnixLineChannel final : public ILineChannel {
public:
    static constexpr size_t MaxLineBytes = 1 << 20;

    TUnixLineChannel() = default;
    ~TUnixLineChannel() override { Close(); }
    TUnixLineChannel(const TUnixLineChannel&) = delete;
    TUnixLineChannel& operator=(const TUnixLineChannel&) = delete;

    bool Open(const std::string& path) override;
    bool IsOpen() const override { return FSocket >= 0; }
    void Close() override;
    bool Send(const std::string& line) override;
    std::vector<std::string> ReadLines() override;

private:
    bool Flush();
    bool PeerIsThisUser() const;

    int FSocket = -1;
    bool FConnecting = false; // connect() still in progress
    std::string FIn, FOut;
};

} // namespace parlino
