#include "app/TSpeechAhead.h"

#include <algorithm>
#include <cmath>

namespace parlino {

TSpeechAhead::TSpeechAhead(TUbSmartSpeech& speech, TslItems& items, const TDueSchedule& schedule)
    : FSpeech(speech), FItems(items), FSchedule(schedule) {}

double TSpeechAhead::RoundUp(double factor) { return std::ceil(factor * 100.0 - 1e-9) / 100.0; }

std::string TSpeechAhead::KeyFor(const std::string& text, uint16_t codePage) const {
    std::string key = FSpeech.VoiceName();
    for (const int32_t value : {FSpeech.SpeedValue, FSpeech.PitchValue, FSpeech.VolumeValue, int32_t{codePage},
                                int32_t{FSpeech.UseTags}, FSpeech.AudioOutput})
        key += '\x1f' + std::to_string(value);
    return key + '\x1f' + text;
}

uint64_t TSpeechAhead::PrepareAt(const TEntry& entry, double factor) {
    FSpeech.Text = {entry.Text};
    FSpeech.CodePage = entry.CodePage;
    FSpeech.SpeedFactor = factor;
    uint64_t id = 0;
    try {
        id = FSpeech.Prepare();
    } catch (...) {
        // Synthesis ahead is a help: the entry is then spoken as it comes.
        id = 0;
    }
    FSpeech.SpeedFactor = 1.0;
    return id;
}

void TSpeechAhead::Plan(int64_t nowMs, const std::string& tags, uint16_t codePage, double ceiling) {
    if (!FSpeech.VoiceSelected()) return;
    for (size_t i = 0; i < FItems.size(); ++i) {
        if (FItems[i].Spoken || !HasSpeech(FItems[i])) continue;
        const int64_t due = FSchedule.SlotStartMs(i);
        if (due < nowMs - LookBehindMs || due > nowMs + LookAheadMs) continue;
        const std::string text = tags + FItems[i].SpeechText;
        std::string key = KeyFor(text, codePage);
        TEntry& entry = FEntries[i];
        if (entry.Key != key) {
            if (entry.BaseId) FById.erase(entry.BaseId);
            if (entry.FitId) FById.erase(entry.FitId);
            entry = TEntry{};
            entry.Key = std::move(key);
            entry.Text = text;
            entry.CodePage = codePage;
            entry.Ceiling = ceiling;
            entry.BaseId = PrepareAt(entry, 1.0);
            if (entry.BaseId) FById[entry.BaseId] = i;
            else entry.Unsupported = true;
        } else if (entry.Ceiling != ceiling && entry.BaseMs >= 0) {
            // A new ceiling: the entry is fitted again once its length is in.
            entry.Ceiling = ceiling;
            FitAhead(i, entry);
        }
    }
}

bool TSpeechAhead::Pending(int64_t nowMs, int64_t untilMs) const {
    for (const auto& [index, entry] : FEntries) {
        if (index >= FItems.size() || FItems[index].Spoken || entry.Unsupported) continue;
        const int64_t due = FSchedule.SlotStartMs(index);
        if (due < nowMs - LookBehindMs || due > untilMs) continue;
        if (entry.BaseMs < 0 || (entry.FitId && entry.FitMs < 0)) return true;
    }
    return false;
}

TSpeechAhead::TFit TSpeechAhead::FitFor(size_t index, int64_t nowMs, double ceiling) const {
    const auto it = FEntries.find(index);
    if (it == FEntries.end() || it->second.BaseMs < 0) return {};
    const TEntry& entry = it->second;
    if (entry.BaseMs <= FSchedule.DeadlineMs(index) - nowMs) return {1.0, entry.BaseMs};
    const int64_t left = FSchedule.DeadlineMs(index) - MarginMs - nowMs;
    // The audio synthesised ahead at the fitting factor, when it still fits.
    if (entry.FitMs >= 0 && entry.FitMs <= left && entry.FitFactor <= ceiling) return {entry.FitFactor, entry.FitMs};
    // How the engine's length follows the factor, as far as the audio
    // synthesised ahead shows it: pauses and rounding keep it from being
    // exactly inverse.
    double stretch = 1.0;
    if (entry.FitMs > 0 && entry.BaseMs > 0)
        stretch = std::clamp(double(entry.FitMs) * entry.FitFactor / double(entry.BaseMs), 0.5, 2.0);
    const double needed = left > 0 ? double(entry.BaseMs) * stretch / double(left) : ceiling;
    const double factor = std::clamp(RoundUp(std::max(needed, 1.01)), 1.0, std::max(1.0, ceiling));
    if (entry.FitMs >= 0 && factor == entry.FitFactor) return {factor, entry.FitMs};
    return {factor, std::llround(double(entry.BaseMs) * stretch / factor)};
}

void TSpeechAhead::Prepared(uint64_t id, int64_t durationMs) {
    const auto found = FById.find(id);
    if (found == FById.end()) return;
    const size_t index = found->second;
    FById.erase(found);
    TEntry& entry = FEntries[index];
    if (durationMs < 0) {
        // The voice dropped it: the entry is spoken as it comes.
        if (id == entry.BaseId) entry.Unsupported = true;
        else if (id == entry.FitId) entry.FitId = 0;
        return;
    }
    if (id == entry.BaseId) {
        entry.BaseMs = durationMs;
        FitAhead(index, entry);
    } else if (id == entry.FitId) {
        entry.FitMs = durationMs;
        // Once more when the engine's length did not follow the factor
        // closely enough: the second try knows how it follows.
        const int64_t available = FSchedule.DeadlineMs(index) - MarginMs - FSchedule.SlotStartMs(index);
        if (!entry.Refined && available > 0 && durationMs > available && entry.FitFactor < entry.Ceiling) {
            entry.Refined = true;
            const double factor = std::min(entry.Ceiling, RoundUp(entry.FitFactor * double(durationMs) / double(available)));
            if (factor > entry.FitFactor) PrepareFit(index, entry, factor);
        }
    }
}

void TSpeechAhead::FitAhead(size_t index, TEntry& entry) {
    // Fitted for its due moment: an entry spoken on time then plays the very
    // audio synthesised here.
    if (entry.BaseMs < 0 || entry.BaseMs <= FSchedule.DeadlineMs(index) - FSchedule.SlotStartMs(index)) return;
    const int64_t available = FSchedule.DeadlineMs(index) - MarginMs - FSchedule.SlotStartMs(index);
    const double needed = available > 0 ? double(entry.BaseMs) / double(available) : entry.Ceiling;
    const double factor = std::clamp(RoundUp(std::max(needed, 1.01)), 1.0, std::max(1.0, entry.Ceiling));
    entry.Refined = false;
    if (factor > 1.0 && factor != entry.FitFactor) PrepareFit(index, entry, factor);
}

void TSpeechAhead::PrepareFit(size_t index, TEntry& entry, double factor) {
    if (entry.FitId) FById.erase(entry.FitId);
    entry.FitFactor = factor;
    entry.FitMs = -1;
    entry.FitId = PrepareAt(entry, factor);
    if (entry.FitId) FById[entry.FitId] = index;
}

void TSpeechAhead::Reset() {
    FEntries.clear();
    FById.clear();
    FSpeech.DiscardPrepared();
}

} // namespace parlino
