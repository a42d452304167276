// Vector.<T>: a dense list whose elements are held as T, made per element type
// from the one generic class. Its length may be fixed; reading or writing past
// the end is a RangeError, not a new element.

#include "swf/avm2/vm/Machine.h"

#include <algorithm>
#include <cmath>

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

constexpr double MaxLength = double(1u << 24); // more than this is refused rather than allocated

Object* self(Machine& m, const Value& v)
{
    Object* o = v.object();
    if (!o || o->type() != Object::Type::Vector)
        m.throwError(ErrorClass::TypeError, 1034, QStringLiteral("Type Coercion failed: cannot convert %1 to __AS3__.vec.Vector.").arg(m.typeName(v)));
    return o;
}

ClassObject* elementOf(Object* vector) { return vector->classObject() ? vector->classObject()->elementType : nullptr; }

Value defaultFor(Machine& m, ClassObject* element)
{
    auto& b = m.builtins();
    if (element == b.intClass || element == b.uintClass)
        return Value::number(0);
    if (element == b.number)
        return Value::number(std::numeric_limits<double>::quiet_NaN());
    if (element == b.boolean)
        return Value::boolean(false);
    return element ? Value::null() : Value::undefined();
}

Value hold(Machine& m, Object* vector, const Value& v)
{
    ClassObject* element = elementOf(vector);
    return element ? m.coerce(v, element) : v;
}

void checkResizable(Machine& m, Object* vector)
{
    if (vector->fixed)
        m.throwError(ErrorClass::RangeError, 1126, QStringLiteral("Cannot change the length of a fixed Vector."));
}

int relative(Machine& m, const Value& v, int length, int fallback)
{
    if (v.isUndefined())
        return fallback;
    double d = std::trunc(m.toNumber(v));
    if (std::isnan(d))
        return 0;
    if (d < 0)
        return int(std::max(0.0, length + d));
    return int(std::min<double>(d, length));
}

// An index named by text: an integral number, which may be out of range.
bool indexName(const QString& name, double& index)
{
    if (name.isEmpty())
        return false;
    const QChar first = name[0];
    if (!(first.isDigit() || first == QLatin1Char('-')))
        return false;
    bool ok = false;
    index = name.toDouble(&ok);
    return ok;
}

void rangeError(Machine& m, double index, std::size_t length)
{
    m.throwError(ErrorClass::RangeError, 1125, QStringLiteral("The index %1 is out of range %2.").arg(numberToString(index)).arg(length));
}

} // namespace

ClassObject* Machine::applyVectorType(ClassObject* generic, ClassObject* element)
{
    if (auto it = generic->specialisations.constFind(element); it != generic->specialisations.constEnd())
        return it.value();
    const QString param = element ? element->qualifiedName() : QStringLiteral("*");
    ClassObject* base = m_builtins.object;
    auto cls = allocate<ClassObject>(m_builtins.cls, m_builtins.cls->instancePrototype, generic->traitsPointer());
    cls->name = QStringLiteral("Vector.<%1>").arg(param);
    cls->packageName = generic->packageName;
    cls->base = base;
    cls->instanceKind = InstanceKind::Vector;
    cls->sealed = true;
    cls->isVector = true;
    cls->elementType = element;
    cls->instanceTraits = generic->instanceTraits;
    cls->instancePrototype = generic->instancePrototype;
    cls->constructor = generic->constructor;
    cls->callAsFunction = [cls](Machine& m, const Value&, Args args) {
        Value source = arg(args, 0);
        if (source.isObject() && source.o->classObject() == cls)
            return source;
        Object* from = source.object();
        if (!from || (from->type() != Object::Type::Array && from->type() != Object::Type::Vector))
            m.throwError(ErrorClass::TypeError, 1034, QStringLiteral("Type Coercion failed: cannot convert %1 to %2.")
                .arg(m.toString(source), m.typeName(Value::object(cls)).chopped(1)));
        std::vector<Value> elements;
        for (const Value& v : from->elements)
            elements.push_back(cls->elementType ? m.coerce(v, cls->elementType) : v);
        return Value::object(m.newVector(cls, std::move(elements)));
    };
    cls->setDynamic(false);
    generic->specialisations.insert(element, cls);
    return cls;
}

Object* Machine::newVector(ClassObject* specialisation, std::vector<Value> elements)
{
    Object* v = instantiate(specialisation);
    v->elements = std::move(elements);
    return v;
}

