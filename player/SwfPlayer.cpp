#include "player/SwfPlayer.h"
#include "player/WebPagePrompt.h"

#include "app/Controls.h"
#include "app/Runtime.h"
#include "app/TestHooks.h"
#include "swf/Playback.h"
#include "player/AudioModule.h"
#include "player/MovieSound.h"

#include <QDateTime>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <optional>

namespace player {

namespace {

// Accumulated zoom stays within these factors so the view can never collapse
// or overflow, however often the user clicks.
constexpr double kMinZoom = 1.0 / 1024.0;
constexpr double kMaxZoom = 1024.0;

// After this long without a sound a playing movie lets the screen saver run:
// a silent game is played with the keyboard and mouse, which wake it anyway.
constexpr qint64 kSilenceReleasesSaverMs = 60000;

// Timer ticks per movie frame while playing (see startClock).
constexpr double kTicksPerFrame = 8.0;
// One timer tick runs frames for at most this many frame periods (and never
// less than a few tenths of a second) before it goes back to the event loop;
// the catch-up frames left over are dropped, so the window always answers.
constexpr double kFramesOfWorkPerTick = 3.0;
constexpr qint64 kMinWorkPerTickMs = 200;

void logCall(const char* member, const QString& argument = QString())
{
    vantrel::testhooks::log({ QStringLiteral("player"), QString::fromLatin1(member), argument });
}

QString reasonText(swf::ErrorKind kind)
{
    switch (kind) {
    case swf::ErrorKind::FileNotFound: return QStringLiteral("找不到该文件，或没有读取它的权限。");
    case swf::ErrorKind::NotAMovie: return QStringLiteral("这个文件不是影片文件（.swf）。");
    case swf::ErrorKind::Truncated: return QStringLiteral("文件不完整，数据在中途结束。");
    case swf::ErrorKind::Corrupt: return QStringLiteral("文件已损坏，其中的数据自相矛盾。");
    case swf::ErrorKind::Unsupported: return QStringLiteral("影片使用了本播放器不支持的格式。");
    case swf::ErrorKind::TooLarge: return QStringLiteral("影片太大，超出了本播放器允许的大小。");
    }
    return QStringLiteral("未知错误。");
}

} // namespace

QString openFailureText(const swf::Error& error)
{
    return QStringLiteral("无法打开影片文件：") + reasonText(error.kind);
}

QTransform stageTransform(const QRectF& stage, const QSizeF& widget, int scaleMode, double zoom)
{
    QTransform fit;
    if (stage.width() > 0 && stage.height() > 0 && widget.width() > 0 && widget.height() > 0) {
        double sx = widget.width() / stage.width();
        double sy = widget.height() / stage.height();
        switch (scaleMode) {
        case 1: sx = sy = std::max(sx, sy); break; // no border: fill, crop the rest
        case 2: break;                             // exact fit: stretch both ways
        case 3: sx = sy = 1.0; break;              // no scale
        default: sx = sy = std::min(sx, sy); break; // show all
        }
        // Centre the scaled stage in the widget.
        const double dx = (widget.width() - stage.width() * sx) / 2.0 - stage.x() * sx;
        const double dy = (widget.height() - stage.height() * sy) / 2.0 - stage.y() * sy;
        fit = QTransform(sx, 0, 0, sy, dx, dy);
    }
    const QPointF centre(widget.width() / 2.0, widget.height() / 2.0);
    QTransform zoomAbout;
    zoomAbout.translate(centre.x(), centre.y());
    zoomAbout.scale(zoom, zoom);
    zoomAbout.translate(-centre.x(), -centre.y());
    return fit * zoomAbout;
}

SwfPlayer::SwfPlayer(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("swf"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true); // buttons light up under a pointer that moves without pressing
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SwfPlayer::advance);
}

SwfPlayer::~SwfPlayer()
{
    unloadMovie();
}

void SwfPlayer::unloadMovie()
{
    stopClock();
    m_lastHeardMs = -1;
    updateSaverHold();
    m_audio.reset();
    m_audioSource.reset();
    m_audioTried = false;
    m_movie.reset();
}

void SwfPlayer::Movie(const QString& path)
{
    logCall("Movie", path);
    unloadMovie();
    m_zoom = 1.0;
    m_path = path;
    m_error.clear();
    if (path.isEmpty()) {
        update();
        return;
    }
    // The movie's scripts and sounds run from its first frame on.
    swf::PlaybackOptions options;
    options.sound = true;
    options.viewSize = size();
    options.decodeVideoAhead = true; // a picture decoded late must not hold the frames back
    options.serialFills = true; // the player counts processor time, not a frame's latency
    // A getURL arrives in the middle of a frame: the question waits until the frame is done.
    options.openUrl = [this](const QString& url, const QString&) {
        if (isWebPage(url))
            QTimer::singleShot(0, this, [this, url] { askToOpenWebPage(this, url); });
    };
    auto opened = swf::Playback::open(path, options);
    if (!opened.ok()) {
        m_error = openFailureText(opened.error());
        update();
        const int number = opened.error().kind == swf::ErrorKind::FileNotFound ? 53 : 321;
        throw forms::RuntimeError(number, m_error);
    }
    m_movie = opened.release();
    startSound(); // a sound started by frame 1
    m_sinceLoad.start();
    // The control's stored Play setting is on: a newly loaded movie plays.
    startClock();
    updateSaverHold(); // a sound started by frame 1 is heard from the start
    showChanges();
}

