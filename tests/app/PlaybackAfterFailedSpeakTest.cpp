// A run with "Queue fast running subtitles" ticked goes on after a subtitle
// whose speech could not start (its sound card had gone, say).

#include "app/TPlaybackController.h"
#include "fakes/TFakeSpeechVoice.h"
#include "fakes/TQueuePoster.h"
#include "platform/linux/TIconvCodec.h"

#include <gtest/gtest.h>

using namespace parlino;

namespace {

class TQueueingView final : public IPlaybackView {
public:
    std::vector<std::string> Errors;
    void SetWarning(const std::string&) override {}
    void SetStatus1(const std::string&) override {}
    void SetStatus2(const std::string&) override {}
    std::string PlayerTypeText() const override { return {}; }
    bool QueueFastSubtitles() const override { return true; }
    bool AutoScroll() const override { return false; }
    int SoundCardIndex() const override { return 0; }
    uint8_t GridFontCharset() const override { return 1; }
    std::string VoiceTags() const override { return {}; }
    int SelectedRow() const override { return 1; }
    int TopRow() const override { return 1; }
    void ScrollTo(int, int) override {}
    int GridRowCount() const override { return 4; }
    void UpdateControls() override {}
    void ReportError(const std::string& message) override { Errors.push_back(message); }
};

class TPlayingSource final : public IPlayerConnection {
public:
    int32_t Position = 0;
    bool FindPlayer() override { return true; }
    bool IsPlaying() override { return true; }
    bool IsConnected() override { return true; }
    bool IsReady() override { return true; }
    int32_t GetPosition() override { return Position; }
    void SetPosition(int32_t) override {}
    void Reserved() override {}
    void Stop() override {}
    void Play() override {}
    void Pause() override {}
    void Activate() override {}
};

} // namespace

TEST(PlaybackAfterFailedSpeak, TheNextSubtitleIsSpokenOnTheNextTick) {
    TIconvCodec codec(1252);
    test::TQueuePoster poster;
    test::TFakeSpeechVoice* voice = nullptr;
    TUbSmartSpeech speech(test::FakeVoiceBackends(1, &voice), codec, poster);
    speech.SelectVoice("");
    TslItems items(1);
    for (const auto& [start, text] : {std::pair{1000, "first"}, std::pair{3000, "second"}}) {
        TslItem item;
        item.StartMs = start;
        item.DisplayText = item.SpeechText = text;
        items.push_back(item);
    }
    TQueueingView view;
    TPlaybackController controller(view, speech, items);
    auto source = std::make_shared<TPlayingSource>();
    controller.Connection = source;
    controller.StartPlayback();

    voice->FailSpeak = true; // the chosen card has just gone
    source->Position = 500;
    controller.ProcessTick();
    EXPECT_EQ(view.Errors.size(), 1u);
    voice->FailSpeak = false;
    source->Position = 2500;
    controller.ProcessTick();
    ASSERT_FALSE(voice->Calls.empty());
    const std::u16string last = voice->Calls.back().Text;
    EXPECT_NE(last.find(u"second"), std::u16string::npos) << "the run waits for a voice that never speaks";
}
