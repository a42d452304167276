// ByteArray.writeObject/readObject: script values in the two action message
// formats, AMF3 (the default) and the older AMF0, with the class aliases of
// flash.net.registerClassAlias naming typed objects.

#include "swf/avm2/builtins/AmfCodec.h"
#include "swf/avm2/builtins/ByteArrayClass.h"
#include "swf/avm2/vm/Machine.h"

#include <QHash>
#include <QtEndian>

#include <cmath>

namespace swf::avm2 {

namespace {

constexpr int MaxDepth = 256; // nesting a hostile or cyclic input may ask for

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

QHash<QString, ClassObject*>& aliases(Machine& m) { return m.classAliases; }

QString aliasOf(Machine& m, ClassObject* cls)
{
    const auto& table = aliases(m);
    for (auto it = table.constBegin(); it != table.constEnd(); ++it) {
        if (it.value() == cls)
            return it.key();
    }
    return QString();
}

bool isDate(Machine& m, const Value& v) { return v.isObject() && v.o->classObject() == m.builtins().date && v.o->host; }
double dateTime(const Value& v) { return *static_cast<const double*>(v.o->host.get()); }
bool isXml(Machine& m, const Value& v) { return v.isObject() && (v.o->classObject() == m.builtins().xml || v.o->classObject() == m.builtins().xmlList); }

// The public fields of a class instance that travel with it: variables and
// properties with both a getter and a setter.
std::vector<QString> sealedNames(const Object* o)
{
    std::vector<QString> names;
    if (!o->classObject() || o->classObject()->unit == nullptr)
        return names;
    for (const Binding& b : o->traits().bindings) {
        if (!b.ns.isPublic())
            continue;
        if (b.kind == Binding::Kind::Slot || b.kind == Binding::Kind::Const || (b.kind == Binding::Kind::Accessor && b.getter && b.setter))
            names.push_back(b.local);
    }
    return names;
}

// The leading run of an array without holes, and what comes after it.
std::size_t denseRun(const Object* a)
{
    std::size_t n = 0;
    while (n < a->elements.size() && !a->elements[n].isHole())
        ++n;
    return n;
}

class Amf3Writer {
public:
    Amf3Writer(Machine& m, QByteArray& out) : m_m(m), m_out(out) { }

