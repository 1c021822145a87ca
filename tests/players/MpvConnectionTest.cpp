// The mpv follower on a scripted peer: what mpv would send, and what a
// broken, silent or vanishing player does.

#include "fakes/TFakePlatform.h"
#include "fakes/TFakePlayers.h"
#include "platform/Exceptions.h"
#include "players/TMpvConnection.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

using namespace parlino;
using namespace parlino::test;

namespace {

std::string Property(int id, const std::string& name, const std::string& data) {
    return R"({"event":"property-change","id":)" + std::to_string(id) + R"(,"name":")" + name + R"(","data":)" +
           data + "}";
}

class MpvConnection : public ::testing::Test {
protected:
    // The answer to the last position question the follower sent; `data`
    // "null" answers as mpv does without a file.
    std::string PositionAnswer(const std::string& data) {
        for (auto it = Peer->Sent.rbegin(); it != Peer->Sent.rend(); ++it) {
            const auto question = nlohmann::json::parse(*it);
            if (question.contains("request_id"))
                return data == "null"
                           ? R"({"request_id":)" + question["request_id"].dump() + R"(,"error":"property unavailable"})"
                           : R"({"data":)" + data + R"(,"request_id":)" + question["request_id"].dump() +
                                 R"(,"error":"success"})";
        }
        ADD_FAILURE() << "no position question was sent";
        return {};
    }
    // What mpv says right after the observers are set up for a playing film.
    void Playing(const std::string& seconds) {
        Peer->Incoming = {R"({"request_id":0,"error":"success"})",
                          Property(2, "pause", "false"),
                          Property(3, "idle-active", "false"),
                          Property(4, "eof-reached", "false"),
                          Property(5, "core-idle", "false"),
                          PositionAnswer(seconds)};
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

TEST_F(MpvConnection, FollowsThePlayStateAndThePositionAsItStoodWhenAsked) {
    Tick();
    ASSERT_EQ(Peer->OpenedPaths.size(), 1u);
    EXPECT_EQ(Peer->OpenedPaths[0], "/run/user/7/parlino-mpv.sock");
    EXPECT_EQ(Peer->Sent.at(0), R"({"command":["observe_property",2,"pause"]})");
    EXPECT_FALSE(Connected); // nothing has answered yet
    Playing("61.5");
    Tick();
    EXPECT_TRUE(Connected);
    EXPECT_TRUE(Follower.IsPlaying());
    // Just started: it may have played only since now.
    EXPECT_EQ(Follower.GetPosition(), 61500);
    Ticks.Advance(40); // between two answers the position runs on
    EXPECT_EQ(Follower.GetPosition(), 61540);
    Peer->Incoming = {PositionAnswer("61.55")}; // asked 40 ms before the last tick
    Tick(60);
    EXPECT_EQ(Follower.GetPosition(), 61550 + 100);
    Peer->Incoming = {Property(2, "pause", "true"), PositionAnswer("62.0")};
    Tick();
    EXPECT_FALSE(Follower.IsPlaying());
    Tick(2000);
    EXPECT_EQ(Follower.GetPosition(), 62000); // paused: stands
    Peer->Incoming = {Property(2, "pause", "false"), PositionAnswer("3.25")}; // a seek back
    Tick();
    EXPECT_TRUE(Follower.IsPlaying());
    EXPECT_EQ(Follower.GetPosition(), 3250);
    Peer->Incoming = {Property(4, "eof-reached", "true")};
    Tick();
    EXPECT_FALSE(Follower.IsPlaying());
    Peer->Incoming = {Property(4, "eof-reached", "false"), Property(3, "idle-active", "true"),
                      PositionAnswer("null")}; // the file was closed
    Tick();
    EXPECT_TRUE(Connected);
    EXPECT_FALSE(Follower.IsPlaying());
    EXPECT_EQ(Follower.GetPosition(), 0);
}

TEST_F(MpvConnection, OneQuestionAtATimeAndLateAnswersToOldQuestionsAreIgnored) {
    Tick();
    Playing("10");
    const size_t sent = Peer->Sent.size();
    Tick(); // answered: the next question goes out
    EXPECT_EQ(Peer->Sent.size(), sent + 1);
    Tick();
    Tick(); // unanswered: no new question
    EXPECT_EQ(Peer->Sent.size(), sent + 1);
    Peer->Incoming = {R"({"data":99.0,"request_id":1,"error":"success"})"}; // not the open question
    Tick();
    EXPECT_LT(Follower.GetPosition(), 20000);
}

TEST_F(MpvConnection, UnreadableMessagesAreReportedOnceEachAndFollowingGoesOn) {
    Tick();
    Playing("10");
    Tick();
    Peer->Incoming = {"{\"event\":\"property-change\",\"id\":2,", "not json at all", PositionAnswer("11")};
    Tick();
    EXPECT_TRUE(Connected);
    try {
        Follower.GetPosition();
        ADD_FAILURE() << "garbage passed for a position";
    } catch (const EPlayerError& e) {
        EXPECT_STREQ(e.what(), "mpv sent a message that cannot be read: not json at all");
    }
    EXPECT_EQ(Follower.GetPosition(), 11100); // reported once, then the position again
    // Well-formed JSON of the wrong shape is as unreadable.
    Peer->Incoming = {R"({"event":"property-change","id":"one","data":1})", R"([1,2])"};
    Tick();
    EXPECT_THROW(Follower.GetPosition(), EPlayerError);
    EXPECT_NO_THROW(Follower.GetPosition());
}

TEST_F(MpvConnection, APlayerThatQuitsIsLookedForAgainAndFoundWhenRestarted) {
    Tick();
    Playing("5");
    Tick();
    ASSERT_TRUE(Connected);
    Peer->HangUp = true;
    Peer->Listening = false; // gone, socket and all
    Tick();
    EXPECT_FALSE(Connected);
    EXPECT_FALSE(Follower.IsPlaying());
    Tick();
    EXPECT_FALSE(Connected);
    EXPECT_GE(Peer->OpenedPaths.size(), 2u);
    Peer->Listening = true; // restarted
    Peer->Sent.clear();
    Tick();
    EXPECT_EQ(Peer->Sent.size(), 8u); // the seven observers and a first question, anew
    Playing("7");
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
    Playing("1");
    Tick();
    ASSERT_TRUE(Connected);
    for (int i = 0; i < 50; ++i) { // answers while it lives...
        Peer->Incoming = {PositionAnswer("1.5")};
        Tick();
        ASSERT_TRUE(Connected) << "tick " << i;
    }
    int ticks = 0; // ...and once it hangs, it is dropped within seconds
    while (Connected && ticks < 100) {
        Tick();
        ++ticks;
    }
    EXPECT_FALSE(Connected);
    EXPECT_GE(ticks, 25);
    EXPECT_LE(ticks, 31);
}

TEST_F(MpvConnection, TellsTheFilmAndTheSubtitlesItShows) {
    Tick();
    Playing("1.0");
    Tick();
    EXPECT_FALSE(Follower.ShownSubtitles().has_value()); // no film named yet
    struct TCase {
        const char* Track;
        TShownSubtitles Shown;
    };
    for (const TCase& c : {TCase{R"({"id":2,"external":false,"ff-index":3,"codec":"ass"})", {"/f/film.mkv", "", 3}},
                           TCase{R"({"id":3,"external":true,"external-filename":"/f/film.en.srt"})",
                                 {"/f/film.mkv", "/f/film.en.srt", -1}},
                           TCase{"null", {"/f/film.mkv", "", -1}}, TCase{R"("odd")", {"/f/film.mkv", "", -1}}}) {
        Peer->Incoming = {Property(6, "path", R"("/f/film.mkv")"), Property(7, "current-tracks/sub", c.Track)};
        Tick();
        EXPECT_EQ(Follower.ShownSubtitles(), c.Shown) << c.Track;
    }
}

TEST_F(MpvConnection, ItsVolumeIsACubicPercentageAndThePauseIsAskedForDirectly) {
    Tick();
    Playing("1.0");
    Tick();
    EXPECT_FALSE(Follower.FilmVolume()); // not told yet: not lowered either
    EXPECT_FALSE(Follower.SetFilmVolume(0.5));
    Peer->Incoming = {Property(8, "volume", "50")};
    Tick();
    EXPECT_DOUBLE_EQ(*Follower.FilmVolume(), 0.125);
    ASSERT_TRUE(Follower.SetFilmVolume(0.001));
    const auto set = nlohmann::json::parse(Peer->Sent.back());
    EXPECT_EQ(set["command"][0], "set_property");
    EXPECT_EQ(set["command"][1], "volume");
    EXPECT_NEAR(set["command"][2].get<double>(), 10.0, 1e-9);
    ASSERT_TRUE(Follower.CanHoldFilm());
    Follower.HoldFilm(true);
    EXPECT_EQ(Peer->Sent.back(), R"({"command":["set_property","pause",true]})");
    Follower.HoldFilm(false);
    EXPECT_EQ(Peer->Sent.back(), R"({"command":["set_property","pause",false]})");
}
