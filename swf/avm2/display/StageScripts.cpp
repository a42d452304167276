#include "swf/avm2/display/StageScripts.h"

#include "swf/format/TagCodes.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

} // namespace

StageScripts::StageScripts(Stage& stage)
    : m_stage(stage)
    , m_machine(std::make_unique<Machine>())
{
    installDisplayClasses();
}

StageScripts::~StageScripts() = default;

SpriteInstance* StageScripts::spriteOf(Machine&, const Value& self)
{
    Object* o = self.object();
    return o && o->display ? o->display->asSprite() : nullptr;
}

void StageScripts::installDisplayClasses()
{
    Machine& m = *m_machine;
    auto& b = m.builtins();
    const QString display = QStringLiteral("flash.display");
    auto nothing = [](Machine&, const Value&, Args) { return Value::undefined(); };

    ClassObject* dispatcher = b.eventDispatcher;
    m.displayParent = [this](Object* o) -> Object* {
        return o && o->display && o->display->parent() ? objectFor(o->display->parent()) : nullptr;
    };

    b.displayObject = m.defineClass(display, QStringLiteral("DisplayObject"), dispatcher, InstanceKind::Display, nothing);
    b.displayObject->sealed = true;
    m.addGetter(b.displayObject, QStringLiteral("name"),
        [](Machine&, const Value& self, Args) {
            Object* o = self.object();
            return o && o->display ? Value::string(o->display->name()) : Value::null();
        },
        [](Machine& m, const Value& self, Args args) {
            Object* o = self.object();
            if (o && o->display)
                o->display->setName(m.toString(arg(args, 0)));
            return Value::undefined();
        });
    m.addGetter(b.displayObject, QStringLiteral("parent"), [this](Machine&, const Value& self, Args) {
        Object* o = self.object();
        if (!o || !o->display || !o->display->parent())
            return Value::null();
        return Value::object(objectFor(o->display->parent()));
    });
    ClassObject* interactive = m.defineClass(display, QStringLiteral("InteractiveObject"), b.displayObject, InstanceKind::Display, nothing);
    interactive->sealed = true;
    ClassObject* container = m.defineClass(display, QStringLiteral("DisplayObjectContainer"), interactive, InstanceKind::Display, nothing);
    container->sealed = true;
    m.addGetter(container, QStringLiteral("numChildren"), [this](Machine& m, const Value& self, Args) {
        SpriteInstance* sprite = spriteOf(m, self);
        return Value::number(sprite ? double(sprite->displayList().size()) : 0);
    });
    b.sprite = m.defineClass(display, QStringLiteral("Sprite"), container, InstanceKind::Display, nothing);
    b.sprite->sealed = true;
    b.movieClip = m.defineClass(display, QStringLiteral("MovieClip"), b.sprite, InstanceKind::Display, nothing);
    b.movieClip->sealed = false;

    // Timeline control; a clip made by a script alone has no timeline and ignores it.
    m.addMethod(b.movieClip, QStringLiteral("addFrameScript"), [this](Machine& m, const Value& self, Args args) {
        Object* o = self.object();
        if (!o)
            return Value::undefined();
        for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
            int frame = toInt32(m.toNumber(args[i])) + 1;
            if (args[i + 1].isObject())
                m_frameScripts[o][frame] = args[i + 1];
            else
                m_frameScripts[o].remove(frame);
        }
        return Value::undefined();
    });
    m.addMethod(b.movieClip, QStringLiteral("stop"), [this](Machine& m, const Value& self, Args) {
        if (SpriteInstance* sprite = spriteOf(m, self))
            sprite->stop();
        return Value::undefined();
    });
    m.addMethod(b.movieClip, QStringLiteral("play"), [this](Machine& m, const Value& self, Args) {
        if (SpriteInstance* sprite = spriteOf(m, self))
            sprite->play();
        return Value::undefined();
    });
    auto go = [this](bool andPlay) {
        return [this, andPlay](Machine& m, const Value& self, Args args) {
            SpriteInstance* sprite = spriteOf(m, self);
            if (!sprite)
                return Value::undefined();
            Value target = arg(args, 0);
            if (target.isString() && !std::isfinite(stringToNumber(target.s))) {
                if (!sprite->gotoLabel(target.s, andPlay))
                    m.throwError(ErrorClass::ArgumentError, 2109,
                        QStringLiteral("Frame label %1 not found in scene %2.").arg(target.s, QStringLiteral("Scene 1")));
            } else {
                sprite->gotoFrame(int(m.toNumber(target)), andPlay);
            }
            runFrameScript(self.object());
            return Value::undefined();
        };
    };
    m.addMethod(b.movieClip, QStringLiteral("gotoAndStop"), go(false), 1);
    m.addMethod(b.movieClip, QStringLiteral("gotoAndPlay"), go(true), 1);
    m.addMethod(b.movieClip, QStringLiteral("nextFrame"), [this](Machine& m, const Value& self, Args) {
        if (SpriteInstance* sprite = spriteOf(m, self)) {
            sprite->gotoFrame(std::min(sprite->currentFrame() + 1, sprite->frameCount()), false);
            runFrameScript(self.object());
        }
        return Value::undefined();
    });
    m.addMethod(b.movieClip, QStringLiteral("prevFrame"), [this](Machine& m, const Value& self, Args) {
        if (SpriteInstance* sprite = spriteOf(m, self)) {
            sprite->gotoFrame(std::max(sprite->currentFrame() - 1, 1), false);
            runFrameScript(self.object());
        }
        return Value::undefined();
    });
    m.addGetter(b.movieClip, QStringLiteral("currentFrame"), [this](Machine& m, const Value& self, Args) {
        SpriteInstance* sprite = spriteOf(m, self);
        return Value::number(sprite ? sprite->currentFrame() : 1);
    });
    m.addGetter(b.movieClip, QStringLiteral("totalFrames"), [this](Machine& m, const Value& self, Args) {
        SpriteInstance* sprite = spriteOf(m, self);
        return Value::number(sprite ? sprite->frameCount() : 1);
    });
    m.addGetter(b.movieClip, QStringLiteral("framesLoaded"), [this](Machine& m, const Value& self, Args) {
        SpriteInstance* sprite = spriteOf(m, self);
        return Value::number(sprite ? sprite->frameCount() : 1);
    });
}

