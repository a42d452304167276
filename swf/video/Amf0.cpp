#include "swf/video/Amf0.h"

#include <cstring>

namespace swf {

const AmfValue* AmfValue::member(const QString& name) const
{
    for (std::size_t i = 0; i < memberNames.size(); ++i) {
        if (memberNames[i] == name)
            return &memberValues[i];
    }
    return nullptr;
}

namespace {

class AmfReader {
public:
    AmfReader(const QByteArray& bytes, std::size_t& pos, const AmfLimits& limits) : m_bytes(bytes), m_pos(pos), m_limits(limits) { }

    Result<AmfValue> value(int depth);

private:
    Error fault(const QString& what) const { return Error::at(qint64(m_pos), what, ErrorKind::Corrupt); }
    bool has(std::size_t n) const { return n <= std::size_t(m_bytes.size()) - m_pos; }
    Result<std::uint32_t> unsignedBE(int bytes);
    Result<double> number();
    Result<QString> string(std::size_t length);
    Result<QString> shortString();
    Result<void> members(AmfValue& into, int depth);
    Result<void> countEntry();

    const QByteArray& m_bytes;
    std::size_t& m_pos;
    AmfLimits m_limits;
    int m_entries = 0;
};

Result<std::uint32_t> AmfReader::unsignedBE(int bytes)
{
    if (!has(std::size_t(bytes)))
        return Error::at(qint64(m_pos), QStringLiteral("script data ends inside a value"), ErrorKind::Truncated);
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | std::uint8_t(m_bytes[qsizetype(m_pos++)]);
    return v;
}

Result<double> AmfReader::number()
{
    const std::uint64_t hi = SWF_TRY(unsignedBE(4));
    const std::uint64_t lo = SWF_TRY(unsignedBE(4));
    const std::uint64_t bits = hi << 32 | lo;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

Result<QString> AmfReader::string(std::size_t length)
{
    if (!has(length))
        return Error::at(qint64(m_pos), QStringLiteral("script string runs past its tag"), ErrorKind::Truncated);
    QString s = QString::fromUtf8(m_bytes.constData() + m_pos, qsizetype(length));
    m_pos += length;
    return s;
}

Result<QString> AmfReader::shortString()
{
    return string(SWF_TRY(unsignedBE(2)));
}

Result<void> AmfReader::countEntry()
{
    if (++m_entries > m_limits.maxEntries)
        return Error::at(qint64(m_pos), QStringLiteral("more than %1 script values").arg(m_limits.maxEntries), ErrorKind::TooLarge);
    return {};
}

// Name and value pairs up to the empty name and object-end marker; a list
// cut short by the end of the data keeps what it has.
Result<void> AmfReader::members(AmfValue& into, int depth)
{
    while (has(3)) {
        QString name = SWF_TRY(shortString());
        if (name.isEmpty() && has(1) && m_bytes[qsizetype(m_pos)] == 9) {
            ++m_pos;
            return {};
        }
        SWF_TRY_VOID(countEntry());
        into.memberValues.push_back(SWF_TRY(value(depth + 1)));
        into.memberNames.push_back(std::move(name));
    }
    m_pos = std::size_t(m_bytes.size());
    return {};
}

Result<AmfValue> AmfReader::value(int depth)
{
    if (depth > m_limits.maxDepth)
        return Error::at(qint64(m_pos), QStringLiteral("script values nested too deeply"), ErrorKind::TooLarge);
    const qint64 start = qint64(m_pos);
    const auto marker = SWF_TRY(unsignedBE(1));
    AmfValue v;
    switch (marker) {
    case 0:
        v.type = AmfValue::Type::Number;
        v.number = SWF_TRY(number());
        return v;
    case 1:
        v.type = AmfValue::Type::Boolean;
        v.number = SWF_TRY(unsignedBE(1)) ? 1 : 0;
        return v;
    case 2:
        v.type = AmfValue::Type::String;
        v.string = SWF_TRY(shortString());
        return v;
    case 12: // long string
        v.type = AmfValue::Type::String;
        v.string = SWF_TRY(string(SWF_TRY(unsignedBE(4))));
        return v;
    case 3: // object
        v.type = AmfValue::Type::Object;
        SWF_TRY_VOID(members(v, depth));
        return v;
    case 8: // associative array: a count that is only a hint, then members as an object
        v.type = AmfValue::Type::Object;
        SWF_TRY(unsignedBE(4));
        SWF_TRY_VOID(members(v, depth));
        return v;
    case 10: { // strict array
        v.type = AmfValue::Type::Array;
        const std::uint32_t count = SWF_TRY(unsignedBE(4));
        for (std::uint32_t i = 0; i < count; ++i) {
            SWF_TRY_VOID(countEntry());
            v.items.push_back(SWF_TRY(value(depth + 1)));
        }
        return v;
    }
    case 11: // date: milliseconds, then a time zone nobody uses
        v.type = AmfValue::Type::Date;
        v.number = SWF_TRY(number());
        SWF_TRY(unsignedBE(2));
        return v;
    case 5:
        v.type = AmfValue::Type::Null;
        return v;
    case 6:
        v.type = AmfValue::Type::Undefined;
        return v;
    default:
        return Error::at(start, QStringLiteral("unknown script value type %1").arg(marker), ErrorKind::Unsupported);
    }
}

} // namespace

Result<AmfValue> readAmf0(const QByteArray& bytes, std::size_t& pos, const AmfLimits& limits)
{
    if (pos > std::size_t(bytes.size()))
        return Error::at(qint64(pos), QStringLiteral("script data starts past its end"), ErrorKind::Truncated);
    AmfReader reader(bytes, pos, limits);
    return reader.value(0);
}

} // namespace swf
