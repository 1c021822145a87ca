// Faults a user meets while Parlino runs, injected into the real window or
// the real program: the sound server dying and coming back mid-run, the
// settings folder full or read-only at exit, the espeak-ng data missing.
// Each test states what the user sees.

#include "fakes/ReadWholeFile.h"
#include "ui/TWindowE2E.h"

#include <sys/mount.h>
#include <sys/wait.h>

#include <csignal>
#include <thread>

using namespace parlino;
using namespace parlino::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class FaultInjectionE2E : public TWindowE2E {};

fs::path BuiltProgram(const char* name) {
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / name;
}

// A tmpfs of `kilobytes` mounted on `folder` (made if missing), unmounted
// when it goes; Mounted() is false where this process may not mount.
class TScratchMount {
public:
    TScratchMount(const fs::path& folder, int kilobytes) : FFolder(folder) {
        fs::create_directories(folder);
        const std::string options = "size=" + std::to_string(kilobytes) + "k";
        FMounted = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~TScratchMount() {
        if (FMounted) ::umount2(FFolder.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return FMounted; }
    bool MakeReadOnly() const {
        return ::mount(nullptr, FFolder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    // Fills the file system up to its last byte.
    void Fill() const {
        std::ofstream filler(FFolder / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size())) {
        }
        filler.clear();
        while (filler.put('x') && filler.flush()) {
        }
    }

private:
    fs::path FFolder;
    bool FMounted = false;
};

} // namespace

// The user sees: the subtitle being spoken stops when the server dies, the
// status area goes on showing the position, no message box; the next
// subtitle is heard on time once the server is back.
TEST_F(FaultInjectionE2E, TheSoundServerDiesMidSubtitleAndTheNextOneIsHeardWhenItIsBack) {
    const std::vector<std::pair<int, std::string>> entries{
        {500, "This first subtitle is long, and the sound server dies in the middle of it."},
        {4000, "Four."},
        {6000, "Six."}};
    Window->LoadSubtitles(WriteSrt("server.srt", entries));
    Window->rbManual->click();
    Window->sg1->setCurrentIndex(Window->GridModel->index(0, 1));
    const auto t0 = TClock::now(); // the clock stands at -200 ms
    Window->btPlay->click();
    Wait(1200);
    Server->Kill();
    Wait(800);
    EXPECT_EQ(Window->lStatus1->text().toStdString().rfind("Playing", 0), 0u) << "the run goes on";
    Server->Start();
    TMonitorRecording& rec = Server->Record("test");
    Wait(5800);
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    for (const int start : {4000, 6000}) {
        const auto due = t0 + std::chrono::milliseconds(start - 999 + 200);
        ASSERT_TRUE(rec.WaitUntilRecorded(due + 1500ms));
        const auto onset = rec.FirstSound(due - 100ms, due + 1500ms);
        ASSERT_TRUE(onset.has_value()) << "the subtitle at " << start << " ms was not heard";
        std::printf("subtitle at %d ms heard %.0f ms after it was due\n", start, Ms(*onset - due));
        // The first one after the restart also pays for the new connection.
        EXPECT_LE(*onset - due, 500ms);
    }
    EXPECT_TRUE(Window->Items[3].Spoken);
}

// The user sees: the window never stops answering while the sound server
// hangs (stopped, its socket open); one message box says that the server
// does not answer, the status area says so while it lasts, and the subtitles
// are still read on time, unheard; once the server answers again they are
// heard, and the status area clears.
TEST_F(FaultInjectionE2E, AHungSoundServerNeverFreezesTheWindowAndTheUserIsToldOnce) {
    const std::vector<std::pair<int, std::string>> entries{
        {500, "One."}, {2000, "Two."}, {3500, "Three."}, {5000, "Four."}, {9500, "Five."}};
    Window->LoadSubtitles(WriteSrt("hung.srt", entries));
    Window->rbManual->click();
    Window->sg1->setCurrentIndex(Window->GridModel->index(0, 1));
    // The window's thread: the longest it went without handling its events.
    double longestGap = 0;
    auto last = TClock::now();
    bool watching = false;
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const auto now = TClock::now();
        if (watching) longestGap = std::max(longestGap, Ms(now - last));
        last = now;
    });
    heartbeat.start(5);
    const auto t0 = TClock::now(); // the clock stands at -200 ms
    Window->btPlay->click();
    Wait(1000);
    Server->Hang();
    last = TClock::now();
    watching = true;
    Wait(4200); // "Two.", "Three." and "Four." are due meanwhile
    EXPECT_EQ(Window->lStatus1->text().toStdString().rfind("Playing", 0), 0u) << "the run goes on";
    for (const size_t row : {2u, 3u, 4u}) EXPECT_TRUE(Window->Items[row].Spoken) << "row " << row;
    ASSERT_EQ(Errors.size(), 1u) << "told " << Errors.size() << " times";
    EXPECT_NE(Errors.front().find("sound server does not answer"), std::string::npos) << Errors.front();
    EXPECT_NE(Window->lWarning->text().toStdString().find("sound server does not answer"), std::string::npos)
        << Window->lWarning->text().toStdString();
    watching = false;
    std::printf("while the sound server hangs the window's longest gap is %.0f ms\n", longestGap);
    EXPECT_LT(longestGap, 250) << "the window stood still";

