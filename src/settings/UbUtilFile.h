#pragma once
// Listing the plain files of a folder that match a mask.
//
// What counts as a plain file here: a regular file, or a symbolic link to
// one, whatever its permissions. Hidden files (names beginning with ".") are
// listed like any other. Linux has no system or archive attribute, so no
// file is left out for want of one. Folders, links to folders, dangling
// links, pipes, sockets and devices are not listed: none of them can be read
// as a text file, and opening a pipe would block.

#include "text/LoadTextFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parlino {

enum class TFileKind { fkUnknown, fkFile, fkDir };

struct TFilesListItem {
    std::string FileName; // the name without its folder, as the file system holds it
    TFileKind FileKind = TFileKind::fkUnknown;
    int32_t FileSize = 0; // bytes; larger files report INT32_MAX
};

class TFilesList {
public:
    TFilesListItem& Add();
    void Clear() { FItems.clear(); }
    int Count() const { return static_cast<int>(FItems.size()); }
    // Throws EParlinoError for an index outside 0..Count() - 1.
    const TFilesListItem& operator[](int index) const;
    TFilesListItem& operator[](int index);

private:
    std::vector<TFilesListItem> FItems;
};

// Empties `list` and fills it with the plain files of `folder` whose names
// match `mask`, in the order the file system returns them; returns the
// count. An empty mask means "*"; a missing or unreadable folder gives 0.
// An empty folder is the current folder.
int ListFiles(TFilesList& list, const std::string& folder, const std::string& mask);

// The names (no folder) of the plain files of `folder` matching `mask`,
// sorted without regard to letter case (names equal but for case in byte
// order).
TStringList FindFileNames(const std::string& folder, const std::string& mask);

// Whether `name` matches `mask`: "*" stands for any run of characters, "?"
// for one character, letters match in either case (UTF-8 names are compared
// by character), and "*.*" matches every name.
bool MatchesMask(std::string_view name, std::string_view mask);

// Negative, 0 or positive as `a` sorts before, with or after `b` without
// regard to letter case.
int CompareTextIgnoringCase(std::string_view a, std::string_view b);

} // namespace parlino
