#include "fakes/TQueuePoster.h"
#include "platform/Exceptions.h"
#include "platform/linux/TEspeakVoice.h"
#include "platform/linux/TWavFileStream.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <unistd.h>

using namespace parlino;
using namespace std::chrono_literals;
using ::testing::ElementsAre;

namespace {

// An audio output whose sound only advances when the test plays it.
class TTestAudioOutput final : public IAudioOutput {
public:
    struct TRecord {
        int Device = 0;
        TAudioStreamEvents Events;
        std::vector<int16_t> Samples;
        std::vector<std::pair<uint64_t, uint64_t>> Marks; // frame, mark
        size_t MarksPlayed = 0;
        uint64_t Played = 0;
        bool Paused = false, Drained = false, DrainReported = false, Destroyed = false;
    };
    class TStream final : public IAudioStream {
    public:
        explicit TStream(std::shared_ptr<TRecord> record) : R(std::move(record)) {}
        ~TStream() override { R->Destroyed = true; }
        void Write(const int16_t* samples, size_t count) override {
            R->Samples.insert(R->Samples.end(), samples, samples + count);
        }
        void Mark(uint64_t mark) override { R->Marks.emplace_back(R->Samples.size(), mark); }
        void Drain() override { R->Drained = true; }
        void Pause() override { R->Paused = true; }
        void Resume() override { R->Paused = false; }
        bool IsPaused() const override { return R->Paused; }
        uint64_t PlayedFrames() const override { return R->Played; }
        std::shared_ptr<TRecord> R;
    };

    std::vector<std::string> Devices{"Sink A", "Sink B"};
    std::vector<std::shared_ptr<TRecord>> Streams;

    std::vector<std::string> OutputDevices() override { return Devices; }
    std::unique_ptr<IAudioStream> OpenStream(int deviceIndex, const TAudioFormat& format,
                                             TAudioStreamEvents events) override {
        if (deviceIndex >= int(Devices.size()))
            throw EParlinoError("no such device");
        EXPECT_EQ(format.Channels, 1);
        auto record = std::make_shared<TRecord>();
        record->Device = deviceIndex;
        record->Events = std::move(events);
        Streams.push_back(record);
        return std::make_unique<TStream>(record);
    }
    // Plays up to `frames` of every open, running stream, reporting marks and drains.
    void Play(uint64_t frames = UINT64_MAX / 2) {
        for (auto record : std::vector(Streams)) {
            if (record->Destroyed || record->Paused)
                continue;
            record->Played = std::min<uint64_t>(record->Played + frames, record->Samples.size());
            while (record->MarksPlayed < record->Marks.size() &&
                   record->Marks[record->MarksPlayed].first <= record->Played)
                record->Events.OnMarkPlayed(record->Marks[record->MarksPlayed++].second);
            if (record->Drained && !record->DrainReported &&
                record->Played == record->Samples.size()) {
                record->DrainReported = true;
                record->Events.OnDrained();
            }
        }
    }
};

struct TWordEvent {
    int32_t Stream, Position, Length;
};

// Median fundamental frequency (Hz) over the voiced frames, by autocorrelation.
double MedianPitch(const std::vector<int16_t>& s) {
    const size_t frame = 1024, minLag = 22050 / 400, maxLag = 22050 / 60;
    std::vector<double> pitches;
    for (size_t at = 0; at + frame + maxLag < s.size(); at += frame) {
        double energy = 0;
        for (size_t i = 0; i < frame; ++i)
            energy += double(s[at + i]) * s[at + i];
        if (energy < frame * 1e5)
            continue;
        size_t bestLag = 0;
        double best = 0;
        for (size_t lag = minLag; lag <= maxLag; ++lag) {
            double sum = 0;
            for (size_t i = 0; i < frame; ++i)
                sum += double(s[at + i]) * s[at + i + lag];
            if (sum > best)
                best = sum, bestLag = lag;
        }
        if (bestLag && best > 0.5 * energy)
            pitches.push_back(22050.0 / bestLag);
    }
    if (pitches.empty())
        return 0;
    std::nth_element(pitches.begin(), pitches.begin() + pitches.size() / 2, pitches.end());
    return pitches[pitches.size() / 2];
}

std::u16string AsciiToWide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

int MaxAmplitude(const std::vector<int16_t>& s) {
    int m = 0;
    for (int16_t v : s)
        m = std::max(m, std::abs(int(v)));
    return m;
}

class EspeakVoice : public ::testing::Test {
protected:
    EspeakVoice() {
        Voice.OnStartStream = [this](int32_t n, int64_t) { Starts.push_back(n); };
        Voice.OnEndStream = [this](int32_t n, int64_t bytes) {
            Ends.push_back(n), EndBytes.push_back(bytes);
        };
        Voice.OnWord = [this](int32_t n, int64_t, int32_t pos, int32_t len) {
            Words.push_back({n, pos, len});
        };
    }
    bool Ended(int32_t stream) const {
        return std::find(Ends.begin(), Ends.end(), stream) != Ends.end();
    }
    // Pumps the poster (and plays the sound when `play`) until `done`; false after 60 s.
    template <typename F> bool RunUntil(F done, bool play = true) {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            if (Poster.Pump() == 0)
                std::this_thread::sleep_for(1ms);
            if (play)
                Audio.Play();
        }
        return true;
    }
    // Speaks `text` to its end and returns what reached the sound device.
    std::vector<int16_t> SpeakAll(const std::u16string& text, int32_t flags = SVSFlagsAsync |
                                                                              SVSFPurgeBeforeSpeak |
                                                                              SVSFIsXML) {
        const int32_t n = Voice.Speak(text, flags);
        EXPECT_TRUE(RunUntil([&] { return Ended(n); }));
        return Audio.Streams.empty() ? std::vector<int16_t>{} : Audio.Streams.back()->Samples;
    }
    std::vector<std::u16string> SpokenWords(const std::u16string& text, int32_t stream) const {
        std::vector<std::u16string> out;
        for (const auto& w : Words)
            if (w.Stream == stream)
                out.push_back(text.substr(size_t(w.Position), size_t(w.Length)));
        return out;
    }

