#pragma once

// The engine's one entry point for its users (the player control, the render
// tool, benchmarks, fuzzers): a loaded movie with its stage. It knows nothing of
// widgets or windows; the caller owns the clock and the surface.

#include "swf/Result.h"

#include <QByteArray>
#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTransform>

#include <memory>

class QPainter;

namespace swf {

class Stage;
class SoundSink;
class RenderCache;
class ScriptRunner;
class InputDispatcher;

// The largest movie file we read; a projector may be twice this.
inline constexpr qint64 MaxMovieFileBytes = 256ll * 1024 * 1024;

class Playback {
public:
    // Reads a movie file: FWS, CWS, ZWS, or a projector executable carrying one.
    static Result<std::unique_ptr<Playback>> open(const QString& path);
    static Result<std::unique_ptr<Playback>> fromBytes(const QByteArray& bytes);

    ~Playback();
    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    // Header facts.
    int version() const;
    QRectF stageRect() const;     // in pixels (twips / 20); usually starts at 0,0
    double frameRate() const;     // frames per second, never 0 (a 0 header rate reads as 12)
    int frameCount() const;       // frames on the root timeline, at least 1
    QColor backgroundColor() const; // SetBackgroundColor, white until one is seen

    // Timeline. Frames count from 1; currentFrame() is the frame now shown.
    int currentFrame() const;
    void nextFrame();     // show the next frame, looping from the last to the first
    void previousFrame(); // show the previous frame exactly as it was (no-op on frame 1)
    void gotoFrame(int frame);

    // Draws the stage (background included) with stage pixels mapped through
    // `stageToDevice`. Anything outside the stage rectangle is not clipped here.
    void render(QPainter& painter, const QTransform& stageToDevice) const;

    Stage& stage();

    // The audio side's entry (null = silent). Sound definitions are handed over at once.
    void setSoundSink(SoundSink* sink);
    // The script machine's entry (null = scripts ignored).
    void setScriptRunner(ScriptRunner* runner);

    // Mouse and keyboard, in stage pixels. `key` is a Qt::Key, `text` what it types.
    void mouseMove(QPointF stagePoint);
    void mouseDown(QPointF stagePoint);
    void mouseUp(QPointF stagePoint);
    void keyDown(int key, QString text);
    void keyUp(int key, QString text);
    // Wheel steps (positive away from the user) for Mouse listeners.
    void mouseWheel(int delta);
    // True while the pointer is over a button (or holds one pressed): show a hand.
    bool cursorIsHand() const;
    InputDispatcher& input();

private:
    explicit Playback(std::unique_ptr<Stage> stage);
    void replayTo(int frame);
    std::unique_ptr<Stage> m_stage;
    mutable std::unique_ptr<RenderCache> m_renderCache; // morphs by ratio, tinted bitmaps
    std::unique_ptr<InputDispatcher> m_input;
};

} // namespace swf