void SwfPlayer::Playing(bool playing)
{
    logCall("Playing", playing ? QStringLiteral("true") : QStringLiteral("false"));
    if (playing) {
        startClock();
    } else {
        stopClock();
        if (m_movie)
            m_movie->stopSound();
    }
    updateSaverHold();
}

void SwfPlayer::Stop()
{
    logCall("Stop");
    stopClock();
    if (m_movie)
        m_movie->stopSound();
    updateSaverHold();
}

void SwfPlayer::Back()
{
    logCall("Back");
    stopClock();
    updateSaverHold();
    if (m_movie)
        m_movie->stopSound(); // stepping is silent
    if (m_movie && m_movie->currentFrame() > 1) {
        m_movie->previousFrame();
        showChanges();
    }
    vantrel::testhooks::log({ QStringLiteral("frame"), QString::number(currentFrame()) });
}

void SwfPlayer::Forward()
{
    logCall("Forward");
    stopClock();
    updateSaverHold();
    // Stepping stops at the last frame; only playback loops.
    if (m_movie) {
        m_movie->stopSound(); // stepping is silent
        m_movie->setSoundSuspended(true);
    }
    if (m_movie && m_movie->currentFrame() < m_movie->frameCount()) {
        m_movie->nextFrame(double(m_sinceLoad.elapsed()));
        showChanges();
    }
    if (m_movie)
        m_movie->setSoundSuspended(false);
    vantrel::testhooks::log({ QStringLiteral("frame"), QString::number(currentFrame()) });
}

void SwfPlayer::Zoom(int percent)
{
    logCall("Zoom", QString::number(percent));
    if (percent == 0)
        m_zoom = 1.0;
    else if (percent > 0)
        m_zoom = std::clamp(m_zoom * 100.0 / percent, kMinZoom, kMaxZoom);
    else
        throw forms::errors::invalidProcedureCall();
    update();
}

void SwfPlayer::ScaleMode(int mode)
{
    logCall("ScaleMode", QString::number(mode));
    if (mode < 0 || mode > 3)
        throw forms::errors::invalidPropertyValue();
    m_scaleMode = mode;
    update();
}

void SwfPlayer::setLeft(float value) { forms::setControlLeft(this, value); }
void SwfPlayer::setTop(float value) { forms::setControlTop(this, value); }
void SwfPlayer::setWidth(float value) { forms::setControlWidth(this, value); }
void SwfPlayer::setHeight(float value) { forms::setControlHeight(this, value); }

int SwfPlayer::currentFrame() const
{
    return m_movie ? m_movie->currentFrame() : 0;
}

QTransform SwfPlayer::viewTransform() const
{
    if (!m_movie)
        return {};
    return stageTransform(m_movie->stageRect(), QSizeF(size()), m_scaleMode, m_zoom);
}

void SwfPlayer::startClock()
{
    if (!m_movie)
        return;
    // The timer ticks several times per frame and the pacer decides on each
    // tick whether a frame is due, so that a stream sound can hold or skip
    // frames with a fine grain instead of a whole frame late.
    const double rate = std::max(m_movie->frameRate(), 0.01);
    m_movie->startClock(QDateTime::currentMSecsSinceEpoch());
    if (m_movie->isStill()) {
        // Frames would show the same picture and run nothing: the window
        // is not woken for them.
        m_playingStill = true;
        return;
    }
    m_timer.setInterval(std::clamp(int(std::lround(1000.0 / rate / kTicksPerFrame)), 2, 100000));
    m_timer.start();
}

void SwfPlayer::stopClock()
{
    m_timer.stop();
    m_playingStill = false;
}

void SwfPlayer::startSound()
{
    if (m_audio || m_audioTried || !m_movie || !m_movie->soundPlaying())
        return;
    m_audioTried = true; // one try a movie: without a module or device it plays silent
    m_audioSource = std::make_unique<MovieSound>(*m_movie);
    m_audio = AudioModule::createDevice(*m_audioSource, swf::Playback::AudioRate);
    if (m_audio)
        m_audio->start(); // false without a device: the movie plays on, silent
}

void SwfPlayer::advance()
{
    if (!m_movie) {
        stopClock();
        return;
    }
    // While a stream sound is heard it sets the pace: frames are held while
    // the picture is ahead and skipped when it fell behind.
    std::optional<std::int64_t> heard;
    startSound();
    if (m_audio)
        heard = m_audio->framesPlayed();
    const int frames = m_movie->framesDue(QDateTime::currentMSecsSinceEpoch(), heard);
    const qint64 allowedMs = std::max(kMinWorkPerTickMs, qint64(kFramesOfWorkPerTick * 1000.0 / std::max(m_movie->frameRate(), 0.01)));
    QElapsedTimer work;
    work.start();
    for (int i = 0; i < frames && !m_movie->failure(); ++i) {
        m_movie->nextFrame(double(m_sinceLoad.elapsed()));
        if (i + 1 < frames && work.elapsed() > allowedMs) {
            m_movie->startClock(QDateTime::currentMSecsSinceEpoch()); // the rest are dropped
            break;
        }
    }
    if (stopOnFailure())
        return;
    if (frames > 0) {
        showChanges();
        updateSaverHold();
    }
}

