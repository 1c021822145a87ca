#pragma once
#include <string>

namespace parlino {

// Well-known folders. Each path is returned without a trailing delimiter;
// an empty string means the system has no such folder.
class IKnownFolders {
public:
    virtual ~IKnownFolders() = default;
    virtual std::string LocalAppData() const = 0;   // per-user settings
    virtual std::string AppData() const = 0;        // per-user data
    virtual std::string CommonAppData() const = 0;  // shared by all users
    virtual std::string TempPath() const = 0;       // temporary files
    virtual std::string ProgramFolder() const = 0;  // folder of the running executable
    // The user's private folder for sockets and other run-time files: one
    // that only the user can enter, so that no other user can put a socket
    // where the program looks for one. Throws EParlinoError, saying why, when
    // there is no such folder.
    virtual std::string RuntimeFolder() const = 0;
};

} // namespace parlino
