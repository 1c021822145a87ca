// The real program, ended from outside by SIGTERM, SIGINT or SIGHUP, saves
// the user's choices as File / Exit does: the values of a hand-written
// Parlino.ini go into the controls at start and come back from them into the
// file at the end, with the file's comments and unknown sections in place.

#include "fakes/TPrivatePulseServer.h"
#include "fakes/ReadWholeFile.h"
#include "settings/IniFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>

using namespace parlino;
using namespace parlino::test;
namespace fs = std::filesystem;

namespace {

// Whether process `pid` has a handler for `signal` (from /proc/<pid>/status).
bool Catches(pid_t pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

std::string Read(const fs::path& path) { return test::ReadWholeFile(path); }

TEST(ShutdownSignals, TheProgramSavesTheUsersChoicesWhenEndedFromOutside) {
    const fs::path program =
        fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "parlino";
    ASSERT_TRUE(fs::exists(program)) << program;
    std::unique_ptr<TPrivatePulseServer> server;
    ASSERT_NO_THROW(server = std::make_unique<TPrivatePulseServer>());
    const fs::path home = fs::path(server->RuntimeDir()) / "home";
    for (const char* dir : {"config/Parlino", "data", "tmp"})
        fs::create_directories(home / dir);
    const fs::path ini = home / "config/Parlino/Parlino.ini";
    std::vector<std::string> environment = TPrivatePulseServer::Environment();
    for (const std::string& set :
         {std::string("QT_QPA_PLATFORM=offscreen"), "XDG_CONFIG_HOME=" + (home / "config").string(),
          "XDG_DATA_HOME=" + (home / "data").string(), "TMPDIR=" + (home / "tmp").string()})
        TPrivatePulseServer::SetVariable(environment, set); // never the user's own folders

    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        std::ofstream(ini, std::ios::binary)
            << "; chosen by hand\n[Engine]\nEngine_name=English (Great Britain) "
               "(en-gb)\nEngine_speed=-3\n"
               "Engine_pitch=-20\nEngine_volume=40\n[Someone else's]\nkey=value\n[Audio file]\n"
               "WaveOutDeviceName=TestB\n[Misc]\nf1=1\n[Dictionaries]\ndefault_dic_name=English."
               "dic\n"
               "Speak_mode=-7\n";
        const std::string log = (home / "parlino.log").string();
        const pid_t pid = SpawnChild({program.string()}, environment, log);
        ASSERT_GT(pid, 0);
        // From the moment the handler is there, a signal ends the program
        // cleanly, whether it comes during start-up or later.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!Catches(pid, signal) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_TRUE(Catches(pid, signal)) << Read(log);
        ::kill(pid, signal);
        const std::optional<int> status = WaitChild(pid, std::chrono::seconds(60));
        ASSERT_TRUE(status.has_value()) << "the program did not end";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status << "\n"
                                                                     << Read(log);

        const std::string saved = Read(ini);
        const TIniFile file(saved);
        EXPECT_EQ(saved.rfind("; chosen by hand\r\n[Engine]\r\n", 0), 0u) << saved;
        EXPECT_EQ(file.ReadString("Engine", "Engine_name", ""), "English (Great Britain) (en-gb)");
        EXPECT_EQ(file.ReadInteger("Engine", "Engine_speed", 0), -3);
        EXPECT_EQ(file.ReadInteger("Engine", "Engine_pitch", 0), -20);
        EXPECT_EQ(file.ReadInteger("Engine", "Engine_volume", 0), 40);
        EXPECT_EQ(file.ReadString("Someone else's", "key", ""), "value");
        EXPECT_EQ(file.ReadString("Audio file", "WaveOutDeviceName", ""), "TestB");
        EXPECT_TRUE(file.ReadBool("Misc", "f1", false));
        EXPECT_EQ(file.ReadString("Dictionaries", "default_dic_name", ""), "English.dic");
        EXPECT_EQ(file.ReadInteger("Dictionaries", "Speak_mode", 0), -7);
        // The whole layout was written, so the save did happen.
        EXPECT_EQ(file.ReadString("Advanced", "TextThreadPriority_SoundCard", ""), "3");
        fs::remove(log);
    }
}

} // namespace
