// vantrel-thumbnailer -s SIZE INPUT OUTPUT
// Draws a thumbnail of a movie for the desktop's file manager: a frame from
// the first seconds that shows something, long side SIZE pixels, as a PNG.
// INPUT is a path or a file: URI. It runs on whatever file the file manager
// meets, so it keeps itself to a time limit and a memory limit, runs no
// scripts and mixes no sound, and exits non-zero with one line on stderr for
// any file it cannot draw.

#include "Thumbnail.h"

#include "swf/Playback.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// The address sanitizer reserves terabytes of shadow address space at
// start, so under it a ceiling on address space makes every allocation fail;
// its own allocator limits stand in for the ceiling there.
#if defined(__SANITIZE_ADDRESS__)
#define VANTREL_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANTREL_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef VANTREL_ADDRESS_SANITIZER
#define VANTREL_ADDRESS_SANITIZER 0
#endif

constexpr int kTimeLimitMs = 2000;
// Time left for the last drawing and the PNG after the frame search.
constexpr int kSearchBudgetMs = 1200;
// Address space, not resident memory: Qt and the C library reserve far more
// than they touch, so this is a ceiling on runaway allocations.
constexpr rlim_t kAddressSpaceLimit = rlim_t(2) << 30;
constexpr int kMaxSize = 1024;

int fail(const QString& message)
{
    std::fprintf(stderr, "vantrel-thumbnailer: %s\n", message.toLocal8Bit().constData());
    return 1;
}

void limitResources()
{
#if !VANTREL_ADDRESS_SANITIZER
    rlimit memory { kAddressSpaceLimit, kAddressSpaceLimit };
    setrlimit(RLIMIT_AS, &memory);
#endif
    // A backstop under the watchdog, should its thread never run.
    rlimit cpu { 4, 5 };
    setrlimit(RLIMIT_CPU, &cpu);
    // The watchdog: past the limit the process ends at once, whatever it is doing.
    std::thread([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(kTimeLimitMs));
        static const char message[] = "vantrel-thumbnailer: time limit reached\n";
        [[maybe_unused]] auto written = write(STDERR_FILENO, message, sizeof message - 1);
        _exit(3);
    }).detach();
}

// Qt's own warnings (fonts, platform plugin) are not the caller's business.
void quietMessages(QtMsgType, const QMessageLogContext&, const QString&) { }

} // namespace

int main(int argc, char** argv)
{
    limitResources();
    qInstallMessageHandler(quietMessages);
    // Drawing needs no display; a file manager may run this without one.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QStringList args = app.arguments().mid(1);
    int size = 0;
    QStringList files;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("-s") || args[i] == QLatin1String("--size")) {
            if (++i >= args.size())
                return fail(QStringLiteral("-s needs a size"));
            bool ok = false;
            size = args[i].toInt(&ok);
            if (!ok || size < 1 || size > kMaxSize)
                return fail(QStringLiteral("size must be 1 to %1: %2").arg(kMaxSize).arg(args[i]));
        } else {
            files << args[i];
        }
    }
    if (size == 0 || files.size() != 2)
        return fail(QStringLiteral("usage: vantrel-thumbnailer -s SIZE INPUT OUTPUT"));

    const QString input = thumbnailer::inputPath(files[0]);
    if (input.isEmpty())
        return fail(QStringLiteral("not a local file: %1").arg(files[0]));

    swf::PlaybackOptions options;
    options.scripts = false;
    options.sound = false;
    options.fault = [](const QString&) { };
    auto opened = swf::Playback::open(input, options);
    if (!opened)
        return fail(QStringLiteral("%1: %2").arg(input, opened.error().detail));
    auto& movie = *opened.value();
    const QRectF stage = movie.stageRect();
    if (!(stage.width() >= 1 && stage.height() >= 1))
        return fail(QStringLiteral("%1: the stage is empty").arg(input));

    thumbnailer::showRepresentativeFrame(movie, kSearchBudgetMs);
    const QImage image = thumbnailer::drawFrame(movie, size);

    // Written whole or not at all: a file manager must never cache half a PNG.
    QSaveFile out(files[1]);
    if (!out.open(QIODevice::WriteOnly) || !image.save(&out, "PNG") || !out.commit())
        return fail(QStringLiteral("cannot write %1").arg(files[1]));
    return 0;
}
