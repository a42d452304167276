// The .sol reader and writer: a save built byte by byte reads back to the
// values written into it; what we write reads back the same; damaged files
// fail with a reason instead of giving half a save.

#include "swf/archive/SolFile.h"

#include <gtest/gtest.h>

using swf::archive::SolFile;
using swf::archive::SolObject;
using swf::archive::SolValue;

namespace {

QByteArray bytes(std::initializer_list<int> b)
{
    QByteArray out;
    for (int v : b)
        out += char(v);
    return out;
}

// A whole file around `body` (the name "hs", AMF0).
QByteArray solFile(const QByteArray& body)
{
    QByteArray rest = "TCSO" + bytes({ 0, 4, 0, 0, 0, 0 }) // signature and padding
        + bytes({ 0, 2 }) + "hs"                           // the save's name
        + bytes({ 0, 0, 0, 0 })                            // AMF0
        + body;
    const int n = int(rest.size());
    return bytes({ 0x00, 0xBF, n >> 24 & 255, n >> 16 & 255, n >> 8 & 255, n & 255 }) + rest;
}

const SolValue* member(const std::vector<std::pair<QString, SolValue>>& members, const char* name)
{
    for (const auto& [k, v] : members) {
        if (k == QLatin1String(name))
            return &v;
    }
    return nullptr;
}

} // namespace

TEST(SolFile, ReadsAHandBuiltSave)
{
    const QByteArray body = bytes({ 0, 5 }) + "score" + bytes({ 0x00, 0x40, 0x59, 0, 0, 0, 0, 0, 0 }) + bytes({ 0 }) // score = 100.0
        + bytes({ 0, 4 }) + "name" + bytes({ 0x02, 0, 3 }) + "Ann" + bytes({ 0 })                               // name = "Ann"
        + bytes({ 0, 4 }) + "done" + bytes({ 0x01, 1 }) + bytes({ 0 })                                          // done = true
        + bytes({ 0, 5 }) + "level" + bytes({ 0x03 })                                                            // level = {
        + bytes({ 0, 1 }) + "n" + bytes({ 0x00, 0x40, 0x08, 0, 0, 0, 0, 0, 0 })                                  //   n: 3.0
        + bytes({ 0, 0, 0x09 }) + bytes({ 0 })                                                                   // }
        + bytes({ 0, 4 }) + "same" + bytes({ 0x07, 0, 0 }) + bytes({ 0 });                                       // same = reference to level
    auto file = SolFile::read(solFile(body));
    ASSERT_TRUE(file.ok()) << qPrintable(file.error().detail);
    const SolFile& f = file.value();
    EXPECT_EQ(f.name, QStringLiteral("hs"));
    ASSERT_EQ(f.data.size(), 5u);
    EXPECT_EQ(member(f.data, "score")->number, 100.0);
    EXPECT_EQ(member(f.data, "name")->string, QStringLiteral("Ann"));
    EXPECT_TRUE(member(f.data, "done")->boolean);
    const SolValue* level = member(f.data, "level");
    ASSERT_EQ(level->type, SolValue::Type::Object);
    EXPECT_EQ(member(f.data, "same")->object, level->object);
    EXPECT_EQ(member(f.objects[size_t(level->object)].members, "n")->number, 3.0);
}

TEST(SolFile, WritesWhatItReads)
{
    SolFile f;
    f.name = QStringLiteral("save");
    f.objects.push_back({ false, {}, {} });
    f.objects.push_back({ true, {}, {} });
    // An object that holds itself and an array.
    f.objects[0].members = { { "self", SolValue::ofObject(0) }, { "list", SolValue::ofObject(1) } };
    f.objects[1].members = { { "0", SolValue::ofString(QStringLiteral("汉字")) }, { "1", SolValue::ofNumber(-2.5) } };
    f.data = { { "root", SolValue::ofObject(0) }, { "flag", SolValue::ofBoolean(false) } };

    auto back = SolFile::read(f.write());
    ASSERT_TRUE(back.ok()) << qPrintable(back.error().detail);
    const SolFile& b = back.value();
    EXPECT_EQ(b.name, QStringLiteral("save"));
    ASSERT_EQ(b.data.size(), 2u);
    const int root = member(b.data, "root")->object;
    ASSERT_GE(root, 0);
    EXPECT_EQ(member(b.objects[size_t(root)].members, "self")->object, root);
    const int list = member(b.objects[size_t(root)].members, "list")->object;
    EXPECT_TRUE(b.objects[size_t(list)].isArray);
    EXPECT_EQ(member(b.objects[size_t(list)].members, "0")->string, QStringLiteral("汉字"));
    EXPECT_EQ(member(b.objects[size_t(list)].members, "1")->number, -2.5);
    EXPECT_EQ(member(b.data, "flag")->type, SolValue::Type::Boolean);
}

