#pragma once
// The exceptions the program raises. Each carries the message the user sees;
// the application's general error handler shows it in a message box.

#include <stdexcept>
#include <string>

namespace parlino {

class EParlinoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that cannot be opened: "Cannot open file "<name>". <reason>".
class EFOpenError : public EParlinoError {
public:
    using EParlinoError::EParlinoError;
};

} // namespace parlino

namespace parlino {

// A text that is not a valid number or time: "'<text>' is not a valid time".
class EConvertError : public EParlinoError {
public:
    using EParlinoError::EParlinoError;
};

// A player that answered with something the follower cannot read.
class EPlayerError : public EParlinoError {
public:
    using EParlinoError::EParlinoError;
};

} // namespace parlino
