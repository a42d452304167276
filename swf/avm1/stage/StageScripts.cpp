#include "swf/avm1/stage/StageScripts.h"
#include "swf/avm1/builtins/LoadRequests.h"

#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"
#include "swf/avm1/stage/ClipDrawing.h"
#include "swf/avm1/stage/SoundScripts.h"
#include "swf/avm1/stage/SpriteClip.h"
#include "swf/avm1/stage/TextFieldObject.h"
#include "swf/avm1/stage/TextFieldScripts.h"
#include "swf/avm1/stage/VideoClasses.h"

#include <algorithm>
#include <atomic>
#include <QDebug>

#include <cmath>

namespace swf::avm1 {

namespace {

// Between frames the collector runs once the heap has grown by half of what
// the last sweep kept, and never before this many new objects: a game that
// makes and drops objects every frame then stays near its live size instead
// of climbing tens of thousands of objects above it between sweeps.
constexpr size_t CollectAfterAtLeast = 4096;

bool collectionDue(const Interpreter& vm)
{
    const std::size_t fresh = vm.allocationsSinceCollect();
    const std::size_t kept = vm.heapSize() - std::min(fresh, vm.heapSize());
    return fresh > std::max(CollectAfterAtLeast, kept / 2);
}

SpriteClip* clipOf(const CallArgs& a)
{
    Object* o = a.thisObject();
    return o && o->kind() == Object::Kind::Clip ? static_cast<SpriteClip*>(o) : nullptr;
}

} // namespace

static Value movieClipConstructor(Interpreter&, CallArgs& a)
{
    return a.thisValue;
}

// play, stop, nextFrame, prevFrame and removeMovieClip: one timeline command
// on the clip `this` is.
template<void (ClipObject::*Command)()>
Value movieClipCommand(Interpreter&, CallArgs& a)
{
    if (auto* c = clipOf(a))
        (c->*Command)();
    return Value();
}

// gotoAndPlay and gotoAndStop: a frame number, or a label when the argument
// is a string that reads as no number.
template<bool Play>
Value movieClipGoto(Interpreter& vm, CallArgs& a)
{
    auto* c = clipOf(a);
    if (!c || a.args.empty())
        return Value();
    Value frame = a.arg(0);
    if (frame.isString()) {
        double n = stringToNumber(frame.asString(), vm.version());
        if (std::isnan(n)) {
            c->gotoLabel(frame.asString(), Play);
            return Value();
        }
        c->gotoFrame(clampToInt(n), Play);
        return Value();
    }
    double n = toIntegerValue(vm.toNumber(frame));
    c->gotoFrame(clampToInt(n), Play);
    return Value();
}

static Value movieClipGetDepth(Interpreter&, CallArgs& a)
{
    auto* c = clipOf(a);
    return c && c->sprite() ? Value(double(c->sprite()->depth() - 16384)) : Value();
}

static Value movieClipGetNextHighestDepth(Interpreter&, CallArgs& a)
{
    auto* c = clipOf(a);
    if (!c || !c->sprite())
        return Value();
    int highest = -1;
    for (const auto& [depth, child] : c->sprite()->displayList())
        highest = std::max(highest, depth - 16384);
    return Value(double(std::max(highest + 1, 0)));
}

static Value movieClipGetInstanceAtDepth(Interpreter& vm, CallArgs& a)
{
    auto* c = clipOf(a);
    if (!c || !c->sprite())
        return Value();
    DisplayObject* child = c->sprite()->childAt(clampToInt(double(clampToInt(vm.toNumber(a.arg(0)))) + 16384));
    SpriteInstance* s = child ? child->asSprite() : nullptr;
    return s ? Value(static_cast<Object*>(StageScripts::of(vm).clipFor(*s))) : Value();
}

// The movie's version for a clip or a text field, -1 for anything else the
// method is moved onto.
static Value movieClipGetSWFVersion(Interpreter& vm, CallArgs& a)
{
    Object* o = a.thisObject();
    if (o && (o->kind() == Object::Kind::Clip || dynamic_cast<TextFieldObject*>(o)))
        return Value(double(StageScripts::of(vm).stage().movie().version()));
    return Value(-1.0);
}

// The timeline methods; MovieClipClass.cpp and ClipDrawing.cpp add the rest.
const NativeMethod movieClipMethods[] = {
    { "play", movieClipCommand<&ClipObject::play> },
    { "stop", movieClipCommand<&ClipObject::stop> },
    { "nextFrame", movieClipCommand<&ClipObject::nextFrame> },
    { "prevFrame", movieClipCommand<&ClipObject::prevFrame> },
    { "gotoAndPlay", movieClipGoto<true> },
    { "gotoAndStop", movieClipGoto<false> },
    { "getDepth", movieClipGetDepth },
    { "getSWFVersion", movieClipGetSWFVersion },
    { "getNextHighestDepth", movieClipGetNextHighestDepth, DontEnum, 7 },
    { "getInstanceAtDepth", movieClipGetInstanceAtDepth, DontEnum, 7 },
    { "removeMovieClip", movieClipCommand<&ClipObject::remove> },
};

// Runners are told apart by serial, not address: a new one may take a gone one's place.
static std::uint64_t nextSerial()
{
    static std::atomic<std::uint64_t> serial { 0 };
    return ++serial;
}

StageScripts::StageScripts(Stage& stage)
    : m_stage(stage)
    , m_vm(std::make_unique<Interpreter>(stage.movie().version(), this))
    , m_serial(nextSerial())
{
    installMovieClip();
    installClipMethods(*m_vm, m_vm->clipPrototype());
    installStageObjects();
    installInputObjects();
    m_textFields = std::make_unique<TextFieldScripts>(*this);
    m_textFields->install();
    m_sounds = std::make_unique<SoundScripts>(*this);
    m_sounds->install();
}

StageScripts::~StageScripts()
{
    releaseLeaving();
}

void StageScripts::installMovieClip()
{
    Interpreter& vm = *m_vm;
    Object* proto = vm.newObject();
    vm.setRealmSlot(&Realm::clipPrototype, proto);
    auto* ctor = vm.newConstructor(QStringLiteral("MovieClip"), movieClipConstructor, proto);
    vm.global()->define(QStringLiteral("MovieClip"), Value(static_cast<Object*>(ctor)), DontEnum);

    vm.defineMethods(proto, movieClipMethods);
    installDrawingApi(*this, vm, proto);
}

SpriteClip* StageScripts::clipFor(SpriteInstance& sprite)
{
    if (void* peer = sprite.scriptPeer(m_serial))
        return static_cast<SpriteClip*>(peer);
    auto* clip = m_vm->make<SpriteClip>(*this, &sprite, m_vm->clipPrototype(), versionOf(&sprite) >= 7);
    m_clips.emplace(&sprite, clip);
    sprite.setScriptPeer(m_serial, clip);
    return clip;
}

ClipObject* StageScripts::level(int n)
{
    SpriteInstance* level = m_stage.level(n);
    return level ? clipFor(*level) : nullptr;
}

int StageScripts::versionOf(const DisplayObject* object) const
{
    for (const DisplayObject* o = object; o; o = o->parent()) {
        if (const SpriteInstance* sprite = o->asSprite(); sprite && sprite->loadedMovie())
            return sprite->loadedMovie()->version();
    }
    return m_stage.movie().version();
}

std::shared_ptr<const Block> StageScripts::decode(const QByteArray& actions, int version)
{
    if (version <= 0)
        version = m_stage.movie().version();
    auto& cache = version == m_stage.movie().version() ? m_decoded : m_decodedOther[version];
    auto it = cache.constFind(actions);
    if (it != cache.constEnd())
        return *it;
    auto block = decodeBlock(actions, version);
    std::shared_ptr<const Block> result;
    if (block)
        result = block.release();
    else
        scriptFault(QStringLiteral("action block not run: %1 (at byte %2)").arg(block.error().detail).arg(block.error().offset));
    cache.insert(actions, result);
    return result;
}

void StageScripts::trace(const QString& line)
{
    if (m_traceSink)
        m_traceSink(line);
}

void StageScripts::scriptFault(const QString& what)
{
    // Keep logs readable when a movie faults every frame.
    if (++m_faults <= 20)
        qWarning().noquote() << "script:" << what;
}

void StageScripts::fscommand(const QString& command, const QString&)
{
    if (command.compare(QLatin1String("quit"), Qt::CaseInsensitive) == 0)
        m_quit = true;
}

void StageScripts::flush()
{
    drain();
    // Intervals the scripts just set count from the frame that set them.
    if (!m_quit)
        m_vm->tickIntervals(m_nowMs);
    m_textFields->afterFrame();
}

void StageScripts::afterTick(double nowMs)
{
    m_nowMs = nowMs;
    m_vm->beginFrame();
    drain();
    // Files asked for on earlier frames arrive now, as downloads would: a
    // local file is there before any interval of this frame runs.
    if (!m_quit) {
        if (LoadQueue* loads = loadQueueOf(*m_vm))
            loads->pump(*m_vm);
    }
    if (!m_quit)
        m_vm->tickIntervals(nowMs);
    if (!m_quit) {
        m_textFields->afterFrame();
        m_sounds->afterFrame();
    }
    // A spent memory budget may be garbage: collecting lets the next frame's
    // scripts run if it was.
    if (collectionDue(*m_vm) || m_vm->memory().estimate() > m_vm->memory().limit()) {
        std::vector<Object*> roots;
        roots.reserve(m_clips.size());
        for (const auto& [instance, clip] : m_clips)
            roots.push_back(clip);
        for (const auto& [instance, button] : m_buttons)
            roots.push_back(button);
        m_textFields->addRoots(roots);
        m_sounds->addRoots(roots);
        addLoadRoots(*m_vm, roots);
        addVideoRoots(*m_vm, roots);
        m_vm->collectGarbage(roots);
    }
}

} // namespace swf::avm1
