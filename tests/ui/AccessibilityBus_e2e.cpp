// The real program on a virtual X display, read through the desktop's
// accessibility bus as a screen reader reads it: the sliders carry their
// values from the start, and an information box's message is its text.

#include "fakes/ReadWholeFile.h"
#include "fakes/TPrivatePulseServer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <thread>

using namespace parlino::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(AccessibilityBus, ScreenReadersReadTheSlidersValuesAndTheInformationBoxesMessages) {
    const fs::path program = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "parlino";
    ASSERT_TRUE(fs::exists(program)) << program;
    std::unique_ptr<TPrivatePulseServer> server;
    ASSERT_NO_THROW(server = std::make_unique<TPrivatePulseServer>());
    const fs::path dir = server->RuntimeDir();
    for (const char* sub : {"config", "data", "run"}) fs::create_directories(dir / sub);
    fs::permissions(dir / "run", fs::perms::owner_all);

    std::vector<std::string> environment = TPrivatePulseServer::Environment();
    const std::string bus = "unix:path=" + (dir / "bus").string();
    const pid_t dbus = SpawnChild({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + bus},
                                  environment, (dir / "dbus.log").string());
    const pid_t xvfb = SpawnChild({"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                                  environment, (dir / "xvfb.log").string());
    std::string display;
    for (int i = 0; i < 100 && display.empty(); ++i) {
        display = ReadWholeFile(dir / "xvfb.log");
        display = display.substr(0, display.find('\n'));
        if (display.empty()) std::this_thread::sleep_for(50ms);
    }
    ASSERT_FALSE(display.empty()) << "Xvfb did not start";
    for (const std::string& set :
         {"DBUS_SESSION_BUS_ADDRESS=" + bus, "DISPLAY=:" + display, std::string("QT_QPA_PLATFORM=xcb"),
          std::string("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"), "XDG_CONFIG_HOME=" + (dir / "config").string(),
          "XDG_DATA_HOME=" + (dir / "data").string(), "XDG_RUNTIME_DIR=" + (dir / "run").string()})
        TPrivatePulseServer::SetVariable(environment, set); // the suite itself runs offscreen
    const pid_t parlino = SpawnChild({program.string()}, environment, (dir / "parlino.log").string());
    const fs::path probe = fs::path(PARLINO_TEST_DATA) / "accessibility" / "atspi_probe.py";
    const pid_t reader =
        SpawnChild({"/usr/bin/python3", probe.string()}, environment, (dir / "probe.log").string());
    const std::optional<int> status = WaitChild(reader, 60s);
    if (!status) StopChild(reader);
    StopChild(parlino);
    StopChild(xvfb);
    StopChild(dbus);
    const std::string seen = ReadWholeFile(dir / "probe.log");
    ASSERT_TRUE(status.has_value()) << "the screen reader's probe hung\n" << seen;
    // The first voice's speed, inside its range, before anything moved.
    double value = 0, low = 0, high = 0;
    const size_t slider = seen.find("slider Speed ");
    ASSERT_NE(slider, std::string::npos) << seen;
    ASSERT_EQ(std::sscanf(seen.c_str() + slider, "slider Speed %lf %lf %lf", &value, &low, &high), 3) << seen;
    EXPECT_LT(low, high);
    EXPECT_GE(value, low);
    EXPECT_LE(value, high);
    EXPECT_NE(seen.find("message |Play the film in VLC, Celluloid, a web browser|"), std::string::npos) << seen;
}
