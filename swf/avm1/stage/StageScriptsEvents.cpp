// The order of things: the queue of work the stage hands the script machine
// (frame and init actions, clip events, handlers, button actions), and the
// events set off by the pointer and the keyboard.

#include "swf/runtime/ButtonInstance.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"
#include "swf/avm1/stage/SpriteClip.h"
#include "swf/avm1/stage/StageButtonObject.h"
#include "swf/avm1/stage/StageScripts.h"

#include <array>
#include <functional>
#include <optional>

namespace swf::avm1 {

namespace {

// Work waiting at once, at most; more is dropped (a frame script that jumps
// to a frame whose script jumps back, ...).
constexpr size_t MaxQueued = 100000;
// Entries run in one drain, at most, before the rest is dropped.
constexpr size_t MaxRunsPerDrain = 1000000;

// Pointer events a clip answers as a button does.
constexpr std::uint32_t PointerEvents = 0x00400 | 0x00800 | 0x01000 | 0x02000 | 0x04000 | 0x08000 | 0x10000;

const char* handlerText(ClipEvent event)
{
    switch (event) {
    case ClipEvent::Load: return "onLoad";
    case ClipEvent::EnterFrame: return "onEnterFrame";
    case ClipEvent::Unload: return "onUnload";
    case ClipEvent::MouseMove: return "onMouseMove";
    case ClipEvent::MouseDown: return "onMouseDown";
    case ClipEvent::MouseUp: return "onMouseUp";
    case ClipEvent::Data: return "onData";
    case ClipEvent::Press: return "onPress";
    case ClipEvent::Release: return "onRelease";
    case ClipEvent::ReleaseOutside: return "onReleaseOutside";
    case ClipEvent::RollOver: return "onRollOver";
    case ClipEvent::RollOut: return "onRollOut";
    case ClipEvent::DragOver: return "onDragOver";
    case ClipEvent::DragOut: return "onDragOut";
    // A clip hears keys through clip actions; handlers hear them as Key listeners.
    case ClipEvent::KeyDown:
    case ClipEvent::KeyUp:
    case ClipEvent::KeyPress:
    case ClipEvent::Initialize:
    case ClipEvent::Construct:
        break;
    }
    return nullptr;
}

// The handler an event calls, or null. The names are made once: an event
// reaches every clip on every frame, and a name built per clip and per frame
// cost more than the look-up it was for.
const StageScripts::HandlerName* handlerName(ClipEvent event)
{
    static const auto names = [] {
        std::array<std::optional<StageScripts::HandlerName>, int(ClipEvent::KeyPress) + 1> table;
        for (int e = 0; e < int(table.size()); ++e) {
            if (const char* text = handlerText(ClipEvent(e)))
                table[size_t(e)] = StageScripts::HandlerName(QString::fromLatin1(text));
        }
        return table;
    }();
    const auto& name = names[size_t(event)];
    return name ? &*name : nullptr;
}

} // namespace

// ---------------------------------------------------------------- the queue

void StageScripts::push(Band band, Pending pending)
{
    size_t queued = 0;
    for (const auto& queue : m_queues)
        queued += queue.size();
    if (queued >= MaxQueued)
        return;
    if (pending.instance)
        ++m_queuedFor[pending.instance];
    m_queues[band].push_back(std::move(pending));
}

void StageScripts::enqueue(SpriteInstance& timeline, const QByteArray& actions, Band band)
{
    auto block = decode(actions, versionOf(&timeline));
    if (!block)
        return;
    m_clipsAlive.insert(&timeline);
    Pending pending;
    pending.block = std::move(block);
    pending.instance = &timeline;
    push(band, std::move(pending));
}

void StageScripts::runPending(Pending& p)
{
    if (p.construct) {
        // The class is looked up now, after the init actions that register it ran.
        SpriteInstance* sprite = p.instance ? p.instance->asSprite() : nullptr;
        Object* ctor = sprite ? registeredClassFor(sprite->characterId()) : nullptr;
        if (!ctor)
            return;
        SpriteClip* clip = clipFor(*sprite);
        if (Property* proto = m_vm->findProperty(ctor, QStringLiteral("prototype")); proto && proto->value.asObject())
            clip->setProto(proto->value.asObject());
        m_vm->callSafely(Value(ctor), Value(static_cast<Object*>(clip)), {});
        return;
    }
    if (p.instance && !p.block && !p.method.isEmpty()
        && !(p.handler ? mayHaveHandler(*p.instance, *p.handler) : mayHaveHandler(*p.instance, p.method)))
        return; // nothing answers: no need to make a script object for it
    Object* target = p.instance ? objectFor(*p.instance) : p.object;
    if (!target)
        return;
    if (p.block)
        m_vm->run(*p.block, target);
    else if (!p.method.isEmpty())
        m_vm->callMethodSafely(target, p.method, std::move(p.args));
    else if (p.function.isObject())
        m_vm->callSafely(p.function, Value(target), std::move(p.args));
}

void StageScripts::drain()
{
    // Scripts that make the stage queue more work (a goto from a frame
    // script) have it run once the current entry has finished, the higher
    // bands first.
    if (m_draining)
        return;
    m_draining = true;
    size_t runs = 0;
    while (runs < MaxRunsPerDrain) {
        int band = 0;
        while (band < BandCount && m_queues[band].empty())
            ++band;
        if (band == BandCount)
            break;
        Pending p = std::move(m_queues[band].front());
        m_queues[band].pop_front();
        if (p.instance) {
            auto count = m_queuedFor.find(p.instance);
            if (count != m_queuedFor.end() && --count.value() <= 0)
                m_queuedFor.erase(count);
        }
        ++runs;
        runPending(p);
    }
    for (auto& queue : m_queues)
        queue.clear();
    m_queuedFor.clear();
    m_unloadQueued.clear();
    m_draining = false;
    releaseLeaving();
}

void StageScripts::instanceLeaving(std::unique_ptr<DisplayObject> instance)
{
    if (!instance)
        return;
    // Work queued for the instance or anything in it goes with it (its frame
    // actions, enterFrame); the unload work, queued on its script objects,
    // stays and runs on it as it stood.
    std::function<void(DisplayObject&)> drop = [&](DisplayObject& o) {
        if (auto sprite = o.asSprite()) {
            for (const auto& [depth, child] : sprite->displayList())
                drop(*child);
        }
        // Only an instance with queued work costs a walk of the queues: a
        // script replacing thousands of clips whose load handlers are still
        // queued must not walk them all for each.
        if (!m_queuedFor.remove(&o))
            return;
        for (auto& queue : m_queues) {
            for (auto it = queue.begin(); it != queue.end();) {
                if (it->instance == &o)
                    it = queue.erase(it);
                else
                    ++it;
            }
        }
    };
    drop(*instance);
    // Only an instance with unload work of its own (or in it) waits for it;
    // any other goes at once, and a reference to it finds what now stands
    // at its path.
    bool waits = false;
    std::function<void(DisplayObject&)> find = [&](DisplayObject& o) {
        if (m_unloadQueued.remove(&o))
            waits = true;
        if (auto sprite = o.asSprite()) {
            for (const auto& [depth, child] : sprite->displayList())
                find(*child);
        }
    };
    find(*instance);
    if (!waits) {
        forgetTree(*instance);
        return;
    }
    // While it waits, the player keeps it below every depth a timeline or a
    // script can use: script depth d moves to -32769 - d, which getDepth shows.
    instance->setDepth(-1 - instance->depth());
    m_leaving.push_back(std::move(instance));
}

void StageScripts::releaseLeaving()
{
    std::vector<std::unique_ptr<DisplayObject>> leaving = std::move(m_leaving);
    m_leaving.clear();
    // Forget them all while their parents still stand, then destroy the
    // newest first: one removed from inside another's unload goes before it.
    for (const auto& instance : leaving)
        forgetTree(*instance);
    while (!leaving.empty())
        leaving.pop_back();
}

void StageScripts::runFrameActions(SpriteInstance& timeline, const QByteArray& actions)
{
    enqueue(timeline, actions);
}

void StageScripts::runInitActions(SpriteInstance& timeline, std::uint16_t, const QByteArray& actions)
{
    enqueue(timeline, actions, InitBand);
}

void StageScripts::buttonAction(DisplayObject&, SpriteInstance& timeline, const QByteArray& actions)
{
    enqueue(timeline, actions);
}

// ---------------------------------------------------------------- instances

Object* StageScripts::objectFor(DisplayObject& instance)
{
    if (SpriteInstance* sprite = instance.asSprite())
        return clipFor(*sprite);
    if (!dynamic_cast<ButtonInstance*>(&instance))
        return nullptr;
    auto it = m_buttons.find(&instance);
    if (it != m_buttons.end())
        return it->second;
    auto* button = m_vm->make<StageButtonObject>(&instance, m_vm->objectPrototype(), m_vm->caseSensitive());
    m_buttons.emplace(&instance, button);
    return button;
}

Object* StageScripts::registeredClassFor(std::uint16_t characterId)
{
    const QString name = m_stage.movie().exports().nameOf(characterId);
    return name.isEmpty() ? nullptr : m_vm->registeredClass(name);
}

bool StageScripts::hasClipAction(const std::vector<ClipAction>& clipActions, std::uint32_t wanted) const
{
    for (const ClipAction& action : clipActions) {
        if (action.events & wanted)
            return true;
    }
    return false;
}

void StageScripts::queueClipActions(DisplayObject& instance, Object* object, std::uint32_t wanted, int keyCode, Band band)
{
    if (!object && !instance.asSprite())
        return;
    for (const ClipAction& action : instance.clipActions()) {
        if (!(action.events & wanted))
            continue;
        // A keyPress record answers its own key only.
        if (wanted == clipEventFlag(ClipEvent::KeyPress) && action.keyCode != keyCode)
            continue;
        // Clip actions belong to the movie that placed the clip.
        auto block = decode(action.actions, versionOf(instance.parent()));
        if (!block)
            continue;
        Pending pending;
        pending.block = std::move(block);
        if (object)
            pending.object = object;
        else
            pending.instance = &instance;
        push(band, std::move(pending));
    }
}

Object* StageScripts::existingObjectOf(const DisplayObject& instance) const
{
    if (void* peer = instance.scriptPeer(m_serial))
        return static_cast<SpriteClip*>(peer);
    if (auto it = m_buttons.find(&instance); it != m_buttons.end())
        return it->second;
    return nullptr;
}

bool StageScripts::mayHaveHandler(DisplayObject& instance, const QString& name)
{
    return mayHaveHandler(instance, HandlerName(name));
}

bool StageScripts::mayHaveHandler(DisplayObject& instance, const HandlerName& name)
{
    Object* o = existingObjectOf(instance);
    if (!o && instance.asSprite())
        o = m_vm->clipPrototype(); // a handler every clip inherits
    return o && holdsHandler(o, name);
}

bool StageScripts::holdsHandler(Object* o, const HandlerName& name) const
{
    // The walk of Interpreter::findProperty, as deep as it goes.
    constexpr int MaxProtoDepth = 256;
    // Both spellings have the one hash: it is made once for the walk.
    // Most objects of a chain never held an on-name at all: they are passed
    // over without a look-up, and the name is hashed only if one did.
    uint32_t hash = 0;
    bool hashed = false;
    int depth = 0;
    for (Object* cur = o; cur && depth < MaxProtoDepth; cur = cur->proto(), ++depth) {
        if (name.onName && !cur->mayHoldHandler())
            continue;
        if (!hashed) {
            hash = foldedNameHash(name.exact);
            hashed = true;
        }
        const Property* p = cur->findOwn(cur->caseSensitive() ? name.exact : name.lower, hash);
        if (p && p->visibleIn(m_vm->version()))
            return p->getter || p->value.isObject();
    }
    return false;
}

void StageScripts::queueHandler(DisplayObject& instance, const HandlerName& name)
{
    Pending pending;
    pending.method = name.exact;
    pending.handler = &name;
    pending.instance = &instance;
    push(NormalBand, std::move(pending));
}

void StageScripts::instancePlaced(DisplayObject& instance)
{
    SpriteInstance* sprite = instance.asSprite();
    if (!sprite)
        return;
    m_clipsAlive.insert(sprite);
    queueClipActions(instance, nullptr, clipEventFlag(ClipEvent::Initialize), 0, InitBand);
    const size_t queuedBefore = m_queues[ConstructBand].size();
    queueClipActions(instance, nullptr, clipEventFlag(ClipEvent::Construct), 0, ConstructBand);
    // Clips made by scripts (attachMovie, duplicates) get their class where
    // they are made, and a duplicate's construct actions run there too, inside
    // the call that made it; only its init and load wait for the queue.
    if (instance.placedFrame() == 0) {
        std::vector<Pending> now;
        while (m_queues[ConstructBand].size() > queuedBefore) {
            now.push_back(std::move(m_queues[ConstructBand].back()));
            m_queues[ConstructBand].pop_back();
        }
        for (auto it = now.rbegin(); it != now.rend(); ++it)
            runPending(*it);
        return;
    }
    if (!instance.character())
        return;
    Pending pending;
    pending.construct = true;
    pending.instance = &instance;
    push(ConstructBand, std::move(pending));
}

void StageScripts::clipEvent(DisplayObject& instance, ClipEvent event, const std::vector<ClipAction>&)
{
    SpriteInstance* sprite = instance.asSprite();
    if (!sprite)
        return;
    const HandlerName* name = handlerName(event);
    const std::uint32_t flag = clipEventFlag(event);
    if (event == ClipEvent::Unload) {
        // The clip is leaving: its unload actions and handler run on its
        // script object, which outlives the instance.
        Object* clip = nullptr;
        if (auto it = m_clips.find(sprite); it != m_clips.end())
            clip = it->second;
        bool handled = holdsHandler(clip ? clip : m_vm->clipPrototype(), *name);
        if (!clip && (handled || hasClipAction(instance.clipActions(), flag))) {
            clip = clipFor(*sprite);
            handled = holdsHandler(clip, *name); // made now, perhaps of a registered class
        }
        if (!clip)
            return;
        const size_t queuedBefore = m_queues[NormalBand].size();
        queueClipActions(instance, clip, flag, 0, NormalBand);
        if (handled) {
            Pending pending;
            pending.method = name->exact;
            pending.object = clip;
            push(NormalBand, std::move(pending));
        }
        if (m_queues[NormalBand].size() > queuedBefore)
            m_unloadQueued.insert(&instance);
        return;
    }
    // Clip actions are few: most clips have none, and asking costs nothing.
    if (!instance.clipActions().empty())
        queueClipActions(instance, nullptr, flag, 0, event == ClipEvent::Initialize ? InitBand : event == ClipEvent::Construct ? ConstructBand : NormalBand);
    if (!name)
        return;
    // A load handler is often set by the parent's frame script that runs
    // after the placement: look for it when the event comes up in the queue.
    if (event == ClipEvent::Load || mayHaveHandler(instance, *name))
        queueHandler(instance, *name);
}

void StageScripts::buttonEvent(DisplayObject& instance, ClipEvent event)
{
    const HandlerName* name = handlerName(event);
    if (SpriteInstance* sprite = instance.asSprite()) {
        // A clip acting as a button shows its _up, _over and _down frames when it has them.
        const char* label = nullptr;
        switch (event) {
        case ClipEvent::RollOver:
        case ClipEvent::Release:
        case ClipEvent::DragOut:
            label = "_over";
            break;
        case ClipEvent::Press:
        case ClipEvent::DragOver:
            label = "_down";
            break;
        case ClipEvent::RollOut:
        case ClipEvent::ReleaseOutside:
            label = "_up";
            break;
        default:
            break;
        }
        if (label) {
            if (const int frame = sprite->timeline().frameForLabel(QString::fromLatin1(label)))
                sprite->gotoFrame(frame, false);
        }
        queueClipActions(instance, nullptr, clipEventFlag(event), 0, NormalBand);
    }
    if (name && mayHaveHandler(instance, *name))
        queueHandler(instance, *name);
}

bool StageScripts::actsAsButton(const DisplayObject& constInstance)
{
    auto& instance = const_cast<DisplayObject&>(constInstance);
    Object* o = existingObjectOf(instance);
    if (o) {
        Property* enabled = m_vm->findProperty(o, QStringLiteral("enabled"));
        if (enabled && !enabled->getter && !m_vm->toBoolean(enabled->value))
            return false;
    }
    if (!instance.asSprite())
        return true; // a button takes the pointer unless disabled
    if (hasClipAction(instance.clipActions(), PointerEvents))
        return true;
    for (ClipEvent event : { ClipEvent::Press, ClipEvent::Release, ClipEvent::ReleaseOutside, ClipEvent::RollOver,
             ClipEvent::RollOut, ClipEvent::DragOver, ClipEvent::DragOut }) {
        if (mayHaveHandler(instance, *handlerName(event)))
            return true;
    }
    return false;
}

bool StageScripts::wantsHandCursor(const DisplayObject& constInstance)
{
    auto& instance = const_cast<DisplayObject&>(constInstance);
    Object* o = existingObjectOf(instance);
    if (!o)
        return true;
    Property* hand = m_vm->findProperty(o, QStringLiteral("useHandCursor"));
    return !hand || hand->getter || m_vm->toBoolean(hand->value);
}

void StageScripts::instanceRemoved(DisplayObject& instance)
{
    m_clipsAlive.remove(&instance);
    if (m_dragged == &instance)
        m_dragged = nullptr;
    // Work queued for the instance goes with it; its unload work already
    // holds the script object instead.
    const bool queued = m_queuedFor.remove(&instance); // else nothing queued names it
    for (auto& queue : m_queues) {
        if (!queued)
            break;
        for (auto it = queue.begin(); it != queue.end();) {
            if (it->instance == &instance)
                it = queue.erase(it);
            else
                ++it;
        }
    }
    if (auto it = m_clips.find(&instance); it != m_clips.end()) {
        it->second->detach();
        instance.setScriptPeer(m_serial, nullptr);
        m_clips.erase(it);
    }
    if (auto it = m_buttons.find(&instance); it != m_buttons.end()) {
        static_cast<StageButtonObject*>(it->second)->detach();
        m_buttons.erase(it);
    }
}

void StageScripts::stageRestarting()
{
    releaseLeaving();
    for (auto& queue : m_queues)
        queue.clear();
    m_queuedFor.clear();
    m_unloadQueued.clear();
    for (const auto& [instance, clip] : m_clips) {
        clip->detach();
        instance->setScriptPeer(m_serial, nullptr);
    }
    for (const auto& [instance, button] : m_buttons)
        static_cast<StageButtonObject*>(button)->detach();
    m_clips.clear();
    m_buttons.clear();
    m_clipsAlive.clear();
}

// ---------------------------------------------------------------- input

std::vector<DisplayObject*> StageScripts::allInstances()
{
    std::vector<DisplayObject*> out;
    std::function<void(SpriteInstance&)> walk = [&](SpriteInstance& sprite) {
        out.push_back(&sprite);
        for (const auto& [depth, child] : sprite.displayList()) {
            if (auto inner = child->asSprite())
                walk(*inner);
        }
    };
    walk(m_stage.root());
    return out;
}

void StageScripts::broadcast(Object* source, const QString& name, std::vector<Value> args)
{
    if (!source)
        return;
    Property* list = source->findOwn(QStringLiteral("_listeners"));
    Object* array = list ? list->value.asObject() : nullptr;
    if (!array || array->kind() != Object::Kind::Array)
        return;
    // A listener may remove itself or others while called: work on a copy.
    const std::vector<Value> listeners = static_cast<ArrayObject*>(array)->elements;
    for (const Value& listener : listeners) {
        if (Object* o = listener.asObject()) {
            Pending pending;
            pending.method = name;
            pending.object = o;
            pending.args = args;
            push(NormalBand, std::move(pending));
        }
    }
}

void StageScripts::mouseEvent(ClipEvent event)
{
    const HandlerName* name = handlerName(event);
    for (DisplayObject* instance : allInstances()) {
        queueClipActions(*instance, nullptr, clipEventFlag(event), 0, NormalBand);
        if (name && mayHaveHandler(*instance, *name))
            queueHandler(*instance, *name);
    }
    if (name)
        broadcast(m_mouseObject, name->exact);
}

void StageScripts::pointerAt(QPointF stagePixels)
{
    m_mouse = stagePixels;
    followDrag();
}

// The pointer in the space the sprite's own _x and _y are in: its parent's.
static QPointF pointerInParent(const StageScripts& scripts, const SpriteInstance& sprite)
{
    return sprite.parent() ? scripts.mouseIn(*sprite.parent()) : scripts.mousePosition();
}

void StageScripts::startDrag(SpriteInstance& sprite, bool lockCenter, const double* constraint)
{
    // The sprite is on stage now; its removal ends the drag (instanceRemoved).
    m_clipsAlive.insert(&sprite);
    m_dragged = &sprite;
    const QPointF at(sprite.matrix().tx / 20.0, sprite.matrix().ty / 20.0);
    m_dragOffset = lockCenter ? QPointF() : at - pointerInParent(*this, sprite);
    m_dragBounds.reset();
    if (constraint) {
        bool finite = true;
        for (int i = 0; i < 4; ++i)
            finite = finite && std::isfinite(constraint[i]);
        if (finite) {
            // left, top, right, bottom; either order is accepted.
            m_dragBounds = QRectF(QPointF(std::min(constraint[0], constraint[2]), std::min(constraint[1], constraint[3])),
                QPointF(std::max(constraint[0], constraint[2]), std::max(constraint[1], constraint[3])));
        }
    }
    followDrag();
}

void StageScripts::followDrag()
{
    if (!m_dragged)
        return;
    if (!m_clipsAlive.contains(m_dragged)) {
        m_dragged = nullptr;
        return;
    }
    QPointF p = pointerInParent(*this, *m_dragged) + m_dragOffset;
    if (m_dragBounds) {
        p.setX(std::clamp(p.x(), m_dragBounds->left(), m_dragBounds->right()));
        p.setY(std::clamp(p.y(), m_dragBounds->top(), m_dragBounds->bottom()));
    }
    Matrix m = m_dragged->matrix();
    m.tx = std::lround(p.x() * 20);
    m.ty = std::lround(p.y() * 20);
    m_dragged->setMatrix(m);
}

QPointF StageScripts::mouseIn(const DisplayObject& instance) const
{
    QTransform toStage = instance.matrix().toQTransform();
    for (const SpriteInstance* p = instance.parent(); p; p = p->parent())
        toStage = toStage * p->matrix().toQTransform();
    bool invertible = false;
    const QTransform fromStage = toStage.inverted(&invertible);
    return invertible ? fromStage.map(m_mouse * 20) / 20 : QPointF();
}

DisplayObject* StageScripts::hitAreaOf(const DisplayObject& clip)
{
    auto it = m_clips.find(&clip);
    if (it == m_clips.end())
        return nullptr;
    Property* area = m_vm->findProperty(it->second, QStringLiteral("hitArea"));
    Object* o = area && !area->getter ? area->value.asObject() : nullptr;
    if (!o || o->kind() != Object::Kind::Clip)
        return nullptr;
    return static_cast<SpriteClip*>(o)->sprite();
}

void StageScripts::mouseWheel(int delta)
{
    broadcast(m_mouseObject, QStringLiteral("onMouseWheel"), { Value(double(delta)) });
}

void StageScripts::keyEvent(ClipEvent event, int keyCode, int ascii, int buttonKey)
{
    const bool down = event == ClipEvent::KeyDown;
    if (down) {
        // A toggle key (caps lock, num lock, ...) flips on each press.
        if (!m_keysDown.contains(keyCode)) {
            if (m_keysToggled.contains(keyCode))
                m_keysToggled.remove(keyCode);
            else
                m_keysToggled.insert(keyCode);
        }
        m_keysDown.insert(keyCode);
    } else {
        m_keysDown.remove(keyCode);
    }
    m_lastKeyCode = keyCode;
    m_lastAscii = ascii;
    for (DisplayObject* instance : allInstances()) {
        queueClipActions(*instance, nullptr, clipEventFlag(event), 0, NormalBand);
        if (down && buttonKey)
            queueClipActions(*instance, nullptr, clipEventFlag(ClipEvent::KeyPress), buttonKey, NormalBand);
    }
    broadcast(m_keyObject, down ? QStringLiteral("onKeyDown") : QStringLiteral("onKeyUp"));
}

} // namespace swf::avm1