bool Machine::vectorGet(Object* vector, const QString& name, Value& out)
{
    double index = 0;
    if (!indexName(name, index))
        return false;
    if (!(index >= 0 && index < double(vector->elements.size()) && index == std::trunc(index)))
        rangeError(*this, index, vector->elements.size());
    out = vector->elements[std::size_t(index)];
    return true;
}

bool Machine::vectorSet(Object* vector, const QString& name, const Value& value)
{
    double index = 0;
    if (!indexName(name, index))
        return false;
    const std::size_t length = vector->elements.size();
    if (index == double(length) && !vector->fixed && index < MaxLength) {
        chargeMemory(sizeof(Value));
        vector->elements.push_back(hold(*this, vector, value));
        return true;
    }
    if (!(index >= 0 && index < double(length) && index == std::trunc(index)))
        rangeError(*this, index, length);
    vector->elements[std::size_t(index)] = hold(*this, vector, value);
    return true;
}

void installVectorClass(Machine& m)
{
    auto& b = m.builtins();
    b.vector = m.defineClass(QStringLiteral("__AS3__.vec"), QStringLiteral("Vector"), b.object, InstanceKind::Vector,
        [](Machine& m, const Value& self, Args args) {
            Object* v = self.object();
            double n = args.empty() ? 0 : m.toNumber(args[0]);
            if (n < 0 || n != std::trunc(n) || n > MaxLength)
                m.throwError(ErrorClass::RangeError, 1005, QStringLiteral("Array index is not a positive integer (%1).").arg(numberToString(n)));
            v->elements.assign(std::size_t(n), defaultFor(m, elementOf(v)));
            v->fixed = args.size() > 1 && m.toBoolean(args[1]);
            return Value::undefined();
        });
    b.vector->isVectorGeneric = true;
    b.vector->sealed = true;

    m.addGetter(b.vector, QStringLiteral("length"),
        [](Machine& m, const Value& v, Args) { return Value::number(double(self(m, v)->elements.size())); },
        [](Machine& m, const Value& v, Args args) {
            Object* o = self(m, v);
            checkResizable(m, o);
            double n = m.toNumber(arg(args, 0));
            if (n < 0 || n != std::trunc(n) || n > MaxLength)
                m.throwError(ErrorClass::RangeError, 1005, QStringLiteral("Array index is not a positive integer (%1).").arg(numberToString(n)));
            if (std::size_t(n) > o->elements.size())
                m.chargeMemory((std::size_t(n) - o->elements.size()) * sizeof(Value));
            o->elements.resize(std::size_t(n), defaultFor(m, elementOf(o)));
            return Value::undefined();
        });
    m.addGetter(b.vector, QStringLiteral("fixed"),
        [](Machine& m, const Value& v, Args) { return Value::boolean(self(m, v)->fixed); },
        [](Machine& m, const Value& v, Args args) {
            self(m, v)->fixed = m.toBoolean(arg(args, 0));
            return Value::undefined();
        });
    m.addPrototypeMethod(b.vector, QStringLiteral("push"), [](Machine& m, const Value& v, Args args) {
        Object* o = self(m, v);
        checkResizable(m, o);
        m.chargeMemory(args.size() * sizeof(Value));
        for (const Value& x : args)
            o->elements.push_back(hold(m, o, x));
        return Value::number(double(o->elements.size()));
    }, 1);
    m.addPrototypeMethod(b.vector, QStringLiteral("unshift"), [](Machine& m, const Value& v, Args args) {
        Object* o = self(m, v);
        checkResizable(m, o);
        std::vector<Value> held;
        for (const Value& x : args)
            held.push_back(hold(m, o, x));
        o->elements.insert(o->elements.begin(), held.begin(), held.end());
        return Value::number(double(o->elements.size()));
    }, 1);
    auto take = [](bool last) {
        return [last](Machine& m, const Value& v, Args) {
            Object* o = self(m, v);
            checkResizable(m, o);
            if (o->elements.empty()) {
                // The numeric vectors answer with their element type's zero.
                Value zero = defaultFor(m, elementOf(o));
                return zero.isNumber() ? zero : Value::undefined();
            }
            Value out = last ? o->elements.back() : o->elements.front();
            o->elements.erase(last ? o->elements.end() - 1 : o->elements.begin());
            return out;
        };
    };
    m.addPrototypeMethod(b.vector, QStringLiteral("pop"), take(true));
    m.addPrototypeMethod(b.vector, QStringLiteral("shift"), take(false));
    m.addPrototypeMethod(b.vector, QStringLiteral("insertAt"), [](Machine& m, const Value& v, Args args) {
        Object* o = self(m, v);
        checkResizable(m, o);
        int length = int(o->elements.size());
        int at = relative(m, arg(args, 0), length, 0);
        o->elements.insert(o->elements.begin() + at, hold(m, o, arg(args, 1)));
        return Value::undefined();
    }, 2);
    m.addPrototypeMethod(b.vector, QStringLiteral("removeAt"), [](Machine& m, const Value& v, Args args) {
        Object* o = self(m, v);
        checkResizable(m, o);
        double d = std::trunc(m.toNumber(arg(args, 0)));
        const double length = double(o->elements.size());
        double at = d < 0 ? std::max(0.0, length + d) : d;
        if (std::isnan(d) || at >= length)
            rangeError(m, d, o->elements.size());
        Value out = o->elements[std::size_t(at)];
        o->elements.erase(o->elements.begin() + std::ptrdiff_t(at));
        return out;
    }, 1);
    auto joinWith = [](Machine& m, Object* o, const QString& separator) {
        QString out;
        for (std::size_t i = 0; i < o->elements.size(); ++i) {
            if (i)
                out += separator;
            out += m.toString(o->elements[i]);
        }
        return out;
    };
    m.addPrototypeMethod(b.vector, QStringLiteral("join"), [joinWith](Machine& m, const Value& v, Args args) {
        QString separator = arg(args, 0).isUndefined() ? QStringLiteral(",") : m.toString(args[0]);
        return Value::string(joinWith(m, self(m, v), separator));
    }, 1);
    m.addPrototypeMethod(b.vector, QStringLiteral("toString"), [joinWith](Machine& m, const Value& v, Args) {
        return Value::string(joinWith(m, self(m, v), QStringLiteral(",")));
    });
    // Each element says itself through its own toLocaleString.
    m.addPrototypeMethod(b.vector, QStringLiteral("toLocaleString"), [](Machine& m, const Value& v, Args) {
        Object* o = self(m, v);
        QStringList parts;
        for (const Value& e : o->elements)
            parts << (e.isNullish() ? m.toString(e) : m.toString(m.callProperty(e, Name::publicName(QStringLiteral("toLocaleString")), {})));
        return Value::string(parts.join(QLatin1Char(',')));
    });
    m.addPrototypeMethod(b.vector, QStringLiteral("slice"), [](Machine& m, const Value& v, Args args) {
        Object* o = self(m, v);
        int length = int(o->elements.size());
        int from = relative(m, arg(args, 0), length, 0);
        int to = relative(m, arg(args, 1), length, length);
        std::vector<Value> out;
        if (to > from)
            out.assign(o->elements.begin() + from, o->elements.begin() + to);
        return Value::object(m.newVector(o->classObject(), std::move(out)));
    }, 2);
    m.addPrototypeMethod(b.vector, QStringLiteral("splice"), [](Machine& m, const Value& v, Args args) {
        Object* o = self(m, v);
        int length = int(o->elements.size());
        int from = relative(m, arg(args, 0), length, 0);
        const double wanted = args.size() > 1 ? std::trunc(m.toNumber(args[1])) : double(length - from);
        const int count = std::isnan(wanted) ? 0 : int(std::clamp<double>(wanted, 0, length - from));
        if (o->fixed && (count != 0 || args.size() > 2) && std::size_t(count) != (args.size() > 2 ? args.size() - 2 : 0))
            checkResizable(m, o);
        std::vector<Value> removed(o->elements.begin() + from, o->elements.begin() + from + count);
        o->elements.erase(o->elements.begin() + from, o->elements.begin() + from + count);
        std::vector<Value> added;
        for (std::size_t i = 2; i < args.size(); ++i)
            added.push_back(hold(m, o, args[i]));
        o->elements.insert(o->elements.begin() + from, added.begin(), added.end());
        return Value::object(m.newVector(o->classObject(), std::move(removed)));
    }, 2);
    m.addPrototypeMethod(b.vector, QStringLiteral("concat"), [](Machine& m, const Value& v, Args args) {
        Object* o = self(m, v);
        std::vector<Value> out = o->elements;
        for (const Value& x : args) {
            Object* other = x.object();
            if (!other || other->type() != Object::Type::Vector)
                m.throwError(ErrorClass::TypeError, 1034, QStringLiteral("Type Coercion failed: cannot convert %1 to %2.")
                    .arg(m.toString(x), m.typeName(Value::object(o->classObject())).chopped(1)));
            for (const Value& e : other->elements)
                out.push_back(hold(m, o, e));
        }
        return Value::object(m.newVector(o->classObject(), std::move(out)));
    }, 1);
    m.addPrototypeMethod(b.vector, QStringLiteral("reverse"), [](Machine& m, const Value& v, Args) {
        Object* o = self(m, v);
        std::reverse(o->elements.begin(), o->elements.end());
        return v;
    });
    m.addPrototypeMethod(b.vector, QStringLiteral("indexOf"), [](Machine& m, const Value& v, Args args) {
        Object* o = self(m, v);
        int from = relative(m, arg(args, 1), int(o->elements.size()), 0);
        for (std::size_t i = std::size_t(from); i < o->elements.size(); ++i) {
            if (m.strictEquals(o->elements[i], arg(args, 0)))
                return Value::number(double(i));
        }
        return Value::number(-1);
    }, 1);
    m.addPrototypeMethod(b.vector, QStringLiteral("lastIndexOf"), [](Machine& m, const Value& v, Args args) {
        Object* o = self(m, v);
        int length = int(o->elements.size());
        int from = args.size() > 1 ? relative(m, args[1], length, length - 1) : length - 1;
        for (int i = std::min(from, length - 1); i >= 0; --i) {
            if (m.strictEquals(o->elements[std::size_t(i)], arg(args, 0)))
                return Value::number(double(i));
        }
        return Value::number(-1);
    }, 1);
    m.addPrototypeMethod(b.vector, QStringLiteral("sort"), [](Machine& m, const Value& v, Args args) {
        Object* o = self(m, v);
        Value how = arg(args, 0);
        std::vector<Value> sorted = o->elements;
        if (how.isObject() && how.o->type() == Object::Type::Function) {
            std::stable_sort(sorted.begin(), sorted.end(), [&](const Value& x, const Value& y) {
                Value pair[] = { x, y };
                return m.toNumber(m.call(how, Value::null(), pair)) < 0;
            });
        } else {
            const int flags = how.isNumber() ? int(how.d) : 0;
            std::stable_sort(sorted.begin(), sorted.end(), [&](const Value& x, const Value& y) {
                bool less;
                if (flags & 16) {
                    less = (flags & 2) ? m.toNumber(y) < m.toNumber(x) : m.toNumber(x) < m.toNumber(y);
                } else {
                    QString sx = m.toString(x), sy = m.toString(y);
                    int c = (flags & 1) ? sx.compare(sy, Qt::CaseInsensitive) : sx.compare(sy);
                    less = (flags & 2) ? c > 0 : c < 0;
                }
                return less;
            });
        }
        o->elements = std::move(sorted);
        return v;
    }, 1);
    enum class Walk { ForEach, Map, Filter, Some, Every };
    for (auto [name, walk] : { std::pair { "forEach", Walk::ForEach }, { "map", Walk::Map }, { "filter", Walk::Filter },
             { "some", Walk::Some }, { "every", Walk::Every } }) {
        Walk w = walk;
        m.addPrototypeMethod(b.vector, QLatin1String(name), [w](Machine& m, const Value& v, Args args) {
            Object* o = self(m, v);
            Value fn = arg(args, 0);
            Value receiver = arg(args, 1);
            std::vector<Value> out;
            for (std::size_t i = 0; i < o->elements.size(); ++i) {
                Value element = o->elements[i];
                Value callArgs[] = { element, Value::number(double(i)), v };
                Value result = m.call(fn, receiver, callArgs);
                switch (w) {
                case Walk::ForEach: break;
                case Walk::Map: out.push_back(hold(m, o, result)); break;
                case Walk::Filter: if (m.toBoolean(result)) out.push_back(element); break;
                case Walk::Some: if (m.toBoolean(result)) return Value::boolean(true); break;
                case Walk::Every: if (!m.toBoolean(result)) return Value::boolean(false); break;
                }
            }
            if (w == Walk::Some)
                return Value::boolean(false);
            if (w == Walk::Every)
                return Value::boolean(true);
            if (w == Walk::ForEach)
                return Value::undefined();
            return Value::object(m.newVector(o->classObject(), std::move(out)));
        }, 1);
    }
}

} // namespace swf::avm2
