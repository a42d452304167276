// vantrel-render MOVIE --frame N --out OUT.png [--size WxH] [--quality low|high] [--audio OUT.wav]
// Shows N frames of the movie (N = 1 is the first) and writes the stage as a PNG,
// at the stage's pixel size or at WxH with the whole stage shown (aspect kept, centred).
// With --audio, also writes the sound mixed while those N frames ran, in movie time.
// vantrel-render MOVIE --video OUT.mp4|OUT.webm|OUT.gif [--size WxH] [--frames N]
// writes one run of the root timeline (or N frames) as a video with its sound.

#include "RenderOptions.h"
#include "VideoExport.h"
#include "WavWriter.h"

#include "swf/Playback.h"
#include "tools/QtMessages.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <QSet>

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

// The largest picture written: 8192 × 8192. A header declaring a huge stage
// (or a flipped bit in one) is refused before any pixel is allocated.
constexpr qint64 MaxOutputPixels = qint64(64) * 1024 * 1024;
// --video: the whole export, with a progress line on stderr.
int writeVideo(swf::Playback& playback, const RenderOptions& options)
{
    const QRectF stage = playback.stageRect();
    VideoExportSettings settings;
    settings.path = options.videoOut;
    settings.size = options.size.value_or(QSize(std::max(1, int(std::lround(stage.width()))), std::max(1, int(std::lround(stage.height())))));
    settings.size = settings.size.boundedTo(QSize(8192, 8192));
    settings.frames = options.videoFrames.value_or(defaultVideoFrames(playback.frameCount(), playback.frameRate()));
    VideoExportProgress progress;
    int lastPercent = -1;
    progress.frameWritten = [&](int done, int total) {
        const int percent = int(qint64(done) * 100 / total);
        if (percent != lastPercent || done == total) {
            lastPercent = percent;
            std::fprintf(stderr, "\rvantrel-render: frame %d of %d (%d%%)", done, total, percent);
            std::fflush(stderr);
        }
    };
    progress.note = [](const QString& note) { std::fprintf(stderr, "vantrel-render: %s\n", qPrintable(note)); };
    const auto error = exportVideo(playback, settings, progress);
    if (lastPercent >= 0)
        std::fputc('\n', stderr);
    if (error) {
        std::fprintf(stderr, "vantrel-render: %s\n", qPrintable(*error));
        return 1;
    }
    return 0;
}

} // namespace

