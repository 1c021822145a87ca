#pragma once

namespace parlino {

// Locale facts the program shows times with.
class ILocaleInfo {
public:
    virtual ~ILocaleInfo() = default;
    // The character between hours, minutes and seconds (':' in the C locale).
    virtual char TimeSeparator() const = 0;
};

} // namespace parlino
