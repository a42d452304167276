// The sound device lives in a module of its own (libvantrel-audio) that the
// player opens when a movie first sounds: an empty player, or one playing a
// silent movie, never maps Qt Multimedia; a movie with sound opens the
// module and plays on, heard where there is a device, silent where not.

#include "support/ShellTestSupport.h"

#include "player/AudioModule.h"
#include "player/SwfPlayer.h"
#include "swf/Playback.h"

#include <QFile>

namespace {

// Whether a shared object whose path holds `name` is mapped into this process.
bool mapped(const char* name)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    return maps.readAll().contains(name);
}

// A source that counts what the device pulled, each sample a known value.
class CountingSource final : public player::AudioSource {
public:
    void mix(std::int16_t* out, int frames) override
    {
        std::fill(out, out + 2 * frames, std::int16_t(1000));
        m_frames += frames;
    }
    std::int64_t framesMixed() const override { return m_frames; }

private:
    std::int64_t m_frames = 0;
};

} // namespace

class AudioModuleTest : public QObject {
    Q_OBJECT

private slots:
    void emptyAndSilentPlayersLoadNoModule()
    {
        QVERIFY(!mapped("libQt6Multimedia"));
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("silent.swf"), smallMovie(24, 255, 255, 255));
        player::SwfPlayer swf;
        swf.resize(200, 200);
        swf.show();
        QVERIFY(QTest::qWaitForWindowExposed(&swf));
        swf.Movie(path);
        QVERIFY(swf.isPlaying());
        QTest::qWait(300);
        QVERIFY(!player::AudioModule::isLoaded());
        QVERIFY(!mapped("libvantrel-audio"));
        QVERIFY(!mapped("libQt6Multimedia"));
    }

    void movieWithSoundOpensTheModule()
    {
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("tone.swf"), movieWithSound());
        player::SwfPlayer swf;
        swf.resize(200, 200);
        swf.show();
        QVERIFY(QTest::qWaitForWindowExposed(&swf));
        swf.Movie(path);
        QVERIFY2(player::AudioModule::isLoaded(), qPrintable(player::AudioModule::lastError()));
        QVERIFY(player::AudioModule::loadedPath().endsWith(QLatin1String("libvantrel-audio.so")));
        QVERIFY(mapped("libvantrel-audio"));
        QVERIFY(mapped("libQt6Multimedia"));
        // The movie plays on with its sound, heard or not.
        QVERIFY(swf.isPlaying());
        const int first = swf.currentFrame();
        QTRY_VERIFY(swf.currentFrame() > first);
        swf.Movie(QString()); // the device goes before the movie it pulls from
        QVERIFY(!swf.isPlaying());
    }

    // Through the module, a device either pulls from its source or reports
    // itself silent; stopping it (twice, or after a failed start) is harmless.
    void deviceIsSilentOrPulls()
    {
        CountingSource source;
        auto device = player::AudioModule::createDevice(source, swf::Playback::AudioRate);
        QVERIFY(device);
        const bool started = device->start();
        if (!started) {
            QVERIFY(!device->isActive());
            QVERIFY(!device->framesPlayed().has_value());
        } else {
            QVERIFY(device->framesPlayed().has_value());
            QTRY_VERIFY(source.framesMixed() > 0);
            QVERIFY(*device->framesPlayed() <= source.framesMixed());
        }
        device->stop();
        QVERIFY(!device->isActive());
        QVERIFY(!device->framesPlayed().has_value());
        device->stop();
    }
};

SHELL_TEST_MAIN(AudioModuleTest)
#include "tst_audiomodule.moc"
