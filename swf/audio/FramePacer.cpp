#include "swf/audio/FramePacer.h"

#include <algorithm>
#include <cmath>

namespace swf {

FramePacer::FramePacer(double frameRate)
    : m_frameRate(frameRate > 0 ? frameRate : 12.0), m_frameMs(1000.0 / m_frameRate)
{
}

void FramePacer::restart(qint64 nowMs)
{
    m_lastRunMs = double(nowMs);
}

int FramePacer::framesToRun(qint64 nowMs, int currentFrame, std::optional<double> heardFrame)
{
    const double now = double(nowMs);
    // A stream frame far from the one shown belongs to another timeline (a
    // sprite's stream while the root has none) or to before a jump: it
    // cannot pace this timeline.
    const double window = std::max(10.0, 2 * m_frameRate);
    if (heardFrame && std::abs(*heardFrame - currentFrame) > window)
        heardFrame.reset();
    if (heardFrame) {
        // The block of frame f is heard from f to f+1. Frame f+1 runs as soon
        // as f starts being heard, so that its block is queued before the
        // device needs it: the picture leads the sound by at most one frame.
        const int target = int(std::floor(*heardFrame)) + 1;
        const int n = target - currentFrame;
        if (n > 0) {
            m_lastRunMs = now;
            return n;
        }
        return 0;
    }
    if (now - m_lastRunMs < m_frameMs)
        return 0;
    // Late by more than a frame (a stall, a slow frame): carry on from now
    // rather than rushing through the backlog.
    m_lastRunMs = now - m_lastRunMs >= 2 * m_frameMs ? now : m_lastRunMs + m_frameMs;
    return 1;
}

} // namespace swf
