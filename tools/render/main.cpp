// vantrel-render MOVIE --frame N --out OUT.png [--size WxH] [--quality low|high] [--audio OUT.wav]
// Shows N frames of the movie (N = 1 is the first) and writes the stage as a PNG,
// at the stage's pixel size or at WxH with the whole stage shown (aspect kept, centred).
// With --audio, also writes the sound mixed while those N frames ran, in movie time.

#include "RenderOptions.h"
#include "WavWriter.h"

#include "swf/Playback.h"

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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QString error;
    auto options = parseRenderOptions(app.arguments().mid(1), error);
    if (!options) {
        std::fprintf(stderr, "vantrel-render: %s\n", qPrintable(error));
        return 2;
    }
    // The movie's scripts always run, as in the player: a scripted movie draws
    // what its scripts build. --trace only decides whether trace() lines are
    // printed; --audio whether the sound is mixed.
    swf::PlaybackOptions playbackOptions;
    playbackOptions.sound = !options->audioOut.isEmpty();
    playbackOptions.quality = options->lowQuality ? swf::Quality::Low : swf::Quality::High;
    if (options->trace) {
        playbackOptions.trace = [](const QString& line) {
            const QByteArray bytes = traceBytes(line);
            std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
            std::fputc('\n', stdout);
        };
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
    for (int i = 1; i < options->frame && !playback.quitRequested(); ++i) {
        playback.nextFrame();
        mixFrame(i + 1);
    }
    std::fflush(stdout);
    if (playbackOptions.sound) {
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
        QTransform transform = options->size ? showAll(stage, size) : QTransform::fromTranslate(-stage.left(), -stage.top());
        playback.render(painter, transform);
    }
    if (!image.convertToFormat(QImage::Format_RGB32).save(options->out, "PNG")) {
        std::fprintf(stderr, "vantrel-render: cannot write %s\n", qPrintable(options->out));
        return 1;
    }
    return 0;
}
