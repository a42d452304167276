// flash.geom's Point and Rectangle: plain value objects that the display
// classes hand out (bounds, positions) and take in (hit tests, conversions).

#include "swf/avm2/display/GeomClasses.h"

#include <cmath>

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

struct Box {
    double x = 0, y = 0, w = 0, h = 0;
};

Box& boxOf(Machine& m, const Value& v)
{
    Object* o = v.object();
    if (!o || !o->host)
        m.throwError(ErrorClass::TypeError, 1009, QStringLiteral("Cannot access a property or method of a null object reference."));
    return *static_cast<Box*>(o->host.get());
}

double num(Machine& m, Args args, std::size_t i) { return i < args.size() ? m.toNumber(args[i]) : 0; }


void field(Machine& m, ClassObject* cls, const char* name, double Box::*member)
{
    m.addGetter(cls, QLatin1String(name),
        [member](Machine& m, const Value& self, Args) { return Value::number(boxOf(m, self).*member); },
        [member](Machine& m, const Value& self, Args args) {
            boxOf(m, self).*member = m.toNumber(arg(args, 0));
            return Value::undefined();
        });
}

} // namespace

ClassObject* pointClass(Machine& m) { return m.findClass(QStringLiteral("flash.geom.Point")); }
ClassObject* rectangleClass(Machine& m) { return m.findClass(QStringLiteral("flash.geom.Rectangle")); }

Value makePoint(Machine& m, double x, double y)
{
    Value args[] = { Value::number(x), Value::number(y) };
    return m.constructClass(pointClass(m), args);
}

Value makeRectangle(Machine& m, double x, double y, double w, double h)
{
    Value args[] = { Value::number(x), Value::number(y), Value::number(w), Value::number(h) };
    return m.constructClass(rectangleClass(m), args);
}

bool readPoint(Machine& m, const Value& v, double& x, double& y)
{
    Object* o = v.object();
    if (!o || !o->host || o->classObject() != pointClass(m))
        return false;
    const Box& b = *static_cast<Box*>(o->host.get());
    x = b.x;
    y = b.y;
    return true;
}

bool readRectangle(Machine& m, const Value& v, double& x, double& y, double& w, double& h)
{
    Object* o = v.object();
    if (!o || !o->host || !o->classObject() || !o->classObject()->isSubclassOf(rectangleClass(m)))
        return false;
    const Box& b = *static_cast<Box*>(o->host.get());
    x = b.x, y = b.y, w = b.w, h = b.h;
    return true;
}

