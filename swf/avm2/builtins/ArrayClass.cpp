// Array: a dense list of values with the usual methods.

#include "swf/avm2/vm/Machine.h"

#include <algorithm>
#include <cmath>

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

constexpr double MaxLength = double(1u << 24); // more than this is refused rather than allocated

enum SortFlag { CaseInsensitive = 1, Descending = 2, UniqueSort = 4, ReturnIndexedArray = 8, Numeric = 16 };

Object* self(Machine& m, const Value& v)
{
    Object* o = m.toObject(v);
    if (o->type() != Object::Type::Array)
        m.throwError(ErrorClass::TypeError, 1034, QStringLiteral("Type Coercion failed: cannot convert %1 to Array.").arg(m.typeName(v)));
    return o;
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

QString join(Machine& m, Object* array, const QString& separator)
{
    QString out;
    for (std::size_t i = 0; i < array->elements.size(); ++i) {
        if (i)
            out += separator;
        const Value& v = array->elements[i];
        if (!v.isNullish())
            out += m.toString(v);
    }
    return out;
}

} // namespace

void installArrayClass(Machine& m)
{
    auto& b = m.builtins();
    auto make = [](Machine& m, const Value&, Args args) {
        if (args.size() == 1 && args[0].isNumber()) {
            double n = args[0].d;
            if (n < 0 || n != std::trunc(n) || n > 4294967295.0)
                m.throwError(ErrorClass::RangeError, 1005, QStringLiteral("Array index is not a positive integer (%1).").arg(numberToString(n)));
            if (n > MaxLength)
                m.throwError(ErrorClass::RangeError, 1000, QStringLiteral("The system is out of memory."));
            return Value::object(m.newArray(std::vector<Value>(std::size_t(n), Value::hole())));
        }
        return Value::object(m.newArray(std::vector<Value>(args.begin(), args.end())));
    };
    b.array = m.defineClass(QString(), QStringLiteral("Array"), b.object, InstanceKind::Array,
        [make](Machine& m, const Value& thisValue, Args args) {
            // The instance exists already: fill it as the constructor's arguments say.
            Value made = make(m, Value::undefined(), args);
            thisValue.o->elements = std::move(made.o->elements);
            return Value::undefined();
        });
    b.array->callAsFunction = make;
    for (auto [name, value] : { std::pair { "CASEINSENSITIVE", 1 }, { "DESCENDING", 2 }, { "UNIQUESORT", 4 },
             { "RETURNINDEXEDARRAY", 8 }, { "NUMERIC", 16 } })
        m.addStaticConst(b.array, QLatin1String(name), Value::number(value));

    m.addGetter(b.array, QStringLiteral("length"),
        [](Machine& m, const Value& v, Args) { return Value::number(double(self(m, v)->elements.size())); },
        [](Machine& m, const Value& v, Args args) {
            double n = m.toNumber(arg(args, 0));
            if (n < 0 || n != std::trunc(n) || n > MaxLength)
                m.throwError(ErrorClass::RangeError, 1005, QStringLiteral("Array index is not a positive integer (%1).").arg(numberToString(n)));
            Object* a = self(m, v);
            if (std::size_t(n) > a->elements.size())
                m.chargeMemory((std::size_t(n) - a->elements.size()) * sizeof(Value));
            a->elements.resize(std::size_t(n), Value::hole());
            return Value::undefined();
        });
    m.addPrototypeMethod(b.array, QStringLiteral("push"), [](Machine& m, const Value& v, Args args) {
        Object* a = self(m, v);
        m.chargeMemory(args.size() * sizeof(Value));
        a->elements.insert(a->elements.end(), args.begin(), args.end());
        return Value::number(double(a->elements.size()));
    }, 1);
    m.addPrototypeMethod(b.array, QStringLiteral("pop"), [](Machine& m, const Value& v, Args) {
        Object* a = self(m, v);
        if (a->elements.empty())
            return Value::undefined();
        Value last = a->elements.back();
        a->elements.pop_back();
        return last;
    });
    m.addPrototypeMethod(b.array, QStringLiteral("shift"), [](Machine& m, const Value& v, Args) {
        Object* a = self(m, v);
        if (a->elements.empty())
            return Value::undefined();
        Value first = a->elements.front();
        a->elements.erase(a->elements.begin());
        return first;
    });
    m.addPrototypeMethod(b.array, QStringLiteral("unshift"), [](Machine& m, const Value& v, Args args) {
        Object* a = self(m, v);
        m.chargeMemory(args.size() * sizeof(Value));
        a->elements.insert(a->elements.begin(), args.begin(), args.end());
        return Value::number(double(a->elements.size()));
    }, 1);
    m.addPrototypeMethod(b.array, QStringLiteral("join"), [](Machine& m, const Value& v, Args args) {
        QString separator = arg(args, 0).isUndefined() ? QStringLiteral(",") : m.toString(args[0]);
        return Value::string(join(m, self(m, v), separator));
    }, 1);
    auto toString = [](Machine& m, const Value& v, Args) { return Value::string(join(m, self(m, v), QStringLiteral(","))); };
    m.addPrototypeMethod(b.array, QStringLiteral("toString"), toString);
    m.addPrototypeMethod(b.array, QStringLiteral("toLocaleString"), toString);
    m.addPrototypeMethod(b.array, QStringLiteral("slice"), [](Machine& m, const Value& v, Args args) {
        Object* a = self(m, v);
        int length = int(a->elements.size());
        int from = relative(m, arg(args, 0), length, 0);
        int to = relative(m, arg(args, 1), length, length);
        std::vector<Value> out;
        if (to > from)
            out.assign(a->elements.begin() + from, a->elements.begin() + to);
        return Value::object(m.newArray(std::move(out)));
    }, 2);
    m.addPrototypeMethod(b.array, QStringLiteral("splice"), [](Machine& m, const Value& v, Args args) {
        Object* a = self(m, v);
        int length = int(a->elements.size());
        if (args.empty())
            return Value::undefined();
        int from = relative(m, args[0], length, 0);
        // A count that is no number removes nothing (NaN would make the clamp meaningless).
        const double wanted = args.size() > 1 ? std::trunc(m.toNumber(args[1])) : double(length - from);
        const int count = std::isnan(wanted) ? 0 : int(std::clamp<double>(wanted, 0, length - from));
        std::vector<Value> removed(a->elements.begin() + from, a->elements.begin() + from + count);
        a->elements.erase(a->elements.begin() + from, a->elements.begin() + from + count);
        if (args.size() > 2)
            a->elements.insert(a->elements.begin() + from, args.begin() + 2, args.end());
        return Value::object(m.newArray(std::move(removed)));
    }, 2);
    m.addPrototypeMethod(b.array, QStringLiteral("concat"), [](Machine& m, const Value& v, Args args) {
        std::vector<Value> out = self(m, v)->elements;
        for (const Value& x : args) {
            if (x.isObject() && x.o->type() == Object::Type::Array)
                out.insert(out.end(), x.o->elements.begin(), x.o->elements.end());
            else
                out.push_back(x);
        }
        return Value::object(m.newArray(std::move(out)));
    }, 1);
    m.addPrototypeMethod(b.array, QStringLiteral("insertAt"), [](Machine& m, const Value& v, Args args) {
        Object* a = self(m, v);
        int at = relative(m, arg(args, 0), int(a->elements.size()), 0);
        a->elements.insert(a->elements.begin() + at, arg(args, 1));
        return Value::undefined();
    }, 2);
    // An index past either end removes nothing; a negative one counts from the end.
    m.addPrototypeMethod(b.array, QStringLiteral("removeAt"), [](Machine& m, const Value& v, Args args) {
        Object* a = self(m, v);
        int length = int(a->elements.size());
        int at = relative(m, arg(args, 0), length, 0);
        if (at >= length)
            return Value::undefined();
        Value out = a->elements[std::size_t(at)];
        a->elements.erase(a->elements.begin() + at);
        return out;
    }, 1);
    m.addPrototypeMethod(b.array, QStringLiteral("reverse"), [](Machine& m, const Value& v, Args) {
        Object* a = self(m, v);
        std::reverse(a->elements.begin(), a->elements.end());
        return v;
    });
    m.addPrototypeMethod(b.array, QStringLiteral("indexOf"), [](Machine& m, const Value& v, Args args) {
        Object* a = self(m, v);
        int from = relative(m, arg(args, 1), int(a->elements.size()), 0);
        for (std::size_t i = std::size_t(from); i < a->elements.size(); ++i) {
            if (m.strictEquals(a->elements[i], arg(args, 0)))
                return Value::number(double(i));
        }
        return Value::number(-1);
    }, 1);
    m.addPrototypeMethod(b.array, QStringLiteral("lastIndexOf"), [](Machine& m, const Value& v, Args args) {
        Object* a = self(m, v);
        for (std::size_t i = a->elements.size(); i-- > 0;) {
            if (m.strictEquals(a->elements[i], arg(args, 0)))
                return Value::number(double(i));
        }
        return Value::number(-1);
    }, 1);
    m.addPrototypeMethod(b.array, QStringLiteral("sort"), [](Machine& m, const Value& v, Args args) {
        Object* a = self(m, v);
        Value compare;
        int flags = 0;
        for (const Value& x : args) {
            if (x.isObject() && x.o->type() == Object::Type::Function)
                compare = x;
            else if (x.isNumber())
                flags = int(x.d);
        }
        std::vector<std::size_t> order(a->elements.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        auto less = [&](std::size_t i, std::size_t j) {
            const Value& x = a->elements[i];
            const Value& y = a->elements[j];
            bool result;
            if (compare.isObject()) {
                Value pair[] = { x, y };
                result = m.toNumber(m.call(compare, Value::null(), pair)) < 0;
            } else if (flags & Numeric) {
                result = m.toNumber(x) < m.toNumber(y);
            } else {
                // Undefined sorts last; everything else as text.
                if (x.isUndefined() || y.isUndefined())
                    return !x.isUndefined() && y.isUndefined();
                QString sx = m.toString(x), sy = m.toString(y);
                result = (flags & CaseInsensitive) ? sx.compare(sy, Qt::CaseInsensitive) < 0 : sx < sy;
            }
            return result;
        };
        std::stable_sort(order.begin(), order.end(), [&](std::size_t i, std::size_t j) {
            return (flags & Descending) ? less(j, i) : less(i, j);
        });
        if (flags & ReturnIndexedArray) {
            std::vector<Value> indexes;
            for (std::size_t i : order)
                indexes.push_back(Value::number(double(i)));
            return Value::object(m.newArray(std::move(indexes)));
        }
        std::vector<Value> sorted;
        for (std::size_t i : order)
            sorted.push_back(a->elements[i]);
        a->elements = std::move(sorted);
        return v;
    });
    // The callback methods: forEach, map, filter, some, every.
    enum class Walk { ForEach, Map, Filter, Some, Every };
    for (auto [name, walk] : { std::pair { "forEach", Walk::ForEach }, { "map", Walk::Map }, { "filter", Walk::Filter },
             { "some", Walk::Some }, { "every", Walk::Every } }) {
        Walk w = walk;
        m.addPrototypeMethod(b.array, QLatin1String(name), [w](Machine& m, const Value& v, Args args) {
            Object* a = self(m, v);
            Value fn = arg(args, 0);
            Value receiver = arg(args, 1);
            std::vector<Value> out;
            for (std::size_t i = 0; i < a->elements.size(); ++i) {
                Value element = a->elements[i];
                Value callArgs[] = { element, Value::number(double(i)), v };
                Value result = m.call(fn, receiver, callArgs);
                switch (w) {
                case Walk::ForEach: break;
                case Walk::Map: out.push_back(result); break;
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
            return Value::object(m.newArray(std::move(out)));
        }, 1);
    }
}

} // namespace swf::avm2
