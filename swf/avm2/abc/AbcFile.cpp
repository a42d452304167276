#include "swf/avm2/abc/AbcFile.h"

#include "swf/io/Reader.h"

#include <cstring>
#include <limits>

namespace swf::avm2 {

namespace {

class AbcReader {
public:
    AbcReader(Reader& reader, const AbcLimits& limits, AbcFile& file) : m_in(reader), m_limits(limits), m_file(file) { }

    Result<void> readAll();

private:
    Result<std::uint32_t> u30() { return m_in.readEncodedU32(); }
    Result<std::uint32_t> count(std::uint32_t cap, const char* what);
    Result<std::uint32_t> index(std::size_t tableSize, const char* table);
    Result<std::uint32_t> stringIndex() { return index(m_file.strings.size(), "string"); }
    Result<std::uint32_t> multinameIndex() { return index(m_file.multinames.size(), "multiname"); }
    Result<void> readPools();
    Result<AbcMultiname> readMultiname();
    Result<void> readMethod(AbcMethod& method);
    Result<AbcConstant> readConstant(std::uint32_t valueIndex, std::uint8_t kind);
    Result<void> readTraits(std::vector<AbcTrait>& traits);
    Result<void> readInstance(AbcInstance& instance);
    Result<void> readBody(AbcBody& body);
    Error bad(const QString& what) const { return Error::at(m_in.offset(), what); }

