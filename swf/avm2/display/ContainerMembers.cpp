// DisplayObjectContainer: children by index over the depth-ordered display
// list, moves between containers that keep each object whole, and the
// added / removed events. Children scripts add go above the timeline's
// depths, so the timeline's own placements never land on them.

#include "swf/avm2/display/StageScripts.h"

#include "swf/runtime/Bounds.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

std::vector<DisplayObject*> childrenOf(const SpriteInstance* sprite)
{
    std::vector<DisplayObject*> list;
    if (sprite) {
        for (const auto& [depth, child] : sprite->displayList())
            list.push_back(child.get());
    }
    return list;
}

[[noreturn]] void outOfBounds(Machine& m)
{
    m.throwError(ErrorClass::RangeError, 2006, QStringLiteral("The supplied index is out of bounds."));
}

[[noreturn]] void notAChild(Machine& m)
{
    m.throwError(ErrorClass::ArgumentError, 2025, QStringLiteral("The supplied DisplayObject must be a child of the caller."));
}

} // namespace

Object* StageScripts::checkedDisplayArg(const Value& v, const QString& parameter)
{
    Machine& m = *m_machine;
    Object* o = v.object();
    if (!o)
        m.throwError(ErrorClass::TypeError, 2007, QStringLiteral("Parameter %1 must be non-null.").arg(parameter));
    if (o == m_stageObject || !o->display)
        m.throwError(ErrorClass::ArgumentError, 2025, QStringLiteral("The supplied DisplayObject must be a child of the caller."));
    return o;
}

void StageScripts::dispatchSimple(Object* target, const QString& type, bool bubbles)
{
    Machine& m = *m_machine;
    if (!target)
        return;
    // Nobody listening on the path: no event object is made at all.
    bool heard = m.hasListeners(target, type);
    for (Object* p = m.displayParent(target); p && !heard; p = m.displayParent(p))
        heard = bubbles && m.hasListeners(p, type);
    if (!heard && bubbles) {
        for (Object* p = m.displayParent(target); p && !heard; p = m.displayParent(p))
            heard = m.hasListeners(p, type); // capture listeners above hear it too
    }
    if (!heard)
        return;
    m.guard([&] {
        Value args[] = { Value::string(type), Value::boolean(bubbles), Value::boolean(false) };
        Value event = m.constructClass(m.builtins().event, args);
        m.dispatchEvent(Value::object(target), event);
    });
}

void StageScripts::collectTree(DisplayObject* display, std::vector<Object*>& out)
{
    if (Object* o = objectFor(display))
        out.push_back(o);
    if (SpriteInstance* sprite = display->asSprite()) {
        for (DisplayObject* child : childrenOf(sprite))
            collectTree(child, out);
    }
}

// addedToStage / removedFromStage reach the object and everything inside it, outermost first.
void StageScripts::dispatchToTree(DisplayObject* display, const QString& type)
{
    std::vector<Object*> objects;
    collectTree(display, objects);
    for (Object* o : objects)
        dispatchSimple(o, type, false);
}

// enterFrame, frameConstructed, exitFrame and render go to every object
// that listens, on the stage or not, in the order they first listened.
void StageScripts::broadcast(const QString& type)
{
    Machine& m = *m_machine;
    const std::vector<Object*> objects = m_frameListeners.value(type);
    for (Object* o : objects) {
        if (m.hasListeners(o, type))
            dispatchSimple(o, type, false);
    }
}

