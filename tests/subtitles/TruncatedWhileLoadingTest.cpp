// A subtitle file cut short and written again while it is being read (a
// download still running, a sync tool saving over it): every read gives the
// subtitles that were in the file up to where it stood, never a crash or a
// hang.

#include "platform/TSystemServices.h"
#include "subtitles/SubtitleReaders.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <unistd.h>

using namespace parlino;

TEST(TruncatedWhileLoading, EveryReadGivesAPrefixOfTheSubtitles) {
    const std::string path = ::testing::TempDir() + "/truncated-" + std::to_string(::getpid()) + ".srt";
    std::string whole;
    for (int i = 1; i <= 3000; ++i) {
        char block[160];
        std::snprintf(block, sizeof block, "%d\r\n00:%02d:%02d,%03d --> 00:%02d:%02d,500\r\nLine number %d of the film.\r\n\r\n",
                      i, i / 60 % 60, i % 60, i % 1000, i / 60 % 60, i % 60, i);
        whole += block;
    }
    std::ofstream(path, std::ios::binary) << whole;
    TslItems complete;
    const TSystemCodec codec(1252);
    ReadSrtFile(path, complete, codec);
    ASSERT_EQ(complete.size(), 3001u);

    std::atomic<bool> done{false};
    std::thread writer([&] {
        std::mt19937 random(7);
        while (!done) {
            // Cut short at a random byte, then written again from the start.
            std::filesystem::resize_file(path, random() % whole.size());
            std::this_thread::yield();
            std::ofstream(path, std::ios::binary | std::ios::in | std::ios::out) << whole;
        }
    });
    size_t shortest = complete.size();
    for (int read = 0; read < 300; ++read) {
        TslItems items;
        ASSERT_NO_THROW(ReadSrtFile(path, items, codec));
        shortest = std::min(shortest, items.size());
        ASSERT_LE(items.size(), complete.size());
        // The last one read may be cut anywhere in its block, even inside its
        // time line, and is read as the SubRip rules read a broken block.
        for (size_t i = 0; i + 1 < items.size(); ++i) {
            ASSERT_EQ(items[i].StartMs, complete[i].StartMs) << "read " << read << ", subtitle " << i;
            ASSERT_EQ(items[i].DisplayText, complete[i].DisplayText) << "read " << read << ", subtitle " << i;
        }
    }
    done = true;
    writer.join();
    std::printf("the shortest read held %zu of %zu subtitles\n", shortest, complete.size());
    std::filesystem::remove(path);
}