void SwfPlayer::updateSaverHold()
{
    const bool playing = m_movie && isPlaying();
    const qint64 now = m_sinceLoad.isValid() ? m_sinceLoad.elapsed() : 0;
    if (playing && m_movie->soundPlaying())
        m_lastHeardMs = now;
    const bool heardLately = m_lastHeardMs >= 0 && now - m_lastHeardMs < kSilenceReleasesSaverMs;
    const bool minimised = window()->isMinimized();
    m_saverHold.setHeld(playing && heardLately && !minimised);
}

void SwfPlayer::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (window() != this)
        window()->installEventFilter(this);
    updateSaverHold();
}

bool SwfPlayer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window() && event->type() == QEvent::WindowStateChange)
        updateSaverHold();
    return QWidget::eventFilter(watched, event);
}

bool SwfPlayer::stopOnFailure()
{
    if (!m_movie || !m_movie->failure())
        return false;
    // The engine stopped this movie (it ran out of memory): say why in its place.
    m_error = QStringLiteral("影片已停止：内存不足。");
    unloadMovie();
    update();
    return true;
}

void SwfPlayer::paintEvent(QPaintEvent*)
{
    // The player benchmark counts the pictures shown through the test log.
    static const bool logPaints = qEnvironmentVariable("VANTREL_TEST_PAINTS") == QLatin1String("1");
    if (logPaints)
        vantrel::testhooks::log({ QStringLiteral("painted") });
    QPainter painter(this);
    if (!m_movie) {
        painter.fillRect(rect(), Qt::white);
        if (!m_error.isEmpty()) {
            painter.setPen(QColor(96, 0, 0));
            painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, m_error);
        }
        return;
    }
    // Straight onto the window, clipped to what Qt asks to repaint: the
    // movie reports what changed (showChanges), so a frame repaints only that.
    // A kept picture copied to the window cost more processor time than it
    // saved (a racing game: 6 % of a core drawn straight, 17 % kept).
    // The movie's background fills the whole control, as around a stage
    // that does not fill it.
    painter.fillRect(rect(), m_movie->backgroundColor());
    m_movie->render(painter, viewTransform());
}

QPointF SwfPlayer::toStage(const QPointF& widgetPoint) const
{
    bool invertible = false;
    const QTransform toStage = viewTransform().inverted(&invertible);
    return invertible ? toStage.map(widgetPoint) : QPointF(-1e9, -1e9);
}

void SwfPlayer::afterInput()
{
    // The movie has run the button and clip-event actions the input queued.
    // A movie that hid the pointer (Mouse.hide) draws its own.
    if (m_movie && m_movie->mouseHidden())
        setCursor(Qt::BlankCursor);
    else
        setCursor(m_movie && m_movie->cursorIsHand() ? Qt::PointingHandCursor : Qt::ArrowCursor);
    showChanges();
}

void SwfPlayer::showChanges()
{
    if (!m_movie) {
        update();
        return;
    }
    // Every change of the movie's state passes through here, so the area the
    // movie reports covers all that differs from what the window shows.
    const QRegion area = m_movie->changedArea(viewTransform(), size());
    if (!area.isEmpty()) {
        update(area);
    }
}

void SwfPlayer::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_movie)
        return;
    m_movie->mouseMove(toStage(event->position()));
    afterInput();
}

void SwfPlayer::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    if (!m_movie || event->button() != Qt::LeftButton)
        return;
    m_movie->mouseDown(toStage(event->position()));
    afterInput();
}

void SwfPlayer::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_movie || event->button() != Qt::LeftButton)
        return;
    m_movie->mouseUp(toStage(event->position()));
    afterInput();
}

void SwfPlayer::keyPressEvent(QKeyEvent* event)
{
    if (!m_movie) {
        QWidget::keyPressEvent(event);
        return;
    }
    m_movie->keyDown(event->key(), event->text());
    afterInput();
}

void SwfPlayer::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // A movie that does not scale hears of its new stage size (Stage.onResize).
    if (m_movie)
        m_movie->setViewSize(size());
}

void SwfPlayer::wheelEvent(QWheelEvent* event)
{
    if (!m_movie) {
        QWidget::wheelEvent(event);
        return;
    }
    // One notch of a wheel is 120 eighths of a degree; the movie hears three lines a notch.
    const int steps = event->angleDelta().y() * 3 / 120;
    if (steps != 0) {
        m_movie->mouseWheel(steps);
        afterInput();
    }
    event->accept();
}

void SwfPlayer::keyReleaseEvent(QKeyEvent* event)
{
    if (!m_movie || event->isAutoRepeat()) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    m_movie->keyUp(event->key(), event->text());
    afterInput();
}

} // namespace player