    test::TQueuePoster Poster;
    TTestAudioOutput Audio;
    TEspeakSpeechVoice Voice{Audio, Poster};
    std::vector<int32_t> Starts, Ends;
    std::vector<int64_t> EndBytes;
    std::vector<TWordEvent> Words;
};

const int32_t XmlFlags = SVSFlagsAsync | SVSFPurgeBeforeSpeak | SVSFIsXML;

} // namespace

// ---- Mark-up -------------------------------------------------------------

TEST(SpeechMarkup, PitchTagsOfTheFacadeAndScopedTagsSetTheProsody) {
    auto runs = ParseSpeechText(
        u"<PITCH ABSMIDDLE=\"-12\">a<pitch middle='4'>b</pitch>c<rate absspeed=\"5\"/>d"
        u"<rate speed=\"-2\"/>e<volume level=\"50\">f</volume><emph>g</emph>",
        true, 1, 80);
    ASSERT_EQ(runs.size(), 7u);
    EXPECT_EQ(runs[0].Utf8Text, "a");
    EXPECT_EQ(runs[0].Prosody, (TSpeechProsody{1, 80, -12, false}));
    EXPECT_EQ(runs[1].Prosody, (TSpeechProsody{1, 80, -8, false}));
    EXPECT_EQ(runs[2].Utf8Text, "c"); // back to the pitch before <pitch middle>
    EXPECT_EQ(runs[2].Prosody, (TSpeechProsody{1, 80, -12, false}));
    EXPECT_EQ(runs[3].Prosody.Rate, 5);
    EXPECT_EQ(runs[4].Prosody.Rate, 3);
    EXPECT_EQ(runs[5].Prosody.Volume, 40); // half the voice's volume
    EXPECT_TRUE(runs[6].Prosody.Emphasis);
    EXPECT_EQ(runs[6].Prosody.Volume, 80);
}

TEST(SpeechMarkup, UnknownMalformedAndCommentTagsAreSkippedUnspoken) {
    auto text = [](const std::u16string& s) {
        std::string all;
        for (const auto& r : ParseSpeechText(s, true, 0, 100))
            all += r.Utf8Text;
        return all;
    };
    EXPECT_EQ(text(u"a <foo bar=\"1>\"> b"), "a \"> b"); // a tag ends at its first '>'
    EXPECT_EQ(text(u"a <foo bar> b</foo><sapi/><!-- c > d --> e"), "a  b e");
    EXPECT_EQ(text(u"a <pitch absmiddle=\"5\" b"), "a ");
    EXPECT_EQ(text(u"a <pitch <rate> b"), "a  b");
    EXPECT_EQ(text(u"1 < 2 <> 3 >"), "1  2 > 3 >");
    EXPECT_EQ(text(u"<pitch absmiddle=\"5\"/><?xml x?><!DOCTYPE y>"), "");
    EXPECT_TRUE(ParseSpeechText(u"<silence msec=\"x\"/></close><<<", true, 0, 100).empty());
}

