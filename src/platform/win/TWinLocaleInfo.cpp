#include "platform/win/TWinLocaleInfo.h"

#include <windows.h>

namespace parlino {

char TWinLocaleInfo::TimeSeparator() const {
    char text[8] = {};
    const int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, text, sizeof text);
    return n == 2 ? text[0] : ':'; // one character and its terminating zero
}

} // namespace parlino
