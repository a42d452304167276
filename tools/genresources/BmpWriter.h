#pragma once

#include <QByteArray>
#include <QImage>

namespace genresources {

// Encodes an image as an uncompressed (BI_RGB), bottom-up, 24-bit Windows
// bitmap with the given resolution in pixels per metre. Written by hand rather
// than through QImageWriter so that every header field is exactly what we say.
QByteArray encodeBmp24(const QImage& image, int pixelsPerMetre);

} // namespace genresources