TEST(SpeechMarkup, EntitiesAreDecodedAndPositionsSpanTheirSpelling) {
    auto runs = ParseSpeechText(u"&lt;&gt;&amp;&quot;&apos;&#65;&#x42;&bogus; & x", true, 0, 100);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Utf8Text, "<>&\"'AB&bogus; & x");
    EXPECT_THAT(std::vector(runs[0].Starts.begin(), runs[0].Starts.begin() + 8),
                ElementsAre(0, 4, 8, 13, 19, 25, 30, 36));
    EXPECT_THAT(std::vector(runs[0].Ends.begin(), runs[0].Ends.begin() + 8),
                ElementsAre(4, 8, 13, 19, 25, 30, 36, 37));
    // Without the XML flag nothing is mark-up.
    EXPECT_EQ(ParseSpeechText(u"<b>&lt;", false, 0, 100)[0].Utf8Text, "<b>&lt;");
}

TEST(SpeechMarkup, SurrogatesAndControlCharactersMapToTheirUnits) {
    auto runs = ParseSpeechText(std::u16string(u"\U0001F600x\xD800y\0z", 7), false, 0, 100);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Utf8Text, "\xF0\x9F\x98\x80x y z");
    EXPECT_THAT(runs[0].Starts, ElementsAre(0, 2, 3, 4, 5, 6));
    EXPECT_THAT(runs[0].Ends, ElementsAre(2, 3, 4, 5, 6, 7));
}

TEST(SpeechMarkup, SilenceStandsBeforeTheTextThatFollowsIt) {
    auto runs = ParseSpeechText(
        u"a<silence msec=\"300\"/><silence msec=\"200\"/>b<silence msec=\"70\"/>", true, 0, 100);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[1].SilenceMs, 500);
    EXPECT_EQ(runs[1].Utf8Text, "b");
    EXPECT_EQ(runs[2].SilenceMs, 70);
    EXPECT_EQ(runs[2].Utf8Text, "");
}

TEST(SpeechMarkup, RateCoversEspeakRangeInDistinctSteps) {
    EXPECT_EQ(EspeakWordsPerMinute(0), 175);
    EXPECT_EQ(EspeakWordsPerMinute(10), 450);
    EXPECT_EQ(EspeakWordsPerMinute(-10), 80);
    for (int r = -10; r < 10; ++r)
        EXPECT_LT(EspeakWordsPerMinute(r), EspeakWordsPerMinute(r + 1)) << r;
    EXPECT_EQ(EspeakPitch(0), 50);
    EXPECT_EQ(EspeakPitch(-50), 0);
    EXPECT_EQ(EspeakPitch(50), 100);
}

// ---- Tokens --------------------------------------------------------------

TEST_F(EspeakVoice, VoicesAreUniqueStableAndTheDefaultComesFirst) {
    auto voices = Voice.GetVoices();
    ASSERT_GT(voices.size(), 10u);
    std::set<WideString> descriptions;
    for (const auto& v : voices)
        EXPECT_TRUE(descriptions.insert(v->GetDescription()).second);
    EXPECT_EQ(voices.front()->GetDescription(), u"English (Great Britain) (en-gb)");
    EXPECT_EQ(Voice.GetVoices(), voices);
    TEspeakSpeechVoice other(Audio, Poster);
    auto again = other.GetVoices();
    ASSERT_EQ(again.size(), voices.size());
    for (size_t i = 0; i < voices.size(); ++i)
        EXPECT_EQ(again[i]->GetDescription(), voices[i]->GetDescription());
}

