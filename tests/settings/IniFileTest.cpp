#include "settings/IniFile.h"
#include "fakes/ReadWholeFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace parlino {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) { return test::ReadWholeFile(path); }

TEST(IniFile, ReadsValuesAsTheProfileFunctionsDo) {
    const TIniFile ini("[Engine]\n"
                       "  Engine_Name =  \"Quoted voice\"  \n"
                       "single='x'\n"
                       "inner=a \"b\" c\n"
                       "half=\"open\n"
                       "empty=\n"
                       "Dup=first\n"
                       "dup=second\n"
                       "; commented=1\n"
                       "[engine]\n"
                       "later=never read\n"
                       "[Numbers]\n"
                       "hex=0x10\nHEX=$ff\nbig=0XFFFFFFFF\nneg=-7\nplus=+5\nword=abc\nhexneg=-$10\n"
                       "over=2147483648\nmin=-2147483648\nspace=1 2\nflag=2\nzero=0\n");
    EXPECT_EQ(ini.ReadString("ENGINE", "engine_name", "d"), "Quoted voice");
    EXPECT_EQ(ini.ReadString("Engine", "single", "d"), "x");
    EXPECT_EQ(ini.ReadString("Engine", "inner", "d"), "a \"b\" c");
    EXPECT_EQ(ini.ReadString("Engine", "half", "d"), "\"open");
    EXPECT_EQ(ini.ReadString("Engine", "empty", "d"), "");
    EXPECT_EQ(ini.ReadString("Engine", "dup", "d"), "first");
    EXPECT_EQ(ini.ReadString("Engine", "; commented", "d"), "d");
    EXPECT_EQ(ini.ReadString("Engine", "later", "d"),
              "d"); // a second section of the same name is not read
    EXPECT_EQ(ini.ReadString("Missing", "x", "d"), "d");

    EXPECT_EQ(ini.ReadInteger("Numbers", "hex", 0), 16);
    EXPECT_EQ(ini.ReadInteger("Numbers", "Hex", 0), 16); // the first of hex/HEX
    EXPECT_EQ(ini.ReadInteger("Numbers", "big", 0), -1);
    EXPECT_EQ(ini.ReadInteger("Numbers", "neg", 0), -7);
    EXPECT_EQ(ini.ReadInteger("Numbers", "plus", 0), 5);
    EXPECT_EQ(ini.ReadInteger("Numbers", "word", 42), 42);
    EXPECT_EQ(ini.ReadInteger("Numbers", "hexneg", 0), -16);
    EXPECT_EQ(ini.ReadInteger("Numbers", "over", 42), 42);
    EXPECT_EQ(ini.ReadInteger("Numbers", "min", 0), INT32_MIN);
    EXPECT_EQ(ini.ReadInteger("Numbers", "space", 42), 42);
    EXPECT_EQ(ini.ReadInteger("Numbers", "missing", 42), 42);
    EXPECT_TRUE(ini.ReadBool("Numbers", "flag", false));
    EXPECT_FALSE(ini.ReadBool("Numbers", "zero", true));
    EXPECT_TRUE(ini.ReadBool("Numbers", "word", true));
    EXPECT_FALSE(ini.ReadBool("Numbers", "word", false));
}

TEST(IniFile, AValueIsCutTo2047Characters) {
    const TIniFile ini("[S]\nlong=" + std::string(5000, 'v') + "\n");
    EXPECT_EQ(ini.ReadString("S", "long", "").size(), 2047u);
}

TEST(IniFile, ReadsCrLfAndLfAndWritesCrLf) {
    TIniFile ini("[A]\r\nx=1\r\n[B]\ny=2\nlast=no line end");
    EXPECT_EQ(ini.ReadInteger("A", "x", 0), 1);
    EXPECT_EQ(ini.ReadInteger("B", "y", 0), 2);
    EXPECT_EQ(ini.ReadString("B", "last", ""), "no line end");
    EXPECT_EQ(ini.Text(), "[A]\r\nx=1\r\n[B]\r\ny=2\r\nlast=no line end\r\n");
}

TEST(IniFile, NewKeysGoAfterTheSectionsLastKeyAndNewSectionsToTheEnd) {
    TIniFile ini("; head\n[A]\nx=1\n; about A\n\n[B]\n; only a comment\n");
    ini.WriteString("A", "y", "2");
    ini.WriteString("a", "X", "3"); // an existing key keeps its spelling and place
    ini.WriteString("B", "z", "4");
    ini.WriteString("C", "w", "5");
    ini.WriteString("C", "v", "6");
    EXPECT_EQ(ini.Text(),
              "; head\r\n[A]\r\nx=3\r\ny=2\r\n; about A\r\n\r\n[B]\r\nz=4\r\n; only a comment\r\n"
              "\r\n[C]\r\nw=5\r\nv=6\r\n");
    TIniFile empty;
    empty.WriteInteger("First", "n", -1);
    empty.WriteBool("Second", "b", true);
    EXPECT_EQ(empty.Text(), "[First]\r\nn=-1\r\n\r\n[Second]\r\nb=1\r\n");
}

