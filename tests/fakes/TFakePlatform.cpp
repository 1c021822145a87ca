#include "fakes/TFakePlatform.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace parlino::test {

TFakeFolders::TFakeFolders() {
    std::string pattern = (std::filesystem::temp_directory_path() / "parlino-fake-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    Root = pattern;
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
