#pragma once

#include <QString>

namespace player {

// The calls the program makes on the movie player control. The shell's
// commands go through this interface only, so a test can stand in a recorder.
class PlayerControl {
public:
    virtual ~PlayerControl() = default;

    // Loads the movie at `path` and starts showing it; "" unloads. A movie
    // that cannot be read raises a run-time error.
    virtual void Movie(const QString& path) = 0;
    // true: playback runs (starts or resumes).
    virtual void Playing(bool playing) = 0;
    // Playback stops at the current frame.
    virtual void Stop() = 0;
    // One frame back / forward; playback stops there.
    virtual void Back() = 0;
    virtual void Forward() = 0;
    // Zooms relative to the current view: 50 twice as large, 200 half; 0 back to the whole movie.
    virtual void Zoom(int percent) = 0;
    // 0 show all (aspect kept, centred), 1 no border, 2 exact fit, 3 no scale.
    virtual void ScaleMode(int mode) = 0;
};

} // namespace player
