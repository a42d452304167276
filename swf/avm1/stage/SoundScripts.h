#pragma once

// The sound side of the script machine: the Sound constructor and its
// methods, over the stage's sound sink. Volumes and pans are kept per
// timeline here (so every Sound object of one clip agrees) and handed to the
// sink; once a frame the sounds scripts started are checked, and the objects
// whose sound has ended hear onSoundComplete.

#include "swf/runtime/SoundSink.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <map>
#include <set>
#include <vector>

namespace swf::avm1 {

class Object;
class SoundObject;
class StageScripts;

class SoundScripts {
public:
    explicit SoundScripts(StageScripts& owner);
    ~SoundScripts();
    SoundScripts(const SoundScripts&) = delete;
    SoundScripts& operator=(const SoundScripts&) = delete;

    void install();
    StageScripts& owner() const { return m_owner; }
    // Sound.prototype, for objects made by `new Sound`.
    Object* prototype() const { return m_proto; }

    // The sink identity of the timeline a Sound object controls (0: the movie).
    // The display object `sound` speaks for (0: the whole movie); false while
    // the target it was given does not stand.
    bool ownerOf(const SoundObject& sound, std::uintptr_t& owner);
    // The character id exported under `name`; 0 when none.
    std::uint16_t exportedSound(const QString& name) const;

    // A sound id neither the movie nor a sound made at run time uses, for a
    // sound a script loads or a video plays; 0 when none is left.
    std::uint16_t unusedSoundId(SoundSink& sink) const;

    SoundTransform transformOf(std::uintptr_t owner) const;
    void setTransform(std::uintptr_t owner, const SoundTransform& transform);

    // Once a frame: objects whose sound has ended hear onSoundComplete.
    void afterFrame();
    void addRoots(std::vector<Object*>& roots) const;

    void started(SoundObject* sound) { m_playing.insert(sound); }
    void release(SoundObject* sound) { m_playing.erase(sound); m_all.erase(sound); }
    void adopt(SoundObject* sound) { m_all.insert(sound); }

private:
    StageScripts& m_owner;
    Object* m_proto = nullptr;
    std::map<std::uintptr_t, SoundTransform> m_transforms;
    std::set<SoundObject*> m_playing;
    std::set<SoundObject*> m_all;
};

} // namespace swf::avm1
