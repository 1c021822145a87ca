#pragma once
// Speech fitted into its subtitle's time: the entries that will soon be due
// are synthesised ahead through the facade, so that each one's spoken length
// at the chosen speed is known before its tick; when that length would run
// past the time the entry has, it is spoken faster, just enough to fit and
// never above the ceiling. The entry that would fit keeps the chosen speed.
//
// Times are on the shifted clock (the position plus the time shift), in ms.
// Runs on the program's thread, driven by the playback controller.

#include "app/TDueSchedule.h"
#include "speech/UbSmartSpeech.h"
#include "subtitles/TslItem.h"

#include <cstdint>
#include <string>
#include <unordered_map>

namespace parlino {

class TSpeechAhead {
public:
    // Entries whose slot starts this close ahead are synthesised ahead,
    static constexpr int64_t LookAheadMs = 20000;
    // and entries whose slot began this long ago still are.
    static constexpr int64_t LookBehindMs = 1000;
    // Fitted speech aims to end this long before its deadline: the next entry
    // is served at a tick, and the sound card's end report comes a little
    // after the last sample.
    static constexpr int64_t MarginMs = 60;

    // An entry's time runs from its slot's start to its deadline in `schedule`.
    TSpeechAhead(TUbSmartSpeech& speech, TslItems& items, const TDueSchedule& schedule);

    // Synthesises ahead every entry not yet spoken that becomes due between
    // `nowMs` and LookAheadMs later, as the controller will speak it: the
    // voice panel's tags and the entry's text in `codePage`. An entry whose
    // text or voice settings changed since is synthesised again.
    void Plan(int64_t nowMs, const std::string& tags, uint16_t codePage, double ceiling);
    // Whether an entry not yet spoken that is due by `untilMs` still waits
    // for its synthesis ahead.
    bool Pending(int64_t nowMs, int64_t untilMs) const;

    struct TFit {
        double Factor = 1.0;
        int64_t ExpectedMs = -1; // spoken length at Factor; -1: not known
    };
    // The speed factor for entry `index` spoken at `nowMs`: 1 when its
    // length is unknown or it fits in the time left, else the factor that
    // makes it end at its deadline, at most `ceiling`. Factors are whole
    // hundredths, rounded up, so that the factor an entry was synthesised
    // ahead at is met exactly and its audio is used.
    TFit FitFor(size_t index, int64_t nowMs, double ceiling) const;

    // The facade's report of a finished synthesis ahead.
    void Prepared(uint64_t id, int64_t durationMs);
    // Forgets everything synthesised ahead (a jump, a new run, a stop).
    void Reset();

private:
    struct TEntry {
        std::string Key;      // the text and voice settings it was synthesised with
        std::string Text;     // as it goes to the voice
        uint16_t CodePage = 0;
        double Ceiling = 1.0;
        uint64_t BaseId = 0;  // at the chosen speed
        int64_t BaseMs = -1;
        uint64_t FitId = 0;   // at the factor that fits it, when that is above 1
        double FitFactor = 1.0;
        int64_t FitMs = -1;
        bool Refined = false;     // the fitting factor was corrected once
        bool Unsupported = false; // the voice cannot synthesise ahead
    };

    void FitAhead(size_t index, TEntry& entry);
    void PrepareFit(size_t index, TEntry& entry, double factor);
    uint64_t PrepareAt(const TEntry& entry, double factor);
    std::string KeyFor(const std::string& text, uint16_t codePage) const;
    static double RoundUp(double factor);

    TUbSmartSpeech& FSpeech;
    TslItems& FItems;
    const TDueSchedule& FSchedule;
    std::unordered_map<size_t, TEntry> FEntries;
    std::unordered_map<uint64_t, size_t> FById;
};

} // namespace parlino
