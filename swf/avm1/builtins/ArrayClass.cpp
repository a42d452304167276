// Array and its methods.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/builtins/PartitionSort.h"
#include "swf/avm1/vm/Interpreter.h"
#include "swf/avm1/vm/MemoryCharges.h"

#include <cmath>
#include <optional>

namespace swf::avm1 {

namespace {

enum SortFlag : int { CaseInsensitive = 1, Descending = 2, UniqueSort = 4, ReturnIndexedArray = 8, Numeric = 16 };

ArrayObject* arrayOf(const CallArgs& a)
{
    Object* o = a.thisObject();
    return o && o->kind() == Object::Kind::Array ? static_cast<ArrayObject*>(o) : nullptr;
}

// Element attributes follow their elements when methods move them.
void eraseBits(ArrayObject* arr, size_t first, size_t count)
{
    auto& bits = arr->elementBits;
    if (bits.size() > first)
        bits.erase(bits.begin() + qsizetype(first), bits.begin() + qsizetype(std::min(bits.size(), first + count)));
}

void insertBits(ArrayObject* arr, size_t pos, size_t count)
{
    auto& bits = arr->elementBits;
    if (bits.size() > pos)
        bits.insert(bits.begin() + qsizetype(pos), count, uint8_t(0));
}

double relativeIndex(Interpreter& vm, const Value& v, double length, double fallback)
{
    if (v.isUndefined())
        return fallback;
    double i = toIntegerValue(vm.toNumber(v));
    if (i < 0)
        i = std::max(length + i, 0.0);
    return std::min(i, length);
}

int compareValues(Interpreter& vm, const Value& a, const Value& b, int flags)
{
    int r;
    if (flags & Numeric && a.isNumber() && b.isNumber()) {
        double x = a.asNumber(), y = b.asNumber();
        r = x < y ? -1 : x > y ? 1 : 0;
    } else {
        QString x = vm.toString(a), y = vm.toString(b);
        if (flags & CaseInsensitive)
            r = x.compare(y, Qt::CaseInsensitive);
        else
            r = x.compare(y);
        r = r < 0 ? -1 : r > 0 ? 1 : 0;
    }
    return flags & Descending ? -r : r;
}

// Sorts the indices of `items` (the elements as they were when the sort
// began) and applies the result per the flags. A comparison function or a
// getter may have resized the array meanwhile, so the result is built from
// `items`, and only the places whose element moved are written back: what a
// comparison function added past the end stays, and a place that kept its
// element keeps whatever the script left there.
Value finishSort(Interpreter& vm, ArrayObject* arr, const std::vector<Value>& items, std::vector<size_t>& idx,
    const std::function<int(size_t, size_t)>& cmp, int flags, const std::function<bool(size_t, size_t)>& same)
{
    partitionSort(idx, cmp);
    if (flags & UniqueSort) {
        // Equal neighbours in the sorted order, by the plain comparison: a
        // script comparison function is not asked again.
        for (size_t i = 1; i < idx.size(); ++i)
            if (same(idx[i - 1], idx[i]))
                return Value(0.0);
    }
    if (flags & ReturnIndexedArray) {
        ArrayObject* out = vm.newArray();
        for (size_t i : idx)
            out->elements.push_back(Value(double(i)));
        return Value(static_cast<Object*>(out));
    }
    for (size_t i = 0; i < idx.size(); ++i) {
        if (idx[i] == i)
            continue;
        if (arr->elements.size() <= i)
            arr->elements.resize(i + 1);
        arr->elements[i] = items[idx[i]];
        arr->setBitsAt(i, 0);
    }
    return Value(static_cast<Object*>(arr));
}

QString join(Interpreter& vm, const std::vector<Value>& elements, const QString& sep, int depth)
{
    QString out;
    for (size_t i = 0; i < elements.size(); ++i) {
        if (i)
            out += sep;
        const Value& v = elements[i];
        if (Object* o = v.asObject(); o && o->kind() == Object::Kind::Array) {
            // Nested arrays join with commas; a cycle stops at a bounded depth.
            if (depth < 64) {
                const QString inner = join(vm, static_cast<ArrayObject*>(o)->elements, QStringLiteral(","), depth + 1);
                vm.chargeBuilding(size_t(out.size()) * sizeof(QChar), size_t(inner.size()) * sizeof(QChar));
                out += inner;
            }
            continue;
        }
        const QString piece = vm.toString(v);
        vm.chargeBuilding(size_t(out.size()) * sizeof(QChar), size_t(piece.size() + sep.size()) * sizeof(QChar));
        out += piece;
    }
    return out;
}

// The methods also work on an object that is not an array, through its
// `length` and its members named by index, as the player's do: only push
// and splice write the length back; pop, shift and unshift move or remove
// members and leave it.
struct Generic {
    Interpreter& vm;
    Object* o;

