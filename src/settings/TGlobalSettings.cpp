#include "settings/TGlobalSettings.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#endif

namespace parlino {
namespace {

std::string WithDelimiter(std::string path) {
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

std::string WithoutDelimiter(std::string path) {
    if (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool FolderExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

constexpr TShortCut VK_F5 = VK_F1 + 4, VK_F6 = VK_F1 + 5, VK_F8 = VK_F1 + 7, VK_F12 = VK_F1 + 11;
constexpr int32_t MaxThreadPriority = 6;

} // namespace

TGlobalSettings::TGlobalSettings(const IKnownFolders& folders, IMessageBoxes& messages)
    : FFolders(folders), FMessages(messages) {}

void TGlobalSettings::ForceDirectory(const std::string& Path) {
    const std::string folder = WithoutDelimiter(Path);
    if (FolderExists(folder))
        return;
#ifdef _WIN32
    const int made = ::_mkdir(folder.c_str());
#else
    const int made = ::mkdir(folder.c_str(), 0777);
#endif
    if (made != 0 && !(errno == EEXIST && FolderExists(folder)))
        throw EParlinoError("Cannot create directory\r\n" + folder);
}

std::string TGlobalSettings::GetTempFolder() const {
    return WithDelimiter(FFolders.TempPath());
}

std::exception_ptr TGlobalSettings::PutDefaults() {
    std::exception_ptr failure;
    auto force = [&failure](const std::string& folder) {
        try {
            ForceDirectory(folder);
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    };
    TSettings::SetDefaults();
    const std::string shared = WithDelimiter(FFolders.AppData()) + "Zavirex/";
    force(shared);
    Temp_folder = GetTempFolder();
    Text_folder = shared;
    // Without a folder shared by all users, the dictionaries are looked for
    // beside the program, as on systems that predate one.
    std::string base;
    if (const std::string common = FFolders.CommonAppData(); !common.empty()) {
        base = WithDelimiter(common) + "Zavirex/";
        force(base);
    } else {
        base = WithDelimiter(FFolders.ProgramFolder());
    }
    Dic_folder = base + "Dic/";
    sk_Start = VK_F5;
    sk_Stop = VK_F6;
    sk_Pause = VK_F8;
    sk_Clipboard = VK_F12;
    sk_Start_Global = sk_Stop_Global = sk_Pause_Global = sk_Clipboard_Global = false;
    StoreEachDocSett = true;
    StoreEachDocDic = true;
    FilesList.clear();
    RecentFiles.clear();
    ActiveFile.clear();
    ActiveFileIdx = 0;
    Player.clear();
    Skin.clear();
    ChildsMaximized = true;
    MaxRecent = 10;
    SaveForm = false;
    Top = Left = Width = Height = -1000;
    LangFile.clear();
    Hook_Keys = false;
    Hook_Clipboard = true;
    TextThreadPriority_SoundCard = TextThreadPriority_AudioFile = 3;
    Sound_card_id.clear();
    Player_type.clear();
    Fit_speech = false;
    Fit_speech_max_percent = DefaultFitPercent;
    Duck_film = false;
    Duck_film_db = DefaultDuckDb;
    Hold_film_for_voice = false;
    return failure;
}

void TGlobalSettings::SetDefaults() {
    if (std::exception_ptr failure = PutDefaults())
        std::rethrow_exception(failure);
}

void TGlobalSettings::LoadFromFile(const std::string& FileName) {
    // The defaults go in first, so that they stand when the file cannot be read.
    const std::exception_ptr folderFailure = PutDefaults();
    ReadAll(TIniFile::Load(FileName), folderFailure);
}

void TGlobalSettings::LoadFromIni(const TIniFile& ini) {
    const std::exception_ptr folderFailure = PutDefaults();
    ReadAll(ini, folderFailure);
}

void TGlobalSettings::ReadAll(const TIniFile& ini, const std::exception_ptr& folderFailure) {
    ReadDocument(ini);
    ReadGlobal(ini);
    if (folderFailure)
        std::rethrow_exception(folderFailure);
}

void TGlobalSettings::SaveToFile(const std::string& FileName) {
    TIniFile ini = TIniFile::Load(FileName);
    SaveToIni(ini);
    ini.Save(FileName);
}

void TGlobalSettings::SaveToIni(TIniFile& ini) {
    WriteDocument(ini);
    WriteGlobal(ini);
}

void TGlobalSettings::Load() {
    FFileUnreadable = false;
    try {
        LoadFromFile(IniFileName);
    } catch (const EIniReadError&) {
        FFileUnreadable = true;
    } catch (...) {
    }
}

void TGlobalSettings::Save() {
    if (FFileUnreadable)
        return;
    try {
        SaveToFile(IniFileName);
    } catch (...) {
    }
}

void TGlobalSettings::ReadGlobal(const TIniFile& ini) {
    Temp_folder = ini.ReadString("Locations", "Temp_folder", Temp_folder);
    if (!FolderExists(WithoutDelimiter(Temp_folder))) {
        Temp_folder = GetTempFolder();
        FMessages.ShowInformation(MessageCaption, TempFolderMessage);
    }
    Text_folder = ini.ReadString("Locations", "Text_folder", Text_folder);
    if (!FolderExists(WithoutDelimiter(Text_folder))) {
        Text_folder = GetTempFolder();
        FMessages.ShowInformation(MessageCaption, TextFolderMessage);
    }
    Temp_folder = WithDelimiter(Temp_folder);
    Player = ini.ReadString("Locations", "Player", "mplayer2.exe");
    Dic_folder = ini.ReadString("Locations", "Dic_folder", Dic_folder);
    if (!FolderExists(WithoutDelimiter(Dic_folder))) {
        Dic_folder = WithDelimiter(FFolders.ProgramFolder());
        FMessages.ShowInformation(MessageCaption, DicFolderMessage);
    }
    Skin = ini.ReadString("Locations", "Skin", Skin);
    Dic_folder = WithDelimiter(Dic_folder);

    sk_Start = TextToShortCut(ini.ReadString("HotKeys", "sk_Start", "F5"));
    sk_Stop = TextToShortCut(ini.ReadString("HotKeys", "sk_Stop", "F6"));
    sk_Pause = TextToShortCut(ini.ReadString("HotKeys", "sk_Pause", "F8"));
    sk_Clipboard = TextToShortCut(ini.ReadString("HotKeys", "sk_Clipboard", "F12"));
    sk_Start_Global = ini.ReadBool("HotKeys", "sk_Start_Global", false);
    sk_Stop_Global = ini.ReadBool("HotKeys", "sk_Stop_Global", false);
    sk_Pause_Global = ini.ReadBool("HotKeys", "sk_Pause_Global", false);
    sk_Clipboard_Global = ini.ReadBool("HotKeys", "sk_Clipboard_Global", false);

    FilesList = ini.ReadList("FilesList", "Count");
    ActiveFile = ini.ReadString("FilesList", "ActiveFile", ActiveFile);
    ActiveFileIdx = ini.ReadInteger("FilesList", "ActiveFileIdx", ActiveFileIdx);
    if (FilesList.empty()) {
        ActiveFile.clear();
        ActiveFileIdx = 0;
    }

    StoreEachDocSett = ini.ReadBool("GlobalOther", "StoreEachDocSett", true);
    StoreEachDocDic = ini.ReadBool("GlobalOther", "StoreEachDocDic", StoreEachDocDic);
    MaxRecent = ini.ReadInteger("GlobalOther", "MaxRecent", 10);
    MinimizeToTray = ini.ReadBool("GlobalOther", "MinimizeToTray", true);

    ParentMaximized = ini.ReadBool("Appearance", "ParentMaximized", ParentMaximized);
    ChildsMaximized = ini.ReadBool("Appearance", "ChildsMaximized", ChildsMaximized);
    SaveForm = ini.ReadBool("Appearance", "SaveForm", false);
    Top = ini.ReadInteger("Appearance", "Top", -1000);
    Left = ini.ReadInteger("Appearance", "Left", -1000);
    Width = ini.ReadInteger("Appearance", "Width", -1000);
    Height = ini.ReadInteger("Appearance", "Height", -1000);
    if (Top == -1000 || Left == -1000 || Width == -1000 || Height == -1000)
        SaveForm = false;
    LangFile = ini.ReadString("Appearance", "LangFile", LangFile);

    RecentFiles = ini.ReadList("RecentFiles", "Count");

    Hook_Keys = ini.ReadBool("Hooks", "Hook_Keys", Hook_Keys);
    Hook_Clipboard = ini.ReadBool("Hooks", "Hook_Clipboard", Hook_Clipboard);

    TextThreadPriority_SoundCard =
        std::min(MaxThreadPriority, ini.ReadInteger("Advanced", "TextThreadPriority_SoundCard",
                                                    TextThreadPriority_SoundCard));
    TextThreadPriority_AudioFile =
        std::min(MaxThreadPriority, ini.ReadInteger("Advanced", "TextThreadPriority_AudioFile",
                                                    TextThreadPriority_AudioFile));

    Sound_card_id = ini.ReadString("Audio file", "Sound_card_id", Sound_card_id);
    Player_type = ini.ReadString("Misc", "Player_type", Player_type);
    Fit_speech = ini.ReadBool("Misc", "Fit_speech", Fit_speech);
    const int32_t percent = ini.ReadInteger("Misc", "Fit_speech_max_percent", Fit_speech_max_percent);
    // A value out of range (a hand-edited file) is not kept: the default is.
    Fit_speech_max_percent = percent >= MinFitPercent && percent <= MaxFitPercent ? percent : DefaultFitPercent;
    Duck_film = ini.ReadBool("Misc", "Duck_film", Duck_film);
    const int32_t db = ini.ReadInteger("Misc", "Duck_film_db", Duck_film_db);
    Duck_film_db = db >= MinDuckDb && db <= MaxDuckDb ? db : DefaultDuckDb;
    Hold_film_for_voice = ini.ReadBool("Misc", "Hold_film_for_voice", Hold_film_for_voice);
}

void TGlobalSettings::WriteGlobal(TIniFile& ini) {
    ini.WriteString("Locations", "Temp_folder", Temp_folder);
    ini.WriteString("Locations", "Dic_folder", Dic_folder);
    ini.WriteString("Locations", "Text_folder", Text_folder);
    ini.WriteString("Locations", "Player", Player);
    ini.WriteString("Locations", "Skin", Skin);

    ini.WriteString("HotKeys", "sk_Start", ShortCutToText(sk_Start));
    ini.WriteString("HotKeys", "sk_Stop", ShortCutToText(sk_Stop));
    ini.WriteString("HotKeys", "sk_Pause", ShortCutToText(sk_Pause));
    ini.WriteString("HotKeys", "sk_Clipboard", ShortCutToText(sk_Clipboard));
    ini.WriteBool("HotKeys", "sk_Start_Global", sk_Start_Global);
    ini.WriteBool("HotKeys", "sk_Stop_Global", sk_Stop_Global);
    ini.WriteBool("HotKeys", "sk_Pause_Global", sk_Pause_Global);
    ini.WriteBool("HotKeys", "sk_Clipboard_Global", sk_Clipboard_Global);

    ini.WriteList("FilesList", "Count", FilesList);
    if (FilesList.empty()) {
        ActiveFile.clear();
        ActiveFileIdx = 0;
    }
    ini.WriteString("FilesList", "ActiveFile", ActiveFile);
    ini.WriteInteger("FilesList", "ActiveFileIdx", ActiveFileIdx);

    ini.WriteBool("GlobalOther", "StoreEachDocSett", StoreEachDocSett);
    ini.WriteBool("GlobalOther", "StoreEachDocDic", StoreEachDocDic);
    ini.WriteInteger("GlobalOther", "MaxRecent", MaxRecent);
    ini.WriteBool("GlobalOther", "MinimizeToTray", MinimizeToTray);

    ini.WriteBool("Appearance", "ParentMaximized", ParentMaximized);
    ini.WriteBool("Appearance", "ChildsMaximized", ChildsMaximized);
    ini.WriteBool("Appearance", "SaveForm", SaveForm);
    ini.WriteInteger("Appearance", "Top", Top);
    ini.WriteInteger("Appearance", "Left", Left);
    ini.WriteInteger("Appearance", "Width", Width);
    ini.WriteInteger("Appearance", "Height", Height);
    ini.WriteString("Appearance", "LangFile", LangFile);

    ini.WriteList("RecentFiles", "Count", RecentFiles);

    ini.WriteBool("Hooks", "Hook_Keys", Hook_Keys);
    ini.WriteBool("Hooks", "Hook_Clipboard", Hook_Clipboard);

    ini.WriteInteger("Advanced", "TextThreadPriority_SoundCard", TextThreadPriority_SoundCard);
    ini.WriteInteger("Advanced", "TextThreadPriority_AudioFile", TextThreadPriority_AudioFile);

    ini.WriteString("Audio file", "Sound_card_id", Sound_card_id);
    ini.WriteString("Misc", "Player_type", Player_type);
    ini.WriteBool("Misc", "Fit_speech", Fit_speech);
    ini.WriteInteger("Misc", "Fit_speech_max_percent", Fit_speech_max_percent);
    ini.WriteBool("Misc", "Duck_film", Duck_film);
    ini.WriteInteger("Misc", "Duck_film_db", Duck_film_db);
    ini.WriteBool("Misc", "Hold_film_for_voice", Hold_film_for_voice);
}

} // namespace parlino