void installGeomClasses(Machine& m)
{
    const QString geom = QStringLiteral("flash.geom");
    ClassObject* point = m.defineClass(geom, QStringLiteral("Point"), m.builtins().object, InstanceKind::Plain,
        [](Machine& m, const Value& self, Args args) {
            self.o->host = std::make_shared<Box>(Box { num(m, args, 0), num(m, args, 1), 0, 0 });
            return Value::undefined();
        });
    point->sealed = true;
    field(m, point, "x", &Box::x);
    field(m, point, "y", &Box::y);
    m.addGetter(point, QStringLiteral("length"), [](Machine& m, const Value& self, Args) {
        const Box& b = boxOf(m, self);
        return Value::number(std::hypot(b.x, b.y));
    });
    m.addMethod(point, QStringLiteral("toString"), [](Machine& m, const Value& self, Args) {
        const Box& b = boxOf(m, self);
        return Value::string(QStringLiteral("(x=%1, y=%2)").arg(numberToString(b.x), numberToString(b.y)));
    });
    m.addMethod(point, QStringLiteral("clone"), [](Machine& m, const Value& self, Args) {
        const Box& b = boxOf(m, self);
        return makePoint(m, b.x, b.y);
    });
    m.addMethod(point, QStringLiteral("add"), [](Machine& m, const Value& self, Args args) {
        const Box& a = boxOf(m, self);
        const Box& b = boxOf(m, arg(args, 0));
        return makePoint(m, a.x + b.x, a.y + b.y);
    }, 1);
    m.addMethod(point, QStringLiteral("subtract"), [](Machine& m, const Value& self, Args args) {
        const Box& a = boxOf(m, self);
        const Box& b = boxOf(m, arg(args, 0));
        return makePoint(m, a.x - b.x, a.y - b.y);
    }, 1);
    m.addMethod(point, QStringLiteral("equals"), [](Machine& m, const Value& self, Args args) {
        const Box& a = boxOf(m, self);
        const Box& b = boxOf(m, arg(args, 0));
        return Value::boolean(a.x == b.x && a.y == b.y);
    }, 1);
    m.addMethod(point, QStringLiteral("offset"), [](Machine& m, const Value& self, Args args) {
        Box& a = boxOf(m, self);
        a.x += num(m, args, 0);
        a.y += num(m, args, 1);
        return Value::undefined();
    }, 2);
    m.addStatic(point, QStringLiteral("distance"), [](Machine& m, const Value&, Args args) {
        const Box& a = boxOf(m, arg(args, 0));
        const Box& b = boxOf(m, arg(args, 1));
        return Value::number(std::hypot(a.x - b.x, a.y - b.y));
    }, 2);

    ClassObject* rect = m.defineClass(geom, QStringLiteral("Rectangle"), m.builtins().object, InstanceKind::Plain,
        [](Machine& m, const Value& self, Args args) {
            self.o->host = std::make_shared<Box>(Box { num(m, args, 0), num(m, args, 1), num(m, args, 2), num(m, args, 3) });
            return Value::undefined();
        });
    rect->sealed = true;
    field(m, rect, "x", &Box::x);
    field(m, rect, "y", &Box::y);
    field(m, rect, "width", &Box::w);
    field(m, rect, "height", &Box::h);
    // The edges move one side only: the opposite side stays where it was.
    m.addGetter(rect, QStringLiteral("left"),
        [](Machine& m, const Value& self, Args) { return Value::number(boxOf(m, self).x); },
        [](Machine& m, const Value& self, Args args) {
            Box& b = boxOf(m, self);
            const double v = m.toNumber(arg(args, 0));
            b.w += b.x - v;
            b.x = v;
            return Value::undefined();
        });
    m.addGetter(rect, QStringLiteral("top"),
        [](Machine& m, const Value& self, Args) { return Value::number(boxOf(m, self).y); },
        [](Machine& m, const Value& self, Args args) {
            Box& b = boxOf(m, self);
            const double v = m.toNumber(arg(args, 0));
            b.h += b.y - v;
            b.y = v;
            return Value::undefined();
        });
    m.addGetter(rect, QStringLiteral("right"),
        [](Machine& m, const Value& self, Args) { const Box& b = boxOf(m, self); return Value::number(b.x + b.w); },
        [](Machine& m, const Value& self, Args args) {
            Box& b = boxOf(m, self);
            b.w = m.toNumber(arg(args, 0)) - b.x;
            return Value::undefined();
        });
    m.addGetter(rect, QStringLiteral("bottom"),
        [](Machine& m, const Value& self, Args) { const Box& b = boxOf(m, self); return Value::number(b.y + b.h); },
        [](Machine& m, const Value& self, Args args) {
            Box& b = boxOf(m, self);
            b.h = m.toNumber(arg(args, 0)) - b.y;
            return Value::undefined();
        });
    m.addGetter(rect, QStringLiteral("topLeft"), [](Machine& m, const Value& self, Args) {
        const Box& b = boxOf(m, self);
        return makePoint(m, b.x, b.y);
    });
    m.addGetter(rect, QStringLiteral("bottomRight"), [](Machine& m, const Value& self, Args) {
        const Box& b = boxOf(m, self);
        return makePoint(m, b.x + b.w, b.y + b.h);
    });
    m.addGetter(rect, QStringLiteral("size"), [](Machine& m, const Value& self, Args) {
        const Box& b = boxOf(m, self);
        return makePoint(m, b.w, b.h);
    });
    m.addMethod(rect, QStringLiteral("toString"), [](Machine& m, const Value& self, Args) {
        const Box& b = boxOf(m, self);
        return Value::string(QStringLiteral("(x=%1, y=%2, w=%3, h=%4)")
                                 .arg(numberToString(b.x), numberToString(b.y), numberToString(b.w), numberToString(b.h)));
    });
    m.addMethod(rect, QStringLiteral("clone"), [](Machine& m, const Value& self, Args) {
        const Box& b = boxOf(m, self);
        return makeRectangle(m, b.x, b.y, b.w, b.h);
    });
    m.addMethod(rect, QStringLiteral("isEmpty"), [](Machine& m, const Value& self, Args) {
        const Box& b = boxOf(m, self);
        return Value::boolean(!(b.w > 0) || !(b.h > 0));
    });
    m.addMethod(rect, QStringLiteral("setEmpty"), [](Machine& m, const Value& self, Args) {
        boxOf(m, self) = Box {};
        return Value::undefined();
    });
    m.addMethod(rect, QStringLiteral("setTo"), [](Machine& m, const Value& self, Args args) {
        boxOf(m, self) = Box { num(m, args, 0), num(m, args, 1), num(m, args, 2), num(m, args, 3) };
        return Value::undefined();
    }, 4);
    m.addMethod(rect, QStringLiteral("contains"), [](Machine& m, const Value& self, Args args) {
        const Box& b = boxOf(m, self);
        const double x = num(m, args, 0), y = num(m, args, 1);
        return Value::boolean(x >= b.x && x < b.x + b.w && y >= b.y && y < b.y + b.h);
    }, 2);
    m.addMethod(rect, QStringLiteral("containsPoint"), [](Machine& m, const Value& self, Args args) {
        const Box& b = boxOf(m, self);
        const Box& p = boxOf(m, arg(args, 0));
        return Value::boolean(p.x >= b.x && p.x < b.x + b.w && p.y >= b.y && p.y < b.y + b.h);
    }, 1);
    m.addMethod(rect, QStringLiteral("equals"), [](Machine& m, const Value& self, Args args) {
        const Box& a = boxOf(m, self);
        const Box& b = boxOf(m, arg(args, 0));
        return Value::boolean(a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h);
    }, 1);
    m.addMethod(rect, QStringLiteral("offset"), [](Machine& m, const Value& self, Args args) {
        Box& b = boxOf(m, self);
        b.x += num(m, args, 0);
        b.y += num(m, args, 1);
        return Value::undefined();
    }, 2);
    m.addMethod(rect, QStringLiteral("inflate"), [](Machine& m, const Value& self, Args args) {
        Box& b = boxOf(m, self);
        const double dx = num(m, args, 0), dy = num(m, args, 1);
        b.x -= dx, b.y -= dy, b.w += 2 * dx, b.h += 2 * dy;
        return Value::undefined();
    }, 2);
    m.addMethod(rect, QStringLiteral("intersects"), [](Machine& m, const Value& self, Args args) {
        const Box& a = boxOf(m, self);
        const Box& b = boxOf(m, arg(args, 0));
        return Value::boolean(a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h);
    }, 1);
    m.addMethod(rect, QStringLiteral("intersection"), [](Machine& m, const Value& self, Args args) {
        const Box& a = boxOf(m, self);
        const Box& b = boxOf(m, arg(args, 0));
        const double left = std::max(a.x, b.x), top = std::max(a.y, b.y);
        const double right = std::min(a.x + a.w, b.x + b.w), bottom = std::min(a.y + a.h, b.y + b.h);
        if (right <= left || bottom <= top)
            return makeRectangle(m, 0, 0, 0, 0);
        return makeRectangle(m, left, top, right - left, bottom - top);
    }, 1);
    m.addMethod(rect, QStringLiteral("union"), [](Machine& m, const Value& self, Args args) {
        const Box& a = boxOf(m, self);
        const Box& b = boxOf(m, arg(args, 0));
        // An empty side adds nothing to the other.
        if (!(a.w > 0) || !(a.h > 0))
            return makeRectangle(m, b.x, b.y, b.w, b.h);
        if (!(b.w > 0) || !(b.h > 0))
            return makeRectangle(m, a.x, a.y, a.w, a.h);
        const double left = std::min(a.x, b.x), top = std::min(a.y, b.y);
        const double right = std::max(a.x + a.w, b.x + b.w), bottom = std::max(a.y + a.h, b.y + b.h);
        return makeRectangle(m, left, top, right - left, bottom - top);
    }, 1);
    installColorTransformClass(m);
}

} // namespace swf::avm2