TEST_F(EspeakVoice, AudioOutputTokensChooseTheDeviceOfTheNextSpeak) {
    auto outputs = Voice.GetAudioOutputs();
    ASSERT_EQ(outputs.size(), 2u);
    EXPECT_EQ(outputs[1]->GetDescription(), u"Sink B");
    Voice.SetAudioOutput(outputs[1]);
    SpeakAll(u"one");
    Voice.SetAudioOutput(nullptr);
    SpeakAll(u"two");
    ASSERT_EQ(Audio.Streams.size(), 2u);
    EXPECT_EQ(Audio.Streams[0]->Device, 1);
    EXPECT_EQ(Audio.Streams[1]->Device, -1);
    EXPECT_THROW(Voice.SetAudioOutput(Voice.GetVoices()[0]), EParlinoError);
    EXPECT_THROW(Voice.SetVoice(outputs[0]), EParlinoError);
}

TEST_F(EspeakVoice, TheChosenDeviceIsFoundByNameFallsBackWhileGoneAndIsUsedAgainWhenBack) {
    const auto outputs = Voice.GetAudioOutputs();
    Voice.SetAudioOutput(outputs[1]); // "Sink B"
    // A device before it went away: "Sink B" is now at 0, and index 1 is no more.
    Audio.Devices = {"Sink B"};
    SpeakAll(u"one");
    EXPECT_EQ(Audio.Streams.back()->Device, 0);
    EXPECT_EQ(Voice.UnavailableAudioOutput(), nullptr);
    // Unplugged: the default device speaks, and the voice says which one is missing.
    Audio.Devices = {"Sink A", "Sink C"};
    EXPECT_GT(SpeakAll(u"two").size(), 0u);
    EXPECT_EQ(Audio.Streams.back()->Device, -1);
    EXPECT_EQ(Voice.UnavailableAudioOutput(), outputs[1]);
    // Plugged in again, at another place.
    Audio.Devices = {"Sink A", "Sink C", "Sink B"};
    SpeakAll(u"three");
    EXPECT_EQ(Audio.Streams.back()->Device, 2);
    EXPECT_EQ(Voice.UnavailableAudioOutput(), nullptr);
}

// ---- Speaking ------------------------------------------------------------

TEST_F(EspeakVoice, SpeakStartsOnFirstAudioAndEndsOnlyWhenThePlayedSoundDrained) {
    const int32_t n = Voice.Speak(u"Hello world", XmlFlags);
    EXPECT_EQ(n, 1);
    EXPECT_TRUE(Starts.empty()); // events come only through the poster
    ASSERT_TRUE(
        RunUntil([&] { return !Audio.Streams.empty() && Audio.Streams[0]->Drained; }, false));
    EXPECT_THAT(Starts, ElementsAre(1));
    Poster.Pump();
    EXPECT_TRUE(Ends.empty()); // written, not yet heard
    EXPECT_TRUE(Words.empty());
    ASSERT_TRUE(RunUntil([&] { return Ended(1); }));
    const auto& samples = Audio.Streams[0]->Samples;
    EXPECT_GT(samples.size(), 22050u / 4);
    EXPECT_GT(MaxAmplitude(samples), 1000);
    EXPECT_THAT(EndBytes, ElementsAre(int64_t(samples.size()) * 2));
    EXPECT_TRUE(Audio.Streams[0]->Destroyed);
    EXPECT_EQ(Voice.Speak(u"Again", XmlFlags), 2);
}

TEST_F(EspeakVoice, RateAndTheRateTagChangeTheDuration) {
    const std::u16string text = u"The quick brown fox jumps over the lazy dog.";
    const size_t normal = SpeakAll(text).size();
    Voice.SetRate(8);
    const size_t fast = SpeakAll(text).size();
    Voice.SetRate(-8);
    const size_t slow = SpeakAll(text).size();
    Voice.SetRate(0);
    const size_t tagged = SpeakAll(u"<rate absspeed=\"8\"/>" + text).size();
    EXPECT_LT(fast * 3, normal * 2);
    EXPECT_GT(slow * 2, normal * 3);
    EXPECT_NEAR(double(tagged), double(fast), fast * 0.05);
}

TEST_F(EspeakVoice, ARateFactorShortensTheSpeechAndKeepsThePitch) {
    const std::u16string text = u"The quick brown fox jumps over the lazy dog near the river bank.";
    const auto normal = SpeakAll(text);
    Voice.SetRateFactor(1.5);
    const auto faster = SpeakAll(text);
    EXPECT_NEAR(double(normal.size()) / double(faster.size()), 1.5, 0.15);
    EXPECT_NEAR(MedianPitch(faster), MedianPitch(normal), MedianPitch(normal) * 0.08);
    Voice.SetRateFactor(1e9); // clamped to three times
    const auto fastest = SpeakAll(text);
    EXPECT_LT(fastest.size(), faster.size());
}

