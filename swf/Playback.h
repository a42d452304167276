#pragma once

// The engine's one entry point for its users (the player control, the render
// tool, benchmarks, fuzzers): a loaded movie with its stage, its script machine
// and its mixer, wired together before frame 1 runs. It knows nothing of
// widgets, windows or audio devices; the caller owns the clock and the surface.

#include "swf/Result.h"

#include <QByteArray>
#include <QColor>
#include <QPointF>
#include <QRegion>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QTransform>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QPainter;

namespace swf {

class Stage;
class SoundSink;
class SoundMixer;
class FramePacer;
class RenderCache;
class FrameChanges;
class ObjectRasterizer;
class ScriptRunner;
class InputDispatcher;
namespace avm1 {
class StageScripts;
}
namespace avm2 {
class StageScripts;
}

// The largest movie file we read; a projector may be twice this.
inline constexpr qint64 MaxMovieFileBytes = 256ll * 1024 * 1024;

// How much a movie's scripts may run before the machine stops them.
struct ScriptLimits {
    std::uint64_t actionsPerBlock = std::uint64_t(1) << 22; // one block, handler or call chain
    std::uint64_t actionsPerFrame = std::uint64_t(1) << 24; // everything one frame runs together
    int maxCallDepth = 256;                                 // nested function calls
    // Everything the scripts make and hold: strings, arrays, objects, clips,
    // pixels. A script that asks for more is stopped; the movie goes on.
    std::uint64_t memoryBytes = std::uint64_t(512) * 1024 * 1024;
};

// What runs alongside the timeline once a movie is open.
// How finely the stage is drawn: High smooths shape edges and scaled bitmaps,
// Low draws them hard-edged and nearest-pixel, as a movie asks with _quality.
enum class Quality { Low, High };

struct PlaybackOptions {
    bool scripts = true;  // run the movie's ActionScript, from frame 1 on
    bool sound = false;   // mix the movie's sound, for mixAudio to hand out
    QSize viewSize;       // the size the movie is shown at, for Stage.width/height; invalid: unknown
    std::function<void(const QString&)> trace; // each trace() line; null drops them
    std::function<void(const QString&)> fault; // each action block aborted, with why; null logs the first few
    ScriptLimits limits;
    Quality quality = Quality::High; // how render() draws until setQuality changes it
    // The folder the movie's requests for other files resolve against, and
    // that they may not leave; open() sets it to the movie's folder when empty.
    // Empty with fromBytes: the movie can load nothing.
    QString baseFolder;
    // Where SharedObject saves live; empty: $XDG_DATA_HOME/vantrel.
    QString sharedObjectFolder;
    // The file name saves are kept under (open() sets it from the path).
    QString movieName;
    // getURL to a web page: the player decides whether to open it. Null: ignored.
    std::function<void(const QString& url, const QString& window)> openUrl;
    // Video a script plays (NetStream) is decoded ahead on a worker thread,
    // so the frame clock never waits for a picture; a late picture is
    // dropped. Off, pictures are decoded when due: the same on every run.
    bool decodeVideoAhead = false;
    // render() into an image fills on one thread: the painter otherwise hands
    // each large fill to the thread pool in pieces, which draws a frame of
    // large fills sooner on an idle machine but costs more processor time in
    // all (a wake-up and a wait per fill), most of all for many small fills.
    // A player that counts its processor time turns it on.
    bool serialFills = false;
};

class Playback {
public:
    // Sound comes out as this many stereo frames of two 16-bit samples a second.
    static constexpr int AudioRate = 44100;

    // Reads a movie file: FWS, CWS, ZWS, or a projector executable carrying
    // one. The movie comes back showing frame 1, its scripts and sounds run.
    static Result<std::unique_ptr<Playback>> open(const QString& path, const PlaybackOptions& options = {});
    static Result<std::unique_ptr<Playback>> fromBytes(const QByteArray& bytes, const PlaybackOptions& options = {});

    ~Playback();
    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    // Header facts.
    int version() const;
    // Why the movie plays only in part (cut short, a tag past the end);
    // empty when it is whole. Tools print it as a warning; the player says nothing.
    QString damage() const;
    QRectF stageRect() const;     // in pixels (twips / 20); usually starts at 0,0
    double frameRate() const;     // frames per second, never 0 (a 0 header rate reads as 12)
    int frameCount() const;       // frames on the root timeline, at least 1
    QColor backgroundColor() const; // SetBackgroundColor, white until one is seen

    // Timeline. Frames count from 1; currentFrame() is the frame now shown.
    int currentFrame() const;
    // Shows the next frame, looping from the last to the first, and runs what
    // the scripts do after it (frame actions, events, intervals). The script
    // clock (getTimer, intervals) reads `nowMs`, milliseconds since the movie
    // opened; without it, movie time: the frames shown so far at the frame rate.
    void nextFrame();
    void nextFrame(double nowMs);
    void previousFrame(); // show the previous frame exactly as it was (no-op on frame 1)
    void gotoFrame(int frame);
    // Nothing in the movie moves with time: one frame, no scripts, no sound,
    // no video, and no clip, button or text field that could change on its
    // own. Its picture stays as it is until the view changes, so a player
    // need not run a frame clock for it at all.
    bool isStill() const;
    // fscommand("quit") was seen: a run of the movie should end.
    bool quitRequested() const;

