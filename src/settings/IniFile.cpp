#include "settings/IniFile.h"
#include "text/Blanks.h"

#include "platform/ReadOpenFlags.h"
#include "settings/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace parlino {
namespace {

char Fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i]))
            return false;
    return true;
}

struct TFoldedHash {
    size_t operator()(std::string_view s) const {
        size_t h = 14695981039346656037ull;
        for (char c : s)
            h = (h ^ static_cast<unsigned char>(Fold(c))) * 1099511628211ull;
        return h;
    }
};
struct TFoldedEqual {
    bool operator()(std::string_view a, std::string_view b) const { return SameName(a, b); }
};

// The key of a "key=value" line, or nothing for any other line.
std::optional<std::string_view> KeyOf(std::string_view line) {
    const std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#' ||
        trimmed.front() == '[')
        return std::nullopt;
    const size_t eq = trimmed.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    const std::string_view key = TrimBlanks(trimmed.substr(0, eq));
    if (key.empty())
        return std::nullopt;
    return key;
}

// Line breaks and NUL taken out of a text to be written, as blanks.
std::string Clean(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    return out;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

// The value of a key line. What a written value cannot hold (see Clean)
// reads as blanks, so that a value read and written back reads the same.
std::string ValueOf(std::string_view line) {
    const std::string clean = Clean(line.substr(line.find('=') + 1));
    std::string_view value = TrimBlanks(clean);
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value.substr(0, TIniFile::MaxValueLength));
}

// A value as it is written: in double quotes when reading would otherwise
// take something off it (blanks around it, or a pair of enclosing quotes).
std::string WrittenValue(std::string_view value) {
    const std::string clean = Clean(value);
    const bool enclosed = clean.size() >= 2 && IsQuote(clean.front()) && clean.back() == clean.front();
    if (enclosed || (!clean.empty() && (IsBlank(clean.front()) || IsBlank(clean.back()))))
        return '"' + clean + '"';
    return clean;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

using TKeyIndex = std::unordered_map<std::string_view, size_t, TFoldedHash, TFoldedEqual>;

bool IsHeader(std::string_view line) {
    const std::string_view trimmed = TrimBlanks(line);
    return !trimmed.empty() && trimmed.front() == '[';
}

std::string_view HeaderName(std::string_view line) {
    std::string_view name = TrimBlanks(line).substr(1);
    return TrimBlanks(name.substr(0, name.find(']')));
}

// The next line of `text` from `pos` (without its end) and the position after it.
std::string_view NextLine(std::string_view text, size_t& pos) {
    const size_t lf = text.find('\n', pos);
    std::string_view line =
        text.substr(pos, lf == std::string_view::npos ? std::string_view::npos : lf - pos);
    pos = lf == std::string_view::npos ? text.size() : lf + 1;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

} // namespace

struct TIniFile::TSection {
    std::string_view Name;
    // Offset of the header line in the text read; npos for a new section.
    size_t HeaderBegin = std::string::npos;
    // Offset after the section's last line in the text read.
    size_t End = std::string::npos;
    std::vector<std::string_view> Lines; // the header, then the body
    size_t LastKeyLine = 0;              // the last key line, or 0 (the header) when none
    // Key -> first line holding it: the keys of the text read as a sorted
    // array of hashes (compact for sections of millions of keys), the keys
    // written since in a map.
    struct TKeyRef {
        size_t Hash, Line;
        bool operator<(const TKeyRef& other) const {
            return Hash != other.Hash ? Hash < other.Hash : Line < other.Line;
        }
    };
    std::vector<TKeyRef> ReadKeys;
    TKeyIndex AddedKeys;

    std::optional<size_t> FindKey(std::string_view key) const {
        const size_t hash = TFoldedHash()(key);
        auto it = std::lower_bound(ReadKeys.begin(), ReadKeys.end(), TKeyRef{hash, 0});
        for (; it != ReadKeys.end() && it->Hash == hash; ++it)
            if (SameName(*KeyOf(Lines[it->Line]), key))
                return it->Line;
        if (const auto added = AddedKeys.find(key); added != AddedKeys.end())
            return added->second;
        return std::nullopt;
    }
};

struct TIniFile::TIndex {
    struct THeader {
        size_t Offset; // of the header line in the text read
        size_t Hash;   // of the folded section name
    };
    std::vector<THeader> Headers; // every header of the text read, in file order
    // The sections asked for (split into lines), then the new ones.
    std::vector<std::unique_ptr<TSection>> Sections;
    // Every name asked for; nullptr when the text read has no such section.
    std::unordered_map<std::string_view, TSection*, TFoldedHash, TFoldedEqual> ByName;
    std::deque<std::string> MissingNames; // storage of the names not found
};

TIniFile::TIniFile() : TIniFile(std::string()) {}

TIniFile::TIniFile(std::string text)
    : FBuffer(std::make_unique<const std::string>(std::move(text))),
      FIndex(std::make_unique<TIndex>()) {
    Parse();
}

TIniFile::TIniFile(TIniFile&&) noexcept = default;
TIniFile& TIniFile::operator=(TIniFile&&) noexcept = default;
TIniFile::~TIniFile() = default;

void TIniFile::Parse() {
    // One pass that notes where the headers are.
    const std::string_view text = *FBuffer;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t begin = pos;
        const std::string_view line = NextLine(text, pos);
        if (IsHeader(line))
            FIndex->Headers.push_back({begin, TFoldedHash()(HeaderName(line))});
    }
}

