// flash.utils.ByteArray: a growable run of bytes with a read/write position,
// typed reads and writes in either byte order, zlib and raw deflate
// compression, and indexed access to single bytes.

#include "swf/avm2/builtins/ByteArrayClass.h"
#include "swf/avm2/vm/Machine.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <zlib.h>

#include <bit>
#include <cstring>

namespace swf::avm2 {

namespace {

// A script may grow one array to this many bytes; more is a memory error, not a crash.
constexpr std::uint32_t MaxLength = 256u << 20;

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

ByteArrayHost& hostOf(Machine& m, const Value& self)
{
    ByteArrayHost* host = byteArrayOf(self.object());
    if (!host)
        m.throwError(ErrorClass::TypeError, 1034, QStringLiteral("Type Coercion failed: cannot convert %1 to flash.utils.ByteArray.").arg(m.typeName(self)));
    return *host;
}

void grow(Machine& m, ByteArrayHost& b, std::uint64_t size)
{
    if (size > MaxLength)
        throwPackageError(m, QStringLiteral("MemoryError"), 1000, QStringLiteral("The system is out of memory."));
    if (size > std::uint64_t(b.data.size())) {
        m.chargeMemory(std::size_t(size - std::uint64_t(b.data.size())));
        b.data.resize(qsizetype(size), '\0');
    }
}

void put(Machine& m, ByteArrayHost& b, const char* bytes, std::size_t n)
{
    grow(m, b, std::uint64_t(b.position) + n);
    std::memcpy(b.data.data() + b.position, bytes, n);
    b.position += std::uint32_t(n);
}

void need(Machine& m, const ByteArrayHost& b, std::uint64_t n)
{
    if (std::uint64_t(b.position) + n > std::uint64_t(b.data.size()))
        throwPackageError(m, QStringLiteral("EOFError"), 2030, QStringLiteral("End of file was encountered."));
}

template<typename T>
void writeNumber(Machine& m, ByteArrayHost& b, T v)
{
    char bytes[sizeof(T)];
    std::memcpy(bytes, &v, sizeof(T));
    if (!b.littleEndian)
        std::reverse(bytes, bytes + sizeof(T));
    put(m, b, bytes, sizeof(T));
}

template<typename T>
T readNumber(Machine& m, ByteArrayHost& b)
{
    need(m, b, sizeof(T));
    char bytes[sizeof(T)];
    std::memcpy(bytes, b.data.constData() + b.position, sizeof(T));
    b.position += sizeof(T);
    if (!b.littleEndian)
        std::reverse(bytes, bytes + sizeof(T));
    T v;
    std::memcpy(&v, bytes, sizeof(T));
    return v;
}

// UTF-8 as the player reads it: a leading byte-order mark is skipped, and a
// byte that starts no valid sequence stands for itself (as Latin-1).
QString decodeUtf8(const QByteArray& bytes, bool stopAtZero)
{
    QString out;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < n) {
        const unsigned c = p[i];
        if (c == 0 && stopAtZero)
            break;
        int extra = c >= 0xf0 && c < 0xf8 ? 3 : c >= 0xe0 ? 2 : c >= 0xc2 && c < 0xe0 ? 1 : 0;
        if (c >= 0xf8)
            extra = 0;
        char32_t code = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0f : c & 0x1f;
        bool ok = extra > 0;
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + k >= n || (p[i + k] & 0xc0) != 0x80)
                ok = false;
            else
                code = (code << 6) | (p[i + k] & 0x3f);
        }
        if (ok && ((extra == 2 && code < 0x800) || (extra == 3 && (code < 0x10000 || code > 0x10ffff))))
            ok = false;
        if (!ok) {
            out += QChar(char16_t(c));
            ++i;
            continue;
        }
        out += QString::fromUcs4(&code, 1);
        i += extra + 1;
    }
    return out;
}

QString decodeUtf16(const QByteArray& bytes, bool bigEndian)
{
    QString out;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const auto hi = std::uint8_t(bytes[bigEndian ? i : i + 1]);
        const auto lo = std::uint8_t(bytes[bigEndian ? i + 1 : i]);
        const char16_t c = char16_t((hi << 8) | lo);
        if (c == 0)
            break;
        out += QChar(c);
    }
    return out;
}