TEST_F(EspeakVoice, APreparedTextReportsItsLengthAndIsWhatASpeakOfItPlays) {
    std::vector<std::pair<uint64_t, int64_t>> prepared;
    Voice.OnPrepared = [&](uint64_t id, int64_t ms) { prepared.emplace_back(id, ms); };
    const std::u16string text = u"Synthesised before its moment comes.";
    Voice.SetRateFactor(1.3);
    const uint64_t id = Voice.Prepare(text, XmlFlags);
    ASSERT_NE(id, 0u);
    Voice.SetRateFactor(1.0);
    const uint64_t other = Voice.Prepare(u"Another line.", XmlFlags);
    ASSERT_TRUE(RunUntil([&] { return prepared.size() == 2; }, false));
    EXPECT_EQ(prepared[0].first, id);
    EXPECT_EQ(prepared[1].first, other);
    EXPECT_TRUE(Audio.Streams.empty()); // nothing is heard yet

    // The same text at the same settings plays the audio synthesised ahead:
    // all of it is there at once, and it is as long as reported.
    Voice.SetRateFactor(1.3);
    const int32_t n = Voice.Speak(text, XmlFlags);
    ASSERT_EQ(Audio.Streams.size(), 1u);
    const size_t atOnce = Audio.Streams[0]->Samples.size();
    EXPECT_THAT(Starts, ElementsAre(n));
    ASSERT_TRUE(RunUntil([&] { return Ended(n); }));
    EXPECT_EQ(atOnce, Audio.Streams[0]->Samples.size());
    EXPECT_NEAR(double(atOnce) * 1000 / 22050, double(prepared[0].second), 1.0);
    EXPECT_FALSE(Words.empty());

    // Used once: a second Speak synthesises anew, and so does one at another factor.
    const size_t streams = Audio.Streams.size();
    Voice.Speak(text, XmlFlags);
    EXPECT_TRUE(Audio.Streams.size() == streams + 1 && Audio.Streams.back()->Samples.empty());
    Voice.SetRateFactor(1.0);
    Voice.Speak(u"Another line.", XmlFlags);
    EXPECT_FALSE(Audio.Streams.back()->Samples.empty());
}

TEST_F(EspeakVoice, ATextDroppedToBoundMemoryIsReportedSoNobodyWaitsForIt) {
    std::vector<std::pair<uint64_t, int64_t>> reports;
    Voice.OnPrepared = [&](uint64_t id, int64_t ms) { reports.emplace_back(id, ms); };
    std::vector<uint64_t> ids;
    for (int i = 0; i < 70; ++i)
        ids.push_back(Voice.Prepare(u"Line number " + AsciiToWide(std::to_string(i)) + u" of many.", XmlFlags));
    ASSERT_TRUE(RunUntil([&] { return reports.size() == ids.size(); }, false));
    // Each id reported once: the first ones dropped (-1) unless they were done by then.
    std::set<uint64_t> reported;
    int dropped = 0;
    for (const auto& [id, ms] : reports) {
        reported.insert(id);
        dropped += ms < 0;
    }
    EXPECT_EQ(reported.size(), ids.size());
    EXPECT_LE(dropped, 6);
    EXPECT_GT(reports.back().second, 0);
}

TEST_F(EspeakVoice, DiscardedOrCutPreparationsReportNothingAndLeaveNothingBehind) {
    std::vector<uint64_t> prepared;
    Voice.OnPrepared = [&](uint64_t id, int64_t) { prepared.push_back(id); };
    std::u16string longText;
    for (int i = 0; i < 40; ++i)
        longText += u"A sentence that takes its time to be said. ";
    Voice.Prepare(longText, XmlFlags);
    Voice.DiscardPrepared();
    // A text not prepared goes before the preparations still queued.
    for (int i = 0; i < 5; ++i)
        Voice.Prepare(longText + AsciiToWide(std::to_string(i)), XmlFlags);
    const int32_t n = Voice.Speak(u"Now.", XmlFlags);
    ASSERT_TRUE(RunUntil([&] { return Ended(n); }));
    EXPECT_LT(prepared.size(), 5u);
    // A preparation being spoken is cut like any speech; the voice then goes
    // away with the others still under way.
    Voice.Speak(longText + u"0", XmlFlags);
    Voice.Speak(u"", SVSFPurgeBeforeSpeak);
    EXPECT_TRUE(std::find(prepared.begin(), prepared.end(), 1u) == prepared.end());
}

