// The render loop with a voice that misbehaves: it must end, and say so.

#include "fakes/TFakePlatform.h"
#include "fakes/TFakeSpeechVoice.h"
#include "platform/Exceptions.h"
#include "render/TVoiceOverRenderer.h"

#include <gtest/gtest.h>

using namespace parlino;
using namespace parlino::test;

namespace {

TslItems Track(std::vector<std::pair<int32_t, std::string>> entries) {
    TslItems items(1); // the leading entry
    for (auto& [start, text] : entries) {
        TslItem& item = items.emplace_back();
        item.StartMs = start;
        item.SpeechText = item.DisplayText = text;
    }
    return items;
}

struct TFakeRender {
    TFakeRender() : Speech(FakeVoiceBackends(1, &Voice), Fake.Codec, Poster) {}
    TFakePlatform Fake;
    TRenderPoster Poster;
    TTimelineAudioOutput Timeline{22050, 0, nullptr};
    TFakeSpeechVoice* Voice = nullptr;
    TUbSmartSpeech Speech;
};

} // namespace

TEST(VoiceOverRenderer, AVoiceThatNeverReportsTheEndIsGivenUpOnPastTheLastSubtitle) {
    TFakeRender r;
    r.Speech.SelectVoice("");
    TslItems items = Track({{1000, "Hello"}, {1500, "Never heard"}});
    TRenderSettings settings;
    settings.QuietLimitMs = 2000;
    const TRenderResult result =
        TVoiceOverRenderer(r.Speech, r.Timeline, r.Poster, items, settings).Render();
    EXPECT_FALSE(result.VoiceIdle);
    // Past 1500 from the tick at 1600 on; given up 2000 ms of track time later.
    EXPECT_EQ(result.EndMs, 1600 + 2000 - 100);
    // "Hello" never ended, so nothing after it got its turn.
    ASSERT_EQ(r.Voice->Calls.size(), 2u); // its Speak and the final Stop
    EXPECT_NE(r.Voice->Calls[0].Text.find(u"Hello"), std::u16string::npos);
    EXPECT_EQ(r.Voice->Calls[1].Text, u"");
}

TEST(VoiceOverRenderer, AFailingVoiceStopsTheRenderWithItsMessage) {
    TFakeRender r; // no voice selected: every call of the facade fails
    TslItems items = Track({{1000, "Hello"}});
    try {
        TVoiceOverRenderer(r.Speech, r.Timeline, r.Poster, items).Render();
        FAIL() << "the render went on";
    } catch (const EParlinoError& e) {
        EXPECT_STREQ(e.what(), "TUbSmartSpeech.GetInfo: Select voice first!");
    }
}

TEST(VoiceOverRenderer, AnEmptyTrackRendersNothing) {
    TFakeRender r;
    r.Speech.SelectVoice("");
    TslItems items;
    const TRenderResult result = TVoiceOverRenderer(r.Speech, r.Timeline, r.Poster, items).Render();
    EXPECT_EQ(result.Ticks, 0u);
    EXPECT_EQ(r.Timeline.FramesOut(), 0u);
}
