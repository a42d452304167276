// DisplayObject's members: where an object sits (x, y, scale, rotation,
// size), how it shows (alpha, visible, mask), where it belongs (name, parent,
// root, stage), and the geometry questions (bounds, coordinate conversions,
// hit tests). Positions are pixels to scripts and twips on the stage.

#include "swf/avm2/display/GeomClasses.h"
#include "swf/avm2/display/StageScripts.h"

#include "swf/runtime/Bounds.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"

#include <cmath>
#include <numbers>

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

DisplayObject* displayIn(const Value& self)
{
    Object* o = self.object();
    return o ? o->display : nullptr;
}

double scaleXOf(const Matrix& m) { return std::hypot(m.a, m.b); }
double scaleYOf(const Matrix& m) { return std::hypot(m.c, m.d); }
double rotationOf(const Matrix& m) { return std::atan2(m.b, m.a) * 180 / std::numbers::pi; }

// Rebuilds the matrix from scale and rotation (any skew is lost, as on the player).
void compose(Matrix& m, double scaleX, double scaleY, double degrees)
{
    const double r = degrees * std::numbers::pi / 180;
    m.a = scaleX * std::cos(r);
    m.b = scaleX * std::sin(r);
    m.c = -scaleY * std::sin(r);
    m.d = scaleY * std::cos(r);
}

// Positions are kept in whole twips.
double toTwips(double pixels) { return std::isfinite(pixels) ? std::round(pixels * 20) : 0; }

// The bounds of `display` in the space of `target` (null: its own space), in pixels.
QRectF boundsIn(const DisplayObject& display, const DisplayObject* target)
{
    QTransform t = worldTransform(display);
    if (target) {
        bool invertible = false;
        QTransform back = worldTransform(*target).inverted(&invertible);
        t = invertible ? t * back : QTransform();
    } else {
        t = QTransform();
    }
    QRectF r;
    if (!boundsThrough(display, t, r))
        return {};
    // Each edge goes to pixels on its own, then the size is their difference.
    const double left = r.left() / 20, top = r.top() / 20;
    return QRectF(left, top, r.right() / 20 - left, r.bottom() / 20 - top);
}

// The scale and rotation a script set are read back as set while the
// matrix is still the one they made (rebuilding them from the matrix would
// round them).
struct Transform2D {
    Matrix matrix;
    double scaleX = 1, scaleY = 1, rotation = 0;
};

Transform2D transformOf(Object* o, const DisplayObject& d)
{
    if (o && o->host) {
        const auto& cached = *static_cast<Transform2D*>(o->host.get());
        if (cached.matrix == d.matrix())
            return cached;
    }
    const Matrix& m = d.matrix();
    return Transform2D { m, scaleXOf(m), scaleYOf(m), rotationOf(m) };
}

void setTransform(Object* o, DisplayObject& d, double scaleX, double scaleY, double rotation)
{
    Matrix m = d.matrix();
    compose(m, scaleX, scaleY, rotation);
    d.setMatrix(m);
    if (o)
        o->host = std::make_shared<Transform2D>(Transform2D { m, scaleX, scaleY, rotation });
}

} // namespace

