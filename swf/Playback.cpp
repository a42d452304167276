#include "swf/Playback.h"

#include "swf/render/RenderCache.h"
#include "swf/render/Renderer.h"
#include "swf/runtime/Input.h"
#include "swf/runtime/ScriptRunner.h"
#include "swf/runtime/Stage.h"

#include <QFile>
#include <QPainter>

namespace swf {

Playback::Playback(std::unique_ptr<Stage> stage)
    : m_stage(std::move(stage))
    , m_renderCache(std::make_unique<RenderCache>())
    , m_input(std::make_unique<InputDispatcher>(*m_stage))
{
}

Playback::~Playback() = default;

Result<std::unique_ptr<Playback>> Playback::open(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Error { ErrorKind::FileNotFound, QStringLiteral("cannot open %1: %2").arg(path, file.errorString()), -1 };
    // Projectors carry the movie at the end of an executable; neither may be huge.
    if (file.size() > 2 * MaxMovieFileBytes)
        return Error { ErrorKind::TooLarge, QStringLiteral("file larger than %1 bytes").arg(2 * MaxMovieFileBytes), -1 };
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Error { ErrorKind::FileNotFound, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()), -1 };
    return fromBytes(bytes);
}

Result<std::unique_ptr<Playback>> Playback::fromBytes(const QByteArray& bytes)
{
    auto movie = SWF_TRY(Movie::load(bytes));
    auto stage = std::make_unique<Stage>(std::move(movie));
    return std::unique_ptr<Playback>(new Playback(std::move(stage)));
}

int Playback::version() const { return m_stage->movie().version(); }

QRectF Playback::stageRect() const { return m_stage->movie().stageTwips().toPixels(); }

double Playback::frameRate() const { return m_stage->movie().frameRate(); }

int Playback::frameCount() const { return m_stage->root().frameCount(); }

QColor Playback::backgroundColor() const { return m_stage->backgroundColor(); }

int Playback::currentFrame() const { return m_stage->root().currentFrame(); }

void Playback::nextFrame() { m_stage->tick(); }

void Playback::previousFrame()
{
    int frame = currentFrame();
    if (frame > 1)
        replayTo(frame - 1);
}

void Playback::replayTo(int frame)
{
    // The replay destroys every instance without the usual goodbyes: the
    // script side lets go of them all first.
    if (ScriptRunner* runner = m_stage->scriptRunner())
        runner->stageRestarting();
    m_stage->replayTo(frame);
}

void Playback::gotoFrame(int frame)
{
    frame = std::clamp(frame, 1, frameCount());
    if (frame < currentFrame())
        replayTo(frame);
    // Step like the clock does, so nested sprites stand where playing would leave them.
    for (int guard = frameCount(); currentFrame() < frame && guard > 0; --guard)
        m_stage->tick();
}

void Playback::render(QPainter& painter, const QTransform& stageToDevice) const
{
    Renderer renderer(*m_stage, *m_renderCache);
    renderer.render(painter, stageToDevice);
}

void Playback::setSoundSink(SoundSink* sink) { m_stage->setSoundSink(sink); }

void Playback::setScriptRunner(ScriptRunner* runner) { m_stage->setScriptRunner(runner); }

Stage& Playback::stage() { return *m_stage; }

void Playback::mouseMove(QPointF stagePoint) { m_input->mouseMove(stagePoint); }

void Playback::mouseDown(QPointF stagePoint) { m_input->mouseDown(stagePoint); }

void Playback::mouseUp(QPointF stagePoint) { m_input->mouseUp(stagePoint); }

void Playback::keyDown(int key, QString text) { m_input->keyDown(key, text); }

void Playback::keyUp(int key, QString text) { m_input->keyUp(key, text); }

void Playback::mouseWheel(int delta) { m_input->mouseWheel(delta); }

bool Playback::cursorIsHand() const { return m_input->cursorIsHand(); }

InputDispatcher& Playback::input() { return *m_input; }

} // namespace swf