TEST(IniFile, AValueCannotBreakTheLineStructure) {
    TIniFile ini;
    ini.WriteString("S", "name", std::string("a\r\n[Injected]\nk=v\0z", 20));
    // Names that could not be read back as keys are not written at all.
    for (const char* name : {"", " ", "a=b", ";c", "[d]"})
        ini.WriteString("S", name, "x");
    const TIniFile reread(ini.Text());
    EXPECT_EQ(reread.Keys("S").size(), 1u);
    EXPECT_EQ(reread.Keys("Injected").size(), 0u);
    // The NUL at the end became a blank, which is kept.
    EXPECT_EQ(reread.ReadString("S", "name", ""), "a  [Injected] k=v z ");
}

// Found by fuzzing: a lone CR inside a value was read, but written back as
// a blank, and blanks or quotes around a value were lost on the way back.
TEST(IniFile, AValueReadAndWrittenBackReadsTheSame) {
    const TIniFile ini =
        TIniFile::Load(std::string(PARLINO_TEST_DATA) + "/settings/values_round_trip.ini");
    // What a value cannot hold when written reads as a blank already.
    EXPECT_EQ(ini.ReadString("Appearance", "Window_color", ""), "-16777211 [File]");
    EXPECT_EQ(ini.ReadInteger("Appearance", "Window_font_size", 0), 12); // ended by CR CR LF
    EXPECT_EQ(ini.ReadString("Locations", "Player", ""), "mpv  --fs");
    EXPECT_EQ(ini.ReadString("Locations", "Skin", ""), " padded skin ");
    EXPECT_EQ(ini.ReadString("Appearance", "LangFile", ""), "\"quoted\"");

    TIniFile written = TIniFile::Load(std::string(PARLINO_TEST_DATA) + "/settings/values_round_trip.ini");
    for (const char* section : {"Appearance", "Locations"})
        for (const std::string& key : ini.Keys(section))
            written.WriteString(section, key, *ini.Find(section, key));
    const TIniFile reread(written.Text());
    for (const char* section : {"Appearance", "Locations"})
        for (const std::string& key : ini.Keys(section))
            EXPECT_EQ(reread.Find(section, key), ini.Find(section, key)) << key;
    EXPECT_NE(written.Text().find("Skin=\" padded skin \"\r\n"), std::string::npos);

    // Plain values are written as they are.
    TIniFile plain;
    plain.WriteString("S", "k", "a \"b\" c");
    plain.WriteString("S", "one", "\"");
    EXPECT_EQ(plain.Text(), "[S]\r\nk=a \"b\" c\r\none=\"\r\n");
}

TEST(IniFile, ListsReadOnlyTheirCountAndSkipEmptyTexts) {
    TIniFile ini("[FilesList]\nCount=3\n0=a\n1=\n2=c\n3=beyond\n02=not a list "
                 "key\n[Huge]\nCount=2000000000\n7=x\n");
    EXPECT_EQ(ini.ReadList("FilesList", "Count"), (TStringList{"a", "c"}));
    EXPECT_EQ(ini.ReadList("Huge", "Count"), (TStringList{"x"}));
    EXPECT_EQ(ini.ReadList("Missing", "Count"), TStringList{});
    ini.WriteList("FilesList", "Count", {"a", "c"});
    // Count=2, keys 0 and 1; the old key 2 stays in the file.
    EXPECT_EQ(ini.Text(),
              "[FilesList]\r\nCount=2\r\n0=a\r\n1=c\r\n2=c\r\n3=beyond\r\n02=not a list key\r\n"
              "[Huge]\r\nCount=2000000000\r\n7=x\r\n");
}

TEST(IniFile, AHandWrittenFileKeepsEveryLineItDoesNotKnowInPlace) {
    TIniFile ini = TIniFile::Load(std::string(PARLINO_TEST_DATA) + "/settings/hand_edited.ini");
    EXPECT_EQ(ini.ReadString("Engine", "Engine_name", ""), "English (Great Britain)");
    ini.WriteString("Engine", "Engine_name", "Other voice");
    ini.WriteInteger("Engine", "Engine_pitch", -20);
    ini.WriteString("Dictionaries", "compiled_dic", "");
    ini.WriteInteger("Locations", "n", 1);
    EXPECT_EQ(
        ini.Text(),
        "; Parlino settings, edited by hand\r\n# a second kind of comment\r\n\r\n"
        "[Engine]\r\n; my favourite voice\r\nEngine_name=Other voice\r\nengine_speed=-3\r\n"
        "My_own_key=keep me\r\nEngine_pitch=-20\r\n\r\n"
        "[Unknown section]\r\nwhatever=1\r\n; a comment in an unknown section\r\n\r\n"
        "[Audio file]\r\nWaveOutDeviceName=TestB\r\n   ; an indented comment\r\n"
        "[Dictionaries]\r\nDic_count=2\r\n0=\r\n1=English.dic\r\ndefault_dic_name=English.dic\r\n"
        "compiled_dic=\r\n; the last line of Dictionaries\r\n\r\n"
        "[Misc]\r\nf1=1\r\n\r\n[Locations]\r\nn=1\r\n");
}

