#include "swf/archive/SolFile.h"

#include <QDataStream>

#include <cstring>
#include <utility>

namespace swf::archive {

namespace {

// Big-endian reads over the file, every one bounds-checked.
class Cursor {
public:
    explicit Cursor(const QByteArray& bytes) : m_bytes(bytes) { }

    qint64 offset() const { return m_pos; }
    qint64 left() const { return m_bytes.size() - m_pos; }
    bool atEnd() const { return m_pos >= m_bytes.size(); }

    bool u8(quint8& out)
    {
        if (left() < 1)
            return false;
        out = quint8(m_bytes[m_pos++]);
        return true;
    }
    bool u16(quint16& out)
    {
        quint8 a, b;
        if (!u8(a) || !u8(b))
            return false;
        out = quint16(a << 8 | b);
        return true;
    }
    bool u32(quint32& out)
    {
        quint16 a, b;
        if (!u16(a) || !u16(b))
            return false;
        out = quint32(a) << 16 | b;
        return true;
    }
    bool f64(double& out)
    {
        quint32 hi, lo;
        if (!u32(hi) || !u32(lo))
            return false;
        const quint64 bits = quint64(hi) << 32 | lo;
        std::memcpy(&out, &bits, sizeof out);
        return true;
    }
    bool bytes(qint64 n, QByteArray& out)
    {
        if (n < 0 || left() < n)
            return false;
        out = m_bytes.mid(m_pos, n);
        m_pos += n;
        return true;
    }
    // AMF3's variable-length 29-bit integer.
    bool u29(quint32& out)
    {
        out = 0;
        for (int i = 0; i < 4; ++i) {
            quint8 b;
            if (!u8(b))
                return false;
            if (i == 3) {
                out = out << 8 | b;
                return true;
            }
            out = out << 7 | (b & 0x7f);
            if (!(b & 0x80))
                return true;
        }
        return true;
    }

private:
    const QByteArray& m_bytes;
    qint64 m_pos = 0;
};

class SolReader {
public:
    SolReader(const QByteArray& bytes, SolFile& file) : m_in(bytes), m_file(file) { }

    Result<void> run()
    {
        quint16 magic;
        quint32 length;
        QByteArray tag;
        if (!m_in.u16(magic) || magic != 0x00BF)
            return fail("not a saved-object file");
        if (!m_in.u32(length) || !m_in.bytes(4, tag) || tag != "TCSO")
            return fail("not a saved-object file");
        if (length != quint32(m_in.left() + 4))
            return fail("file length does not match its header", ErrorKind::Truncated);
        QByteArray pad;
        if (!m_in.bytes(6, pad))
            return fail("header cut short", ErrorKind::Truncated);
        QString name;
        if (!shortString(name))
            return fail("name cut short", ErrorKind::Truncated);
        m_file.name = name;
        quint32 version;
        if (!m_in.u32(version) || (version != 0 && version != 3))
            return fail("unknown encoding");
        m_file.amf3 = version == 3;
        m_file.membersOffset = m_in.offset();
        while (!m_in.atEnd()) {
            QString key;
            SolValue value;
            if (m_file.amf3) {
                if (!amf3String(key) || !amf3Value(value, 0))
                    return failed();
            } else {
                if (!shortString(key) || !amf0Value(value, 0))
                    return failed();
            }
            quint8 end;
            if (!m_in.u8(end) || end != 0)
                return fail("member not closed");
            m_file.data.emplace_back(key, value);
        }
        return {};
    }

private:
    Result<void> fail(const char* why, ErrorKind kind = ErrorKind::Corrupt)
    {
        return Error::at(m_in.offset(), QString::fromLatin1(why), kind);
    }
    Result<void> failed()
    {
        return Error::at(m_in.offset(), m_error.isEmpty() ? QStringLiteral("value cut short") : m_error,
            ErrorKind::Corrupt);
    }
    bool error(const char* why)
    {
        if (m_error.isEmpty())
            m_error = QString::fromLatin1(why);
        return false;
    }

