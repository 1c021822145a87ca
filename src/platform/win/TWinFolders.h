#pragma once
#include "platform/IKnownFolders.h"

namespace parlino {

// The shell's special folders, without the trailing backslash the shell
// gives. The folder shared by all users is offered from Windows 6.0 (Vista)
// on; on older versions it is empty, as the settings expect there.
class TWinFolders final : public IKnownFolders {
public:
    std::string LocalAppData() const override;
    std::string AppData() const override;
    std::string CommonAppData() const override;
    std::string TempPath() const override;
    std::string ProgramFolder() const override;
    std::string RuntimeFolder() const override { return TempPath(); }
};

} // namespace parlino
