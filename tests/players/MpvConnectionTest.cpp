// The mpv follower on a scripted peer: what mpv would send, and what a
// broken, silent or vanishing player does.

#include "fakes/TFakePlatform.h"
#include "fakes/TFakePlayers.h"
#include "platform/Exceptions.h"
#include "players/TMpvConnection.h"

#include <gtest/gtest.h>

using namespace parlino;
using namespace parlino::test;

namespace {

std::string Property(int id, const std::string& name, const std::string& data) {
    return R"({"event":"property-change","id":)" + std::to_string(id) + R"(,"name":")" + name + R"(","data":)" +
           data + "}";
}

class MpvConnection : public ::testing::Test {
protected:
    // What mpv says right after the observers are set up for a playing film.
    void Playing(double seconds) {
        Peer->Incoming = {R"({"request_id":0,"error":"success"})",
                          Property(1, "time-pos", std::to_string(seconds)),
                          Property(2, "pause", "false"),
                          Property(3, "idle-active", "false"),
                          Property(4, "eof-reached", "false"),
                          Property(5, "core-idle", "false")};
    }
    void Tick(uint32_t ms = 100) {
        Ticks.Advance(ms);
        Connected = Follower.IsConnected();
    }

    TFakeTickCounter Ticks;
    std::shared_ptr<TFakeLinePeer> Peer = std::make_shared<TFakeLinePeer>();
    TMpvConnection Follower{std::make_unique<TFakeLineChannel>(Peer), "/run/user/7/parlino-mpv.sock", Ticks};
    bool Connected = false;
};

} // namespace

TEST_F(MpvConnection, FollowsTheReportedPropertiesAndRunsOnBetweenReports) {
    Tick();
    ASSERT_EQ(Peer->OpenedPaths.size(), 1u);
    EXPECT_EQ(Peer->OpenedPaths[0], "/run/user/7/parlino-mpv.sock");
    EXPECT_EQ(Peer->Sent.at(0), R"({"command":["observe_property",1,"time-pos"]})");
    EXPECT_FALSE(Connected); // nothing has answered yet
    Playing(61.5);
    Tick();
    EXPECT_TRUE(Connected);
    EXPECT_TRUE(Follower.IsPlaying());
    EXPECT_EQ(Follower.GetPosition(), 61500);
    Ticks.Advance(40); // between two reports
    EXPECT_EQ(Follower.GetPosition(), 61540);
    Peer->Incoming = {Property(1, "time-pos", "62.0"), Property(2, "pause", "true")};
    Tick();
    EXPECT_FALSE(Follower.IsPlaying());
    Tick(2000);
    EXPECT_EQ(Follower.GetPosition(), 62000); // paused: stands
    Peer->Incoming = {Property(2, "pause", "false"), Property(1, "time-pos", "3.25")}; // a seek back
    Tick();
    EXPECT_TRUE(Follower.IsPlaying());
    EXPECT_EQ(Follower.GetPosition(), 3250);
    Peer->Incoming = {Property(4, "eof-reached", "true")};
    Tick();
    EXPECT_FALSE(Follower.IsPlaying());
    Peer->Incoming = {Property(4, "eof-reached", "false"), Property(3, "idle-active", "true"),
                      Property(1, "time-pos", "null")}; // the file was closed
    Tick();
    EXPECT_TRUE(Connected);
    EXPECT_FALSE(Follower.IsPlaying());
    EXPECT_EQ(Follower.GetPosition(), 0);
}

TEST_F(MpvConnection, UnreadableMessagesAreReportedOnceEachAndFollowingGoesOn) {
    Tick();
    Playing(10);
    Tick();
    Peer->Incoming = {"{\"event\":\"property-change\",\"id\":1,", "not json at all"};
    Tick();
    EXPECT_TRUE(Connected);
    try {
        Follower.GetPosition();
        ADD_FAILURE() << "garbage passed for a position";
    } catch (const EPlayerError& e) {
        EXPECT_STREQ(e.what(), "mpv sent a message that cannot be read: not json at all");
    }
    EXPECT_GE(Follower.GetPosition(), 10000); // reported once, then the position again
    // Well-formed JSON of the wrong shape is as unreadable.
    Peer->Incoming = {R"({"event":"property-change","id":"one","data":1})", R"([1,2])"};
    Tick();
    EXPECT_THROW(Follower.GetPosition(), EPlayerError);
    Peer->Incoming = {Property(1, "time-pos", "12")};
    Tick();
    EXPECT_EQ(Follower.GetPosition(), 12000);
}

TEST_F(MpvConnection, APlayerThatQuitsIsLookedForAgainAndFoundWhenRestarted) {
    Tick();
    Playing(5);
    Tick();
    ASSERT_TRUE(Connected);
    Peer->HangUp = true;
    Peer->Listening = false; // gone, socket and all
    Tick();
    EXPECT_FALSE(Connected);
    EXPECT_FALSE(Follower.IsPlaying());
    Tick();
    EXPECT_FALSE(Connected);
    const size_t attempts = Peer->OpenedPaths.size();
    EXPECT_GE(attempts, 2u);
    Peer->Listening = true; // restarted
    Peer->Sent.clear();
    Tick();
    EXPECT_EQ(Peer->Sent.size(), 6u); // the observers and a first request, anew
    Playing(7);
    Tick();
    EXPECT_TRUE(Connected);
    EXPECT_EQ(Follower.GetPosition(), 7000);
}

TEST_F(MpvConnection, APlayerThatNeverAnswersOrFallsSilentIsDropped) {
    Tick(); // accepted, and then nothing
    for (int i = 0; i < 40; ++i) {
        Tick();
        EXPECT_FALSE(Connected);
    }
    EXPECT_GE(Peer->OpenedPaths.size(), 2u); // given up on and connected anew
    Playing(1);
    Tick();
    ASSERT_TRUE(Connected);
    // The player answers its liveness requests while it lives...
    for (int i = 0; i < 50; ++i) {
        if (!Peer->Sent.empty() && Peer->Sent.back().find("get_property") != std::string::npos)
            Peer->Incoming = {R"({"data":1.0,"request_id":100,"error":"success"})"};
        Peer->Sent.clear();
        Tick();
        ASSERT_TRUE(Connected) << "tick " << i;
    }
    // ...and once it hangs, the follower stops following within seconds.
    int ticks = 0;
    while (Connected && ticks < 100) {
        Tick();
        ++ticks;
    }
    EXPECT_FALSE(Connected);
    EXPECT_LE(ticks, 45);
}
