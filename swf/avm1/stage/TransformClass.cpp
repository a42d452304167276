// flash.geom.Transform and MovieClip.transform: a clip's matrix and colour
// transform, alone or multiplied up to the stage, as geometry objects.
//
// Movies older than version 8 see the class but read nothing through it.
// Every read makes new objects from the clip as it stands; changing what was
// read changes nothing until it is set back. A Transform over no clip (or a
// clip that has left the stage) reads undefined and ignores what is set.

#include "swf/avm1/stage/ClipDrawing.h"
#include "swf/avm1/stage/ColorClass.h"
#include "swf/avm1/stage/ColorTransformClass.h"
#include "swf/avm1/stage/SpriteClip.h"
#include "swf/runtime/Bounds.h"
#include "swf/runtime/SpriteInstance.h"

#include <cmath>

namespace swf::avm1 {

namespace {

class TransformObject : public Object {
public:
    TransformObject(Object* proto, bool caseSensitive) : Object(Kind::Plain, proto, caseSensitive) { }

    SpriteClip* clip = nullptr;

    void markChildren(std::vector<Object*>& stack) override
    {
        Object::markChildren(stack);
        if (clip)
            stack.push_back(clip);
    }
};

// Movies older than version 8 see the accessors but read nothing through them.
SpriteInstance* spriteOf(Interpreter& vm, const Value& transform)
{
    if (vm.version() < 8)
        return nullptr;
    auto* t = dynamic_cast<TransformObject*>(transform.asObject());
    return t && t->clip ? t->clip->sprite() : nullptr;
}

Value newGeom(Interpreter& vm, const char* className, std::vector<Value> args)
{
    Object* package = vm.realm().geomPackage;
    Value ctor = package ? vm.getMember(Value(package), QString::fromLatin1(className)) : Value();
    return ctor.isObject() ? vm.construct(ctor, std::move(args)) : Value();
}

// Matrices reach scripts in pixels: the translation is kept in twips.
Value matrixValue(Interpreter& vm, const Matrix& m)
{
    return newGeom(vm, "Matrix", { Value(m.a), Value(m.b), Value(m.c), Value(m.d), Value(m.tx / 20.0), Value(m.ty / 20.0) });
}

// The player keeps multipliers as 8.8 fixed point and offsets as whole
// numbers; what a script sets is cut down to that (towards zero).
ColorTransform storedColorTransform(const ColorTransform& cx)
{
    auto mul = [](double m) { return colorFixed(m * 100.0) / 256.0; };
    auto add = [](double o) { return double(colorOffset(o)); };
    ColorTransform r;
    r.rMul = mul(cx.rMul);
    r.gMul = mul(cx.gMul);
    r.bMul = mul(cx.bMul);
    r.aMul = mul(cx.aMul);
    r.rAdd = add(cx.rAdd);
    r.gAdd = add(cx.gAdd);
    r.bAdd = add(cx.bAdd);
    r.aAdd = add(cx.aAdd);
    return r;
}

// The parent's transform applied after the child's, each product rounded
// down to the same fixed-point steps the player multiplies in.
ColorTransform concatenatedColorTransform(const DisplayObject& object)
{
    ColorTransform cx = object.colorTransform();
    for (const DisplayObject* p = object.parent(); p; p = p->parent()) {
        ColorTransform c = p->colorTransform().concat(cx);
        auto mul = [](double m) { return std::floor(m * 256.0) / 256.0; };
        c.rMul = mul(c.rMul);
        c.gMul = mul(c.gMul);
        c.bMul = mul(c.bMul);
        c.aMul = mul(c.aMul);
        c.rAdd = std::floor(c.rAdd);
        c.gAdd = std::floor(c.gAdd);
        c.bAdd = std::floor(c.bAdd);
        c.aAdd = std::floor(c.aAdd);
        cx = c;
    }
    return cx;
}

Value getMatrix(Interpreter& vm, CallArgs& a)
{
    SpriteInstance* s = spriteOf(vm, a.thisValue);
    return s ? matrixValue(vm, s->matrix()) : Value();
}

Value setMatrix(Interpreter& vm, CallArgs& a)
{
    SpriteInstance* s = spriteOf(vm, a.thisValue);
    Object* m = a.arg(0).asObject();
    if (!s || !m)
        return Value();
    Matrix matrix = matrixFromObject(vm, m);
    matrix.tx *= 20.0;
    matrix.ty *= 20.0;
    s->setMatrix(matrix);
    return Value();
}

Value getConcatenatedMatrix(Interpreter& vm, CallArgs& a)
{
    SpriteInstance* s = spriteOf(vm, a.thisValue);
    if (!s)
        return Value();
    const QTransform t = worldTransform(*s);
    Matrix m;
    m.a = t.m11();
    m.b = t.m12();
    m.c = t.m21();
    m.d = t.m22();
    m.tx = t.dx();
    m.ty = t.dy();
    return matrixValue(vm, m);
}

Value getColorTransform(Interpreter& vm, CallArgs& a)
{
    SpriteInstance* s = spriteOf(vm, a.thisValue);
    ColorTransformObject* c = s ? newColorTransform(vm, s->colorTransform()) : nullptr;
    return c ? Value(static_cast<Object*>(c)) : Value();
}

Value setColorTransform(Interpreter& vm, CallArgs& a)
{
    SpriteInstance* s = spriteOf(vm, a.thisValue);
    const ColorTransformObject* c = asColorTransform(a.arg(0));
    if (s && c)
        s->setColorTransform(storedColorTransform(c->transform()));
    return Value();
}

Value getConcatenatedColorTransform(Interpreter& vm, CallArgs& a)
{
    SpriteInstance* s = spriteOf(vm, a.thisValue);
    ColorTransformObject* c = s ? newColorTransform(vm, concatenatedColorTransform(*s)) : nullptr;
    return c ? Value(static_cast<Object*>(c)) : Value();
}

// The clip's box on the stage, in whole pixels; an empty clip has none.
Value getPixelBounds(Interpreter& vm, CallArgs& a)
{
    SpriteInstance* s = spriteOf(vm, a.thisValue);
    if (!s)
        return Value();
    QRectF box;
    if (!boundsThrough(*s, worldTransform(*s), box))
        box = QRectF();
    const double left = std::floor(box.left() / 20.0), top = std::floor(box.top() / 20.0);
    const double right = std::ceil(box.right() / 20.0), bottom = std::ceil(box.bottom() / 20.0);
    return newGeom(vm, "Rectangle", { Value(left), Value(top), Value(right - left), Value(bottom - top) });
}

void defineAccessor(Interpreter& vm, Object* proto, const char* name, NativeMethodFunction get,
    NativeMethodFunction set, uint8_t minVersion)
{
    const QString n = QString::fromLatin1(name);
    proto->define(n, Value(), 0);
    Property* p = proto->findOwn(n);
    p->getter = vm.newNative(n, get);
    // A read-only accessor ignores what is set on it.
    p->setter = vm.newNative(n, set ? set : [](Interpreter&, CallArgs&) { return Value(); });
    p->minVersion = minVersion;
}

TransformObject* newTransformFor(Interpreter& vm, SpriteClip* clip)
{
    Object* package = vm.realm().geomPackage;
    Value ctor = package ? vm.getMember(Value(package), QStringLiteral("Transform")) : Value();
    if (!ctor.isObject())
        return nullptr;
    return dynamic_cast<TransformObject*>(vm.construct(ctor, { Value(static_cast<Object*>(clip)) }).asObject());
}

} // namespace

void installTransform(Interpreter& vm, Object* package)
{
    Object* proto = vm.newObject();
    auto* ctor = vm.newConstructor(QStringLiteral("Transform"), [](Interpreter& vm, CallArgs& a) -> Value {
        Object* self = a.thisObject();
        if (!a.constructing || !self)
            return Value();
        auto* made = vm.make<TransformObject>(self->proto(), vm.caseSensitive());
        for (const char* name : { "__constructor__", "constructor" }) {
            if (const Property* p = self->findOwn(QString::fromLatin1(name)))
                made->define(QString::fromLatin1(name), p->value, DontEnum);
        }
        made->clip = dynamic_cast<SpriteClip*>(a.arg(0).asObject());
        return Value(static_cast<Object*>(made));
    }, proto);
    package->define(QStringLiteral("Transform"), Value(static_cast<Object*>(ctor)), 0);

    defineAccessor(vm, proto, "matrix", getMatrix, setMatrix, 0);
    defineAccessor(vm, proto, "concatenatedMatrix", getConcatenatedMatrix, nullptr, 0);
    defineAccessor(vm, proto, "colorTransform", getColorTransform, setColorTransform, 0);
    defineAccessor(vm, proto, "concatenatedColorTransform", getConcatenatedColorTransform, nullptr, 0);
    defineAccessor(vm, proto, "pixelBounds", getPixelBounds, nullptr, 0);
}

void installClipTransform(Interpreter& vm, Object* clipProto)
{
    // MovieClip.transform (version 8): a new Transform over the clip on each
    // read; setting one copies its clip's matrix and colour transform.
    auto get = [](Interpreter& vm, CallArgs& a) -> Value {
        auto* clip = dynamic_cast<SpriteClip*>(a.thisObject());
        TransformObject* t = clip ? newTransformFor(vm, clip) : nullptr;
        return t ? Value(static_cast<Object*>(t)) : Value();
    };
    auto set = [](Interpreter& vm, CallArgs& a) -> Value {
        auto* clip = dynamic_cast<SpriteClip*>(a.thisObject());
        SpriteInstance* to = clip ? clip->sprite() : nullptr;
        SpriteInstance* from = spriteOf(vm, a.arg(0));
        if (to && from) {
            to->setMatrix(from->matrix());
            to->setColorTransform(from->colorTransform());
        }
        return Value();
    };
    defineAccessor(vm, clipProto, "transform", get, set, 8);
    clipProto->findOwn(QStringLiteral("transform"))->flags = DontEnum;
}

} // namespace swf::avm1
