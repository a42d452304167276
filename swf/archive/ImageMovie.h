#pragma once

// A JPEG, PNG or GIF file loaded where a movie was asked for (loadMovie,
// MovieClipLoader) becomes the clip's content as the player shows it: the
// picture at the clip's top-left corner, one pixel per pixel. We wrap the
// file as a one-frame movie holding it as a bitmap, so that it is decoded
// by the movie's own bounded image decoding and played like any movie.

#include <QByteArray>

namespace swf::archive {

// True when `bytes` start as a JPEG, PNG or GIF file does.
bool looksLikeImage(const QByteArray& bytes);

// The one-frame movie showing the image; empty when the bytes are no
// image or its size cannot be read.
QByteArray movieFromImage(const QByteArray& bytes);

} // namespace swf::archive
