// The settings folders' older-Windows branch: before Windows 6.0 there is no
// folder shared by all users, so the dictionaries are looked for beside the
// program. with-windows-version.sh runs this under Wine's "winxp" version
// (GetVersionExA then says 5.1) and names the major version it expects in
// PARLINO_WINDOWS_MAJOR; the plain run has Wine's default, 6.1.

#include "fakes/TFakePlatform.h"
#include "platform/win/TWinFolders.h"
#include "settings/TGlobalSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <windows.h>

namespace parlino {
namespace {

TEST(WindowsVersions, TheSharedFolderAndTheDictionariesFollowTheSystemsVersion) {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(&version));
    if (const char* expected = std::getenv("PARLINO_WINDOWS_MAJOR")) {
        EXPECT_EQ(version.dwMajorVersion, static_cast<DWORD>(std::atoi(expected)));
    }
    const TWinFolders folders;
    test::TFakeMessageBoxes messages;
    TGlobalSettings settings(folders, messages);
    settings.SetDefaults(); // creates the shared folders it uses
    if (version.dwMajorVersion < 6) {
        EXPECT_EQ(folders.CommonAppData(), "");
        EXPECT_EQ(settings.Dic_folder.rfind(folders.ProgramFolder(), 0), 0u) << settings.Dic_folder;
    } else {
        ASSERT_NE(folders.CommonAppData(), "");
        EXPECT_EQ(settings.Dic_folder.rfind(folders.CommonAppData(), 0), 0u) << settings.Dic_folder;
        const DWORD shared = GetFileAttributesA((folders.CommonAppData() + "\\Zavirex").c_str());
        EXPECT_TRUE(shared != INVALID_FILE_ATTRIBUTES && (shared & FILE_ATTRIBUTE_DIRECTORY));
    }
    EXPECT_NE(settings.Dic_folder.find("Dic"), std::string::npos);
}

} // namespace
} // namespace parlino
