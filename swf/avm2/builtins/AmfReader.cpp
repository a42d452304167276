// ByteArray.readObject: AMF3 and AMF0 back into script values. Every read is
// checked against the bytes left (EOFError past the end), every reference
// against its table, and nesting is capped so hostile data cannot recurse
// without end.

#include "swf/avm2/builtins/AmfCodec.h"
#include "swf/avm2/builtins/ByteArrayClass.h"
#include "swf/avm2/vm/Machine.h"

#include <QtEndian>

namespace swf::avm2 {

ClassObject* classByAlias(Machine& m, const QString& alias);

namespace {

constexpr int MaxDepth = 256;

class Reader {
public:
    Reader(Machine& m, ByteArrayHost& host) : m_m(m), m_host(host) { }

    [[noreturn]] void eof() { throwPackageError(m_m, QStringLiteral("EOFError"), 2030, QStringLiteral("End of file was encountered.")); }
    [[noreturn]] void corrupt() { m_m.throwError(ErrorClass::RangeError, 2006, QStringLiteral("The supplied index is out of bounds.")); }
    void need(std::uint64_t n)
    {
        if (std::uint64_t(m_host.position) + n > std::uint64_t(m_host.data.size()))
            eof();
    }
    std::uint8_t byte()
    {
        need(1);
        return std::uint8_t(m_host.data[m_host.position++]);
    }
    QByteArray bytes(std::uint32_t n)
    {
        need(n);
        QByteArray out = m_host.data.mid(m_host.position, n);
        m_host.position += n;
        return out;
    }
    double dbl()
    {
        need(8);
        double d = qFromBigEndian<double>(m_host.data.constData() + m_host.position);
        m_host.position += 8;
        return d;
    }
    std::uint32_t u32()
    {
        need(4);
        std::uint32_t v = qFromBigEndian<std::uint32_t>(m_host.data.constData() + m_host.position);
        m_host.position += 4;
        return v;
    }
    std::uint16_t u16()
    {
        need(2);
        std::uint16_t v = qFromBigEndian<std::uint16_t>(m_host.data.constData() + m_host.position);
        m_host.position += 2;
        return v;
    }
    void deeper(int depth)
    {
        if (depth > MaxDepth)
            m_m.throwError(ErrorClass::Error, 1023, QStringLiteral("Stack overflow occurred."));
    }
    // A typed object: an instance of its aliased class when there is one.
    Object* typedObject(const QString& alias)
    {
        if (!alias.isEmpty()) {
            if (ClassObject* cls = classByAlias(m_m, alias))
                return m_m.constructClass(cls, {}).o;
        }
        return m_m.newObject();
    }

    Machine& m_m;
    ByteArrayHost& m_host;
};

class Amf3Reader : Reader {
public:
    using Reader::Reader;

