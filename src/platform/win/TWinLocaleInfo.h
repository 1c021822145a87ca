#pragma once
#include "platform/ILocaleInfo.h"

namespace parlino {

// The user locale's time separator (LOCALE_STIME), ':' when it has none of
// one byte.
class TWinLocaleInfo final : public ILocaleInfo {
public:
    char TimeSeparator() const override;
};

} // namespace parlino
