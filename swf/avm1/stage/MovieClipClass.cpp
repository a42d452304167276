// The MovieClip methods that change the display list or measure clips:
// attachMovie, createEmptyMovieClip, duplicateMovieClip, removeMovieClip,
// swapDepths, getInstanceAtDepth, getBounds/getRect, hitTest,
// localToGlobal/globalToLocal and setMask.

#include "swf/runtime/Bounds.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"
#include "swf/avm1/stage/SpriteClip.h"
#include "swf/avm1/stage/StageScripts.h"

#include <cmath>
#include <limits>

namespace swf::avm1 {

namespace {

constexpr int DepthOffset = SpriteInstance::ScriptDepthOffset;
// Scripts place clips from depth -16384 up to this one.
constexpr double HighestScriptDepth = 1048575;
// Clips may be made below the timeline's depths too (where neither a
// rewind nor removeMovieClip reaches them); this only keeps the sums in range.
constexpr double LowestCreateDepth = -(1 << 30);
// swapDepths reaches much further up; deeper than this it does nothing.
constexpr double HighestSwapDepth = 2130690044;
// What getBounds reports for a clip that draws nothing.
constexpr double NoBounds = 6710886.35;

SpriteClip* clipOf(const CallArgs& a)
{
    Object* o = a.thisObject();
    return o && o->kind() == Object::Kind::Clip ? static_cast<SpriteClip*>(o) : nullptr;
}

SpriteInstance* spriteOf(const CallArgs& a)
{
    SpriteClip* c = clipOf(a);
    return c ? c->sprite() : nullptr;
}

// A script depth argument as a display-list depth, or false when out of range.
bool listDepth(Interpreter& vm, const Value& v, int& depth, double highest = HighestScriptDepth, double lowest = -DepthOffset)
{
    double d = vm.toNumber(v);
    if (!std::isfinite(d))
        return false;
    d = std::trunc(d);
    if (d < lowest || d > highest)
        return false;
    depth = int(d) + DepthOffset;
    return true;
}

// A clip named by a value: the clip itself, or a target path from `from`.
SpriteInstance* targetSprite(Interpreter& vm, SpriteClip* from, const Value& v)
{
    Object* o = v.asObject();
    if (!o && v.isString())
        o = vm.resolveTarget(from, v.asString());
    if (!o || o->kind() != Object::Kind::Clip)
        return nullptr;
    return static_cast<SpriteClip*>(o)->sprite();
}

Value clipValue(StageScripts& scripts, DisplayObject* object)
{
    SpriteInstance* sprite = object ? object->asSprite() : nullptr;
    return sprite ? Value(static_cast<Object*>(scripts.clipFor(*sprite))) : Value();
}

// Copies the enumerable members of an init object onto a new clip.
void applyInitObject(Interpreter& vm, Object* clip, const Value& init)
{
    Object* from = init.asObject();
    if (!from)
        return;
    for (const QString& name : vm.enumerate(from))
        vm.setMember(Value(clip), name, vm.getMember(init, name));
}

// A registered class gives an attached clip its prototype and runs its constructor.
void applyRegisteredClass(Interpreter& vm, Object* clip, const QString& symbol, const Value& init)
{
    Object* ctor = vm.registeredClass(symbol);
    if (ctor) {
        Value proto = vm.getMember(Value(ctor), QStringLiteral("prototype"));
        if (proto.asObject())
            clip->setProto(proto.asObject());
    }
    applyInitObject(vm, clip, init);
    if (ctor && ctor->kind() == Object::Kind::Function)
        vm.call(Value(ctor), Value(clip), {});
}

Value boundsObject(Interpreter& vm, bool found, const QRectF& twips)
{
    // The player hands back a bare object, without Object.prototype.
    Object* o = vm.newObject();
    o->setProto(nullptr);
    if (!found) {
        for (const char* name : { "xMin", "xMax", "yMin", "yMax" })
            o->put(QString::fromLatin1(name), Value(NoBounds));
        return Value(o);
    }
    QRectF r = roundedBounds(twips);
    o->put(QStringLiteral("xMin"), Value(r.left()));
    o->put(QStringLiteral("xMax"), Value(r.right()));
    o->put(QStringLiteral("yMin"), Value(r.top()));
    o->put(QStringLiteral("yMax"), Value(r.bottom()));
    return Value(o);
}

// Maps a point object's x and y (pixels) through `t` (twips to twips) in place.
void mapPointObject(Interpreter& vm, const Value& point, const QTransform& t)
{
    Object* o = point.asObject();
    if (!o)
        return;
    // Only a point holding two numbers of its own moves (no getter is
    // asked, nothing is inherited); anything else is left as it is. The
    // numbers become whole twips the way a 32-bit register holds them:
    // wrapped, and NaN or an infinity as 0.
    const Property* px = o->findOwn(QStringLiteral("x"));
    const Property* py = o->findOwn(QStringLiteral("y"));
    if (!px || !py || px->getter || py->getter || !px->value.isNumber() || !py->value.isNumber())
        return;
    const Value xv = px->value, yv = py->value;
    const double x = double(toInt32(xv.asNumber() * 20));
    const double y = double(toInt32(yv.asNumber() * 20));
    QPointF p = t.map(QPointF(x, y));
    vm.setMember(point, QStringLiteral("x"), Value(p.x() / 20));
    vm.setMember(point, QStringLiteral("y"), Value(p.y() / 20));
}

} // namespace

static Value clipAttachMovie(Interpreter& vm, CallArgs& a)
{
    StageScripts* owner = &StageScripts::of(vm);
    SpriteInstance* s = spriteOf(a);
    int depth = 0;
    if (!s || a.args.size() < 3 || !listDepth(vm, a.arg(2), depth, HighestScriptDepth, LowestCreateDepth))
        return Value();
    const QString symbol = vm.toString(a.arg(0));
    // The symbols of the movie the clip belongs to (a loaded movie's own).
    const std::uint16_t id = s->movie().exports().characterFor(symbol);
    if (!id)
        return Value();
    vm.chargeMemory(SpriteClip::newClipCharge());
    SpriteInstance* child = s->attachSprite(id, vm.toString(a.arg(1)), depth);
    if (!child)
        return Value();
    Value result = clipValue(*owner, child);
    applyRegisteredClass(vm, result.asObject(), symbol, a.arg(3));
    return result;
}

static Value clipCreateEmptyMovieClip(Interpreter& vm, CallArgs& a)
{
    StageScripts* owner = &StageScripts::of(vm);
    SpriteInstance* s = spriteOf(a);
    int depth = 0;
    if (!s || a.args.size() < 2 || !listDepth(vm, a.arg(1), depth, HighestScriptDepth, LowestCreateDepth))
        return Value();
    vm.chargeMemory(SpriteClip::newClipCharge());
    return clipValue(*owner, s->createEmptyChild(vm.toString(a.arg(0)), depth));
}

static Value clipDuplicateMovieClip(Interpreter& vm, CallArgs& a)
{
    StageScripts* owner = &StageScripts::of(vm);
    SpriteInstance* s = spriteOf(a);
    int depth = 0;
    if (!s || !s->parent() || a.args.size() < 2 || !listDepth(vm, a.arg(1), depth, HighestScriptDepth, LowestCreateDepth))
        return Value();
    vm.chargeMemory(SpriteClip::bytesOf(*s) + Interpreter::objectRecordBytes(sizeof(SpriteClip), 4));
    DisplayObject* copy = s->parent()->duplicateChild(*s, vm.toString(a.arg(0)), depth);
    Value result = clipValue(*owner, copy);
    if (Object* clip = result.asObject())
        applyInitObject(vm, clip, a.arg(2));
    return result;
}

static Value clipRemoveMovieClip(Interpreter&, CallArgs& a)
{
    if (SpriteClip* c = clipOf(a))
        c->remove();
    return Value();
}

static Value clipSwapDepths(Interpreter& vm, CallArgs& a)
{
    SpriteClip* c = clipOf(a);
    SpriteInstance* s = c ? c->sprite() : nullptr;
    // A removed clip waiting for its unload work has no depth to swap.
    if (!s || !s->parent() || a.args.empty() || s->parent()->childAt(s->depth()) != s)
        return Value();
    int depth = 0;
    const Value target = a.arg(0);
    if (target.asObject()) {
        SpriteInstance* other = targetSprite(vm, c, target);
        if (!other || other->parent() != s->parent())
            return Value();
        depth = other->depth();
    } else if (!listDepth(vm, target, depth, HighestSwapDepth)) {
        return Value();
    }
    s->parent()->swapChildDepths(s->depth(), depth);
    return Value();
}

static Value clipGetInstanceAtDepth(Interpreter& vm, CallArgs& a)
{
    StageScripts* owner = &StageScripts::of(vm);
    SpriteClip* c = clipOf(a);
    SpriteInstance* s = c ? c->sprite() : nullptr;
    // Any value but undefined names a depth: a whole number taken the way
    // bit operations take it, so NaN, Infinity and null ask for depth 0.
    if (!s || a.arg(0).isUndefined())
        return Value();
    const int64_t depth = int64_t(toInt32(vm.toNumber(a.arg(0)))) + DepthOffset;
    if (depth < std::numeric_limits<int>::min() || depth > std::numeric_limits<int>::max())
        return Value();
    DisplayObject* child = s->childAt(int(depth));
    if (!child)
        return Value();
    // Shapes and static texts have no script object; the player answers with their clip.
    if (!child->asSprite())
        return Value(static_cast<Object*>(c));
    return clipValue(*owner, child);
}

static Value clipStartDrag(Interpreter& vm, CallArgs& a)
{
    auto* clip = dynamic_cast<ClipObject*>(a.thisValue.asObject());
    if (!clip)
        return Value();
    const bool lock = a.args.size() > 0 && vm.toBoolean(a.args[0]);
    double rect[4];
    const bool constrain = a.args.size() >= 5;
    for (int i = 0; constrain && i < 4; ++i)
        rect[i] = vm.toNumber(a.args[size_t(i + 1)]);
    clip->startDrag(lock, constrain ? rect : nullptr);
    return Value();
}

static Value clipStopDrag(Interpreter&, CallArgs& a)
{
    if (auto* clip = dynamic_cast<ClipObject*>(a.thisValue.asObject()))
        clip->stopDrag();
    return Value();
}

static Value clipHitTest(Interpreter& vm, CallArgs& a)
{
    SpriteClip* c = clipOf(a);
    SpriteInstance* s = c ? c->sprite() : nullptr;
    if (!s || a.args.empty())
        return Value(false);
    QRectF mine;
    const bool mineFound = boundsThrough(*s, worldTransform(*s), mine);
    if (a.args.size() >= 2) {
        const double x = vm.toNumber(a.arg(0)), y = vm.toNumber(a.arg(1));
        if (!std::isfinite(x) || !std::isfinite(y))
            return Value(false);
        const QPointF p(x * 20, y * 20);
        if (vm.toBoolean(a.arg(2)))
            return Value(hitsShape(*s, p));
        return Value(mineFound && mine.left() <= p.x() && p.x() <= mine.right() && mine.top() <= p.y() && p.y() <= mine.bottom());
    }
    SpriteInstance* other = targetSprite(vm, c, a.arg(0));
    QRectF theirs;
    if (!other || !mineFound || !boundsThrough(*other, worldTransform(*other), theirs))
        return Value(false);
    return Value(mine.left() <= theirs.right() && theirs.left() <= mine.right() && mine.top() <= theirs.bottom()
        && theirs.top() <= mine.bottom());
}

static Value clipLocalToGlobal(Interpreter& vm, CallArgs& a)
{
    if (SpriteInstance* s = spriteOf(a))
        mapPointObject(vm, a.arg(0), worldTransform(*s));
    return Value();
}

static Value clipGlobalToLocal(Interpreter& vm, CallArgs& a)
{
    SpriteInstance* s = spriteOf(a);
    bool invertible = false;
    QTransform toLocal = s ? worldTransform(*s).inverted(&invertible) : QTransform();
    if (s && invertible)
        mapPointObject(vm, a.arg(0), toLocal);
    return Value();
}

static Value clipSetMask(Interpreter& vm, CallArgs& a)
{
    SpriteClip* c = clipOf(a);
    SpriteInstance* s = c ? c->sprite() : nullptr;
    if (!s)
        return Value(false);
    const Value target = a.arg(0);
    if (target.isNull() || target.isUndefined()) {
        s->setScriptMask(nullptr);
        return Value(true);
    }
    SpriteInstance* mask = targetSprite(vm, c, target);
    if (!mask)
        return Value(false);
    s->setScriptMask(mask);
    return Value(true);
}

static Value clipGetBounds(Interpreter& vm, CallArgs& a)
{
    SpriteClip* c = clipOf(a);
    SpriteInstance* s = c ? c->sprite() : nullptr;
    if (!s)
        return Value();
    SpriteInstance* target = a.args.empty() ? s : targetSprite(vm, c, a.arg(0));
    if (!target)
        return Value();
    bool invertible = false;
    QTransform toTarget = worldTransform(*s) * worldTransform(*target).inverted(&invertible);
    if (!invertible)
        return Value();
    QRectF box;
    bool found = boundsThrough(*s, toTarget, box);
    return boundsObject(vm, found, box);
}

const NativeMethod clipMethods[] = {
    { "attachMovie", clipAttachMovie },
    { "createEmptyMovieClip", clipCreateEmptyMovieClip, DontEnum, 6 },
    { "duplicateMovieClip", clipDuplicateMovieClip },
    { "removeMovieClip", clipRemoveMovieClip },
    { "swapDepths", clipSwapDepths },
    { "getInstanceAtDepth", clipGetInstanceAtDepth, DontEnum, 7 },
    { "startDrag", clipStartDrag },
    { "stopDrag", clipStopDrag },
    { "getBounds", clipGetBounds },
    { "getRect", clipGetBounds },
    { "hitTest", clipHitTest },
    { "localToGlobal", clipLocalToGlobal },
    { "globalToLocal", clipGlobalToLocal },
    { "setMask", clipSetMask, DontEnum, 6 },
};

void installClipMethods(Interpreter& vm, Object* proto)
{
    vm.defineMethods(proto, clipMethods);
}

} // namespace swf::avm1
