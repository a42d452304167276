#include "swf/avm2/display/StageScripts.h"

#include "swf/avm2/display/GeomClasses.h"

#include "swf/format/TagCodes.h"
#include "swf/movie/Character.h"
#include "swf/runtime/EmptyTimeline.h"
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
    // Each display class's constructor gives a script-made object its display
    // object; one placed by a timeline has it already.
    auto make = [this](Machine&, const Value& self, Args) {
        if (Object* o = self.object())
            ensureDisplay(o);
        return Value::undefined();
    };

    ClassObject* dispatcher = b.eventDispatcher;
    m.displayParent = [this](Object* o) -> Object* {
        if (!o || !o->display)
            return nullptr;
        if (o->display == &m_stage.root())
            return m_stageObject;
        return o->display->parent() ? objectFor(o->display->parent()) : nullptr;
    };
    m.listenerAdded = [this](Object* o, const QString& type) {
        static const QStringList frameEvents = { QStringLiteral("enterFrame"), QStringLiteral("frameConstructed"),
            QStringLiteral("exitFrame"), QStringLiteral("render") };
        if (!frameEvents.contains(type))
            return;
        auto& list = m_frameListeners[type];
        if (std::find(list.begin(), list.end(), o) == list.end())
            list.push_back(o);
    };

    b.displayObject = m.defineClass(display, QStringLiteral("DisplayObject"), dispatcher, InstanceKind::Display, make);
    b.displayObject->sealed = true;
    installDisplayObjectMembers(b.displayObject);
    ClassObject* interactive = m.defineClass(display, QStringLiteral("InteractiveObject"), b.displayObject, InstanceKind::Display, make);
    m_interactiveClass = interactive;
    interactive->sealed = true;
    for (const char* name : { "mouseEnabled", "doubleClickEnabled", "tabEnabled" }) {
        const QString key = QLatin1String(name);
        m.addGetter(interactive, key,
            [key](Machine&, const Value& self, Args) {
                return hiddenGet(self.o, QLatin1Char(' ') + key, Value::boolean(key == QLatin1String("mouseEnabled")));
            },
            [key](Machine& m, const Value& self, Args args) {
                if (self.o)
                    hiddenSet(self.o, QLatin1Char(' ') + key, Value::boolean(m.toBoolean(arg(args, 0))));
                return Value::undefined();
            });
    }
    m_containerClass = m.defineClass(display, QStringLiteral("DisplayObjectContainer"), interactive, InstanceKind::Display, make);
    m_containerClass->sealed = true;
    installContainerMembers(m_containerClass);
    m_shapeClass = m.defineClass(display, QStringLiteral("Shape"), b.displayObject, InstanceKind::Display, make);
    m_shapeClass->sealed = true;
    m_buttonClass = m.defineClass(display, QStringLiteral("SimpleButton"), interactive, InstanceKind::Display, make);
    m_buttonClass->sealed = true;
    m_textClass = m.defineClass(QStringLiteral("flash.text"), QStringLiteral("TextField"), interactive, InstanceKind::Display, make);
    m_textClass->sealed = true;
    installTextFieldMembers(m_textClass);
    installTextFormatClass();
    installTextFormatMembers(m_textClass);
    installFontClass();
    m_staticTextClass = m.defineClass(QStringLiteral("flash.text"), QStringLiteral("StaticText"), b.displayObject, InstanceKind::Display, make);
    m_staticTextClass->sealed = true;
    b.sprite = m.defineClass(display, QStringLiteral("Sprite"), m_containerClass, InstanceKind::Display, make);
    b.sprite->sealed = true;
    b.movieClip = m.defineClass(display, QStringLiteral("MovieClip"), b.sprite, InstanceKind::Display, make);
    b.movieClip->sealed = false;
    installMovieClipMembers(b.movieClip);
    m_morphShapeClass = m.defineClass(display, QStringLiteral("MorphShape"), b.displayObject, InstanceKind::Display, make);
    m_morphShapeClass->sealed = true;
    for (ClassObject* cls : { b.displayObject, interactive, m_containerClass, m_shapeClass, m_buttonClass, m_textClass, b.sprite,
             b.movieClip, m_morphShapeClass, m_staticTextClass })
        m_nativeDisplayClasses.insert(cls);
    installStageClass();
    installTimerClass();
    installIntervalFunctions();
    installLoaderInfoClass();
    installGeomClasses(m);
    installBitmapDataClass();
    installBitmapClass();
    m.defineInterface(display, QStringLiteral("IBitmapDrawable"), { b.displayObject, m_bitmapDataClass });
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
    // The first frame's enterFrame is not sent: the movie starts with its construction.
    if (m_afterFrames++ > 0)
        broadcast(QStringLiteral("enterFrame"));
    runTimers();
    loadFrameTags(m_stage.root().currentFrame());
    if (!m_documentMade) {
        m_documentMade = true;
        if (m_stage.root().name().isEmpty())
            m_stage.root().setName(QStringLiteral("root1"));
        m_placed.insert(m_placed.begin(), &m_stage.root());
    }
    makePlacedObjects();
    broadcast(QStringLiteral("frameConstructed"));
    runDueFrameScripts();
    broadcast(QStringLiteral("exitFrame"));
    if (m_afterFrames == 1)
        announceLoaded();
    // Stage.invalidate asked for one render event before the frame is drawn.
    if (m_stageObject && hiddenGet(m_stageObject, QStringLiteral(" invalidated"), Value::boolean(false)).b) {
        hiddenSet(m_stageObject, QStringLiteral(" invalidated"), Value::boolean(false));
        broadcast(QStringLiteral("render"));
    }
}

