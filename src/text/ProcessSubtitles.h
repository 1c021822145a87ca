#pragma once
// The clean-up and dictionary pass over a loaded track: the chosen
// dictionary rewrites the spoken text of every entry, and the italic and
// bold tags are taken out of it. DisplayText is never touched.

#include "platform/ITextCodec.h"
#include "subtitles/TslItem.h"
#include "text/LoadTextFile.h"
#include "text/TextRules.h"

#include <optional>
#include <string>
#include <string_view>

namespace parlino {

// The error ProcessSubtitles raises for an empty track.
inline constexpr std::string_view NoSubtitlesMessage = "The subtitle file holds no subtitles.";

// Entries go to the rules engine this many at a time, as one text.
inline constexpr size_t ProcessBatchSize = 201;

// The progress display of the pass (the main window's label and bar).
// Called on the thread that runs the pass.
class IProcessProgress {
public:
    virtual ~IProcessProgress() = default;
    // Show the display for positions 0..max and repaint it before work starts.
    virtual void Begin(int max) = 0;
    // Entry `position` is about to be added to a batch; repaint the bar.
    virtual void Step(int position) = 0;
    // Hide the display. Called once whenever Begin was called, also when the
    // pass (or Begin itself) fails.
    virtual void End() = 0;
};

// Rewrites the SpeechText of every entry, ProcessBatchSize entries at a time.
// `rules` (a dictionary's lines, or null for none) is sorted in place first
// (SortRules). Each entry's text must be one line; a line break or zero byte
// inside one is taken as a space, so that every entry gets its own text back.
// Throws EParlinoError "The subtitle file holds no subtitles." for an empty
// track, before any progress is shown and with nothing changed; any error of
// the rules engine ends the pass with the entries done so far rewritten.
// `progress` may be null.
void ProcessSubtitles(TslItems& items, TStringList* rules, const ITextCodec& codec,
                      IProcessProgress* progress = nullptr);

// One batch: joins `batch` (one text per entry) into one text with CR LF
// after each, applies `rules` (null: none), removes the style tags and gives
// the k-th line back to items[writePosition + k]. A batch that comes back
// with no lines at all (the engine empties a blank text) gives every entry
// of the batch an empty text. `writePosition` advances by the batch size and
// `batch` is emptied; an empty batch does nothing.
void ProcessBatch(TStringList& batch, TslItems& items, size_t& writePosition,
                  const TCompiledRules* rules);

// Removes every "<i>", then "</i>", "<b>", "</b>" in any letter case, each
// in one left-to-right pass; other tags stay.
std::string RemoveStyleTags(std::string_view text);

// The folder dictionaries are listed from and read from: `programFolder`
// followed by "Dic" when that folder exists, else `programFolder` itself
// with a trailing "/".
std::string DictionaryFolder(const std::string& programFolder);

// The rules of the dictionary `name` in `folder`, or nothing when `name` is
// empty or no such file exists (a missing dictionary is not reported).
// The file is read with LoadTextFile, so a dictionary saved as UTF-8 or
// UTF-16 ends up in the system code page like the subtitles, and a mark-less
// ANSI dictionary reads byte for byte. Throws EFOpenError when the file
// exists but cannot be read.
std::optional<TStringList> LoadDictionaryRules(const std::string& folder, const std::string& name,
                                               const ITextCodec& codec);

} // namespace parlino