int StageScripts::depthForIndex(SpriteInstance& sprite, int index)
{
    std::vector<DisplayObject*> list = childrenOf(&sprite);
    const int count = int(list.size());
    if (index >= count)
        return count ? std::max(list.back()->depth() + 1, SpriteInstance::ScriptDepthOffset) : SpriteInstance::ScriptDepthOffset;
    const int at = list[std::size_t(index)]->depth();
    if (index == 0)
        return at - 1;
    if (list[std::size_t(index - 1)]->depth() < at - 1)
        return at - 1;
    // No free depth between the neighbours: the run of children from `index`
    // moves up one depth to make room.
    int end = index;
    while (end + 1 < count && list[std::size_t(end + 1)]->depth() == list[std::size_t(end)]->depth() + 1)
        ++end;
    for (int i = end; i >= index; --i) {
        const int depth = list[std::size_t(i)]->depth();
        sprite.adoptChild(sprite.detachChild(depth), depth + 1);
    }
    return at;
}

void StageScripts::insertAt(Object* parent, Object* child, int index)
{
    SpriteInstance* sprite = parent->display ? parent->display->asSprite() : nullptr;
    DisplayObject* display = child->display;
    if (!sprite || !display)
        return;
    if (display->parent() == sprite) {
        // A move inside one container: no events.
        std::unique_ptr<DisplayObject> owned = sprite->detachChild(display->depth());
        const int count = int(sprite->displayList().size());
        sprite->adoptChild(std::move(owned), depthForIndex(*sprite, std::min(index, count)));
        return;
    }
    if (display->parent() || m_orphans.count(display) == 0)
        removeFromParent(child);
    if (index > int(sprite->displayList().size()))
        index = int(sprite->displayList().size());
    std::unique_ptr<DisplayObject> owned = takeOut(display);
    if (!owned)
        return;
    sprite->adoptChild(std::move(owned), depthForIndex(*sprite, index));
    dispatchSimple(child, QStringLiteral("added"), true);
    if (onStage(display))
        dispatchToTree(display, QStringLiteral("addedToStage"));
}

void StageScripts::removeFromParent(Object* child)
{
    DisplayObject* display = child->display;
    if (!display || !display->parent())
        return;
    dispatchSimple(child, QStringLiteral("removed"), true);
    if (onStage(display))
        dispatchToTree(display, QStringLiteral("removedFromStage"));
    // A listener may have moved it meanwhile.
    if (child->display != display || !display->parent())
        return;
    keepOrphan(display->parent()->detachChild(display->depth()));
}

