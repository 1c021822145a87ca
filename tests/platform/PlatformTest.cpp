#include "fakes/TFakePlatform.h"
#include "platform/Exceptions.h"
#include "platform/linux/TIconvCodec.h"
#include "platform/linux/TLinuxLocaleInfo.h"
#include "platform/linux/TMonotonicTickCounter.h"
#include "platform/linux/TXdgFolders.h"
#include "platform/linux/TXdgShell.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

using namespace parlino;
using ::testing::ElementsAre;

namespace {

// Sets an environment variable for one scope.
class TEnv {
public:
    TEnv(const char* name, const char* value) : FName(name) {
        if (const char* old = std::getenv(name)) FOld = old, FHad = true;
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~TEnv() {
        if (FHad) setenv(FName, FOld.c_str(), 1);
        else unsetenv(FName);
    }

private:
    const char* FName;
    std::string FOld;
    bool FHad = false;
};

} // namespace

TEST(CodePageForLocale, FollowsTheLanguageOfTheLocaleName) {
    EXPECT_EQ(TIconvCodec::CodePageForLocale("ru_RU.UTF-8"), 1251u);
    EXPECT_EQ(TIconvCodec::CodePageForLocale("pl_PL"), 1250u);
    EXPECT_EQ(TIconvCodec::CodePageForLocale("cs_CZ.UTF-8@euro"), 1250u);
    EXPECT_EQ(TIconvCodec::CodePageForLocale("el_GR.UTF-8"), 1253u);
    EXPECT_EQ(TIconvCodec::CodePageForLocale("tr_TR"), 1254u);
    EXPECT_EQ(TIconvCodec::CodePageForLocale("he_IL"), 1255u);
    EXPECT_EQ(TIconvCodec::CodePageForLocale("ar_EG"), 1256u);
    EXPECT_EQ(TIconvCodec::CodePageForLocale("lv_LV"), 1257u);
    EXPECT_EQ(TIconvCodec::CodePageForLocale("vi_VN"), 1258u);
    EXPECT_EQ(TIconvCodec::CodePageForLocale("th_TH"), 874u);
    EXPECT_EQ(TIconvCodec::CodePageForLocale("ja_JP.UTF-8"), 932u);
    EXPECT_EQ(TIconvCodec::CodePageForLocale("zh_CN.UTF-8"), 936u);
    EXPECT_EQ(TIconvCodec::CodePageForLocale("zh_TW.UTF-8"), 950u);
    EXPECT_EQ(TIconvCodec::CodePageForLocale("ko_KR"), 949u);
    EXPECT_EQ(TIconvCodec::CodePageForLocale("de_DE.UTF-8"), 1252u);
    EXPECT_EQ(TIconvCodec::CodePageForLocale("C"), 1252u);
    EXPECT_EQ(TIconvCodec::CodePageForLocale(""), 1252u);
}

TEST(CodePageForLocale, FirstSetVariableWinsEvenWhenTheLocaleIsNotInstalled) {
    TEnv all("LC_ALL", nullptr), ctype("LC_CTYPE", "el_GR.UTF-8"), lang("LANG", "ru_RU.UTF-8");
    EXPECT_EQ(TIconvCodec().SystemCodePage(), 1253u);
    TEnv all2("LC_ALL", "tr_TR.UTF-8");
    EXPECT_EQ(TIconvCodec().SystemCodePage(), 1254u);
}

TEST(IconvCodec, RoundTripsAndReplacesWhatACodePageLacks) {
    const TIconvCodec codec(1251);
    const std::string privet = "\xCF\xF0\xE8\xE2\xE5\xF2";
    EXPECT_EQ(codec.ToWide(privet), WideString(u"\u041F\u0440\u0438\u0432\u0435\u0442"));
    EXPECT_EQ(codec.ToAnsi(codec.ToWide(privet)), privet);
    EXPECT_EQ(codec.ToAnsi(u"a\u00E9b"), "a?b");
    EXPECT_EQ(codec.ToAnsi(u"x\U0001F600y"), "x?y"); // one mark for the whole pair
    EXPECT_EQ(codec.ToWide("\x98"), WideString(u"\uFFFD")); // undefined in 1251
    // Another code page than the system's, and an unknown one (system's).
    EXPECT_EQ(codec.ToWide("\xE9", 1252), WideString(u"\u00E9"));
    EXPECT_EQ(codec.ToWide("\xE9", 4242), WideString(u"\u0439"));
    EXPECT_EQ(codec.ToWide("\x82\xA0", 932), WideString(u"\u3042")); // a double-byte character
}

TEST(IconvCodec, UpperCaseFollowsTheSystemCodePage) {
    EXPECT_EQ(TIconvCodec(1251).AnsiUpperCase("abc \xEF\xF0\xE8\xE2\xE5\xF2"), "ABC \xCF\xD0\xC8\xC2\xC5\xD2");
    EXPECT_EQ(TIconvCodec(1252).AnsiUpperCase("caf\xE9 \xFF"), "CAF\xC9 \x9F");
    EXPECT_EQ(TIconvCodec(1252).AnsiUpperCase("stra\xDF" "e"), "STRA\xDF" "E"); // no capital in one byte
    EXPECT_EQ(TIconvCodec(1251).AnsiUpperCase("\x98x"), "\x98X"); // undefined bytes stay
}

TEST(IconvCodec, DoubleByteCodePagesNameTheirLeadBytes) {
    auto count = [](const TLeadBytes& lead) { return std::count(lead.begin(), lead.end(), true); };
    EXPECT_EQ(count(TIconvCodec(1252).LeadBytes()), 0);
    EXPECT_EQ(count(TIconvCodec(1251).LeadBytes()), 0);
    const TLeadBytes sjis = TIconvCodec(932).LeadBytes();
    EXPECT_EQ(count(sjis), 0x9F - 0x81 + 1 + 0xFC - 0xE0 + 1);
    EXPECT_TRUE(sjis[0x81] && sjis[0x9F] && sjis[0xE0] && sjis[0xFC]);
    EXPECT_FALSE(sjis[0x80] || sjis[0xA0] || sjis[0xB1] || sjis[0xDF] || sjis[0xFD]); // one-byte kana among them
    for (uint32_t codePage : {936u, 949u, 950u}) {
        const TLeadBytes lead = TIconvCodec(codePage).LeadBytes();
        EXPECT_EQ(count(lead), 0xFE - 0x81 + 1) << codePage;
        EXPECT_TRUE(lead[0x81] && lead[0xA0] && lead[0xFE]) << codePage;
        EXPECT_FALSE(lead[0x80] || lead[0xFF]) << codePage;
    }
    EXPECT_EQ(TIconvCodec(1252).LeadBytes(932), sjis); // another code page than the system's
    // A lead byte takes the next byte along only when that can be a trail byte.
    EXPECT_EQ(AnsiCharLength(sjis, "\x82\xA0", 0), 2u); // "あ"
    EXPECT_EQ(AnsiCharLength(sjis, "\x83|", 0), 2u);     // "ポ"
    EXPECT_EQ(AnsiCharLength(sjis, "\x83@", 0), 2u);     // "ァ"
    EXPECT_EQ(AnsiCharLength(sjis, "\x83\r\n", 0), 1u);
    EXPECT_EQ(AnsiCharLength(sjis, "\x83", 0), 1u);
    EXPECT_EQ(AnsiCharLength(sjis, "\xA0x", 0), 1u);
    EXPECT_EQ(TIconvCodec(932).ToWide("\x83|\x83@"), WideString(u"\u30DD\u30A1"));
}

TEST(IconvCodec, UpperCaseGoesCharacterByCharacterInDoubleByteCodePages) {
    // GBK has "é" (A8 A6) but no "É": that letter keeps its bytes, and the
    // rest of the text is upper-cased all the same ("α" A6 C1 to "Α" A6 A1).
    EXPECT_EQ(TIconvCodec(936).AnsiUpperCase("dr. caf\xA8\xA6 \xA6\xC1"), "DR. CAF\xA8\xA6 \xA6\xA1");
    // Full-width, Greek and Cyrillic letters of two bytes; a trail byte that
    // looks like a small ASCII letter stays ("ヂ" 83 61 is not "ア" 83 41),
    // and so does a broken lead byte at the end.
    EXPECT_EQ(TIconvCodec(932).AnsiUpperCase("\x82\x81 \x83\xBF \x84\x74 \x83\x61 a \x83"),
              "\x82\x60 \x83\x9F \x84\x44 \x83\x61 A \x83");
    // "갵" (81 61) is not "갂" (81 41); "α" (A5 E1) becomes "Α" (A5 C1).
    EXPECT_EQ(TIconvCodec(949).AnsiUpperCase("\x81\x61 \xA5\xE1 b"), "\x81\x61 \xA5\xC1 B");
    // "α" (A3 5C, a trail byte "\\") becomes "Α" (A3 44).
    EXPECT_EQ(TIconvCodec(950).AnsiUpperCase("\xA3\x5C x"), "\xA3\x44 X");
}

TEST(LocaleInfo, SeparatorOfTimeFormats) {
    EXPECT_EQ(TLinuxLocaleInfo::SeparatorOfFormat("%H:%M:%S"), ':');
    EXPECT_EQ(TLinuxLocaleInfo::SeparatorOfFormat("%H.%M.%S"), '.');
    EXPECT_EQ(TLinuxLocaleInfo::SeparatorOfFormat("%T"), ':');
    EXPECT_EQ(TLinuxLocaleInfo::SeparatorOfFormat("%OH:%OM"), ':');
    EXPECT_EQ(TLinuxLocaleInfo::SeparatorOfFormat(""), ':');
    EXPECT_EQ(TLinuxLocaleInfo::SeparatorOfFormat(nullptr), ':');
    TEnv all("LC_ALL", "C");
    EXPECT_EQ(TLinuxLocaleInfo().TimeSeparator(), ':');
}

namespace {

// The clock a test sets for the real counter.
timespec TestClockNow{};
timespec TestClock() { return TestClockNow; }

} // namespace

TEST(TickCounter, RealCounterIsMonotonicMillisecondsThatWrapAt32Bits) {
    TMonotonicTickCounter real;
    uint32_t a = real.GetTickCount();
    uint32_t b = real.GetTickCount();
    EXPECT_LE(static_cast<uint32_t>(b - a), 1000u);
    // 2^32 ms is 4294967 s and 296 ms: one millisecond before it the counter
    // is at its top, then it starts again from 0, and the time between two
    // readings survives the wrap.
    const TMonotonicTickCounter clocked(&TestClock);
    TestClockNow = {4294967, 295999999};
    const uint32_t before = clocked.GetTickCount();
    EXPECT_EQ(before, 0xFFFFFFFFu);
    TestClockNow = {4294967, 296000000};
    EXPECT_EQ(clocked.GetTickCount(), 0u);
    TestClockNow = {4294968, 5000000};
    EXPECT_EQ(clocked.GetTickCount(), 709u);
    EXPECT_EQ(static_cast<uint32_t>(clocked.GetTickCount() - before), 710u);
    // After many wraps (a machine up for a year): the low 32 bits.
    TestClockNow = {31536000, 123456789};
    EXPECT_EQ(clocked.GetTickCount(), static_cast<uint32_t>(31536000123ull));
}

TEST(XdgFolders, UseXdgVariablesOrTheHomeFallbacksAndMakeThemOnANewAccount) {
    // A new account: its home folder holds neither .config nor .local.
    const std::string someone = ::testing::TempDir() + "parlino-home-" + std::to_string(::getpid());
    std::filesystem::remove_all(someone);
    std::filesystem::create_directories(someone);
    TEnv home("HOME", (someone + "/").c_str()), cfg("XDG_CONFIG_HOME", nullptr),
        data("XDG_DATA_HOME", "relative/ignored"), tmp("TMPDIR", nullptr);
    TXdgFolders folders;
    EXPECT_EQ(folders.LocalAppData(), someone + "/.config");
    EXPECT_EQ(folders.AppData(), someone + "/.local/share");
    for (const char* made : {"/.config", "/.local", "/.local/share"}) {
        SCOPED_TRACE(made);
        EXPECT_TRUE(std::filesystem::is_directory(someone + made));
        EXPECT_EQ(std::filesystem::status(someone + made).permissions(), std::filesystem::perms::owner_all);
    }
    EXPECT_EQ(folders.CommonAppData(), "");
    EXPECT_EQ(folders.TempPath(), "/tmp");
    const std::string xdg = someone + "/xdg/config";
    TEnv cfg2("XDG_CONFIG_HOME", (xdg + "/").c_str()), tmp2("TMPDIR", "/var/tmp");
    EXPECT_EQ(folders.LocalAppData(), xdg);
    EXPECT_EQ(folders.TempPath(), "/var/tmp");
    EXPECT_FALSE(folders.ProgramFolder().empty());
    std::filesystem::remove_all(someone);
}

TEST(XdgFolders, TheRuntimeFolderIsOneOnlyThisUserCanEnter) {
    namespace fs = std::filesystem;
    const std::string shared = ::testing::TempDir() + "parlino-shared-tmp-" + std::to_string(::getpid());
    fs::remove_all(shared);
    fs::create_directories(shared);
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit); // like /tmp
    TEnv runtime("XDG_RUNTIME_DIR", nullptr), tmp("TMPDIR", shared.c_str());
    TXdgFolders folders;
    // Without XDG_RUNTIME_DIR: a folder of this user in the temporary folder,
    // made private, not the shared folder itself.
    const std::string own = shared + "/parlino-" + std::to_string(::geteuid());
    EXPECT_EQ(folders.RuntimeFolder(), own);
    EXPECT_EQ(fs::symlink_status(own).permissions(), fs::perms::owner_all);
    EXPECT_EQ(folders.RuntimeFolder(), own); // found again as it is
    // Opened to others (by whoever): refused, and left alone.
    fs::permissions(own, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    try {
        folders.RuntimeFolder();
        ADD_FAILURE() << "a folder others may enter was used";
    } catch (const EParlinoError& e) {
        EXPECT_NE(std::string(e.what()).find(own), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("0755"), std::string::npos) << e.what();
    }
    EXPECT_EQ(fs::symlink_status(own).permissions() & fs::perms::others_read, fs::perms::others_read);
    // Made by someone else before us (here as a link to a private folder of ours).
    fs::remove_all(own);
    const std::string elsewhere = shared + "/elsewhere";
    fs::create_directory(elsewhere);
    fs::permissions(elsewhere, fs::perms::owner_all);
    fs::create_directory_symlink(elsewhere, own);
    EXPECT_THROW(folders.RuntimeFolder(), EParlinoError);
    fs::remove(own);
    if (::geteuid() == 0) { // only root can give a folder away
        fs::create_directory(own);
        fs::permissions(own, fs::perms::owner_all);
        ASSERT_EQ(::chown(own.c_str(), 65534, 65534), 0);
        try {
            folders.RuntimeFolder();
            ADD_FAILURE() << "another user's folder was used";
        } catch (const EParlinoError& e) {
            EXPECT_NE(std::string(e.what()).find("another user"), std::string::npos) << e.what();
        }
    }
    // XDG_RUNTIME_DIR is taken as it is when it is private, refused when not.
    TEnv runtime2("XDG_RUNTIME_DIR", (elsewhere + "/").c_str());
    EXPECT_EQ(folders.RuntimeFolder(), elsewhere);
    TEnv runtime3("XDG_RUNTIME_DIR", shared.c_str());
    EXPECT_THROW(folders.RuntimeFolder(), EParlinoError);
    fs::remove_all(shared);
}

TEST(XdgShell, OpensEverythingWithTheDesktopHandlerAndNeverRunsASplitPath) {
    EXPECT_THAT(TXdgShell::CommandFor("https://example.org/a b", ""), ElementsAre("xdg-open", "https://example.org/a b"));
    EXPECT_THAT(TXdgShell::CommandFor("Mailto: me@example.org", ""), ElementsAre("xdg-open", "mailto:me@example.org"));
    // A program folder with a blank, split by the link's text at the blank:
    // opened as the one file it names, never run as "/home/u/My".
    EXPECT_THAT(TXdgShell::CommandFor("/home/u/My", "Apps/parlino/README.md"),
                ElementsAre("xdg-open", "file:///home/u/My%20Apps/parlino/README.md"));
    EXPECT_THAT(TXdgShell::CommandFor("notepad", "one two"), ElementsAre("xdg-open", "notepad one two"));
    EXPECT_EQ(TXdgShell::FileUrl("/a b/\xc3\xa9#%?.md"), "file:///a%20b/%C3%A9%23%25%3F.md");
}
