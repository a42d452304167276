// Stage members scripts read back: the background colour (opaque alpha
// byte on read, low 24 bits on write) and the 3D layers, one vector kept
// for the stage's life.

#include "DocumentRows.h"

#include <gtest/gtest.h>

using namespace avm2test;

TEST(StageMembers, ColourAndLayers)
{
    DocumentRows r;
    r.c.op(Op::GetLocal0).op(Op::GetProperty, r.name("stage")).op(Op::SetLocal, 1);
    r.traceGet(1, "color"); // a white background: 0xFFFFFFFF
    r.c.op(Op::GetLocal, 1);
    r.nums({ 0x22CCAA55 });
    r.c.op(Op::SetProperty, r.name("color"));
    r.traceGet(1, "color"); // 0xFFCCAA55
    r.c.op(Op::GetLocal, 1).op(Op::GetProperty, r.name("stage3Ds")).op(Op::SetLocal, 2);
    r.traceGet(2, "length");
    r.traceGet(2, "fixed");
    r.t.begin(r.c); // the same vector each time
    r.c.op(Op::GetLocal, 1).op(Op::GetProperty, r.name("stage3Ds")).op(Op::GetLocal, 2).op(Op::StrictEquals);
    r.t.end(r.c);
    r.traceGet(1, "allowsFullScreen");
    EXPECT_EQ(r.run(), (QStringList { "4294967295", "4291603029", "4", "false", "true", "true" }));
}

TEST(StageMembers, DocumentClassThatIsNoSpriteLeavesTheRootUnlinked)
{
    // A document class made on Object: the player says why it cannot be the
    // root and never runs its constructor.
    DocumentRows r;
    r.base = r.name("Object");
    r.t.begin(r.c);
    r.c.op(Op::PushString, r.w.string(QStringLiteral("constructed")));
    r.t.end(r.c);
    EXPECT_EQ(r.run(1), QStringList({ "TypeError: Error #2023: Class Main$ must inherit from Sprite to link to the root." }));
}