void StageScripts::installContainerMembers(ClassObject* container)
{
    Machine& m = *m_machine;
    // The stage holds the root as its one child.
    auto listOf = [this](const Value& self) {
        if (self.object() && self.object() == m_stageObject)
            return std::vector<DisplayObject*> { &m_stage.root() };
        Object* o = self.object();
        return childrenOf(o && o->display ? o->display->asSprite() : nullptr);
    };
    // Children scripts give the stage go on top of the root's.
    auto target = [this](const Value& self) {
        Object* o = self.object();
        return o == m_stageObject ? objectFor(&m_stage.root()) : o;
    };
    auto add = [this, target](Machine& m, const Value& self, Value childValue, std::optional<int> index) {
        Object* parent = target(self);
        Object* child = childValue.object();
        if (!child)
            m.throwError(ErrorClass::TypeError, 2007, QStringLiteral("Parameter child must be non-null."));
        if (!parent || !parent->display || !parent->display->asSprite())
            return childValue;
        const int count = int(parent->display->asSprite()->displayList().size());
        if (index && (*index < 0 || *index > count))
            outOfBounds(m);
        if (child == m_stageObject || !child->display)
            m.throwError(ErrorClass::ArgumentError, 2024, QStringLiteral("An object cannot be added as a child of itself."));
        if (child == parent)
            m.throwError(ErrorClass::ArgumentError, 2024, QStringLiteral("An object cannot be added as a child of itself."));
        for (DisplayObject* d = parent->display; d; d = d->parent()) {
            if (d == child->display)
                m.throwError(ErrorClass::ArgumentError, 2150,
                    QStringLiteral("An object cannot be added as a child to one of it's children (or children's children, etc.)."));
        }
        insertAt(parent, child, index ? *index : count);
        return childValue;
    };
    m.addMethod(container, QStringLiteral("addChild"), [add](Machine& m, const Value& self, Args args) {
        return add(m, self, arg(args, 0), std::nullopt);
    }, 1);
    m.addMethod(container, QStringLiteral("addChildAt"), [add](Machine& m, const Value& self, Args args) {
        return add(m, self, arg(args, 0), toInt32(m.toNumber(arg(args, 1))));
    }, 2);
    m.addMethod(container, QStringLiteral("removeChild"), [this, target](Machine& m, const Value& self, Args args) {
        Object* parent = target(self);
        Object* child = arg(args, 0).object();
        if (!child)
            m.throwError(ErrorClass::TypeError, 2007, QStringLiteral("Parameter child must be non-null."));
        if (!parent || !child->display || !parent->display || child->display->parent() != parent->display)
            notAChild(m);
        removeFromParent(child);
        return arg(args, 0);
    }, 1);
    m.addMethod(container, QStringLiteral("removeChildAt"), [this, listOf](Machine& m, const Value& self, Args args) {
        const auto list = listOf(self);
        const int index = toInt32(m.toNumber(arg(args, 0)));
        if (index < 0 || index >= int(list.size()))
            outOfBounds(m);
        Object* child = objectFor(list[std::size_t(index)]);
        if (child)
            removeFromParent(child);
        return Value::object(child);
    }, 1);
    m.addMethod(container, QStringLiteral("removeChildren"), [this, listOf](Machine& m, const Value& self, Args args) {
        const auto list = listOf(self);
        const int begin = args.size() > 0 ? toInt32(m.toNumber(args[0])) : 0;
        const int end = args.size() > 1 ? toInt32(m.toNumber(args[1])) : 0x7fffffff;
        const int last = std::min(end, int(list.size()) - 1);
        if (list.empty() && begin == 0 && end == 0x7fffffff)
            return Value::undefined();
        if (begin < 0 || begin >= int(list.size()) || end < 0 || begin > end || (end != 0x7fffffff && end >= int(list.size())))
            outOfBounds(m);
        for (int i = begin; i <= last; ++i) {
            if (Object* child = objectFor(list[std::size_t(i)]))
                removeFromParent(child);
        }
        return Value::undefined();
    }, 2);
    m.addGetter(container, QStringLiteral("numChildren"), [listOf](Machine&, const Value& self, Args) {
        return Value::number(double(listOf(self).size()));
    });
    m.addMethod(container, QStringLiteral("getChildAt"), [this, listOf](Machine& m, const Value& self, Args args) {
        const auto list = listOf(self);
        const int index = toInt32(m.toNumber(arg(args, 0)));
        if (index < 0 || index >= int(list.size()))
            outOfBounds(m);
        return Value::object(objectFor(list[std::size_t(index)]));
    }, 1);
    m.addMethod(container, QStringLiteral("getChildByName"), [this, listOf](Machine& m, const Value& self, Args args) {
        const QString name = m.toString(arg(args, 0));
        for (DisplayObject* child : listOf(self)) {
            if (child->name() == name)
                return Value::object(objectFor(child));
        }
        return Value::null();
    }, 1);
    m.addMethod(container, QStringLiteral("getChildIndex"), [listOf](Machine& m, const Value& self, Args args) {
        Object* child = arg(args, 0).object();
        if (!child)
            m.throwError(ErrorClass::TypeError, 2007, QStringLiteral("Parameter child must be non-null."));
        const auto list = listOf(self);
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (list[i] == child->display)
                return Value::number(double(i));
        }
        notAChild(m);
    }, 1);
    m.addMethod(container, QStringLiteral("setChildIndex"), [this, listOf, target](Machine& m, const Value& self, Args args) {
        Object* child = arg(args, 0).object();
        if (!child)
            m.throwError(ErrorClass::TypeError, 2007, QStringLiteral("Parameter child must be non-null."));
        const auto list = listOf(self);
        const int index = toInt32(m.toNumber(arg(args, 1)));
        if (std::find(list.begin(), list.end(), child->display) == list.end())
            notAChild(m);
        if (index < 0 || index >= int(list.size()))
            outOfBounds(m);
        insertAt(target(self), child, index);
        return Value::undefined();
    }, 2);
    auto swap = [](SpriteInstance* sprite, DisplayObject* a, DisplayObject* b) {
        if (!sprite || a == b)
            return;
        const int da = a->depth(), db = b->depth();
        auto first = sprite->detachChild(da);
        auto second = sprite->detachChild(db);
        sprite->adoptChild(std::move(first), db);
        sprite->adoptChild(std::move(second), da);
    };
    m.addMethod(container, QStringLiteral("swapChildren"), [listOf, swap, target](Machine& m, const Value& self, Args args) {
        Object* a = arg(args, 0).object();
        Object* b = arg(args, 1).object();
        if (!a)
            m.throwError(ErrorClass::TypeError, 2007, QStringLiteral("Parameter child1 must be non-null."));
        if (!b)
            m.throwError(ErrorClass::TypeError, 2007, QStringLiteral("Parameter child2 must be non-null."));
        const auto list = listOf(self);
        if (std::find(list.begin(), list.end(), a->display) == list.end() || std::find(list.begin(), list.end(), b->display) == list.end())
            notAChild(m);
        Object* parent = target(self);
        swap(parent->display->asSprite(), a->display, b->display);
        return Value::undefined();
    }, 2);
    m.addMethod(container, QStringLiteral("swapChildrenAt"), [listOf, swap, target](Machine& m, const Value& self, Args args) {
        const auto list = listOf(self);
        const int i = toInt32(m.toNumber(arg(args, 0))), j = toInt32(m.toNumber(arg(args, 1)));
        if (i < 0 || j < 0 || i >= int(list.size()) || j >= int(list.size()))
            outOfBounds(m);
        Object* parent = target(self);
        swap(parent->display->asSprite(), list[std::size_t(i)], list[std::size_t(j)]);
        return Value::undefined();
    }, 2);
    m.addMethod(container, QStringLiteral("contains"), [this](Machine& m, const Value& self, Args args) {
        Object* o = self.object();
        Object* child = arg(args, 0).object();
        if (!child)
            m.throwError(ErrorClass::TypeError, 2007, QStringLiteral("Parameter child must be non-null."));
        if (o == m_stageObject)
            return Value::boolean(child == o || onStage(child->display));
        if (!o || !o->display || !child->display)
            return Value::boolean(false);
        for (DisplayObject* d = child->display; d; d = d->parent()) {
            if (d == o->display)
                return Value::boolean(true);
        }
        return Value::boolean(false);
    }, 1);
    m.addMethod(container, QStringLiteral("stopAllMovieClips"), [](Machine&, const Value& self, Args) {
        std::function<void(DisplayObject*)> stopAll = [&](DisplayObject* d) {
            if (SpriteInstance* sprite = d->asSprite()) {
                sprite->stop();
                for (DisplayObject* child : childrenOf(sprite))
                    stopAll(child);
            }
        };
        if (Object* o = self.object(); o && o->display)
            stopAll(o->display);
        return Value::undefined();
    });
    for (const char* name : { "mouseChildren", "tabChildren" }) {
        const QString key = QLatin1Char(' ') + QLatin1String(name);
        m.addGetter(container, QLatin1String(name),
            [key](Machine&, const Value& self, Args) { return hiddenGet(self.object(), key, Value::boolean(true)); },
            [key](Machine& m, const Value& self, Args args) {
                if (Object* o = self.object())
                    hiddenSet(o, key, Value::boolean(m.toBoolean(arg(args, 0))));
                return Value::undefined();
            });
    }
}

} // namespace swf::avm2