TEST_F(EspeakVoice, PitchTagRaisesThePitch) {
    const std::u16string text = u"Aaah, a lovely long vowel.";
    const auto low = SpeakAll(u"<PITCH ABSMIDDLE=\"-40\">" + text);
    const auto high = SpeakAll(u"<PITCH ABSMIDDLE=\"40\">" + text);
    const double lowHz = MedianPitch(low), highHz = MedianPitch(high);
    EXPECT_GT(lowHz, 50.0);
    EXPECT_GT(highHz, 1.3 * lowHz) << lowHz << " Hz vs " << highHz << " Hz";
}

TEST_F(EspeakVoice, VolumeZeroIsSilentButStillRunsToItsEnd) {
    Voice.SetVolume(0);
    const auto samples = SpeakAll(u"Hello world");
    EXPECT_GT(samples.size(), 22050u / 4);
    EXPECT_LT(MaxAmplitude(samples), 50);
}

TEST_F(EspeakVoice, UnknownTagsAndSilenceChangeOnlyWhatTheyShould) {
    const size_t plain = SpeakAll(u"a b").size();
    const size_t tagged = SpeakAll(u"a <foo bar> b").size();
    const size_t silence = SpeakAll(u"a <silence msec=\"1000\"/> b").size();
    EXPECT_NEAR(double(tagged), double(plain), plain * 0.05);
    EXPECT_NEAR(double(silence - plain), 22050.0, 22050.0 * 0.25);
}

TEST_F(EspeakVoice, WordPositionsPointIntoTheOriginalTextWithItsMarkup) {
    const std::u16string text =
        u"<pitch absmiddle=\"5\"/>Hello <foo>world</foo> &lt;\U0001F600&gt; again\r\n";
    const int32_t n = Voice.Speak(text, XmlFlags);
    ASSERT_TRUE(RunUntil([&] { return Ended(n); }));
    const auto words = SpokenWords(text, n);
    ASSERT_GE(words.size(), 3u);
    EXPECT_EQ(words.front(), u"Hello");
    EXPECT_EQ(words[1], u"world");
    EXPECT_EQ(words.back(), u"again");
    EXPECT_EQ(Words.front().Position, 22);
    for (size_t i = 1; i < Words.size(); ++i)
        EXPECT_GT(Words[i].Position, Words[i - 1].Position);
}

TEST_F(EspeakVoice, WordsArriveAsTheyAreHeard) {
    const int32_t n = Voice.Speak(u"One two three four five six seven eight nine ten.", XmlFlags);
    ASSERT_TRUE(
        RunUntil([&] { return !Audio.Streams.empty() && Audio.Streams[0]->Drained; }, false));
    Poster.Pump();
    EXPECT_TRUE(Words.empty());
    Audio.Play(Audio.Streams[0]->Samples.size() / 2);
    Poster.Pump();
    EXPECT_GE(Words.size(), 3u);
    EXPECT_LE(Words.size(), 7u);
    ASSERT_TRUE(RunUntil([&] { return Ended(n); }));
    EXPECT_EQ(Words.size(), 10u);
}

TEST_F(EspeakVoice, PurgeSilencesAtOnceAndTheCutStreamNeverEnds) {
    std::u16string longText;
    for (int i = 0; i < 40; ++i)
        longText += u"This sentence is here to keep the voice talking for a while. ";
    const int32_t first = Voice.Speak(longText, XmlFlags);
    ASSERT_TRUE(RunUntil([&] { return !Starts.empty(); }, false));
    Audio.Play(22050);
    Voice.Speak(u"", SVSFPurgeBeforeSpeak);
    EXPECT_TRUE(Audio.Streams[0]->Destroyed);
    const auto wordsAtPurge = Words.size();
    // A new Speak gets the engine quickly (generous bound) and is the only one to end.
    const auto start = std::chrono::steady_clock::now();
    const int32_t second = Voice.Speak(u"Next", XmlFlags);
    ASSERT_TRUE(RunUntil(
        [&] { return Audio.Streams.size() == 2 && !Audio.Streams[1]->Samples.empty(); }, false));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    ASSERT_TRUE(RunUntil([&] { return Ended(second); }));
    EXPECT_THAT(Ends, ElementsAre(second));
    for (size_t i = wordsAtPurge; i < Words.size(); ++i) {
        EXPECT_EQ(Words[i].Stream, second);
    }
    EXPECT_NE(first, second);
}