void StageScripts::installDisplayObjectMembers(ClassObject* cls)
{
    Machine& m = *m_machine;
    // A number property over the matrix: read, then written back whole.
    auto matrixField = [&](const char* name, auto get, auto set) {
        m.addGetter(cls, QLatin1String(name),
            [get](Machine&, const Value& self, Args) {
                DisplayObject* d = displayIn(self);
                return Value::number(d ? get(d->matrix()) : 0);
            },
            [set](Machine& m, const Value& self, Args args) {
                const double v = m.toNumber(arg(args, 0));
                if (DisplayObject* d = displayIn(self); d && std::isfinite(v)) {
                    Matrix matrix = d->matrix();
                    set(matrix, v);
                    d->setMatrix(matrix);
                }
                return Value::undefined();
            });
    };
    matrixField("x", [](const Matrix& x) { return x.tx / 20; }, [](Matrix& x, double v) { x.tx = toTwips(v); });
    matrixField("y", [](const Matrix& x) { return x.ty / 20; }, [](Matrix& x, double v) { x.ty = toTwips(v); });
    auto transformField = [&](const char* name, int which) {
        m.addGetter(cls, QLatin1String(name),
            [which](Machine&, const Value& self, Args) {
                DisplayObject* d = displayIn(self);
                if (!d)
                    return Value::number(which == 2 ? 0 : 1);
                const Transform2D t = transformOf(self.object(), *d);
                return Value::number(which == 0 ? t.scaleX : which == 1 ? t.scaleY : t.rotation);
            },
            [which](Machine& m, const Value& self, Args args) {
                double v = m.toNumber(arg(args, 0));
                DisplayObject* d = displayIn(self);
                if (!d || !std::isfinite(v))
                    return Value::undefined();
                Transform2D t = transformOf(self.object(), *d);
                if (which == 0) {
                    t.scaleX = v;
                } else if (which == 1) {
                    t.scaleY = v;
                } else {
                    // Any angle comes back between -180 and 180.
                    v = std::fmod(v, 360.0);
                    if (v > 180)
                        v -= 360;
                    else if (v < -180)
                        v += 360;
                    t.rotation = v;
                }
                setTransform(self.object(), *d, t.scaleX, t.scaleY, t.rotation);
                return Value::undefined();
            });
    };
    transformField("scaleX", 0);
    transformField("scaleY", 1);
    transformField("rotation", 2);
    // The size of what it draws in its parent's space; setting it scales the object.
    auto sizeField = [&](const char* name, bool horizontal) {
        m.addGetter(cls, QLatin1String(name),
            [horizontal](Machine&, const Value& self, Args) {
                DisplayObject* d = displayIn(self);
                if (!d)
                    return Value::number(0);
                QRectF r;
                if (!boundsThrough(*d, d->matrix().toQTransform(), r))
                    return Value::number(0);
                // Bounds are whole twips.
                return Value::number(std::round(horizontal ? r.width() : r.height()) / 20);
            },
            [horizontal](Machine& m, const Value& self, Args args) {
                const double v = m.toNumber(arg(args, 0));
                DisplayObject* d = displayIn(self);
                QRectF local;
                // A negative size is ignored; the new scale is the size over the unscaled size in pixels.
                if (!d || !std::isfinite(v) || v < 0 || !localBounds(*d, local))
                    return Value::undefined();
                const double span = (horizontal ? local.width() : local.height()) / 20;
                if (span <= 0)
                    return Value::undefined();
                const Transform2D t = transformOf(self.object(), *d);
                if (horizontal)
                    setTransform(self.object(), *d, v / span, t.scaleY, t.rotation);
                else
                    setTransform(self.object(), *d, t.scaleX, v / span, t.rotation);
                return Value::undefined();
            });
    };
    sizeField("width", true);
    sizeField("height", false);
    m.addGetter(cls, QStringLiteral("alpha"),
        [](Machine&, const Value& self, Args) {
            DisplayObject* d = displayIn(self);
            return Value::number(d ? d->colorTransform().aMul : 1);
        },
        [](Machine& m, const Value& self, Args args) {
            if (DisplayObject* d = displayIn(self)) {
                ColorTransform cx = d->colorTransform();
                cx.aMul = m.toNumber(arg(args, 0));
                d->setColorTransform(cx);
            }
            return Value::undefined();
        });
    m.addGetter(cls, QStringLiteral("visible"),
        [](Machine&, const Value& self, Args) {
            DisplayObject* d = displayIn(self);
            return Value::boolean(!d || d->isVisible());
        },
        [](Machine& m, const Value& self, Args args) {
            if (DisplayObject* d = displayIn(self))
                d->setVisible(m.toBoolean(arg(args, 0)));
            return Value::undefined();
        });
    m.addGetter(cls, QStringLiteral("name"),
        [this](Machine&, const Value& self, Args) {
            DisplayObject* d = displayIn(self);
            return d ? Value::string(d->name()) : Value::null();
        },
        [this](Machine& m, const Value& self, Args args) {
            DisplayObject* d = displayIn(self);
            // A name the timeline gave stays: scripts may not rename such an object.
            if (d && !d->isScriptOwned() && d != &m_stage.root())
                m.throwError(ErrorClass::Error, 2078, QStringLiteral("The name property of a Timeline-placed object cannot be modified."));
            if (d)
                d->setName(m.toString(arg(args, 0)));
            return Value::undefined();
        });
    m.addGetter(cls, QStringLiteral("parent"), [this](Machine& m, const Value& self, Args) {
        Object* o = self.object();
        if (Object* p = m.displayParent(o))
            return Value::object(p);
        return Value::null();
    });
    // The top of the object's tree: the document on the stage, else the
    // outermost container holding it (itself when alone).
    m.addGetter(cls, QStringLiteral("root"), [this](Machine&, const Value& self, Args) {
        DisplayObject* d = displayIn(self);
        if (!d)
            return Value::null();
        if (!onStage(d)) {
            DisplayObject* top = d;
            while (top->parent())
                top = top->parent();
            // Only a loaded movie's root is a root; a tree held by scripts has none.
            return top == d && d->parent() ? Value::object(objectFor(top)) : Value::null();
        }
        return Value::object(objectFor(&m_stage.root()));
    });
    m.addGetter(cls, QStringLiteral("stage"), [this](Machine&, const Value& self, Args) {
        if (self.object() == m_stageObject)
            return self;
        return onStage(displayIn(self)) ? Value::object(m_stageObject) : Value::null();
    });
    m.addGetter(cls, QStringLiteral("loaderInfo"), [this](Machine&, const Value& self, Args) {
        Object* o = self.object();
        if (!o || !o->display || !onStage(o->display))
            return Value::null();
        return Value::object(rootLoaderInfo());
    });
    m.addGetter(cls, QStringLiteral("mask"),
        [this](Machine&, const Value& self, Args) {
            DisplayObject* d = displayIn(self);
            return d && d->scriptMask() ? Value::object(objectFor(d->scriptMask())) : Value::null();
        },
        [](Machine&, const Value& self, Args args) {
            if (DisplayObject* d = displayIn(self))
                d->setScriptMask(displayIn(arg(args, 0)));
            return Value::undefined();
        });
    auto bounds = [this](Machine& m, const Value& self, Args args) {
        DisplayObject* d = displayIn(self);
        if (!d)
            return makeRectangle(m, 0, 0, 0, 0);
        Value target = arg(args, 0);
        DisplayObject* space = displayIn(target);
        if (target.object() == m_stageObject)
            space = &m_stage.root();
        const QRectF r = boundsIn(*d, space ? space : d);
        return makeRectangle(m, r.x(), r.y(), r.width(), r.height());
    };
    m.addMethod(cls, QStringLiteral("getBounds"), bounds, 1);
    m.addMethod(cls, QStringLiteral("getRect"), bounds, 1);
    auto convert = [](bool toGlobal) {
        return [toGlobal](Machine& m, const Value& self, Args args) {
            double x = 0, y = 0;
            if (!readPoint(m, arg(args, 0), x, y))
                m.throwError(ErrorClass::TypeError, 2007, QStringLiteral("Parameter point must be non-null."));
            DisplayObject* d = displayIn(self);
            if (!d)
                return makePoint(m, x, y);
            QTransform t = worldTransform(*d);
            if (!toGlobal) {
                bool invertible = false;
                t = t.inverted(&invertible);
            }
            const QPointF p = t.map(QPointF(x * 20, y * 20));
            return makePoint(m, p.x() / 20, p.y() / 20);
        };
    };
    m.addMethod(cls, QStringLiteral("localToGlobal"), convert(true), 1);
    m.addMethod(cls, QStringLiteral("globalToLocal"), convert(false), 1);
    // With shapeFlag, the drawn areas; else the bounds on the stage.
    m.addMethod(cls, QStringLiteral("hitTestPoint"), [this](Machine& m, const Value& self, Args args) {
        DisplayObject* d = displayIn(self);
        const double x = m.toNumber(arg(args, 0)), y = m.toNumber(arg(args, 1));
        if (!d || !onStage(d))
            return Value::boolean(false);
        if (m.toBoolean(arg(args, 2)))
            return Value::boolean(hitsShape(*d, QPointF(x * 20, y * 20)));
        const QRectF r = boundsIn(*d, &m_stage.root());
        return Value::boolean(x >= r.left() && x <= r.right() && y >= r.top() && y <= r.bottom());
    }, 3);
    m.addMethod(cls, QStringLiteral("hitTestObject"), [this](Machine& m, const Value& self, Args args) {
        DisplayObject* a = displayIn(self);
        DisplayObject* b = displayIn(arg(args, 0));
        if (!b)
            m.throwError(ErrorClass::TypeError, 2007, QStringLiteral("Parameter obj must be non-null."));
        if (!a)
            return Value::boolean(false);
        const QRectF ra = boundsIn(*a, &m_stage.root());
        const QRectF rb = boundsIn(*b, &m_stage.root());
        return Value::boolean(ra.intersects(rb));
    }, 1);
    auto mouse = [this](bool horizontal) {
        return [this, horizontal](Machine&, const Value& self, Args) {
            DisplayObject* d = displayIn(self);
            if (!d)
                return Value::number(0);
            bool invertible = false;
            const QPointF p = worldTransform(*d).inverted(&invertible).map(QPointF(0, 0));
            return Value::number(std::round(horizontal ? p.x() : p.y()) / 20);
        };
    };
    m.addGetter(cls, QStringLiteral("mouseX"), mouse(true));
    m.addGetter(cls, QStringLiteral("mouseY"), mouse(false));
    // What the renderer does not use from scripts yet is still kept and read back.
    const std::pair<const char*, Value> kept[] = { { "blendMode", Value::string(QStringLiteral("normal")) },
        { "cacheAsBitmap", Value::boolean(false) }, { "scrollRect", Value::null() }, { "opaqueBackground", Value::null() },
        { "z", Value::number(0) }, { "scaleZ", Value::number(1) }, { "rotationX", Value::number(0) },
        { "rotationY", Value::number(0) }, { "rotationZ", Value::number(0) }, { "accessibilityProperties", Value::null() },
        { "scale9Grid", Value::null() } };
    for (const auto& [name, initial] : kept) {
        const QString key = QLatin1Char(' ') + QLatin1String(name);
        const Value fallback = initial;
        m.addGetter(cls, QLatin1String(name),
            [key, fallback](Machine&, const Value& self, Args) { return hiddenGet(self.object(), key, fallback); },
            [key](Machine&, const Value& self, Args args) {
                if (Object* o = self.object())
                    hiddenSet(o, key, arg(args, 0));
                return Value::undefined();
            });
    }
    m.addGetter(cls, QStringLiteral("filters"),
        [](Machine& m, const Value& self, Args) {
            Value v = hiddenGet(self.object(), QStringLiteral(" filters"), Value::undefined());
            if (v.isObject() && v.o->type() == Object::Type::Array)
                return Value::object(m.newArray(v.o->elements));
            return Value::object(m.newArray());
        },
        [](Machine& m, const Value& self, Args args) {
            Value v = arg(args, 0);
            if (Object* o = self.object())
                hiddenSet(o, QStringLiteral(" filters"), v.isObject() && v.o->type() == Object::Type::Array
                        ? Value::object(m.newArray(v.o->elements)) : Value::null());
            return Value::undefined();
        });
}

} // namespace swf::avm2
