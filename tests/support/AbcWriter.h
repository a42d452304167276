#pragma once

// Hand-assembles bytecode files for the ActionScript 3 tests: constant pools
// filled on demand, methods with their bodies, classes and scripts, and a
// code builder with labels for branches. finish() lays the file out in the
// order the reader expects. Movies wrap the file in FileAttributes (AS3),
// DoABC and SymbolClass through the SWF writer.

#include "swf/avm2/abc/Opcodes.h"
#include "tools/swfwriter/Movie.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

namespace abcw {

using swf::avm2::Op;

inline void u30(QByteArray& out, std::uint32_t v)
{
    do {
        std::uint8_t byte = v & 0x7f;
        v >>= 7;
        if (v)
            byte |= 0x80;
        out.append(char(byte));
    } while (v);
}

// One method body's code, with forward and backward labels.
class Code {
public:
    Code& op(Op o)
    {
        m_bytes.append(char(std::uint8_t(o)));
        return *this;
    }
    Code& op(Op o, std::uint32_t a)
    {
        op(o);
        if (o == Op::PushByte || o == Op::GetScopeObject)
            m_bytes.append(char(a));
        else
            u30(m_bytes, a);
        return *this;
    }
    Code& op(Op o, std::uint32_t a, std::uint32_t b)
    {
        op(o);
        u30(m_bytes, a);
        u30(m_bytes, b);
        return *this;
    }
    // A branch to `label`, resolved when the label is placed (or already was).
    Code& branch(Op o, const QString& label)
    {
        op(o);
        m_fixups.push_back({ int(m_bytes.size()), int(m_bytes.size()) + 3, label });
        m_bytes.append(QByteArray(3, '\0'));
        return *this;
    }
    // A branch with a raw offset, for refusals of bad jumps.
    Code& branchBy(Op o, std::int32_t offset)
    {
        op(o);
        for (int i = 0; i < 3; ++i)
            m_bytes.append(char((offset >> (8 * i)) & 0xff));
        return *this;
    }
    Code& label(const QString& name)
    {
        m_labels[name] = int(m_bytes.size());
        return *this;
    }
    Code& raw(const QByteArray& bytes)
    {
        m_bytes.append(bytes);
        return *this;
    }
    int offset() const { return int(m_bytes.size()); }
    int labelOffset(const QString& name) const { return m_labels.at(name); }
    QByteArray bytes() const
    {
        QByteArray out = m_bytes;
        for (const Fixup& f : m_fixups) {
            std::int32_t delta = m_labels.at(f.label) - f.base;
            for (int i = 0; i < 3; ++i)
                out[f.at + i] = char((delta >> (8 * i)) & 0xff);
        }
        return out;
    }

private:
    struct Fixup {
        int at;
        int base;
        QString label;
    };
    QByteArray m_bytes;
    std::vector<Fixup> m_fixups;
    std::map<QString, int> m_labels;
};

struct Trait {
    std::uint32_t name = 0;
    std::uint8_t kind = 0; // low nibble: 0 slot, 1 method, 2 getter, 3 setter, 4 class, 5 function, 6 const
    std::uint32_t slotId = 0;
    std::uint32_t typeName = 0;
    std::uint32_t index = 0; // method or class index, or slot value index
    std::uint8_t valueKind = 0;

