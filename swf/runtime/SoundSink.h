#pragma once

// Where the timeline sends sound. The runtime knows which tags carry sound and
// when they fire; it hands their bodies over untouched, and the audio side
// decodes, mixes and keeps time. No widget and no audio device here.

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace swf {

// How a timeline's sounds reach the speakers, as scripts set it: a volume and
// how much of each input channel goes to each output channel, all in percent.
struct SoundTransform {
    double volume = 100;
    double ll = 100, lr = 0; // left input into the left and right outputs
    double rl = 0, rr = 100; // right input into the left and right outputs
    bool operator==(const SoundTransform&) const = default;
};

class SoundSink {
public:
    virtual ~SoundSink() = default;

    // A DefineSound (code 14) body, given once while the movie loads.
    virtual void defineSound(const QByteArray& body) = 0;

    // A sound decoded outside the movie (a loaded MP3 file, an FLV's audio
    // track) under `soundId`: 16-bit samples at `rate`, interleaved when
    // `channels` is 2. Scripts start it and ask its length as a defined one.
    virtual void defineSamples(std::uint16_t soundId, double rate, int channels, std::vector<std::int16_t> samples) { }

    // A DefineButtonSound (code 17) body, given once while the movie loads.
    virtual void defineButtonSound(const QByteArray& body) { }

    // A control tag reached while a frame runs: StartSound (15), StartSound2 (89),
    // SoundStreamHead (18), SoundStreamHead2 (45) or SoundStreamBlock (19).
    // `timeline` identifies the timeline (root or sprite instance) the tag belongs to,
    // stable for that instance's lifetime; `frame` is that timeline's 1-based frame.
    virtual void controlTag(std::uintptr_t timeline, int tagCode, const QByteArray& body, int frame) = 0;

    // The timeline instance is gone (removed from the display list): its stream stops.
    virtual void timelineRemoved(std::uintptr_t timeline) { }

    // A button's state changed; `transition` is 0 over-up→idle, 1 idle→over-up, 2 over-up→over-down, 3 over-down→over-up.
    virtual void buttonSound(std::uint16_t buttonId, int transition) { }

    // Everything falls silent (Stop, a new movie).
    virtual void stopAll() = 0;

    // Sounds under script control. `owner` is the timeline a script's Sound
    // object speaks for, the same value controlTag gives; 0 means the whole movie.
    // Starts a defined sound `offsetSeconds` into it, `loops` times; returns a
    // handle for position queries, 0 when nothing started.
    virtual std::uint64_t startScriptSound(std::uintptr_t owner, std::uint16_t soundId, double offsetSeconds, int loops) { return 0; }
    // Stops the event sounds of `owner` (every owner's when 0); only those of
    // `soundId` unless it is 0.
    virtual void stopSounds(std::uintptr_t owner, std::uint16_t soundId) { }
    // The transform for everything `owner` plays (0: on top of every owner's own).
    virtual void setSoundTransform(std::uintptr_t owner, const SoundTransform& transform) { }
    // Length of a defined sound in milliseconds; 0 when unknown.
    virtual double soundDurationMs(std::uint16_t soundId) { return 0; }
    // How far into its sound a started sound is, in milliseconds; -1 once it has ended.
    virtual double soundPositionMs(std::uint64_t handle) const { return -1; }
};

} // namespace swf
