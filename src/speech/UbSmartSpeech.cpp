#include "speech/UbSmartSpeech.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string_view>

namespace parlino {
namespace {

const char* const ExcludedVoices[] = {
    "ALYONA (RUSSIAN) SAPI4", "44100 L", "32000 L", "22050 L", "16000 L", "8000 L", "8000 A", "8000 U",
};

// The characters after which "<" and ">" are kept for the voices that read
// angle brackets as stress marks.
bool IsTagDelimiter(char c) {
    static const char delimiters[] = " \r\n\t.,?;:'\"~!@#%&*()=+-|<>/\\`^&$%\xB9";
    for (size_t i = 0; i + 1 < sizeof delimiters; ++i)
        if (delimiters[i] == c) return true;
    return false;
}

void RemoveAll(std::string& s, char c) { std::erase(s, c); }

// Replaces each pitch tag of the caller ("<PITCH " as written, a non-empty
// body, the first ">" after it) by one 0x02 and appends its body to
// `bodies`, in text order. A "<PITCH " without a body or without a closing
// ">" ends the protection: it and everything after it stay as they are.
std::string ProtectPitchTags(const std::string& s, std::vector<std::string>& bodies) {
    static const std::string open = "<PITCH ";
    std::string out;
    out.reserve(s.size());
    size_t pos = 0;
    for (size_t start; (start = s.find(open, pos)) != std::string::npos;) {
        const size_t close = s.find('>', start + open.size());
        if (close == std::string::npos || close == start + open.size()) break;
        out.append(s, pos, start - pos);
        out.push_back('');
        bodies.push_back(s.substr(start + open.size(), close - start - open.size()));
        pos = close + 1;
    }
    out.append(s, pos);
    return out;
}

// The longest pause a mark may ask for, as the legacy voices' own limit.
constexpr int32_t MaxPauseMs = 10000;

bool AsciiEqualsIgnoringCase(std::string_view text, size_t at, std::string_view lower) {
    if (text.size() - at < lower.size()) return false;
    for (size_t k = 0; k < lower.size(); ++k) {
        char c = text[at + k];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lower[k]) return false;
    }
    return true;
}

// The decimal digits at `at` (at least one), as milliseconds held to
// MaxPauseMs; `end` is set after them.
bool ReadPauseMs(std::string_view text, size_t at, int32_t& ms, size_t& end) {
    int64_t value = 0;
    end = at;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') {
        value = std::min<int64_t>(value * 10 + (text[end] - '0'), MaxPauseMs);
        ++end;
    }
    ms = static_cast<int32_t>(value);
    return end > at;
}

// Replaces every pause mark by one 0x03 and appends its length to `pauses`,
// in text order: the dictionaries' "<#pauN>" (the form a rule's replacement
// hands on as written) and the legacy pause tag "\Pau=N\", taking along the
// full stops that the rules engine puts on both sides of it (".\PAU=500\.",
// its form of a mark written in the subtitle). Letter case does not matter.
// Walks whole characters, so that the second byte of a double-byte character
// never opens a mark.
std::string ProtectPauseMarks(const std::string& s, const TLeadBytes& leadBytes, std::vector<int32_t>& pauses) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        int32_t ms = 0;
        size_t end = 0;
        if (s[i] == '<' && AsciiEqualsIgnoringCase(s, i + 1, "#pau") && ReadPauseMs(s, i + 5, ms, end) &&
            end < s.size() && s[end] == '>') {
            out.push_back('\x03');
            pauses.push_back(ms);
            i = end + 1;
        } else if (s[i] == '\\' && AsciiEqualsIgnoringCase(s, i + 1, "pau=") && ReadPauseMs(s, i + 5, ms, end) &&
                   end < s.size() && s[end] == '\\') {
            ++end;
            if (!out.empty() && out.back() == '.' && end < s.size() && s[end] == '.') {
                out.pop_back();
                ++end;
            }
            out.push_back('\x03');
            pauses.push_back(ms);
            i = end;
        } else {
            const size_t length = AnsiCharLength(leadBytes, s, i);
            out.append(s, i, length);
            i += length;
        }
    }
    return out;
}

