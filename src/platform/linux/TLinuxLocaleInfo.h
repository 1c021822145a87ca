#pragma once
#include "platform/ILocaleInfo.h"

namespace parlino {

// The time separator of the user's LC_TIME locale; ':' when that locale is
// not installed or gives none.
class TLinuxLocaleInfo final : public ILocaleInfo {
public:
    TLinuxLocaleInfo();
    char TimeSeparator() const override { return FSeparator; }
    // The separator a strftime time format uses: the first character after
    // the first conversion that is neither a conversion nor a letter.
    static char SeparatorOfFormat(const char* format);

private:
    char FSeparator = ':';
};

} // namespace parlino