    void value(const Value& v, int depth = 0)
    {
        if (depth > MaxDepth)
            m_m.throwError(ErrorClass::Error, 1023, QStringLiteral("Stack overflow occurred."));
        switch (v.kind) {
        case Value::Kind::Undefined: byte(0x00); return;
        case Value::Kind::Null: byte(0x01); return;
        case Value::Kind::Boolean: byte(v.b ? 0x03 : 0x02); return;
        case Value::Kind::Number:
            if (v.d == std::trunc(v.d) && v.d >= -268435456.0 && v.d <= 268435455.0 && !(v.d == 0 && std::signbit(v.d))) {
                byte(0x04);
                u29(std::uint32_t(std::int32_t(v.d)) & 0x1fffffff);
            } else {
                byte(0x05);
                dbl(v.d);
            }
            return;
        case Value::Kind::String: byte(0x06); string(v.s); return;
        case Value::Kind::Object: object(v, depth); return;
        }
    }
    // One member of a save: its name, its value and a zero byte.
    void member(const QString& name, const Value& v)
    {
        string(name);
        value(v);
        byte(0);
    }

private:
    void byte(int b) { m_out.append(char(b)); }
    void u29(std::uint32_t v)
    {
        v &= 0x1fffffff;
        if (v < 0x80) {
            byte(int(v));
        } else if (v < 0x4000) {
            byte(int(0x80 | (v >> 7))); byte(int(v & 0x7f));
        } else if (v < 0x200000) {
            byte(int(0x80 | (v >> 14))); byte(int(0x80 | ((v >> 7) & 0x7f))); byte(int(v & 0x7f));
        } else {
            byte(int(0x80 | (v >> 22))); byte(int(0x80 | ((v >> 15) & 0x7f))); byte(int(0x80 | ((v >> 8) & 0x7f))); byte(int(v & 0xff));
        }
    }
    void dbl(double d)
    {
        char b[8];
        qToBigEndian(d, b);
        m_out.append(b, 8);
    }
    // Strings after their first appearance are sent as references; "" never is.
    void string(const QString& s)
    {
        if (s.isEmpty()) {
            byte(0x01);
            return;
        }
        if (auto it = m_strings.constFind(s); it != m_strings.constEnd()) {
            u29(std::uint32_t(*it) << 1);
            return;
        }
        m_strings.insert(s, int(m_strings.size()));
        const QByteArray utf8 = s.toUtf8();
        u29(std::uint32_t(utf8.size()) << 1 | 1);
        m_out.append(utf8);
    }
    bool reference(Object* o)
    {
        if (auto it = m_objects.constFind(o); it != m_objects.constEnd()) {
            u29(std::uint32_t(*it) << 1);
            return true;
        }
        m_objects.insert(o, int(m_objects.size()));
        return false;
    }
    void object(const Value& v, int depth)
    {
        Object* o = v.o;
        const auto& b = m_m.builtins();
        if (o->type() == Object::Type::Function || o->type() == Object::Type::Class) {
            byte(0x00); // functions and classes do not travel
            return;
        }
        if (isXml(m_m, v)) {
            byte(0x0B);
            if (reference(o))
                return;
            const QByteArray text = m_m.toString(m_m.callProperty(v, Name::publicName(QStringLiteral("toXMLString")), {})).toUtf8();
            u29(std::uint32_t(text.size()) << 1 | 1);
            m_out.append(text);
            return;
        }
        if (isDate(m_m, v)) {
            byte(0x08);
            if (reference(o))
                return;
            u29(1);
            dbl(dateTime(v));
            return;
        }
        if (ByteArrayHost* bytes = byteArrayOf(o)) {
            byte(0x0C);
            if (reference(o))
                return;
            u29(std::uint32_t(bytes->data.size()) << 1 | 1);
            m_out.append(bytes->data);
            return;
        }
        if (o->type() == Object::Type::Array) {
            byte(0x09);
            if (reference(o))
                return;
            const std::size_t dense = denseRun(o);
            u29(std::uint32_t(dense) << 1 | 1);
            for (std::size_t i = dense; i < o->elements.size(); ++i) {
                if (o->elements[i].isHole())
                    continue;
                string(QString::number(i));
                value(o->elements[i], depth + 1);
            }
            dynamicPairs(o, depth);
            for (std::size_t i = 0; i < dense; ++i)
                value(o->elements[i], depth + 1);
            return;
        }
        if (o->type() == Object::Type::Vector) {
            vector(o, depth);
            return;
        }
        if (o->type() == Object::Type::Dictionary) {
            byte(0x11);
            if (reference(o))
                return;
            u29(std::uint32_t(o->keyedValues.size() + o->dynamicProperties().size()) << 1 | 1);
            byte(0x00);
            for (const auto& [key, val] : o->keyedValues) {
                value(Value::object(key), depth + 1);
                value(val, depth + 1);
            }
            for (const auto& [key, val] : o->dynamicProperties()) {
                value(Value::string(key), depth + 1);
                value(val, depth + 1);
            }
            return;
        }
        byte(0x0A);
        if (reference(o))
            return;
        ClassObject* cls = o->classObject();
        const bool plain = cls == b.object;
        const std::vector<QString> sealed = plain ? std::vector<QString> {} : sealedNames(o);
        const QString alias = plain ? QString() : aliasOf(m_m, cls);
        if (auto it = m_traits.constFind(cls); it != m_traits.constEnd()) {
            u29(std::uint32_t(*it) << 2 | 1);
        } else {
            m_traits.insert(cls, int(m_traits.size()));
            u29(std::uint32_t(sealed.size()) << 4 | (o->isDynamic() ? 0x08 : 0) | 0x03);
            string(alias);
            for (const QString& name : sealed)
                string(name);
        }
        for (const QString& name : sealed)
            value(m_m.getProperty(v, Name::publicName(name)), depth + 1);
        if (o->isDynamic())
            dynamicPairs(o, depth);
    }
    void dynamicPairs(Object* o, int depth)
    {
        for (const auto& [name, val] : o->dynamicProperties()) {
            if (o->dontEnum().value(name) || val.isObject() && val.o->type() == Object::Type::Function)
                continue;
            string(name);
            value(val, depth + 1);
        }
        byte(0x01);
    }
    void vector(Object* o, int depth)
    {
        ClassObject* element = o->classObject() ? o->classObject()->elementType : nullptr;
        const auto& b = m_m.builtins();
        const int marker = element == b.intClass ? 0x0D : element == b.uintClass ? 0x0E : element == b.number ? 0x0F : 0x10;
        byte(marker);
        if (reference(o))
            return;
        u29(std::uint32_t(o->elements.size()) << 1 | 1);
        byte(o->fixed ? 1 : 0);
        if (marker == 0x10)
            string(element ? element->qualifiedName() : QString());
        for (const Value& e : o->elements) {
            char bytes[4];
            if (marker == 0x0D) {
                qToBigEndian(toInt32(m_m.toNumber(e)), bytes);
                m_out.append(bytes, 4);
            } else if (marker == 0x0E) {
                qToBigEndian(toUint32(m_m.toNumber(e)), bytes);
                m_out.append(bytes, 4);
            } else if (marker == 0x0F) {
                dbl(m_m.toNumber(e));
            } else {
                value(e, depth + 1);
            }
        }
    }

