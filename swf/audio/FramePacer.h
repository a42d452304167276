#pragma once

// Decides when the player runs the next frame. While a stream sound plays,
// the sound is the clock: a frame runs when the sound reaches it, several run
// at once when the picture fell behind, none while the picture is ahead. With
// no stream sound (or no audio device) the wall clock and the frame rate rule.

#include <QtGlobal>

#include <optional>

namespace swf {

class FramePacer {
public:
    explicit FramePacer(double frameRate);

    // Called on every tick of the player's timer, which should tick several
    // times per frame. `heardFrame` is the stream frame being heard now
    // (SoundMixer::streamFrameAt at the played position), empty without one.
    // Returns the number of frames to run now: 0 holds, more than 1 skips.
    int framesToRun(qint64 nowMs, int currentFrame, std::optional<double> heardFrame);

    // Starts timing afresh (play after a pause, a new movie).
    void restart(qint64 nowMs);

    double frameRate() const { return m_frameRate; }

private:
    double m_frameRate;
    double m_frameMs;
    double m_lastRunMs = 0;
};

} // namespace swf
