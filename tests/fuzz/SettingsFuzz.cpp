// The settings file: the ini reader on any text, and the program's settings
// loaded from it, saved and loaded again, which must give the same values.

#include "FuzzSupport.h"
#include "settings/TGlobalSettings.h"

#include <filesystem>
#include <set>

using namespace parlino;

namespace {

// Existing folders of a fixed scratch folder, so that the stored folders
// the settings check are found.
class TScratchFolders final : public IKnownFolders {
public:
    TScratchFolders() : FRoot(std::filesystem::temp_directory_path() / "parlino-fuzz-settings") {
        std::filesystem::create_directories(FRoot / "data");
        std::filesystem::create_directories(FRoot / "program");
    }
    std::string LocalAppData() const override { return (FRoot / "config").string(); }
    std::string AppData() const override { return (FRoot / "data").string(); }
    std::string CommonAppData() const override { return {}; }
    std::string TempPath() const override { return FRoot.string(); }
    std::string ProgramFolder() const override { return (FRoot / "program").string(); }
    std::string RuntimeFolder() const override { return FRoot.string(); }

private:
    std::filesystem::path FRoot;
};

class TNoMessages final : public IMessageBoxes {
public:
    void ShowInformation(const std::string&, const std::string&) override {}
};

// Every value the settings keep, as they write them into an empty file,
// plus the texts as held (writing turns line breaks into blanks).
std::string Values(TGlobalSettings& settings) {
    TIniFile ini;
    settings.SaveToIni(ini);
    std::string values = ini.Text();
    for (const std::string* text :
         {&settings.Doc_name, &settings.Engine_name, &settings.Engine_name_displayed,
          &settings.WindowFont.Name, &settings.Wav_filename, &settings.WaveOutDeviceName,
          &settings.Wav_MultiFile_FileName, &settings.default_dic_name, &settings.compiled_dic,
          &settings.Temp_folder, &settings.Dic_folder, &settings.Text_folder, &settings.ActiveFile,
          &settings.Player, &settings.Skin, &settings.LangFile, &settings.Player_type})
        values += *text + '\n';
    for (const TStringList* list : {&settings.Dictionaries, &settings.FilesList, &settings.RecentFiles})
        for (const std::string& text : *list)
            values += text + '\n';
    return values;
}

// Every key of every section, read and written back as it was read, reads
// the same again.
void CheckKeysWriteBack(const std::string& text) {
    const TIniFile ini(text);
    std::set<std::string> sections;
    fuzz::ForEachLine(text, [&](std::string_view line) {
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const size_t open = line.find('[');
        if (open != std::string_view::npos && line.find_first_not_of(" \t") == open)
            sections.emplace(line.substr(open + 1, line.find(']') - open - 1));
    });
    struct TRead {
        std::string Section, Key, Value;
    };
    std::vector<TRead> read;
    TIniFile written(text);
    for (const std::string& section : sections) {
        for (const std::string& key : ini.Keys(section)) {
            const std::optional<std::string> value = ini.Find(section, key);
            FUZZ_CHECK(value.has_value());
            written.WriteString(section, key, *value);
            read.push_back({section, key, *value});
        }
    }
    const TIniFile reread(written.Text());
    for (const TRead& r : read)
        FUZZ_CHECK(reread.Find(r.Section, r.Key) == r.Value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TScratchFolders folders;
    static TNoMessages messages;
    const std::string text(fuzz::AsText(data, size));

    CheckKeysWriteBack(text);

    TGlobalSettings loaded(folders, messages);
    loaded.LoadFromIni(TIniFile(text));
    TIniFile saved(text);
    loaded.SaveToIni(saved);
    TGlobalSettings reloaded(folders, messages);
    reloaded.LoadFromIni(TIniFile(saved.Text()));
    FUZZ_CHECK(Values(loaded) == Values(reloaded));
    return 0;
}
