#include "swf/avm2/display/StageScripts.h"

#include "swf/format/TagCodes.h"
#include "swf/movie/Character.h"
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
    m.addMethod(container, QStringLiteral("getChildAt"), [this](Machine& m, const Value& self, Args args) {
        return childAt(m, self, toInt32(m.toNumber(arg(args, 0))));
    }, 1);
    m.addMethod(container, QStringLiteral("getChildByName"), [this](Machine& m, const Value& self, Args args) {
        SpriteInstance* sprite = spriteOf(m, self);
        const QString name = m.toString(arg(args, 0));
        if (sprite) {
            for (const auto& [depth, child] : sprite->displayList()) {
                if (child->name() == name)
                    return Value::object(objectFor(child.get()));
            }
        }
        return Value::null();
    }, 1);
    m.addMethod(container, QStringLiteral("getChildIndex"), [this](Machine& m, const Value& self, Args args) {
        SpriteInstance* sprite = spriteOf(m, self);
        Object* child = arg(args, 0).object();
        int index = 0;
        if (sprite && child) {
            for (const auto& [depth, entry] : sprite->displayList()) {
                if (entry.get() == child->display)
                    return Value::number(index);
                ++index;
            }
        }
        m.throwError(ErrorClass::ArgumentError, 2025, QStringLiteral("The supplied DisplayObject must be a child of the caller."));
    }, 1);
    m.addMethod(container, QStringLiteral("contains"), [](Machine&, const Value& self, Args args) {
        Object* o = self.object();
        Object* child = arg(args, 0).object();
        if (!o || !o->display || !child || !child->display)
            return Value::boolean(false);
        for (DisplayObject* d = child->display; d; d = d->parent()) {
            if (d == o->display)
                return Value::boolean(true);
        }
        return Value::boolean(false);
    }, 1);
    m.addGetter(b.displayObject, QStringLiteral("root"), [this](Machine&, const Value& self, Args) {
        Object* o = self.object();
        if (!o || !o->display)
            return Value::null();
        return Value::object(objectFor(&m_stage.root()));
    });
    m.addGetter(b.displayObject, QStringLiteral("visible"),
        [](Machine&, const Value& self, Args) {
            Object* o = self.object();
            return Value::boolean(!o || !o->display || o->display->isVisible());
        },
        [](Machine& m, const Value& self, Args args) {
            if (Object* o = self.object(); o && o->display)
                o->display->setVisible(m.toBoolean(arg(args, 0)));
            return Value::undefined();
        });
    m_shapeClass = m.defineClass(display, QStringLiteral("Shape"), b.displayObject, InstanceKind::Display, nothing);
    m_shapeClass->sealed = true;
    m_buttonClass = m.defineClass(display, QStringLiteral("SimpleButton"), interactive, InstanceKind::Display, nothing);
    m_buttonClass->sealed = true;
    m_textClass = m.defineClass(QStringLiteral("flash.text"), QStringLiteral("TextField"), interactive, InstanceKind::Display, nothing);
    m_textClass->sealed = true;
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
    if (!m_documentMade) {
        m_documentMade = true;
        m_placed.insert(m_placed.begin(), &m_stage.root());
    }
    makePlacedObjects();
    runDueFrameScripts();
}

ClassObject* StageScripts::classFor(const DisplayObject& display)
{
    Machine& m = *m_machine;
    const bool isRoot = &display == &m_stage.root();
    const std::uint16_t id = isRoot ? 0 : display.characterId();
    if (m_symbolClasses.contains(id)) {
        if (ClassObject* cls = m.findClass(m_symbolClasses.value(id)))
            return cls;
    }
    if (isRoot)
        return m_symbolClasses.contains(0) ? nullptr : m.builtins().movieClip;
    if (display.asSprite())
        return m.builtins().movieClip;
    const CharacterKind kind = display.character() ? display.character()->kind : CharacterKind::Other;
    if (kind == CharacterKind::Button)
        return m_buttonClass;
    if (kind == CharacterKind::EditText || kind == CharacterKind::Text)
        return m_textClass;
    return m_shapeClass;
}

void StageScripts::instancePlaced(DisplayObject& instance)
{
    m_placed.push_back(&instance);
}

// Instances placed since the last frame get their objects; then, children
// before their parents (as the player builds a timeline's frame), each
// constructor runs and a named child is stored in its parent's property.
void StageScripts::makePlacedObjects()
{
    Machine& m = *m_machine;
    std::vector<DisplayObject*> placed;
    placed.swap(m_placed);
    std::vector<DisplayObject*> made;
    for (DisplayObject* display : placed) {
        if (m_objects.contains(display))
            continue;
        m.guard([&] {
            ClassObject* cls = classFor(*display);
            if (!cls)
                return;
            Object* object = m.instantiate(cls);
            object->display = display;
            m_objects.insert(display, object);
            if (display->asSprite())
                m_timelines.push_back(object);
            made.push_back(display);
        });
    }
    if (!made.empty())
        constructTree(m_stage.root());
}

void StageScripts::constructTree(DisplayObject& display)
{
    if (SpriteInstance* sprite = display.asSprite()) {
        std::vector<DisplayObject*> children;
        for (const auto& [depth, child] : sprite->displayList())
            children.push_back(child.get());
        for (DisplayObject* child : children)
            constructTree(*child);
    }
    Object* object = objectFor(&display);
    if (!object || m_constructed.contains(object))
        return;
    m_constructed.insert(object, true);
    Machine& m = *m_machine;
    Value self = Value::object(object);
    Object* parent = display.parent() ? objectFor(display.parent()) : nullptr;
    if (parent && !display.name().isEmpty()) {
        // The parent's declared variable (or, on a dynamic class, a new property) holds the child.
        Name name = Name::publicName(display.name());
        if (parent->traits().find(name) || parent->isDynamic())
            m.guard([&] { m.setProperty(Value::object(parent), name, self); });
    }
    m.guard([&] {
        if (object->classObject()->constructor)
            m.callMethod(object->classObject()->constructor, self, {});
    });
}

Value StageScripts::childAt(Machine& m, const Value& self, int index)
{
    SpriteInstance* sprite = spriteOf(m, self);
    const int count = sprite ? int(sprite->displayList().size()) : 0;
    if (index < 0 || index >= count)
        m.throwError(ErrorClass::RangeError, 2006, QStringLiteral("The supplied index is out of bounds."));
    auto it = sprite->displayList().begin();
    std::advance(it, index);
    return Value::object(objectFor(it->second.get()));
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
    m_placed.erase(std::remove(m_placed.begin(), m_placed.end(), &instance), m_placed.end());
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
    m_placed.clear();
}

} // namespace swf::avm2