TEST(SolFile, ReadsAmf3Members)
{
    QByteArray rest = "TCSO" + bytes({ 0, 4, 0, 0, 0, 0 }) + bytes({ 0, 1 }) + "s" + bytes({ 0, 0, 0, 3 }) // AMF3
        + bytes({ 0x03 }) + "a" + bytes({ 0x04, 0x7F }) + bytes({ 0 })       // a = int 127
        + bytes({ 0x03 }) + "b" + bytes({ 0x06, 0x05 }) + "hi" + bytes({ 0 }) // b = "hi"
        + bytes({ 0x03 }) + "c" + bytes({ 0x06, 0x04 }) + bytes({ 0 });       // c = string reference 2: "hi" again
    const int n = int(rest.size());
    auto file = SolFile::read(bytes({ 0x00, 0xBF, 0, 0, n >> 8, n & 255 }) + rest);
    ASSERT_TRUE(file.ok()) << qPrintable(file.error().detail);
    EXPECT_EQ(member(file.value().data, "a")->number, 127.0);
    EXPECT_EQ(member(file.value().data, "b")->string, QStringLiteral("hi"));
    // The string table holds "a", "b", "hi", "c" in the order read: member names count too.
    EXPECT_EQ(member(file.value().data, "c")->string, QStringLiteral("hi"));
}

// What the second machine writes: vectors, dictionaries, and XML or dates
// that a later value refers back to, all counted in the one object table.
TEST(SolFile, ReadsVectorsDictionariesAndReferencesToXml)
{
    QByteArray rest = "TCSO" + bytes({ 0, 4, 0, 0, 0, 0 }) + bytes({ 0, 1 }) + "s" + bytes({ 0, 0, 0, 3 })
        + bytes({ 0x03 }) + "v" + bytes({ 0x0D, 0x05, 0, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF }) + bytes({ 0 }) // v = Vector.<int>([1, -1])
        + bytes({ 0x03 }) + "x" + bytes({ 0x0B, 0x09 }) + "<a/>" + bytes({ 0 })                              // x = <a/>
        + bytes({ 0x03 }) + "y" + bytes({ 0x0B, 0x02 }) + bytes({ 0 })                                       // y = object 1: x again
        + bytes({ 0x03 }) + "d" + bytes({ 0x11, 0x03, 0, 0x06, 0x03 }) + "k" + bytes({ 0x04, 0x05 }) + bytes({ 0 }); // d = {k: 5}
    const int n = int(rest.size());
    auto file = SolFile::read(bytes({ 0x00, 0xBF, 0, 0, n >> 8, n & 255 }) + rest);
    ASSERT_TRUE(file.ok()) << qPrintable(file.error().detail);
    const SolFile& f = file.value();
    const SolObject& v = f.objects[size_t(member(f.data, "v")->object)];
    EXPECT_TRUE(v.isArray);
    EXPECT_EQ(member(v.members, "1")->number, -1.0);
    EXPECT_EQ(member(f.data, "y")->type, SolValue::Type::Xml);
    EXPECT_EQ(member(f.data, "y")->string, QStringLiteral("<a/>"));
    EXPECT_EQ(member(f.objects[size_t(member(f.data, "d")->object)].members, "k")->number, 5.0);
    // A vector longer than the file fails instead of reserving room for it.
    QByteArray lying = rest.left(rest.indexOf('\x0D') + 1) + bytes({ 0xFF, 0xFF, 0xFF, 0x7F, 0 });
    const int m = int(lying.size());
    EXPECT_FALSE(SolFile::read(bytes({ 0x00, 0xBF, 0, 0, m >> 8, m & 255 }) + lying).ok());
}

TEST(SolFile, RefusesDamagedFiles)
{
    const QByteArray good = solFile(bytes({ 0, 1 }) + "x" + bytes({ 0x02, 0, 2 }) + "ok" + bytes({ 0 }));
    ASSERT_TRUE(SolFile::read(good).ok());
    // Cut short anywhere: the length in the header no longer matches.
    for (int cut = 1; cut < good.size(); ++cut)
        EXPECT_FALSE(SolFile::read(good.left(cut)).ok()) << cut;
    // A reference to an object never read, an unknown type, a string past the end.
    for (const QByteArray& body : { bytes({ 0, 1 }) + "x" + bytes({ 0x07, 0, 0, 0 }),
             bytes({ 0, 1 }) + "x" + bytes({ 0x42, 0 }),
             bytes({ 0, 1 }) + "x" + bytes({ 0x02, 0xFF, 0xFF, 0 }) }) {
        auto r = SolFile::read(solFile(body));
        EXPECT_FALSE(r.ok());
    }
    // Nesting beyond the limit fails instead of exhausting the stack.
    QByteArray deep = bytes({ 0, 1 }) + "x";
    for (int i = 0; i < 10000; ++i)
        deep += bytes({ 0x03, 0, 1 }) + "y";
    auto r = SolFile::read(solFile(deep));
    ASSERT_FALSE(r.ok());
    EXPECT_TRUE(r.error().detail.contains(QLatin1String("deeply")));
}
