// flash.text.TextField and TextFormat as scripts use them: a field made by
// new TextField(), its text (paragraphs handed out ended with a carriage
// return, which the log shows as a line break), editing calls, formats per
// range, and the refusal of values outside a property's choices.

#include "DocumentRows.h"

#include <gtest/gtest.h>

using namespace avm2test;

namespace {

struct TextRows : DocumentRows {
    std::uint32_t textField = w.qname(w.ns(0x16, QStringLiteral("flash.text")), QStringLiteral("TextField"));
    std::uint32_t textFormat = w.qname(w.ns(0x16, QStringLiteral("flash.text")), QStringLiteral("TextFormat"));

    // trace(local[reg].<method>(index...).<property>)
    void traceFormat(std::uint32_t reg, std::initializer_list<double> range, const char* property)
    {
        t.begin(c);
        c.op(Op::GetLocal, reg);
        nums(range);
        c.op(Op::CallProperty, name("getTextFormat"), std::uint32_t(range.size())).op(Op::GetProperty, name(property));
        t.end(c);
    }
};

} // namespace

// A new field is 100 by 100; its text keeps paragraphs, appendText adds at
// the end and replaceText swaps the characters from begin up to end.
TEST(TextField, TextAndEditing)
{
    TextRows r;
    r.make(1, r.textField, {});
    r.traceGet(1, "width"); // 100
    r.setString(1, "text", "ab\ncd");
    r.traceGet(1, "text");   // ab, cd on two lines
    r.traceGet(1, "length"); // 5
    r.setString(1, "text", "abc");
    r.c.op(Op::GetLocal, 1).op(Op::PushString, r.w.string(QStringLiteral("de"))).op(Op::CallPropVoid, r.name("appendText"), 1);
    r.traceGet(1, "text"); // abcde
    r.c.op(Op::GetLocal, 1);
    r.nums({ 1, 3 });
    r.c.op(Op::PushString, r.w.string(QStringLiteral("X"))).op(Op::CallPropVoid, r.name("replaceText"), 3);
    r.traceGet(1, "text"); // aXde
    r.traceGet(1, "type"); // dynamic
    r.setFlag(1, "multiline", true);
    r.traceGet(1, "multiline");
    EXPECT_EQ(r.run(), (QStringList { "100", "ab\ncd", "5", "abcde", "aXde", "dynamic", "true" }));
}

// Markup styles its runs; getTextFormat over one run reads its style, over
// runs that differ reads null; setTextFormat restyles only its range.
TEST(TextField, FormatsByRange)
{
    TextRows r;
    r.make(1, r.textField, {});
    r.setString(1, "htmlText", "<b>x</b>y");
    r.traceFormat(1, { 0 }, "bold");    // true
    r.traceFormat(1, { 1 }, "bold");    // false
    r.traceFormat(1, {}, "bold");       // null: the runs differ
    r.traceFormat(1, {}, "font");       // Times, shared by both
    r.c.op(Op::FindPropStrict, r.textFormat).op(Op::PushNull);
    r.nums({ 20 });
    r.c.op(Op::ConstructProp, r.textFormat, 2).op(Op::SetLocal, 2);
    r.c.op(Op::GetLocal, 1).op(Op::GetLocal, 2);
    r.nums({ 1, 2 });
    r.c.op(Op::CallPropVoid, r.name("setTextFormat"), 3);
    r.traceFormat(1, { 1, 2 }, "size"); // 20
    r.traceFormat(1, { 0, 1 }, "size"); // 12, untouched
    r.traceFormat(1, { 0, 1 }, "bold"); // the size left the style alone: true
    EXPECT_EQ(r.run(), (QStringList { "true", "false", "null", "Times", "20", "12", "true" }));
}

// Only the names the player knows are taken for type and autoSize.
TEST(TextField, RefusesUnknownChoices)
{
    TextRows r;
    r.make(1, r.textField, {});
    r.setString(1, "autoSize", "left");
    r.traceGet(1, "autoSize");
    r.setString(1, "type", "bogus");
    QStringList trace = r.run();
    ASSERT_EQ(trace.size(), 2);
    EXPECT_EQ(trace[0], "left");
    EXPECT_EQ(trace[1].section(QLatin1Char('\n'), 0, 0),
        "ArgumentError: Error #2008: Parameter type must be one of the accepted values.");
}
