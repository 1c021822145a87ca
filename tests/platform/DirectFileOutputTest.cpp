// The sound file output: bytes given in uneven pieces, some of them after a
// seek back (as a muxer fills in its header at the end), come out exactly in
// a regular file (written past the page cache while it grows) and in a FIFO
// (written as it comes, with seeking refused).

#include "platform/linux/TDirectFileOutput.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace parlino;

namespace {

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i * 7 + i / 4096);
    return bytes;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Writes `bytes` in pieces of 1 to 300,000 bytes; with `header`, then goes
// back and writes it over bytes 4 on, and to the end again for one more byte.
int WriteThrough(TDirectFileOutput& out, const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& header) {
    AVIOContext* io = out.Context();
    for (size_t at = 0, piece = 1; at < bytes.size(); at += piece, piece = piece * 3 % 300007 + 1)
        avio_write(io, bytes.data() + at, int(std::min(piece, bytes.size() - at)));
    if (!header.empty()) {
        EXPECT_EQ(avio_seek(io, 4, SEEK_SET), 4);
        avio_write(io, header.data(), int(header.size()));
        EXPECT_EQ(avio_seek(io, int64_t(bytes.size()), SEEK_SET), int64_t(bytes.size()));
        avio_w8(io, 0xAB);
    }
    return out.Close();
}

} // namespace

TEST(DirectFileOutput, WhatIsWrittenAndFilledInLaterIsWhatTheFileHolds) {
    const std::string folder = testing::TempDir();
    const std::vector<uint8_t> header = {1, 2, 3, 4, 5, 6, 7, 8};
    for (const size_t size : {size_t(0), size_t(1000), size_t(1) << 20, (size_t(7) << 20) / 2 + 123}) {
        SCOPED_TRACE(size);
        const std::string path = folder + "/direct-output.bin";
        std::vector<uint8_t> expected = Pattern(size);
        TDirectFileOutput out;
        ASSERT_EQ(out.Open(path), 0);
        ASSERT_EQ(WriteThrough(out, expected, size ? header : std::vector<uint8_t>{}), 0);
        if (size) {
            std::copy(header.begin(), header.end(), expected.begin() + 4);
            expected.push_back(0xAB);
        }
        EXPECT_EQ(ReadAll(path), expected);
        std::filesystem::remove(path);
    }
}

TEST(DirectFileOutput, AFifoGetsTheBytesInOrderAndRefusesToSeek) {
    const std::string path = testing::TempDir() + "/direct-output.fifo";
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const std::vector<uint8_t> bytes = Pattern((size_t(5) << 20) / 2 + 77);
    std::vector<uint8_t> read;
    std::thread reader([&] { read = ReadAll(path); });
    TDirectFileOutput out;
    ASSERT_EQ(out.Open(path), 0);
    EXPECT_LT(avio_seek(out.Context(), int64_t(1) << 30, SEEK_SET), 0);
    EXPECT_EQ(WriteThrough(out, bytes, {}), 0);
    reader.join();
    EXPECT_EQ(read, bytes);
    std::filesystem::remove(path);
}
