#pragma once
// The legacy voice API as this program declares it: the text-to-speech
// enumerator, the engine central with its attributes and dialogs, the two
// notification sinks, the multimedia and file audio destinations, and the
// mode-information record. Objects are shared (reference-counted) and every
// call answers an HRESULT-style code; the engine layer implements them, the
// legacy voice component uses them.

#include <cstdint>
#include <memory>
#include <string>

namespace parlino {

using HRESULT = int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
inline bool Failed(HRESULT hr) { return hr < 0; }

struct TGUID {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0, Data3 = 0;
    uint8_t Data4[8] = {};
    bool operator==(const TGUID&) const = default;
};
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex.
std::string GuidToString(const TGUID& guid);

// Interface identifiers, as the notification registration names them.
constexpr TGUID IID_ITTSNotifySinkA{0x05EB6C6F, 0xDBAB, 0x11CD, {0xB3, 0xCA, 0x00, 0xAA, 0x00, 0x47, 0xBA, 0x4F}};
constexpr TGUID IID_ITTSBufNotifySink{0xE4963D40, 0xC743, 0x11CD, {0x80, 0xE5, 0x00, 0xAA, 0x00, 0x3E, 0x4B, 0x50}};

constexpr size_t TTSI_NAMELEN = 262;

constexpr uint16_t GENDER_NEUTRAL = 0, GENDER_FEMALE = 1, GENDER_MALE = 2;

// Engine features.
constexpr uint32_t TTSFEATURE_ANYWORD = 0x1;
constexpr uint32_t TTSFEATURE_VOLUME = 0x2;
constexpr uint32_t TTSFEATURE_SPEED = 0x4;
constexpr uint32_t TTSFEATURE_PITCH = 0x8;
constexpr uint32_t TTSFEATURE_TAGGED = 0x10;
// Interfaces an engine mode offers.
constexpr uint32_t TTSI_ITTSATTRIBUTES = 0x1;
constexpr uint32_t TTSI_ITTSCENTRAL = 0x2;
constexpr uint32_t TTSI_ITTSDIALOGS = 0x4;

// The language of a mode; texts are zero-terminated ANSI.
struct TLanguageA {
    uint16_t LanguageID = 0;
    char szDialect[TTSI_NAMELEN] = {};
};

// One engine mode's description; every text is zero-terminated ANSI and cut
// to fit its field.
struct TTSModeInfoA {
    TGUID gEngineID;
    char szMfgName[TTSI_NAMELEN] = {};
    char szProductName[TTSI_NAMELEN] = {};
    TGUID gModeID;
    char szModeName[TTSI_NAMELEN] = {};
    TLanguageA language;
    char szSpeaker[TTSI_NAMELEN] = {};
    char szStyle[TTSI_NAMELEN] = {};
    uint16_t wGender = GENDER_NEUTRAL;
    uint16_t wAge = 0;
    uint32_t dwFeatures = 0;
    uint32_t dwInterfaces = 0;
    uint32_t dwEngineFeatures = 0;
};

// The mouth shape of a Visual notification.
struct TTSMouth {
    uint8_t bMouthHeight = 0, bMouthWidth = 0, bMouthUpturn = 0, bJawOpen = 0;
    uint8_t bTeethUpperVisible = 0, bTeethLowerVisible = 0, bTonguePosn = 0, bLipTension = 0;
};

// TextData's character set and flags.
constexpr uint32_t CHARSET_TEXT = 0;
constexpr uint32_t TTSDATAFLAG_TAGGED = 1;

// Engine notifications; delivered on the program's thread.
class ITTSNotifySinkA {
public:
    virtual ~ITTSNotifySinkA() = default;
    virtual HRESULT AttribChanged(uint32_t attribute) = 0;
    virtual HRESULT AudioStart(uint64_t timeStamp) = 0;
    virtual HRESULT AudioStop(uint64_t timeStamp) = 0;
    virtual HRESULT Visual(uint64_t timeStamp, char ipaPhoneme, char enginePhoneme, uint32_t hints,
                           const TTSMouth* mouth) = 0;
};

// Notifications about one text given to TextData; on the program's thread.
class ITTSBufNotifySink {
public:
    virtual ~ITTSBufNotifySink() = default;
    virtual HRESULT TextDataDone(uint64_t timeStamp, uint32_t flags) = 0;
    virtual HRESULT TextDataStarted(uint64_t timeStamp) = 0;
    virtual HRESULT BookMark(uint64_t timeStamp, uint32_t mark) = 0;
    // `bytePosition`: offset of the word in the text handed to TextData.
    virtual HRESULT WordPosition(uint64_t timeStamp, uint32_t bytePosition) = 0;
};

// Where an engine's audio goes.
class IAudioDestination {
public:
    virtual ~IAudioDestination() = default;
};

// A sound card.
class IAudioMultiMediaDevice : public virtual IAudioDestination {
public:
    // The wave-out device number: 0.. in the order of the sound card list,
    // 0xFFFFFFFF (-1) the system's default device.
    virtual HRESULT DeviceNumSet(uint32_t deviceNumber) = 0;
};

// A wave file.
class IAudioFile : public virtual IAudioDestination {
public:
    // Creates (or truncates) the file for the following audio; a negative
    // result when it cannot.
    virtual HRESULT Set(const std::string& fileName, uint32_t flags) = 0;
    virtual HRESULT RealTimeSet(uint16_t realTime) = 0;
    // Completes the file's header with what has been written.
    virtual HRESULT Flush() = 0;
};

class ITTSAttributesA {
public:
    virtual ~ITTSAttributesA() = default;
    // Setters clamp to the engine's limits; getters answer the value in force.
    virtual HRESULT PitchGet(uint16_t* pitch) = 0;
    virtual HRESULT PitchSet(uint16_t pitch) = 0;
    virtual HRESULT RealTimeGet(uint32_t* realTime) = 0;
    virtual HRESULT RealTimeSet(uint32_t realTime) = 0;
    virtual HRESULT SpeedGet(uint32_t* speed) = 0;
    virtual HRESULT SpeedSet(uint32_t speed) = 0;
    // Low 16 bits left, high 16 bits right.
    virtual HRESULT VolumeGet(uint32_t* volume) = 0;
    virtual HRESULT VolumeSet(uint32_t volume) = 0;
};

class ITTSDialogsA {
public:
    virtual ~ITTSDialogsA() = default;
    virtual HRESULT AboutDlg(void* parentWindow, const char* title) = 0;
    virtual HRESULT GeneralDlg(void* parentWindow, const char* title) = 0;
    virtual HRESULT LexiconDlg(void* parentWindow, const char* title) = 0;
    virtual HRESULT TranslateDlg(void* parentWindow, const char* title) = 0;
};

class ITTSCentralA {
public:
    virtual ~ITTSCentralA() = default;
    // Control tags for the text that follows.
    virtual HRESULT Inject(const char* tags) = 0;
    // Adds `text` (zero-terminated ANSI, `size` bytes with the zero) to what
    // the engine holds. `flags` TTSDATAFLAG_TAGGED reads control tags in it.
    virtual HRESULT TextData(uint32_t characterSet, uint32_t flags, const char* text, uint32_t size,
                             std::shared_ptr<ITTSBufNotifySink> sink, const TGUID& sinkInterface) = 0;
    virtual HRESULT AudioPause() = 0;
    virtual HRESULT AudioResume() = 0;
    // Silences the engine and drops everything it holds.
    virtual HRESULT AudioReset() = 0;
    virtual HRESULT Register(std::shared_ptr<ITTSNotifySinkA> sink, const TGUID& sinkInterface, uint32_t* key) = 0;
    virtual HRESULT UnRegister(uint32_t key) = 0;
    // The interfaces the central also answers to (null when it has none).
    virtual std::shared_ptr<ITTSAttributesA> Attributes() = 0;
    virtual std::shared_ptr<ITTSDialogsA> Dialogs() = 0;
};

// This program's own addition to the engine central, which a central may
// implement beside ITTSCentralA (found by casting the central): speaking
// faster, and synthesising a text ahead of the moment it is spoken.
class ITTSPreparedNotifySink {
public:
    virtual ~ITTSPreparedNotifySink() = default;
    // A text given to Prepare is synthesised whole: `durationMs` is how long
    // it sounds when spoken (to its last audible sound). On the program's
    // thread; not for a text discarded before it was done.
    virtual HRESULT Prepared(uint64_t id, uint64_t durationMs) = 0;
    // A text the central had to drop (to keep at most MaxPrepared) before it
    // was done: it will not be reported as prepared. On the program's thread.
    virtual HRESULT Dropped(uint64_t id) = 0;
};

class ITTSCentralAhead {
public:
    virtual ~ITTSCentralAhead() = default;
    // Multiplies the speed that the attributes and the text's tags give, for
    // the texts handed to TextData and Prepare from now on; the pitch stays.
    // 1..3 (held to that range; a value that is no number counts as 1).
    virtual HRESULT SpeedFactorSet(double factor) = 0;
    virtual HRESULT SpeedFactorGet(double* factor) = 0;
    // Synthesises `text` into memory as TextData with the same arguments
    // would speak it now, without touching the parameters in force (tags in
    // the text included); `*id` (never 0) names it. A later TextData of the
    // same text and flags with the same attributes and speed factor in force
    // plays that audio, even while its synthesis still runs; each prepared
    // text serves once. At most MaxPrepared are kept: the oldest goes.
    // E_UNEXPECTED when the central speaks into a file.
    virtual HRESULT Prepare(uint32_t characterSet, uint32_t flags, const char* text, uint32_t size,
                            std::shared_ptr<ITTSPreparedNotifySink> sink, uint64_t* id) = 0;
    // Forgets every prepared text and stops the synthesis of those not done.
    virtual HRESULT DiscardPrepared() = 0;
    static constexpr size_t MaxPrepared = 64;
};

class ITTSEnumA {
public:
    virtual ~ITTSEnumA() = default;
    // Copies up to `count` mode records; S_FALSE when fewer were left.
    virtual HRESULT Next(uint32_t count, TTSModeInfoA* modes, uint32_t* fetched) = 0;
    virtual HRESULT Skip(uint32_t count) = 0;
    virtual HRESULT Reset() = 0;
    // A central for the mode speaking into `destination`.
    virtual HRESULT Select(const TGUID& modeId, std::shared_ptr<ITTSCentralA>* central,
                           std::shared_ptr<IAudioDestination> destination) = 0;
};

// The classes of the API: what object creation gives. Each returns null when
// the class is not available.
class ITTSClasses {
public:
    virtual ~ITTSClasses() = default;
    virtual std::shared_ptr<ITTSEnumA> CreateEnum() = 0;
    virtual std::shared_ptr<IAudioMultiMediaDevice> CreateMultiMediaDevice() = 0;
    virtual std::shared_ptr<IAudioFile> CreateAudioFile() = 0;
};

} // namespace parlino
