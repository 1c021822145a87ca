// The simple Windows services on the system itself: the charset table
// against the system's own, the folders, the clock and the wave-out devices.

#include "platform/win/TWinFolders.h"
#include "platform/win/TWinLocaleInfo.h"
#include "platform/win/TWinTickCounter.h"
#include "platform/win/TWinWaveOut.h"
#include "text/Charsets.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <windows.h>

namespace parlino {
namespace {

TEST(WindowsServices, TheCharsetTableAgreesWithTheSystemsButForItsFourChoices) {
    // Ours differs on purpose: the symbol charset has no text code page, and
    // MAC is given its Roman code page, where the system knows none.
    struct TDifference {
        uint8_t Charset;
        UINT SystemCodePage; // 0: the system knows none
    };
    const TDifference differences[] = {{1, 0}, {2, 42}, {77, 0}, {255, 0}};
    for (const TCharsetName& c : CharsetNames) {
        CHARSETINFO info{};
        const bool known = TranslateCharsetInfo(reinterpret_cast<DWORD*>(uintptr_t{c.Number}), &info,
                                                TCI_SRCCHARSET);
        const UINT system = known ? info.ciACP : 0;
        UINT expected = CharsetToCodePage(c.Number);
        for (const TDifference& d : differences)
            if (d.Charset == c.Number)
                expected = d.SystemCodePage;
        EXPECT_EQ(system, expected) << c.Identifier;
    }
}

TEST(WindowsServices, FoldersHaveNoTrailingBackslashAndExist) {
    const TWinFolders folders;
    for (const std::string& folder : {folders.LocalAppData(), folders.AppData(),
                                      folders.CommonAppData(), folders.TempPath(),
                                      folders.ProgramFolder()}) {
        ASSERT_GT(folder.size(), 3u);
        EXPECT_NE(folder.back(), '\\') << folder;
        const DWORD attributes = GetFileAttributesA(folder.c_str());
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES &&
                    (attributes & FILE_ATTRIBUTE_DIRECTORY))
            << folder;
    }
    EXPECT_EQ(folders.RuntimeFolder(), folders.TempPath());
}

TEST(WindowsServices, TheClockAndTheTimeSeparator) {
    const TWinTickCounter ticks;
    const uint32_t before = ticks.GetTickCount();
    Sleep(100);
    const uint32_t elapsed = ticks.GetTickCount() - before;
    EXPECT_GE(elapsed, 80u);
    EXPECT_LT(elapsed, 5000u);
    EXPECT_EQ(TWinLocaleInfo().TimeSeparator(), ':'); // the English locale of the test prefix
}

// The devices are those of the sound server Wine reaches: none without one;
// with-private-pulse.sh names the devices of its private server in
// PARLINO_TEST_SINKS.
TEST(WindowsServices, WaveOutDevicesAreTheSoundServersOutputs) {
    TWinWaveOut waveOut;
    const char* sinks = std::getenv("PARLINO_TEST_SINKS");
    std::vector<std::string> expected;
    for (std::string rest = sinks ? sinks : ""; !rest.empty();) {
        const size_t comma = rest.find(',');
        expected.push_back(rest.substr(0, comma));
        rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
    }
    ASSERT_EQ(waveOut.WaveOutGetNumDevs(), expected.size());
    TWaveOutCapsA caps{};
    for (uint32_t k = 0; k < expected.size(); ++k) {
        ASSERT_EQ(waveOut.WaveOutGetDevCapsA(k, &caps, sizeof caps), MMSYSERR_NOERROR);
        EXPECT_NE(std::string(caps.ProductName, strnlen(caps.ProductName, 32)).find(expected[k]),
                  std::string::npos)
            << caps.ProductName;
    }
    // No such device; without any sound driver the system says that instead.
    const MMRESULT beyond =
        waveOut.WaveOutGetDevCapsA(static_cast<uint32_t>(expected.size()), &caps, sizeof caps);
    EXPECT_TRUE(beyond == MMSYSERR_BADDEVICEID || beyond == MMSYSERR_NODRIVER) << beyond;
    EXPECT_EQ(waveOut.WaveOutGetDevCapsA(0, nullptr, sizeof caps), MMSYSERR_INVALPARAM);
}

} // namespace
} // namespace parlino
