#include "swf/avm1/stage/SoundScripts.h"

#include "swf/audio/SoundDecoder.h"
#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/builtins/LoadRequests.h"
#include "swf/movie/Movie.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"
#include "swf/avm1/stage/SoundObject.h"
#include "swf/avm1/stage/SpriteClip.h"
#include "swf/avm1/stage/StageScripts.h"
#include "swf/avm1/stage/TextFieldObject.h"

#include <cmath>

namespace swf::avm1 {

namespace {

// Volumes past this are as loud as anything gets; it keeps the arithmetic finite.
constexpr double MaxLevel = 10000;

SoundObject* soundOf(const CallArgs& a)
{
    return dynamic_cast<SoundObject*>(a.thisObject());
}

// A percentage a script gives, or `fallback` when it is not a finite number.
double level(Interpreter& vm, const Value& v, double fallback)
{
    if (v.isUndefined())
        return fallback;
    const double n = vm.toNumber(v);
    return std::isfinite(n) ? std::clamp(n, -MaxLevel, MaxLevel) : fallback;
}

} // namespace

SoundScripts::SoundScripts(StageScripts& owner)
    : m_owner(owner)
{
}

SoundScripts::~SoundScripts()
{
    for (SoundObject* sound : m_all)
        sound->forget();
}

std::uint16_t SoundScripts::exportedSound(const QString& name) const
{
    // Export names come from the movie itself, so attachSound works whichever sink is attached.
    return m_owner.stage().movie().exports().characterFor(name);
}

bool SoundScripts::ownerOf(const SoundObject& sound, std::uintptr_t& owner)
{
    owner = 0;
    if (!sound.targeted)
        return true;
    Object* target = sound.target;
    if (!target && !sound.targetPath.isEmpty())
        target = m_owner.interpreter().resolveTarget(m_owner.clipFor(m_owner.stage().root()), sound.targetPath);
    if (auto* clip = dynamic_cast<SpriteClip*>(target)) {
        SpriteInstance* sprite = clip->sprite();
        owner = reinterpret_cast<std::uintptr_t>(sprite);
        return sprite != nullptr;
    }
    if (auto* field = dynamic_cast<TextFieldObject*>(target)) {
        owner = reinterpret_cast<std::uintptr_t>(field->field());
        return field->field() != nullptr;
    }
    return false;
}

std::uint16_t SoundScripts::unusedSoundId(SoundSink& sink) const
{
    // Counted down from the top, where movies rarely define anything.
    static std::uint16_t next = 65535;
    for (int tries = 0; tries < 4096; ++tries, --next) {
        if (next < 1024)
            next = 65535;
        if (!m_owner.stage().movie().character(next) && sink.soundDurationMs(next) == 0)
            return next--;
    }
    return 0;
}

SoundTransform SoundScripts::transformOf(std::uintptr_t owner) const
{
    auto it = m_transforms.find(owner);
    return it == m_transforms.end() ? SoundTransform {} : it->second;
}

void SoundScripts::setTransform(std::uintptr_t owner, const SoundTransform& transform)
{
    m_transforms[owner] = transform;
    if (SoundSink* sink = m_owner.stage().soundSink())
        sink->setSoundTransform(owner, transform);
}

void SoundScripts::afterFrame()
{
    SoundSink* sink = m_owner.stage().soundSink();
    if (!sink || m_playing.empty())
        return;
    std::vector<SoundObject*> done;
    for (SoundObject* sound : m_playing) {
        const double at = sink->soundPositionMs(sound->playing);
        if (at >= 0) {
            sound->lastPositionMs = at;
            continue;
        }
        done.push_back(sound);
    }
    for (SoundObject* sound : done) {
        m_playing.erase(sound);
        sound->playing = 0;
        if (sound->soundId)
            sound->lastPositionMs = sink->soundDurationMs(sound->soundId);
    }
    // Handlers run last: they may start sounds again.
    for (SoundObject* sound : done)
        m_owner.interpreter().callMethodSafely(sound, QStringLiteral("onSoundComplete"), {});
}

void SoundScripts::addRoots(std::vector<Object*>& roots) const
{
    roots.push_back(m_proto);
    // A playing sound's object must live to hear that it ended.
    for (SoundObject* sound : m_playing)
        roots.push_back(sound);
}

static Value soundConstructor(Interpreter& vm, CallArgs& a)
{
    SoundScripts& self = StageScripts::of(vm).sounds();
    // `new Sound(target)` on an object the machine made from the prototype:
    // swap in a real Sound object with the same prototype.
    if (!a.constructing)
        return Value();
    Object* proto = a.thisObject() ? a.thisObject()->proto() : self.prototype();
    auto* sound = vm.make<SoundObject>(&self, proto, vm.caseSensitive());
    vm.markConstructed(sound, Value(static_cast<Object*>(a.callee)));
    // A clip is kept by its path, a string is a path, both looked up on each
    // use (a renamed clip is lost to it); a text field is kept itself;
    // anything else leaves the object speaking for the whole movie.
    Value target = a.arg(0);
    if (Object* o = target.asObject()) {
        sound->targeted = true;
        if (o->kind() == Object::Kind::Clip)
            sound->targetPath = static_cast<ClipObject*>(o)->dotPath();
        else if (dynamic_cast<TextFieldObject*>(o))
            sound->target = o;
    } else if (target.isString()) {
        sound->targeted = true;
        sound->targetPath = target.asString();
    }
    return Value(static_cast<Object*>(sound));
}

static Value soundAttachSound(Interpreter& vm, CallArgs& a)
{
    SoundScripts& self = StageScripts::of(vm).sounds();
    if (SoundObject* s = soundOf(a))
        s->soundId = self.exportedSound(vm.toString(a.arg(0)));
    return Value();
}

// The Sound object `this` is and the display object it speaks for; null
// when `this` is no Sound or its target does not stand.
static SoundObject* targetOf(SoundScripts& self, const CallArgs& a, std::uintptr_t& owner)
{
    SoundObject* s = soundOf(a);
    return s && self.ownerOf(*s, owner) ? s : nullptr;
}

static Value soundStart(Interpreter& vm, CallArgs& a)
{
    SoundScripts& self = StageScripts::of(vm).sounds();
    std::uintptr_t owner = 0;
    SoundObject* s = targetOf(self, a, owner);
    SoundSink* sink = self.owner().stage().soundSink();
    if (!s || !s->soundId || !sink)
        return Value();
    double offset = a.args.empty() ? 0 : vm.toNumber(a.arg(0));
    double loops = a.args.size() < 2 ? 1 : vm.toNumber(a.arg(1));
    const std::uint64_t handle = sink->startScriptSound(owner, s->soundId, std::isfinite(offset) ? offset : 0,
        std::isfinite(loops) ? clampToInt(loops) : 1);
    if (handle) {
        s->playing = handle;
        s->lastPositionMs = std::max(0.0, sink->soundPositionMs(handle));
        self.started(s);
    }
    return Value();
}

static Value soundStop(Interpreter& vm, CallArgs& a)
{
    SoundScripts& self = StageScripts::of(vm).sounds();
    std::uintptr_t owner = 0;
    SoundObject* s = targetOf(self, a, owner);
    SoundSink* sink = self.owner().stage().soundSink();
    if (!s || !sink)
        return Value();
    std::uint16_t id = 0;
    if (!a.args.empty()) {
        id = self.exportedSound(vm.toString(a.arg(0)));
        if (!id)
            return Value(); // a name nothing was exported under stops nothing
    }
    sink->stopSounds(owner, id);
    return Value();
}

static Value soundSetVolume(Interpreter& vm, CallArgs& a)
{
    SoundScripts& self = StageScripts::of(vm).sounds();
    std::uintptr_t owner = 0;
    if (targetOf(self, a, owner)) {
        SoundTransform t = self.transformOf(owner);
        t.volume = level(vm, a.arg(0), t.volume);
        self.setTransform(owner, t);
    }
    return Value();
}

static Value soundGetVolume(Interpreter& vm, CallArgs& a)
{
    SoundScripts& self = StageScripts::of(vm).sounds();
    std::uintptr_t owner = 0;
    return targetOf(self, a, owner) ? Value(self.transformOf(owner).volume) : Value();
}

static Value soundSetPan(Interpreter& vm, CallArgs& a)
{
    SoundScripts& self = StageScripts::of(vm).sounds();
    std::uintptr_t owner = 0;
    if (!targetOf(self, a, owner))
        return Value();
    SoundTransform t = self.transformOf(owner);
    const double pan = std::clamp(level(vm, a.arg(0), 0), -100.0, 100.0);
    // Panning right turns the left channel down, and the other way round.
    t.ll = pan > 0 ? 100 - pan : 100;
    t.rr = pan < 0 ? 100 + pan : 100;
    t.lr = t.rl = 0;
    self.setTransform(owner, t);
    return Value();
}

static Value soundGetPan(Interpreter& vm, CallArgs& a)
{
    SoundScripts& self = StageScripts::of(vm).sounds();
    std::uintptr_t owner = 0;
    if (!targetOf(self, a, owner))
        return Value();
    const SoundTransform t = self.transformOf(owner);
    return Value(t.rr - t.ll);
}

static Value soundSetTransform(Interpreter& vm, CallArgs& a)
{
    SoundScripts& self = StageScripts::of(vm).sounds();
    std::uintptr_t owner = 0;
    Object* o = a.arg(0).asObject();
    if (!targetOf(self, a, owner) || !o)
        return Value();
    SoundTransform t = self.transformOf(owner);
    t.ll = level(vm, vm.getMember(Value(o), QStringLiteral("ll")), t.ll);
    t.lr = level(vm, vm.getMember(Value(o), QStringLiteral("lr")), t.lr);
    t.rl = level(vm, vm.getMember(Value(o), QStringLiteral("rl")), t.rl);
    t.rr = level(vm, vm.getMember(Value(o), QStringLiteral("rr")), t.rr);
    self.setTransform(owner, t);
    return Value();
}

static Value soundGetTransform(Interpreter& vm, CallArgs& a)
{
    SoundScripts& self = StageScripts::of(vm).sounds();
    std::uintptr_t owner = 0;
    if (!targetOf(self, a, owner))
        return Value();
    const SoundTransform t = self.transformOf(owner);
    Object* o = vm.newObject();
    o->put(QStringLiteral("ll"), Value(t.ll));
    o->put(QStringLiteral("lr"), Value(t.lr));
    o->put(QStringLiteral("rl"), Value(t.rl));
    o->put(QStringLiteral("rr"), Value(t.rr));
    return Value(o);
}

// getBytesLoaded and getBytesTotal. An attached sound is part of the
// movie: 1 of 1. A loaded one: 0 of unknown until the file came, then its
// size of its size; a file that did not come stays at 0 of unknown.
static Value soundBytes(CallArgs& a, bool total)
{
    SoundObject* s = soundOf(a);
    if (!s)
        return Value();
    if (s->loadSerial == 0)
        return s->soundId ? Value(1.0) : Value();
    if (s->loadedBytes < 0)
        return total ? Value() : Value(0.0);
    return Value(s->loadedBytes);
}

static Value soundGetBytesLoaded(Interpreter&, CallArgs& a)
{
    return soundBytes(a, false);
}

static Value soundGetBytesTotal(Interpreter&, CallArgs& a)
{
    return soundBytes(a, true);
}

// The file a loadSound asked for came (or did not): a sound that decodes is
// defined in the sink under a fresh id; a streaming one starts at once, an
// event sound waits for start(). onLoad hears whether it worked.
static void soundArrived(Interpreter& vm, SoundObject* s, bool streaming, const Result<QByteArray>& bytes)
{
    SoundScripts& self = StageScripts::of(vm).sounds();
    bool ok = false;
    if (bytes) {
        // Ten minutes at the highest MP3 rate is as much as a loaded sound keeps.
        auto decoded = decodeMp3File(bytes.value(), std::int64_t(48000) * 600);
        SoundSink* sink = self.owner().stage().soundSink();
        const std::uint16_t id = !decoded ? 0 : sink ? self.unusedSoundId(*sink) : 0xffff;
        if (decoded && id) {
            ok = true;
            s->loadedBytes = double(bytes.value().size());
            DecodedSound& sound = decoded.value();
            s->loadedDurationMs = sound.rate > 0 ? double(sound.frames()) * 1000 / sound.rate : 0;
            s->soundId = id;
            if (sink)
                sink->defineSamples(id, sound.rate, sound.channels, std::move(sound.samples));
            std::uintptr_t owner = 0;
            if (streaming && sink && self.ownerOf(*s, owner)) {
                const std::uint64_t handle = sink->startScriptSound(owner, id, 0, 1);
                if (handle) {
                    s->playing = handle;
                    s->lastPositionMs = 0;
                    self.started(s);
                }
            }
        }
    }
    vm.callMethodSafely(s, QStringLiteral("onLoad"), { Value(ok) });
}

static Value soundLoadSound(Interpreter& vm, CallArgs& a)
{
    SoundScripts& self = StageScripts::of(vm).sounds();
    SoundObject* s = soundOf(a);
    // Movies before version 6 have no loadSound: the call does nothing at all.
    if (!s || vm.version() < 6)
        return Value();
    // A load starts the object afresh: what it played stops, and its
    // target's volume and pan are back to the defaults.
    std::uintptr_t owner = 0;
    const bool stands = self.ownerOf(*s, owner);
    SoundSink* sink = self.owner().stage().soundSink();
    if (sink && s->soundId && s->loadSerial)
        sink->stopSounds(owner, s->soundId);
    if (stands)
        self.setTransform(owner, SoundTransform {});
    s->soundId = 0;
    s->playing = 0;
    s->lastPositionMs = 0;
    s->loadedBytes = -1;
    s->loadedDurationMs = -1;
    const quint64 serial = ++s->loadSerial;
    const QString url = vm.toString(a.arg(0));
    const bool streaming = vm.toBoolean(a.arg(1));
    LoadQueue* queue = loadQueueOf(vm);
    if (!queue || url.isEmpty())
        return Value();
    queue->request(url, [s, serial, streaming](Interpreter& vm, const Result<QByteArray>& bytes) {
        if (s->loadSerial == serial)
            soundArrived(vm, s, streaming, bytes);
    }, { s });
    return Value();
}

// getDuration and getPosition read what the duration and position
// properties read; their setters are there but change nothing.
static Value soundGetDuration(Interpreter& vm, CallArgs& a)
{
    SoundObject* s = soundOf(a);
    Value out;
    return s && s->getVirtual(vm, QStringLiteral("duration"), out) ? out : Value();
}

static Value soundGetPosition(Interpreter& vm, CallArgs& a)
{
    SoundObject* s = soundOf(a);
    Value out;
    return s && s->getVirtual(vm, QStringLiteral("position"), out) ? out : Value();
}

const NativeMethod soundMethods[] = {
    { "attachSound", soundAttachSound },
    { "start", soundStart },
    { "stop", soundStop },
    { "setVolume", soundSetVolume },
    { "getVolume", soundGetVolume },
    { "setPan", soundSetPan },
    { "getPan", soundGetPan },
    { "setTransform", soundSetTransform },
    { "getTransform", soundGetTransform },
    { "getBytesLoaded", soundGetBytesLoaded },
    { "getBytesTotal", soundGetBytesTotal },
    { "loadSound", soundLoadSound },
    { "getDuration", soundGetDuration },
    { "setDuration", Builtins::nothing },
    { "getPosition", soundGetPosition },
    { "setPosition", Builtins::nothing },
};

void SoundScripts::install()
{
    Interpreter& vm = m_owner.interpreter();
    m_proto = vm.newObject();
    auto* ctor = vm.newConstructor(QStringLiteral("Sound"), soundConstructor, m_proto);
    vm.global()->define(QStringLiteral("Sound"), Value(static_cast<Object*>(ctor)), DontEnum);

    vm.defineMethods(m_proto, soundMethods);

    // checkPolicyFile reads as nothing and takes no value.
    m_proto->define(QStringLiteral("checkPolicyFile"), Value(), DontEnum | DontDelete);
    Property* policy = m_proto->findOwn(QStringLiteral("checkPolicyFile"));
    policy->getter = vm.newNative(QStringLiteral("checkPolicyFile"), Builtins::nothing);
    policy->setter = vm.newNative(QStringLiteral("checkPolicyFile"), Builtins::nothing);
    // areSoundsInaccessible belongs to version 9: older movies find the bare
    // Function.prototype in its place.
    Value inaccessible = Value(vm.realm().functionPrototype);
    if (vm.version() >= 9)
        inaccessible = Value(static_cast<Object*>(vm.newNative(QStringLiteral("areSoundsInaccessible"), Builtins::refuse)));
    m_proto->define(QStringLiteral("areSoundsInaccessible"), inaccessible, DontEnum | DontDelete);
    m_proto->findOwn(QStringLiteral("areSoundsInaccessible"))->minVersion = 9;

    // Every member of Sound.prototype, its links included, is read-only.
    for (const QString& name : m_proto->ownNames(true))
        if (Property* p = m_proto->findOwn(name))
            p->flags |= ReadOnly;
}

} // namespace swf::avm1
