#pragma once

// A Sound object of a script: it controls the sounds of one timeline (or of
// the whole movie when made without a target), plays a sound attached by its
// export name, and reports the sound's duration and how far it has played.

#include "swf/avm1/vm/Object.h"

#include <cstdint>

namespace swf::avm1 {

class SoundScripts;

class SoundObject final : public Object {
public:
    SoundObject(SoundScripts* registry, Object* proto, bool caseSensitive);
    ~SoundObject() override;

    // What this object speaks for: a clip or a text field, or a target path
    // looked up on each use; neither for the whole movie. While a target it
    // was given does not stand, the object does nothing and knows nothing.
    Object* target = nullptr;
    QString targetPath;
    bool targeted = false;
    // The attached sound's character id, 0 until attachSound finds one.
    std::uint16_t soundId = 0;
    // The sound this object started last, as the sink knows it; 0 when none plays.
    std::uint64_t playing = 0;
    // Where the last started sound stood when it was last seen, for position after it ends.
    double lastPositionMs = 0;
    // loadSound: how many loads were asked (an answer for an older one is
    // ignored), the file's bytes once it came (-1 before: total unknown), and
    // the loaded sound's length for when no sink knows it.
    quint64 loadSerial = 0;
    double loadedBytes = -1;
    double loadedDurationMs = -1;

    bool getVirtual(Interpreter&, const QString& name, Value& out) override;
    bool setVirtual(Interpreter&, const QString& name, const Value& value) override;
    bool hasVirtual(Interpreter&, const QString& name) override;
    void markChildren(std::vector<Object*>& stack) override;

    void forget() { m_registry = nullptr; }

private:
    SoundScripts* m_registry;
};

} // namespace swf::avm1
