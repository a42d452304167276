#pragma once

// Where the timeline sends sound. The runtime knows which tags carry sound and
// when they fire; it hands their bodies over untouched, and the audio side
// decodes, mixes and keeps time. No widget and no audio device here.

#include <QByteArray>

#include <cstdint>

namespace swf {

class SoundSink {
public:
    virtual ~SoundSink() = default;

    // A DefineSound (code 14) body, given once while the movie loads.
    virtual void defineSound(const QByteArray& body) = 0;

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
};

} // namespace swf
