#pragma once
// The voice-over track kept on disk while the mix follows the render: an
// unnamed temporary file in $TMPDIR (or /tmp) that goes when it is closed, so
// that a long film's voice takes no memory and leaves nothing behind. One
// thread may append while another reads what is already there.

#include <cstddef>
#include <cstdint>

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
    // Reads up to `count` samples from sample `position` on; fewer (or 0)
    // past what has been written.
    size_t ReadAt(uint64_t position, int16_t* samples, size_t count) const;

private:
    int FFd = -1;
};

} // namespace parlino