    size_t length() const
    {
        const double n = toIntegerValue(vm.toNumber(vm.getMember(Value(o), QStringLiteral("length"))));
        return n <= 0 ? 0 : size_t(std::min(n, double(ArrayObject::MaxLength)));
    }
    Value at(size_t i) const { return vm.getMember(Value(o), QString::number(i)); }
    void put(size_t i, const Value& v) const { vm.setMember(Value(o), QString::number(i), v); }
    void remove(size_t i) const { vm.deleteMember(o, QString::number(i)); }
    void setLength(size_t n) const { vm.setMember(Value(o), QStringLiteral("length"), Value(double(n))); }
    // The first `n` members, charged as an array of that many.
    std::vector<Value> elements(size_t n) const
    {
        vm.chargeValues(n);
        std::vector<Value> out;
        out.reserve(n);
        for (size_t i = 0; i < n; ++i)
            out.push_back(at(i));
        return out;
    }
};

std::optional<Generic> genericOf(Interpreter& vm, const CallArgs& a)
{
    Object* o = a.thisObject();
    if (!o || o->kind() == Object::Kind::Array)
        return std::nullopt;
    return Generic { vm, o };
}

} // namespace

static Value arrayConstructor(Interpreter& vm, CallArgs& a)
{
    // Called with or without `new`, Array builds a fresh array; called as a
    // function, it inherits from _global.Array.prototype as a literal does,
    // whatever that is now.
    ArrayObject* arr = vm.newArray();
    if (!a.constructing)
        arr->setProto(vm.currentArrayPrototype());
    if (a.args.size() == 1 && a.args[0].isNumber()) {
        // A lone number is a length: its fraction is dropped and a negative
        // or NaN length leaves the array empty.
        double n = a.args[0].asNumber();
        n = std::isnan(n) || n < 0 ? 0.0 : std::trunc(n);
        vm.chargeValues(size_t(std::min(n, double(ArrayObject::MaxLength))));
        arr->setLength(n);
    } else {
        arr->elements = a.args;
    }
    return Value(static_cast<Object*>(arr));

}

static Value arrayPush(Interpreter& vm, CallArgs& a)
{
    ArrayObject* arr = arrayOf(a);
    if (!arr) {
        auto g = genericOf(vm, a);
        if (!g)
            return Value();
        const size_t n = g->length();
        for (size_t i = 0; i < a.args.size() && n + i < ArrayObject::MaxLength; ++i)
            g->put(n + i, a.args[i]);
        const size_t total = std::min(n + a.args.size(), ArrayObject::MaxLength);
        g->setLength(total);
        return Value(double(total));
    }
    size_t from = 0;
    if (double length = arr->negativeLength(); length < 0) {
        // Below a length set under zero, pushed values take the negative
        // indices up to zero, each moving the length up by one.
        for (; from < a.args.size() && length < 0; ++from, ++length)
            vm.setMember(a.thisValue, QString::number(length), a.args[from]);
        if (length < 0)
            return Value(length);
    }
    chargeGrowth(vm, arr->elements, a.args.size() - from);
    for (size_t i = from; i < a.args.size(); ++i)
        if (arr->elements.size() < ArrayObject::MaxLength)
            arr->elements.push_back(a.args[i]);
    return Value(double(arr->elements.size()));
}

static Value arrayPop(Interpreter& vm, CallArgs& a)
{
    ArrayObject* arr = arrayOf(a);
    if (!arr) {
        auto g = genericOf(vm, a);
        const size_t n = g ? g->length() : 0;
        if (!n)
            return Value();
        Value v = g->at(n - 1);
        g->remove(n - 1);
        return v;
    }
    if (arr->elements.empty())
        return Value();
    Value v = arr->elements.back();
    arr->elements.pop_back();
    eraseBits(arr, arr->elements.size(), 1);
    return v;
}

static Value arrayShift(Interpreter& vm, CallArgs& a)
{
    ArrayObject* arr = arrayOf(a);
    if (!arr) {
        auto g = genericOf(vm, a);
        const size_t n = g ? g->length() : 0;
        if (!n)
            return Value();
        Value v = g->at(0);
        for (size_t i = 1; i < n; ++i)
            g->put(i - 1, g->at(i));
        return v;
    }
    if (arr->elements.empty())
        return Value();
    Value v = arr->elements.front();
    arr->elements.erase(arr->elements.begin());
    eraseBits(arr, 0, 1);
    return v;
}

static Value arrayUnshift(Interpreter& vm, CallArgs& a)
{
    ArrayObject* arr = arrayOf(a);
    if (!arr) {
        auto g = genericOf(vm, a);
        if (!g)
            return Value();
        const size_t n = g->length();
        const size_t k = a.args.size();
        if (n + k <= ArrayObject::MaxLength) {
            for (size_t i = n; i-- > 0;)
                g->put(i + k, g->at(i));
            for (size_t i = 0; i < k; ++i)
                g->put(i, a.args[i]);
        }
        return Value(double(g->length()));
    }
    chargeGrowth(vm, arr->elements, a.args.size());
    if (arr->elements.size() + a.args.size() <= ArrayObject::MaxLength) {
        arr->elements.insert(arr->elements.begin(), a.args.begin(), a.args.end());
        insertBits(arr, 0, a.args.size());
    }
    return Value(double(arr->elements.size()));
}

static Value arraySlice(Interpreter& vm, CallArgs& a)
{
    ArrayObject* arr = arrayOf(a);
    ArrayObject* out = vm.newArray();
    auto g = arr ? std::nullopt : genericOf(vm, a);
    if (!arr && !g)
        return Value(static_cast<Object*>(out));
    double len = double(arr ? arr->elements.size() : g->length());
    double start = relativeIndex(vm, a.arg(0), len, 0);
    double end = relativeIndex(vm, a.arg(1), len, len);
    if (end > start) {
        vm.chargeValues(size_t(end - start));
        out->elements.reserve(size_t(end - start)); // held as charged, not doubled
    }
    for (double i = start; i < end; ++i)
        out->elements.push_back(arr ? arr->elements[size_t(i)] : g->at(size_t(i)));
    return Value(static_cast<Object*>(out));
}

static Value arraySplice(Interpreter& vm, CallArgs& a)
{
    ArrayObject* arr = arrayOf(a);
    if (!arr) {
        // Done on a copy of the members, written back with the new length.
        auto g = genericOf(vm, a);
        if (!g || a.args.empty())
            return Value();
        const size_t n = g->length();
        ArrayObject* copy = vm.newArray();
        copy->elements = g->elements(n);
        CallArgs inner { Value(static_cast<Object*>(copy)), a.args };
        Value removed = arraySplice(vm, inner);
        for (size_t i = 0; i < copy->elements.size(); ++i)
            g->put(i, copy->elements[i]);
        for (size_t i = copy->elements.size(); i < n; ++i)
            g->remove(i);
        g->setLength(copy->elements.size());
        return removed;
    }
    if (a.args.empty())
        return Value();
    double len = double(arr->elements.size());
    double start = relativeIndex(vm, a.arg(0), len, 0);
    double count = a.args.size() < 2 ? len - start : std::clamp(toIntegerValue(vm.toNumber(a.arg(1))), 0.0, len - start);
    vm.chargeValues(size_t(count)); // the removed ones, in an array of their own
    chargeGrowth(vm, arr->elements, a.args.size() > 2 ? a.args.size() - 2 : 0);
    ArrayObject* removed = vm.newArray();
    auto first = arr->elements.begin() + qsizetype(start);
    removed->elements.assign(first, first + qsizetype(count));
    arr->elements.erase(first, first + qsizetype(count));
    eraseBits(arr, size_t(start), size_t(count));
    if (a.args.size() > 2 && arr->elements.size() + a.args.size() <= ArrayObject::MaxLength) {
        arr->elements.insert(arr->elements.begin() + qsizetype(start), a.args.begin() + 2, a.args.end());
        insertBits(arr, size_t(start), a.args.size() - 2);
    }
    return Value(static_cast<Object*>(removed));
}

static Value arrayConcat(Interpreter& vm, CallArgs& a)
{
    ArrayObject* arr = arrayOf(a);
    ArrayObject* out = vm.newArray();
    if (arr) {
        vm.chargeValues(arr->elements.size());
        out->elements = arr->elements;
    } else if (auto g = genericOf(vm, a)) {
        out->elements = g->elements(g->length());
    }
    for (const Value& v : a.args) {
        Object* o = v.asObject();
        if (o && o->kind() == Object::Kind::Array) {
            const auto& e = static_cast<ArrayObject*>(o)->elements;
            vm.chargeBuilding(out->elements.size() * sizeof(Value), e.size() * sizeof(Value));
            if (out->elements.size() + e.size() <= ArrayObject::MaxLength)
                out->elements.insert(out->elements.end(), e.begin(), e.end());
        } else if (out->elements.size() < ArrayObject::MaxLength) {
            out->elements.push_back(v);
        }
    }
    return Value(static_cast<Object*>(out));
}

static Value arrayJoin(Interpreter& vm, CallArgs& a)
{
    ArrayObject* arr = arrayOf(a);
    auto g = arr ? std::nullopt : genericOf(vm, a);
    if (!arr && !g)
        return Value();
    // Only a missing separator is a comma: undefined given as one joins
    // with its text.
    QString sep = a.args.empty() ? QStringLiteral(",") : vm.toString(a.arg(0));
    return Value(join(vm, arr ? arr->elements : g->elements(g->length()), sep, 0));
}

static Value arrayToString(Interpreter& vm, CallArgs& a)
{
    ArrayObject* arr = arrayOf(a);
    if (arr)
        return Value(join(vm, arr->elements, QStringLiteral(","), 0));
    auto g = genericOf(vm, a);
    return g ? Value(join(vm, g->elements(g->length()), QStringLiteral(","), 0)) : Value();
}

static Value arrayReverse(Interpreter& vm, CallArgs& a)
{
    ArrayObject* arr = arrayOf(a);
    if (!arr) {
        if (auto g = genericOf(vm, a)) {
            const size_t n = g->length();
            for (size_t i = 0; i < n / 2; ++i) {
                Value low = g->at(i);
                g->put(i, g->at(n - 1 - i));
                g->put(n - 1 - i, low);
            }
        }
        return a.thisValue;
    }
    if (arr) {
        std::reverse(arr->elements.begin(), arr->elements.end());
        if (!arr->elementBits.empty()) {
            arr->elementBits.resize(arr->elements.size(), 0);
            std::reverse(arr->elementBits.begin(), arr->elementBits.end());
        }
    }
    return a.thisValue;
}

static Value arraySort(Interpreter& vm, CallArgs& a)
{
    ArrayObject* arr = arrayOf(a);
    if (!arr) {
        // Sorted on a copy of the members, written back in place.
        auto g = genericOf(vm, a);
        if (!g)
            return Value();
        const size_t n = g->length();
        ArrayObject* copy = vm.newArray();
        copy->elements = g->elements(n);
        CallArgs inner { Value(static_cast<Object*>(copy)), a.args };
        Value result = arraySort(vm, inner);
        if (result.asObject() != copy)
            return result;
        for (size_t i = 0; i < n && i < copy->elements.size(); ++i)
            g->put(i, copy->elements[i]);
        return a.thisValue;
    }
    Value compare;
    int flags = 0;
    if (Object* f = a.arg(0).asObject(); f && f->kind() == Object::Kind::Function) {
        compare = a.arg(0);
        flags = clampToInt(vm.toNumber(a.arg(1)));
    } else if (a.arg(0).isString()) {
        // Text is neither a comparison function nor flags: nothing is sorted.
        return Value();
    } else if (!a.args.empty()) {
        flags = clampToInt(vm.toNumber(a.arg(0)));
    }
    std::vector<Value> items = arr->elements;
    std::vector<size_t> idx(items.size());
    for (size_t i = 0; i < idx.size(); ++i)
        idx[i] = i;
    std::function<int(size_t, size_t)> cmp;
    if (compare.isObject()) {
        cmp = [&](size_t x, size_t y) {
            double r = vm.toNumber(vm.call(compare, Value(), { items[x], items[y] }));
            int c = r < 0 ? -1 : r > 0 ? 1 : 0;
            return flags & Descending ? -c : c;
        };
    } else {
        // Undefined elements and holes sort by their text like any value:
        // "" before version 7, "undefined" from then on.
        cmp = [&](size_t x, size_t y) { return compareValues(vm, items[x], items[y], flags); };
    }
    return finishSort(vm, arr, items, idx, cmp, flags,
        [&](size_t x, size_t y) { return compareValues(vm, items[x], items[y], flags & ~Descending) == 0; });
}

static Value arraySortOn(Interpreter& vm, CallArgs& a)
{
    ArrayObject* arr = arrayOf(a);
    if (!arr || a.args.empty())
        return Value();
    QStringList fields;
    std::vector<int> fieldFlags;
    // Options given as an object are per-field flags: an array of exactly
    // one entry per field, or nothing at all; only a primitive applies to
    // every field.
    int flags = a.arg(1).isObject() ? 0 : clampToInt(vm.toNumber(a.arg(1)));
    if (Object* list = a.arg(0).asObject(); list && list->kind() == Object::Kind::Array) {
        for (const Value& v : static_cast<ArrayObject*>(list)->elements)
            fields.push_back(vm.toString(v));
        if (Object* fl = a.arg(1).asObject(); fl && fl->kind() == Object::Kind::Array
            && static_cast<ArrayObject*>(fl)->elements.size() == size_t(fields.size())) {
            for (const Value& v : static_cast<ArrayObject*>(fl)->elements)
                fieldFlags.push_back(clampToInt(vm.toNumber(v)));
        }
    } else {
        fields.push_back(vm.toString(a.arg(0)));
    }
    const std::vector<Value> items = arr->elements;
    std::vector<std::vector<Value>> keys(items.size());
    for (size_t i = 0; i < keys.size(); ++i)
        for (const QString& field : fields)
            keys[i].push_back(vm.getMember(items[i], field));
    std::vector<size_t> idx(keys.size());
    for (size_t i = 0; i < idx.size(); ++i)
        idx[i] = i;
    std::function<int(size_t, size_t)> cmp = [&](size_t x, size_t y) {
        for (size_t k = 0; k < size_t(fields.size()); ++k) {
            int f = k < fieldFlags.size() ? fieldFlags[k] : flags;
            int c = compareValues(vm, keys[x][k], keys[y][k], f);
            if (c)
                return c;
        }
        return 0;
    };
    return finishSort(vm, arr, items, idx, cmp, flags | (fieldFlags.empty() ? 0 : (fieldFlags[0] & (UniqueSort | ReturnIndexedArray))),
        [&](size_t x, size_t y) { return cmp(x, y) == 0; });
}

const NativeMethod arrayMethods[] = {
    { "push", arrayPush },
    { "pop", arrayPop },
    { "shift", arrayShift },
    { "unshift", arrayUnshift },
    { "slice", arraySlice },
    { "splice", arraySplice },
    { "concat", arrayConcat },
    { "join", arrayJoin },
    { "toString", arrayToString },
    { "reverse", arrayReverse },
    { "sort", arraySort },
    { "sortOn", arraySortOn },
};

void Builtins::installArray(Interpreter& vm)
{
    Object* ap = vm.make<ArrayObject>(vm.objectPrototype(), vm.caseSensitive());
    vm.setRealmSlot(&Realm::arrayPrototype, ap);
    auto* ctor = vm.newConstructor(QStringLiteral("Array"), arrayConstructor, ap);
    vm.global()->define(QStringLiteral("Array"), Value(static_cast<Object*>(ctor)), DontEnum);
    // The sort flags are plain numbers a movie may overwrite.
    const uint8_t constant = DontEnum | DontDelete;
    ctor->define(QStringLiteral("CASEINSENSITIVE"), Value(1.0), constant);
    ctor->define(QStringLiteral("DESCENDING"), Value(2.0), constant);
    ctor->define(QStringLiteral("UNIQUESORT"), Value(4.0), constant);
    ctor->define(QStringLiteral("RETURNINDEXEDARRAY"), Value(8.0), constant);
    ctor->define(QStringLiteral("NUMERIC"), Value(16.0), constant);

    vm.defineMethods(ap, arrayMethods);
}

} // namespace swf::avm1