constexpr int32_t SpeakAsyncXml = SVSFlagsAsync | SVSFPurgeBeforeSpeak | SVSFIsXML; // 11
constexpr int32_t SpeakAsync = SVSFlagsAsync | SVSFPurgeBeforeSpeak;               // 3
constexpr int32_t Interests = SVEStartInputStream | SVEEndInputStream | SVEWordBoundary | 1; // 39

} // namespace

TUbSmartSpeech::TUbSmartSpeech(TUbSmartSpeechBackends backends, const ITextCodec& codec, IEventPoster& poster)
    : FBackends(std::move(backends)), FCodec(codec), FPoster(poster) {
    LoadVoices();
    LoadAudioOutputs();
}

TUbSmartSpeech::~TUbSmartSpeech() {
    *FAlive = false;
    if (FFileMonitor.joinable()) {
        FFileMonitor.request_stop();
        FFileMonitor.join();
    }
    if (FSpVoice) {
        FSpVoice->OnStartStream = nullptr;
        FSpVoice->OnEndStream = nullptr;
        FSpVoice->OnWord = nullptr;
        FSpVoice->OnPrepared = nullptr;
    }
    if (FSapi4Hooked && FBackends.Sapi4Speech) {
        FBackends.Sapi4Speech->OnStart = nullptr;
        FBackends.Sapi4Speech->OnStop = nullptr;
        FBackends.Sapi4Speech->OnWordPosition = nullptr;
        FBackends.Sapi4Speech->OnPrepared = nullptr;
    }
}

ISpeechVoice& TUbSmartSpeech::SpVoice() {
    if (!FSpVoice) {
        if (!FBackends.CreateVoice) throw EParlinoError("No SAPI5 installed!");
        FSpVoice = FBackends.CreateVoice();
        if (!FSpVoice) throw EParlinoError("No SAPI5 installed!");
        FSpVoice->OnStartStream = [this](int32_t, int64_t) {
            if (OnStart) OnStart(this);
        };
        FSpVoice->OnEndStream = [this](int32_t stream, int64_t) {
            // The end of a stream that a later Speak already cut off must not
            // mark the new speech as finished.
            if (stream != FStreamNumber) return;
            EndOfStream();
        };
        FSpVoice->OnWord = [this](int32_t, int64_t, int32_t position, int32_t) {
            if (OnWordPosition) OnWordPosition(this, static_cast<uint32_t>(position));
        };
        FSpVoice->OnPrepared = [this](uint64_t id, int64_t durationMs) {
            if (OnPrepared) OnPrepared(this, id, durationMs);
        };
    }
    return *FSpVoice;
}

IUbSpeech& TUbSmartSpeech::Sapi4() {
    if (!FBackends.Sapi4Speech) throw EParlinoError("No SpeechAPI4 installed!");
    if (!FSapi4Hooked) {
        FBackends.Sapi4Speech->OnStart = [this] {
            if (OnStart) OnStart(this);
        };
        FBackends.Sapi4Speech->OnStop = [this] {
            if (OnStop) OnStop(this);
        };
        FBackends.Sapi4Speech->OnWordPosition = [this](uint32_t position) {
            if (OnWordPosition) OnWordPosition(this, position);
        };
        FBackends.Sapi4Speech->OnPrepared = [this](uint64_t id, int64_t durationMs) {
            if (OnPrepared) OnPrepared(this, id, durationMs);
        };
        FSapi4Hooked = true;
    }
    return *FBackends.Sapi4Speech;
}

void TUbSmartSpeech::EndOfStream() {
    FSpeaking = false;
    if (OnStop) OnStop(this);
}

bool TUbSmartSpeech::IsExcludedVoice(const std::string& name) const {
    const std::string upper = FCodec.AnsiUpperCase(name);
    for (const char* excluded : ExcludedVoices)
        if (upper.find(excluded) != std::string::npos) return true;
    return false;
}

