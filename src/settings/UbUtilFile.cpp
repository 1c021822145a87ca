#include "settings/UbUtilFile.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <climits>
#include <cwctype>
#include <dirent.h>
#include <locale.h>
#include <sys/stat.h>

namespace parlino {
namespace {

// Case folding of file names, which are UTF-8 on Linux. Bytes that are not
// valid UTF-8 stand for themselves and never fold.
#ifdef _WIN32
char32_t FoldWide(char32_t ch) {
    return ch <= 0xFFFF ? static_cast<char32_t>(std::towlower(static_cast<wint_t>(ch))) : ch;
}
#else
char32_t FoldWide(char32_t ch) {
    static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return loc ? static_cast<char32_t>(towlower_l(static_cast<wint_t>(ch), loc)) : ch;
}
#endif

char32_t Fold(char32_t ch) {
    if (ch < 0x80)
        return (ch >= 'A' && ch <= 'Z') ? ch - 'A' + 'a' : ch;
    if (ch >= 0xDC80 && ch <= 0xDCFF)
        return ch; // an undecodable byte
    return FoldWide(ch);
}

std::u32string FoldedCharacters(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        unsigned char b = p[i];
        size_t len = 0;
        char32_t cp = 0, min = 0;
        if (b < 0x80) {
            len = 1;
            cp = b;
        } else if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
            cp = b & 0x1F;
            min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            cp = b & 0x0F;
            min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            cp = b & 0x07;
            min = 0x10000;
        }
        bool valid = len > 0 && n - i >= len;
        for (size_t k = 1; valid && k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (valid && len > 1 && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
            valid = false;
        if (!valid) {
            out.push_back(0xDC00 + b);
            ++i;
            continue;
        }
        out.push_back(Fold(cp));
        i += len;
    }
    return out;
}

// Wildcard match with "*" and "?"; a star backtracks only to its last
// position, so the cost stays within name length times mask length.
bool Matches(const std::u32string& name, const std::u32string& mask) {
    size_t n = 0, m = 0;
    size_t starMask = std::u32string::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == U'?' || mask[m] == name[n])) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == U'*') {
            starMask = m++;
            starName = n;
        } else if (starMask != std::u32string::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == U'*')
        ++m;
    return m == mask.size();
}

int32_t ClampSize(off_t size) {
    if (size < 0)
        return 0;
    if (size > INT32_MAX)
        return INT32_MAX;
    return static_cast<int32_t>(size);
}

} // namespace

TFilesListItem& TFilesList::Add() {
    return FItems.emplace_back();
}

const TFilesListItem& TFilesList::operator[](int index) const {
    if (index < 0 || index >= Count())
        throw EParlinoError("List index out of bounds (" + std::to_string(index) + ")");
    return FItems[static_cast<size_t>(index)];
}

TFilesListItem& TFilesList::operator[](int index) {
    return const_cast<TFilesListItem&>(static_cast<const TFilesList&>(*this)[index]);
}

bool MatchesMask(std::string_view name, std::string_view mask) {
    if (mask.empty() || mask == "*" || mask == "*.*")
        return true;
    return Matches(FoldedCharacters(name), FoldedCharacters(mask));
}

int CompareTextIgnoringCase(std::string_view a, std::string_view b) {
    std::u32string fa = FoldedCharacters(a), fb = FoldedCharacters(b);
    if (fa != fb)
        return fa < fb ? -1 : 1;
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

int ListFiles(TFilesList& list, const std::string& folder, const std::string& mask) {
    list.Clear();
    std::string dir = folder.empty() ? std::string("./") : folder;
    if (dir.back() != '/')
        dir.push_back('/');
    std::string_view pattern = mask;
    // A mask may name a sub-folder, as in "sub/*.dic".
    if (size_t slash = pattern.rfind('/'); slash != std::string_view::npos) {
        dir.append(pattern.substr(0, slash + 1));
        pattern.remove_prefix(slash + 1);
    }
    if (pattern.empty())
        pattern = "*";

    DIR* handle = ::opendir(dir.c_str());
    if (!handle)
        return 0;
    struct TCloser {
        DIR* Handle;
        ~TCloser() { ::closedir(Handle); }
    } closer{handle};

    const std::u32string foldedMask = FoldedCharacters(pattern);
    const bool all = pattern == "*" || pattern == "*.*";
    for (;;) {
        dirent* entry = ::readdir(handle);
        if (!entry)
            break;
        std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (!all && !Matches(FoldedCharacters(name), foldedMask))
            continue;
        struct stat st {};
        if (::stat((dir + entry->d_name).c_str(), &st) != 0)
            continue;
        if (!S_ISREG(st.st_mode))
            continue;
        TFilesListItem& item = list.Add();
        item.FileName = entry->d_name;
        item.FileKind = TFileKind::fkFile;
        item.FileSize = ClampSize(st.st_size);
    }
    return list.Count();
}

TStringList FindFileNames(const std::string& folder, const std::string& mask) {
    TFilesList files;
    ListFiles(files, folder, mask);
    TStringList names;
    for (int k = 0; k < files.Count(); ++k)
        if (files[k].FileKind == TFileKind::fkFile)
            names.push_back(files[k].FileName);
    std::vector<std::pair<std::u32string, std::string>> keyed;
    keyed.reserve(names.size());
    for (std::string& name : names)
        keyed.emplace_back(FoldedCharacters(name), std::move(name));
    std::sort(keyed.begin(), keyed.end());
    names.clear();
    for (auto& [key, name] : keyed)
        names.push_back(std::move(name));
    return names;
}

} // namespace parlino
