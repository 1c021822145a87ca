// The window's composition root on Windows, made as main.cpp makes it, on
// the bare prefix: the system's services, no voices, the window functions.

#include "app/TAppServices.h"
#include "fakes/TFakePlatform.h"
#include "fakes/TQueuePoster.h"
#include "speech/UbSmartSpeech.h"

#include <gtest/gtest.h>

namespace parlino {
namespace {

TEST(WindowsAppServices, TheWindowsServicesAreTheSystemsOnes) {
    EXPECT_EQ(TAppServices::StartProblem(), "");
    test::TQueuePoster poster;
    test::TFakeMessageBoxes messages;
    TAppServices system(poster, messages);
    TPlatform& platform = system.Platform();
    EXPECT_EQ(platform.Codec.ToWide("Parlino"), u"Parlino");
    EXPECT_EQ(&platform.Messages, &messages);
    EXPECT_FALSE(platform.Folders.LocalAppData().empty());
    EXPECT_EQ(platform.Locale.TimeSeparator(), ':');

    TSpeechEnvironment& speech = system.Speech();
    EXPECT_EQ(&speech.Poster, &poster);
    ASSERT_NE(speech.WaveOut, nullptr);
    TUbSmartSpeech facade(speech.Backends, platform.Codec, speech.Poster);
    EXPECT_TRUE(facade.Voices().empty()); // Wine's SAPI 5 has no engine, SAPI 4 is not there

    TPlayerEnvironment& players = system.Players();
    EXPECT_TRUE(players.Windows.HasForeignWindows());
    EXPECT_EQ(players.Mpris, nullptr);
    EXPECT_FALSE(players.CreateChannel()->Open("mpv"));
    ASSERT_NE(players.Film, nullptr);
    EXPECT_THROW(players.Film->Tracks("film.mkv"), EParlinoError);
}

} // namespace
} // namespace parlino