void StageScripts::loadFrameTags(int frame)
{
    const TimelineDef& root = m_stage.movie().root();
    for (; m_framesLoaded < frame && m_framesLoaded < root.frameCount(); ++m_framesLoaded) {
        for (const ControlTag& tag : root.frames[std::size_t(m_framesLoaded)]) {
            if (tag.code == TagDoAbc || tag.code == TagDoAbcDefine) {
                auto abc = readDoAbc(tag.body, tag.code == TagDoAbc);
                if (!abc.ok())
                    continue;
                auto loaded = m_machine->loadAbc(abc.value().abc, abc.value().flags & 1);
                if (!loaded.ok())
                    m_machine->trace(QStringLiteral("VerifyError: Error #1000: %1").arg(loaded.error().detail));
            } else if (tag.code == TagSymbolClass) {
                auto bindings = readSymbolClass(tag.body);
                if (!bindings.ok())
                    continue;
                for (const SymbolBinding& binding : bindings.value())
                    m_symbolClasses.insert(binding.characterId, binding.className);
            }
        }
    }
}

void StageScripts::afterFrame()
{
    Machine& m = *m_machine;
    m.startFrame();
    loadFrameTags(m_stage.root().currentFrame());
    if (!m_documentMade && m_symbolClasses.contains(0)) {
        m_documentMade = true;
        SpriteInstance& root = m_stage.root();
        m.guard([&] {
            ClassObject* cls = m.findClass(m_symbolClasses.value(0));
            if (!cls)
                return;
            Object* object = m.instantiate(cls);
            object->display = &root;
            m_objects.insert(&root, object);
            m_timelines.push_back(object);
            if (cls->constructor)
                m.callMethod(cls->constructor, Value::object(object), {});
        });
    }
    runDueFrameScripts();
}

void StageScripts::runDueFrameScripts()
{
    // Scripts may add timelines while these run; walk by index.
    for (std::size_t i = 0; i < m_timelines.size(); ++i)
        runFrameScript(m_timelines[i]);
}

void StageScripts::runFrameScript(Object* object)
{
    if (!object || !object->display || !object->display->asSprite())
        return;
    SpriteInstance* sprite = object->display->asSprite();
    const int frame = sprite->currentFrame();
    if (m_lastScriptFrame.value(object, 0) == frame)
        return;
    m_lastScriptFrame.insert(object, frame);
    auto scripts = m_frameScripts.constFind(object);
    if (scripts == m_frameScripts.constEnd())
        return;
    Value fn = scripts->value(frame);
    if (!fn.isObject())
        return;
    m_machine->guard([&] { m_machine->call(fn, Value::object(object), {}); });
}

void StageScripts::instanceRemoved(DisplayObject& instance)
{
    auto it = m_objects.find(&instance);
    if (it == m_objects.end())
        return;
    Object* object = it.value();
    object->display = nullptr;
    m_objects.erase(it);
    m_timelines.erase(std::remove(m_timelines.begin(), m_timelines.end(), object), m_timelines.end());
}

void StageScripts::stageRestarting()
{
    for (Object* object : m_timelines)
        object->display = nullptr;
    for (auto it = m_objects.begin(); it != m_objects.end(); ++it)
        it.value()->display = nullptr;
    m_objects.clear();
    m_timelines.clear();
}

} // namespace swf::avm2
