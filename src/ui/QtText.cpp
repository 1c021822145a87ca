#include "ui/QtText.h"

#include "platform/TSystemServices.h"

namespace parlino {
namespace {
const ITextCodec* uiCodec = nullptr;
} // namespace

void SetUiCodec(const ITextCodec* codec) { uiCodec = codec; }

const ITextCodec& UiCodec() {
    static const TSystemCodec fallback; // the system's own, before the window sets one
    return uiCodec ? *uiCodec : fallback;
}

QString AnsiToQt(const std::string& ansi, uint32_t codePage) {
    bool ascii = true;
    for (char c : ansi)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) return QString::fromLatin1(ansi.data(), static_cast<qsizetype>(ansi.size()));
    WideString wide = UiCodec().ToWide(ansi, codePage);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

std::string QtToAnsi(const QString& text) {
    const std::u16string wide(reinterpret_cast<const char16_t*>(text.utf16()),
                              static_cast<size_t>(text.size()));
    return UiCodec().ToAnsi(wide);
}

} // namespace parlino
