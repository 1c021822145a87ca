// The real program on a virtual X display, read through the desktop's
// accessibility bus as a screen reader reads it: the sliders carry their
// values from the start, and an information box's message is its text.

#include "fakes/ReadWholeFile.h"
#include "fakes/TPrivatePulseServer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <thread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace parlino::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// True when an X server takes connections on local display `display`.
bool Reachable(const std::string& display) {
    if (display.empty() || display.find_first_not_of("0123456789") != std::string::npos) return false;
    const std::string path = "/tmp/.X11-unix/X" + display;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    const bool connected = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) ::close(fd);
    return connected;
}

// Runs the real program on a virtual X display with the accessibility bus,
// and the probe `script` (in tests/data/accessibility) against it, as a
// screen reader; returns what the probe printed, or nothing when it hung.
std::optional<std::string> RunProbe(const char* script) {
    const fs::path program = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "parlino";
    EXPECT_TRUE(fs::exists(program)) << program;
    std::unique_ptr<TPrivatePulseServer> server;
    EXPECT_NO_THROW(server = std::make_unique<TPrivatePulseServer>());
    if (!server) return std::nullopt;
    const fs::path dir = server->RuntimeDir();
    for (const char* sub : {"config", "data", "run"}) fs::create_directories(dir / sub);
    fs::permissions(dir / "run", fs::perms::owner_all);

    std::vector<std::string> environment = TPrivatePulseServer::Environment();
    const std::string bus = "unix:path=" + (dir / "bus").string();
    // A server that says its display but cannot be reached there (seen once
    // while another test's server went away) is started again.
    pid_t xvfb = -1;
    std::string display;
    for (int attempt = 0; attempt < 3 && !Reachable(display); ++attempt) {
        if (xvfb > 0) StopChild(xvfb);
        display.clear();
        fs::remove(dir / "xvfb.log");
        xvfb = SpawnChild({"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                          environment, (dir / "xvfb.log").string());
        for (int i = 0; i < 100 && display.empty(); ++i) {
            display = ReadWholeFile(dir / "xvfb.log");
            display = display.substr(0, display.find('\n'));
            if (display.empty()) std::this_thread::sleep_for(50ms);
        }
    }
    EXPECT_TRUE(Reachable(display)) << "Xvfb did not start: " << ReadWholeFile(dir / "xvfb.log");
    // The bus starts the accessibility services, which need the display
    // (the keys a screen reader presses are synthesised there).
    TPrivatePulseServer::SetVariable(environment, "DISPLAY=:" + display);
    const pid_t dbus = SpawnChild({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + bus},
                                  environment, (dir / "dbus.log").string());
    for (const std::string& set :
         {"DBUS_SESSION_BUS_ADDRESS=" + bus, "DISPLAY=:" + display, std::string("QT_QPA_PLATFORM=xcb"),
          std::string("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"), "XDG_CONFIG_HOME=" + (dir / "config").string(),
          "XDG_DATA_HOME=" + (dir / "data").string(), "XDG_RUNTIME_DIR=" + (dir / "run").string()})
        TPrivatePulseServer::SetVariable(environment, set); // the suite itself runs offscreen
    const pid_t parlino = SpawnChild({program.string()}, environment, (dir / "parlino.log").string());
    const fs::path probe = fs::path(PARLINO_TEST_DATA) / "accessibility" / script;
    const pid_t reader =
        SpawnChild({"/usr/bin/python3", probe.string()}, environment, (dir / "probe.log").string());
    const std::optional<int> status = WaitChild(reader, 60s);
    if (!status) StopChild(reader);
    StopChild(parlino);
    StopChild(xvfb);
    StopChild(dbus);
    const std::string seen = ReadWholeFile(dir / "probe.log");
    EXPECT_TRUE(status.has_value()) << "the screen reader's probe hung\n" << seen;
    if (seen.find("no application") != std::string::npos)
        ADD_FAILURE() << "the program never showed on the bus; its output:\n" << ReadWholeFile(dir / "parlino.log");
    if (!status) return std::nullopt;
    return seen;
}

// The numbers after `label` in the probe's output.
std::vector<int> Numbers(const std::string& seen, const std::string& label) {
    std::vector<int> numbers;
    const size_t at = seen.find(label + " ");
    if (at == std::string::npos) return numbers;
    std::istringstream line(seen.substr(at + label.size(), seen.find('\n', at) - at - label.size()));
    for (int n; line >> n;) numbers.push_back(n);
    return numbers;
}

// The text after `prefix` up to the next bar.
std::string Barred(const std::string& seen, const std::string& prefix) {
    const size_t at = seen.find(prefix);
    if (at == std::string::npos) return {};
    const size_t from = at + prefix.size();
    return seen.substr(from, seen.find('|', from) - from);
}

} // namespace

TEST(AccessibilityBus, ScreenReadersReadTheSlidersValuesAndTheInformationBoxesMessages) {
    const std::optional<std::string> probed = RunProbe("atspi_probe.py");
    ASSERT_TRUE(probed.has_value());
    const std::string& seen = *probed;
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

// A screen reader user presses "Choose voice": the list opens as a window of
// the program, under the voice box, with its table of voices, the voice in
// use selected; Down and Enter choose the next voice.
TEST(AccessibilityBus, ScreenReadersSeeTheVoiceListAndChooseAVoiceWithTheKeyboard) {
    const std::optional<std::string> probed = RunProbe("atspi_voices_probe.py");
    ASSERT_TRUE(probed.has_value());
    const std::string& seen = *probed;
    std::printf("%s", seen.c_str());
    const std::vector<int> box = Numbers(seen, "voicebox");
    ASSERT_EQ(box.size(), 4u) << seen;
    ASSERT_EQ(seen.find("no voices window"), std::string::npos) << "the voice list is not on the bus\n" << seen;
    const size_t window = seen.find("window ");
    ASSERT_NE(window, std::string::npos) << seen;
    const std::string role = seen.substr(window + 7, seen.find(' ', window + 7) - window - 7);
    EXPECT_TRUE(role == "dialog" || role == "window") << role;
    const std::vector<int> list = Numbers(seen, "window " + role);
    ASSERT_EQ(list.size(), 4u) << seen;
    // Under the voice box: its top one pixel below the box, its left edge at the box's.
    EXPECT_NEAR(list[1], box[1] + box[3] + 1, 2) << seen;
    EXPECT_NEAR(list[0], box[0], 2) << seen;
    const std::vector<int> table = Numbers(seen, "table Voices rows");
    ASSERT_FALSE(table.empty()) << seen;
    EXPECT_GT(table[0], 16); // the list shows for 17 voices or more
    const std::string first = Barred(seen, "row 0 |0|");
    EXPECT_FALSE(first.empty()) << seen;
    EXPECT_EQ(Barred(seen, "voice before |"), first);
    EXPECT_NE(seen.find("selected 0 |" + first + "|"), std::string::npos) << "the voice in use is not selected\n"
                                                                          << seen;
    const std::string second = Barred(seen, "row 1 |1|");
    EXPECT_FALSE(second.empty()) << seen;
    EXPECT_NE(seen.find("closed yes"), std::string::npos) << seen;
    EXPECT_EQ(Barred(seen, "voice after |"), second) << seen;
}
