#pragma once

// The movie player control `swf`: a widget over the engine's playback facade.
// It owns the playback clock (a timer at the movie's frame rate that runs only
// while playing), fits the stage into its rectangle by the scale mode and the
// relative zoom, and shows in Chinese why a movie could not be opened.

#include "player/PlayerControl.h"
#include "player/ScreenSaverHold.h"

#include "swf/Result.h"

#include <QElapsedTimer>
#include <QImage>
#include <QRegion>
#include <QTimer>
#include <QTransform>
#include <QWidget>

#include <memory>

namespace swf {
class Playback;
}

namespace player {

class AudioDevice;
class AudioSource;

// The text the player area shows for a movie that could not be opened.
QString openFailureText(const swf::Error& error);

// Stage pixels to widget pixels: the scale mode's fit, then the zoom factor
// about the widget's centre (zoom 2 shows the picture twice as large).
QTransform stageTransform(const QRectF& stage, const QSizeF& widget, int scaleMode, double zoom);

class SwfPlayer : public QWidget, public PlayerControl {
    Q_OBJECT

public:
    explicit SwfPlayer(QWidget* parent = nullptr);
    ~SwfPlayer() override;

    void Movie(const QString& path) override;
    void Playing(bool playing) override;
    void Stop() override;
    void Back() override;
    void Forward() override;
    void Zoom(int percent) override;
    void ScaleMode(int mode) override;

    // Container properties, in the form's scale (pixels).
    void setLeft(float value);
    void setTop(float value);
    void setWidth(float value);
    void setHeight(float value);

    QString movie() const { return m_path; }
    bool isPlaying() const { return m_timer.isActive() || m_playingStill; }
    bool hasMovie() const { return m_movie != nullptr; }
    int currentFrame() const;
    double zoomFactor() const { return m_zoom; }
    int scaleMode() const { return m_scaleMode; }
    QString errorText() const { return m_error; }
    QTransform viewTransform() const;
    // The screen saver is held off: a movie plays, has been heard lately, and
    // its window is not minimised.
    bool holdsScreenSaver() const { return m_saverHold.isHeld(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    // Mouse and keys go to the movie: buttons, clip events, Key and Mouse.
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Watches the window for minimising (the screen-saver hold follows it).
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void advance();
    // The movie failed while playing: unload it and show why. True if it did.
    bool stopOnFailure();
    void startClock();
    void stopClock();
    void unloadMovie();
    // Once the movie sounds, opens the sound device (loading its module the
    // first time); a movie that never sounds never opens one.
    void startSound();
    QPointF toStage(const QPointF& widgetPoint) const;
    void afterInput();
    // Repaints the part of the picture the movie's last steps changed: nothing
    // when nothing drawn moved, all of it after a change of view.
    void showChanges();
    // Brings the kept picture up to date: redraws into it what changed since
    // it was last drawn, all of it after a change of size.
    void updateSaverHold();

    // The movie with its scripts and its sound; a stream sound paces its frames.
    std::unique_ptr<swf::Playback> m_movie;
    QElapsedTimer m_sinceLoad;
    QString m_path;
    QString m_error;
    QTimer m_timer;
    // Playing a movie in which nothing moves with time: the clock is not run.
    bool m_playingStill = false;
    // The movie's picture as last drawn. Painting copies from it, so a window
    // uncovered or a region painted twice costs a copy, not a drawing; and
    // drawing into an image lets the engine fill on one thread.
    double m_zoom = 1.0;
    int m_scaleMode = 0;
    ScreenSaverHold m_saverHold;
    qint64 m_lastHeardMs = -1; // m_sinceLoad time a sound last played; -1: none yet
    // Plays the movie's sound (silent without a device); it pulls from the
    // movie, so unloadMovie drops it first. Opened when the movie first
    // sounds (startSound): the sound module is loaded only then.
    std::unique_ptr<AudioSource> m_audioSource;
    std::unique_ptr<AudioDevice> m_audio;
    bool m_audioTried = false;
};

} // namespace player