TEST_F(EspeakVoice, SecondPurgingSpeakCutsTheFirstOneWithoutAnEndForIt) {
    const int32_t first = Voice.Speak(u"First sentence that is cut.", XmlFlags);
    ASSERT_TRUE(RunUntil([&] { return !Starts.empty(); }, false));
    const int32_t second = Voice.Speak(u"Second.", XmlFlags);
    const int32_t third = Voice.Speak(u"Third.", XmlFlags); // before anything of the second arrived
    ASSERT_TRUE(RunUntil([&] { return Ended(third); }));
    for (int i = 0; i < 20; ++i)
        Poster.Pump(), Audio.Play();
    EXPECT_THAT(Starts, ElementsAre(first, third));
    EXPECT_THAT(Ends, ElementsAre(third));
    EXPECT_NE(second, third);
}

TEST_F(EspeakVoice, SpeakWithoutPurgeWaitsForTheOneSpeaking) {
    const int32_t a = Voice.Speak(u"Alpha.", SVSFlagsAsync);
    const int32_t b = Voice.Speak(u"Beta.", SVSFlagsAsync);
    ASSERT_TRUE(RunUntil([&] { return Ended(b); }));
    EXPECT_THAT(Starts, ElementsAre(a, b));
    EXPECT_THAT(Ends, ElementsAre(a, b));
    EXPECT_EQ(Audio.Streams.size(), 2u);
}

TEST_F(EspeakVoice, PauseHoldsTheSoundAlsoOfStreamsOpenedWhilePaused) {
    Voice.Pause();
    const int32_t n = Voice.Speak(u"Paused words.", XmlFlags);
    ASSERT_TRUE(RunUntil([&] { return !Audio.Streams.empty() && Audio.Streams[0]->Drained; }));
    for (int i = 0; i < 20; ++i)
        Poster.Pump(), Audio.Play();
    EXPECT_TRUE(Audio.Streams[0]->Paused);
    EXPECT_EQ(Audio.Streams[0]->Played, 0u);
    EXPECT_FALSE(Ended(n));
    Voice.Resume();
    ASSERT_TRUE(RunUntil([&] { return Ended(n); }));
}

TEST_F(EspeakVoice, EventInterestsFilterTheEvents) {
    Voice.SetEventInterests(SVEEndInputStream);
    SpeakAll(u"Only the end.");
    EXPECT_TRUE(Starts.empty());
    EXPECT_TRUE(Words.empty());
    EXPECT_EQ(Ends.size(), 1u);
}

TEST_F(EspeakVoice, ADeviceFailureEndsTheStreamAndTheNextSpeakWorks) {
    const int32_t n = Voice.Speak(u"The server goes away now.", XmlFlags);
    ASSERT_TRUE(RunUntil([&] { return !Starts.empty(); }, false));
    Audio.Streams[0]->Events.OnFailed("killed");
    ASSERT_TRUE(RunUntil([&] { return Ended(n); }, false));
    EXPECT_TRUE(Audio.Streams[0]->Destroyed);
    EXPECT_GT(SpeakAll(u"Back again.").size(), 0u);
}

TEST_F(EspeakVoice, SynthesisStaysAFewSecondsAheadOfTheListener) {
    std::u16string text;
    while (text.size() < 100000)
        text += u"Words and more words, a long text that nobody will hear to the end. ";
    const int32_t n = Voice.Speak(text, XmlFlags);
    ASSERT_TRUE(RunUntil([&] { return !Starts.empty(); }, false));
    std::this_thread::sleep_for(300ms); // the worker could synthesise minutes of sound meanwhile
    Poster.Pump();
    EXPECT_LT(Audio.Streams[0]->Samples.size(), 22050u * 5);
    // As the listener hears it, synthesis goes on.
    ASSERT_TRUE(RunUntil([&] { return Audio.Streams[0]->Samples.size() > 22050u * 10; }));
    Voice.Speak(u"", SVSFPurgeBeforeSpeak);
    EXPECT_FALSE(Ended(n));
    EXPECT_GT(SpeakAll(u"Next.").size(), 0u);
}

