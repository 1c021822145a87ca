#pragma once
// The program's one settings object, kept in Parlino.ini: the document
// record plus folders, shortcuts, file lists and window options. Of all its
// values the main window acts on the voice, its speed, pitch and volume, the
// sound card, the dictionary flag and name, the time shift, the video player
// type and the dictionaries folder; every other key is read, defaulted and
// written back so that the file always carries its full layout.

#include "platform/IKnownFolders.h"
#include "platform/IMessageBoxes.h"
#include "settings/ShortCuts.h"
#include "settings/TSettings.h"

#include <exception>

namespace parlino {

class TGlobalSettings : public TSettings {
public:
    // The folders give the special folders of the defaults; the message
    // boxes tell the user about stored folders that had to be replaced.
    TGlobalSettings(const IKnownFolders& folders, IMessageBoxes& messages);

    // The defaults of the document and of the fields below. Creates the
    // shared "Zavirex" folder under the user's application data; raises
    // "Cannot create directory\r\n<folder>" when it cannot, after putting in
    // every default all the same.
    void SetDefaults() override;
    // SetDefaults, then every key of the file. All keys are read even when
    // the shared folder cannot be created, so the user's stored choices are
    // never replaced by defaults; that failure is raised after reading.
    // Raises EIniReadError when the file exists but cannot be read.
    void LoadFromFile(const std::string& FileName) override;
    void SaveToFile(const std::string& FileName) override;
    // The same on a document in memory: LoadFromIni is LoadFromFile on a
    // file holding `ini`; SaveToIni writes every key into `ini`.
    void LoadFromIni(const TIniFile& ini);
    void SaveToIni(TIniFile& ini);
    // LoadFromFile and SaveToFile with IniFileName, swallowing every error.
    // When the file could not be read, Save leaves it alone: writing the
    // defaults over it would lose what it holds.
    void Load();
    void Save();

    // Makes sure the one folder `Path` exists (a trailing "/" is ignored);
    // its parent must exist. Raises "Cannot create directory\r\n<path>".
    static void ForceDirectory(const std::string& Path);
    // The temporary folder with a trailing "/".
    std::string GetTempFolder() const;

    std::string Temp_folder, Dic_folder, Text_folder;
    TShortCut sk_Start = 0, sk_Stop = 0, sk_Pause = 0, sk_Clipboard = 0;
    bool sk_Start_Global = false, sk_Stop_Global = false, sk_Pause_Global = false,
         sk_Clipboard_Global = false;
    bool StoreEachDocSett = false, StoreEachDocDic = false;
    TStringList FilesList, RecentFiles;
    std::string ActiveFile;
    int32_t ActiveFileIdx = 0;
    std::string Player;
    bool ParentMaximized = false, ChildsMaximized = false;
    int32_t MaxRecent = 0;
    bool MinimizeToTray = false;
    std::string Skin;
    int32_t Top = 0, Left = 0, Width = 0, Height = 0;
    bool SaveForm = false;
    std::string LangFile;
    bool Hook_Keys = false, Hook_Clipboard = false;
    int32_t TextThreadPriority_SoundCard = 0, TextThreadPriority_AudioFile = 0;
    // The chosen sound card's lasting identity ("Audio file", "Sound_card_id",
    // beside WaveOutDeviceName): the sound server's name of it, for the card
    // names that WaveOutDeviceName holds cut to 31 bytes may be alike. Empty
    // in files of older versions, which are found by the name.
    std::string Sound_card_id;
    // The text of the main window's video player type ("Misc", "Player_type").
    std::string Player_type;
    // "Fit speech into subtitle time" and its "up to N % faster"
    // ("Misc", "Fit_speech" and "Fit_speech_max_percent"; 100..300).
    bool Fit_speech = false;
    int32_t Fit_speech_max_percent = 150;
    static constexpr int32_t MinFitPercent = 100, MaxFitPercent = 300, DefaultFitPercent = 150;
    // "Lower the film's sound while speaking by N dB" ("Misc", "Duck_film"
    // and "Duck_film_db"; 3..40) and "Pause the film while the voice catches
    // up" ("Misc", "Hold_film_for_voice").
    bool Duck_film = false;
    int32_t Duck_film_db = 12;
    static constexpr int32_t MinDuckDb = 3, MaxDuckDb = 40, DefaultDuckDb = 12;
    bool Hold_film_for_voice = false;

    // The three messages about replaced folders (caption "Bookvane").
    static constexpr const char* MessageCaption = "Bookvane";
    static constexpr const char* TempFolderMessage =
        "Application` 'TEMP' folder was assigned to\rWindows temporary folder.";
    static constexpr const char* TextFolderMessage =
        "Application` 'TEXT' folder was assigned to\rWindows temporary folder.";
    static constexpr const char* DicFolderMessage =
        "Application` 'Dictionaries' folder was assigned to\rapplication folder.";

private:
    // Puts in every default; returns the failure to create a folder, if any.
    std::exception_ptr PutDefaults();
    // Reads every key after PutDefaults, then raises its `folderFailure`.
    void ReadAll(const TIniFile& ini, const std::exception_ptr& folderFailure);
    void ReadGlobal(const TIniFile& ini);
    void WriteGlobal(TIniFile& ini);

    const IKnownFolders& FFolders;
    IMessageBoxes& FMessages;
    bool FFileUnreadable = false;
};

} // namespace parlino
