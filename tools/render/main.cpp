// vantrel-render MOVIE --frame N --out OUT.png [--size WxH] [--quality low|high] [--audio OUT.wav]
// Shows N frames of the movie (N = 1 is the first) and writes the stage as a PNG,
// at the stage's pixel size or at WxH with the whole stage shown (aspect kept, centred).
// With --audio, also writes the sound mixed while those N frames ran, in movie time.

#include "RenderOptions.h"

#include "swf/Playback.h"
#include "swf/audio/SoundMixer.h"
#include "swf/audio/WavWriter.h"
#include "swf/runtime/Stage.h"
#include "swf/avm1/stage/StageScripts.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdio>

namespace {

QTransform showAll(const QRectF& stage, const QSize& target)
{
    if (stage.width() <= 0 || stage.height() <= 0)
        return QTransform();
    double scale = std::min(target.width() / stage.width(), target.height() / stage.height());
    double dx = (target.width() - stage.width() * scale) / 2 - stage.left() * scale;
    double dy = (target.height() - stage.height() * scale) / 2 - stage.top() * scale;
    return QTransform(scale, 0, 0, scale, dx, dy);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QString error;
    auto options = parseRenderOptions(app.arguments().mid(1), error);
    if (!options) {
        std::fprintf(stderr, "vantrel-render: %s\n", qPrintable(error));
        return 2;
    }
    auto opened = swf::Playback::open(options->movie);
    if (!opened) {
        const auto& e = opened.error();
        if (e.offset >= 0)
            std::fprintf(stderr, "vantrel-render: %s: %s (at byte %lld)\n", qPrintable(options->movie), qPrintable(e.detail), e.offset);
        else
            std::fprintf(stderr, "vantrel-render: %s: %s\n", qPrintable(options->movie), qPrintable(e.detail));
        return 1;
    }
    auto& playback = *opened.value();
    // Sound: the mixer hears the frames from the first on (the restart below
    // replays frame 1 with it attached); each frame adds exactly its share of
    // 44100 samples a second at the movie's frame rate.
    std::unique_ptr<swf::SoundMixer> mixer;
    std::vector<std::int16_t> sound;
    auto mixFrame = [&](int frame) {
        if (!mixer)
            return;
        const double perFrame = swf::SoundMixer::OutputRate / playback.frameRate();
        const auto frames = int(std::llround(frame * perFrame) - std::llround((frame - 1) * perFrame));
        const std::size_t at = sound.size();
        sound.resize(at + std::size_t(frames) * 2);
        mixer->mix(sound.data() + at, frames);
    };
    if (!options->audioOut.isEmpty()) {
        mixer = std::make_unique<swf::SoundMixer>();
        mixer->exportNames(playback.stage().movie().exports().entries()); // the names StartSound2 uses
        playback.setSoundSink(mixer.get());
    }
    // The movie's scripts always run, as in the player: a scripted movie draws
    // what its scripts build. --trace only decides whether trace() lines are
    // printed. Scripts run from the first frame on, so frame 1 is rebuilt with
    // the script machine attached.
    auto scripts = std::make_unique<swf::avm1::StageScripts>(playback.stage());
    const bool printTrace = options->trace;
    scripts->setTraceSink([printTrace](const QString& line) {
        if (!printTrace)
            return;
        std::fputs(line.toUtf8().constData(), stdout);
        std::fputc('\n', stdout);
    });
    playback.stage().setScriptRunner(scripts.get());
    playback.stage().restart();
    scripts->flush();
    const double frameMs = 1000.0 / playback.frameRate();
    mixFrame(1);
    for (int i = 1; i < options->frame && !scripts->quitRequested(); ++i) {
        playback.nextFrame();
        scripts->afterTick(i * frameMs);
        mixFrame(i + 1);
    }
    std::fflush(stdout);
    if (mixer) {
        playback.setSoundSink(nullptr);
        auto written = swf::writeWavFile(options->audioOut, sound);
        if (!written) {
            std::fprintf(stderr, "vantrel-render: %s\n", qPrintable(written.error().detail));
            return 1;
        }
    }

    if (options->out.isEmpty())
        return 0;
    QRectF stage = playback.stageRect();
    QSize size = options->size.value_or(QSize(std::max(1, int(std::lround(stage.width()))), std::max(1, int(std::lround(stage.height())))));
    size = size.boundedTo(QSize(16384, 16384));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(playback.backgroundColor());
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, !options->lowQuality);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, !options->lowQuality);
        QTransform transform = options->size ? showAll(stage, size) : QTransform::fromTranslate(-stage.left(), -stage.top());
        playback.render(painter, transform);
    }
    if (!image.convertToFormat(QImage::Format_RGB32).save(options->out, "PNG")) {
        std::fprintf(stderr, "vantrel-render: cannot write %s\n", qPrintable(options->out));
        return 1;
    }
    return 0;
}
