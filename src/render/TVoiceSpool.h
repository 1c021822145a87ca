#pragma once
// The voice-over track kept on disk between the render and the mix: an
// unnamed temporary file in $TMPDIR (or /tmp) that goes when it is closed, so
// that a long film's voice takes no memory and leaves nothing behind.

#include <cstdint>
#include <cstdio>

namespace parlino {

class TVoiceSpool {
public:
    // Throws EParlinoError when no temporary file can be made.
    TVoiceSpool();
    ~TVoiceSpool();
    TVoiceSpool(const TVoiceSpool&) = delete;
    TVoiceSpool& operator=(const TVoiceSpool&) = delete;

    // Appends samples; throws EParlinoError naming the temporary folder.
    void Write(const int16_t* samples, size_t count);
    // Goes back to the start for reading.
    void Rewind();
    // Reads up to `count` samples; 0 at the end.
    size_t Read(int16_t* samples, size_t count);

private:
    std::FILE* FFile = nullptr;
};

} // namespace parlino