    Reader& m_in;
    const AbcLimits& m_limits;
    AbcFile& m_file;
};

Result<std::uint32_t> AbcReader::count(std::uint32_t cap, const char* what)
{
    auto n = SWF_TRY(u30());
    // Every entry takes at least one byte, so more entries than bytes left is a lie.
    if (n > cap || n > m_in.remaining())
        return bad(QStringLiteral("%1 count %2 is larger than the file allows").arg(QLatin1String(what)).arg(n));
    return n;
}

Result<std::uint32_t> AbcReader::index(std::size_t tableSize, const char* table)
{
    auto i = SWF_TRY(u30());
    if (i >= tableSize)
        return bad(QStringLiteral("%1 index %2 outside its table of %3").arg(QLatin1String(table)).arg(i).arg(tableSize));
    return i;
}

Result<void> AbcReader::readPools()
{
    // Each pool's count includes the implied entry 0.
    auto ints = SWF_TRY(count(m_limits.maxPoolEntries, "int"));
    m_file.ints.assign(1, 0);
    for (std::uint32_t i = 1; i < ints; ++i)
        m_file.ints.push_back(std::int32_t(SWF_TRY(u30())));
    auto uints = SWF_TRY(count(m_limits.maxPoolEntries, "uint"));
    m_file.uints.assign(1, 0);
    for (std::uint32_t i = 1; i < uints; ++i)
        m_file.uints.push_back(SWF_TRY(u30()));
    auto doubles = SWF_TRY(count(m_limits.maxPoolEntries, "double"));
    m_file.doubles.assign(1, std::numeric_limits<double>::quiet_NaN());
    for (std::uint32_t i = 1; i < doubles; ++i)
    {
        // Plain little-endian IEEE doubles, unlike the word-swapped doubles of action blocks.
        auto bytes = SWF_TRY(m_in.readBytes(8));
        double v = 0;
        std::memcpy(&v, bytes.constData(), 8);
        m_file.doubles.push_back(v);
    }
    auto strings = SWF_TRY(count(m_limits.maxPoolEntries, "string"));
    m_file.strings.assign(1, QString());
    for (std::uint32_t i = 1; i < strings; ++i) {
        auto length = SWF_TRY(u30());
        auto bytes = SWF_TRY(m_in.readBytes(length));
        m_file.strings.push_back(QString::fromUtf8(bytes));
    }
    auto namespaces = SWF_TRY(count(m_limits.maxPoolEntries, "namespace"));
    m_file.namespaces.assign(1, AbcNamespace {});
    for (std::uint32_t i = 1; i < namespaces; ++i) {
        AbcNamespace ns;
        auto kind = SWF_TRY(m_in.readU8());
        switch (kind) {
        case 0x08: case 0x16: case 0x17: case 0x18: case 0x19: case 0x1A: case 0x05:
            ns.kind = NamespaceKind(kind);
            break;
        default:
            return bad(QStringLiteral("unknown namespace kind 0x%1").arg(kind, 2, 16, QLatin1Char('0')));
        }
        ns.name = SWF_TRY(stringIndex());
        m_file.namespaces.push_back(ns);
    }
    auto sets = SWF_TRY(count(m_limits.maxPoolEntries, "namespace set"));
    m_file.nsSets.assign(1, {});
    for (std::uint32_t i = 1; i < sets; ++i) {
        auto n = SWF_TRY(count(m_limits.maxPoolEntries, "namespace set member"));
        std::vector<std::uint32_t> set;
        set.reserve(n);
        for (std::uint32_t k = 0; k < n; ++k) {
            auto ns = SWF_TRY(index(m_file.namespaces.size(), "namespace"));
            if (ns == 0)
                return bad(QStringLiteral("a namespace set holds the any namespace"));
            set.push_back(ns);
        }
        m_file.nsSets.push_back(std::move(set));
    }
    auto multinames = SWF_TRY(count(m_limits.maxPoolEntries, "multiname"));
    m_file.multinames.assign(1, AbcMultiname {});
    for (std::uint32_t i = 1; i < multinames; ++i)
        m_file.multinames.push_back(SWF_TRY(readMultiname()));
    // A type name may refer to a later multiname: check them once all are read.
    for (const AbcMultiname& name : m_file.multinames) {
        if (name.kind != MultinameKind::TypeName)
            continue;
        if (name.base >= m_file.multinames.size())
            return bad(QStringLiteral("type name refers to multiname %1 of %2").arg(name.base).arg(m_file.multinames.size()));
        for (auto param : name.params) {
            if (param >= m_file.multinames.size())
                return bad(QStringLiteral("type parameter refers to multiname %1").arg(param));
        }
    }
    return {};
}

Result<AbcMultiname> AbcReader::readMultiname()
{
    AbcMultiname name;
    auto kind = SWF_TRY(m_in.readU8());
    name.kind = MultinameKind(kind);
    switch (kind) {
    case 0x07: case 0x0D:
        name.ns = SWF_TRY(index(m_file.namespaces.size(), "namespace"));
        name.name = SWF_TRY(stringIndex());
        break;
    case 0x0F: case 0x10:
        name.name = SWF_TRY(stringIndex());
        break;
    case 0x11: case 0x12:
        break;
    case 0x09: case 0x0E:
        name.name = SWF_TRY(stringIndex());
        name.nsSet = SWF_TRY(index(m_file.nsSets.size(), "namespace set"));
        if (name.nsSet == 0)
            return bad(QStringLiteral("multiname without a namespace set"));
        break;
    case 0x1B: case 0x1C:
        name.nsSet = SWF_TRY(index(m_file.nsSets.size(), "namespace set"));
        if (name.nsSet == 0)
            return bad(QStringLiteral("multiname without a namespace set"));
        break;
    case 0x1D: {
        name.base = SWF_TRY(u30());
        auto n = SWF_TRY(count(m_limits.maxParams, "type parameter"));
        for (std::uint32_t k = 0; k < n; ++k)
            name.params.push_back(SWF_TRY(u30()));
        break;
    }
    default:
        return bad(QStringLiteral("unknown multiname kind 0x%1").arg(kind, 2, 16, QLatin1Char('0')));
    }
    return name;
}

Result<AbcConstant> AbcReader::readConstant(std::uint32_t valueIndex, std::uint8_t kind)
{
    AbcConstant constant;
    constant.kind = ConstantKind(kind);
    constant.index = valueIndex;
    std::size_t limit = 0;
    switch (kind) {
    case 0x00: case 0x0A: case 0x0B: case 0x0C:
        return constant;
    case 0x01: limit = m_file.strings.size(); break;
    case 0x03: limit = m_file.ints.size(); break;
    case 0x04: limit = m_file.uints.size(); break;
    case 0x06: limit = m_file.doubles.size(); break;
    case 0x05: case 0x08: case 0x16: case 0x17: case 0x18: case 0x19: case 0x1A:
        limit = m_file.namespaces.size();
        break;
    default:
        return bad(QStringLiteral("unknown constant kind 0x%1").arg(kind, 2, 16, QLatin1Char('0')));
    }
    if (valueIndex >= limit)
        return bad(QStringLiteral("constant index %1 outside its pool").arg(valueIndex));
    return constant;
}

Result<void> AbcReader::readMethod(AbcMethod& method)
{
    auto params = SWF_TRY(count(m_limits.maxParams, "parameter"));
    method.returnType = SWF_TRY(multinameIndex());
    for (std::uint32_t i = 0; i < params; ++i)
        method.paramTypes.push_back(SWF_TRY(multinameIndex()));
    method.name = SWF_TRY(stringIndex());
    method.flags = SWF_TRY(m_in.readU8());
    if (method.flags & AbcMethod::HasOptional) {
        auto n = SWF_TRY(count(params, "optional parameter"));
        for (std::uint32_t i = 0; i < n; ++i) {
            auto value = SWF_TRY(u30());
            auto kind = SWF_TRY(m_in.readU8());
            method.optional.push_back(SWF_TRY(readConstant(value, kind)));
        }
    }
    if (method.flags & AbcMethod::HasParamNames) {
        for (std::uint32_t i = 0; i < params; ++i)
            method.paramNames.push_back(SWF_TRY(u30())); // debugging names only; not checked
    }
    return {};
}

Result<void> AbcReader::readTraits(std::vector<AbcTrait>& traits)
{
    auto n = SWF_TRY(count(m_limits.maxEntries, "trait"));
    traits.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        AbcTrait trait;
        trait.name = SWF_TRY(multinameIndex());
        const AbcMultiname& name = m_file.multinames[trait.name];
        if (trait.name == 0 || name.kind != MultinameKind::QName)
            return bad(QStringLiteral("trait named by multiname %1, not a qualified name").arg(trait.name));
        auto kind = SWF_TRY(m_in.readU8());
        trait.attributes = kind >> 4;
        switch (kind & 0x0f) {
        case 0: case 6: {
            trait.kind = TraitKind(kind & 0x0f);
            trait.slotId = SWF_TRY(u30());
            trait.typeName = SWF_TRY(multinameIndex());
            auto value = SWF_TRY(u30());
            std::uint8_t valueKind = 0;
            if (value != 0)
                valueKind = SWF_TRY(m_in.readU8());
            trait.value = SWF_TRY(readConstant(value, valueKind));
            break;
        }
        case 4:
            trait.kind = TraitKind::Class;
            trait.slotId = SWF_TRY(u30());
            trait.index = SWF_TRY(u30()); // checked by parse() once the classes are known
            break;
        case 1: case 2: case 3: case 5:
            trait.kind = TraitKind(kind & 0x0f);
            trait.slotId = SWF_TRY(u30());
            trait.index = SWF_TRY(index(m_file.methods.size(), "method"));
            break;
        default:
            return bad(QStringLiteral("unknown trait kind %1").arg(kind & 0x0f));
        }
        if (trait.attributes & 0x4) {
            auto m = SWF_TRY(count(m_limits.maxEntries, "trait metadata"));
            for (std::uint32_t k = 0; k < m; ++k)
                trait.metadata.push_back(SWF_TRY(index(m_file.metadata.size(), "metadata")));
        }
        traits.push_back(std::move(trait));
    }
    return {};
}

Result<void> AbcReader::readInstance(AbcInstance& instance)
{
    instance.name = SWF_TRY(multinameIndex());
    instance.superName = SWF_TRY(multinameIndex());
    instance.flags = SWF_TRY(m_in.readU8());
    if (instance.flags & AbcInstance::ProtectedNs)
        instance.protectedNs = SWF_TRY(index(m_file.namespaces.size(), "namespace"));
    auto n = SWF_TRY(count(m_limits.maxEntries, "interface"));
    for (std::uint32_t i = 0; i < n; ++i)
        instance.interfaces.push_back(SWF_TRY(multinameIndex()));
    instance.init = SWF_TRY(index(m_file.methods.size(), "method"));
    return readTraits(instance.traits);
}

Result<void> AbcReader::readBody(AbcBody& body)
{
    body.method = SWF_TRY(index(m_file.methods.size(), "method"));
    body.maxStack = SWF_TRY(u30());
    body.localCount = SWF_TRY(u30());
    body.initScopeDepth = SWF_TRY(u30());
    body.maxScopeDepth = SWF_TRY(u30());
    if (body.localCount > 65535 || body.maxStack > 65535 || body.maxScopeDepth > 65535)
        return bad(QStringLiteral("method body asks for more than 65535 locals, stack or scope entries"));
    if (body.initScopeDepth > body.maxScopeDepth)
        return bad(QStringLiteral("method body starts deeper than its scope allows"));
    auto length = SWF_TRY(u30());
    if (length > m_limits.maxCodeBytes)
        return bad(QStringLiteral("method body of %1 bytes").arg(length));
    body.code = SWF_TRY(m_in.readBytes(length));
    auto n = SWF_TRY(count(m_limits.maxEntries, "exception"));
    for (std::uint32_t i = 0; i < n; ++i) {
        AbcException e;
        e.from = SWF_TRY(u30());
        e.to = SWF_TRY(u30());
        e.target = SWF_TRY(u30());
        e.type = SWF_TRY(multinameIndex());
        e.varName = SWF_TRY(multinameIndex());
        if (e.from > e.to || e.to > length || e.target >= length)
            return bad(QStringLiteral("exception handler outside its method body"));
        body.exceptions.push_back(e);
    }
    return readTraits(body.traits);
}

Result<void> AbcReader::readAll()
{
    m_file.minorVersion = SWF_TRY(m_in.readU16());
    m_file.majorVersion = SWF_TRY(m_in.readU16());
    SWF_TRY_VOID(readPools());
    auto methods = SWF_TRY(count(m_limits.maxEntries, "method"));
    m_file.methods.resize(methods);
    for (auto& method : m_file.methods)
        SWF_TRY_VOID(readMethod(method));
    auto metadata = SWF_TRY(count(m_limits.maxEntries, "metadata"));
    for (std::uint32_t i = 0; i < metadata; ++i) {
        AbcMetadata entry;
        entry.name = SWF_TRY(stringIndex());
        auto n = SWF_TRY(count(m_limits.maxEntries, "metadata item"));
        std::vector<std::uint32_t> keys;
        for (std::uint32_t k = 0; k < n; ++k)
            keys.push_back(SWF_TRY(stringIndex()));
        for (std::uint32_t k = 0; k < n; ++k)
            entry.items.emplace_back(keys[k], SWF_TRY(stringIndex()));
        m_file.metadata.push_back(std::move(entry));
    }
    auto classes = SWF_TRY(count(m_limits.maxEntries, "class"));
    m_file.instances.resize(classes);
    for (auto& instance : m_file.instances)
        SWF_TRY_VOID(readInstance(instance));
    m_file.classes.resize(classes);
    for (auto& klass : m_file.classes) {
        klass.init = SWF_TRY(index(m_file.methods.size(), "method"));
        SWF_TRY_VOID(readTraits(klass.traits));
    }
    auto scripts = SWF_TRY(count(m_limits.maxEntries, "script"));
    m_file.scripts.resize(scripts);
    for (auto& script : m_file.scripts) {
        script.init = SWF_TRY(index(m_file.methods.size(), "method"));
        SWF_TRY_VOID(readTraits(script.traits));
    }
    auto bodies = SWF_TRY(count(m_limits.maxEntries, "method body"));
    m_file.bodies.resize(bodies);
    for (std::uint32_t i = 0; i < bodies; ++i) {
        SWF_TRY_VOID(readBody(m_file.bodies[i]));
        AbcMethod& method = m_file.methods[m_file.bodies[i].method];
        if (method.body >= 0)
            return bad(QStringLiteral("method %1 has two bodies").arg(m_file.bodies[i].method));
        method.body = int(i);
    }
    // Class traits name classes by index, known only now.
    auto checkClasses = [&](const std::vector<AbcTrait>& traits) -> Result<void> {
        for (const AbcTrait& trait : traits) {
            if (trait.kind == TraitKind::Class && trait.index >= m_file.classes.size())
                return bad(QStringLiteral("class trait refers to class %1 of %2").arg(trait.index).arg(m_file.classes.size()));
        }
        return {};
    };
    for (const auto& script : m_file.scripts)
        SWF_TRY_VOID(checkClasses(script.traits));
    for (const auto& klass : m_file.classes)
        SWF_TRY_VOID(checkClasses(klass.traits));
    for (const auto& instance : m_file.instances)
        SWF_TRY_VOID(checkClasses(instance.traits));
    for (const auto& body : m_file.bodies)
        SWF_TRY_VOID(checkClasses(body.traits));
    return {};
}

} // namespace

Result<AbcFile> AbcFile::parse(const QByteArray& bytes, const AbcLimits& limits)
{
    AbcFile file;
    Reader reader(bytes);
    AbcReader abc(reader, limits, file);
    SWF_TRY_VOID(abc.readAll());
    return file;
}

Result<DoAbcTag> readDoAbc(const QByteArray& body, bool withHeader)
{
    DoAbcTag tag;
    Reader reader(body);
    if (withHeader) {
        tag.flags = SWF_TRY(reader.readU32());
        tag.name = SWF_TRY(reader.readString(9));
    }
    tag.abc = reader.rest();
    return tag;
}

Result<std::vector<SymbolBinding>> readSymbolClass(const QByteArray& body)
{
    Reader reader(body);
    auto n = SWF_TRY(reader.readU16());
    std::vector<SymbolBinding> bindings;
    for (int i = 0; i < n; ++i) {
        SymbolBinding binding;
        binding.characterId = SWF_TRY(reader.readU16());
        binding.className = SWF_TRY(reader.readString(9));
        bindings.push_back(std::move(binding));
    }
    return bindings;
}

} // namespace swf::avm2