    Machine& m_m;
    QByteArray& m_out;
    QHash<QString, int> m_strings;
    QHash<Object*, int> m_objects;
    QHash<ClassObject*, int> m_traits;
};

class Amf0Writer {
public:
    Amf0Writer(Machine& m, QByteArray& out) : m_m(m), m_out(out) { }

    void value(const Value& v, int depth = 0)
    {
        if (depth > MaxDepth)
            m_m.throwError(ErrorClass::Error, 1023, QStringLiteral("Stack overflow occurred."));
        switch (v.kind) {
        case Value::Kind::Undefined: byte(0x06); return;
        case Value::Kind::Null: byte(0x05); return;
        case Value::Kind::Boolean: byte(0x01); byte(v.b ? 1 : 0); return;
        case Value::Kind::Number: byte(0x00); dbl(v.d); return;
        case Value::Kind::String: string(v.s, true); return;
        case Value::Kind::Object: break;
        }
        Object* o = v.o;
        if (o->type() == Object::Type::Function || o->type() == Object::Type::Class) {
            byte(0x06);
            return;
        }
        if (isDate(m_m, v)) {
            byte(0x0B);
            dbl(dateTime(v));
            byte(0); byte(0);
            return;
        }
        if (isXml(m_m, v) || byteArrayOf(o) || o->type() == Object::Type::Vector || o->type() == Object::Type::Dictionary) {
            // What AMF0 cannot say it sends in AMF3.
            byte(0x11);
            QByteArray inner;
            Amf3Writer(m_m, inner).value(v, depth);
            m_out.append(inner);
            return;
        }
        if (auto it = m_objects.constFind(o); it != m_objects.constEnd()) {
            byte(0x07);
            u16(std::uint16_t(*it));
            return;
        }
        m_objects.insert(o, int(m_objects.size()));
        if (o->type() == Object::Type::Array) {
            if (o->dynamicProperties().empty()) {
                byte(0x0A);
                u32(std::uint32_t(o->elements.size()));
                for (const Value& e : o->elements)
                    value(e.isHole() ? Value::undefined() : e, depth + 1);
                return;
            }
            byte(0x08);
            u32(std::uint32_t(o->elements.size()));
            for (std::size_t i = 0; i < o->elements.size(); ++i) {
                if (o->elements[i].isHole())
                    continue;
                string(QString::number(i), false);
                value(o->elements[i], depth + 1);
            }
            pairs(o, depth);
            return;
        }
        ClassObject* cls = o->classObject();
        const QString alias = cls == m_m.builtins().object ? QString() : aliasOf(m_m, cls);
        if (alias.isEmpty()) {
            byte(0x03);
        } else {
            byte(0x10);
            string(alias, false);
        }
        if (cls != m_m.builtins().object) {
            for (const QString& name : sealedNames(o)) {
                string(name, false);
                value(m_m.getProperty(v, Name::publicName(name)), depth + 1);
            }
        }
        pairs(o, depth);
    }
    void member(const QString& name, const Value& v)
    {
        string(name, false);
        value(v);
        byte(0);
    }

private:
    void byte(int b) { m_out.append(char(b)); }
    void u16(std::uint16_t v) { char b[2]; qToBigEndian(v, b); m_out.append(b, 2); }
    void u32(std::uint32_t v) { char b[4]; qToBigEndian(v, b); m_out.append(b, 4); }
    void dbl(double d) { char b[8]; qToBigEndian(d, b); m_out.append(b, 8); }
    void string(const QString& s, bool marked)
    {
        const QByteArray utf8 = s.toUtf8();
        if (utf8.size() > 0xffff) {
            if (marked)
                byte(0x0C);
            u32(std::uint32_t(utf8.size()));
        } else {
            if (marked)
                byte(0x02);
            u16(std::uint16_t(utf8.size()));
        }
        m_out.append(utf8);
    }
    void pairs(Object* o, int depth)
    {
        for (const auto& [name, val] : o->dynamicProperties()) {
            if (o->dontEnum().value(name) || val.isObject() && val.o->type() == Object::Type::Function)
                continue;
            string(name, false);
            value(val, depth + 1);
        }
        byte(0); byte(0); byte(0x09);
    }