    static Trait slot(std::uint32_t name, std::uint32_t slotId = 0, std::uint32_t typeName = 0)
    {
        return Trait { name, 0, slotId, typeName, 0, 0 };
    }
    static Trait method(std::uint32_t name, std::uint32_t method, std::uint8_t kind = 1)
    {
        return Trait { name, kind, 0, 0, method, 0 };
    }
    static Trait classTrait(std::uint32_t name, std::uint32_t index, std::uint32_t slotId = 0)
    {
        return Trait { name, 4, slotId, 0, index, 0 };
    }
};

struct Exception {
    std::uint32_t from, to, target, type, varName;
};

class AbcWriter {
public:
    std::uint32_t string(const QString& s) { return intern(m_strings, s); }
    std::uint32_t integer(std::int32_t v) { return intern(m_ints, v); }
    std::uint32_t number(double v) { return intern(m_doubles, v); }
    // kind: 0x16 package, 0x17 internal, 0x05 private, 0x18 protected, 0x08 namespace.
    std::uint32_t ns(std::uint8_t kind, const QString& uri)
    {
        QByteArray entry;
        entry.append(char(kind));
        u30(entry, string(uri));
        return intern(m_namespaces, entry);
    }
    std::uint32_t publicNs() { return ns(0x16, QString()); }
    std::uint32_t nsSet(const std::vector<std::uint32_t>& set)
    {
        QByteArray entry;
        u30(entry, std::uint32_t(set.size()));
        for (auto n : set)
            u30(entry, n);
        return intern(m_nsSets, entry);
    }
    std::uint32_t qname(std::uint32_t ns, const QString& name)
    {
        QByteArray entry(1, char(0x07));
        u30(entry, ns);
        u30(entry, string(name));
        return intern(m_multinames, entry);
    }
    std::uint32_t publicName(const QString& name) { return qname(publicNs(), name); }
    std::uint32_t multiname(const QString& name, std::uint32_t set)
    {
        QByteArray entry(1, char(0x09));
        u30(entry, string(name));
        u30(entry, set);
        return intern(m_multinames, entry);
    }
    std::uint32_t multinameL(std::uint32_t set)
    {
        QByteArray entry(1, char(0x1B));
        u30(entry, set);
        return intern(m_multinames, entry);
    }
    std::uint32_t rawMultiname(const QByteArray& entry) { return intern(m_multinames, entry); }

    // A method signature: `params` parameters of any type; optional defaults as (value index, kind).
    std::uint32_t method(std::uint32_t params = 0, std::uint8_t flags = 0,
        const std::vector<std::pair<std::uint32_t, std::uint8_t>>& optional = {}, std::uint32_t paramType = 0,
        std::uint32_t returnType = 0)
    {
        QByteArray entry;
        u30(entry, params);
        u30(entry, returnType); // 0: any
        for (std::uint32_t i = 0; i < params; ++i)
            u30(entry, paramType);
        u30(entry, 0); // no name
        entry.append(char(flags | (optional.empty() ? 0 : 0x08)));
        if (!optional.empty()) {
            u30(entry, std::uint32_t(optional.size()));
            for (auto [value, kind] : optional) {
                u30(entry, value);
                entry.append(char(kind));
            }
        }
        m_methods.push_back(entry);
        return std::uint32_t(m_methods.size() - 1);
    }
    void body(std::uint32_t method, const Code& code, std::uint32_t maxStack, std::uint32_t locals,
        std::uint32_t initScope = 0, std::uint32_t maxScope = 4, const std::vector<Exception>& exceptions = {},
        const std::vector<Trait>& traits = {})
    {
        QByteArray entry;
        u30(entry, method);
        u30(entry, maxStack);
        u30(entry, locals);
        u30(entry, initScope);
        u30(entry, maxScope);
        QByteArray bytes = code.bytes();
        u30(entry, std::uint32_t(bytes.size()));
        entry.append(bytes);
        u30(entry, std::uint32_t(exceptions.size()));
        for (const Exception& e : exceptions) {
            u30(entry, e.from);
            u30(entry, e.to);
            u30(entry, e.target);
            u30(entry, e.type);
            u30(entry, e.varName);
        }
        writeTraits(entry, traits);
        m_bodies.push_back(entry);
    }
    // A class: its name, base, constructor and static initializer, instance and static traits.
    std::uint32_t classDef(std::uint32_t name, std::uint32_t superName, std::uint32_t iinit, std::uint32_t cinit,
        const std::vector<Trait>& instanceTraits = {}, const std::vector<Trait>& staticTraits = {}, std::uint8_t flags = 0x01)
    {
        QByteArray instance;
        u30(instance, name);
        u30(instance, superName);
        instance.append(char(flags));
        u30(instance, 0); // no interfaces
        u30(instance, iinit);
        writeTraits(instance, instanceTraits);
        m_instances.push_back(instance);
        QByteArray cls;
        u30(cls, cinit);
        writeTraits(cls, staticTraits);
        m_classes.push_back(cls);
        return std::uint32_t(m_classes.size() - 1);
    }
    void script(std::uint32_t init, const std::vector<Trait>& traits = {})
    {
        QByteArray entry;
        u30(entry, init);
        writeTraits(entry, traits);
        m_scripts.push_back(entry);
    }

