// The voice-over render of a generated two-hour film of 1,500 subtitles,
// against the shell script a user would otherwise write (render_script.sh:
// the espeak-ng program per subtitle, sox to place the clips) and against
// the bare synthesis of the same texts through the engine alone. Prints
// the three times, measured in one run, and their ratios.

#include "FilmTextGenerator.h"
#include "platform/linux/TEspeakEngine.h"
#include "platform/linux/TEspeakVoice.h"
#include "platform/linux/TIconvCodec.h"
#include "render/TRenderProgram.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

using namespace parlino;
using TClock = std::chrono::steady_clock;

namespace {

constexpr size_t SubtitleCount = 1500;
constexpr int32_t SpacingMs = 4800; // 1,500 x 4.8 s: two hours

std::string Time(int32_t ms) {
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d,%03d", ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
    return text;
}

// Plain film dialogue, 3 to 12 words, the same on every run.
std::vector<std::string> FilmTexts() {
    bench::TSplitMix rnd(20240607);
    const auto& words = bench::EnglishVocabulary();
    static const char* const endings[] = {".", "?", "!", "...", "."};
    std::vector<std::string> texts;
    for (size_t i = 0; i < SubtitleCount; ++i) {
        std::string text;
        const size_t count = 3 + rnd.Below(10);
        for (size_t w = 0; w < count; ++w) {
            std::string word = words[rnd.Below(words.size())];
            if (w == 0 && word[0] >= 'a' && word[0] <= 'z')
                word[0] = static_cast<char>(word[0] - 'a' + 'A');
            text += (w ? " " : "") + word;
        }
        texts.push_back(text + endings[rnd.Below(5)]);
    }
    return texts;
}

double Seconds(TClock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Every text as the voice sends it, synthesised one after another by the
// engine with nothing else going on.
double BareSynthesis(const std::vector<std::string>& texts, double& audioSeconds) {
    auto engine = TEspeakEngine::Shared();
    std::mutex mutex;
    std::condition_variable finished;
    size_t done = 0;
    uint64_t samples = 0;
    const auto t0 = TClock::now();
    for (const std::string& text : texts) {
        const std::string tagged = "<PITCH ABSMIDDLE=\"0\">" + text + "\r\n";
        TEspeakJob job;
        for (const TSpeechRun& run :
             ParseSpeechText(std::u16string(tagged.begin(), tagged.end()), true, 0, 100)) {
            TEspeakPiece piece;
            piece.Utf8Text = run.Utf8Text;
            piece.VoiceName = engine->Voices().front().Name;
            piece.SilenceMs = run.SilenceMs;
            job.Pieces.push_back(std::move(piece));
        }
        job.OnAudio = [&](const int16_t*, size_t count) { samples += count; }; // worker only
        job.OnFinished = [&](bool) {
            std::lock_guard lock(mutex);
            ++done;
            finished.notify_all();
        };
        engine->Submit(std::move(job));
    }
    std::unique_lock lock(mutex);
    finished.wait(lock, [&] { return done == texts.size(); });
    audioSeconds = double(samples) / engine->SampleRate();
    return Seconds(TClock::now() - t0);
}

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "parlino-render-bench";
    std::filesystem::create_directories(folder);
    const std::string srt = (folder / "film.srt").string();
    const std::vector<std::string> texts = FilmTexts();
    {
        std::ofstream out(srt, std::ios::binary);
        for (size_t i = 0; i < texts.size(); ++i) {
            const int32_t start = static_cast<int32_t>(i + 1) * SpacingMs;
            out << i + 1 << "\r\n"
                << Time(start) << " --> " << Time(start + 3000) << "\r\n"
                << texts[i] << "\r\n\r\n";
        }
    }
    std::printf("film: %zu subtitles, %s long, %s\n", texts.size(),
                Time(int32_t(texts.size() + 1) * SpacingMs).c_str(), srt.c_str());

    // The engine starts before any timing, so that no figure includes it.
    if (!TEspeakEngine::Shared()->Initialised()) {
        std::fprintf(stderr, "espeak-ng did not start\n");
        return 1;
    }

    double audioSeconds = 0;
    const double bare = BareSynthesis(texts, audioSeconds);
    std::printf("bare synthesis:  %7.2f s  (%.0f s of speech, %.0fx real time)\n", bare,
                audioSeconds, audioSeconds / bare);

    TIconvCodec codec;
    const TRenderEnvironment env{codec, {}, nullptr, {}, nullptr};
    const std::string ours = (folder / "film.wav").string();
    std::ostringstream out, err;
    const auto r0 = TClock::now();
    const int status = RunRenderProgram({"-o", ours, srt}, out, err, env);
    const double render = Seconds(TClock::now() - r0);
    if (status != 0) {
        std::fprintf(stderr, "parlino-render failed: %s", err.str().c_str());
        return 1;
    }
    std::printf("parlino-render:  %7.2f s  (%s)\n", render,
                out.str().substr(0, out.str().size() - 1).c_str());

    // The script lies beside this file in the source tree, or is given.
    std::filesystem::path script =
        argc > 1 ? std::filesystem::path(argv[1])
                 : std::filesystem::path(__FILE__).parent_path() / "render_script.sh";
    double scripted = 0;
    if (std::system("command -v espeak-ng >/dev/null && command -v sox >/dev/null") != 0) {
        std::printf("script:          skipped (needs the espeak-ng and sox programs)\n");
    } else {
        const std::string command = "bash '" + script.string() + "' '" + srt + "' '" +
                                    (folder / "script.wav").string() + "' >/dev/null 2>&1";
        const auto s0 = TClock::now();
        const int scriptStatus = std::system(command.c_str());
        scripted = Seconds(TClock::now() - s0);
        if (scriptStatus != 0)
            std::printf("script:          failed (%s)\n", command.c_str());
        else
            std::printf("script:          %7.2f s  (%s)\n", scripted, script.c_str());
    }

    std::printf("render / bare synthesis: %.2fx (target at most 1.2x)\n", render / bare);
    if (scripted > 0)
        std::printf("script / render:         %.1fx (target at least 3x)\n", scripted / render);
    return 0;
}
