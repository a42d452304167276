#include "support/ShellTestSupport.h"

#include "tools/swfwriter/Movie.h"

#include "resources/Resources.h"

#include <QDir>
#include <QFile>

QByteArray smallMovie(int frames, quint8 r, quint8 g, quint8 b)
{
    QByteArray body;
    const char stage[] = { 0x78, 0x00, 0x05, 0x5f, 0x00, 0x00, 0x0f, char(0xa0), 0x00 }; // 0..11000 x 0..8000 twips
    body.append(stage, sizeof stage);
    body.append(char(0x00)).append(char(0x0c));                   // 12 frames per second
    body.append(char(frames & 0xff)).append(char(frames >> 8));   // frame count
    body.append(char(0x43)).append(char(0x02));                   // SetBackgroundColor, 3 bytes
    body.append(char(r)).append(char(g)).append(char(b));
    for (int i = 0; i < frames; ++i)
        body.append(char(0x40)).append(char(0x00));               // ShowFrame
    body.append(char(0x00)).append(char(0x00));                   // End

    QByteArray movie("FWS");
    movie.append(char(6));                                        // version 6
    const quint32 length = quint32(8 + body.size());
    for (int i = 0; i < 4; ++i)
        movie.append(char((length >> (8 * i)) & 0xff));
    return movie + body;
}

QByteArray movieWithSound()
{
    swfw::Movie movie(6, 100, 100, 12);
    const int samples = 5512;
    QByteArray pcm(samples, char(0));
    for (int i = 0; i < samples; ++i)
        pcm[i] = char((i / 8) % 2 ? 0xc0 : 0x40); // 8-bit unsigned square wave
    movie.defineSound(1, 0, 0, false, false, quint32(samples), pcm);
    movie.startSound(1);
    for (int i = 0; i < 48; ++i)
        movie.showFrame();
    return movie.bytes();
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
    return path;
}

void prepareShellTestEnvironment()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A private runtime directory: the single-instance lock of this test never
    // meets a copy of the program that someone else runs.
    static QTemporaryDir runtimeDir;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
    qunsetenv("VANTREL_TEST_LOG");
    qunsetenv("VANTREL_TEST_AUTODISMISS");
    qunsetenv("VANTREL_TEST_OPEN_CANCEL");
    qunsetenv("VANTREL_TEST_OPEN_FILE");
    vantrel::initResources();
}