// raw: deflate without the zlib header and checksum.
bool inflateBytes(const QByteArray& in, QByteArray& out, bool raw)
{
    z_stream z {};
    if (inflateInit2(&z, raw ? -15 : 15) != Z_OK)
        return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    z.avail_in = uInt(in.size());
    QByteArray result;
    char chunk[16384];
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        status = inflate(&z, Z_NO_FLUSH);
        result.append(chunk, qsizetype(sizeof chunk - z.avail_out));
        if (result.size() > qsizetype(MaxLength))
            status = Z_MEM_ERROR;
        if (status == Z_BUF_ERROR && z.avail_in == 0)
            break;
    }
    inflateEnd(&z);
    if (status != Z_STREAM_END)
        return false;
    out = result;
    return true;
}

QByteArray deflateBytes(const QByteArray& in, bool raw)
{
    z_stream z {};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, raw ? -15 : 15, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&z, uLong(in.size()))), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    z.avail_in = uInt(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.truncate(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

bool isDeflate(Machine& m, Args args)
{
    return !args.empty() && !args[0].isNullish() && m.toString(args[0]) == QLatin1String("deflate");
}

bool byteIndex(const QString& s, std::uint32_t& index)
{
    if (s.isEmpty() || s.size() > 10)
        return false;
    bool ok = false;
    const qulonglong v = s.toULongLong(&ok);
    if (!ok || v >= 0xffffffffull || QString::number(v) != s)
        return false;
    index = std::uint32_t(v);
    return true;
}

class ByteArrayHooks : public PropertyHooks {
public:
    bool get(Machine&, Object* self, const Name& name, Value& out) override
    {
        std::uint32_t index = 0;
        if (!name.includesPublic() || !byteIndex(name.local, index))
            return false;
        const ByteArrayHost* b = byteArrayOf(self);
        out = index < std::uint32_t(b->data.size()) ? Value::number(std::uint8_t(b->data[index])) : Value::undefined();
        return true;
    }
    bool set(Machine& m, Object* self, const Name& name, const Value& value) override
    {
        std::uint32_t index = 0;
        if (!name.includesPublic() || !byteIndex(name.local, index))
            return false;
        ByteArrayHost* b = byteArrayOf(self);
        grow(m, *b, std::uint64_t(index) + 1);
        b->data[index] = char(toInt32(m.toNumber(value)));
        return true;
    }
    std::optional<bool> has(Machine&, Object* self, const Name& name) override
    {
        std::uint32_t index = 0;
        if (!name.includesPublic() || !byteIndex(name.local, index))
            return std::nullopt;
        return index < std::uint32_t(byteArrayOf(self)->data.size());
    }
};

ByteArrayHooks g_hooks;

} // namespace

ByteArrayHost* byteArrayOf(const Object* o)
{
    if (!o || o->hooks != &g_hooks)
        return nullptr;
    return static_cast<ByteArrayHost*>(o->host.get());
}

Object* newByteArray(Machine& m, QByteArray bytes)
{
    Value made = m.constructClass(m.builtins().byteArray, {});
    byteArrayOf(made.o)->data = std::move(bytes);
    return made.o;
}

void installByteArrayClass(Machine& m)
{
    auto& b = m.builtins();
    ClassObject* cls = m.defineClass(QStringLiteral("flash.utils"), QStringLiteral("ByteArray"), b.object, InstanceKind::Plain,
        [](Machine&, const Value& self, Args) {
            self.o->host = std::make_shared<ByteArrayHost>();
            return Value::undefined();
        });
    b.byteArray = cls;
    cls->sealed = true;
    m.defineInterface(QStringLiteral("flash.utils"), QStringLiteral("IDataInput"), { cls });
    m.defineInterface(QStringLiteral("flash.utils"), QStringLiteral("IDataOutput"), { cls });
    cls->instanceHooks = &g_hooks;

    m.addGetter(cls, QStringLiteral("length"),
        [](Machine& m, const Value& self, Args) { return Value::number(double(hostOf(m, self).data.size())); },
        [](Machine& m, const Value& self, Args args) {
            ByteArrayHost& h = hostOf(m, self);
            const std::uint32_t length = toUint32(m.toNumber(arg(args, 0)));
            if (length > MaxLength)
                throwPackageError(m, QStringLiteral("MemoryError"), 1000, QStringLiteral("The system is out of memory."));
            if (length > std::uint32_t(h.data.size()))
                m.chargeMemory(length - std::uint32_t(h.data.size()));
            h.data.resize(qsizetype(length), '\0');
            h.position = std::min(h.position, length);
            return Value::undefined();
        });
    m.addGetter(cls, QStringLiteral("position"),
        [](Machine& m, const Value& self, Args) { return Value::number(hostOf(m, self).position); },
        [](Machine& m, const Value& self, Args args) {
            hostOf(m, self).position = toUint32(m.toNumber(arg(args, 0)));
            return Value::undefined();
        });
    m.addGetter(cls, QStringLiteral("bytesAvailable"), [](Machine& m, const Value& self, Args) {
        const ByteArrayHost& h = hostOf(m, self);
        return Value::number(h.position < std::uint32_t(h.data.size()) ? double(std::uint32_t(h.data.size()) - h.position) : 0.0);
    });
    m.addGetter(cls, QStringLiteral("endian"),
        [](Machine& m, const Value& self, Args) {
            return Value::string(hostOf(m, self).littleEndian ? QStringLiteral("littleEndian") : QStringLiteral("bigEndian"));
        },
        [](Machine& m, const Value& self, Args args) {
            const QString e = m.toString(arg(args, 0));
            if (e == QLatin1String("littleEndian"))
                hostOf(m, self).littleEndian = true;
            else if (e == QLatin1String("bigEndian"))
                hostOf(m, self).littleEndian = false;
            else
                m.throwError(ErrorClass::ArgumentError, 2008, QStringLiteral("Parameter endian must be one of the accepted values."));
            return Value::undefined();
        });
    m.addGetter(cls, QStringLiteral("objectEncoding"),
        [](Machine& m, const Value& self, Args) { return Value::number(hostOf(m, self).objectEncoding); },
        [](Machine& m, const Value& self, Args args) {
            hostOf(m, self).objectEncoding = toUint32(m.toNumber(arg(args, 0))) == 0 ? 0 : 3;
            return Value::undefined();
        });
    m.addStaticConst(cls, QStringLiteral("defaultObjectEncoding"), Value::number(3));

    auto method = [&](const char* name, NativeFn fn, int length = 0) { m.addMethod(cls, QLatin1String(name), std::move(fn), length); };
    method("writeByte", [](Machine& m, const Value& self, Args args) {
        const char c = char(toInt32(m.toNumber(arg(args, 0))));
        put(m, hostOf(m, self), &c, 1);
        return Value::undefined();
    }, 1);
    method("writeBoolean", [](Machine& m, const Value& self, Args args) {
        const char c = m.toBoolean(arg(args, 0)) ? 1 : 0;
        put(m, hostOf(m, self), &c, 1);
        return Value::undefined();
    }, 1);
    method("writeShort", [](Machine& m, const Value& self, Args args) {
        writeNumber<std::int16_t>(m, hostOf(m, self), std::int16_t(toInt32(m.toNumber(arg(args, 0)))));
        return Value::undefined();
    }, 1);
    method("writeInt", [](Machine& m, const Value& self, Args args) {
        writeNumber<std::int32_t>(m, hostOf(m, self), toInt32(m.toNumber(arg(args, 0))));
        return Value::undefined();
    }, 1);
    method("writeUnsignedInt", [](Machine& m, const Value& self, Args args) {
        writeNumber<std::uint32_t>(m, hostOf(m, self), toUint32(m.toNumber(arg(args, 0))));
        return Value::undefined();
    }, 1);
    method("writeFloat", [](Machine& m, const Value& self, Args args) {
        writeNumber<float>(m, hostOf(m, self), float(m.toNumber(arg(args, 0))));
        return Value::undefined();
    }, 1);
    method("writeDouble", [](Machine& m, const Value& self, Args args) {
        writeNumber<double>(m, hostOf(m, self), m.toNumber(arg(args, 0)));
        return Value::undefined();
    }, 1);
    method("writeUTFBytes", [](Machine& m, const Value& self, Args args) {
        const QByteArray bytes = m.toString(arg(args, 0)).toUtf8();
        put(m, hostOf(m, self), bytes.constData(), std::size_t(bytes.size()));
        return Value::undefined();
    }, 1);
    method("writeUTF", [](Machine& m, const Value& self, Args args) {
        const QByteArray bytes = m.toString(arg(args, 0)).toUtf8();
        if (bytes.size() > 65535)
            m.throwError(ErrorClass::RangeError, 2006, QStringLiteral("The supplied index is out of bounds."));
        ByteArrayHost& h = hostOf(m, self);
        const bool little = h.littleEndian;
        h.littleEndian = false;
        writeNumber<std::uint16_t>(m, h, std::uint16_t(bytes.size()));
        h.littleEndian = little;
        put(m, h, bytes.constData(), std::size_t(bytes.size()));
        return Value::undefined();
    }, 1);
    method("writeMultiByte", [](Machine& m, const Value& self, Args args) {
        const QString text = m.toString(arg(args, 0));
        const QString charset = m.toString(arg(args, 1)).toLower();
        QByteArray bytes;
        if (charset == QLatin1String("utf-16") || charset == QLatin1String("unicode") || charset == QLatin1String("utf-16le")
            || charset == QLatin1String("utf-16be") || charset == QLatin1String("unicodefffe")) {
            const bool big = charset == QLatin1String("utf-16be") || charset == QLatin1String("unicodefffe");
            for (QChar c : text) {
                const char pair[2] = { char(big ? c.unicode() >> 8 : c.unicode() & 0xff), char(big ? c.unicode() & 0xff : c.unicode() >> 8) };
                bytes.append(pair, 2);
            }
        }
        else if (charset == QLatin1String("iso-8859-1") || charset == QLatin1String("latin1") || charset == QLatin1String("us-ascii"))
            bytes = text.toLatin1();
        else if (QStringEncoder encoder(charset.toLatin1().constData()); encoder.isValid() && charset != QLatin1String("utf-8"))
            bytes = encoder.encode(text); // other named character sets (shift-jis, gb2312, ...)
        else
            bytes = text.toUtf8();
        put(m, hostOf(m, self), bytes.constData(), std::size_t(bytes.size()));
        return Value::undefined();
    }, 2);
    method("writeBytes", [](Machine& m, const Value& self, Args args) {
        ByteArrayHost* source = byteArrayOf(arg(args, 0).object());
        if (!source)
            m.throwError(ErrorClass::TypeError, 2007, QStringLiteral("Parameter bytes must be non-null."));
        const std::uint32_t size = std::uint32_t(source->data.size());
        const std::uint32_t offset = toUint32(m.toNumber(args.size() > 1 ? args[1] : Value::number(0)));
        std::uint32_t length = toUint32(m.toNumber(args.size() > 2 ? args[2] : Value::number(0)));
        if (offset > size)
            m.throwError(ErrorClass::RangeError, 2006, QStringLiteral("The supplied index is out of bounds."));
        if (length == 0)
            length = size - offset;
        if (std::uint64_t(offset) + length > size)
            m.throwError(ErrorClass::RangeError, 2006, QStringLiteral("The supplied index is out of bounds."));
        const QByteArray copy = source->data.mid(offset, length);
        put(m, hostOf(m, self), copy.constData(), std::size_t(copy.size()));
        return Value::undefined();
    }, 3);
    method("readBytes", [](Machine& m, const Value& self, Args args) {
        ByteArrayHost& h = hostOf(m, self);
        ByteArrayHost* target = byteArrayOf(arg(args, 0).object());
        if (!target)
            m.throwError(ErrorClass::TypeError, 2007, QStringLiteral("Parameter bytes must be non-null."));
        const std::uint32_t offset = toUint32(m.toNumber(args.size() > 1 ? args[1] : Value::number(0)));
        std::uint32_t length = toUint32(m.toNumber(args.size() > 2 ? args[2] : Value::number(0)));
        const std::uint32_t available = h.position < std::uint32_t(h.data.size()) ? std::uint32_t(h.data.size()) - h.position : 0;
        if (length == 0)
            length = available;
        need(m, h, length);
        const QByteArray copy = h.data.mid(h.position, length);
        h.position += length;
        grow(m, *target, std::uint64_t(offset) + length);
        std::memcpy(target->data.data() + offset, copy.constData(), std::size_t(copy.size()));
        return Value::undefined();
    }, 3);
    method("readByte", [](Machine& m, const Value& self, Args) { return Value::number(readNumber<std::int8_t>(m, hostOf(m, self))); });
    method("readUnsignedByte", [](Machine& m, const Value& self, Args) { return Value::number(readNumber<std::uint8_t>(m, hostOf(m, self))); });
    method("readBoolean", [](Machine& m, const Value& self, Args) { return Value::boolean(readNumber<std::uint8_t>(m, hostOf(m, self)) != 0); });
    method("readShort", [](Machine& m, const Value& self, Args) { return Value::number(readNumber<std::int16_t>(m, hostOf(m, self))); });
    method("readUnsignedShort", [](Machine& m, const Value& self, Args) { return Value::number(readNumber<std::uint16_t>(m, hostOf(m, self))); });
    method("readInt", [](Machine& m, const Value& self, Args) { return Value::number(readNumber<std::int32_t>(m, hostOf(m, self))); });
    method("readUnsignedInt", [](Machine& m, const Value& self, Args) { return Value::number(readNumber<std::uint32_t>(m, hostOf(m, self))); });
    method("readFloat", [](Machine& m, const Value& self, Args) { return Value::number(readNumber<float>(m, hostOf(m, self))); });
    method("readDouble", [](Machine& m, const Value& self, Args) { return Value::number(readNumber<double>(m, hostOf(m, self))); });
    method("readUTFBytes", [](Machine& m, const Value& self, Args args) {
        ByteArrayHost& h = hostOf(m, self);
        const std::uint32_t n = toUint32(m.toNumber(arg(args, 0)));
        need(m, h, n);
        const QByteArray bytes = h.data.mid(h.position, n);
        h.position += n;
        return Value::string(decodeUtf8(bytes, true));
    }, 1);
    method("readUTF", [](Machine& m, const Value& self, Args) {
        ByteArrayHost& h = hostOf(m, self);
        const bool little = h.littleEndian;
        h.littleEndian = false;
        std::uint16_t n = 0;
        try {
            n = readNumber<std::uint16_t>(m, h);
        } catch (...) {
            h.littleEndian = little;
            throw;
        }
        h.littleEndian = little;
        need(m, h, n);
        const QByteArray bytes = h.data.mid(h.position, n);
        h.position += n;
        return Value::string(decodeUtf8(bytes, true));
    });
    method("readMultiByte", [](Machine& m, const Value& self, Args args) {
        ByteArrayHost& h = hostOf(m, self);
        const std::uint32_t n = toUint32(m.toNumber(arg(args, 0)));
        const QString charset = m.toString(arg(args, 1)).toLower();
        need(m, h, n);
        const QByteArray bytes = h.data.mid(h.position, n);
        h.position += n;
        if (charset == QLatin1String("utf-16") || charset == QLatin1String("unicode") || charset == QLatin1String("utf-16le"))
            return Value::string(decodeUtf16(bytes, false));
        if (charset == QLatin1String("utf-16be") || charset == QLatin1String("unicodefffe"))
            return Value::string(decodeUtf16(bytes, true));
        if (charset == QLatin1String("iso-8859-1") || charset == QLatin1String("latin1") || charset == QLatin1String("us-ascii"))
            return Value::string(QString::fromLatin1(bytes));
        if (QStringDecoder decoder(charset.toLatin1().constData()); decoder.isValid() && charset != QLatin1String("utf-8"))
            return Value::string(decoder.decode(bytes));
        return Value::string(decodeUtf8(bytes, true));
    }, 2);
    method("clear", [](Machine& m, const Value& self, Args) {
        ByteArrayHost& h = hostOf(m, self);
        h.data.clear();
        h.position = 0;
        return Value::undefined();
    });
    method("toString", [](Machine& m, const Value& self, Args) { return Value::string(decodeUtf8(hostOf(m, self).data, false)); });
    auto compress = [](bool raw) {
        return [raw](Machine& m, const Value& self, Args args) {
            ByteArrayHost& h = hostOf(m, self);
            h.data = deflateBytes(h.data, raw || isDeflate(m, args));
            h.position = std::uint32_t(h.data.size());
            return Value::undefined();
        };
    };
    auto uncompress = [](bool raw) {
        return [raw](Machine& m, const Value& self, Args args) {
            ByteArrayHost& h = hostOf(m, self);
            QByteArray out;
            if (!inflateBytes(h.data, out, raw || isDeflate(m, args)))
                throwPackageError(m, QStringLiteral("IOError"), 2058, QStringLiteral("There was an error decompressing the data."));
            h.data = out;
            h.position = 0;
            return Value::undefined();
        };
    };
    method("compress", compress(false), 1);
    method("deflate", compress(true));
    method("uncompress", uncompress(false), 1);
    method("inflate", uncompress(true));
}

} // namespace swf::avm2