std::vector<std::string> TUbSmartSpeech::VoiceNames() const {
    std::vector<std::string> names;
    for (const auto& [name, info] : FVoices) names.push_back(name);
    return names;
}

void TUbSmartSpeech::LoadVoices() {
    FVoices.clear();
    FSelectedVoice = nullptr;
    auto indexOf = [this](const std::string& name) -> int {
        const std::string upper = FCodec.AnsiUpperCase(name);
        for (size_t i = 0; i < FVoices.size(); ++i)
            if (FCodec.AnsiUpperCase(FVoices[i].first) == upper) return static_cast<int>(i);
        return -1;
    };
    if (FBackends.Sapi4Installed && FBackends.Sapi4Installed() && FBackends.Sapi4Speech) {
        for (const std::string& mode : Sapi4().EngineModeNames()) {
            if (IsExcludedVoice(mode)) continue;
            auto info = std::make_unique<TUbSmartSpeechVoiceInfo>();
            info->Name = mode;
            FVoices.emplace_back(mode, std::move(info));
        }
    }
    if (FBackends.Sapi5Installed && FBackends.Sapi5Installed()) {
        TSpeechObjectTokens tokens;
        try {
            tokens = SpVoice().GetVoices();
        } catch (const std::exception&) {
            return; // listing failures leave the legacy voices alone, silently
        }
        for (const TSpeechObjectToken& token : tokens) {
            if (!token) continue;
            auto info = std::make_unique<TUbSmartSpeechVoiceInfo>();
            info->Token = token;
            info->SpeedMin = -10, info->SpeedMax = 10;
            info->VolumeMin = 0, info->VolumeMax = 100;
            info->PitchMin = -50, info->PitchMax = 50;
            info->Name = FCodec.ToAnsi(token->GetDescription(0));
            if (indexOf(info->Name) >= 0 || IsExcludedVoice(info->Name)) continue;
            std::string name = info->Name;
            FVoices.emplace_back(std::move(name), std::move(info));
        }
    }
}

void TUbSmartSpeech::LoadAudioOutputs() {
    FAudioOutputs.clear();
    try {
        for (const TSpeechObjectToken& token : SpVoice().GetAudioOutputs())
            if (token) FAudioOutputs.emplace_back(FCodec.ToAnsi(token->GetDescription(0)), token);
    } catch (const std::exception&) {
        FAudioOutputs.clear(); // no modern API: the list stays empty
    }
}

void TUbSmartSpeech::SelectVoice(const std::string& name) {
    size_t index = 0;
    if (!name.empty()) {
        const std::string upper = FCodec.AnsiUpperCase(name);
        for (size_t i = 0; i < FVoices.size(); ++i)
            if (FCodec.AnsiUpperCase(FVoices[i].first) == upper) {
                index = i;
                break;
            }
    }
    if (index >= FVoices.size())
        throw EParlinoError("List index out of bounds (" + std::to_string(index) + ")");
    FSelectedVoice = FVoices[index].second.get();
    TUbSmartSpeechVoiceInfo& info = *FSelectedVoice;
    if (info.IsSapi4()) {
        IUbSpeech& legacy = Sapi4();
        legacy.SelectEngine(info.Name);
        info.SpeedMin = legacy.SpeedMin(), info.SpeedMax = legacy.SpeedMax();
        info.PitchMin = legacy.PitchMin(), info.PitchMax = legacy.PitchMax();
        info.VolumeMin = 0, info.VolumeMax = 100;
        return;
    }
    SpVoice().SetVoice(info.Token);
    SetSpeed(0);
    SetPitch(0);
    SetVolume(100);
}

const TUbSmartSpeechVoiceInfo& TUbSmartSpeech::GetInfo() const {
    if (!FSelectedVoice) throw EParlinoError(ClassName() + ".GetInfo: Select voice first!");
    return *FSelectedVoice;
}

