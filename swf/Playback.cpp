#include "swf/Playback.h"

#include "swf/audio/FramePacer.h"
#include "swf/audio/SoundMixer.h"
#include "swf/avm1/builtins/LoadRequests.h"
#include "swf/avm1/stage/MovieLoading.h"
#include "swf/avm1/stage/StageScripts.h"
#include "swf/avm2/display/StageScripts.h"
#include "swf/format/TagCodes.h"
#include "swf/movie/Character.h"
#include "swf/movie/Movie.h"
#include "swf/io/TextCodec.h"
#include "swf/render/FrameChanges.h"
#include "swf/render/ObjectRasterizer.h"
#include "swf/render/RenderCache.h"
#include "swf/render/Renderer.h"
#include "swf/render/SerialFills.h"
#include "swf/runtime/Input.h"
#include "swf/runtime/ScriptRunner.h"
#include "swf/runtime/Stage.h"
#include "swf/video/FlvPlayback.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <algorithm>
#include <new>
#include <stdexcept>

namespace swf {

static_assert(Playback::AudioRate == SoundMixer::OutputRate);

namespace {

// The script machine with the caller's report of aborted blocks in place of the log.
class OwnScripts final : public avm1::StageScripts {
public:
    OwnScripts(Stage& stage, const PlaybackOptions& options)
        : StageScripts(stage), m_fault(options.fault), m_openUrl(options.openUrl)
    {
        m_loads.loader().setRoot(options.baseFolder);
        m_loads.setBaseFolder(options.baseFolder);
        m_loads.loader().setLog([this](const QString& line) { scriptFault(line); });
        m_loads.setSaveFolder(options.sharedObjectFolder, options.movieName);
        avm1::attachLoadQueue(interpreter(), &m_loads);
        m_movies.loader().setRoot(options.baseFolder);
        m_movies.setBaseFolder(options.baseFolder);
        m_movies.loader().setLog([this](const QString& line) { scriptFault(line); });
        m_movies.setHoldOne(true);
        avm1::attachMovieQueue(interpreter(), &m_movies);
        avm1::installMovieLoading(interpreter());
    }
    ~OwnScripts() override
    {
        // Saves are written when the movie ends, flushed or not.
        avm1::flushSharedObjects(interpreter());
        avm1::attachLoadQueue(interpreter(), nullptr);
        avm1::attachMovieQueue(interpreter(), nullptr);
        avm1::forgetMovieLoads(interpreter());
    }
    // Movies asked for arrive after the stage ticked, before the frame's scripts run.
    void pumpMovies()
    {
        if (!quitRequested())
            m_movies.pump(interpreter());
    }
    void loadMovie(avm1::Object* target, int level, const QString& url, int) override
    {
        avm1::requestMovie(*this, target, level, url, nullptr);
    }
    void loadVariables(avm1::Object* target, int level, const QString& url, int) override
    {
        avm1::requestVariables(*this, target, level, url);
    }
    void getURL(const QString& url, const QString& window, int) override
    {
        // Scripts are never run from a page: javascript: goes nowhere.
        if (url.startsWith(QLatin1String("javascript:"), Qt::CaseInsensitive) || !m_openUrl)
            return;
        m_openUrl(url, window);
    }
    void scriptFault(const QString& what) override
    {
        if (m_fault)
            m_fault(what);
        else
            StageScripts::scriptFault(what);
    }

private:
    std::function<void(const QString&)> m_fault;
    std::function<void(const QString&, const QString&)> m_openUrl;
    avm1::LoadQueue m_loads;
    avm1::LoadQueue m_movies;
};

} // namespace

template<typename Work>
void Playback::guarded(Work&& work) const
{
    if (m_failure)
        return;
    // Strings decoded while the movie plays (its scripts, text it loads)
    // read in the movie's own code page.
    const LegacyCodePageScope codePage(m_stage->movie().codePage());
    try {
        work();
    } catch (const std::bad_alloc&) {
        m_failure = Error { ErrorKind::TooLarge, QStringLiteral("the movie ran out of memory and was stopped"), -1 };
    } catch (const std::length_error&) {
        m_failure = Error { ErrorKind::TooLarge, QStringLiteral("the movie asked for an object too large to make and was stopped"), -1 };
    }
}

Playback::Playback(std::unique_ptr<Stage> stage)
    : m_stage(std::move(stage))
    , m_renderCache(std::make_unique<RenderCache>())
    , m_changes(std::make_unique<FrameChanges>())
    , m_rasterizer(std::make_unique<ObjectRasterizer>(*m_stage, *m_renderCache))
    , m_input(std::make_unique<InputDispatcher>(*m_stage))
    , m_pacer(std::make_unique<FramePacer>(m_stage->movie().frameRate()))
{
}

// FileAttributes says which machine the movie's scripts are written for.
static bool declaresActionScript3(const Movie& movie)
{
    for (const ControlTag& tag : movie.root().frames.front()) {
        if (tag.code == TagFileAttributes && !tag.body.isEmpty())
            return (std::uint8_t(tag.body[0]) & 0x08) != 0;
    }
    return false;
}

Playback::~Playback()
{
    // Saves are written when the movie ends, flushed or not.
    if (m_as3)
        avm2::flushSharedObjects(m_as3->machine());
    m_stage->setScriptRunner(nullptr);
    m_stage->setSoundSink(nullptr);
    m_stage->setRasterizer(nullptr);
}

Result<std::unique_ptr<Playback>> Playback::open(const QString& path, const PlaybackOptions& options)
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
    PlaybackOptions own = options;
    const QFileInfo info(path);
    if (own.baseFolder.isEmpty())
        own.baseFolder = info.absolutePath();
    if (own.movieName.isEmpty())
        own.movieName = info.fileName();
    return fromBytes(bytes, own);
}