    bool shortString(QString& out)
    {
        quint16 n;
        QByteArray b;
        if (!m_in.u16(n) || !m_in.bytes(n, b))
            return false;
        out = QString::fromUtf8(b);
        return true;
    }
    bool longString(QString& out)
    {
        quint32 n;
        QByteArray b;
        if (!m_in.u32(n) || !m_in.bytes(qint64(n), b))
            return false;
        out = QString::fromUtf8(b);
        return true;
    }

    int newObject(bool isArray, std::vector<int>& table)
    {
        if (int(m_file.objects.size()) >= SolMaxObjects)
            return -1;
        m_file.objects.push_back(SolObject { isArray, {}, {} });
        const int index = int(m_file.objects.size()) - 1;
        table.push_back(index);
        return index;
    }
    int newObject(bool isArray, std::vector<SolValue>& table)
    {
        std::vector<int> none;
        const int index = newObject(isArray, none);
        if (index >= 0)
            table.push_back(SolValue::ofObject(index));
        return index;
    }

    // Members until the empty name and the object-end marker.
    bool amf0Members(int index, int depth)
    {
        for (;;) {
            QString key;
            if (!shortString(key))
                return false;
            if (key.isEmpty()) {
                quint8 marker;
                if (!m_in.u8(marker))
                    return false;
                if (marker == 0x09)
                    return true;
                return error("object not closed");
            }
            SolValue v;
            if (!amf0Value(v, depth + 1))
                return false;
            m_file.objects[size_t(index)].members.emplace_back(key, v);
        }
    }

    bool amf0Value(SolValue& out, int depth)
    {
        if (depth > SolMaxDepth)
            return error("values nested too deeply");
        quint8 type;
        if (!m_in.u8(type))
            return false;
        switch (type) {
        case 0x00: out.type = SolValue::Type::Number; return m_in.f64(out.number);
        case 0x01: {
            quint8 b;
            out.type = SolValue::Type::Boolean;
            if (!m_in.u8(b))
                return false;
            out.boolean = b != 0;
            return true;
        }
        case 0x02: out.type = SolValue::Type::String; return shortString(out.string);
        case 0x0C: out.type = SolValue::Type::String; return longString(out.string);
        case 0x0F: out.type = SolValue::Type::Xml; return longString(out.string);
        case 0x05: out.type = SolValue::Type::Null; return true;
        case 0x06:
        case 0x0D: out.type = SolValue::Type::Undefined; return true;
        case 0x03:
        case 0x08:
        case 0x10: {
            QString className;
            if (type == 0x10 && !shortString(className))
                return false;
            quint32 count;
            if (type == 0x08 && !m_in.u32(count)) // a hint only; the members end with the marker
                return false;
            const int index = newObject(type == 0x08, m_amf0Objects);
            if (index < 0)
                return error("too many objects");
            m_file.objects[size_t(index)].className = className;
            out = SolValue::ofObject(index);
            return amf0Members(index, depth);
        }
        case 0x0A: {
            quint32 count;
            if (!m_in.u32(count))
                return false;
            // Each element takes at least one byte.
            if (qint64(count) > m_in.left())
                return error("array longer than the file");
            const int index = newObject(true, m_amf0Objects);
            if (index < 0)
                return error("too many objects");
            out = SolValue::ofObject(index);
            for (quint32 i = 0; i < count; ++i) {
                SolValue v;
                if (!amf0Value(v, depth + 1))
                    return false;
                m_file.objects[size_t(index)].members.emplace_back(QString::number(i), v);
            }
            return true;
        }
        case 0x07: {
            quint16 ref;
            if (!m_in.u16(ref))
                return false;
            if (ref >= m_amf0Objects.size())
                return error("reference to no object");
            out = SolValue::ofObject(m_amf0Objects[ref]);
            return true;
        }
        case 0x0B: {
            quint16 zone;
            out.type = SolValue::Type::Date;
            return m_in.f64(out.number) && m_in.u16(zone);
        }
        case 0x11: {
            // A value in AMF3 inside an AMF0 file starts with tables of its own.
            auto strings = std::exchange(m_strings, {});
            auto objects = std::exchange(m_amf3Objects, {});
            auto traits = std::exchange(m_traits, {});
            const bool ok = amf3Value(out, depth + 1);
            m_strings = std::move(strings);
            m_amf3Objects = std::move(objects);
            m_traits = std::move(traits);
            return ok;
        }
        default: return error("unknown value type");
        }
    }

