// The parts of --mix on their own: where the voice goes in each channel
// layout, the film's gain around the voice's speech through the whole
// export, clipping, and the voice at other sample rates.

#include "fakes/TFakeFilmAudio.h"
#include "render/TFilmMixer.h"
#include "render/TMixedExport.h"
#include "render/TVoiceFeed.h"
#include "render/TVoiceResampler.h"
#include "render/RenderTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <thread>

using namespace parlino;
using namespace parlino::test;

namespace {
using R = TChannelRole;

// A voice that reads `samples` in whatever pieces are asked for.
TVoiceResampler::TSource From(const std::vector<int16_t>& samples) {
    return [&samples, read = size_t(0)](int16_t* s, size_t n) mutable {
        n = std::min(n, samples.size() - read);
        std::copy_n(samples.begin() + std::ptrdiff_t(read), n, s);
        read += n;
        return n;
    };
}

} // namespace

TEST(FilmMix, TheVoiceGoesToTheCentreElseFrontLeftAndRightElseEverywhere) {
    const struct {
        std::vector<R> Channels;
        std::vector<float> Weights;
    } cases[] = {
        {{R::FrontCentre}, {1}},                                        // mono
        {{R::FrontLeft, R::FrontRight}, {1, 1}},                        // stereo
        {{R::FrontLeft, R::FrontRight, R::FrontCentre, R::Other, R::Other, R::Other}, {0, 0, 1, 0, 0, 0}}, // 5.1
        {{R::FrontLeft, R::FrontRight, R::Other, R::Other}, {1, 1, 0, 0}}, // quad
        {{R::Other, R::Other, R::Other}, {1, 1, 1}},                    // nothing known
    };
    for (const auto& c : cases) EXPECT_EQ(VoiceWeights(c.Channels), c.Weights);
}

TEST(FilmMix, TheFilmIsLoweredAroundEachHeardEntryAndStaysDownBetweenCloseOnes) {
    // A steady film, a silent voice: the output is the film's gain.
    TFakeFilmAudio film;
    film.Info.SampleRate = 8000;
    film.Info.Channels = {R::FrontCentre};
    film.Samples.assign(8000 * 6, 0.5f);
    std::vector<TEntryTiming> timings(4);
    timings[0] = {.Heard = true, .OnsetMs = 1000, .EndMs = 1500};
    timings[1] = {.Heard = false, .OnsetMs = 2500, .EndMs = 3000}; // never heard: no dip
    timings[2] = {.Heard = true, .OnsetMs = 4000, .EndMs = 4200};
    timings[3] = {.Heard = true, .OnsetMs = 4800, .EndMs = 5000}; // 600 ms later: no rise between
    const std::string out = TempPath("gain.wav");
    TMixedExport mix(film, "film", out, TSoundFileFormat::Wav, 12);
    const uint64_t frames = mix.Mix([](int16_t*, size_t) { return size_t(0); }, 22050, timings, nullptr);
    mix.Commit();
    EXPECT_EQ(frames, 8000u * 6);
    EXPECT_TRUE(film.Finished);
    auto dbAt = [&](int ms) { return 20 * std::log10(film.Written.at(size_t(ms) * 8) / 16384.0); };
    const struct {
        int Ms;
        double Db;
    } expected[] = {
        {0, 0},      {899, 0},      {950, -6},   {1000, -12}, {1500, -12}, {1800, -12}, // held 300 ms
        {1950, -6},  {2100, 0},     {2700, 0},   {3950, -6},  {4500, -12}, {4700, -12},
        {5300, -12}, {5450, -6},    {5600, 0},   {5999, 0},
    };
    for (const auto& e : expected) EXPECT_NEAR(dbAt(e.Ms), e.Db, 0.15) << e.Ms << " ms";
    EXPECT_TRUE(std::filesystem::exists(out));
}