namespace {

// UTF-8 of a trace line. A script can build strings holding half of a
// surrogate pair (String.fromCharCode(0xD800)); such a unit is written as
// its own three bytes, as the player writes it, rather than replaced.
QByteArray traceBytes(const QString& line)
{
    QByteArray out;
    out.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        char32_t c = line[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < line.size() && line[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), line[++i].unicode());
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    vantrel::routeQtMessagesAway();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QString error;
    auto options = parseRenderOptions(app.arguments().mid(1), error);
    if (!options) {
        std::fprintf(stderr, "vantrel-render: %s\n", qPrintable(error));
        return 2;
    }
    if (options->help) {
        std::printf("%s\n", qPrintable(renderUsage()));
        return 0;
    }
    // The movie's scripts always run, as in the player: a scripted movie draws
    // what its scripts build. --trace only decides whether trace() lines are
    // printed; --audio whether the sound is mixed.
    swf::PlaybackOptions playbackOptions;
    playbackOptions.sound = !options->audioOut.isEmpty() || !options->videoOut.isEmpty();
    playbackOptions.quality = options->lowQuality ? swf::Quality::Low : swf::Quality::High;
    if (options->trace) {
        playbackOptions.trace = [](const QString& line) {
            const QByteArray bytes = traceBytes(line);
            std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
            std::fputc('\n', stdout);
        };
        // A script stopped (a budget spent, an uncaught throw) is noted on
        // stderr once per kind; stdout keeps the trace alone.
        playbackOptions.fault = [seen = QSet<QString>()](const QString& what) mutable {
            const QString kind = what.section(QLatin1Char('('), 0, 0).trimmed();
            if (seen.size() >= 20 || seen.contains(kind))
                return;
            seen.insert(kind);
            std::fprintf(stderr, "vantrel-render: script stopped: %s\n", qPrintable(what));
        };
    } else {
        playbackOptions.fault = [](const QString&) { };
    }
    auto opened = swf::Playback::open(options->movie, playbackOptions);
    if (!opened) {
        const auto& e = opened.error();
        if (e.offset >= 0)
            std::fprintf(stderr, "vantrel-render: %s: %s (at byte %lld)\n", qPrintable(options->movie), qPrintable(e.detail), e.offset);
        else
            std::fprintf(stderr, "vantrel-render: %s: %s\n", qPrintable(options->movie), qPrintable(e.detail));
        return 1;
    }
    auto& playback = *opened.value();
    // A movie that plays only in part still renders: one warning line says why.
    if (!playback.damage().isEmpty())
        std::fprintf(stderr, "vantrel-render: warning: %s: %s\n", qPrintable(options->movie), qPrintable(playback.damage()));
    QRectF stage = playback.stageRect();
    QSize size = options->size.value_or(QSize(std::max(1, int(std::lround(std::min(stage.width(), 1e9)))),
        std::max(1, int(std::lround(std::min(stage.height(), 1e9))))));
    if (!options->out.isEmpty() && qint64(size.width()) * size.height() > MaxOutputPixels) {
        std::fprintf(stderr, "vantrel-render: %s: a %d x %d picture is larger than %lld pixels; use --size\n",
            qPrintable(options->movie), size.width(), size.height(), MaxOutputPixels);
        return 1;
    }
    if (!options->videoOut.isEmpty())
        return writeVideo(playback, *options);
    // Sound: the movie is heard from its first frame on; each frame adds
    // exactly its share of 44100 samples a second at the movie's frame rate.
    std::vector<std::int16_t> sound;
    auto mixFrame = [&](int frame) {
        if (!playbackOptions.sound)
            return;
        const double perFrame = swf::Playback::AudioRate / playback.frameRate();
        const auto frames = int(std::llround(frame * perFrame) - std::llround((frame - 1) * perFrame));
        const std::size_t at = sound.size();
        sound.resize(at + std::size_t(frames) * 2);
        playback.mixAudio(sound.data() + at, frames);
    };
    mixFrame(1);
    // Frames run in movie time: frame i + 1 is shown i frame periods in.
    for (int i = 1; i < options->frame && !playback.quitRequested() && !playback.failure(); ++i) {
        playback.nextFrame();
        mixFrame(i + 1);
    }
    std::fflush(stdout);
    if (playback.failure()) {
        std::fprintf(stderr, "vantrel-render: %s: %s\n", qPrintable(options->movie), qPrintable(playback.failure()->detail));
        return 1;
    }
    if (playbackOptions.sound) {
        auto written = swf::writeWavFile(options->audioOut, sound);
        if (!written) {
            std::fprintf(stderr, "vantrel-render: %s\n", qPrintable(written.error().detail));
            return 1;
        }
    }

    if (options->out.isEmpty())
        return 0;
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        std::fprintf(stderr, "vantrel-render: not enough memory for a %d x %d picture\n", size.width(), size.height());
        return 1;
    }
    image.fill(playback.backgroundColor());
    {
        QPainter painter(&image);
        QTransform transform = options->size ? showAll(stage, size) : QTransform::fromTranslate(-stage.left(), -stage.top());
        playback.render(painter, transform);
    }
    if (!image.convertToFormat(QImage::Format_RGB32).save(options->out, "PNG")) {
        std::fprintf(stderr, "vantrel-render: cannot write %s\n", qPrintable(options->out));
        return 1;
    }
    return 0;
}