    bool amf3String(QString& out)
    {
        quint32 head;
        if (!m_in.u29(head))
            return false;
        if (!(head & 1)) {
            if ((head >> 1) >= m_strings.size())
                return error("reference to no string");
            out = m_strings[head >> 1];
            return true;
        }
        QByteArray b;
        if (!m_in.bytes(qint64(head >> 1), b))
            return false;
        out = QString::fromUtf8(b);
        if (!out.isEmpty())
            m_strings.push_back(out);
        return true;
    }

    bool amf3Value(SolValue& out, int depth)
    {
        if (depth > SolMaxDepth)
            return error("values nested too deeply");
        quint8 type;
        if (!m_in.u8(type))
            return false;
        switch (type) {
        case 0x00: out.type = SolValue::Type::Undefined; return true;
        case 0x01: out.type = SolValue::Type::Null; return true;
        case 0x02:
        case 0x03: out = SolValue::ofBoolean(type == 0x03); return true;
        case 0x04: {
            quint32 n;
            if (!m_in.u29(n))
                return false;
            // 29-bit two's complement.
            const qint32 value = (n & 0x10000000) ? qint32(n) - 0x20000000 : qint32(n);
            out = SolValue::ofNumber(value);
            return true;
        }
        case 0x05: out.type = SolValue::Type::Number; return m_in.f64(out.number);
        case 0x06: out.type = SolValue::Type::String; return amf3String(out.string);
        case 0x07:
        case 0x0B:
        case 0x0C: {
            // XML text and byte arrays: kept as text (byte arrays as Latin-1).
            quint32 head;
            if (!m_in.u29(head))
                return false;
            if (!(head & 1))
                return reference(head >> 1, out);
            QByteArray b;
            if (!m_in.bytes(qint64(head >> 1), b))
                return false;
            out.type = type == 0x0C ? SolValue::Type::String : SolValue::Type::Xml;
            out.string = type == 0x0C ? QString::fromLatin1(b) : QString::fromUtf8(b);
            m_amf3Objects.push_back(out);
            return true;
        }
        case 0x08: {
            quint32 head;
            if (!m_in.u29(head))
                return false;
            if (!(head & 1))
                return reference(head >> 1, out);
            out.type = SolValue::Type::Date;
            if (!m_in.f64(out.number))
                return false;
            m_amf3Objects.push_back(out);
            return true;
        }
        case 0x09: {
            quint32 head;
            if (!m_in.u29(head))
                return false;
            if (!(head & 1))
                return reference(head >> 1, out);
            const int index = newObject(true, m_amf3Objects);
            if (index < 0)
                return error("too many objects");
            out = SolValue::ofObject(index);
            for (;;) {
                QString key;
                if (!amf3String(key))
                    return false;
                if (key.isEmpty())
                    break;
                SolValue v;
                if (!amf3Value(v, depth + 1))
                    return false;
                m_file.objects[size_t(index)].members.emplace_back(key, v);
            }
            const quint32 count = head >> 1;
            if (qint64(count) > m_in.left())
                return error("array longer than the file");
            for (quint32 i = 0; i < count; ++i) {
                SolValue v;
                if (!amf3Value(v, depth + 1))
                    return false;
                m_file.objects[size_t(index)].members.emplace_back(QString::number(i), v);
            }
            return true;
        }
        case 0x0A: return amf3Object(out, depth);
        case 0x0D:
        case 0x0E:
        case 0x0F:
        case 0x10: return amf3Vector(type, out, depth);
        case 0x11: return amf3Dictionary(out, depth);
        default: return error("unknown value type");
        }
    }

    bool reference(quint32 ref, SolValue& out)
    {
        if (ref >= m_amf3Objects.size())
            return error("reference to no object");
        out = m_amf3Objects[ref];
        return true;
    }

