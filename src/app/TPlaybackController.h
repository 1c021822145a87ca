#pragma once
// The playback controller: on every 100 ms tick it asks the position source
// where it stands and whether it plays, shows that, keeps the voice in step
// with it (pause, resume, silence after a backward jump), and speaks the
// subtitle that is due. It has no thread and no timer of its own: the main
// window drives it and it reaches the window through IPlaybackView.

#include "app/TDueSchedule.h"
#include "app/TFilmDucker.h"
#include "app/TSpeechAhead.h"
#include "players/player_conn_intf.h"
#include "speech/UbSmartSpeech.h"
#include "subtitles/TslItem.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>

namespace parlino {

class IPlaybackView {
public:
    virtual ~IPlaybackView() = default;
    virtual void SetWarning(const std::string& text) = 0;
    virtual void SetStatus1(const std::string& text) = 0; // playback state
    virtual void SetStatus2(const std::string& text) = 0; // position
    virtual std::string PlayerTypeText() const = 0;
    virtual bool QueueFastSubtitles() const = 0; // "Queue fast running subtitles"
    virtual bool AutoScroll() const = 0;          // "Auto scroll"
    virtual int SoundCardIndex() const = 0;        // selected item, -1 when none
    virtual uint8_t GridFontCharset() const = 0;
    virtual std::string VoiceTags() const = 0;    // the voice panel's tag prefix
    virtual int SelectedRow() const = 0;          // grid rows count the header row as 0
    virtual int TopRow() const = 0;
    virtual void ScrollTo(int selectedRow, int topRow) = 0;
    virtual int GridRowCount() const = 0;
    virtual void UpdateControls() = 0;
    // Shows a failure to the user once the tick has finished: a modal box
    // opened inside the tick would let further ticks run under it.
    virtual void ReportError(const std::string& message) = 0;
    // "Fit speech into subtitle time" and its "up to N % faster" (100..300).
    virtual bool FitSpeech() const { return false; }
    virtual int32_t FitCeilingPercent() const { return 150; }
    // How far behind its subtitles the voice runs, for the status area:
    // empty while it is less than a second.
    virtual void SetLateness(const std::string& text) { (void)text; }
    // "Lower the film's sound while speaking by N dB" (3..40).
    virtual bool DuckFilm() const { return false; }
    virtual int32_t DuckFilmDb() const { return 12; }
    // "Pause the film while the voice catches up".
    virtual bool HoldFilmForVoice() const { return false; }
    // A note for the status area, shown once (ducking is off for this player).
    virtual void SetFilmNote(const std::string& text) { (void)text; }
};

// What the controller handed to the voice, for reports.
struct TSpokenEntry {
    size_t Index = 0;         // into the items
    int32_t DueMs = 0;        // the shifted clock at which the entry was due
    int32_t SpeakMs = 0;      // the shifted clock when it went to the voice
    double Factor = 1.0;      // the speed factor it is spoken at
    int64_t ExpectedMs = -1;  // its spoken length at that factor; -1: unknown
};

class TPlaybackController {
public:
    static constexpr int32_t SearchWindowMs = 1000;
    static constexpr int32_t BackwardJumpMs = 1000;
    static constexpr int32_t ManualStartLeadMs = 200;
    static constexpr int32_t TickPeriodMs = 100;
    // Ticks a held film waits for its line to sound, and then for the
    // player to say it plays again.
    static constexpr int HoldGraceTicks = 10;

    TPlaybackController(IPlaybackView& view, TUbSmartSpeech& speech, TslItems& items, char timeSeparator = ':');
    ~TPlaybackController();
    TPlaybackController(const TPlaybackController&) = delete;
    TPlaybackController& operator=(const TPlaybackController&) = delete;

    void ProcessTick();
    void ProcessPosition(int32_t position);
    // The first entry in file order that is due at the position and not yet
    // spoken in this run, or none. Writes its Index.
    TslItem* FindItemAt(int32_t position, int32_t shift);
    void StartPlayback();
    void StopPlayback();
    void EnqueueItem(TslItem* item);
    void ClearQueue() { Queue.clear(); }
    void ResetSpokenFlags();
    int32_t SelectedItemStart() const;
    // After a playing tick: how long until the next entry becomes due, when
    // that is less than a tick away; the window then runs one more tick at
    // that moment, so that speech does not wait for the next regular tick.
    std::optional<int32_t> NextDueInMs() const { return FNextDue; }