TEST_F(EspeakVoice, BadInputRunsToItsEnd) {
    std::u16string longText = u"Hello there. ";
    while (longText.size() < 100000)
        longText += u"  \r\n";
    longText += u"Goodbye.";
    const int32_t n = Voice.Speak(longText, XmlFlags);
    ASSERT_TRUE(RunUntil([&] { return Ended(n); }));
    EXPECT_EQ(SpokenWords(longText, n).back(), u"Goodbye");

    for (const std::u16string& text :
         {std::u16string(u"<pitch absmiddle=\"5\"/><foo><bar/></foo>\r\n"),
          std::u16string(u"<<<>>> <pitch absmiddle= <rate &#xD800; &#99999999; <!-- "),
          std::u16string(u"a\xD800 b \xDC00 c\xD83D")}) {
        const int32_t m = Voice.Speak(text, XmlFlags);
        ASSERT_TRUE(RunUntil([&] { return Ended(m); }));
        EXPECT_EQ(Starts.back(), m); // a start always precedes the end
        for (const auto& w : Words) {
            if (w.Stream == m) {
                EXPECT_LE(size_t(w.Position + w.Length), text.size());
            }
        }
    }
}

TEST_F(EspeakVoice, DestroyingTheVoiceWhileSpeakingLeavesNothingBehind) {
    bool raised = false; // outlives the voice: a late event must not find it
    {
        TEspeakSpeechVoice voice(Audio, Poster);
        voice.OnEndStream = voice.OnStartStream = [&](int32_t, int64_t) { raised = true; };
        voice.Speak(u"Speaking while the voice goes away.", XmlFlags);
        std::this_thread::sleep_for(50ms);
    }
    for (int i = 0; i < 20; ++i)
        Poster.Pump(), Audio.Play();
    EXPECT_FALSE(raised) << "a destroyed voice raised an event";
    EXPECT_TRUE(Audio.Streams[0]->Destroyed);
    EXPECT_GT(SpeakAll(u"Still fine.").size(), 0u);
}

// ---- File output ---------------------------------------------------------

TEST_F(EspeakVoice, FileStreamWritesAValidNonSilentWav) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("parlino-wav-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::u16string name = u"speech-\u00e9.wav";
    TWavFileStream file;
    file.Open(AsciiToWide(dir.string()) + u"/" + name, SSFMCreateForWrite, false);
    Voice.SetAudioOutputStream(&file);
    const int32_t n = Voice.Speak(u"Hello world, written to a file.", XmlFlags);
    ASSERT_TRUE(RunUntil([&] { return Ended(n); }, false)); // no device clock involved
    EXPECT_TRUE(Audio.Streams.empty());
    EXPECT_GE(Words.size(), 5u);
    Voice.SetAudioOutputStream(nullptr);
    file.Close();

    std::ifstream in(dir / "speech-\xc3\xa9.wav", std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(bytes.size(), 44u + 22050u);
    auto u32 = [&](size_t at) {
        return uint32_t(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24);
    };
    auto u16 = [&](size_t at) { return uint32_t(bytes[at] | bytes[at + 1] << 8); };
    EXPECT_EQ(std::memcmp(bytes.data(), "RIFF", 4), 0);
    EXPECT_EQ(u32(4), bytes.size() - 8);
    EXPECT_EQ(std::memcmp(bytes.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(u16(20), 1u); // PCM
    EXPECT_EQ(u16(22), 1u); // mono
    EXPECT_EQ(u32(24), 22050u);
    EXPECT_EQ(u16(34), 16u);
    EXPECT_EQ(std::memcmp(bytes.data() + 36, "data", 4), 0);
    EXPECT_EQ(u32(40), bytes.size() - 44);
    EXPECT_EQ(int64_t(u32(40)), EndBytes.back());
    std::vector<int16_t> samples((bytes.size() - 44) / 2);
    std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
    EXPECT_GT(MaxAmplitude(samples), 1000);
    std::filesystem::remove_all(dir);
}

TEST(WavFileStream, RefusesReadModesAndUnopenableFiles) {
    TWavFileStream file;
    EXPECT_THROW(file.Open(u"/tmp/x.wav", 0, false), EParlinoError);
    EXPECT_THROW(file.Open(u"/nonexistent-dir/x.wav", SSFMCreateForWrite, false), EFOpenError);
    EXPECT_FALSE(file.IsOpen());
    file.Close();
}