Result<std::unique_ptr<Playback>> Playback::fromBytes(const QByteArray& bytes, const PlaybackOptions& options)
{
    std::unique_ptr<Playback> playback;
    try {
        auto movie = SWF_TRY(Movie::load(bytes));
        auto stage = std::make_unique<Stage>(std::move(movie));
        playback.reset(new Playback(std::move(stage)));
    } catch (const std::bad_alloc&) {
        return Error { ErrorKind::TooLarge, QStringLiteral("not enough memory to load the movie"), -1 };
    } catch (const std::length_error&) {
        return Error { ErrorKind::TooLarge, QStringLiteral("the movie declares an object too large to make"), -1 };
    }
    // Frame 1 runs here: a movie that runs out of memory at once fails to open.
    playback->guarded([&] { playback->wire(options); });
    if (playback->m_failure)
        return *playback->m_failure;
    return playback;
}

void Playback::wire(const PlaybackOptions& options)
{
    m_quality = options.quality;
    m_serialFills = options.serialFills;
    setVideoDecodeAhead(options.decodeVideoAhead);
    // Everything that listens is attached before frame 1 is built, so frame
    // 1's actions and sounds run exactly once and are heard.
    m_stage->setRasterizer(m_rasterizer.get());
    if (options.sound) {
        m_mixer = std::make_unique<SoundMixer>();
        m_mixer->exportNames(m_stage->movie().exports().entries()); // the names StartSound2 uses
        m_stage->setSoundSink(m_mixer.get());
    }
    if (options.scripts && declaresActionScript3(m_stage->movie())) {
        m_as3 = std::make_unique<avm2::StageScripts>(*m_stage);
        m_as3->machine().setLimits({ options.limits.actionsPerBlock, options.limits.actionsPerFrame, options.limits.maxCallDepth });
        m_as3->machine().setMemoryLimit(options.limits.memoryBytes);
        m_as3->setTraceSink(options.trace);
        m_as3->setFaultSink(options.fault);
        avm2::setSaveFolder(m_as3->machine(), options.sharedObjectFolder, options.movieName);
        m_stage->setScriptRunner(m_as3.get());
    } else if (options.scripts) {
        m_scripts = std::make_unique<OwnScripts>(*m_stage, options);
        avm1::Interpreter& vm = m_scripts->interpreter();
        vm.setActionBudget(options.limits.actionsPerBlock);
        vm.setFrameBudget(options.limits.actionsPerFrame);
        vm.setMaxCallDepth(options.limits.maxCallDepth);
        vm.setMemoryLimit(options.limits.memoryBytes);
        m_scripts->setTraceSink(options.trace);
        if (options.viewSize.isValid())
            m_scripts->setViewSize(options.viewSize.width(), options.viewSize.height());
        m_stage->setScriptRunner(m_scripts.get());
    }
    m_stage->begin();
    if (m_scripts)
        m_scripts->flush();
    if (m_as3)
        m_as3->afterFrame();
}