TEST(FilmMix, ALoudSumIsHeldAtFullScaleAndZeroDbLeavesTheFilmAsItIs) {
    TFilmMixer mixer(1000, {1, 1}, {{0, 1000}}, 0);
    const float film[] = {0.9f, -0.9f, 0.9f, -0.9f, 0.25f, -0.25f};
    const float voice[] = {0.9f, -0.9f, 0};
    int16_t out[6];
    mixer.Mix(film, voice, 3, out);
    EXPECT_EQ(std::vector<int16_t>(out, out + 6), (std::vector<int16_t>{32767, 0, 0, -32768, 8192, -8192}));
}

TEST(FilmMix, TheVoiceAtAnotherRateKeepsItsPitchLevelAndPlace) {
    for (const int outRate : {48000, 44100, 22050, 16000, 8000}) {
        SCOPED_TRACE(outRate);
        const int inRate = 22050;
        // Two seconds of 440 Hz at half scale, then a click at 2.5 s.
        std::vector<int16_t> voice(size_t(inRate) * 3, 0);
        for (size_t i = 0; i < size_t(inRate) * 2; ++i)
            voice[i] = int16_t(16384 * std::sin(2 * std::numbers::pi * 440 * double(i) / inRate));
        voice[size_t(inRate) * 5 / 2] = 30000;
        TVoiceResampler resampler(inRate, outRate, From(voice));
        std::vector<float> out(size_t(outRate) * 4);
        // In uneven pieces, as the film's blocks come.
        for (size_t at = 0; at < out.size();) {
            const size_t n = std::min<size_t>(out.size() - at, 777 + at % 1000);
            resampler.Pull(out.data() + at, n);
            at += n;
        }
        // Over the middle second, the tone as it would be sampled at the new
        // rate: the same level, pitch and phase, to within -40 dB.
        double error = 0, signal = 0;
        for (size_t i = size_t(outRate) / 2; i < size_t(outRate) * 3 / 2; ++i) {
            const double want = 0.5 * std::sin(2 * std::numbers::pi * 440 * double(i) / outRate);
            error += (out[i] - want) * (out[i] - want);
            signal += want * want;
        }
        EXPECT_LT(10 * std::log10(error / signal), -40);
        // The click where 2.5 s falls at the new rate; silence after the voice.
        const auto peak = std::max_element(out.begin() + outRate * 2, out.end());
        EXPECT_NEAR(double(peak - out.begin()), outRate * 2.5, 1.0);
        EXPECT_EQ(out.back(), 0.0f);
    }
    // Going down, what the lower rate cannot hold goes rather than folding
    // back: 6 kHz at 8 kHz would sound at 2 kHz.
    std::vector<int16_t> high(22050);
    for (size_t i = 0; i < high.size(); ++i) high[i] = int16_t(16384 * std::sin(2 * std::numbers::pi * 6000 * double(i) / 22050));
    TVoiceResampler down(22050, 8000, From(high));
    std::vector<float> low(8000);
    down.Pull(low.data(), low.size());
    double energy = 0;
    for (size_t i = 1000; i < 7000; ++i) energy += double(low[i]) * low[i];
    EXPECT_LT(10 * std::log10(energy / 6000 / 0.125), -40);
}

TEST(FilmMix, AFilmWithoutSoundOrAFailedWriteLeavesNoOutput) {
    const std::string out = TempPath("no-output.wav");
    std::filesystem::remove(out);
    TFakeFilmAudio film;
    film.HasAudio = false;
    EXPECT_THROW(TMixedExport(film, "film.mkv", out, TSoundFileFormat::Wav, 12), EParlinoError);
    film.HasAudio = true;
    film.Samples.assign(48000 * 2, 0.1f);
    film.FailAfterFrames = 10000;
    {
        TMixedExport mix(film, "film.mkv", out, TSoundFileFormat::Wav, 12);
        EXPECT_THROW(mix.Mix([](int16_t*, size_t) { return size_t(0); }, 22050, {}, nullptr), EParlinoError);
    }
    for (const auto& entry : std::filesystem::directory_iterator(TempPath("")))
        EXPECT_EQ(entry.path().filename().string().find("no-output.wav"), std::string::npos) << entry.path();
}