TEST(IniFile, BinaryAndTruncatedInputReadWithoutHarmAndIsKept) {
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary.push_back(static_cast<char>((i * 7919) & 0xFF));
    const std::string text = binary + "\n[Engine]\nEngine_speed=-4\nEngine_na";
    TIniFile ini(text);
    EXPECT_EQ(ini.ReadInteger("Engine", "Engine_speed", 0), -4);
    EXPECT_EQ(ini.ReadString("Engine", "Engine_na", "d"), "d");
    ini.WriteString("Engine", "Engine_name", "v");
    const std::string written = ini.Text();
    // Everything read is written back; only line ends become CR LF.
    const TIniFile reread(written);
    EXPECT_EQ(reread.ReadString("Engine", "Engine_name", ""), "v");
    EXPECT_NE(written.find("Engine_speed=-4\r\nEngine_name=v\r\nEngine_na\r\n"), std::string::npos);
    std::string withoutCr = written;
    std::erase(withoutCr, '\r');
    std::string expected = text;
    std::erase(expected, '\r');
    expected.insert(expected.find("Engine_na"), "Engine_name=v\n");
    EXPECT_EQ(withoutCr, expected + "\n");
}

TEST(IniFile, AMissingFileIsEmptyAndAnUnreadableOneFails) {
    const fs::path dir = fs::temp_directory_path() / ("parlino-ini-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    EXPECT_EQ(TIniFile::Load((dir / "missing.ini").string()).Text(), "");
    EXPECT_EQ(TIniFile::Load((dir / "no/such/folder.ini").string()).Text(), "");
    EXPECT_THROW(TIniFile::Load(dir.string()), EIniReadError);
    fs::remove_all(dir);
}

TEST(IniFile, AFileOf50MegabytesIsReadAndWrittenInOnePass) {
    // 50 MB of other people's keys around the few this program reads.
    std::string text = "[Engine]\nEngine_name=v\n[Bulk]\n";
    const std::string line = "some_key_of_another_program=" + std::string(60, 'x') + "\n";
    while (text.size() < 50u << 20)
        text += line;
    text += "[Misc]\nf1=1\n";
    const fs::path file =
        fs::temp_directory_path() / ("parlino-big-" + std::to_string(::getpid()) + ".ini");
    std::ofstream(file, std::ios::binary) << text;
    TIniFile ini = TIniFile::Load(file.string());
    EXPECT_EQ(ini.ReadString("Engine", "Engine_name", ""), "v");
    EXPECT_TRUE(ini.ReadBool("Misc", "f1", false));
    for (int i = 0; i < 100; ++i)
        ini.WriteInteger("Misc", "k" + std::to_string(i), i);
    ini.Save(file.string());
    const std::string saved = ReadAll(file);
    // Each line gains a CR; the new lines "k0=0" .. "k99=99" add 10 * 6 + 90 * 8 bytes.
    EXPECT_EQ(saved.size(),
              text.size() + static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 780);
    EXPECT_EQ(TIniFile::Load(file.string()).ReadInteger("Misc", "k99", 0), 99);
    fs::remove(file);
}

TEST(IniFile, AMillionTinySectionsOrKeysAreReadWithoutSlowingDown) {
    // The shapes that cost most per byte: a million sections, and one
    // section of a million keys that the program reads and writes. A cost
    // that grew with the square of the count would never finish here.
    std::string sections, keys = "[Engine]\n";
    for (int i = 0; sections.size() < 10u << 20; ++i)
        sections += "[s" + std::to_string(i) + "]\n";
    sections += "[Engine]\nEngine_name=v\n";
    for (int i = 0; keys.size() < 10u << 20; ++i)
        keys += "k" + std::to_string(i) + "=v\n";
    for (const std::string* text : {&sections, &keys}) {
        TIniFile ini(*text);
        ini.WriteString("Engine", "Engine_speed", "-3");
        const TIniFile reread(ini.Text());
        EXPECT_EQ(reread.ReadInteger("Engine", "Engine_speed", 0), -3);
    }
    EXPECT_EQ(TIniFile(sections).ReadString("engine", "engine_name", ""), "v");
    EXPECT_EQ(TIniFile(keys).ReadString("Engine", "k1000000", ""), "v");
}

} // namespace
} // namespace parlino
