#pragma once

// Writes a movie as a video file: its frames at its frame rate, with its
// sound mixed in, through libavformat and libavcodec. The container and the
// codecs follow the file's extension: .mp4 (H.264 and AAC), .webm (VP9 and
// Opus) or .gif (pictures only). Where Debian's libavcodec lacks an encoder
// the nearest one it has is used, and the caller hears which.

#include <QSize>
#include <QString>

#include <functional>
#include <optional>

namespace swf {
class Playback;
}

struct VideoExportSettings {
    QString path;
    QSize size;     // the picture, the stage shown whole inside it; rounded up to even sides for .mp4 and .webm
    int frames = 1; // how many frames to write, from the movie's current one on
};

struct VideoExportProgress {
    // After each frame written: frames done, frames in all.
    std::function<void(int done, int total)> frameWritten;
    // A note for the user, e.g. an encoder that stands in for a missing one.
    std::function<void(const QString&)> note;
};

// The frames a movie is cut at when the user gives no count: one run of its
// root timeline, and never more than ten minutes of it.
int defaultVideoFrames(int frameCount, double frameRate);

// Runs `movie` for settings.frames frames (stopping early when it asks to
// quit) and writes each with its share of the sound. `movie` must have been
// opened with sound on. Returns an error message, or nothing on success.
std::optional<QString> exportVideo(swf::Playback& movie, const VideoExportSettings& settings,
    const VideoExportProgress& progress = {});
