#include "settings/TSettings.h"

#include <algorithm>

namespace parlino {

TSettings::TSettings() {
    TSettings::SetDefaults();
}

void TSettings::SetDefaults() {
    Doc_name.clear();
    Engine_id = -1;
    Engine_name.clear();
    Engine_name_displayed.clear();
    Engine_speed = Engine_pitch = Engine_volume = -1;
    Engine_speed_stored = Engine_pitch_stored = Engine_volume_stored = false;
    Window_color = clWindow;
    WindowFont = TSettingsFont{};
    HighlightFont = TSettingsFont{};
    HighlightFont.Color = clBlue;
    Text_tracing = true;
    Text_highlighting = true;
    Cursor_Position = 0;
    Wav_speed = 100;
    Wav_filename.clear();
    Mp3_bitrate = 32;
    Mp3_VBR = false;
    Mp3_maxbitrate = 128;
    Mp3_stereo = false;
    Mp3_onthefly = false;
    WaveOutDevice_id = -1;
    WaveOutDeviceName.clear();
    Wav_MultipleFiles = false;
    Wav_MultiFile_FileSize = 16000;
    Wav_MultiFile_FileName = "<file> %n";
    Wav_MultiFile_NumSeed = 0;
    Wav_resample = false;
    Wav_resample_value = 44100;
    Wav_stereo = false;
    Wav_normalize = false;
    Dictionaries.clear();
    Default_dic = -1;
    Speak_mode = 0;
    pitchvar = false;
    pitchvar_value = 50;
    pitchvar_stages = 3;
    f1 = false;
    default_dic_name.clear();
    tools_visible = true;
    compiled_dic.clear();
}

void TSettings::LoadFromFile(const std::string& FileName) {
    TSettings::SetDefaults();
    Engine_id = 0;
    try {
        ReadDocument(TIniFile::Load(FileName));
    } catch (...) {
        // Reading never fails; what was read so far stays.
    }
}

void TSettings::SaveToFile(const std::string& FileName) {
    TIniFile ini = TIniFile::Load(FileName);
    WriteDocument(ini);
    ini.Save(FileName);
}

void TSettings::ReadDocument(const TIniFile& ini) {
    TSettings::SetDefaults();
    Doc_name = ini.ReadString("File", "Doc_name", Doc_name);

    Engine_id = std::max(0, ini.ReadInteger("Engine", "Engine_id", Engine_id));
    Engine_name = ini.ReadString("Engine", "Engine_name", Engine_name);
    Engine_name_displayed =
        ini.ReadString("Engine", "Engine_name_displayed", Engine_name_displayed);
    // A value that is not a number counts as not stored, like a missing key.
    auto engineValue = [&](const char* key, int32_t& value, bool& stored) {
        const std::optional<std::string> text = ini.Find("Engine", key);
        const std::optional<int32_t> number = text ? ParseIniInteger(*text) : std::nullopt;
        stored = number.has_value();
        value = number.value_or(value);
    };
    engineValue("Engine_speed", Engine_speed, Engine_speed_stored);
    engineValue("Engine_pitch", Engine_pitch, Engine_pitch_stored);
    engineValue("Engine_volume", Engine_volume, Engine_volume_stored);

    Window_color = ini.ReadInteger("Appearance", "Window_color", Window_color);
    WindowFont.Name = ini.ReadString("Appearance", "Window_font_name", WindowFont.Name);
    WindowFont.Color = ini.ReadInteger("Appearance", "Window_font_color", WindowFont.Color);
    WindowFont.Size = ini.ReadInteger("Appearance", "Window_font_size", WindowFont.Size);
    WindowFont.Style =
        static_cast<uint8_t>(ini.ReadInteger("Appearance", "Window_font_style", WindowFont.Style) &
                             (fsBold | fsItalic | fsUnderline | fsStrikeOut));
    WindowFont.Charset = static_cast<uint8_t>(
        ini.ReadInteger("Appearance", "Window_font_charset", WindowFont.Charset) & 0xFF);
    HighlightFont = WindowFont;
    HighlightFont.Color = ini.ReadInteger("Appearance", "Highlight_Color", clBlue);

    Text_tracing = ini.ReadBool("Misc", "Text_tracing", Text_tracing);
    Text_highlighting = ini.ReadBool("Misc", "Text_highlighting", Text_highlighting);
    Cursor_Position = ini.ReadInteger("Misc", "Cursor_Position", Cursor_Position);
    pitchvar = ini.ReadBool("Misc", "pitchvar", pitchvar);
    pitchvar_value = ini.ReadInteger("Misc", "pitchvar_value", pitchvar_value);
    pitchvar_stages = ini.ReadInteger("Misc", "pitchvar_stages", pitchvar_stages);
    f1 = ini.ReadBool("Misc", "f1", f1);
    tools_visible = ini.ReadBool("Misc", "tools_visible", tools_visible);

    const char* audio = "Audio file";
    Wav_speed = ini.ReadInteger(audio, "Wav_speed", Wav_speed);
    Wav_filename = ini.ReadString(audio, "Wav_filename", Wav_filename);
    Mp3_bitrate = ini.ReadInteger(audio, "Mp3_bitrate", Mp3_bitrate);
    Mp3_VBR = ini.ReadBool(audio, "Mp3_VBR", Mp3_VBR);
    Mp3_maxbitrate = ini.ReadInteger(audio, "Mp3_maxbitrate", Mp3_maxbitrate);
    Mp3_stereo = ini.ReadBool(audio, "Mp3_stereo", Mp3_stereo);
    Mp3_onthefly = ini.ReadBool(audio, "Mp3_onthefly", Mp3_onthefly);
    Mp3_onthefly = false; // whatever is stored
    WaveOutDevice_id = ini.ReadInteger(audio, "WaveOutDevice_id", WaveOutDevice_id);
    WaveOutDeviceName = ini.ReadString(audio, "WaveOutDeviceName", WaveOutDeviceName);
    Wav_MultipleFiles = ini.ReadBool(audio, "Wav_MultipleFiles", Wav_MultipleFiles);
    Wav_MultiFile_FileSize =
        ini.ReadInteger(audio, "Wav_MultiFile_FileSize", Wav_MultiFile_FileSize);
    Wav_MultiFile_FileName =
        ini.ReadString(audio, "Wav_MultiFile_FileName", Wav_MultiFile_FileName);
    Wav_MultiFile_NumSeed = ini.ReadInteger(audio, "Wav_MultiFile_NumSeed", Wav_MultiFile_NumSeed);
    Wav_resample = ini.ReadBool(audio, "Wav_resample", Wav_resample);
    Wav_resample_value = ini.ReadInteger(audio, "Wav_resample_value", Wav_resample_value);
    Wav_stereo = ini.ReadBool(audio, "Wav_stereo", Wav_stereo);
    Wav_normalize = ini.ReadBool(audio, "Wav_normalize", Wav_normalize);

    Dictionaries = ini.ReadList("Dictionaries", "Dic_count");
    Default_dic = ini.ReadInteger("Dictionaries", "Default_dic", Default_dic);
    Speak_mode = ini.ReadInteger("Dictionaries", "Speak_mode", Speak_mode);
    default_dic_name = ini.ReadString("Dictionaries", "default_dic_name", default_dic_name);
    compiled_dic = ini.ReadString("Dictionaries", "compiled_dic", compiled_dic);
}

void TSettings::WriteDocument(TIniFile& ini) {
    ini.WriteString("File", "Doc_name", Doc_name);

    ini.WriteInteger("Engine", "Engine_id", Engine_id);
    ini.WriteString("Engine", "Engine_name", Engine_name);
    ini.WriteString("Engine", "Engine_name_displayed", Engine_name_displayed);
    ini.WriteInteger("Engine", "Engine_speed", Engine_speed);
    ini.WriteInteger("Engine", "Engine_pitch", Engine_pitch);
    ini.WriteInteger("Engine", "Engine_volume", Engine_volume);

    ini.WriteInteger("Appearance", "Window_color", Window_color);
    ini.WriteString("Appearance", "Window_font_name", WindowFont.Name);
    ini.WriteInteger("Appearance", "Window_font_color", WindowFont.Color);
    ini.WriteInteger("Appearance", "Window_font_size", WindowFont.Size);
    ini.WriteInteger("Appearance", "Window_font_style", WindowFont.Style);
    ini.WriteInteger("Appearance", "Window_font_charset", WindowFont.Charset);
    ini.WriteInteger("Appearance", "Highlight_Color", HighlightFont.Color);

    ini.WriteBool("Misc", "Text_tracing", Text_tracing);
    ini.WriteBool("Misc", "Text_highlighting", Text_highlighting);
    ini.WriteInteger("Misc", "Cursor_Position", Cursor_Position);
    ini.WriteBool("Misc", "pitchvar", pitchvar);
    ini.WriteInteger("Misc", "pitchvar_value", pitchvar_value);
    ini.WriteInteger("Misc", "pitchvar_stages", pitchvar_stages);
    ini.WriteBool("Misc", "f1", f1);
    ini.WriteBool("Misc", "tools_visible", tools_visible);

    const char* audio = "Audio file";
    ini.WriteInteger(audio, "Wav_speed", Wav_speed);
    ini.WriteString(audio, "Wav_filename", Wav_filename);
    ini.WriteInteger(audio, "Mp3_bitrate", Mp3_bitrate);
    ini.WriteBool(audio, "Mp3_VBR", Mp3_VBR);
    ini.WriteInteger(audio, "Mp3_maxbitrate", Mp3_maxbitrate);
    ini.WriteBool(audio, "Mp3_stereo", Mp3_stereo);
    ini.WriteBool(audio, "Mp3_onthefly", Mp3_onthefly);
    ini.WriteInteger(audio, "WaveOutDevice_id", WaveOutDevice_id);
    ini.WriteString(audio, "WaveOutDeviceName", WaveOutDeviceName);
    ini.WriteBool(audio, "Wav_MultipleFiles", Wav_MultipleFiles);
    ini.WriteInteger(audio, "Wav_MultiFile_FileSize", Wav_MultiFile_FileSize);
    ini.WriteString(audio, "Wav_MultiFile_FileName", Wav_MultiFile_FileName);
    ini.WriteInteger(audio, "Wav_MultiFile_NumSeed", Wav_MultiFile_NumSeed);
    ini.WriteBool(audio, "Wav_resample", Wav_resample);
    ini.WriteInteger(audio, "Wav_resample_value", Wav_resample_value);
    ini.WriteBool(audio, "Wav_stereo", Wav_stereo);
    ini.WriteBool(audio, "Wav_normalize", Wav_normalize);

    ini.WriteList("Dictionaries", "Dic_count", Dictionaries);
    ini.WriteInteger("Dictionaries", "Default_dic", Default_dic);
    ini.WriteInteger("Dictionaries", "Speak_mode", Speak_mode);
    ini.WriteString("Dictionaries", "default_dic_name", default_dic_name);
    ini.WriteString("Dictionaries", "compiled_dic", compiled_dic);
}

} // namespace parlino