void StageScripts::afterGoto(Object* clip)
{
    // Gotos inside gotos go deep only so far; past that only the clip's own script runs.
    if (m_gotoDepth >= 8) {
        runFrameScript(clip);
        return;
    }
    ++m_gotoDepth;
    makePlacedObjects();
    broadcast(QStringLiteral("frameConstructed"));
    runFrameScript(clip);
    runDueFrameScripts();
    broadcast(QStringLiteral("exitFrame"));
    --m_gotoDepth;
}

ClassObject* StageScripts::classFor(const DisplayObject& display)
{
    Machine& m = *m_machine;
    const bool isRoot = &display == &m_stage.root();
    const std::uint16_t id = isRoot ? 0 : display.characterId();
    if (m_symbolClasses.contains(id)) {
        if (ClassObject* cls = m.findClass(m_symbolClasses.value(id))) {
            // The document class must be a sprite: anything else leaves the
            // root without an object, and the movie is told why.
            if (isRoot && !cls->isSubclassOf(m.builtins().sprite))
                m.throwError(ErrorClass::TypeError, 2023,
                    QStringLiteral("Class %1$ must inherit from Sprite to link to the root.").arg(cls->qualifiedName()));
            return cls;
        }
    }
    if (isRoot)
        return m_symbolClasses.contains(0) ? nullptr : m.builtins().movieClip;
    if (display.asSprite())
        return m.builtins().movieClip;
    const CharacterKind kind = display.character() ? display.character()->kind : CharacterKind::Other;
    if (kind == CharacterKind::Button)
        return m_buttonClass;
    if (kind == CharacterKind::EditText)
        return m_textClass;
    if (kind == CharacterKind::MorphShape)
        return m_morphShapeClass;
    if (kind == CharacterKind::Text)
        return m_staticTextClass;
    return m_shapeClass;
}

void StageScripts::instancePlaced(DisplayObject& instance)
{
    // Every display object has a name here, shapes and texts included.
    if (instance.name().isEmpty())
        instance.setName(m_stage.nextInstanceName());
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
    std::vector<DisplayObject*> tops;
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
            DisplayObject* top = display;
            while (top->parent())
                top = top->parent();
            if (std::find(tops.begin(), tops.end(), top) == tops.end())
                tops.push_back(top);
        });
    }
    // The stage's tree first, then trees held by scripts alone.
    std::stable_partition(tops.begin(), tops.end(), [this](DisplayObject* d) { return d == &m_stage.root(); });
    for (DisplayObject* top : tops)
        constructTree(*top);
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
    // A child the timeline placed (and the document) is announced once it is built.
    if ((parent || &display == &m_stage.root()) && object->display == &display) {
        dispatchSimple(object, QStringLiteral("added"), true);
        if (onStage(&display))
            dispatchSimple(object, QStringLiteral("addedToStage"), false);
    }
}

// A script-made sprite with a timeline builds its first frame now, and the
// children that frame places get their objects and constructors.
void StageScripts::constructOrphanTree(SpriteInstance& sprite)
{
    sprite.enterFirstFrame();
    makePlacedObjects();
}

