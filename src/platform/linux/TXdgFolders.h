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
    std::string RuntimeFolder() const override; // $XDG_RUNTIME_DIR
};

} // namespace parlino
