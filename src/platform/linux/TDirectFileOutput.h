#pragma once
// Where FFmpeg writes a long sound file. A regular file is written past the
// page cache (O_DIRECT) while it grows in order: a file of gigabytes then
// costs the processor no copying into the cache and takes no memory from the
// system, which also keeps a film's export from pushing everything else out
// of the cache. The first seek (a muxer going back to fill in its header)
// ends that, and from there on it is written as any file. A pipe, a device
// or a file system without direct writes is written as any file throughout.

extern "C" {
#include <libavformat/avio.h>
}

#include <cstdint>
#include <memory>
#include <string>

namespace parlino {

class TDirectFileOutput {
public:
    TDirectFileOutput() = default;
    ~TDirectFileOutput(); // closes without reporting
    TDirectFileOutput(const TDirectFileOutput&) = delete;
    TDirectFileOutput& operator=(const TDirectFileOutput&) = delete;

    // Creates or truncates `path`; 0 or an AVERROR.
    int Open(const std::string& path);
    // The I/O context to give the muxer; owned here.
    AVIOContext* Context() const { return FContext; }
    // Writes what is held back and closes the file; 0 or the first AVERROR.
    int Close();

private:
    static int WritePacket(void* opaque, uint8_t* data, int size);
    static int64_t Seek(void* opaque, int64_t offset, int whence);
    int Write(const uint8_t* data, size_t size);
    int WriteAt(const uint8_t* data, size_t size, int64_t at);
    // Writes what is staged and goes on as any file.
    int LeaveDirect();

    int FFd = -1;
    bool FRegular = false, FDirect = false;
    AVIOContext* FContext = nullptr;
    struct TFree {
        void operator()(uint8_t* p) const;
    };
    std::unique_ptr<uint8_t, TFree> FStaging; // aligned, for direct writes
    size_t FStaged = 0;
    int64_t FPosition = 0; // where the next byte goes (after what is staged)
};

} // namespace parlino
