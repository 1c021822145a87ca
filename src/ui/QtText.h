#pragma once
// Conversions between the program's ANSI text and Qt's strings, at the edge
// where text reaches the toolkit.

#include "platform/ITextCodec.h"

#include <QString>

#include <string>

namespace parlino {

// The codec the user interface converts with; set once by the composition root.
void SetUiCodec(const ITextCodec* codec);
const ITextCodec& UiCodec();

// ANSI text in `codePage` (0: the system code page) to a QString.
QString AnsiToQt(const std::string& ansi, uint32_t codePage = 0);
// A QString to ANSI text in the system code page.
std::string QtToAnsi(const QString& text);

} // namespace parlino