int32_t TUbSmartSpeech::GetSpeed() { return GetInfo().IsSapi4() ? Sapi4().GetSpeed() : SpVoice().Rate(); }

void TUbSmartSpeech::SetSpeed(int32_t value) {
    SpeedValue = value;
    if (GetInfo().IsSapi4()) Sapi4().SetSpeed(value);
    else SpVoice().SetRate(value);
}

int32_t TUbSmartSpeech::GetPitch() { return GetInfo().IsSapi4() ? Sapi4().GetPitch() : PitchValue; }

void TUbSmartSpeech::SetPitch(int32_t value) {
    PitchValue = value;
    if (GetInfo().IsSapi4()) Sapi4().SetPitch(static_cast<uint16_t>(value));
}

int32_t TUbSmartSpeech::GetVolume() { return GetInfo().IsSapi4() ? Sapi4().GetVolume() : SpVoice().Volume(); }

void TUbSmartSpeech::SetVolume(int32_t value) {
    VolumeValue = value;
    if (GetInfo().IsSapi4()) Sapi4().SetVolume(value);
    else SpVoice().SetVolume(value);
}

std::string TUbSmartSpeech::BuildSpeechText() const {
    const TUbSmartSpeechVoiceInfo& info = GetInfo();
    const bool tags = info.IsSapi5() && UseTags;
    std::string s;
    for (const std::string& line : Text) s += line + "\r\n";

    // The caller's own pitch tags are set aside as one 0x02 each, so that
    // the escaping below leaves them alone. Each pass is linear in the text.
    std::vector<std::string> savedTags;
    if (tags) {
        RemoveAll(s, '\x02');
        s = ProtectPitchTags(s, savedTags);
    }
    // Pause marks become each family's own pause: the modern voices' silence
    // tag, the legacy voices' pause tag. Set aside as one 0x03 each, so that
    // neither the stress-mark pass nor the escaping touches them.
    std::vector<int32_t> pauses;
    if (UseTags) {
        RemoveAll(s, '\x03');
        s = ProtectPauseMarks(s, FCodec.LeadBytes(), pauses);
    }
    if (info.Name.find("Alyona") != std::string::npos) {
        // Walks whole characters: in a double-byte code page the byte before
        // a sign may be the second half of a character, which must be raised
        // (or kept) as a whole, never on its own.
        RemoveAll(s, '\x01');
        const TLeadBytes leadBytes = FCodec.LeadBytes();
        size_t previous = std::string::npos;
        for (size_t i = 0, length = 0; i < s.size(); previous = i, i += length) {
            length = AnsiCharLength(leadBytes, s, i);
            if (length != 1 || previous == std::string::npos || IsTagDelimiter(s[previous])) continue;
            if (s[i] == '<') {
                s.replace(previous, i - previous, FCodec.AnsiUpperCase(s.substr(previous, i - previous)));
                s[i] = '\x01';
            } else if (s[i] == '>') {
                s[i] = '\x01';
            }
        }
        RemoveAll(s, '\x01');
    }
    if (tags) {
        std::string out = "<PITCH ABSMIDDLE=\"" + std::to_string(PitchValue) + "\">";
        out.reserve(out.size() + s.size() + s.size() / 8);
        size_t nextTag = 0, nextPause = 0;
        for (const char c : s) {
            if (c == '<') out += "&lt;";
            else if (c == '>') out += "&gt;";
            else if (c == '\x02' && nextTag < savedTags.size()) out.append("<PITCH ").append(savedTags[nextTag++]).push_back('>');
            else if (c == '\x03' && nextPause < pauses.size()) out.append("<SILENCE MSEC=\"").append(std::to_string(pauses[nextPause++])).append("\"/>");
            else out.push_back(c);
        }
        return out;
    }
    if (!pauses.empty()) {
        std::string out;
        out.reserve(s.size() + pauses.size() * 8);
        size_t nextPause = 0;
        for (const char c : s) {
            if (c == '\x03' && nextPause < pauses.size()) out.append("\\Pau=").append(std::to_string(pauses[nextPause++])).push_back('\\');
            else out.push_back(c);
        }
        return out;
    }
    return s;
}

