#pragma once

// An ActionScript 3 bytecode file (the body of a DoABC tag) decoded into
// plain tables: the constant pools, method signatures, metadata, classes,
// scripts and method bodies. Every index read from the file is checked
// against its table here, so the machine can use them without checking again.

#include "swf/Result.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace swf::avm2 {

// Caps on what one file may declare; a count beyond them is refused before
// it sizes anything.
struct AbcLimits {
    std::uint32_t maxPoolEntries = 1u << 20;  // per constant pool
    std::uint32_t maxEntries = 1u << 18;      // methods, classes, scripts, bodies, traits of one owner
    std::uint32_t maxParams = 4096;           // parameters of one method
    std::uint32_t maxCodeBytes = 1u << 24;    // one method body
};

enum class NamespaceKind : std::uint8_t {
    Namespace = 0x08,
    Package = 0x16,
    PackageInternal = 0x17,
    Protected = 0x18,
    Explicit = 0x19,
    StaticProtected = 0x1A,
    Private = 0x05,
};

struct AbcNamespace {
    NamespaceKind kind = NamespaceKind::Package;
    std::uint32_t name = 0; // string index; 0 is "any"
};

enum class MultinameKind : std::uint8_t {
    QName = 0x07,
    QNameA = 0x0D,
    RTQName = 0x0F,
    RTQNameA = 0x10,
    RTQNameL = 0x11,
    RTQNameLA = 0x12,
    Multiname = 0x09,
    MultinameA = 0x0E,
    MultinameL = 0x1B,
    MultinameLA = 0x1C,
    TypeName = 0x1D,
};

struct AbcMultiname {
    MultinameKind kind = MultinameKind::QName;
    std::uint32_t ns = 0;      // QName: namespace index (0: any)
    std::uint32_t name = 0;    // string index (0: any); absent for the late kinds
    std::uint32_t nsSet = 0;   // Multiname, MultinameL
    std::uint32_t base = 0;    // TypeName: the generic's multiname
    std::vector<std::uint32_t> params; // TypeName: the type parameters' multinames

    // The namespace comes from the stack at run time.
    bool runtimeNamespace() const
    {
        return kind == MultinameKind::RTQName || kind == MultinameKind::RTQNameA || kind == MultinameKind::RTQNameL
            || kind == MultinameKind::RTQNameLA;
    }
    // The local name comes from the stack at run time.
    bool runtimeName() const
    {
        return kind == MultinameKind::RTQNameL || kind == MultinameKind::RTQNameLA || kind == MultinameKind::MultinameL
            || kind == MultinameKind::MultinameLA;
    }
    bool attribute() const
    {
        return kind == MultinameKind::QNameA || kind == MultinameKind::RTQNameA || kind == MultinameKind::RTQNameLA
            || kind == MultinameKind::MultinameA || kind == MultinameKind::MultinameLA;
    }
};

// A constant's kind in optional parameters and slot initial values.
enum class ConstantKind : std::uint8_t {
    Undefined = 0x00,
    Utf8 = 0x01,
    Int = 0x03,
    Uint = 0x04,
    PrivateNs = 0x05,
    Double = 0x06,
    Namespace = 0x08,
    False = 0x0A,
    True = 0x0B,
    Null = 0x0C,
    PackageNs = 0x16,
    PackageInternalNs = 0x17,
    ProtectedNs = 0x18,
    ExplicitNs = 0x19,
    StaticProtectedNs = 0x1A,
};

struct AbcConstant {
    ConstantKind kind = ConstantKind::Undefined;
    std::uint32_t index = 0; // into the pool the kind names
};

struct AbcMethod {
    enum Flag : std::uint8_t {
        NeedArguments = 0x01,
        NeedActivation = 0x02,
        NeedRest = 0x04,
        HasOptional = 0x08,
        SetDxns = 0x40,
        HasParamNames = 0x80,
    };
    std::vector<std::uint32_t> paramTypes; // multiname indexes (0: any)
    std::uint32_t returnType = 0;
    std::uint32_t name = 0;
    std::uint8_t flags = 0;
    std::vector<AbcConstant> optional; // defaults of the last parameters
    std::vector<std::uint32_t> paramNames;
    int body = -1; // index of its body, -1 for a native or abstract method
};

