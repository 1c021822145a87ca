#pragma once
#include <string>
#include <string_view>

namespace parlino {

// Replaces the content of `fileName` with `data` so that a crash, a kill or
// a full disk leaves either the old content or the new one, never a part:
// the data go to a temporary file beside it, which is flushed to the disk
// and then renamed over the file. A symbolic link is followed, so the file it
// points to is replaced and the link stays. The file keeps its permissions;
// a new file is readable by its owner only.
//
// Throws EParlinoError, leaving the old file as it was, when anything fails,
// and also when the file exists and is read-only (no write permission bit):
// the user's choice to protect it is respected even where the folder would
// allow replacing it.
void WriteFileAtomically(const std::string& fileName, std::string_view data);

} // namespace parlino