WideString TUbSmartSpeech::TextToWide(const std::string& text) const {
    if (text.empty()) return {};
    return FCodec.ToWide(text, CodePage);
}

void TUbSmartSpeech::Speak() {
    const TUbSmartSpeechVoiceInfo& info = GetInfo();
    if (info.IsSapi4()) {
        IUbSpeech& legacy = Sapi4();
        if (FOutput == TUbSmartSpeechOutput::ssoGeneral) {
            legacy.DeviceNumber = AudioOutput;
            legacy.Output = TUbSpeechOutput::soGeneral;
        } else {
            legacy.Output = TUbSpeechOutput::soFile;
            legacy.Filename = OutFileName;
            legacy.FileRealTime = FileRealTime;
        }
        legacy.UseTags = UseTags;
        legacy.SpeedFactor = SpeedFactor;
        legacy.Speak(BuildSpeechText());
        return;
    }
    ISpeechVoice& voice = SpVoice();
    voice.SetRateFactor(SpeedFactor);
    if (FOutput == TUbSmartSpeechOutput::ssoGeneral) {
        voice.SetAudioOutputStream(nullptr);
        if (AudioOutput < 0) {
            voice.SetAudioOutput(nullptr);
        } else {
            if (static_cast<size_t>(AudioOutput) >= FAudioOutputs.size())
                throw EParlinoError("List index out of bounds (" + std::to_string(AudioOutput) + ")");
            voice.SetAudioOutput(FAudioOutputs[static_cast<size_t>(AudioOutput)].second);
        }
    }
    // The stream opens the file under this name and the monitor watches the
    // very same one.
    WideString fileName;
    if (FOutput == TUbSmartSpeechOutput::ssoFile) {
        voice.SetAudioOutputStream(nullptr);
        FSpFileStream.reset();
        if (!FBackends.CreateFileStream) throw EParlinoError("No file output available");
        FSpFileStream = FBackends.CreateFileStream();
        fileName = FCodec.ToWide(OutFileName);
        FSpFileStream->Open(fileName, SSFMCreateForWrite, false);
        voice.SetAudioOutputStream(FSpFileStream.get());
    }
    FSpeaking = true;
    try {
        voice.SetEventInterests(Interests);
        if (FOutput == TUbSmartSpeechOutput::ssoFile && OnStart) OnStart(this);
        FStreamNumber = voice.Speak(TextToWide(BuildSpeechText()), UseTags ? SpeakAsyncXml : SpeakAsync);
    } catch (...) {
        // Nothing is speaking: a caller that waits for idle must not wait forever.
        FSpeaking = false;
        throw;
    }
    if (FOutput == TUbSmartSpeechOutput::ssoFile) StartFileMonitor(fileName);
}

uint64_t TUbSmartSpeech::Prepare() {
    if (!VoiceSelected() || FOutput != TUbSmartSpeechOutput::ssoGeneral) return 0;
    if (GetInfo().IsSapi4()) {
        IUbSpeech& legacy = Sapi4();
        legacy.UseTags = UseTags;
        legacy.SpeedFactor = SpeedFactor;
        return legacy.Prepare(BuildSpeechText());
    }
    ISpeechVoice& voice = SpVoice();
    voice.SetRateFactor(SpeedFactor);
    return voice.Prepare(TextToWide(BuildSpeechText()), UseTags ? SpeakAsyncXml : SpeakAsync);
}

void TUbSmartSpeech::DiscardPrepared() {
    if (FSpVoice) FSpVoice->DiscardPrepared();
    if (FSapi4Hooked) FBackends.Sapi4Speech->DiscardPrepared();
}

std::string TUbSmartSpeech::DeviceWarningText(const std::string& cardName) {
    return "Sound card \"" + cardName + "\" is not available: speech goes to the default sound card.";
}

