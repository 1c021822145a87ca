#include "platform/linux/TLinuxLocaleInfo.h"

#include <cctype>
#include <langinfo.h>
#include <locale.h>

namespace parlino {

TLinuxLocaleInfo::TLinuxLocaleInfo() {
    locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (!loc) return;
    FSeparator = SeparatorOfFormat(nl_langinfo_l(T_FMT, loc));
    freelocale(loc);
}

char TLinuxLocaleInfo::SeparatorOfFormat(const char* format) {
    if (!format) return ':';
    const char* p = format;
    while (*p && *p != '%') ++p;
    while (*p == '%') {
        ++p;
        while (*p == 'E' || *p == 'O' || *p == '-' || *p == '_' || *p == '0') ++p;
        if (*p == 'T' || *p == 'R' || *p == 'r') return ':';
        if (*p) ++p;
        if (*p && *p != '%' && !std::isalpha(static_cast<unsigned char>(*p))) return *p;
    }
    return ':';
}

} // namespace parlino