    Value value(int depth = 0)
    {
        deeper(depth);
        const std::uint8_t marker = byte();
        switch (marker) {
        case 0x00: return Value::undefined();
        case 0x01: return Value::null();
        case 0x02: return Value::boolean(false);
        case 0x03: return Value::boolean(true);
        case 0x04: {
            std::uint32_t v = u29();
            return Value::number(double(std::int32_t(v << 3) >> 3)); // 29-bit two's complement
        }
        case 0x05: return Value::number(dbl());
        case 0x06: return Value::string(string());
        case 0x07: case 0x0B: {
            std::uint32_t header = u29();
            if (!(header & 1))
                return object(header >> 1);
            const QString text = QString::fromUtf8(bytes(header >> 1));
            Value parts[] = { Value::string(text) };
            Value xml = m_m.constructClass(m_m.builtins().xml, parts);
            m_objects.push_back(xml);
            return xml;
        }
        case 0x08: {
            std::uint32_t header = u29();
            if (!(header & 1))
                return object(header >> 1);
            Value parts[] = { Value::number(dbl()) };
            Value date = m_m.constructClass(m_m.builtins().date, parts);
            m_objects.push_back(date);
            return date;
        }
        case 0x09: return array(depth);
        case 0x0A: return plainObject(depth);
        case 0x0C: {
            std::uint32_t header = u29();
            if (!(header & 1))
                return object(header >> 1);
            Value made = Value::object(newByteArray(m_m, bytes(header >> 1)));
            m_objects.push_back(made);
            return made;
        }
        case 0x0D: case 0x0E: case 0x0F: case 0x10: return vector(marker, depth);
        case 0x11: return dictionary(depth);
        default:
            corrupt();
        }
    }
    QString key() { return string(); }
    bool atEnd() const { return m_host.position >= std::uint32_t(m_host.data.size()); }
    void memberEnd()
    {
        if (byte() != 0)
            corrupt();
    }

private:
    std::uint32_t u29()
    {
        std::uint32_t v = 0;
        for (int i = 0; i < 3; ++i) {
            std::uint8_t b = byte();
            if (!(b & 0x80))
                return v << 7 | b;
            v = v << 7 | (b & 0x7f);
        }
        return v << 8 | byte();
    }
    QString string()
    {
        std::uint32_t header = u29();
        if (!(header & 1)) {
            if (header >> 1 >= m_strings.size())
                corrupt();
            return m_strings[header >> 1];
        }
        QString s = QString::fromUtf8(bytes(header >> 1));
        if (!s.isEmpty())
            m_strings.push_back(s);
        return s;
    }
    Value object(std::uint32_t index)
    {
        if (index >= m_objects.size())
            corrupt();
        return m_objects[index];
    }
    Value array(int depth)
    {
        std::uint32_t header = u29();
        if (!(header & 1))
            return object(header >> 1);
        Object* a = m_m.newArray();
        Value made = Value::object(a);
        m_objects.push_back(made);
        for (QString key = string(); !key.isEmpty(); key = string())
            m_m.setProperty(made, Name::publicName(key), value(depth + 1));
        const std::uint32_t dense = header >> 1;
        // Each element takes a byte at least: a larger count is a lie.
        need(dense);
        for (std::uint32_t i = 0; i < dense; ++i)
            m_m.setProperty(made, Name::publicName(QString::number(i)), value(depth + 1));
        return made;
    }
    Value plainObject(int depth)
    {
        std::uint32_t header = u29();
        if (!(header & 1))
            return object(header >> 1);
        Traits* traits = nullptr;
        if (!(header & 2)) {
            if (header >> 2 >= m_traits.size())
                corrupt();
            traits = &m_traits[header >> 2];
        } else {
            if (header & 4)
                m_m.throwError(ErrorClass::Error, 2004, QStringLiteral("One of the parameters is invalid."));
            Traits t;
            t.dynamic = header & 8;
            t.alias = string();
            const std::uint32_t count = header >> 4;
            need(count);
            for (std::uint32_t i = 0; i < count; ++i)
                t.sealed.push_back(string());
            m_traits.push_back(std::move(t));
            traits = &m_traits.back();
        }
        const Traits shape = *traits; // the table may grow while the members are read
        Value made = Value::object(typedObject(shape.alias));
        m_objects.push_back(made);
        for (const QString& name : shape.sealed)
            m_m.setProperty(made, Name::publicName(name), value(depth + 1));
        if (shape.dynamic) {
            for (QString key = string(); !key.isEmpty(); key = string())
                m_m.setProperty(made, Name::publicName(key), value(depth + 1));
        }
        return made;
    }
    Value vector(std::uint8_t marker, int depth)
    {
        std::uint32_t header = u29();
        if (!(header & 1))
            return object(header >> 1);
        const std::uint32_t count = header >> 1;
        const bool fixed = byte() != 0;
        const auto& b = m_m.builtins();
        ClassObject* element = marker == 0x0D ? b.intClass : marker == 0x0E ? b.uintClass : marker == 0x0F ? b.number : nullptr;
        if (marker == 0x10) {
            const QString type = string();
            if (!type.isEmpty() && type != QLatin1String("*"))
                element = m_m.findClass(QString(type).replace(QStringLiteral("::"), QStringLiteral(".")));
        }
        need(marker == 0x0F ? std::uint64_t(count) * 8 : marker == 0x10 ? count : std::uint64_t(count) * 4);
        Object* v = m_m.newVector(m_m.applyVectorType(b.vector, element), {});
        Value made = Value::object(v);
        m_objects.push_back(made);
        for (std::uint32_t i = 0; i < count; ++i) {
            if (marker == 0x0D)
                v->elements.push_back(Value::number(std::int32_t(u32())));
            else if (marker == 0x0E)
                v->elements.push_back(Value::number(u32()));
            else if (marker == 0x0F)
                v->elements.push_back(Value::number(dbl()));
            else
                v->elements.push_back(value(depth + 1));
        }
        v->fixed = fixed;
        return made;
    }
    Value dictionary(int depth)
    {
        std::uint32_t header = u29();
        if (!(header & 1))
            return object(header >> 1);
        byte(); // weak keys
        Value made = m_m.constructClass(m_m.builtins().dictionary, {});
        m_objects.push_back(made);
        const std::uint32_t count = header >> 1;
        need(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            Value key = value(depth + 1);
            Value val = value(depth + 1);
            if (key.isObject())
                m_m.dictionarySet(made.o, key.o, val);
            else
                m_m.setProperty(made, Name::publicName(m_m.toString(key)), val);
        }
        return made;
    }

