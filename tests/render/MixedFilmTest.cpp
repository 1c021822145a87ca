// parlino-render --mix end to end, with the real voice, on films the test
// makes with FFmpeg's command line: a steady 7.5 kHz tone (above what the
// level measurement lets the voice disturb), then silence. The film's level
// is measured with a Goertzel filter at the tone, the voice in the silence.

#include "platform/linux/TFfmpegFilmAudio.h"
#include "render/RenderTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <sstream>

using namespace parlino;
using namespace parlino::test;

namespace {

constexpr double ToneHz = 7500;
constexpr int FilmSeconds = 16, ToneSeconds = 10;

struct TSound {
    TFilmAudioInfo Info;
    std::vector<float> Samples; // interleaved
    size_t Frames() const { return Samples.size() / Info.Channels.size(); }
};

TSound Decode(const std::string& path) {
    TSound sound;
    const auto decoder = TFfmpegFilmAudio().OpenSound(path);
    sound.Info = decoder->Info();
    std::vector<float> block;
    while (decoder->Read(block)) sound.Samples.insert(sound.Samples.end(), block.begin(), block.end());
    return sound;
}

// The tone's level in dB (full scale 0) in channel `c` over [fromMs, toMs).
double ToneDb(const TSound& s, size_t c, int64_t fromMs, int64_t toMs) {
    const size_t channels = s.Info.Channels.size(), rate = size_t(s.Info.SampleRate);
    const size_t from = size_t(fromMs) * rate / 1000, to = size_t(toMs) * rate / 1000;
    const double w = 2 * std::numbers::pi * ToneHz / double(rate);
    double s1 = 0, s2 = 0;
    for (size_t i = from; i < to; ++i) {
        const double s0 = s.Samples[i * channels + c] + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double amplitude = 2 * std::sqrt(s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2) / double(to - from);
    return 20 * std::log10(amplitude);
}

// Where each heard entry's speech begins and ends, from --report.
std::vector<std::pair<int64_t, int64_t>> SpeechSpans(const std::string& report) {
    std::vector<std::pair<int64_t, int64_t>> spans;
    std::ifstream file(report);
    std::string line;
    std::getline(file, line); // the header
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string number, due, onset, end;
        std::getline(fields, number, '\t');
        std::getline(fields, due, '\t');
        std::getline(fields, onset, '\t');
        std::getline(fields, end, '\t');
        if (!onset.empty()) spans.emplace_back(std::stoll(onset), std::stoll(end));
    }
    return spans;
}

void Ffmpeg(const std::string& arguments) {
    const std::string command = "ffmpeg -nostdin -y -loglevel error " + arguments;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

std::string ToneFilm(const std::string& name, int rate, const std::string& layout, const std::string& codec) {
    const std::string path = TempPath(name);
    Ffmpeg("-f lavfi -i 'aevalsrc=0.25*sin(2*PI*" + std::to_string(int(ToneHz)) + "*t)*lt(t\\," +
           std::to_string(ToneSeconds) + "):s=" + std::to_string(rate) + ":c=" + layout +
           ":d=" + std::to_string(FilmSeconds) + "' -c:a " + codec + " '" + path + "'");
    return path;
}

// Two lines over the tone, and one in the silence that runs past the film's end.
std::string Lines() {
    return WriteSrt("mix.srt", {{1500, "Hello there, the voice speaks."},
                                {5500, "A second line, apart."},
                                {11000, "The last words go on and on, past the very end of the film, where they "
                                        "are cut off, whatever else they might have said."}});
}

// The loudness (RMS) of every 20 ms of `samples` (every `stride`-th from `first`).
std::vector<double> Envelope(const std::vector<float>& samples, size_t first, size_t stride, size_t count, int rate) {
    std::vector<double> energy;
    const size_t window = size_t(rate) / 50;
    for (size_t w = 0; (w + 1) * window <= count; ++w) {
        double sum = 0;
        for (size_t i = w * window; i < (w + 1) * window; ++i) sum += double(samples[first + i * stride]) * samples[first + i * stride];
        energy.push_back(std::sqrt(sum / double(window)));
    }
    return energy;
}

// How alike two envelopes are (their correlation; 1: the same shape),
// allowing one window's shift: the engine's noise and the exact samples
// differ from one render to the next, the speech does not.
double EnvelopeMatch(const std::vector<double>& a, const std::vector<double>& b) {
    double best = -1;
    const size_t n = std::min(a.size(), b.size()) - 2;
    for (size_t shift = 0; shift <= 2; ++shift) {
        double ma = 0, mb = 0;
        for (size_t i = 1; i <= n; ++i) ma += a[i], mb += b[i + shift - 1];
        ma /= double(n);
        mb /= double(n);
        double ab = 0, aa = 0, bb = 0;
        for (size_t i = 1; i <= n; ++i) {
            const double x = a[i] - ma, y = b[i + shift - 1] - mb;
            ab += x * y;
            aa += x * x;
            bb += y * y;
        }
        if (aa > 0 && bb > 0) best = std::max(best, ab / std::sqrt(aa * bb));
    }
    return best;
}

std::vector<float> Floats(const std::vector<int16_t>& samples) {
    std::vector<float> out;
    for (int16_t v : samples) out.push_back(float(v) / 32768);
    return out;
}

} // namespace

TEST(MixedFilm, TheFilmDipsByTheChosenDepthUnderTheVoiceOnlyAndLastsItsWholeLength) {
    const std::string srt = Lines();
    const std::string plainWav = TempPath("mix-plain.wav");
    ASSERT_EQ(RunRender({"--voice", "en-gb", "-o", plainWav, srt}).Status, 0);
    const TWav plain = ReadWav(plainWav);
    const struct {
        std::string Film, Layout, Codec, Output;
        int Rate, Duck;
        size_t VoiceChannel, QuietChannel; // QuietChannel: one without voice, or none
        size_t LengthSlack;                // frames a lossy output may differ by
    } cases[] = {
        {"tone.wav", "stereo", "pcm_s16le", "mixed.wav", 48000, 12, 0, SIZE_MAX, 0},
        {"tone.webm", "stereo", "libopus", "mixed.flac", 48000, 20, 1, SIZE_MAX, 0},
        {"tone.mkv", "5.1", "aac", "mixed.m4a", 44100, 12, 2, 0, 2048},
        // At the voice's own rate, not lowered at all.
        {"tone.flac", "mono", "flac", "unducked.wav", 22050, 0, 0, SIZE_MAX, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Film + " -> " + c.Output);
        const std::string filmPath = ToneFilm(c.Film, c.Rate, c.Layout, c.Codec);
        const std::string out = TempPath(c.Output), report = TempPath("mix.tsv");
        const TRunResult r = RunRender({"--voice", "en-gb", "--mix", filmPath, "--duck", std::to_string(c.Duck),
                                        "--report", report, "-o", out, srt});
        ASSERT_EQ(r.Status, 0) << r.Err;
        EXPECT_NE(r.Out.find("past the film's end"), std::string::npos) << r.Out;
        EXPECT_EQ(r.Out.find(" dB lower") == std::string::npos, c.Duck == 0) << r.Out;
        const TSound film = Decode(filmPath), mixed = Decode(out);
        EXPECT_EQ(mixed.Info.SampleRate, c.Rate);
        EXPECT_EQ(mixed.Info.Channels, film.Info.Channels);
        EXPECT_NEAR(double(mixed.Frames()), double(film.Frames()), double(c.LengthSlack));
        EXPECT_NEAR(double(film.Frames()), double(c.Rate) * FilmSeconds, 2048);

        const auto spans = SpeechSpans(report);
        ASSERT_EQ(spans.size(), 3u);
        // Outside speech, well clear of the ramps: the film as it was.
        const std::pair<int64_t, int64_t> quiet[] = {{100, spans[0].first - 200},
                                                     {spans[0].second + 700, spans[1].first - 200},
                                                     {spans[1].second + 700, ToneSeconds * 1000 - 100}};
        for (const auto& [from, to] : quiet) {
            ASSERT_GT(to - from, 200) << from;
            EXPECT_NEAR(ToneDb(mixed, c.VoiceChannel, from, to), ToneDb(film, c.VoiceChannel, from, to), 0.5)
                << from << ".." << to;
        }
        // Under the speech: lower by the chosen depth (0: as it was).
        for (size_t i = 0; i < 2; ++i) {
            const auto [from, to] = spans[i];
            EXPECT_NEAR(ToneDb(mixed, c.VoiceChannel, from, to) - ToneDb(film, c.VoiceChannel, from, to), -c.Duck,
                        c.Duck ? 2.0 : 0.5)
                << from << ".." << to;
        }
        // In the silence the mix is the voice: the same speech, in the same place.
        const size_t channels = mixed.Info.Channels.size();
        const std::vector<float> plainFloats = Floats(plain.Samples);
        const double match = EnvelopeMatch(
            Envelope(mixed.Samples, (ToneSeconds + 1) * size_t(c.Rate) * channels + c.VoiceChannel, channels,
                     4 * size_t(c.Rate), c.Rate),
            Envelope(plainFloats, (ToneSeconds + 1) * 22050, 1, 4 * 22050, 22050));
        EXPECT_GT(match, 0.9);
        std::vector<float> quietChannel;
        for (size_t i = (ToneSeconds + 1) * size_t(c.Rate); c.QuietChannel != SIZE_MAX && i < mixed.Frames(); ++i)
            quietChannel.push_back(mixed.Samples[i * channels + c.QuietChannel]);
        for (float v : quietChannel) ASSERT_LT(std::abs(v), 0.01f) << "voice outside the centre";
    }
}

TEST(MixedFilm, SoundThatStartsLateInTheFilmKeepsItsPlace) {
    const std::string srt = WriteSrt("late.srt", {{2800, "Late."}});
    for (const std::string name : {"late.mkv", "late.mp4"}) {
        SCOPED_TRACE(name);
        const std::string film = TempPath(name), out = TempPath("late-mixed.wav");
        Ffmpeg("-itsoffset 0.5 -f lavfi -i 'sine=f=" + std::to_string(int(ToneHz)) + ":r=48000:d=3' -c:a " +
               (name.ends_with(".mp4") ? "aac" : "pcm_s16le") + " '" + film + "'");
        const TRunResult r = RunRender({"--voice", "en-gb", "--mix", film, "-o", out, srt});
        ASSERT_EQ(r.Status, 0) << r.Err;
        const TSound mixed = Decode(out);
        // Silence until the film's sound begins at 0.5 s, then the tone at its level.
        EXPECT_LT(ToneDb(mixed, 0, 0, 480), -60);
        EXPECT_NEAR(ToneDb(mixed, 0, 520, 900), ToneDb(Decode(film), 0, 1000, 1400), 0.5);
        EXPECT_NEAR(double(mixed.Frames()), 3.5 * 48000, 1100);
    }
}

TEST(MixedFilm, AFilmWithoutSoundFailsClearlyAndLeavesNoFile) {
    const std::string srt = WriteSrt("mute.srt", {{500, "Nothing to mix into."}});
    const std::string film = TempPath("mute.mkv");
    Ffmpeg("-i '" + srt + "' -c:s srt '" + film + "'");
    const std::string folder = TempPath("mute-out");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const TRunResult r = RunRender({"--mix", film, "-o", folder + "/mixed.wav", srt});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "parlino-render: \"" + film + "\" has no audio stream to mix the voice into.\n");
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    const TRunResult missing = RunRender({"--mix", TempPath("no-such-film.mkv"), "-o", folder + "/m.wav", srt});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_NE(missing.Err.find("Cannot open file"), std::string::npos) << missing.Err;
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}