    // Draws the stage (background included) with stage pixels mapped through
    // `stageToDevice`. Anything outside the stage rectangle is not clipped here.
    // The painter's anti-aliasing and bitmap smoothing follow quality().
    void render(QPainter& painter, const QTransform& stageToDevice) const;
    // The device pixels that render() through `stageToDevice` into a device
    // of `deviceSize` can draw differently from the frame drawn at the last
    // call: empty when nothing drawn changed, the whole device at the first
    // call and whenever the view, the size or the quality changed. A player
    // repaints only that area, with the painter clipped to it.
    QRegion changedArea(const QTransform& stageToDevice, QSize deviceSize);
    Quality quality() const { return m_quality; }
    void setQuality(Quality quality) { m_quality = quality; }

    // The size the movie is shown at changed: a movie that does not scale hears of it.
    void setViewSize(QSize size);

    // Sound, when opened with it: the next `frames` stereo frames at AudioRate
    // (2 × frames values, left first); silence without sound.
    void mixAudio(std::int16_t* out, int frames);
    // A sound or a stream is playing (with sound on): something can be heard.
    bool soundPlaying() const;
    // The audio clock: stereo frames handed out by mixAudio so far.
    std::int64_t audioFramesMixed() const;
    // Everything falls silent (Stop, or before stepping by hand).
    void stopSound();
    // While suspended, frames that run start no sound: stepping is silent.
    void setSoundSuspended(bool suspended);

    // Frame pacing for a player's timer that ticks several times a frame.
    // startClock times afresh (play, after a pause); framesDue tells how many
    // frames to run now: 0 holds, more than 1 catches up. `heardAudioFrame` is
    // how far the listener has heard mixAudio's output (empty without a
    // device): while a stream sound plays, the sound is the clock.
    void startClock(qint64 nowMs);
    int framesDue(qint64 nowMs, std::optional<std::int64_t> heardAudioFrame);

    Stage& stage();
    // The script machine and the mixer, for tests that look inside; null
    // with scripts, or sound, off.
    avm1::StageScripts* scripts();
    SoundMixer* mixer();

    // Seams for tests that record what the stage hands over: another sound
    // sink (sound definitions are handed over at once) or another script
    // runner, which replaces the movie's own script machine.
    void setSoundSink(SoundSink* sink);
    void setScriptRunner(ScriptRunner* runner);

    // Mouse and keyboard, in stage pixels. `key` is a Qt::Key, `text` what it
    // types. The scripts answer at once (buttons, clip events, listeners).
    void mouseMove(QPointF stagePoint);
    void mouseDown(QPointF stagePoint);
    void mouseUp(QPointF stagePoint);
    void keyDown(int key, QString text);
    void keyUp(int key, QString text);
    // Wheel steps (positive away from the user) for Mouse listeners.
    void mouseWheel(int delta);
    // True while the pointer is over a button (or holds one pressed): show a hand.
    bool cursorIsHand() const;
    // Mouse.hide() is in force: the movie draws its own pointer.
    bool mouseHidden() const;
    InputDispatcher& input();

    // The movie was stopped for good because the system ran out of memory
    // while it played: why, for the player to show. Once set, the movie no
    // longer moves, answers or draws (render shows its background only).
    const std::optional<Error>& failure() const { return m_failure; }

private:
    // Runs one entry point's work; an allocation the system refuses anywhere
    // in the engine stops this movie (failure()) instead of the program.
    template<typename Work>
    void guarded(Work&& work) const;
    explicit Playback(std::unique_ptr<Stage> stage);
    void wire(const PlaybackOptions& options);
    void replayTo(int frame);
    void afterInput();
    std::unique_ptr<Stage> m_stage;
    Quality m_quality = Quality::High;
    bool m_serialFills = false;
    mutable std::unique_ptr<RenderCache> m_renderCache; // morphs by ratio, tinted bitmaps
    std::unique_ptr<FrameChanges> m_changes; // what changedArea compares against
    std::unique_ptr<ObjectRasterizer> m_rasterizer; // the stage's drawing port, over the render cache
    std::unique_ptr<InputDispatcher> m_input;
    // Both refer to the stage and go before it, once it no longer calls them.
    std::unique_ptr<SoundMixer> m_mixer;           // with sound on
    std::unique_ptr<avm1::StageScripts> m_scripts; // with scripts on, for ActionScript 1 and 2
    std::unique_ptr<avm2::StageScripts> m_as3;     // with scripts on, for a movie in ActionScript 3
    std::unique_ptr<FramePacer> m_pacer;
    int m_framesShown = 0; // nextFrame calls, the movie clock
    mutable std::optional<Error> m_failure;
};

} // namespace swf