TIniFile TIniFile::Load(const std::string& fileName) {
    const int fd = ::open(fileName.c_str(), ReadOpenFlags);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return TIniFile();
        throw EIniReadError("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
    }
    struct TCloser {
        int Fd;
        ~TCloser() { ::close(Fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw EIniReadError("Cannot open file \"" + fileName + "\". Not a file.");
    if (static_cast<uint64_t>(st.st_size) > MaxFileSize)
        throw EIniReadError("Cannot open file \"" + fileName + "\". The file is too large.");
    std::string text;
    text.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    for (;;) {
        if (done == text.size()) {
            if (text.size() >= MaxFileSize)
                throw EIniReadError("Cannot open file \"" + fileName +
                                    "\". The file is too large.");
            text.resize(text.size() + 4096); // the file grew meanwhile
        }
        const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw EIniReadError("Cannot read file \"" + fileName + "\". " + std::strerror(errno));
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    text.resize(done);
    return TIniFile(std::move(text));
}

void TIniFile::Save(const std::string& fileName) const {
    WriteFileAtomically(fileName, Text());
}

namespace {

// Appends the lines of raw `text`, each ended by CR LF.
void AppendRaw(std::string& out, std::string_view text) {
    size_t pos = 0;
    while (pos < text.size()) {
        out.append(NextLine(text, pos));
        out.append("\r\n");
    }
}

// Whether the last line of `out` (lines each ended by CR LF) is blank.
bool EndsWithBlankLine(const std::string& out) {
    const std::string_view body(out.data(), out.size() - 2);
    const size_t lf = body.rfind('\n');
    return TrimBlanks(lf == std::string_view::npos ? body : body.substr(lf + 1)).empty();
}

} // namespace

std::string TIniFile::Text() const {
    const std::string_view text = *FBuffer;
    std::vector<const TSection*> read, added;
    for (const auto& section : FIndex->Sections)
        (section->HeaderBegin == std::string::npos ? added : read).push_back(section.get());
    std::sort(read.begin(), read.end(),
              [](const TSection* a, const TSection* b) { return a->HeaderBegin < b->HeaderBegin; });
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 4096);
    auto appendLines = [&out](const TSection& section) {
        for (std::string_view line : section.Lines) {
            out.append(line);
            out.append("\r\n");
        }
    };
    size_t pos = 0; // the text read up to here is in `out`
    for (const TSection* section : read) {
        AppendRaw(out, text.substr(pos, section->HeaderBegin - pos));
        appendLines(*section);
        pos = section->End;
    }
    AppendRaw(out, text.substr(pos));
    for (const TSection* section : added) {
        // A new section is set apart from what comes before by a blank line.
        if (!out.empty() && !EndsWithBlankLine(out))
            out.append("\r\n");
        appendLines(*section);
    }
    return out;
}

TIniFile::TSection* TIniFile::FindSection(std::string_view name) const {
    name = TrimBlanks(name);
    TIndex& index = *FIndex;
    if (const auto it = index.ByName.find(name); it != index.ByName.end())
        return it->second;
    // The first header of that name; the hashes spare most name comparisons.
    const std::string_view text = *FBuffer;
    const size_t hash = TFoldedHash()(name);
    for (const TIndex::THeader& header : index.Headers) {
        if (header.Hash != hash)
            continue;
        size_t pos = header.Offset;
        const std::string_view headerLine = NextLine(text, pos);
        if (!SameName(HeaderName(headerLine), name))
            continue;
        // Split into lines up to the next header, of whatever name.
        auto s = std::make_unique<TSection>();
        s->Name = HeaderName(headerLine);
        s->HeaderBegin = header.Offset;
        s->Lines.push_back(headerLine);
        while (pos < text.size()) {
            size_t next = pos;
            const std::string_view line = NextLine(text, next);
            if (IsHeader(line))
                break;
            s->Lines.push_back(line);
            if (std::optional<std::string_view> key = KeyOf(line)) {
                s->ReadKeys.push_back({TFoldedHash()(*key), s->Lines.size() - 1});
                s->LastKeyLine = s->Lines.size() - 1;
            }
            pos = next;
        }
        s->End = pos;
        std::sort(s->ReadKeys.begin(), s->ReadKeys.end());
        index.ByName.emplace(s->Name, s.get());
        index.Sections.push_back(std::move(s));
        return index.Sections.back().get();
    }
    index.ByName.emplace(index.MissingNames.emplace_back(name), nullptr);
    return nullptr;
}

std::optional<std::string> TIniFile::Find(std::string_view section, std::string_view key) const {
    const TSection* s = FindSection(section);
    if (!s)
        return std::nullopt;
    const std::optional<size_t> line = s->FindKey(TrimBlanks(key));
    if (!line)
        return std::nullopt;
    return ValueOf(s->Lines[*line]);
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 const std::string& def) const {
    std::optional<std::string> value = Find(section, key);
    return value ? *value : def.substr(0, MaxValueLength);
}

std::optional<int32_t> ParseIniInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (!text.empty() && text[0] == '$') {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    const uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    uint64_t value = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0 || digit >= base)
            return std::nullopt;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (value > limit)
            return std::nullopt;
    }
    const uint32_t bits = static_cast<uint32_t>(value);
    return static_cast<int32_t>(negative ? 0u - bits : bits);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
    std::optional<std::string> text = Find(section, key);
    if (!text)
        return def;
    return ParseIniInteger(*text).value_or(def);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

std::vector<std::string> TIniFile::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    if (const TSection* s = FindSection(section))
        for (size_t i = 1; i < s->Lines.size(); ++i)
            if (std::optional<std::string_view> key = KeyOf(s->Lines[i]))
                keys.emplace_back(*key);
    return keys;
}

TIniFile::TSection& TIniFile::SectionForWriting(std::string_view name) {
    name = TrimBlanks(name);
    if (TSection* s = FindSection(name))
        return *s;
    const std::string& header = FOwnedLines.emplace_back("[" + Clean(name) + "]");
    auto section = std::make_unique<TSection>();
    section->Name = std::string_view(header).substr(1, header.size() - 2);
    section->Lines.push_back(header);
    FIndex->ByName.at(name) = section.get(); // FindSection noted it as missing
    FIndex->Sections.push_back(std::move(section));
    return *FIndex->Sections.back();
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    key = TrimBlanks(key);
    const std::string name = Clean(key);
    // A name that could not be read back as this key (empty, holding "=",
    // starting like a comment or a header) is not written.
    if (KeyOf(name + "=") != std::string_view(name))
        return;
    TSection& s = SectionForWriting(section);
    if (const std::optional<size_t> existing = s.FindKey(key)) {
        // The key keeps the spelling it has in the file. The old line stays
        // in storage, so the index's view of the key remains valid.
        const std::string_view written = *KeyOf(s.Lines[*existing]);
        s.Lines[*existing] = FOwnedLines.emplace_back(std::string(written) + "=" + WrittenValue(value));
        return;
    }
    const std::string& line = FOwnedLines.emplace_back(name + "=" + WrittenValue(value));
    // After the section's last key, so that trailing comments and the blank
    // line before the next section stay where they are. No key line moves:
    // every one lies at or before the insertion point.
    const size_t at = s.LastKeyLine + 1;
    s.Lines.insert(s.Lines.begin() + static_cast<std::ptrdiff_t>(at), line);
    s.LastKeyLine = at;
    s.AddedKeys.emplace(*KeyOf(line), at);
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

TStringList TIniFile::ReadList(std::string_view section, std::string_view countKey) const {
    const int32_t count = ReadInteger(section, countKey, 0);
    // Only the numbered keys present can hold a text, so they are looked up
    // instead of every number below a count that may be huge.
    std::vector<int32_t> numbers;
    for (const std::string& key : Keys(section)) {
        if (key.size() > 10 || (key.size() > 1 && key[0] == '0'))
            continue;
        if (!std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const int64_t n = std::stoll(key);
        if (n < count)
            numbers.push_back(static_cast<int32_t>(n));
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    TStringList list;
    for (int32_t n : numbers) {
        std::string value = ReadString(section, std::to_string(n), "");
        if (!value.empty())
            list.push_back(std::move(value));
    }
    return list;
}

void TIniFile::WriteList(std::string_view section, std::string_view countKey,
                         const TStringList& list) {
    WriteInteger(section, countKey, static_cast<int32_t>(list.size()));
    for (size_t i = 0; i < list.size(); ++i)
        WriteString(section, std::to_string(i), list[i]);
}

} // namespace parlino
