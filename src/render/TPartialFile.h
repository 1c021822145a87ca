#pragma once
// An output file that appears under its name only once it is complete. A
// regular file (or a new one) is written under a temporary name beside it,
// "NAME.partial-PID", and renamed to NAME only once every byte of it has
// reached the disk: a full disk, a pulled USB stick, a failed render or a
// kill never leave a file under NAME that looks finished, and a file that was
// there before stays as it was. A device or a pipe (/dev/null, a FIFO an
// encoder reads) has nothing to rename into and is written as it is.

#include <string>

namespace parlino {

class TPartialFile {
public:
    // `fileName` as the user gave it; messages name it so.
    explicit TPartialFile(std::string fileName);
    ~TPartialFile(); // removes the temporary file unless committed
    TPartialFile(const TPartialFile&) = delete;
    TPartialFile& operator=(const TPartialFile&) = delete;

    // Creates the file to write: a new file under the temporary name (with
    // the permissions of the file it replaces), or opens the device or pipe.
    // Returns its descriptor, open for writing, which the caller closes.
    // Throws EFOpenError "Cannot open file "NAME". reason".
    int Create();
    // Where the data goes: the temporary name, or the device or pipe.
    const std::string& WritePath() const { return FTemp.empty() ? FTarget : FTemp; }
    // True for a device or pipe, written under its own name.
    bool InPlace() const { return FTemp.empty(); }
    // Hands the written file to the disk, renames it into place and syncs
    // its folder. Returns 0, or the errno of the step that failed, having
    // removed the temporary file.
    int Commit();
    // Removes the temporary file; does nothing once committed.
    void Discard();

private:
    std::string FFileName; // as given
    std::string FTarget;   // the file the name leads to, links followed
    std::string FTemp;     // empty: written in place
};

} // namespace parlino
