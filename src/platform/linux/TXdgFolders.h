#pragma once
#include "platform/IKnownFolders.h"

namespace parlino {

// The XDG base folders: local application data is $XDG_CONFIG_HOME
// (~/.config), application data $XDG_DATA_HOME (~/.local/share); there is no
// common application data folder, so nothing system-wide is ever created.
class TXdgFolders final : public IKnownFolders {
public:
    std::string LocalAppData() const override;
    std::string AppData() const override;
    std::string CommonAppData() const override { return {}; }
    std::string TempPath() const override;
    std::string ProgramFolder() const override;
    // $XDG_RUNTIME_DIR when it is set, else the folder "parlino-<uid>" in
    // the temporary folder, made with mode 0700 when it is missing. Either
    // must be a folder (not a link) of this user that nobody else may enter
    // (no permission bits for group or others); anything else throws
    // EParlinoError naming the folder and what is wrong with it.
    std::string RuntimeFolder() const override;
};

// Why `folder` is no private folder of this user: empty when it is one.
std::string PrivateFolderProblem(const std::string& folder);

} // namespace parlino
