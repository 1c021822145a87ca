#pragma once
// The playback controller over a fake voice, a fake view and a position
// source that the test moves by hand.

#include "app/TPlaybackController.h"
#include "fakes/TFakePlatform.h"
#include "fakes/TFakeSpeechVoice.h"
#include "fakes/TQueuePoster.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace parlino::test {


class TFakeView final : public IPlaybackView {
public:
    std::string Warning, Status1, Status2;
    bool Queue = true, Scroll = true;
    int SoundCard = 0, Selected = 1, Top = 1, Rows = 0, Updates = 0;
    uint8_t Charset = 1;
    std::string Tags;
    std::vector<std::string> Errors;
    bool Fit = false;
    int32_t CeilingPercent = 150;
    bool Duck = false, Hold = false;
    int32_t DuckDb = 12;
    std::vector<std::string> FilmNotes;
    std::string Lateness;
    void SetWarning(const std::string& t) override { Warning = t; }
    void SetStatus1(const std::string& t) override { Status1 = t; }
    void SetStatus2(const std::string& t) override { Status2 = t; }
    std::string PlayerTypeText() const override { return "Media Player Classic (or MPC HC)"; }
    bool QueueFastSubtitles() const override { return Queue; }
    bool AutoScroll() const override { return Scroll; }
    int SoundCardIndex() const override { return SoundCard; }
    uint8_t GridFontCharset() const override { return Charset; }
    std::string VoiceTags() const override { return Tags; }
    int SelectedRow() const override { return Selected; }
    int TopRow() const override { return Top; }
    void ScrollTo(int selected, int top) override { Selected = selected, Top = top; }
    int GridRowCount() const override { return Rows; }
    void UpdateControls() override { ++Updates; }
    void ReportError(const std::string& m) override { Errors.push_back(m); }
    bool FitSpeech() const override { return Fit; }
    int32_t FitCeilingPercent() const override { return CeilingPercent; }
    void SetLateness(const std::string& t) override { Lateness = t; }
    bool DuckFilm() const override { return Duck; }
    int32_t DuckFilmDb() const override { return DuckDb; }
    bool HoldFilmForVoice() const override { return Hold; }
    void SetFilmNote(const std::string& t) override { FilmNotes.push_back(t); }
};

// A follower whose state the test sets.
class TFakeSource final : public IPlayerConnection {
public:
    bool Connected = true, Playing = true;
    int32_t Position = 0;
    std::string Unreadable; // non-empty: the position read fails with it
    int Activations = 0;
    bool FindPlayer() override { return Connected; }
    bool IsPlaying() override { return Playing; }
    bool IsConnected() override { return Connected; }
    bool IsReady() override { return true; }
    int32_t GetPosition() override {
        if (!Unreadable.empty()) throw EConvertError(Unreadable);
        return Position;
    }
    void SetPosition(int32_t) override {}
    void Reserved() override {}
    void Stop() override {}
    void Play() override {}
    void Pause() override {}
    void Activate() override { ++Activations; }

    // The film's own volume and the program's hold on it.
    std::optional<double> Volume; // none: a player whose volume cannot be set
    bool TakesVolume = true;      // false: sets are accepted but never applied
    double VolumeStep = 0;        // a player that rounds the volume it is given to steps of this
    size_t EchoLag = 0;           // a player that reports a new volume only this many reads later
    std::deque<std::pair<double, size_t>> Echoes; // each with the reads it still waits
    std::vector<double> VolumeSets;
    bool CanHold = false;
    std::vector<bool> Holds;
    bool FollowsFilm() const override { return true; }
    std::optional<double> FilmVolume() override {
        for (auto& echo : Echoes) --echo.second;
        while (!Echoes.empty() && Echoes.front().second == 0) Volume = Echoes.front().first, Echoes.pop_front();
        return Volume;
    }
    bool SetFilmVolume(double amplitude) override {
        if (!Volume) return false;
        VolumeSets.push_back(amplitude);
        const double applied = VolumeStep > 0 ? std::round(amplitude / VolumeStep) * VolumeStep : amplitude;
        if (!TakesVolume) return true;
        if (EchoLag == 0) Volume = applied;
        else Echoes.push_back({applied, EchoLag});
        return true;
    }
    bool CanHoldFilm() override { return CanHold; }
    void HoldFilm(bool hold) override { Holds.push_back(hold), Playing = !hold; }
};

class Controller : public ::testing::Test {
protected:
    void SetUp() override {
        TUbSmartSpeechBackends b;
        b.Sapi5Installed = [] { return true; };
        b.CreateVoice = [this]() -> std::unique_ptr<ISpeechVoice> {
            auto v = std::make_unique<TFakeSpeechVoice>();
            v->VoiceTokens.push_back(std::make_shared<TFakeToken>(u"Anna"));
            Voice = v.get();
            return v;
        };
        Speech = std::make_unique<TUbSmartSpeech>(std::move(b), Codec, Poster);
        Speech->SelectVoice("");
        Speech->UseTags = false;
        Ctl = std::make_unique<TPlaybackController>(View, *Speech, Items);
        Source = std::make_shared<TFakeSource>();
        Ctl->Connection = Source;
    }
    void Track(std::vector<std::pair<int32_t, std::string>> entries) {
        Items.assign(1, TslItem{});
        for (auto& [start, text] : entries) {
            TslItem item;
            item.StartMs = start;
            item.DisplayText = item.SpeechText = text;
            Items.push_back(item);
        }
        View.Rows = static_cast<int>(Items.size()) + 2;
    }
    void TickAt(int32_t position) {
        Source->Position = position;
        Ctl->ProcessTick();
    }
    // Texts the voice was given, without the purges of Stop.
    std::vector<std::string> Spoken() const {
        std::vector<std::string> texts;
        for (const auto& c : Voice->Calls)
            if (!c.Text.empty()) texts.push_back(Codec.ToAnsi(c.Text.substr(0, c.Text.size() - 2)));
        return texts;
    }
    void FinishSpeech() { Voice->FireEnd(Voice->NextStream); }

    TSystemCodec Codec{1252};
    TQueuePoster Poster;
    TFakeSpeechVoice* Voice = nullptr;
    std::unique_ptr<TUbSmartSpeech> Speech;
    TFakeView View;
    TslItems Items;
    std::unique_ptr<TPlaybackController> Ctl;
    std::shared_ptr<TFakeSource> Source;
};


} // namespace parlino::test
