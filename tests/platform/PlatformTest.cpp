#include "fakes/TFakePlatform.h"
#include "platform/linux/TIconvCodec.h"
#include "platform/linux/TLinuxLocaleInfo.h"
#include "platform/linux/TMonotonicTickCounter.h"
#include "platform/linux/TXdgFolders.h"
#include "platform/linux/TXdgShell.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

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

TEST(TickCounter, IsMonotonicAndTheFakeWrapsAt32Bits) {
    TMonotonicTickCounter real;
    uint32_t a = real.GetTickCount();
    uint32_t b = real.GetTickCount();
    EXPECT_LE(static_cast<uint32_t>(b - a), 1000u);
    test::TFakeTickCounter fake;
    fake.Now = 0xFFFFFF00u;
    const uint32_t start = fake.GetTickCount();
    fake.Advance(0x200);
    EXPECT_EQ(fake.GetTickCount(), 0x100u);
    EXPECT_EQ(static_cast<uint32_t>(fake.GetTickCount() - start), 0x200u); // elapsed survives the wrap
}

TEST(XdgFolders, UseXdgVariablesOrTheHomeFallbacks) {
    TEnv home("HOME", "/home/someone/"), cfg("XDG_CONFIG_HOME", nullptr), data("XDG_DATA_HOME", "relative/ignored"),
        tmp("TMPDIR", nullptr);
    TXdgFolders folders;
    EXPECT_EQ(folders.LocalAppData(), "/home/someone/.config");
    EXPECT_EQ(folders.AppData(), "/home/someone/.local/share");
    EXPECT_EQ(folders.CommonAppData(), "");
    EXPECT_EQ(folders.TempPath(), "/tmp");
    TEnv cfg2("XDG_CONFIG_HOME", "/xdg/config/"), tmp2("TMPDIR", "/var/tmp");
    EXPECT_EQ(folders.LocalAppData(), "/xdg/config");
    EXPECT_EQ(folders.TempPath(), "/var/tmp");
    EXPECT_FALSE(folders.ProgramFolder().empty());
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