    // Vectors read as arrays: int, uint and Number elements are stored bare.
    bool amf3Vector(quint8 type, SolValue& out, int depth)
    {
        quint32 head;
        quint8 fixed;
        if (!m_in.u29(head))
            return false;
        if (!(head & 1))
            return reference(head >> 1, out);
        if (!m_in.u8(fixed))
            return false;
        QString elementType;
        if (type == 0x10 && !amf3String(elementType))
            return false;
        const quint32 count = head >> 1;
        const qint64 width = type == 0x0F ? 8 : type == 0x10 ? 1 : 4;
        if (qint64(count) * width > m_in.left())
            return error("vector longer than the file");
        const int index = newObject(true, m_amf3Objects);
        if (index < 0)
            return error("too many objects");
        out = SolValue::ofObject(index);
        for (quint32 i = 0; i < count; ++i) {
            SolValue v;
            if (type == 0x0D || type == 0x0E) {
                quint32 n;
                if (!m_in.u32(n))
                    return false;
                v = SolValue::ofNumber(type == 0x0D ? double(qint32(n)) : double(n));
            } else if (type == 0x0F) {
                v.type = SolValue::Type::Number;
                if (!m_in.f64(v.number))
                    return false;
            } else if (!amf3Value(v, depth + 1)) {
                return false;
            }
            m_file.objects[size_t(index)].members.emplace_back(QString::number(i), v);
        }
        return true;
    }

    // Dictionaries read as objects; keys that are objects have no name to keep.
    bool amf3Dictionary(SolValue& out, int depth)
    {
        quint32 head;
        quint8 weak;
        if (!m_in.u29(head))
            return false;
        if (!(head & 1))
            return reference(head >> 1, out);
        if (!m_in.u8(weak))
            return false;
        const quint32 count = head >> 1;
        if (qint64(count) * 2 > m_in.left())
            return error("dictionary longer than the file");
        const int index = newObject(false, m_amf3Objects);
        if (index < 0)
            return error("too many objects");
        out = SolValue::ofObject(index);
        for (quint32 i = 0; i < count; ++i) {
            SolValue key, v;
            if (!amf3Value(key, depth + 1) || !amf3Value(v, depth + 1))
                return false;
            QString name;
            switch (key.type) {
            case SolValue::Type::String: name = key.string; break;
            case SolValue::Type::Number: name = QString::number(key.number, 'g', 17); break;
            case SolValue::Type::Boolean: name = key.boolean ? QStringLiteral("true") : QStringLiteral("false"); break;
            default: continue;
            }
            m_file.objects[size_t(index)].members.emplace_back(name, v);
        }
        return true;
    }

    struct Traits {
        QString className;
        bool dynamic = false;
        std::vector<QString> sealed;
    };

    bool amf3Object(SolValue& out, int depth)
    {
        quint32 head;
        if (!m_in.u29(head))
            return false;
        if (!(head & 1))
            return reference(head >> 1, out);
        Traits traits;
        if (!(head & 2)) {
            if ((head >> 2) >= m_traits.size())
                return error("reference to no class");
            traits = m_traits[head >> 2];
        } else {
            if (head & 4)
                return error("externalized objects are not read");
            traits.dynamic = head & 8;
            const quint32 count = head >> 4;
            if (!amf3String(traits.className))
                return false;
            if (qint64(count) > m_in.left())
                return error("class longer than the file");
            for (quint32 i = 0; i < count; ++i) {
                QString n;
                if (!amf3String(n))
                    return false;
                traits.sealed.push_back(n);
            }
            m_traits.push_back(traits);
        }
        const int index = newObject(false, m_amf3Objects);
        if (index < 0)
            return error("too many objects");
        m_file.objects[size_t(index)].className = traits.className;
        out = SolValue::ofObject(index);
        for (const QString& n : traits.sealed) {
            SolValue v;
            if (!amf3Value(v, depth + 1))
                return false;
            m_file.objects[size_t(index)].members.emplace_back(n, v);
        }
        if (traits.dynamic) {
            for (;;) {
                QString key;
                if (!amf3String(key))
                    return false;
                if (key.isEmpty())
                    break;
                SolValue v;
                if (!amf3Value(v, depth + 1))
                    return false;
                m_file.objects[size_t(index)].members.emplace_back(key, v);
            }
        }
        return true;
    }

    Cursor m_in;
    SolFile& m_file;
    QString m_error;
    std::vector<int> m_amf0Objects;
    std::vector<SolValue> m_amf3Objects; // objects, and the dates, XML and bytes that count as objects
    std::vector<QString> m_strings;
    std::vector<Traits> m_traits;
};

class SolWriter {
public:
    explicit SolWriter(const SolFile& file) : m_file(file), m_written(file.objects.size(), -1) { }

