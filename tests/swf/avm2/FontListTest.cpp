// The movie's fonts as scripts list them: a font definition that could not
// be read (cut short, damaged) is not a font, and listing it must neither
// show it nor read it as one.

#include "DocumentRows.h"

#include <gtest/gtest.h>

using namespace avm2test;

TEST(FontList, DamagedFontDefinitionsAreLeftOut)
{
    DocumentRows r;
    // DefineFont3 (75) and DefineFont2 (48) of ids 5 and 6 that end after
    // their flags: the loader keeps their bytes, but no font can be made of them.
    r.definitions.push_back({ 75, QByteArray("\x05\x00\x80", 3) });
    r.definitions.push_back({ 48, QByteArray("\x06\x00", 2) });
    const std::uint32_t font = r.w.qname(r.w.ns(0x16, QStringLiteral("flash.text")), QStringLiteral("Font"));
    r.t.begin(r.c);
    r.c.op(Op::GetLex, font).op(Op::CallProperty, r.name("enumerateFonts"), 0).op(Op::GetProperty, r.name("length"));
    r.t.end(r.c);
    r.t.begin(r.c);
    r.c.op(Op::GetLex, font).op(Op::PushTrue).op(Op::CallProperty, r.name("enumerateFonts"), 1).op(Op::GetProperty, r.name("length"));
    r.t.end(r.c);
    EXPECT_EQ(r.run(), (QStringList { "0", "0" }));
}
