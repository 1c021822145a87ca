// The socket line channel against a real listening Unix socket that the test
// plays the player on: lines split across reads, a peer that closes, one that
// never reads, one that never ends its line.

#include "platform/linux/TUnixLineChannel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace parlino;
using namespace std::chrono_literals;

namespace {

class UnixLineChannel : public ::testing::Test {
protected:
    void SetUp() override {
        Path = ::testing::TempDir() + "/parlino-line-" + std::to_string(getpid()) + ".sock";
        unlink(Path.c_str());
        Listener = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        Path.copy(address.sun_path, Path.size());
        ASSERT_EQ(bind(Listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(listen(Listener, 4), 0);
    }
    void TearDown() override {
        if (Peer >= 0) close(Peer);
        close(Listener);
        unlink(Path.c_str());
    }
    void Accept() {
        ASSERT_TRUE(Channel.Open(Path));
        Peer = accept(Listener, nullptr, nullptr);
        ASSERT_GE(Peer, 0);
    }
    void PeerWrites(const std::string& text) { ASSERT_EQ(write(Peer, text.data(), text.size()), ssize_t(text.size())); }
    // Reads until `count` lines came (or a second passed).
    std::vector<std::string> ReadLines(size_t count) {
        std::vector<std::string> lines;
        for (int i = 0; i < 100 && lines.size() < count; ++i) {
            for (std::string& l : Channel.ReadLines()) lines.push_back(std::move(l));
            if (lines.size() < count) std::this_thread::sleep_for(10ms);
        }
        return lines;
    }

    std::string Path;
    int Listener = -1, Peer = -1;
    TUnixLineChannel Channel;
};

} // namespace

TEST_F(UnixLineChannel, NothingListeningIsAQuickNo) {
    TUnixLineChannel other;
    EXPECT_FALSE(other.Open(Path + ".missing"));
    EXPECT_FALSE(other.IsOpen());
    EXPECT_FALSE(other.Open(std::string(200, 'x'))); // too long for a socket address
    EXPECT_FALSE(other.Send("x"));
    EXPECT_TRUE(other.ReadLines().empty());
}

TEST_F(UnixLineChannel, LinesSplitAcrossReadsComeWholeAndInOrder) {
    Accept();
    ASSERT_TRUE(Channel.Send(R"({"command":["get_property","pause"]})"));
    char buffer[256] = {};
    ASSERT_GT(read(Peer, buffer, sizeof buffer - 1), 0);
    EXPECT_STREQ(buffer, "{\"command\":[\"get_property\",\"pause\"]}\n");
    EXPECT_TRUE(Channel.ReadLines().empty()); // nothing yet, and no wait for it
    PeerWrites("{\"data\":tr");
    EXPECT_TRUE(ReadLines(1).empty());
    PeerWrites("ue}\r\n{\"a\":1}\n{\"b\"");
    EXPECT_EQ(ReadLines(2), (std::vector<std::string>{"{\"data\":true}", "{\"a\":1}"}));
    PeerWrites(":2}\n");
    EXPECT_EQ(ReadLines(1), std::vector<std::string>{"{\"b\":2}"});
    EXPECT_TRUE(Channel.IsOpen());
}

TEST_F(UnixLineChannel, APeerThatClosesHasItsLastWordsReadAndClosesTheChannel) {
    Accept();
    PeerWrites("{\"event\":\"shutdown\"}\nunfinished");
    close(Peer);
    Peer = -1;
    const auto lines = ReadLines(2);
    EXPECT_EQ(lines, (std::vector<std::string>{"{\"event\":\"shutdown\"}", "unfinished"}));
    EXPECT_FALSE(Channel.IsOpen());
    EXPECT_FALSE(Channel.Send("anyone?"));
}

TEST_F(UnixLineChannel, APeerThatNeverReadsOrNeverEndsItsLineBlocksNothing) {
    Accept();
    const std::string line(64 * 1024, 'x');
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(Channel.Send(line)); // 12 MB that nobody reads
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    const std::string endless(3 * TUnixLineChannel::MaxLineBytes / 2, 'y');
    std::thread writer([&] {
        size_t done = 0;
        while (done < endless.size()) {
            const ssize_t n = send(Peer, endless.data() + done, endless.size() - done, MSG_NOSIGNAL);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
    });
    std::vector<std::string> pieces;
    for (int i = 0; i < 2000 && pieces.empty(); ++i) { // up to 10 s on a busy machine
        pieces = Channel.ReadLines();
        if (pieces.empty()) std::this_thread::sleep_for(5ms);
    }
    Channel.Close(); // a writer still blocked on a full socket ends now
    writer.join();
    ASSERT_FALSE(pieces.empty());
    EXPECT_EQ(pieces[0].size(), TUnixLineChannel::MaxLineBytes); // cut, not grown without end
}

TEST(UnixLineChannelPeer, APeerRunningAsAnotherUserIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can start a peer as another user";
    // A folder any user may write to, as the shared temporary folder is.
    const std::string folder = ::testing::TempDir() + "parlino-peer-" + std::to_string(getpid());
    mkdir(folder.c_str(), 0777);
    chmod(folder.c_str(), 01777);
    const std::string path = folder + "/parlino-mpv.sock";
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) { // another user's program, answering like a player
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
        const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, path.size());
        if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 4) != 0)
            _exit(3);
        (void)!write(ready[1], "x", 1);
        for (int i = 0; i < 2; ++i) {
            const int peer = accept(listener, nullptr, nullptr);
            const char line[] = "{\"request_id\":1,\"data\":12.5}\n";
            (void)!write(peer, line, sizeof line - 1);
        }
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    TUnixLineChannel channel;
    EXPECT_FALSE(channel.Open(path));
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_TRUE(channel.ReadLines().empty());
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    unlink(path.c_str());
    rmdir(folder.c_str());
}
