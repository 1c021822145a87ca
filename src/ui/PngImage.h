#pragma once
#include <QImage>
#include <QString>

namespace parlino {

// Decodes a PNG picture with libpng into a 32-bit image; a null image when
// the data is not a readable PNG.
QImage DecodePng(const QByteArray& data);
// The same for a file or Qt resource path.
QImage LoadPng(const QString& path);

} // namespace parlino