struct AbcMetadata {
    std::uint32_t name = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> items; // key, value string indexes
};

enum class TraitKind : std::uint8_t { Slot = 0, Method = 1, Getter = 2, Setter = 3, Class = 4, Function = 5, Const = 6 };

struct AbcTrait {
    std::uint32_t name = 0; // a QName multiname
    TraitKind kind = TraitKind::Slot;
    std::uint8_t attributes = 0; // 1 final, 2 override, 4 metadata
    std::uint32_t slotId = 0;    // slot id, or dispatch id of a method
    std::uint32_t typeName = 0;  // Slot/Const: the declared type's multiname
    AbcConstant value;           // Slot/Const: the initial value
    std::uint32_t index = 0;     // Class: class index; Method/Getter/Setter/Function: method index
    std::vector<std::uint32_t> metadata;
};

struct AbcInstance {
    enum Flag : std::uint8_t { Sealed = 0x01, Final = 0x02, Interface = 0x04, ProtectedNs = 0x08 };
    std::uint32_t name = 0;
    std::uint32_t superName = 0;
    std::uint8_t flags = 0;
    std::uint32_t protectedNs = 0;
    std::vector<std::uint32_t> interfaces;
    std::uint32_t init = 0; // the constructor method
    std::vector<AbcTrait> traits;
};

struct AbcClass {
    std::uint32_t init = 0; // the static initializer
    std::vector<AbcTrait> traits;
};

struct AbcScript {
    std::uint32_t init = 0;
    std::vector<AbcTrait> traits;
};

struct AbcException {
    std::uint32_t from = 0, to = 0, target = 0; // byte offsets into the code
    std::uint32_t type = 0;    // multiname of the type caught, 0: any
    std::uint32_t varName = 0; // multiname of the catch variable
};

struct AbcBody {
    std::uint32_t method = 0;
    std::uint32_t maxStack = 0;
    std::uint32_t localCount = 0;
    std::uint32_t initScopeDepth = 0;
    std::uint32_t maxScopeDepth = 0;
    QByteArray code;
    std::vector<AbcException> exceptions;
    std::vector<AbcTrait> traits; // of the activation object
};

struct AbcFile {
    std::uint16_t minorVersion = 0;
    std::uint16_t majorVersion = 0;
    // Index 0 of each pool is the implied entry (0, "", any, ...).
    std::vector<std::int32_t> ints;
    std::vector<std::uint32_t> uints;
    std::vector<double> doubles;
    std::vector<QString> strings;
    std::vector<AbcNamespace> namespaces;
    std::vector<std::vector<std::uint32_t>> nsSets;
    std::vector<AbcMultiname> multinames;
    std::vector<AbcMethod> methods;
    std::vector<AbcMetadata> metadata;
    std::vector<AbcInstance> instances;
    std::vector<AbcClass> classes;
    std::vector<AbcScript> scripts;
    std::vector<AbcBody> bodies;

    // Reads a whole file; every index is checked against its table.
    static Result<AbcFile> parse(const QByteArray& bytes, const AbcLimits& limits = {});

    const QString& string(std::uint32_t index) const { return strings[index]; }
};

// The DoABC tag: flags (1: lazy initialization), a name, then the file.
// DoABC without flags and name (code 72) carries the file alone.
struct DoAbcTag {
    std::uint32_t flags = 0;
    QString name;
    QByteArray abc;
};
Result<DoAbcTag> readDoAbc(const QByteArray& body, bool withHeader);

// SymbolClass: character ids bound to class names (id 0 is the main timeline).
struct SymbolBinding {
    std::uint16_t characterId = 0;
    QString className;
};
Result<std::vector<SymbolBinding>> readSymbolClass(const QByteArray& body);

} // namespace swf::avm2