    QByteArray run()
    {
        QByteArray members;
        for (const auto& [key, value] : m_file.data) {
            shortString(members, key);
            writeValue(members, value);
            members += '\0';
        }
        return frame(m_file.name, false, members);
    }

    static QByteArray frame(const QString& name, bool amf3, const QByteArray& members)
    {
        QByteArray body;
        body += "TCSO";
        body += QByteArray("\x00\x04\x00\x00\x00\x00", 6);
        shortString(body, name);
        u32(body, amf3 ? 3 : 0);
        body += members;
        QByteArray out;
        out += QByteArray("\x00\xBF", 2);
        u32(out, quint32(body.size()));
        return out + body;
    }

private:
    static void u16(QByteArray& out, quint16 v)
    {
        out += char(v >> 8);
        out += char(v & 0xff);
    }
    static void u32(QByteArray& out, quint32 v)
    {
        u16(out, quint16(v >> 16));
        u16(out, quint16(v & 0xffff));
    }
    static void f64(QByteArray& out, double d)
    {
        quint64 bits;
        std::memcpy(&bits, &d, sizeof bits);
        u32(out, quint32(bits >> 32));
        u32(out, quint32(bits & 0xffffffffu));
    }
    static void shortString(QByteArray& out, const QString& s)
    {
        QByteArray b = s.toUtf8();
        if (b.size() > 0xffff)
            b.truncate(0xffff);
        u16(out, quint16(b.size()));
        out += b;
    }

    void writeValue(QByteArray& out, const SolValue& v)
    {
        switch (v.type) {
        case SolValue::Type::Undefined: out += char(0x06); return;
        case SolValue::Type::Null: out += char(0x05); return;
        case SolValue::Type::Boolean: out += char(0x01); out += char(v.boolean ? 1 : 0); return;
        case SolValue::Type::Number: out += char(0x00); f64(out, v.number); return;
        case SolValue::Type::Date: out += char(0x0B); f64(out, v.number); u16(out, 0); return;
        case SolValue::Type::String:
        case SolValue::Type::Xml: {
            const QByteArray b = v.string.toUtf8();
            if (v.type == SolValue::Type::String && b.size() <= 0xffff) {
                out += char(0x02);
                u16(out, quint16(b.size()));
            } else {
                out += char(v.type == SolValue::Type::Xml ? 0x0F : 0x0C);
                u32(out, quint32(b.size()));
            }
            out += b;
            return;
        }
        case SolValue::Type::Object: break;
        }
        if (v.object < 0 || size_t(v.object) >= m_file.objects.size()) {
            out += char(0x05);
            return;
        }
        if (m_written[size_t(v.object)] >= 0 && m_written[size_t(v.object)] <= 0xffff) {
            out += char(0x07);
            u16(out, quint16(m_written[size_t(v.object)]));
            return;
        }
        m_written[size_t(v.object)] = m_count++;
        const SolObject& o = m_file.objects[size_t(v.object)];
        if (o.isArray) {
            out += char(0x08);
            u32(out, quint32(o.members.size()));
        } else if (!o.className.isEmpty()) {
            out += char(0x10);
            shortString(out, o.className);
        } else {
            out += char(0x03);
        }
        for (const auto& [key, member] : o.members) {
            if (key.isEmpty())
                continue; // an empty name would end the object early
            shortString(out, key);
            writeValue(out, member);
        }
        u16(out, 0);
        out += char(0x09);
    }

    const SolFile& m_file;
    std::vector<int> m_written; // reference number of each object once written
    int m_count = 0;
};

} // namespace

Result<SolFile> SolFile::read(const QByteArray& bytes)
{
    SolFile file;
    SolReader reader(bytes, file);
    if (Result<void> r = reader.run(); !r)
        return r.error();
    return file;
}

QByteArray SolFile::write() const
{
    return SolWriter(*this).run();
}

QByteArray SolFile::frame(const QString& name, bool amf3, const QByteArray& members)
{
    return SolWriter::frame(name, amf3, members);
}

} // namespace swf::archive
