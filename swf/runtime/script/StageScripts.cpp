#include "swf/runtime/script/StageScripts.h"

#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"
#include "swf/runtime/script/SpriteClip.h"

#include <QDebug>

namespace swf::script {

namespace {

// Scripts hand over work to the stage at most this deep (a frame script that
// jumps to a frame whose script jumps again, ...).
constexpr size_t MaxQueued = 100000;
// Past this many new objects since the last sweep, collect between frames.
constexpr size_t CollectAfter = 50000;

// Clip-event flag bits (little-endian, as in movies of version 6 and later).
constexpr uint32_t EventLoad = 0x0001;
constexpr uint32_t EventEnterFrame = 0x0002;
constexpr uint32_t EventUnload = 0x0004;

SpriteClip* clipOf(const CallArgs& a)
{
    Object* o = a.thisObject();
    return o && o->kind() == Object::Kind::Clip ? static_cast<SpriteClip*>(o) : nullptr;
}

} // namespace

StageScripts::StageScripts(Stage& stage)
    : m_stage(stage)
    , m_vm(std::make_unique<Interpreter>(stage.movie().version(), this))
{
    installMovieClip();
    installStageObjects();
}

StageScripts::~StageScripts() = default;

void StageScripts::installMovieClip()
{
    Interpreter& vm = *m_vm;
    Object* proto = vm.newObject();
    vm.setClipPrototype(proto);
    auto* ctor = vm.newConstructor(QStringLiteral("MovieClip"), [](Interpreter&, CallArgs& a) -> Value { return a.thisValue; }, proto);
    vm.global()->define(QStringLiteral("MovieClip"), Value(static_cast<Object*>(ctor)), DontEnum);

    auto method = [&](const char* name, NativeFunction f) { vm.defineMethod(proto, QString::fromLatin1(name), std::move(f)); };
    method("play", [](Interpreter&, CallArgs& a) -> Value { if (auto* c = clipOf(a)) c->play(); return Value(); });
    method("stop", [](Interpreter&, CallArgs& a) -> Value { if (auto* c = clipOf(a)) c->stop(); return Value(); });
    method("nextFrame", [](Interpreter&, CallArgs& a) -> Value { if (auto* c = clipOf(a)) c->nextFrame(); return Value(); });
    method("prevFrame", [](Interpreter&, CallArgs& a) -> Value { if (auto* c = clipOf(a)) c->prevFrame(); return Value(); });
    auto gotoImpl = [](bool play) {
        return [play](Interpreter& vm, CallArgs& a) -> Value {
            auto* c = clipOf(a);
            if (!c || a.args.empty())
                return Value();
            Value frame = a.arg(0);
            if (frame.isString()) {
                double n = stringToNumber(frame.asString(), vm.version());
                if (std::isnan(n)) {
                    c->gotoLabel(frame.asString(), play);
                    return Value();
                }
                c->gotoFrame(clampToInt(n), play);
                return Value();
            }
            double n = toIntegerValue(vm.toNumber(frame));
            c->gotoFrame(clampToInt(n), play);
            return Value();
        };
    };
    method("gotoAndPlay", gotoImpl(true));
    method("gotoAndStop", gotoImpl(false));
    method("getDepth", [](Interpreter&, CallArgs& a) -> Value {
        auto* c = clipOf(a);
        return c && c->sprite() ? Value(double(c->sprite()->depth() - 16384)) : Value();
    });
    method("getNextHighestDepth", [](Interpreter&, CallArgs& a) -> Value {
        auto* c = clipOf(a);
        if (!c || !c->sprite())
            return Value();
        int highest = -1;
        for (const auto& [depth, child] : c->sprite()->displayList())
            highest = std::max(highest, depth - 16384);
        return Value(double(std::max(highest + 1, 0)));
    });
    method("getInstanceAtDepth", [this](Interpreter& vm, CallArgs& a) -> Value {
        auto* c = clipOf(a);
        if (!c || !c->sprite())
            return Value();
        DisplayObject* child = c->sprite()->childAt(clampToInt(double(clampToInt(vm.toNumber(a.arg(0)))) + 16384));
        SpriteInstance* s = child ? child->asSprite() : nullptr;
        return s ? Value(static_cast<Object*>(clipFor(*s))) : Value();
    });
    method("removeMovieClip", [](Interpreter&, CallArgs& a) -> Value { if (auto* c = clipOf(a)) c->remove(); return Value(); });
}

SpriteClip* StageScripts::clipFor(SpriteInstance& sprite)
{
    auto it = m_clips.find(&sprite);
    if (it != m_clips.end())
        return it->second;
    auto* clip = m_vm->make<SpriteClip>(*this, &sprite, m_vm->clipPrototype(), m_vm->caseSensitive());
    m_clips.emplace(&sprite, clip);
    return clip;
}

ClipObject* StageScripts::level(int n)
{
    return n == 0 ? clipFor(m_stage.root()) : nullptr;
}

std::shared_ptr<const Block> StageScripts::decode(const QByteArray& actions)
{
    auto it = m_decoded.constFind(actions);
    if (it != m_decoded.constEnd())
        return *it;
    auto block = decodeBlock(actions, m_stage.movie().version());
    std::shared_ptr<const Block> result;
    if (block)
        result = block.release();
    else
        scriptFault(QStringLiteral("action block not run: %1 (at byte %2)").arg(block.error().detail).arg(block.error().offset));
    m_decoded.insert(actions, result);
    return result;
}

void StageScripts::enqueue(SpriteInstance& timeline, const QByteArray& actions)
{
    auto block = decode(actions);
    if (!block || m_queue.size() >= MaxQueued)
        return;
    m_queue.push_back({ std::move(block), &timeline });
}

void StageScripts::drain()
{
    // Scripts that make the stage run more scripts (a goto from a frame
    // script) queue them; they run once the current one has finished.
    if (m_draining)
        return;
    m_draining = true;
    // What one tick of the stage queued runs outer timelines first: a frame's
    // own actions before those of the clips it placed.
    std::stable_sort(m_queue.begin(), m_queue.end(), [](const Pending& a, const Pending& b) {
        return a.timeline->nesting() < b.timeline->nesting();
    });
    while (!m_queue.empty() && !m_quit) {
        Pending p = std::move(m_queue.front());
        m_queue.pop_front();
        auto it = m_clips.find(p.timeline);
        SpriteClip* clip = it != m_clips.end() ? it->second : nullptr;
        if (!clip) {
            // The timeline may have left the stage while the block waited;
            // a live one is still in its parent's list or is the root.
            if (p.timeline != &m_stage.root() && !m_clipsAlive.contains(p.timeline))
                continue;
            clip = clipFor(*p.timeline);
        }
        m_vm->run(*p.block, clip);
    }
    m_queue.clear();
    m_draining = false;
}

void StageScripts::runFrameActions(SpriteInstance& timeline, const QByteArray& actions)
{
    m_clipsAlive.insert(&timeline);
    enqueue(timeline, actions);
}

void StageScripts::runInitActions(SpriteInstance& timeline, std::uint16_t, const QByteArray& actions)
{
    m_clipsAlive.insert(&timeline);
    enqueue(timeline, actions);
}

void StageScripts::clipEvent(DisplayObject& instance, ClipEvent event, const QByteArray& clipActions)
{
    SpriteInstance* sprite = instance.asSprite();
    if (!sprite || clipActions.size() < 6)
        return;
    m_clipsAlive.insert(sprite);
    const bool wide = m_stage.movie().version() >= 6;
    const uint32_t wanted = event == ClipEvent::Load ? EventLoad : event == ClipEvent::EnterFrame ? EventEnterFrame : EventUnload;
    const auto* data = reinterpret_cast<const uint8_t*>(clipActions.constData());
    const size_t size = size_t(clipActions.size());
    size_t pos = 2 + (wide ? 4 : 2); // reserved, then the union of all event flags
    while (pos + (wide ? 4 : 2) <= size) {
        uint32_t flags = wide ? uint32_t(data[pos] | data[pos + 1] << 8 | data[pos + 2] << 16 | uint32_t(data[pos + 3]) << 24)
                              : uint32_t(data[pos] | data[pos + 1] << 8);
        pos += wide ? 4 : 2;
        if (flags == 0 || pos + 4 > size)
            break;
        uint32_t length = uint32_t(data[pos] | data[pos + 1] << 8 | data[pos + 2] << 16 | uint32_t(data[pos + 3]) << 24);
        pos += 4;
        if (length > size - pos)
            break;
        size_t start = pos;
        size_t bodyLength = length;
        if (wide && (flags & 0x00020000) && bodyLength > 0) { // key press: a key code precedes the actions
            ++start;
            --bodyLength;
        }
        if (flags & wanted) {
            QByteArray body = clipActions.mid(qsizetype(start), qsizetype(bodyLength));
            SpriteClip* clip = clipFor(*sprite);
            if (auto block = decode(body)) {
                m_queue.push_back({ block, sprite });
                (void)clip;
            }
        }
        pos += length;
    }
}

void StageScripts::instanceRemoved(DisplayObject& instance)
{
    m_clipsAlive.remove(&instance);
    auto it = m_clips.find(&instance);
    if (it == m_clips.end())
        return;
    it->second->detach();
    m_clips.erase(it);
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
}

void StageScripts::afterTick(double nowMs)
{
    m_nowMs = nowMs;
    drain();
    if (!m_quit)
        m_vm->tickIntervals(nowMs);
    if (m_vm->allocationsSinceCollect() > CollectAfter) {
        std::vector<Object*> roots;
        roots.reserve(m_clips.size());
        for (const auto& [instance, clip] : m_clips)
            roots.push_back(clip);
        m_vm->collectGarbage(roots);
    }
}

} // namespace swf::script