// The mix beside the render reads the voice and its speech as the render
// settles them, tick by tick, and must come out as the mix after the render.
TEST(FilmMix, TheMixBesideTheRenderComesOutAsTheMixAfterIt) {
    const int voiceRate = 22050;
    TFakeFilmAudio film;
    film.Info.SampleRate = 8000;
    film.Samples.resize(8000 * 2 * 8);
    for (size_t i = 0; i < film.Samples.size(); ++i) film.Samples[i] = 0.4f * float(std::sin(double(i) * 0.01));
    // Three lines, the last 900 ms after the second (so the film stays down
    // between them only if the mix knew of it in time); the voice's track
    // ends with the last line, before the film does.
    const std::vector<std::pair<int64_t, int64_t>> lines = {{1000, 1800}, {2500, 3200}, {4100, 5000}};
    std::vector<int16_t> voice(size_t(voiceRate) * 5, 0);
    std::vector<TEntryTiming> timings;
    for (const auto& [from, to] : lines) {
        for (size_t i = size_t(from * voiceRate / 1000); i < size_t(to * voiceRate / 1000); ++i)
            voice[i] = int16_t(8000 * std::sin(double(i) * 0.07));
        timings.push_back({.Heard = true, .OnsetMs = from, .EndMs = to});
    }
    TMixedExport after(film, "film", TempPath("after.wav"), TSoundFileFormat::Wav, 12);
    after.Mix(From(voice), voiceRate, timings, nullptr);
    const std::vector<int16_t> expected = film.Written;

    TVoiceFeed feed;
    TMixedExport beside(film, "film", TempPath("beside.wav"), TSoundFileFormat::Wav, 12);
    beside.StartBeside(feed, voiceRate);
    // 100 ms ticks, as the render's: audio goes out only once speech
    // follows the silence before it, and reaches the feed only every two
    // seconds, as a writer's buffer holds it back; a line is given once it
    // is over, and until then holds back what counts as settled.
    uint64_t out = 0, written = 0;
    size_t given = 0;
    for (int64_t clockMs = 0; clockMs <= 6000; clockMs += 100) {
        const uint64_t clock = uint64_t(clockMs) * voiceRate / 1000;
        for (uint64_t i = out; i < std::min<uint64_t>(clock, voice.size()); ++i)
            if (voice[i] != 0) out = i + 1;
        if (clockMs % 2000 == 0 || clockMs == 6000) {
            feed.Write(voice.data() + written, out - written);
            written = out;
        }
        std::vector<TSpeechStretch> over;
        int64_t settledMs = clockMs;
        for (; given < lines.size() && lines[given].first < clockMs; ++given) {
            if (lines[given].second > clockMs) {
                settledMs = lines[given].first;
                break;
            }
            over.push_back({lines[given].first, lines[given].second});
        }
        feed.Settle(out, clock, settledMs, over);
        std::this_thread::sleep_for(std::chrono::milliseconds(2)); // the mix catches up and waits
    }
    feed.End({});
    EXPECT_EQ(beside.Wait(nullptr), 8000u * 8);
    EXPECT_EQ(film.Written, expected);

    // A render that stops short: the mix waiting on it ends, and nothing is left.
    {
        TVoiceFeed stopped;
        TMixedExport mix(film, "film", TempPath("stopped.wav"), TSoundFileFormat::Wav, 12);
        mix.StartBeside(stopped, voiceRate);
        stopped.Write(voice.data(), 1000);
    }
    for (const auto& entry : std::filesystem::directory_iterator(TempPath("")))
        EXPECT_EQ(entry.path().filename().string().find("stopped.wav"), std::string::npos) << entry.path();
}
