#include "ui/PngImage.h"

#include <QFile>

#include <png.h>

namespace parlino {

QImage DecodePng(const QByteArray& data) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data.constData(), static_cast<size_t>(data.size())))
        return {};
    image.format = PNG_FORMAT_BGRA; // QImage::Format_ARGB32 byte order on little-endian machines
    QImage result(static_cast<int>(image.width), static_cast<int>(image.height), QImage::Format_ARGB32);
    if (result.isNull() ||
        !png_image_finish_read(&image, nullptr, result.bits(), static_cast<png_int_32>(result.bytesPerLine()),
                               nullptr)) {
        png_image_free(&image);
        return {};
    }
    return result;
}

QImage LoadPng(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return DecodePng(file.readAll());
}

} // namespace parlino
