#pragma once

// What the thumbnailer draws: a frame of the movie that shows something (not
// a blank first frame), scaled so its long side is the asked size, centred in
// a square whose bands outside the stage stay transparent.

#include <QImage>
#include <QString>

namespace swf {
class Playback;
}

namespace thumbnailer {

// How far into a movie the thumbnailer looks for a frame worth showing.
inline constexpr double kLookAheadSeconds = 3.0;
// The share of a frame's pixels that must differ from the background for the
// frame to count as showing something.
inline constexpr double kEnoughContent = 0.04;

// The local path named by a command-line argument: a path as it is, or a
// file: URI (percent-escapes decoded). "" for any other URI.
QString inputPath(const QString& argument);

// The share (0..1) of `image`'s pixels that differ clearly from `background`.
double contentShare(const QImage& image, QColor background);

// Steps `movie` (from frame 1) through its first kLookAheadSeconds, stopping
// at the first frame with enough content; when none has, it goes back to the
// frame with the most. Gives up looking once `deadlineMs` of the monotonic
// clock `elapsedMs` has passed. Returns the frame it leaves the movie on.
int showRepresentativeFrame(swf::Playback& movie, qint64 deadlineMs);

// The movie's current frame, long side `size` pixels, in a size x size
// ARGB image that is transparent outside the stage.
QImage drawFrame(const swf::Playback& movie, int size);

} // namespace thumbnailer