    Server->Continue();
    Wait(2000);
    EXPECT_TRUE(Window->lWarning->text().isEmpty()) << Window->lWarning->text().toStdString();
    TMonitorRecording& rec = Server->Record("test");
    const auto due = t0 + std::chrono::milliseconds(9500 - 999 + 200);
    const auto wait = due + 1500ms - TClock::now();
    Wait(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(wait).count()));
    ASSERT_TRUE(rec.WaitUntilRecorded(due + 1500ms));
    const auto onset = rec.FirstSound(due - 100ms, due + 1500ms);
    ASSERT_TRUE(onset.has_value()) << "the subtitle after the server woke up was not heard";
    EXPECT_LE(*onset - due, 500ms);

    // Say it, while the server hangs again: it returns at once, and nobody is told twice.
    Wait(1500);
    Server->Hang();
    Wait(1500);
    Window->eTest->setText("Is anybody there?");
    const auto clicked = TClock::now();
    Window->bt1->click();
    const double sayIt = Ms(TClock::now() - clicked);
    Wait(500);
    Window->bt1->click();
    std::printf("Say it while the sound server hangs takes %.1f ms\n", sayIt);
    EXPECT_LT(sayIt, 100);
    Wait(1500);
    EXPECT_NE(Window->lWarning->text().toStdString().find("sound server does not answer"), std::string::npos);
    EXPECT_EQ(Errors.size(), 1u);
    Server->Continue();
}

namespace {

// Runs the real program on the private server with its own folders, ends it
// with SIGTERM once it is up, and returns its exit status.
std::optional<int> RunAndEnd(const fs::path& home, const std::string& log) {
    std::vector<std::string> environment = TPrivatePulseServer::Environment();
    for (const std::string& set :
         {std::string("QT_QPA_PLATFORM=offscreen"), "XDG_CONFIG_HOME=" + (home / "config").string(),
          "XDG_DATA_HOME=" + (home / "data").string(), "TMPDIR=" + (home / "tmp").string()})
        TPrivatePulseServer::SetVariable(environment, set);
    const pid_t pid = SpawnChild({BuiltProgram("parlino").string()}, environment, log);
    if (pid <= 0) return std::nullopt;
    // Up when it has put its handler for SIGTERM in place.
    const auto deadline = TClock::now() + 60s;
    auto catches = [pid] {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("SigCgt:", 0) == 0) return ((std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1) != 0;
        return false;
    };
    while (!catches() && TClock::now() < deadline) std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(500ms); // past start-up, into the event loop
    ::kill(pid, SIGTERM);
    return WaitChild(pid, 60s);
}

} // namespace

// The user sees nothing at exit: the program ends as always, and the
// choices of the last run that could be saved are there at the next start.
TEST(SettingsFolderFaults, AFullOrReadOnlySettingsFolderAtExitLeavesTheOldFileAsItWas) {
    TPrivatePulseServer server;
    const fs::path home = fs::path(server.RuntimeDir()) / "home";
    for (const char* dir : {"data", "tmp"}) fs::create_directories(home / dir);
    const fs::path folder = home / "config/Parlino";
    const std::string before = "; chosen by hand\r\n[Engine]\r\nEngine_speed=-3\r\n[Someone else's]\r\nkey=value\r\n";
    enum { Writable, Full, ReadOnly };
    for (const int state : {Writable, Full, ReadOnly}) {
        SCOPED_TRACE(state == Writable ? "writable" : state == Full ? "full" : "read-only");
        TScratchMount mount(folder, 64);
        if (!mount.Mounted()) GTEST_SKIP() << "this process may not mount a file system here";
        std::ofstream(folder / "Parlino.ini", std::ios::binary) << before;
        if (state == ReadOnly) {
            ASSERT_TRUE(mount.MakeReadOnly());
        }
        if (state == Full) mount.Fill();
        const std::string log = (home / "parlino.log").string();
        const std::optional<int> status = RunAndEnd(home, log);
        ASSERT_TRUE(status.has_value()) << "the program did not end";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status << "\n" << ReadWholeFile(log);
        const std::string after = ReadWholeFile(folder / "Parlino.ini");
        if (state == Writable) {
            // The program does save at exit: the whole layout, the user's lines kept.
            EXPECT_NE(after, before);
            EXPECT_NE(after.find("[Someone else's]\r\nkey=value"), std::string::npos) << after;
            continue;
        }
        EXPECT_EQ(after, before);
        // No half-written file is left beside it.
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        const std::vector<std::string> expected = state == ReadOnly ? std::vector<std::string>{"Parlino.ini"}
                                                                    : std::vector<std::string>{"Parlino.ini", "filler"};
        EXPECT_EQ(names, expected);
    }
}

// The user sees the Flite voices only: the voice layer starts as always when
// the espeak-ng data folder is missing (shown by parlino-render's list, which
// builds its voices as the window does).
TEST(EspeakDataFaults, WithoutTheEspeakDataOnlyTheFliteVoicesAreListed) {
    // The data folder is hidden in a mount namespace of the child's own.
    const std::string dataFolder = "/usr/lib/x86_64-linux-gnu/espeak-ng-data";
    if (!fs::exists(dataFolder)) GTEST_SKIP() << dataFolder << " is not where this test expects it";
    const fs::path out = fs::path(::testing::TempDir()) / "voices.txt";
    const std::string command = "unshare -m sh -c 'mount -t tmpfs none " + dataFolder + " && exec " +
                                BuiltProgram("parlino-render").string() + " --voices' > " + out.string() +
                                " 2>&1";
    const int status = std::system(command.c_str());
    const std::string listed = ReadWholeFile(out);
    if (listed.find("mount:") != std::string::npos || listed.find("unshare:") != std::string::npos)
        GTEST_SKIP() << "this process may not hide a folder: " << listed;
    EXPECT_EQ(WEXITSTATUS(status), 0) << listed;
    EXPECT_NE(listed.find("Flite female (slt)"), std::string::npos) << listed;
    EXPECT_EQ(listed.find("(en-gb)"), std::string::npos) << listed;
}
