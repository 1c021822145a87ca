#pragma once
// The settings record of one document: the voice and its speed, pitch and
// volume, the look of a text window, display flags, the options of writing
// speech to an audio file, and the dictionaries. It is kept in the sections
// "File", "Engine", "Appearance", "Misc", "Audio file" and "Dictionaries" of
// an ini file. This program acts on a few of the values (see TGlobalSettings)
// and carries the others: reads, defaults and writes them back.

#include "settings/IniFile.h"
#include "text/LoadTextFile.h"

#include <cstdint>
#include <string>

namespace parlino {

// Colours are 32-bit values: a high byte of FF names a system colour by the
// index in the low byte, otherwise the low three bytes are red, green, blue.
using TColor = int32_t;
constexpr TColor clWindow = static_cast<TColor>(0xFF000005);
constexpr TColor clWindowText = static_cast<TColor>(0xFF000008);
constexpr TColor clBlue = 0xFF0000;

// Font styles, summed in the file.
constexpr uint8_t fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8;

struct TSettingsFont {
    std::string Name = "MS Sans Serif";
    TColor Color = clWindowText;
    int32_t Size = 8; // points
    uint8_t Style = 0;
    uint8_t Charset = 1; // DEFAULT_CHARSET
};

class TSettings {
public:
    TSettings();
    virtual ~TSettings() = default;

    // Puts in the defaults; IniFileName is left alone.
    virtual void SetDefaults();
    // SetDefaults, then every key of the file. Never raises: a missing or
    // unreadable file gives the defaults (with Engine_id 0).
    virtual void LoadFromFile(const std::string& FileName);
    // Writes every key into the file, keeping its other lines. Raises
    // EParlinoError when the file cannot be read or written.
    virtual void SaveToFile(const std::string& FileName);

    std::string IniFileName;
    std::string Doc_name;
    int32_t Engine_id;
    std::string Engine_name;
    std::string Engine_name_displayed;
    int32_t Engine_speed, Engine_pitch, Engine_volume; // -1: none stored
    TColor Window_color;
    TSettingsFont WindowFont;
    TSettingsFont HighlightFont; // only its colour is stored
    bool Text_tracing, Text_highlighting;
    int32_t Cursor_Position;
    int32_t Wav_speed;
    std::string Wav_filename;
    int32_t Mp3_bitrate;
    bool Mp3_VBR;
    int32_t Mp3_maxbitrate;
    bool Mp3_stereo, Mp3_onthefly;
    int32_t WaveOutDevice_id;
    std::string WaveOutDeviceName;
    bool Wav_MultipleFiles;
    int32_t Wav_MultiFile_FileSize;
    std::string Wav_MultiFile_FileName;
    int32_t Wav_MultiFile_NumSeed;
    bool Wav_resample;
    int32_t Wav_resample_value;
    bool Wav_stereo, Wav_normalize;
    TStringList Dictionaries;
    int32_t Default_dic;
    int32_t Speak_mode; // the time shift, whole seconds
    bool pitchvar;
    int32_t pitchvar_value, pitchvar_stages;
    bool f1; // use a dictionary
    std::string default_dic_name;
    bool tools_visible;
    std::string compiled_dic;

    // Which of Engine_speed, Engine_pitch and Engine_volume the file held at
    // the last loading; a key that was missing leaves the voice's own value.
    bool Engine_speed_stored = false, Engine_pitch_stored = false, Engine_volume_stored = false;

protected:
    // The document part of loading and saving, on a file already read.
    void ReadDocument(const TIniFile& ini);
    void WriteDocument(TIniFile& ini);
};

} // namespace parlino
