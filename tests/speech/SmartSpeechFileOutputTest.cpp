// File output of the speech facade with the real WAV file stream: the file
// monitor must see the very file the stream writes, whatever its name.

#include "fakes/TFakeSpeechVoice.h"
#include "fakes/TQueuePoster.h"
#include "platform/linux/TIconvCodec.h"
#include "platform/linux/TWavFileStream.h"
#include "speech/UbSmartSpeech.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>
#include <unistd.h>

using namespace parlino;
using namespace std::chrono_literals;

TEST(SmartSpeechFileOutput, ANameWithNonAsciiLettersEndsWhenTheFileStopsGrowing) {
    const auto dir = std::filesystem::temp_directory_path() / ("parlino-file-output-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    TIconvCodec codec(1251);
    test::TQueuePoster poster;
    test::TFakeSpeechVoice* voice = nullptr;
    TUbSmartSpeechBackends backends = test::FakeVoiceBackends(1, &voice);
    backends.CreateFileStream = [] { return std::make_unique<TWavFileStream>(); };
    TUbSmartSpeech s(std::move(backends), codec, poster);
    s.SelectVoice("");
    int stops = 0;
    s.OnStop = [&](TUbSmartSpeech*) { ++stops; };
    s.SetOutput(TUbSmartSpeechOutput::ssoFile);
    // "Запись.wav" in code page 1251; on disk it is UTF-8.
    s.OutFileName = dir.string() + "/\xC7\xE0\xEF\xE8\xF1\xFC.wav";
    s.Text = {"Written, not heard."};
    s.Speak();
    EXPECT_TRUE(std::filesystem::exists(dir / "\xD0\x97\xD0\xB0\xD0\xBF\xD0\xB8\xD1\x81\xD1\x8C.wav"));
    // What the voice would write; then the file stops growing, so the monitor
    // ends the output after its quiet second.
    auto* file = dynamic_cast<TWavFileStream*>(voice->CurrentStream);
    ASSERT_NE(file, nullptr);
    const std::vector<int16_t> samples(22050, 1000);
    file->Write(samples.data(), samples.size());
    file->Flush();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!s.IsIdle() && std::chrono::steady_clock::now() < deadline) {
        poster.Pump();
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(s.IsIdle()) << "the monitor never saw the file";
    EXPECT_EQ(stops, 1);
    std::filesystem::remove_all(dir);
}
