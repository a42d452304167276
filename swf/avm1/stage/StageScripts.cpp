#include "swf/avm1/stage/StageScripts.h"

#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"
#include "swf/avm1/stage/ClipDrawing.h"
#include "swf/avm1/stage/SoundScripts.h"
#include "swf/avm1/stage/SpriteClip.h"
#include "swf/avm1/stage/TextFieldScripts.h"

#include <QDebug>

namespace swf::avm1 {

namespace {

// Past this many new objects since the last sweep, collect between frames.
constexpr size_t CollectAfter = 50000;

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
    installClipMethods(*this, *m_vm, m_vm->clipPrototype());
    installStageObjects();
    installInputObjects();
    m_textFields = std::make_unique<TextFieldScripts>(*this);
    m_textFields->install();
    m_sounds = std::make_unique<SoundScripts>(*this);
    m_sounds->install();
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
    installDrawingApi(*this, vm, proto);
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
    if (!m_quit)
        m_vm->tickIntervals(nowMs);
    if (!m_quit) {
        m_textFields->afterFrame();
        m_sounds->afterFrame();
    }
    if (m_vm->allocationsSinceCollect() > CollectAfter) {
        std::vector<Object*> roots;
        roots.reserve(m_clips.size());
        for (const auto& [instance, clip] : m_clips)
            roots.push_back(clip);
        for (const auto& [instance, button] : m_buttons)
            roots.push_back(button);
        m_textFields->addRoots(roots);
        m_sounds->addRoots(roots);
        m_vm->collectGarbage(roots);
    }
}

} // namespace swf::avm1
