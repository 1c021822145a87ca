#pragma once
#include <string>

namespace parlino {

// Puts the finished file `temp` in place of `target`, replacing a file of
// that name (a plain rename cannot on Windows). Returns false and the
// system's message in `error` when it cannot.
bool ReplaceFileWith(const std::string& temp, const std::string& target, std::string& error);

} // namespace parlino
