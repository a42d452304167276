// flash.geom for scripts: Matrix, Point and Rectangle as plain objects with
// number members, their methods reading and writing those members.
// ColorTransform keeps its numbers inside (ColorTransformClass.cpp).

#include "swf/avm1/stage/ClipDrawing.h"
#include "swf/avm1/stage/ColorTransformClass.h"

#include <cmath>
#include <functional>
#include <span>

namespace swf::avm1 {

namespace {

using Members = std::initializer_list<std::pair<const char*, double>>;

double num(Interpreter& vm, Object* o, const char* name)
{
    return o ? vm.toNumber(vm.getMember(Value(o), QString::fromLatin1(name))) : std::nan("");
}

void set(Interpreter& vm, Object* o, const char* name, double v)
{
    if (o)
        vm.setMember(Value(o), QString::fromLatin1(name), Value(v));
}

// Sets each member from the arguments in order, the default where one is missing.
void initMembers(Interpreter& vm, CallArgs& a, Members members)
{
    Object* o = a.thisObject();
    size_t i = 0;
    for (const auto& [name, fallback] : members) {
        Value v = a.arg(i++);
        vm.setMember(Value(o), QString::fromLatin1(name), i <= a.args.size() ? v : Value(fallback));
    }
}

Object* construct(Interpreter& vm, Object* package, const char* className, std::vector<Value> args)
{
    Value ctor = vm.getMember(Value(package), QString::fromLatin1(className));
    return vm.construct(ctor, std::move(args)).asObject();
}

// "(x=1, y=2)": the members joined as a script's `+` joins them, each asked
// for its valueOf first.
QString describe(Interpreter& vm, Object* o, std::initializer_list<std::pair<const char*, const char*>> members)
{
    QStringList parts;
    for (const auto& [label, name] : members) {
        const Value v = vm.toPrimitive(vm.getMember(Value(o), QString::fromLatin1(name)), false);
        parts << QStringLiteral("%1=%2").arg(QString::fromLatin1(label), vm.toString(v));
    }
    return QLatin1Char('(') + parts.join(QLatin1String(", ")) + QLatin1Char(')');
}

// Adds the first two arguments to two number members of `this`
// (Matrix.translate, Point.offset, Rectangle.offset).
void offsetMembers(Interpreter& vm, const CallArgs& a, const char* first, const char* second)
{
    Object* o = a.thisObject();
    set(vm, o, first, num(vm, o, first) + vm.toNumber(a.arg(0)));
    set(vm, o, second, num(vm, o, second) + vm.toNumber(a.arg(1)));
}

void writeMatrix(Interpreter& vm, Object* o, const Matrix& m)
{
    set(vm, o, "a", m.a);
    set(vm, o, "b", m.b);
    set(vm, o, "c", m.c);
    set(vm, o, "d", m.d);
    set(vm, o, "tx", m.tx);
    set(vm, o, "ty", m.ty);
}

// `first` applied, then `second`.
Matrix multiply(const Matrix& first, const Matrix& second)
{
    Matrix r;
    r.a = first.a * second.a + first.b * second.c;
    r.b = first.a * second.b + first.b * second.d;
    r.c = first.c * second.a + first.d * second.c;
    r.d = first.c * second.b + first.d * second.d;
    r.tx = first.tx * second.a + first.ty * second.c + second.tx;
    r.ty = first.tx * second.b + first.ty * second.d + second.ty;
    return r;
}

// The methods of the geometry classes make their results (new Points,
// Rectangles, Matrices) from the classes of the flash.geom package the realm
// keeps, which the collector sees; a raw pointer held by each method would
// dangle once a script deleted the package and the collector ran.
using GeomMethodFunction = Value (*)(Interpreter&, CallArgs&, Object* package);
struct GeomMethod {
    const char* name;
    GeomMethodFunction function;
};

// The geometry classes were script classes in the player: their methods are
// plain enumerable members, each a function with a prototype of its own.
void defineGeomMethods(Interpreter& vm, Object* on, std::span<const GeomMethod> methods)
{
    for (const GeomMethod& m : methods) {
        auto* f = vm.newConstructor(QString::fromLatin1(m.name),
            [function = m.function](Interpreter& vm, CallArgs& a) { return function(vm, a, vm.realm().geomPackage); }, vm.newObject());
        on->define(QString::fromLatin1(m.name), Value(static_cast<Object*>(f)), 0);
    }
}

static Value matrixConstructor(Interpreter& vm, CallArgs& a)
{
    initMembers(vm, a, { { "a", 1 }, { "b", 0 }, { "c", 0 }, { "d", 1 }, { "tx", 0 }, { "ty", 0 } });
    return Value();
}

static Value pointConstructor(Interpreter& vm, CallArgs& a)
{
    // Without arguments the origin; with any, both members as given.
    const bool origin = a.args.empty();
    vm.setMember(a.thisValue, QStringLiteral("x"), origin ? Value(0.0) : a.arg(0));
    vm.setMember(a.thisValue, QStringLiteral("y"), origin ? Value(0.0) : a.arg(1));
    return Value();
}

static Value pointLength(Interpreter& vm, CallArgs& a)
{
    Object* o = a.thisObject();
    return Value(std::hypot(num(vm, o, "x"), num(vm, o, "y")));
}

static Value rectangleConstructor(Interpreter& vm, CallArgs& a)
{
    initMembers(vm, a, { { "x", 0 }, { "y", 0 }, { "width", 0 }, { "height", 0 } });
    return Value();
}

static Value matrixIdentity(Interpreter& vm, CallArgs& a, Object*)
{
    writeMatrix(vm, a.thisObject(), Matrix {});
    return Value();
}

static Value matrixTranslate(Interpreter& vm, CallArgs& a, Object*)
{
    offsetMembers(vm, a, "tx", "ty");
    return Value();
}

static Value matrixScale(Interpreter& vm, CallArgs& a, Object*)
{
    Object* o = a.thisObject();
    double sx = vm.toNumber(a.arg(0)), sy = vm.toNumber(a.arg(1));
    writeMatrix(vm, o, multiply(matrixFromObject(vm, o), Matrix { sx, 0, 0, sy, 0, 0 }));
    return Value();
}

static Value matrixRotate(Interpreter& vm, CallArgs& a, Object*)
{
    Object* o = a.thisObject();
    double r = vm.toNumber(a.arg(0));
    double c = std::cos(r), s = std::sin(r);
    writeMatrix(vm, o, multiply(matrixFromObject(vm, o), Matrix { c, s, -s, c, 0, 0 }));
    return Value();
}

static Value matrixConcat(Interpreter& vm, CallArgs& a, Object*)
{
    Object* o = a.thisObject();
    if (Object* other = a.arg(0).asObject())
        writeMatrix(vm, o, multiply(matrixFromObject(vm, o), matrixFromObject(vm, other)));
    return Value();
}

static Value matrixInvert(Interpreter& vm, CallArgs& a, Object*)
{
    Object* o = a.thisObject();
    Matrix m = matrixFromObject(vm, o);
    double det = m.a * m.d - m.b * m.c;
    if (det == 0 || !std::isfinite(det)) {
        writeMatrix(vm, o, Matrix {});
        return Value();
    }
    Matrix r;
    r.a = m.d / det;
    r.b = -m.b / det;
    r.c = -m.c / det;
    r.d = m.a / det;
    r.tx = -(r.a * m.tx + r.c * m.ty);
    r.ty = -(r.b * m.tx + r.d * m.ty);
    writeMatrix(vm, o, r);
    return Value();
}

static Value matrixCreateBox(Interpreter& vm, CallArgs& a, Object*)
{
    double sx = vm.toNumber(a.arg(0)), sy = vm.toNumber(a.arg(1));
    double r = a.args.size() > 2 ? vm.toNumber(a.arg(2)) : 0;
    double c = std::cos(r), s = std::sin(r);
    writeMatrix(vm, a.thisObject(), Matrix { sx * c, sy * s, -sx * s, sy * c,
        a.args.size() > 3 ? vm.toNumber(a.arg(3)) : 0, a.args.size() > 4 ? vm.toNumber(a.arg(4)) : 0 });
    return Value();
}

static Value matrixCreateGradientBox(Interpreter& vm, CallArgs& a, Object*)
{
    // Maps the 1638.4-pixel gradient square onto a w x h box at (tx, ty).
    double w = vm.toNumber(a.arg(0)), h = vm.toNumber(a.arg(1));
    double r = a.args.size() > 2 ? vm.toNumber(a.arg(2)) : 0;
    double tx = a.args.size() > 3 ? vm.toNumber(a.arg(3)) : 0, ty = a.args.size() > 4 ? vm.toNumber(a.arg(4)) : 0;
    double c = std::cos(r), s = std::sin(r);
    writeMatrix(vm, a.thisObject(), Matrix { c * w / 1638.4, s * h / 1638.4, -s * w / 1638.4, c * h / 1638.4,
        tx + w / 2, ty + h / 2 });
    return Value();
}

static Value matrixClone(Interpreter& vm, CallArgs& a, Object* package)
{
    Matrix m = matrixFromObject(vm, a.thisObject());
    return Value(construct(vm, package, "Matrix", { m.a, m.b, m.c, m.d, m.tx, m.ty }));
}

static Value matrixToString(Interpreter& vm, CallArgs& a, Object*)
{
    return Value(describe(vm, a.thisObject(), { { "a", "a" }, { "b", "b" }, { "c", "c" }, { "d", "d" }, { "tx", "tx" }, { "ty", "ty" } }));
}

static Value pointAdd(Interpreter& vm, CallArgs& a, Object* package)
{
    Object* o = a.thisObject();
    Object* p = a.arg(0).asObject();
    return Value(construct(vm, package, "Point", { num(vm, o, "x") + num(vm, p, "x"), num(vm, o, "y") + num(vm, p, "y") }));
}

static Value pointSubtract(Interpreter& vm, CallArgs& a, Object* package)
{
    Object* o = a.thisObject();
    Object* p = a.arg(0).asObject();
    return Value(construct(vm, package, "Point", { num(vm, o, "x") - num(vm, p, "x"), num(vm, o, "y") - num(vm, p, "y") }));
}

static Value pointClone(Interpreter& vm, CallArgs& a, Object* package)
{
    Object* o = a.thisObject();
    return Value(construct(vm, package, "Point", { num(vm, o, "x"), num(vm, o, "y") }));
}

// Only an instance of the same class can be equal: an object with the same
// members but another prototype chain is not.
bool isGeomInstance(Interpreter& vm, Object* package, Object* o, const char* className)
{
    Object* ctor = package ? vm.getMember(Value(package), QString::fromLatin1(className)).asObject() : nullptr;
    return o && ctor && vm.isInstanceOf(o, ctor);
}

// Members compared with ==, as they are: two equal strings match even where
// they are no number.
bool sameMembers(Interpreter& vm, Object* o, Object* p, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        const QString n = QString::fromLatin1(name);
        if (!vm.abstractEquals(vm.getMember(Value(o), n), vm.getMember(Value(p), n)))
            return false;
    }
    return true;
}

static Value pointEquals(Interpreter& vm, CallArgs& a, Object* package)
{
    Object* o = a.thisObject();
    Object* p = a.arg(0).asObject();
    if (!isGeomInstance(vm, package, p, "Point"))
        return Value(false);
    return Value(sameMembers(vm, o, p, { "x", "y" }));
}

static Value pointOffset(Interpreter& vm, CallArgs& a, Object*)
{
    offsetMembers(vm, a, "x", "y");
    return Value();
}

static Value pointNormalize(Interpreter& vm, CallArgs& a, Object*)
{
    Object* o = a.thisObject();
    double x = num(vm, o, "x"), y = num(vm, o, "y"), len = std::hypot(x, y);
    if (len > 0) {
        double k = vm.toNumber(a.arg(0)) / len;
        set(vm, o, "x", x * k);
        set(vm, o, "y", y * k);
    }
    return Value();
}

static Value pointToString(Interpreter& vm, CallArgs& a, Object*)
{
    return Value(describe(vm, a.thisObject(), { { "x", "x" }, { "y", "y" } }));
}

static Value pointDistance(Interpreter& vm, CallArgs& a, Object*)
{
    Object* p = a.arg(0).asObject();
    Object* q = a.arg(1).asObject();
    // Plain squares and a root, as the player does: an infinite difference
    // beside a NaN gives NaN, where hypot would give Infinity.
    const double dx = num(vm, p, "x") - num(vm, q, "x"), dy = num(vm, p, "y") - num(vm, q, "y");
    return Value(std::sqrt(dx * dx + dy * dy));
}

static Value pointInterpolate(Interpreter& vm, CallArgs& a, Object* package)
{
    Object* p = a.arg(0).asObject();
    Object* q = a.arg(1).asObject();
    double f = vm.toNumber(a.arg(2));
    return Value(construct(vm, package, "Point", { num(vm, q, "x") + (num(vm, p, "x") - num(vm, q, "x")) * f,
                                                    num(vm, q, "y") + (num(vm, p, "y") - num(vm, q, "y")) * f }));
}

static Value pointPolar(Interpreter& vm, CallArgs& a, Object* package)
{
    double len = vm.toNumber(a.arg(0)), angle = vm.toNumber(a.arg(1));
    return Value(construct(vm, package, "Point", { len * std::cos(angle), len * std::sin(angle) }));
}

static Value rectangleClone(Interpreter& vm, CallArgs& a, Object* package)
{
    Object* o = a.thisObject();
    return Value(construct(vm, package, "Rectangle", { num(vm, o, "x"), num(vm, o, "y"), num(vm, o, "width"), num(vm, o, "height") }));
}

static Value rectangleIsEmpty(Interpreter& vm, CallArgs& a, Object*)
{
    Object* o = a.thisObject();
    return Value(!(num(vm, o, "width") > 0) || !(num(vm, o, "height") > 0));
}

static Value rectangleSetEmpty(Interpreter& vm, CallArgs& a, Object*)
{
    for (const char* name : { "x", "y", "width", "height" })
        set(vm, a.thisObject(), name, 0);
    return Value();
}

// The player's Rectangle tests are written in ActionScript; they are done
// here with the same operators, so members that are no numbers give what
// the script would: `undefined` where a comparison meets NaN, text compared
// as text, each member's valueOf asked once per use.
namespace script {

Value add(Interpreter& vm, const Value& a, const Value& b)
{
    bool ua = false, ub = false;
    const Value pa = vm.toPrimitive(a, false, &ua);
    const Value pb = vm.toPrimitive(b, false, &ub);
    if ((pa.isString() && !ua) || (pb.isString() && !ub))
        return Value(vm.toString(pa) + vm.toString(pb));
    const double nan = std::nan("");
    return Value((ua ? nan : vm.toNumber(pa)) + (ub ? nan : vm.toNumber(pb)));
}

Value less(Interpreter& vm, const Value& a, const Value& b) { return vm.abstractLess(a, b); }
// a >= b is !(a < b), and a <= b is !(b < a): undefined turns into true.
Value atLeast(Interpreter& vm, const Value& a, const Value& b) { return Value(!vm.toBoolean(vm.abstractLess(a, b))); }
Value atMost(Interpreter& vm, const Value& a, const Value& b) { return Value(!vm.toBoolean(vm.abstractLess(b, a))); }

// a && b && ...: the first falsy value, or the last; later tests are not run.
Value all(Interpreter& vm, std::initializer_list<std::function<Value()>> tests)
{
    Value v(true);
    for (const auto& test : tests) {
        v = test();
        if (!vm.toBoolean(v))
            return v;
    }
    return v;
}

} // namespace script

Value member(Interpreter& vm, const Value& o, const char* name)
{
    return vm.getMember(o, QString::fromLatin1(name));
}

// x >= this.x && x < this.x + this.width && y >= this.y && y < this.y + this.height
Value rectangleHolds(Interpreter& vm, const Value& self, const Value& x, const Value& y)
{
    using namespace script;
    return all(vm, {
        [&] { return atLeast(vm, x, member(vm, self, "x")); },
        [&] { return less(vm, x, add(vm, member(vm, self, "x"), member(vm, self, "width"))); },
        [&] { return atLeast(vm, y, member(vm, self, "y")); },
        [&] { return less(vm, y, add(vm, member(vm, self, "y"), member(vm, self, "height"))); },
    });
}

static Value rectangleContains(Interpreter& vm, CallArgs& a, Object*)
{
    return rectangleHolds(vm, a.thisValue, a.arg(0), a.arg(1));
}

static Value rectangleContainsPoint(Interpreter& vm, CallArgs& a, Object*)
{
    return rectangleHolds(vm, a.thisValue, member(vm, a.arg(0), "x"), member(vm, a.arg(0), "y"));
}

// The other's corner inside, then its far edges no further than ours.
static Value rectangleContainsRectangle(Interpreter& vm, CallArgs& a, Object*)
{
    using namespace script;
    const Value self = a.thisValue, r = a.arg(0);
    auto far = [&](const Value& o, const char* at, const char* size) { return add(vm, member(vm, o, at), member(vm, o, size)); };
    return all(vm, {
        [&] { return atLeast(vm, member(vm, r, "x"), member(vm, self, "x")); },
        [&] { return less(vm, member(vm, r, "x"), far(self, "x", "width")); },
        [&] { return atLeast(vm, member(vm, r, "y"), member(vm, self, "y")); },
        [&] { return less(vm, member(vm, r, "y"), far(self, "y", "height")); },
        [&] { return atMost(vm, far(r, "x", "width"), far(self, "x", "width")); },
        [&] { return atMost(vm, far(r, "y", "height"), far(self, "y", "height")); },
    });
}

static Value rectangleOffset(Interpreter& vm, CallArgs& a, Object*)
{
    offsetMembers(vm, a, "x", "y");
    return Value();
}

static Value rectangleInflate(Interpreter& vm, CallArgs& a, Object*)
{
    Object* o = a.thisObject();
    double dx = vm.toNumber(a.arg(0)), dy = vm.toNumber(a.arg(1));
    set(vm, o, "x", num(vm, o, "x") - dx);
    set(vm, o, "y", num(vm, o, "y") - dy);
    set(vm, o, "width", num(vm, o, "width") + 2 * dx);
    set(vm, o, "height", num(vm, o, "height") + 2 * dy);
    return Value();
}

static Value rectangleIntersects(Interpreter& vm, CallArgs& a, Object*)
{
    Object* o = a.thisObject();
    Object* p = a.arg(0).asObject();
    QRectF r(num(vm, o, "x"), num(vm, o, "y"), num(vm, o, "width"), num(vm, o, "height"));
    QRectF s(num(vm, p, "x"), num(vm, p, "y"), num(vm, p, "width"), num(vm, p, "height"));
    return Value(r.intersects(s));
}

static Value rectangleEquals(Interpreter& vm, CallArgs& a, Object* package)
{
    Object* o = a.thisObject();
    Object* p = a.arg(0).asObject();
    if (!isGeomInstance(vm, package, p, "Rectangle"))
        return Value(false);
    return Value(sameMembers(vm, o, p, { "x", "y", "width", "height" }));
}

static Value rectangleToString(Interpreter& vm, CallArgs& a, Object*)
{
    return Value(describe(vm, a.thisObject(), { { "x", "x" }, { "y", "y" }, { "w", "width" }, { "h", "height" } }));
}

// transformPoint and deltaTransformPoint: a new Point, the argument mapped
// through the matrix (with or without its translation).
template<bool Translate>
Value matrixMapPoint(Interpreter& vm, CallArgs& a, Object* package)
{
    Matrix m = matrixFromObject(vm, a.thisObject());
    Object* p = a.arg(0).asObject();
    double x = num(vm, p, "x"), y = num(vm, p, "y");
    double nx = m.a * x + m.c * y + (Translate ? m.tx : 0);
    double ny = m.b * x + m.d * y + (Translate ? m.ty : 0);
    return Value(construct(vm, package, "Point", { nx, ny }));
}

// union and intersection: a new Rectangle; an empty result is all zeros.
template<bool Unite>
Value rectangleCombine(Interpreter& vm, CallArgs& a, Object* package)
{
    Object* o = a.thisObject();
    Object* p = a.arg(0).asObject();
    QRectF r(num(vm, o, "x"), num(vm, o, "y"), num(vm, o, "width"), num(vm, o, "height"));
    QRectF s(num(vm, p, "x"), num(vm, p, "y"), num(vm, p, "width"), num(vm, p, "height"));
    QRectF out = Unite ? (r.isEmpty() ? s : s.isEmpty() ? r : r.united(s)) : r.intersected(s);
    if (out.isEmpty())
        out = QRectF();
    return Value(construct(vm, package, "Rectangle", { out.x(), out.y(), out.width(), out.height() }));
}

const GeomMethod matrixMethods[] = {
    { "identity", matrixIdentity },
    { "translate", matrixTranslate },
    { "scale", matrixScale },
    { "rotate", matrixRotate },
    { "concat", matrixConcat },
    { "invert", matrixInvert },
    { "createBox", matrixCreateBox },
    { "createGradientBox", matrixCreateGradientBox },
    { "clone", matrixClone },
    { "transformPoint", matrixMapPoint<true> },
    { "deltaTransformPoint", matrixMapPoint<false> },
    { "toString", matrixToString },
};

const GeomMethod pointMethods[] = {
    { "add", pointAdd },
    { "subtract", pointSubtract },
    { "clone", pointClone },
    { "equals", pointEquals },
    { "offset", pointOffset },
    { "normalize", pointNormalize },
    { "toString", pointToString },
};

const GeomMethod pointStaticMethods[] = {
    { "distance", pointDistance },
    { "interpolate", pointInterpolate },
    { "polar", pointPolar },
};

const GeomMethod rectangleMethods[] = {
    { "clone", rectangleClone },
    { "isEmpty", rectangleIsEmpty },
    { "setEmpty", rectangleSetEmpty },
    { "contains", rectangleContains },
    { "containsPoint", rectangleContainsPoint },
    { "containsRectangle", rectangleContainsRectangle },
    { "offset", rectangleOffset },
    { "inflate", rectangleInflate },
    { "union", rectangleCombine<true> },
    { "intersection", rectangleCombine<false> },
    { "intersects", rectangleIntersects },
    { "equals", rectangleEquals },
    { "toString", rectangleToString },
};

// A class of the package: its constructor, with `proto` as its prototype.
FunctionObject* defineClass(Interpreter& vm, Object* package, const char* name, NativeMethodFunction constructor, Object* proto)
{
    auto* ctor = vm.newConstructor(QString::fromLatin1(name), constructor, proto);
    package->define(QString::fromLatin1(name), Value(static_cast<Object*>(ctor)), 0);
    return ctor;
}

void installMatrix(Interpreter& vm, Object* package)
{
    Object* matrixProto = vm.newObject();
    defineClass(vm, package, "Matrix", matrixConstructor, matrixProto);

    defineGeomMethods(vm, matrixProto, matrixMethods);
}

void installPoint(Interpreter& vm, Object* package)
{
    Object* pointProto = vm.newObject();
    FunctionObject* pointCtor = defineClass(vm, package, "Point", pointConstructor, pointProto);

    defineGeomMethods(vm, pointProto, pointMethods);
    auto* length = vm.newNative(QStringLiteral("length"), pointLength);
    pointProto->define(QStringLiteral("length"), Value(), 0);
    pointProto->findOwn(QStringLiteral("length"))->getter = length;

    defineGeomMethods(vm, pointCtor, pointStaticMethods);
}

void installRectangle(Interpreter& vm, Object* package)
{
    Object* rectangleProto = vm.newObject();
    defineClass(vm, package, "Rectangle", rectangleConstructor, rectangleProto);

    defineGeomMethods(vm, rectangleProto, rectangleMethods);
}

} // namespace

void installFlashGeom(Interpreter& vm, Object* package)
{
    // The first package installed is the one every geometry method builds from.
    vm.setRealmSlot(&Realm::geomPackage, package);
    installMatrix(vm, package);
    installPoint(vm, package);
    installRectangle(vm, package);
    installColorTransform(vm, package);
    installTransform(vm, package);
}

} // namespace swf::avm1