int Playback::version() const { return m_stage->movie().version(); }

QString Playback::damage() const { return m_stage->movie().damage(); }

QRectF Playback::stageRect() const { return m_stage->movie().stageTwips().toPixels(); }

double Playback::frameRate() const { return m_stage->movie().frameRate(); }

int Playback::frameCount() const { return m_stage->root().frameCount(); }

namespace {

// Whether a timeline, and every character it places, draws the same at any
// time: one frame at most, no tags that run scripts or sound, only shapes,
// morph shapes (held at their ratio), bitmaps, static texts and still clips.
bool isStillTimeline(const Movie& movie, const TimelineDef& timeline, int depth)
{
    if (timeline.frameCount() > 1 || depth > 32)
        return false;
    for (const auto& frame : timeline.frames) {
        for (const ControlTag& tag : frame) {
            switch (tag.code) {
            case TagDoAction:
            case TagDoInitAction:
            case TagDoAbc:
            case TagDoAbcDefine:
            case TagStartSound:
            case TagSoundStreamHead:
            case TagSoundStreamBlock:
            case TagVideoFrame:
                return false;
            default:
                break;
            }
            if (!tag.place)
                continue;
            if (!tag.place->clipActions.empty())
                return false;
            if (!tag.place->characterId)
                continue;
            const Character* character = movie.character(*tag.place->characterId);
            if (!character)
                continue;
            switch (character->kind) {
            case CharacterKind::Shape:
            case CharacterKind::MorphShape:
            case CharacterKind::Bitmap:
            case CharacterKind::Text:
            case CharacterKind::Font:
                break;
            case CharacterKind::Sprite:
                if (!isStillTimeline(movie, static_cast<const SpriteDef*>(character)->timeline, depth + 1))
                    return false;
                break;
            default: // buttons, text fields, video, sounds: may change on their own or run scripts
                return false;
            }
        }
    }
    return true;
}

} // namespace

bool Playback::isStill() const
{
    if (m_failure)
        return true;
    const Movie& movie = m_stage->movie();
    return m_stage->levels().empty() && !soundPlaying() && isStillTimeline(movie, movie.root(), 0);
}

QColor Playback::backgroundColor() const { return m_stage->backgroundColor(); }

int Playback::currentFrame() const { return m_stage->root().currentFrame(); }

void Playback::nextFrame()
{
    const double frameMs = 1000.0 / frameRate();
    nextFrame((m_framesShown + 1) * frameMs);
}

void Playback::nextFrame(double nowMs)
{
    guarded([&] {
        ++m_framesShown;
        m_stage->tick();
        if (m_scripts) {
            static_cast<OwnScripts*>(m_scripts.get())->pumpMovies();
            m_scripts->afterTick(nowMs);
        }
        if (m_as3)
            m_as3->afterFrame();
    });
}

bool Playback::quitRequested() const { return m_scripts && m_scripts->quitRequested(); }

void Playback::previousFrame()
{
    int frame = currentFrame();
    if (frame > 1)
        guarded([&] { replayTo(frame - 1); });
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
    guarded([&] {
        if (frame < currentFrame())
            replayTo(frame);
        // Step like the clock does, so nested sprites stand where playing would leave them.
        for (int guard = frameCount(); currentFrame() < frame && guard > 0; --guard)
            m_stage->tick();
    });
}

void Playback::render(QPainter& painter, const QTransform& stageToDevice) const
{
    const bool high = m_quality == Quality::High;
    painter.setRenderHint(QPainter::Antialiasing, high);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, high);
    const auto draw = [&] {
        guarded([&] {
            Renderer renderer(*m_stage, *m_renderCache);
            renderer.render(painter, stageToDevice);
        });
    };
    if (m_serialFills)
        runWithSerialFills(painter.device(), draw);
    else
        draw();
}

