// The bytecode file reader: pools, names, signatures, traits, bodies, and
// the refusals of counts and indexes a damaged file gets wrong.

#include "Avm2TestSupport.h"
#include "swf/avm2/abc/AbcFile.h"

#include <gtest/gtest.h>

using namespace swf::avm2;
using namespace avm2test;

TEST(AbcFile, ReadsPoolsNamesAndSignatures)
{
    AbcWriter w;
    std::uint32_t seven = w.integer(-7);
    std::uint32_t half = w.number(0.5);
    std::uint32_t pkg = w.ns(0x16, QStringLiteral("flash.display"));
    std::uint32_t set = w.nsSet({ w.publicNs(), pkg });
    std::uint32_t sprite = w.qname(pkg, QStringLiteral("Sprite"));
    std::uint32_t any = w.multiname(QStringLiteral("x"), set);
    std::uint32_t late = w.multinameL(set);
    // Two parameters, the second optional (defaults to the int -7), then rest.
    std::uint32_t m = w.method(2, 0x04, { { seven, 0x03 } });
    Code code;
    code.op(Op::ReturnVoid);
    w.body(m, code, 1, 3);
    w.script(m, { abcw::Trait::slot(sprite, 1) });

    auto parsed = AbcFile::parse(w.finish());
    ASSERT_TRUE(parsed.ok()) << parsed.error().detail.toStdString();
    const AbcFile& f = parsed.value();
    EXPECT_EQ(f.ints[seven], -7);
    EXPECT_EQ(f.doubles[half], 0.5);
    EXPECT_EQ(f.string(f.namespaces[pkg].name), QStringLiteral("flash.display"));
    EXPECT_EQ(f.namespaces[pkg].kind, NamespaceKind::Package);
    EXPECT_EQ(f.nsSets[set].size(), 2u);
    EXPECT_EQ(f.multinames[any].kind, MultinameKind::Multiname);
    EXPECT_TRUE(f.multinames[late].runtimeName());
    ASSERT_EQ(f.methods.size(), 1u);
    EXPECT_EQ(f.methods[0].paramTypes.size(), 2u);
    ASSERT_EQ(f.methods[0].optional.size(), 1u);
    EXPECT_EQ(f.methods[0].optional[0].kind, ConstantKind::Int);
    EXPECT_EQ(f.methods[0].body, 0);
    ASSERT_EQ(f.scripts.size(), 1u);
    EXPECT_EQ(f.scripts[0].traits[0].slotId, 1u);
    EXPECT_EQ(f.bodies[0].localCount, 3u);
}

TEST(AbcFile, RefusesIndexesOutsideTheirTables)
{
    struct Row {
        const char* name;
        QByteArray bytes;
    };
    QByteArray header("\x10\x00\x2e\x00", 4);
    const Row rows[] = {
        // int pool claims a million entries in a few bytes
        { "huge count", header + QByteArray("\xff\xff\x3f", 3) },
        // one namespace naming string 5 of an empty string pool
        { "namespace string", header + QByteArray("\x00\x00\x00\x00\x02\x16\x05", 7) },
        // a QName multiname naming namespace 3 of none
        { "multiname namespace", header + QByteArray("\x00\x00\x00\x00\x00\x00\x02\x07\x03\x00", 10) },
        // an unknown multiname kind
        { "multiname kind", header + QByteArray("\x00\x00\x00\x00\x00\x00\x02\x42", 8) },
        // a method whose return type is multiname 9
        { "method type", header + QByteArray("\x00\x00\x00\x00\x00\x00\x00\x01\x00\x09", 10) },
        // the file ends inside the pools
        { "truncated", header + QByteArray("\x00\x00", 2) },
    };
    for (const Row& row : rows) {
        auto parsed = AbcFile::parse(row.bytes);
        EXPECT_FALSE(parsed.ok()) << row.name;
    }
}

TEST(AbcFile, RefusesExceptionHandlersOutsideTheBody)
{
    AbcWriter w;
    std::uint32_t m = w.method();
    Code code;
    code.op(Op::ReturnVoid);
    w.body(m, code, 1, 1, 0, 1, { abcw::Exception { 0, 1, 5, 0, 0 } }); // target byte 5 of a 1-byte body
    w.script(m);
    EXPECT_FALSE(AbcFile::parse(w.finish()).ok());
}

TEST(AbcFile, ReadsDoAbcAndSymbolClassTags)
{
    QByteArray body("\x01\x00\x00\x00name\0abc", 12);
    auto tag = readDoAbc(body, true);
    ASSERT_TRUE(tag.ok());
    EXPECT_EQ(tag.value().flags, 1u);
    EXPECT_EQ(tag.value().name, QStringLiteral("name"));
    EXPECT_EQ(tag.value().abc, QByteArray("abc"));
    EXPECT_EQ(readDoAbc(QByteArray("xyz"), false).value().abc, QByteArray("xyz"));

    QByteArray symbols("\x02\x00\x00\x00Main\0\x05\x00pkg.Ball\0", 20);
    auto bindings = readSymbolClass(symbols);
    ASSERT_TRUE(bindings.ok());
    ASSERT_EQ(bindings.value().size(), 2u);
    EXPECT_EQ(bindings.value()[1].characterId, 5);
    EXPECT_EQ(bindings.value()[1].className, QStringLiteral("pkg.Ball"));
    EXPECT_FALSE(readSymbolClass(QByteArray("\x03\x00\x01", 3)).ok()); // three bindings promised, none there
}
