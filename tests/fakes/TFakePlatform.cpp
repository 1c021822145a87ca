#include "fakes/TFakePlatform.h"

#include <filesystem>
#include <random>
#include <stdexcept>

namespace parlino::test {

TFakeFolders::TFakeFolders() {
    // A folder no other fake, in this process or another, has: the process
    // and a random number in its name, created only if it is new.
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; Root.empty(); ++attempt) {
        if (attempt == 100)
            throw std::runtime_error("cannot create a temporary folder");
        const auto folder = base / ("parlino-fake-" + std::to_string(random()) + std::to_string(random()));
        if (std::filesystem::create_directory(folder))
            Root = folder.string();
    }
    Local = Root + "/config";
    Data = Root + "/data";
    Program = Root + "/program";
    Runtime = Root + "/run";
    std::filesystem::create_directory(Local);
    std::filesystem::create_directory(Data);
}

TFakeFolders::~TFakeFolders() {
    std::error_code error;
    std::filesystem::remove_all(Root, error);
}

} // namespace parlino::test
