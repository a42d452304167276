#include "swf/audio/SoundMixer.h"
#include "swf/audio/device/AudioOutput.h"

#include <QCoreApplication>
#include <QAudioDevice>
#include <QMediaDevices>

#include <gtest/gtest.h>

using namespace swf;

// Whatever the machine offers, starting the output never fails loudly:
// without a device it reports itself inactive and the clock stays empty, so
// the player falls back to its timer; with one it pulls from the mixer.
TEST(AudioOutput, SilentWithoutADeviceNeverAnError)
{
    int argc = 1;
    char name[] = "audio_device_tests";
    char* argv[] = { name };
    QCoreApplication app(argc, argv);
    SoundMixer mixer;
    AudioOutput out(mixer);
    const bool started = out.start();
    const bool haveDevice = !QMediaDevices::defaultAudioOutput().isNull();
    if (!haveDevice) {
        EXPECT_FALSE(started);
        EXPECT_FALSE(out.isActive());
        EXPECT_FALSE(out.framesPlayed().has_value());
    } else if (started) {
        EXPECT_TRUE(out.framesPlayed().has_value());
    }
    out.stop();
    EXPECT_FALSE(out.isActive());
    EXPECT_FALSE(out.framesPlayed().has_value());
    // Stopping twice, or after a failed start, is harmless.
    out.stop();
}
