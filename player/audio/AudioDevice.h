#pragma once

// The seam between the player and its sound device. The device lives in a
// module of its own (libvantrel-audio, over Qt Multimedia) that the player
// opens only when a movie first sounds, so a window that plays nothing, or
// plays silent movies, never loads the multimedia libraries. Both sides see
// only these two interfaces: the module knows nothing of the engine.

#include <cstdint>
#include <optional>

namespace player {

// What the device pulls from: the movie's mixer.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    // The next `frames` stereo frames of 16-bit samples, left first.
    virtual void mix(std::int16_t* out, int frames) = 0;
    // Stereo frames handed out by mix so far.
    virtual std::int64_t framesMixed() const = 0;
};

// The sound device. With no device, or a device that fails, it stays silent:
// never an error for the user.
class AudioDevice {
public:
    virtual ~AudioDevice() = default;
    // Opens the default output device and starts pulling. Returns false (and
    // stays silent) when there is no device.
    virtual bool start() = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    // Output frames the listener has heard: what the source gave the device,
    // less what still waits in the device's buffer. Empty when silent.
    virtual std::optional<std::int64_t> framesPlayed() const = 0;
};

// The one symbol the module exports: a device pulling from `source` (which
// outlives it) at `sampleRate` stereo frames a second. Never null.
using CreateAudioDevice = AudioDevice* (*)(AudioSource* source, int sampleRate);
inline constexpr const char* CreateAudioDeviceSymbol = "vantrel_create_audio_device";

} // namespace player