    QByteArray finish() const
    {
        QByteArray out;
        out.append(char(16)).append(char(0)).append(char(46)).append(char(0)); // minor 16, major 46
        auto pool = [&](const auto& entries, auto write) {
            u30(out, entries.empty() ? 0 : std::uint32_t(entries.size() + 1));
            for (const auto& e : entries)
                write(e);
        };
        pool(m_ints, [&](std::int32_t v) { u30(out, std::uint32_t(v)); });
        u30(out, 0); // no uints
        pool(m_doubles, [&](double v) {
            char bytes[8];
            std::memcpy(bytes, &v, 8);
            out.append(bytes, 8);
        });
        pool(m_strings, [&](const QString& s) {
            QByteArray utf8 = s.toUtf8();
            u30(out, std::uint32_t(utf8.size()));
            out.append(utf8);
        });
        pool(m_namespaces, [&](const QByteArray& e) { out.append(e); });
        pool(m_nsSets, [&](const QByteArray& e) { out.append(e); });
        pool(m_multinames, [&](const QByteArray& e) { out.append(e); });
        list(out, m_methods);
        u30(out, 0); // no metadata
        u30(out, std::uint32_t(m_classes.size()));
        for (const auto& e : m_instances)
            out.append(e);
        for (const auto& e : m_classes)
            out.append(e);
        list(out, m_scripts);
        list(out, m_bodies);
        return out;
    }

    // A movie of `frames` frames whose scripts are this file, with `documentClass` bound to the root.
    QByteArray movie(const QString& documentClass = QString(), int frames = 1) const
    {
        swfw::Movie movie(10, 100, 100, 24);
        movie.fileAttributes(0x08); // ActionScript 3
        QByteArray doAbc;
        doAbc.append(QByteArray(4, '\0')); // flags: run at once
        doAbc.append("test\0", 5);
        doAbc.append(finish());
        movie.tag(82, doAbc, true);
        if (!documentClass.isEmpty()) {
            QByteArray symbols;
            symbols.append(char(1)).append(char(0)); // one binding
            symbols.append(char(0)).append(char(0)); // character 0: the root
            symbols.append(documentClass.toUtf8()).append('\0');
            movie.tag(76, symbols);
        }
        for (int i = 0; i < frames; ++i)
            movie.showFrame();
        return movie.bytes();
    }

private:
    template<typename T>
    static std::uint32_t intern(std::vector<T>& pool, const T& value)
    {
        for (std::size_t i = 0; i < pool.size(); ++i) {
            if (pool[i] == value)
                return std::uint32_t(i + 1);
        }
        pool.push_back(value);
        return std::uint32_t(pool.size());
    }
    static void list(QByteArray& out, const std::vector<QByteArray>& entries)
    {
        u30(out, std::uint32_t(entries.size()));
        for (const auto& e : entries)
            out.append(e);
    }
    static void writeTraits(QByteArray& out, const std::vector<Trait>& traits)
    {
        u30(out, std::uint32_t(traits.size()));
        for (const Trait& t : traits) {
            u30(out, t.name);
            out.append(char(t.kind));
            switch (t.kind & 0x0f) {
            case 0: case 6:
                u30(out, t.slotId);
                u30(out, t.typeName);
                u30(out, t.index);
                if (t.index)
                    out.append(char(t.valueKind));
                break;
            default:
                u30(out, t.slotId);
                u30(out, t.index);
                break;
            }
        }
    }

    std::vector<std::int32_t> m_ints;
    std::vector<double> m_doubles;
    std::vector<QString> m_strings;
    std::vector<QByteArray> m_namespaces;
    std::vector<QByteArray> m_nsSets;
    std::vector<QByteArray> m_multinames;
    std::vector<QByteArray> m_methods;
    std::vector<QByteArray> m_instances;
    std::vector<QByteArray> m_classes;
    std::vector<QByteArray> m_scripts;
    std::vector<QByteArray> m_bodies;
};

} // namespace abcw
