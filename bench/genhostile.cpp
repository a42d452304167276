// vantrel-genhostile DIR: writes the hostile movies of tests/support/HostileMovies.h
// into DIR, one file each, for bench/hostile.sh to measure.

#include "support/HostileMovies.h"

#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vantrel-genhostile DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "vantrel-genhostile: cannot make %s\n", argv[1]);
        return 1;
    }
    const std::pair<const char*, QByteArray> movies[] = {
        { "text-10mb", hostile::bigText(10 * 1000 * 1000, false) },
        { "text-10mb-html", hostile::bigText(10 * 1000 * 1000, true) },
        { "string-doubling-loop", hostile::doublingLoop() },
        { "string-doubling-frames", hostile::doublingPerFrame() },
        { "string-doubling-recursion", hostile::doublingRecursion() },
        { "intervals-10000", hostile::manyIntervals(10000) },
        { "intervals-breeding", hostile::breedingIntervals() },
        { "clips-100000", hostile::manyClips(100000) },
        { "shape-million-curves", hostile::monsterShape(1000000) },
        { "stage-huge", hostile::hugeStage(16000, 16000) },
        { "jpeg-corrupt", hostile::corruptJpeg() },
    };
    for (const auto& [name, bytes] : movies) {
        QFile file(dir.filePath(QString::fromLatin1(name) + QStringLiteral(".swf")));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "vantrel-genhostile: cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
    }
    return 0;
}
