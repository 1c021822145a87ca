#include "app/TPlaybackController.h"

#include "subtitles/FormatTime.h"
#include "text/Charsets.h"

#include <algorithm>

namespace parlino {

TPlaybackController::TPlaybackController(IPlaybackView& view, TUbSmartSpeech& speech, TslItems& items,
                                         char timeSeparator)
    : FView(view), FSpeech(speech), FItems(items), FSeparator(timeSeparator),
      FSchedule(items, SearchWindowMs, TickPeriodMs), FAhead(speech, items, FSchedule) {
    FOldOnPrepared = FSpeech.OnPrepared;
    FSpeech.OnPrepared = [this](TUbSmartSpeech* sender, uint64_t id, int64_t durationMs) {
        if (FOldOnPrepared) FOldOnPrepared(sender, id, durationMs);
        FAhead.Prepared(id, durationMs);
    };
    // A held film plays again when the line it waited for is heard.
    FOldOnStart = FSpeech.OnStart;
    FSpeech.OnStart = [this](TUbSmartSpeech* sender) {
        if (FOldOnStart) FOldOnStart(sender);
        if (FHolding && FStartTicks > 0) PlayHeldFilm();
    };
}

TPlaybackController::~TPlaybackController() {
    FSpeech.OnPrepared = FOldOnPrepared;
    FSpeech.OnStart = FOldOnStart;
    try {
        ReleaseFilm();
    } catch (...) {
    }
}

void TPlaybackController::EnableFilmDucking(const ITickCounter& ticks) {
    FTicks = &ticks;
    FDucker.emplace(ticks);
}

bool TPlaybackController::MayHoldFilm() const {
    return Running && Connection && !FHoldRefused && FView.HoldFilmForVoice() && Connection->CanHoldFilm();
}

std::optional<int64_t> TPlaybackController::SpeechInMs() const {
    if (!Running || !Connection) return std::nullopt;
    try {
        if (!FSpeech.IsIdle() && !FSpeech.IsPaused()) return 0;
    } catch (...) {
        return std::nullopt;
    }
    if (!WasPlaying) return std::nullopt;
    if (!Queue.empty()) return 0;
    const int64_t elapsed = FTicks ? int64_t{uint32_t(FTicks->GetTickCount() - FLastTickAt)} : 0;
    const int64_t target = int64_t{LastPosition} + TimeShift + elapsed;
    std::optional<int64_t> soonest;
    for (size_t i = 0; i < FItems.size(); ++i) {
        const TslItem& item = FItems[i];
        if (item.Spoken || !HasSpeech(item)) continue;
        const int64_t wait = FSchedule.DueMs(i) - target;
        if (wait >= -TickPeriodMs && wait < SearchWindowMs && (!soonest || wait < *soonest)) soonest = wait;
    }
    if (soonest) return std::max<int64_t>(0, *soonest);
    return std::nullopt;
}

void TPlaybackController::UpdateFilm() {
    if (!FDucker || !Connection || !Connection->FollowsFilm()) return;
    if (!Running) return FDucker->Restore(*Connection);
    if (!FFilmReachable) return;
    FDucker->Configure(FView.DuckFilm(), FView.DuckFilmDb());
    FDucker->Update(*Connection, SpeechInMs());
    if (std::string note = FDucker->TakeNote(); !note.empty()) FView.SetFilmNote(note);
}

void TPlaybackController::ReleaseFilm() {
    if (!Connection) return;
    if (FHolding) Connection->HoldFilm(false);
    FHolding = false;
    FReleaseTicks = FStartTicks = 0;
    FHoldRefused = false;
    if (FDucker) FDucker->Restore(*Connection);
}

// The film plays again as the waiting line starts to sound, so the line
// starts where the film stopped; a voice that does not say it started is
// waited for a second at most.
void TPlaybackController::ServeHeldFilm() {
    if (FStartTicks > 0) {
        if (--FStartTicks == 0) PlayHeldFilm();
        return;
    }
    bool idle = false;
    if (!Guard([&] { idle = FSpeech.IsIdle(); }) || !idle) return;
    const size_t waiting = Queue.size();
    SpeakNext();
    if (Queue.size() < waiting) FStartTicks = HoldGraceTicks;
    else PlayHeldFilm();
}

void TPlaybackController::PlayHeldFilm() {
    Connection->HoldFilm(false);
    FHolding = false;
    FStartTicks = 0;
    FReleaseTicks = HoldGraceTicks; // for the player to say it plays again
}

bool TPlaybackController::Fitting() const { return FView.FitSpeech(); }

double TPlaybackController::Ceiling() const { return std::clamp(FView.FitCeilingPercent(), 100, 300) / 100.0; }

void TPlaybackController::PlanAhead(int64_t nowMs) {
    try {
        FAhead.Plan(nowMs, FView.VoiceTags(), static_cast<uint16_t>(CharsetToCodePage(FView.GridFontCharset())),
                    Ceiling());
    } catch (...) {
        // Synthesis ahead is a help; without it entries are spoken as they come.
    }
}

bool TPlaybackController::AheadPending(int32_t position, int32_t horizonMs) {
    if (!Fitting()) return false;
    const int64_t now = int64_t{position} + TimeShift;
    PlanAhead(now);
    return FAhead.Pending(now, now + horizonMs);
}

void TPlaybackController::ShowLateness(int64_t nowMs) {
    int64_t late = 0;
    if (!Queue.empty()) {
        const auto index = static_cast<size_t>(Queue.front()->Index);
        if (index < FItems.size()) late = nowMs - FSchedule.SlotStartMs(index);
    } else if (FSpeakingIndex && !FSpeech.IsIdle()) {
        late = FSpeakingLateMs;
    }
    if (late <= 1000) {
        FView.SetLateness("");
        return;
    }
    const int64_t tenths = (late + 50) / 100;
    FView.SetLateness("Voice " + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s behind");
}

template <typename F> bool TPlaybackController::Guard(bool& reported, F&& call) {
    try {
        call();
        return true;
    } catch (const std::exception& e) {
        if (!reported) {
            reported = true;
            FView.ReportError(e.what());
        }
        return false;
    }
}

void TPlaybackController::ProcessTick() {
    FNextDue.reset();
    FFilmReachable = false;
    if (!Running || !Connection) {
        FView.SetStatus1("");
        FView.SetStatus2("");
    } else if (!Connection->IsConnected()) {
        // A player that went away takes its volume and pause with it.
        ReleaseFilm();
        FView.SetStatus1("");
        FView.SetStatus2("");
        FView.SetWarning("Waiting..\r\nPlease, run \"" + FView.PlayerTypeText() + "\" and start video there.");
    } else {
        FFilmReachable = true;
        FView.SetWarning("");
        int32_t position = 0;
        // A position that cannot be read ends the tick; following goes on as
        // soon as the source shows a readable one again.
        if (!Guard(FPositionFailureReported, [&] { position = Connection->GetPosition(); })) {
            FView.UpdateControls();
            return;
        }
        const bool playing = Connection->IsPlaying();
        if (playing) FReleaseTicks = 0;
        if (FHolding && playing) {
            // The user played the film the program held: the voice catches up
            // without holding it again.
            FHolding = false;
            FStartTicks = 0;
            FHoldRefused = true;
        }
        if (FHolding) {
            FView.SetStatus1("Waiting for the voice");
            FView.SetStatus2(FormatTime(position, FSeparator));
            ServeHeldFilm();
        } else if (!playing && FReleaseTicks > 0) {
            --FReleaseTicks; // played again just now; the player has not said so yet
        } else if (playing) {
            FView.SetStatus1("Playing");
            FView.SetStatus2(FormatTime(position, FSeparator));
            bool ok = Guard([&] {
                if (FSpeech.IsPaused()) FSpeech.Resume();
            });
            // Strictly more than a second back: earlier entries may be spoken again.
            if (LastPosition - position > BackwardJumpMs) {
                ClearQueue();
                ok = Guard([&] { FSpeech.Stop(); }) && ok;
                ResetSpokenFlags();
                FAhead.Reset();
                FSpeakingIndex.reset();
            }
            WasPlaying = true;
            LastPosition = position;
            if (FTicks) FLastTickAt = FTicks->GetTickCount();
            if (Fitting()) PlanAhead(int64_t{position} + TimeShift);
            if (ok) ProcessPosition(position);
            FNextDue = MsUntilNextDue(position);
            try {
                ShowLateness(int64_t{position} + TimeShift);
            } catch (...) {
                // The status is a courtesy.
            }
        } else {
            FView.SetStatus1("Stopped");
            FView.SetStatus2(FormatTime(position, FSeparator));
            FView.SetLateness("");
            if (WasPlaying)
                Guard([&] {
                    if (!FSpeech.IsIdle() && !FSpeech.IsPaused()) FSpeech.Pause();
                });
            WasPlaying = false;
        }
    }
    UpdateFilm();
    FView.UpdateControls();
}

TslItem* TPlaybackController::FindItemAt(int32_t position, int32_t shift) {
    const int64_t target = int64_t{position} + shift;
    for (size_t i = 0; i < FItems.size(); ++i) {
        TslItem& item = FItems[i];
        if (!item.Spoken && target <= item.StartMs && item.StartMs - target < SearchWindowMs) {
            item.Index = static_cast<int32_t>(i);
            return &item;
        }
    }
    return nullptr;
}

std::optional<int32_t> TPlaybackController::MsUntilNextDue(int32_t position) const {
    const int64_t target = int64_t{position} + TimeShift;
    int64_t soonest = TickPeriodMs;
    for (const TslItem& item : FItems) {
        // An entry is due once the target comes within the search window of its start.
        const int64_t wait = item.StartMs - (SearchWindowMs - 1) - target;
        if (wait > 0 && wait < soonest) soonest = wait;
    }
    if (soonest >= TickPeriodMs) return std::nullopt;
    return static_cast<int32_t>(soonest);
}

void TPlaybackController::ProcessPosition(int32_t position) {
    // Every entry due at this tick is found, in file order; the queue is
    // served on every tick, so a waiting entry starts as soon as the voice is free.
    // A film that may be held waits for the voice instead of cutting it off.
    const bool hold = MayHoldFilm();
    while (TslItem* item = FindItemAt(position, TimeShift)) {
        item->Spoken = true;
        if (!HasSpeech(*item)) continue;
        EnqueueItem(item);
        if (!hold && !FView.QueueFastSubtitles() && !CutOffEarlierGroups(*item, position)) return;
    }
    SpeakNext();
    if (hold && !Queue.empty()) {
        Connection->HoldFilm(true);
        FHolding = true;
    } else if (FHoldRefused && Queue.empty()) {
        bool idle = false;
        if (Guard([&] { idle = FSpeech.IsIdle(); }) && idle) FHoldRefused = false;
    }
}

bool TPlaybackController::CutOffEarlierGroups(const TslItem& item, int32_t position) {
    const auto groupOf = [&](size_t index) { return index < FItems.size() ? FSchedule.GroupOf(index) : SIZE_MAX; };
    const size_t group = groupOf(static_cast<size_t>(item.Index));
    const auto earlier = [&](const TslItem* waiting) { return groupOf(static_cast<size_t>(waiting->Index)) != group; };
    Queue.erase(std::remove_if(Queue.begin(), Queue.end(), earlier), Queue.end());
    return Guard([&] {
        if (FSpeech.IsIdle()) return;
        if (FSpeakingIndex && groupOf(*FSpeakingIndex) == group) return;
        FSpeech.Stop(); // the new entry cuts off the current one
        if (OnCut && FSpeakingIndex) OnCut(*FSpeakingIndex, static_cast<int32_t>(int64_t{position} + TimeShift));
    });
}

void TPlaybackController::SpeakNext() {
    bool idle = false;
    if (!Guard([&] { idle = FSpeech.IsIdle(); }) || !idle || Queue.empty()) return;
    TslItem* item = Queue.front();
    Queue.pop_front();
    const size_t index = static_cast<size_t>(item->Index);
    const int64_t now = int64_t{LastPosition} + TimeShift;
    const bool known = item->Index >= 0 && index < FItems.size() && &FItems[index] == item;
    TSpeechAhead::TFit fit;
    if (known && Fitting()) fit = FAhead.FitFor(index, now, Ceiling());
    const bool spoken = Guard([&] {
        FSpeech.CodePage = static_cast<uint16_t>(CharsetToCodePage(FView.GridFontCharset()));
        // The tag prefix and the text; a subtitle's text holds no line break.
        FSpeech.Text = {FView.VoiceTags() + item->SpeechText};
        FSpeech.SpeedFactor = fit.Factor;
        try {
            FSpeech.Speak();
        } catch (...) {
            FSpeech.SpeedFactor = 1.0;
            throw;
        }
        FSpeech.SpeedFactor = 1.0;
    });
    if (spoken) FFailureReported = false;
    if (spoken && known) {
        const int64_t due = FSchedule.SlotStartMs(index);
        FSpeakingIndex = index;
        FSpeakingLateMs = now - due;
        if (OnSpoken)
            OnSpoken({index, static_cast<int32_t>(due), static_cast<int32_t>(now), fit.Factor, fit.ExpectedMs});
    }
    if (FView.AutoScroll()) {
        try {
            const int offset = FView.SelectedRow() - FView.TopRow();
            const int row = item->Index + 1;
            FView.ScrollTo(row, std::max(1, row - offset));
        } catch (...) {
            // Scrolling is a courtesy; speech has already started.
        }
    }
}

void TPlaybackController::StartPlayback() {
    Running = true;
    WasPlaying = false;
    LastPosition = 0;
    FFailureReported = false;
    FPositionFailureReported = false;
    // "(default)" is item 0 and gives -1; an empty list gives -2.
    FSpeech.AudioOutput = FView.SoundCardIndex() - 1;
    ClearQueue();
    ResetSpokenFlags();
    FSchedule.Refresh(); // the texts may have changed since the last run
    FAhead.Reset();
    FSpeakingIndex.reset();
    if (Connection) Connection->Activate();
}

void TPlaybackController::StopPlayback() {
    ReleaseFilm();
    Running = false;
    Guard([&] { FSpeech.Stop(); });
    ClearQueue();
    FAhead.Reset();
    FSpeakingIndex.reset();
    FView.SetLateness("");
    WasPlaying = false;
    FView.SetStatus1("");
    FView.SetStatus2("");
    FView.SetWarning("");
    ProcessTick();
}

void TPlaybackController::EnqueueItem(TslItem* item) {
    if (std::find(Queue.begin(), Queue.end(), item) == Queue.end()) Queue.push_back(item);
}

void TPlaybackController::ResetSpokenFlags() {
    for (TslItem& item : FItems) item.Spoken = false;
}

int32_t TPlaybackController::SelectedItemStart() const {
    if (FView.GridRowCount() < 2 || FItems.size() == 1 || FItems.empty()) return 0;
    const int64_t index = std::clamp<int64_t>(FView.SelectedRow() - 1, 0, static_cast<int64_t>(FItems.size()) - 1);
    return FItems[static_cast<size_t>(index)].StartMs;
}

} // namespace parlino