QRegion Playback::changedArea(const QTransform& stageToDevice, QSize deviceSize)
{
    QRegion area(QRect(QPoint(0, 0), deviceSize));
    const bool stopped = m_failure.has_value();
    guarded([&] { area = m_changes->changedArea(*m_stage, stageToDevice, deviceSize, int(m_quality)); });
    if (m_failure && !stopped)
        return QRegion(QRect(QPoint(0, 0), deviceSize)); // stopped just now: shows its background only
    return area;
}

void Playback::setViewSize(QSize size)
{
    if (!m_scripts)
        return;
    guarded([&] {
        m_scripts->setViewSize(size.width(), size.height());
        m_scripts->flush();
    });
}

void Playback::mixAudio(std::int16_t* out, int frames)
{
    if (m_mixer && !m_failure)
        m_mixer->mix(out, frames);
    else
        std::fill(out, out + 2 * std::max(frames, 0), std::int16_t(0));
}

bool Playback::soundPlaying() const
{
    return m_mixer && (m_mixer->activeVoices() > 0 || m_mixer->streamPlaying());
}

std::int64_t Playback::audioFramesMixed() const { return m_mixer ? m_mixer->framesMixed() : 0; }

void Playback::stopSound()
{
    if (m_mixer)
        m_mixer->stopAll();
}

void Playback::setSoundSuspended(bool suspended)
{
    if (m_mixer)
        m_mixer->setSuspended(suspended);
}

void Playback::startClock(qint64 nowMs) { m_pacer->restart(nowMs); }

int Playback::framesDue(qint64 nowMs, std::optional<std::int64_t> heardAudioFrame)
{
    std::optional<double> heard;
    if (m_mixer && heardAudioFrame)
        heard = m_mixer->streamFrameAt(*heardAudioFrame);
    // Without a stream sound the wall clock and the frame rate rule.
    return m_pacer->framesToRun(nowMs, currentFrame(), heard);
}

void Playback::setSoundSink(SoundSink* sink)
{
    if (m_mixer && sink != m_mixer.get()) {
        m_stage->setSoundSink(nullptr);
        m_mixer.reset();
    }
    m_stage->setSoundSink(sink);
}

void Playback::setScriptRunner(ScriptRunner* runner)
{
    m_stage->setScriptRunner(runner);
    if (m_scripts && runner != m_scripts.get())
        m_scripts.reset();
    if (m_as3 && runner != m_as3.get()) {
        avm2::flushSharedObjects(m_as3->machine());
        m_as3.reset();
    }
}

Stage& Playback::stage() { return *m_stage; }

avm1::StageScripts* Playback::scripts() { return m_scripts.get(); }

SoundMixer* Playback::mixer() { return m_mixer.get(); }

void Playback::afterInput()
{
    // Button and clip-event actions queued by the input run now, not a frame later.
    if (m_scripts)
        m_scripts->flush();
}

void Playback::mouseMove(QPointF stagePoint)
{
    guarded([&] {
        m_input->mouseMove(stagePoint);
        afterInput();
    });
}

void Playback::mouseDown(QPointF stagePoint)
{
    guarded([&] {
        m_input->mouseDown(stagePoint);
        afterInput();
    });
}

void Playback::mouseUp(QPointF stagePoint)
{
    guarded([&] {
        m_input->mouseUp(stagePoint);
        afterInput();
    });
}

void Playback::keyDown(int key, QString text)
{
    guarded([&] {
        m_input->keyDown(key, text);
        afterInput();
    });
}

void Playback::keyUp(int key, QString text)
{
    guarded([&] {
        m_input->keyUp(key, text);
        afterInput();
    });
}

void Playback::mouseWheel(int delta)
{
    guarded([&] {
        m_input->mouseWheel(delta);
        afterInput();
    });
}

bool Playback::cursorIsHand() const { return m_input->cursorIsHand(); }

bool Playback::mouseHidden() const { return m_scripts && m_scripts->mouseHidden(); }

InputDispatcher& Playback::input() { return *m_input; }

} // namespace swf