    Machine& m_m;
    QByteArray& m_out;
    QHash<Object*, int> m_objects;
};

} // namespace

QByteArray writeSaveMembers(Machine& m, Object* data, std::uint32_t encoding)
{
    QByteArray out;
    if (!data)
        return out;
    // A copy of the names first: writing may run a getter that changes them.
    std::vector<std::pair<QString, Value>> members;
    for (const auto& [name, val] : data->dynamicProperties()) {
        if (data->dontEnum().value(name) || (val.isObject() && val.o->type() == Object::Type::Function))
            continue;
        members.emplace_back(name, val);
    }
    if (encoding == 0) {
        Amf0Writer writer(m, out);
        for (const auto& [name, val] : members)
            writer.member(name, val);
    } else {
        Amf3Writer writer(m, out);
        for (const auto& [name, val] : members)
            writer.member(name, val);
    }
    return out;
}

// The reader half lives in AmfReader.cpp.
Value readAmf3(Machine& m, ByteArrayHost& host);
Value readAmf0(Machine& m, ByteArrayHost& host);

void installAmf(Machine& m)
{
    ClassObject* byteArray = m.builtins().byteArray;
    m.addMethod(byteArray, QStringLiteral("writeObject"), [](Machine& m, const Value& self, Args args) {
        ByteArrayHost* host = byteArrayOf(self.object());
        if (!host)
            return Value::undefined();
        QByteArray out;
        if (host->objectEncoding == 0)
            Amf0Writer(m, out).value(arg(args, 0));
        else
            Amf3Writer(m, out).value(arg(args, 0));
        const auto end = std::size_t(host->position) + std::size_t(out.size());
        if (end > std::size_t(host->data.size()))
            host->data.resize(qsizetype(end));
        std::copy(out.begin(), out.end(), host->data.begin() + host->position);
        host->position = std::uint32_t(end);
        return Value::undefined();
    }, 1);
    m.addMethod(byteArray, QStringLiteral("readObject"), [](Machine& m, const Value& self, Args) {
        ByteArrayHost* host = byteArrayOf(self.object());
        if (!host)
            return Value::undefined();
        return host->objectEncoding == 0 ? readAmf0(m, *host) : readAmf3(m, *host);
    });

    ClassObject* encoding = m.defineClass(QStringLiteral("flash.net"), QStringLiteral("ObjectEncoding"), m.builtins().object,
        InstanceKind::Plain, {});
    m.addStaticConst(encoding, QStringLiteral("AMF0"), Value::number(0));
    m.addStaticConst(encoding, QStringLiteral("AMF3"), Value::number(3));
    m.addStaticConst(encoding, QStringLiteral("DEFAULT"), Value::number(3));

    m.defineGlobal(QStringLiteral("flash.net"), QStringLiteral("registerClassAlias"),
        Value::object(m.newNative(QStringLiteral("registerClassAlias"), [](Machine& m, const Value&, Args args) {
            if (arg(args, 0).isNullish() || arg(args, 1).isNullish())
                m.throwError(ErrorClass::TypeError, 2007, QStringLiteral("Parameter %1 must be non-null.")
                        .arg(arg(args, 0).isNullish() ? QStringLiteral("aliasName") : QStringLiteral("classObject")));
            Object* cls = args[1].object();
            if (cls && cls->type() == Object::Type::Class)
                aliases(m).insert(m.toString(args[0]), static_cast<ClassObject*>(cls));
            return Value::undefined();
        }, 2)));
    m.defineGlobal(QStringLiteral("flash.net"), QStringLiteral("getClassByAlias"),
        Value::object(m.newNative(QStringLiteral("getClassByAlias"), [](Machine& m, const Value&, Args args) {
            const QString alias = m.toString(arg(args, 0));
            ClassObject* cls = aliases(m).value(alias);
            if (!cls)
                m.throwError(ErrorClass::ReferenceError, 1014, QStringLiteral("Class %1 could not be found.").arg(alias));
            return Value::object(cls);
        }, 1)));
}

ClassObject* classByAlias(Machine& m, const QString& alias) { return aliases(m).value(alias); }

} // namespace swf::avm2