std::string TUbSmartSpeech::DeviceWarning() const {
    if (!FSpVoice) return {};
    const TSpeechObjectToken missing = FSpVoice->UnavailableAudioOutput();
    return missing ? DeviceWarningText(FCodec.ToAnsi(missing->GetDescription(0))) : std::string();
}

bool TUbSmartSpeech::IsIdle() { return GetInfo().IsSapi4() ? Sapi4().Idle() : !FSpeaking; }

bool TUbSmartSpeech::IsPaused() { return GetInfo().IsSapi4() ? Sapi4().Paused() : FPaused; }

void TUbSmartSpeech::Pause() {
    if (GetInfo().IsSapi4()) {
        Sapi4().Pause();
        return;
    }
    SpVoice().Pause();
    FPaused = true;
}

void TUbSmartSpeech::Resume() {
    if (GetInfo().IsSapi4()) {
        Sapi4().Resume();
        return;
    }
    SpVoice().Resume();
    FPaused = false;
}

void TUbSmartSpeech::Stop() {
    if (!VoiceSelected()) return;
    if (GetInfo().IsSapi4()) {
        Sapi4().Stop();
        return;
    }
    ISpeechVoice& voice = SpVoice();
    if (FOutput == TUbSmartSpeechOutput::ssoFile) voice.SetAudioOutputStream(nullptr);
    if (FPaused) Resume();
    if (FSpeaking) FStreamNumber = voice.Speak(WideString(), SVSFPurgeBeforeSpeak);
    FSpeaking = false;
}

void TUbSmartSpeech::SetOutput(TUbSmartSpeechOutput value) {
    if (value != TUbSmartSpeechOutput::ssoFile && value != TUbSmartSpeechOutput::ssoGeneral)
        throw EParlinoError(ClassName() + ".SetOutput: Output?");
    FOutput = value;
    if (FBackends.Sapi4Installed && FBackends.Sapi4Installed() && FBackends.Sapi4Speech)
        Sapi4().Output = value == TUbSmartSpeechOutput::ssoFile ? TUbSpeechOutput::soFile : TUbSpeechOutput::soGeneral;
}

void TUbSmartSpeech::StartFileMonitor(const WideString& fileName) {
    if (FFileMonitor.joinable()) {
        FFileMonitor.request_stop();
        FFileMonitor.join();
    }
    // Wide text becomes the file system's UTF-8, as the file stream converts it.
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::absolute(std::filesystem::path(fileName), ec);
    std::shared_ptr<std::atomic<bool>> alive = FAlive;
    // Watches the file until it has stopped growing for a second, then tells
    // the program's thread that the file output is done.
    FFileMonitor = std::jthread([this, path, alive](std::stop_token stop) {
        using Clock = std::chrono::steady_clock;
        int64_t recordedSize = 0;
        Clock::time_point recordedAt = Clock::now();
        while (!stop.stop_requested()) {
            for (int i = 0; i < 50 && !stop.stop_requested(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (stop.stop_requested()) return;
            std::error_code err;
            if (!std::filesystem::exists(path, err)) continue;
            const auto rawSize = std::filesystem::file_size(path, err);
            const int64_t size = err ? -1 : static_cast<int64_t>(rawSize);
            if (recordedSize == 0) {
                recordedSize = size;
                recordedAt = Clock::now();
            } else if (Clock::now() - recordedAt >= std::chrono::milliseconds(1000)) {
                if (size == recordedSize) break;
                recordedSize = size;
                recordedAt = Clock::now();
            }
        }
        if (stop.stop_requested()) return;
        FPoster.Post([this, alive] {
            if (*alive) FileOutputDone();
        });
    });
}

void TUbSmartSpeech::FileOutputDone() {
    if (!FSpeaking || FOutput != TUbSmartSpeechOutput::ssoFile) return;
    if (FSpFileStream) FSpFileStream->Close();
    if (FSpVoice) FSpVoice->SetAudioOutputStream(nullptr);
    EndOfStream();
}

} // namespace parlino
