#include "render/TBackgroundSampleWriter.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace parlino;

TEST(BackgroundSampleWriter, WritesEveryBlockInOrder) {
    std::vector<int16_t> written;
    TBackgroundSampleWriter writer([&](const int16_t* s, size_t n) { written.insert(written.end(), s, s + n); }, 2);
    std::vector<int16_t> expected;
    for (int16_t block = 0; block < 50; ++block) {
        std::vector<int16_t> samples(100, block);
        expected.insert(expected.end(), samples.begin(), samples.end());
        writer.Push(std::move(samples));
    }
    writer.Finish();
    EXPECT_EQ(written, expected);
}

TEST(BackgroundSampleWriter, AFailingWriteIsReportedByFinishAndNothingBlocks) {
    int calls = 0;
    TBackgroundSampleWriter writer([&](const int16_t*, size_t) {
        if (++calls == 2) throw std::runtime_error("disk full");
    }, 1);
    for (int i = 0; i < 20; ++i) writer.Push(std::vector<int16_t>(10, 1)); // must not hang after the failure
    try {
        writer.Finish();
        FAIL() << "no failure reported";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "disk full");
    }
    EXPECT_EQ(calls, 2);
}