    struct Traits {
        QString alias;
        bool dynamic = false;
        std::vector<QString> sealed;
    };
    std::vector<QString> m_strings;
    std::vector<Value> m_objects;
    std::vector<Traits> m_traits;
};

class Amf0Reader : Reader {
public:
    using Reader::Reader;

    Value value(int depth = 0)
    {
        deeper(depth);
        const std::uint8_t marker = byte();
        switch (marker) {
        case 0x00: return Value::number(dbl());
        case 0x01: return Value::boolean(byte() != 0);
        case 0x02: return Value::string(QString::fromUtf8(bytes(u16())));
        case 0x0C: return Value::string(QString::fromUtf8(bytes(u32())));
        case 0x03: return pairs(Value::object(m_m.newObject()), depth);
        case 0x10: {
            const QString alias = QString::fromUtf8(bytes(u16()));
            return pairs(Value::object(typedObject(alias)), depth);
        }
        case 0x05: return Value::null();
        case 0x06: return Value::undefined();
        case 0x07: {
            std::uint16_t index = u16();
            if (index >= m_objects.size())
                corrupt();
            return m_objects[index];
        }
        case 0x08: {
            u32(); // the count is a hint; the pairs end with the end marker
            return pairs(Value::object(m_m.newArray()), depth);
        }
        case 0x0A: {
            const std::uint32_t count = u32();
            need(count);
            Object* a = m_m.newArray();
            Value made = Value::object(a);
            m_objects.push_back(made);
            for (std::uint32_t i = 0; i < count; ++i)
                a->elements.push_back(value(depth + 1));
            return made;
        }
        case 0x0B: {
            Value parts[] = { Value::number(dbl()) };
            u16(); // time zone, unused
            return m_m.constructClass(m_m.builtins().date, parts);
        }
        case 0x0F: {
            Value parts[] = { Value::string(QString::fromUtf8(bytes(u32()))) };
            return m_m.constructClass(m_m.builtins().xml, parts);
        }
        case 0x11: return readAmf3Here();
        default:
            corrupt();
        }
    }
    QString key() { return QString::fromUtf8(bytes(u16())); }
    bool atEnd() const { return m_host.position >= std::uint32_t(m_host.data.size()); }
    void memberEnd()
    {
        if (byte() != 0)
            corrupt();
    }

private:
    Value pairs(Value made, int depth)
    {
        m_objects.push_back(made);
        for (;;) {
            const QString key = QString::fromUtf8(bytes(u16()));
            if (key.isEmpty()) {
                if (byte() != 0x09)
                    corrupt();
                return made;
            }
            m_m.setProperty(made, Name::publicName(key), value(depth + 1));
        }
    }
    Value readAmf3Here() { return Amf3Reader(m_m, m_host).value(); }

    std::vector<Value> m_objects;
};

template<typename R>
void readMembers(Machine& m, ByteArrayHost& host, Object* data)
{
    R reader(m, host);
    while (!reader.atEnd()) {
        const QString name = reader.key();
        const Value v = reader.value(1);
        reader.memberEnd();
        m.setProperty(Value::object(data), Name::publicName(name), v);
    }
}

} // namespace

void readSaveMembers(Machine& m, const QByteArray& members, bool amf3, Object* data)
{
    ByteArrayHost host;
    host.data = members;
    if (amf3)
        readMembers<Amf3Reader>(m, host, data);
    else
        readMembers<Amf0Reader>(m, host, data);
}

Value readAmf3(Machine& m, ByteArrayHost& host) { return Amf3Reader(m, host).value(); }
Value readAmf0(Machine& m, ByteArrayHost& host) { return Amf0Reader(m, host).value(); }

} // namespace swf::avm2
