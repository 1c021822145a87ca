#pragma once
// Shared by the renderer's tests: subtitle files written on the fly, the
// program run with captured output, WAV files read back, and a text
// synthesised alone through the engine, as the voice would send it, to
// compare the rendered track with.

#include "platform/linux/TEspeakEngine.h"
#include "platform/linux/TEspeakVoice.h"
#include "platform/linux/TFfmpegFilmAudio.h"
#include "platform/linux/TFfmpegFilmReader.h"
#include "platform/linux/TIconvCodec.h"
#include "render/TRenderProgram.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace parlino::test {

inline std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "/" + name;
}

inline std::string DataPath(const std::string& name) {
    return std::string(PARLINO_TEST_DATA) + "/render/" + name;
}

// A SubRip file of (start ms, text) entries, each a second long.
inline std::string WriteSrt(const std::string& name,
                            const std::vector<std::pair<int, std::string>>& entries) {
    const std::string path = TempPath(name);
    std::ofstream out(path, std::ios::binary);
    auto time = [](int ms) {
        char text[48];
        std::snprintf(text, sizeof text, "%02d:%02d:%02d,%03d", ms / 3600000, ms / 60000 % 60,
                      ms / 1000 % 60, ms % 1000);
        return std::string(text);
    };
    int n = 1;
    for (const auto& [ms, text] : entries)
        out << n++ << "\r\n"
            << time(ms) << " --> " << time(ms + 1000) << "\r\n"
            << text << "\r\n\r\n";
    return path;
}

struct TRunResult {
    int Status = 0;
    std::string Out, Err;
};

// The program as a user runs it, on a system in code page 1252.
inline TRunResult RunRender(const std::vector<std::string>& args) {
    static const TIconvCodec codec(1252);
    static const TFfmpegFilmReader film;
    static const TFfmpegFilmAudio audio;
    const TRenderEnvironment env{codec, std::string(PARLINO_TEST_DATA) + "/render", nullptr, {}, &film, &audio};
    std::ostringstream out, err;
    TRunResult r;
    r.Status = RunRenderProgram(args, out, err, env);
    r.Out = out.str();
    r.Err = err.str();
    return r;
}

struct TWav {
    int SampleRate = 0;
    int Channels = 0;
    int Bits = 0;
    std::vector<int16_t> Samples;
    std::string Bytes; // the whole file
};

inline TWav ReadWav(const std::string& path) {
    TWav wav;
    std::ifstream in(path, std::ios::binary);
    wav.Bytes.assign(std::istreambuf_iterator<char>(in), {});
    const std::string& b = wav.Bytes;
    auto u16 = [&](size_t at) {
        return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1])
                                                                       << 8);
    };
    auto u32 = [&](size_t at) {
        return static_cast<uint32_t>(u16(at) | uint32_t(u16(at + 2)) << 16);
    };
    if (b.size() < 44 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0)
        return wav;
    wav.Channels = u16(22);
    wav.SampleRate = static_cast<int>(u32(24));
    wav.Bits = u16(34);
    const uint32_t dataBytes = u32(40);
    for (size_t i = 44; i + 1 < b.size() && i < 44 + size_t(dataBytes); i += 2)
        wav.Samples.push_back(static_cast<int16_t>(u16(i)));
    return wav;
}

// What the voice sends the engine for `text` (ASCII) with the default voice
// and settings, synthesised alone.
inline std::vector<int16_t> SynthesiseAlone(const std::string& text) {
    auto engine = TEspeakEngine::Shared();
    const std::string tagged = "<PITCH ABSMIDDLE=\"0\">" + text + "\r\n";
    const std::u16string wide(tagged.begin(), tagged.end());
    TEspeakJob job;
    for (const TSpeechRun& run : ParseSpeechText(wide, true, 0, 100)) {
        TEspeakPiece piece;
        piece.Utf8Text = run.Utf8Text;
        piece.VoiceName = engine->Voices().empty() ? std::string() : engine->Voices().front().Name;
        piece.WordsPerMinute = EspeakWordsPerMinute(run.Prosody.Rate);
        piece.Pitch = EspeakPitch(run.Prosody.Pitch);
        piece.Amplitude = EspeakAmplitude(run.Prosody.Volume);
        piece.SilenceMs = run.SilenceMs;
        job.Pieces.push_back(std::move(piece));
    }
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::vector<int16_t> samples;
    job.OnAudio = [&](const int16_t* s, size_t count) {
        std::lock_guard lock(mutex);
        samples.insert(samples.end(), s, s + count);
    };
    job.OnFinished = [&](bool) {
        std::lock_guard lock(mutex);
        done = true;
        finished.notify_all();
    };
    engine->Submit(std::move(job));
    std::unique_lock lock(mutex);
    finished.wait(lock, [&] { return done; });
    return samples;
}

// The first sample at or after `from` louder than `threshold`, or -1.
inline int64_t FirstSound(const std::vector<int16_t>& s, size_t from = 0, int threshold = 300) {
    for (size_t i = from; i < s.size(); ++i)
        if (s[i] > threshold || s[i] < -threshold)
            return static_cast<int64_t>(i);
    return -1;
}

// Frames louder than `threshold`.
inline size_t LoudFrames(const std::vector<int16_t>& s, int threshold = 300) {
    size_t n = 0;
    for (int16_t v : s)
        n += v > threshold || v < -threshold;
    return n;
}

} // namespace parlino::test
