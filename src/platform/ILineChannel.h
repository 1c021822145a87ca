#pragma once
// A line-based channel to a local server over a Unix socket, the way players
// take commands from other programs (one JSON message per line). No call
// ever blocks: connecting, sending and reading all return at once, so the
// 100 ms tick that uses it never waits on the other side.

#include <string>
#include <vector>

namespace parlino {

class ILineChannel {
public:
    virtual ~ILineChannel() = default;
    // Connects to the socket at `path`; false when nothing listens there or
    // the connection cannot be made now. Closes an open channel first.
    virtual bool Open(const std::string& path) = 0;
    virtual bool IsOpen() const = 0;
    virtual void Close() = 0;
    // Sends `line` and a line feed; what the socket does not take now is
    // sent by later calls. False (and closed) when the peer has gone.
    virtual bool Send(const std::string& line) = 0;
    // The complete lines received since the last call, without line feeds.
    // A line split across reads is returned once it is complete. Closes the
    // channel when the peer has gone; the lines read before that are still
    // returned.
    virtual std::vector<std::string> ReadLines() = 0;
};

} // namespace parlino