void StageScripts::ensureDisplay(Object* object)
{
    if (object->display || object == m_stageObject)
        return;
    Machine& m = *m_machine;
    auto& b = m.builtins();
    // The symbol the class (or a base of it) is bound to, if any.
    const Character* character = nullptr;
    std::uint16_t characterId = 0;
    for (ClassObject* cls = object->classObject(); cls && !character; cls = cls->base) {
        for (auto it = m_symbolClasses.constBegin(); it != m_symbolClasses.constEnd(); ++it) {
            if (it.key() != 0 && m.findClass(it.value()) == cls) {
                characterId = it.key();
                character = m_stage.movie().character(characterId);
                break;
            }
        }
    }
    // The nearest built-in display class decides what kind of object this is;
    // the abstract ones cannot be made by a script.
    ClassObject* native = object->classObject();
    while (native && !m_nativeDisplayClasses.contains(native))
        native = native->base;
    if (!native || native == b.displayObject || native == m_interactiveClass || native == m_morphShapeClass
        || native == m_staticTextClass)
        m.throwError(ErrorClass::ArgumentError, 2012,
            QStringLiteral("%1$ class cannot be instantiated.").arg(object->classObject()->name));
    // A Bitmap shows its pixels as the drawing of an empty timeline.
    const bool isSprite = native == b.sprite || native == b.movieClip || native == m_containerClass || native == m_bitmapClass;
    std::unique_ptr<DisplayObject> made;
    SpriteInstance* sprite = nullptr;
    if (isSprite) {
        const TimelineDef* timeline = &emptyTimeline();
        if (character && character->kind == CharacterKind::Sprite)
            timeline = &static_cast<const SpriteDef*>(character)->timeline;
        else
            character = nullptr, characterId = 0;
        auto instance = std::make_unique<SpriteInstance>(m_stage, nullptr, character, characterId, 0, *timeline, 1);
        sprite = instance.get();
        made = std::move(instance);
    } else if (native == m_textClass) {
        made = makeTextField();
    } else {
        made = std::make_unique<DisplayObject>(m_stage, nullptr, character, characterId, 0);
    }
    made->setPlacedFrame(0);
    made->setName(m_stage.nextInstanceName());
    DisplayObject* raw = made.get();
    object->display = raw;
    m_objects.insert(raw, object);
    m_constructed.insert(object, true);
    m_orphans[raw] = std::move(made);
    if (sprite) {
        m_timelines.push_back(object);
        constructOrphanTree(*sprite);
    }
}

DisplayObject* StageScripts::displayOf(const Value& v) const
{
    Object* o = v.object();
    return o ? o->display : nullptr;
}

std::unique_ptr<DisplayObject> StageScripts::takeOut(DisplayObject* display)
{
    if (!display)
        return nullptr;
    if (SpriteInstance* parent = display->parent())
        return parent->detachChild(display->depth());
    auto it = m_orphans.find(display);
    if (it == m_orphans.end())
        return nullptr;
    std::unique_ptr<DisplayObject> owned = std::move(it->second);
    m_orphans.erase(it);
    m_timelineOrphans.erase(std::remove(m_timelineOrphans.begin(), m_timelineOrphans.end(), display), m_timelineOrphans.end());
    return owned;
}

void StageScripts::keepOrphan(std::unique_ptr<DisplayObject> display)
{
    DisplayObject* raw = display.get();
    if (raw)
        m_orphans[raw] = std::move(display);
}

bool StageScripts::onStage(const DisplayObject* display) const
{
    if (!display)
        return false;
    while (display->parent())
        display = display->parent();
    return display == &m_stage.root();
}

double StageScripts::clockMs() const
{
    const double rate = m_stage.movie().frameRate();
    return (m_afterFrames - 1) * 1000.0 / (rate > 0 ? rate : 24.0);
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

// The timeline took the instance out: it keeps its object and stays whole,
// so a script holding it still sees it. Only the most recent few thousand
// are kept, so a long looping movie does not pile them up.
void StageScripts::instanceLeaving(std::unique_ptr<DisplayObject> instance)
{
    if (!instance)
        return;
    constexpr std::size_t kept = 4096;
    DisplayObject* raw = instance.get();
    // It still knows its parent: the removed events travel up through it.
    if (Object* object = objectFor(raw)) {
        dispatchSimple(object, QStringLiteral("removed"), true);
        if (onStage(raw))
            dispatchToTree(raw, QStringLiteral("removedFromStage"));
    }
    raw->setParent(nullptr);
    m_orphans[raw] = std::move(instance);
    m_timelineOrphans.push_back(raw);
    while (m_timelineOrphans.size() > kept) {
        DisplayObject* oldest = m_timelineOrphans.front();
        m_timelineOrphans.pop_front();
        auto it = m_orphans.find(oldest);
        if (it == m_orphans.end())
            continue;
        std::unique_ptr<DisplayObject> gone = std::move(it->second);
        m_orphans.erase(it);
        forgetTree(*gone);
    }
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
    m_timelineOrphans.clear();
    m_orphans.clear();
    m_frameListeners.clear();
}

} // namespace swf::avm2
