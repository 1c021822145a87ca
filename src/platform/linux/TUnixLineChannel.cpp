#include "platform/linux/TUnixLineChannel.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace parlino {

bool TUnixLineChannel::Open(const std::string& path) {
    Close();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    FSocket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (FSocket < 0) return false;
    if (::connect(FSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        if (PeerIsThisUser()) return true;
        Close();
        return false;
    }
    if (errno == EINPROGRESS || errno == EAGAIN) { // the listener's backlog is full; it may still accept
        FConnecting = true;
        return true;
    }
    Close();
    return false;
}

bool TUnixLineChannel::PeerIsThisUser() const {
    ucred peer{};
    socklen_t length = sizeof peer;
    return ::getsockopt(FSocket, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && length == sizeof peer &&
           peer.uid == ::geteuid();
}

void TUnixLineChannel::Close() {
    if (FSocket >= 0) ::close(FSocket);
    FSocket = -1;
    FConnecting = false;
    FIn.clear();
    FOut.clear();
}

bool TUnixLineChannel::Send(const std::string& line) {
    if (!IsOpen()) return false;
    FOut += line;
    FOut += '\n';
    return Flush();
}

bool TUnixLineChannel::Flush() {
    if (FConnecting) {
        pollfd p{FSocket, POLLOUT, 0};
        if (::poll(&p, 1, 0) <= 0) return true; // still connecting: send later
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(FSocket, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            Close();
            return false;
        }
        FConnecting = false;
        if (!PeerIsThisUser()) {
            Close();
            return false;
        }
    }
    while (!FOut.empty()) {
        const ssize_t sent = ::send(FSocket, FOut.data(), FOut.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            FOut.erase(0, static_cast<size_t>(sent));
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true; // the peer reads slowly: the rest goes with a later call
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else {
            Close();
            return false;
        }
    }
    return true;
}

std::vector<std::string> TUnixLineChannel::ReadLines() {
    std::vector<std::string> lines;
    if (!IsOpen() || !Flush()) return lines;
    if (FConnecting) return lines;
    bool gone = false;
    char buffer[65536];
    // At most a few buffers a call, so that a peer that floods the socket
    // cannot keep the caller reading.
    for (int reads = 0; reads < 64; ++reads) {
        const ssize_t got = ::recv(FSocket, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0) {
            FIn.append(buffer, static_cast<size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        gone = got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    size_t start = 0;
    for (size_t end; (end = FIn.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = FIn.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
    }
    FIn.erase(0, start);
    while (FIn.size() > MaxLineBytes) { // a line without end: hand it on in pieces
        lines.push_back(FIn.substr(0, MaxLineBytes));
        FIn.erase(0, MaxLineBytes);
    }
    if (gone) {
        if (!FIn.empty()) lines.push_back(std::move(FIn)); // the peer's last words had no line feed
        Close();
    }
    return lines;
}

} // namespace parlino