    // Speaking in time: called for every entry that goes to the voice, and
    // (interrupt mode) when a new entry cuts off the one speaking, with the
    // shifted clock of the cut.
    std::function<void(const TSpokenEntry&)> OnSpoken;
    std::function<void(size_t index, int32_t atMs)> OnCut;
    // With "Fit speech into subtitle time": whether an entry that becomes due
    // within `horizonMs` of `position` still waits for its synthesis ahead.
    // The render waits for it, so that its track is the same on every run.
    // Plans the synthesis ahead for `position` first.
    bool AheadPending(int32_t position, int32_t horizonMs);
    // When entries fall due and the time each has.
    const TDueSchedule& Schedule() const { return FSchedule; }

    // The followed film's sound is lowered around speech, when the view asks
    // for it, by the ducker the window gives the tick counter for. Called by
    // the window often (every 25 ms) and on every tick.
    void EnableFilmDucking(const ITickCounter& ticks);
    void UpdateFilm();
    // Gives the film back as the user left it: its volume, and a film the
    // program paused plays again. Every way a run ends calls it.
    void ReleaseFilm();

    TPlayerConnection Connection;
    bool Running = false;
    std::deque<TslItem*> Queue; // oldest first; refers to entries of Items
    int32_t LastPosition = 0;
    bool WasPlaying = false;
    int32_t TimeShift = 0;

private:
    void SpeakNext();
    // Interrupt mode: a newly due entry cuts off speech of an earlier group,
    // and the entries of earlier groups still waiting are dropped. Returns
    // false when the voice failed.
    bool CutOffEarlierGroups(const TslItem& item, int32_t position);
    bool Fitting() const;
    double Ceiling() const;
    void PlanAhead(int64_t nowMs);
    void ShowLateness(int64_t nowMs);
    std::optional<int32_t> MsUntilNextDue(int32_t position) const;
    // 0 while the voice speaks or an entry waits, else how long until the
    // next entry with speech falls due (within a second); none otherwise.
    std::optional<int64_t> SpeechInMs() const;
    bool MayHoldFilm() const;
    // While the film is held: serves the queue and plays the film again as
    // soon as the voice is free.
    void ServeHeldFilm();
    void PlayHeldFilm();
    // Runs a call; its failure is shown unless `reported` says one was
    // shown already, so a failure on the tick is not shown on every tick.
    // Returns false when the call failed.
    template <typename F> bool Guard(bool& reported, F&& call);
    // A call on the facade; a failure is shown again after a successful Speak.
    template <typename F> bool Guard(F&& call) { return Guard(FFailureReported, std::forward<F>(call)); }

    IPlaybackView& FView;
    TUbSmartSpeech& FSpeech;
    TslItems& FItems;
    char FSeparator;
    bool FFailureReported = false;
    bool FPositionFailureReported = false; // once per run: a source that cannot be read
    std::optional<int32_t> FNextDue;
    TDueSchedule FSchedule;
    TSpeechAhead FAhead;
    std::function<void(TUbSmartSpeech*, uint64_t, int64_t)> FOldOnPrepared;
    std::function<void(TUbSmartSpeech*)> FOldOnStart;
    std::optional<size_t> FSpeakingIndex; // the entry last handed to the voice
    int64_t FSpeakingLateMs = 0;          // how late it went to the voice
    std::optional<TFilmDucker> FDucker;
    const ITickCounter* FTicks = nullptr;
    uint32_t FLastTickAt = 0;             // of the last playing tick, for SpeechInMs
    bool FFilmReachable = false;          // the last tick reached the player
    bool FHolding = false;                // the program paused the film
    int FReleaseTicks = 0;                // ticks left for the player to say it plays again
    int FStartTicks = 0;                  // held until the line's sound starts, at most these ticks more
    bool FHoldRefused = false;            // the user played a held film: no hold until the voice catches up
};

} // namespace parlino
