#include "player/MovieSound.h"
#include "player/audio/AudioOutput.h"

#include "support/ScriptSandbox.h"
#include "swf/Playback.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QMediaDevices>

#include <gtest/gtest.h>

using player::MovieSound;

// Whatever the machine offers, starting the output never fails loudly:
// without a device it reports itself inactive and the clock stays empty, so
// the player falls back to its timer; with one it pulls from the movie.
TEST(AudioOutput, SilentWithoutADeviceNeverAnError)
{
    int argc = 1;
    char name[] = "audio_device_tests";
    char* argv[] = { name };
    QCoreApplication app(argc, argv);
    swf::PlaybackOptions options;
    options.sound = true;
    auto movie = swf::Playback::fromBytes(swf::avm1::movieWithActions(QByteArray(1, '\0'), 8), options);
    ASSERT_TRUE(movie.ok());
    MovieSound sound(*movie.value());
    player::AudioOutput out(sound, swf::Playback::AudioRate);
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
