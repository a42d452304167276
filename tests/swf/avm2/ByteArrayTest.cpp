// flash.utils.ByteArray from scripts: byte order, cursor, text, compression,
// indexing and the end-of-file error, each expected trace worked out by hand.

#include "Avm2TestSupport.h"

#include <gtest/gtest.h>

using namespace swf::avm2;
using namespace avm2test;

namespace {

struct Script : ScriptBuilder<Script> {
    Script()
    {
        // local1 = new ByteArray()
        const std::uint32_t cls = w.qname(w.ns(0x16, QStringLiteral("flash.utils")), QStringLiteral("ByteArray"));
        c.op(Op::FindPropStrict, cls).op(Op::ConstructProp, cls, 0).op(Op::SetLocal1);
    }
    // local1.method(<args pushed by `push`>), result dropped.
    Script& run(const char* method, int argc, const std::function<void()>& push = {})
    {
        c.op(Op::GetLocal1);
        if (push)
            push();
        c.op(Op::CallPropVoid, name(method), std::uint32_t(argc));
        return *this;
    }
    Script& set(const char* property, const std::function<void()>& push)
    {
        c.op(Op::GetLocal1);
        push();
        c.op(Op::SetProperty, name(property));
        return *this;
    }
    Script& trace(const char* method) // trace(local1.method())
    {
        t.begin(c);
        c.op(Op::GetLocal1).op(Op::CallProperty, name(method), 0);
        t.end(c);
        return *this;
    }
    Script& traceGet(const char* property)
    {
        t.begin(c);
        c.op(Op::GetLocal1).op(Op::GetProperty, name(property));
        t.end(c);
        return *this;
    }
    QStringList finish() { return traces(10, 4); }
};

} // namespace

TEST(ByteArray, ByteOrderDecidesHowNumbersAreLaidOut)
{
    Script s;
    // writeInt(0x01020304) big-endian, then read back one byte and, little-endian, a short.
    s.run("writeInt", 1, [&] { s.num(0x01020304); });
    s.traceGet("position");                             // 4
    s.set("position", [&] { s.num(0); });
    s.trace("readUnsignedByte");                        // 1: the high byte first
    s.set("endian", [&] { s.str("littleEndian"); });
    s.trace("readShort");                               // bytes 02 03 little-endian: 0x0302 = 770
    s.trace("readByte");                                // 4
    s.traceGet("bytesAvailable");                       // 0
    // A negative int written as four bytes reads back as the same int and as 2^32 - 1.
    s.set("position", [&] { s.num(0); });
    s.run("writeInt", 1, [&] { s.num(-1); });
    s.set("position", [&] { s.num(0); });
    s.trace("readUnsignedInt");
    EXPECT_EQ(s.finish(), QStringList({ "4", "1", "770", "4", "0", "4294967295" }));
}

TEST(ByteArray, TextRoundTripsAndReadsStopAtZero)
{
    Script s;
    // writeUTF("hé"): a big-endian length of 3 UTF-8 bytes, then the bytes.
    s.run("writeUTF", 1, [&] { s.str("h\xC3\xA9"); });
    s.traceGet("length");                               // 2 + 3
    s.set("position", [&] { s.num(0); });
    s.trace("readUTF");
    // A zero byte ends what readUTFBytes returns, not what toString returns.
    s.run("clear", 0);
    s.run("writeUTFBytes", 1, [&] { s.str("ab"); });
    s.run("writeByte", 1, [&] { s.num(0); });
    s.run("writeByte", 1, [&] { s.num(0x89); });        // no valid UTF-8 sequence: stands for itself
    s.set("position", [&] { s.num(0); });
    s.t.begin(s.c);
    s.c.op(Op::GetLocal1).op(Op::PushByte, 4).op(Op::CallProperty, s.name("readUTFBytes"), 1).op(Op::GetProperty, s.name("length"));
    s.t.end(s.c);
    s.t.begin(s.c);
    s.c.op(Op::GetLocal1).op(Op::CallProperty, s.name("toString"), 0).op(Op::PushByte, 3).op(Op::CallProperty, s.name("charCodeAt"), 1);
    s.t.end(s.c);
    EXPECT_EQ(s.finish(), QStringList({ "5", "h\xC3\xA9", "2", "137" }));
}

TEST(ByteArray, CompressRoundTripsAndIndexesReachBytes)
{
    Script s;
    s.run("writeUTFBytes", 1, [&] { s.str("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"); });
    s.run("compress", 0);
    // zlib at best compression: header bytes 0x78 0xDA.
    s.t.begin(s.c);
    s.c.op(Op::GetLocal1).op(Op::PushByte, 1).op(Op::GetProperty, s.w.multinameL(s.w.nsSet({ s.w.publicNs() })));
    s.t.end(s.c);
    s.run("uncompress", 0);
    s.traceGet("length");
    s.traceGet("position");                             // uncompress rewinds
    // ba[40] = 7 grows the array to 41 bytes, zero-filled.
    s.c.op(Op::GetLocal1).op(Op::PushByte, 40).op(Op::PushByte, 7).op(Op::SetProperty, s.w.multinameL(s.w.nsSet({ s.w.publicNs() })));
    s.traceGet("length");
    EXPECT_EQ(s.finish(), QStringList({ "218", "30", "0", "41" }));
}

TEST(ByteArray, ReadingPastTheEndIsAnEofError)
{
    Script s;
    s.run("writeShort", 1, [&] { s.num(1); });
    s.trace("readByte");                                // the cursor is at the end already
    EXPECT_EQ(s.finish(), QStringList({ "Error: Error #2030: End of file was encountered.\n\tat global$init()" }));
}
