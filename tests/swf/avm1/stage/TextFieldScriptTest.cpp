// TextField and TextFormat objects through scripts: properties read and
// written, formats over ranges, bound variables, fields made and removed by
// scripts, focus, scrolling and sizing, and what the renderer then shows.

#include "support/ScriptSupport.h"

#include "swf/format/TagCodes.h"
#include "swf/runtime/EditTextInstance.h"
#include "swf/avm1/stage/SpriteClip.h"

using namespace text_support;
using swf::avm1::test::Null;

namespace {

constexpr uint8_t Multiline = 0x20, WordWrap = 0x40, ReadOnly = 0x08, MaxLength = 0x02;
constexpr uint8_t AutoSizeFlag = 0x40, Border = 0x08, Html = 0x02;

// A 200x100 stage with a device-font field "tf" (12 pt) at depth 1 and the given actions in frame 1.
swfw::Movie fieldMovie(const QByteArray& text, uint8_t flags1, uint8_t flags2, const QByteArray& variable = {}, swfw::Rect box = { 0, 2000, 0, 400 })
{
    swfw::Movie movie(8, 200, 100, 12);
    movie.setBackgroundColor({ 255, 255, 255, 255 });
    movie.tag(swf::TagDefineEditText, editTextTag(1, box, std::nullopt, 240, variable, text, flags1, flags2));
    placeNamed(movie, 1, 1, "tf");
    return movie;
}

QStringList run(swfw::Movie& movie, const Asm& actions, int ticks = 0)
{
    movie.doAction(actions.bytes());
    movie.showFrame();
    movie.showFrame();
    ScriptedStage stage(movie.bytes());
    if (!stage.scripts)
        return { "load failed" };
    for (int i = 0; i < ticks; ++i)
        stage.tick();
    return stage.lines;
}

swf::EditTextInstance* fieldAt(swf::Stage& stage, int depth)
{
    return dynamic_cast<swf::EditTextInstance*>(stage.root().childAt(depth));
}

} // namespace

TEST(TextFieldScript, PropertiesReadWhatTheFieldHolds)
{
    auto movie = fieldMovie("Hello", ReadOnly, Border);
    Asm a;
    traceMember(a, "tf", "text");               // Hello
    traceMember(a, "tf", "length");             // 5
    traceMember(a, "tf", "_name");              // tf
    traceMember(a, "tf", "_target");            // /tf
    a.push({ "tf" }).getVariable().trace();     // _level0.tf
    a.push({ "tf" }).getVariable().op(0x44).trace(); // typeof: object
    traceMember(a, "tf", "type");               // dynamic
    traceMember(a, "tf", "border");             // true
    traceMember(a, "tf", "background");         // true: the file's border flag draws both
    traceMember(a, "tf", "variable");           // null
    traceMember(a, "tf", "maxChars");           // null
    traceMember(a, "tf", "multiline");          // false
    traceMember(a, "tf", "html");               // false
    traceMember(a, "tf", "_width");             // 100
    traceMember(a, "tf", "_height");            // 20
    traceMember(a, "tf", "textColor");          // 0
    a.end();
    EXPECT_EQ(run(movie, a), QStringList({ "Hello", "5", "tf", "/tf", "_level0.tf", "object", "dynamic", "true", "true",
                                 "null", "null", "false", "false", "100", "20", "0" }));
}

TEST(TextFieldScript, WritesChangeTheFieldAndReadBack)
{
    auto movie = fieldMovie("Hello", 0, 0);
    Asm a;
    setMember(a, "tf", "text", "abcdef");
    setMember(a, "tf", "maxChars", 3);
    traceMember(a, "tf", "maxChars");           // 3
    setMember(a, "tf", "text", "abcdef");
    traceMember(a, "tf", "text");               // abc: the limit cuts what scripts set too
    setMember(a, "tf", "type", "dynamic");
    traceMember(a, "tf", "type");               // dynamic
    setMember(a, "tf", "type", "bogus");
    traceMember(a, "tf", "type");               // dynamic: an unknown type changes nothing
    setMember(a, "tf", "borderColor", 0xFF0000);
    traceMember(a, "tf", "borderColor");        // 16711680
    setMember(a, "tf", "_x", 10);
    setMember(a, "tf", "_width", 50);
    traceMember(a, "tf", "_x");                 // 10
    traceMember(a, "tf", "_width");             // 50
    traceMember(a, "tf", "_xscale");            // 100: the box got narrower, the text did not shrink
    setMember(a, "tf", "_alpha", 50);
    traceMember(a, "tf", "_alpha");             // 50
    setMember(a, "tf", "textColor", 0x00FF00);
    traceMember(a, "tf", "textColor");          // 65280
    setMember(a, "tf", "html", true);
    setMember(a, "tf", "htmlText", "<b>bold</b> &amp; plain");
    traceMember(a, "tf", "text");               // bold & plain
    setMember(a, "tf", "multiline", true);
    a.push({ "tf" }).getVariable().push({ "maxChars", Null {} }).setMember();
    setMember(a, "tf", "html", false);
    setMember(a, "tf", "text", "one\rtwo");
    traceMember(a, "tf", "text");               // one\rtwo
    traceMember(a, "tf", "length");             // 7
    a.end();
    EXPECT_EQ(run(movie, a), QStringList({ "3", "abc", "dynamic", "dynamic", "16711680", "10", "50", "100", "50", "65280",
                                 "bold & plain", "one\rtwo", "7" }));
}

TEST(TextFieldScript, SingleLineFieldsKeepTheLineBreaksTheyAreGiven)
{
    // The reference draws "Hello,\nfinest World" set on a single-line field on two lines.
    auto movie = fieldMovie("", 0, 0);
    Asm a;
    setMember(a, "tf", "text", "first\rsecond");
    traceMember(a, "tf", "text");
    a.end();
    EXPECT_EQ(run(movie, a), QStringList({ "first\rsecond" }));
}

TEST(TextFieldScript, HtmlTextOfAnHtmlFieldIsMarkupWithTheRunsStyles)
{
    auto movie = fieldMovie("", 0, Html);
    Asm a;
    setMember(a, "tf", "htmlText", "<p align=\"center\"><font size=\"20\" color=\"#ff0000\">Big</font> <i>it</i></p>");
    traceMember(a, "tf", "htmlText");
    a.end();
    const QStringList lines = run(movie, a);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("<P ALIGN=\"CENTER\">")) << qPrintable(lines[0]);
    EXPECT_TRUE(lines[0].contains("SIZE=\"20\" COLOR=\"#FF0000\"")) << qPrintable(lines[0]);
    EXPECT_TRUE(lines[0].contains("<I>it</I>")) << qPrintable(lines[0]);
    EXPECT_TRUE(lines[0].endsWith("</P>")) << qPrintable(lines[0]);
}

TEST(TextFieldScript, TextFormatsApplyToRangesAndReportMixedFieldsAsNull)
{
    auto movie = fieldMovie("abcdef", 0, 0);
    Asm b;
    b.push({ "fmt", 0, "TextFormat" }).op(0x40).setVariable(); // fmt = new TextFormat()
    traceMember(b, "fmt", "bold");                           // null
    setMember(b, "fmt", "bold", true);
    setMember(b, "fmt", "color", 0x0000FF);
    b.push({ "fmt" }).getVariable().push({ 3, 1, 3 }).push({ "tf" }).getVariable().push({ "setTextFormat" }).callMethod().pop();
    b.push({ 3, 1, 2 }).push({ "tf" }).getVariable().push({ "getTextFormat" }).callMethod().push({ "bold" }).getMember().trace(); // true
    b.push({ 3, 1, 2 }).push({ "tf" }).getVariable().push({ "getTextFormat" }).callMethod().push({ "color" }).getMember().trace(); // 255
    b.push({ 0 }).push({ "tf" }).getVariable().push({ "getTextFormat" }).callMethod().push({ "bold" }).getMember().trace(); // null: mixed
    b.push({ 0 }).push({ "tf" }).getVariable().push({ "getTextFormat" }).callMethod().push({ "size" }).getMember().trace(); // 12
    b.push({ 4, 1 }).push({ "tf" }).getVariable().push({ "getTextFormat" }).callMethod().push({ "bold" }).getMember().trace(); // false
    traceMember(b, "tf", "text");                            // abcdef: formats never change the text
    // A new-text format applies to text set afterwards.
    b.push({ "big", 0, "TextFormat" }).op(0x40).setVariable();
    setMember(b, "big", "size", 30);
    setMember(b, "big", "align", "right");
    b.push({ "big" }).getVariable().push({ 1 }).push({ "tf" }).getVariable().push({ "setNewTextFormat" }).callMethod().pop();
    setMember(b, "tf", "text", "new");
    b.push({ 0 }).push({ "tf" }).getVariable().push({ "getTextFormat" }).callMethod().push({ "size" }).getMember().trace(); // 30
    b.push({ 0 }).push({ "tf" }).getVariable().push({ "getNewTextFormat" }).callMethod().push({ "align" }).getMember().trace(); // right
    b.push({ 0 }).push({ "tf" }).getVariable().push({ "getTextFormat" }).callMethod().push({ "bold" }).getMember().trace(); // false
    b.end();
    EXPECT_EQ(run(movie, b), QStringList({ "null", "true", "255", "null", "12", "false", "abcdef", "30", "right", "false" }));
}

TEST(TextFieldScript, ReplaceTextKeepsTheStylesAroundIt)
{
    auto movie = fieldMovie("hello world", Multiline, 0);
    Asm a;
    a.push({ "XY", 5, 0, 3 }).push({ "tf" }).getVariable().push({ "replaceText" }).callMethod().pop();
    traceMember(a, "tf", "text"); // XY world
    a.push({ "!", 1 }).push({ "tf" }).getVariable().push({ "replaceSel" }).callMethod().pop();
    traceMember(a, "tf", "text"); // XY world!
    a.push({ "z", 99, 50, 3 }).push({ "tf" }).getVariable().push({ "replaceText" }).callMethod().pop();
    traceMember(a, "tf", "text"); // XY world!z: a range past the end appends
    a.push({ "q", 1, 2, 3 }).push({ "tf" }).getVariable().push({ "replaceText" }).callMethod().pop();
    traceMember(a, "tf", "text"); // unchanged: a backward range is ignored
    a.end();
    EXPECT_EQ(run(movie, a), QStringList({ "XY world", "XY world!", "XY world!z", "XY world!z" }));
}

TEST(TextFieldScript, BoundVariableAndFieldFollowEachOther)
{
    auto movie = fieldMovie("start", 0, 0, "score");
    Asm handlers;
    Asm changed;
    changed.push({ "changed " }).push({ "f" }).getVariable().push({ "text" }).getMember().add2().trace();
    handlers.push({ "tf" }).getVariable().push({ "onChanged" }).function("", { "f" }, changed).setMember();
    Asm focused;
    focused.push({ "focus in" }).trace();
    handlers.push({ "tf" }).getVariable().push({ "onSetFocus" }).function("", {}, focused).setMember();
    handlers.end();
    movie.doAction(handlers.bytes());
    movie.showFrame();
    Asm a;
    a.push({ "score" }).getVariable().trace();       // start: the field gave its text to the unset variable
    a.push({ "score", 42 }).setVariable();
    traceMember(a, "tf", "text");                    // 42: shown as soon as the field is read
    traceMember(a, "tf", "variable");                // score
    setMember(a, "tf", "text", "typed");
    a.push({ "score" }).getVariable().trace();       // typed
    a.end();
    movie.doAction(a.bytes());
    movie.showFrame();
    movie.showFrame();
    ScriptedStage stage(movie.bytes());
    ASSERT_TRUE(stage.scripts);
    stage.tick();
    EXPECT_EQ(stage.lines, QStringList({ "start", "42", "score", "typed" }));

    // Keyboard input goes to the variable; the object hears onChanged.
    swf::EditTextInstance* field = fieldAt(stage.stage(), 1);
    ASSERT_NE(field, nullptr);
    field->setFocus(true);
    EXPECT_TRUE(field->keyDown(Qt::Key_X, "x"));
    stage.tick();
    EXPECT_EQ(stage.lines.mid(4), QStringList({ "changed typedx", "focus in" }));
    swf::avm1::Interpreter& vm = stage.scripts->interpreter();
    const swf::avm1::Value root(static_cast<swf::avm1::Object*>(stage.scripts->clipFor(stage.stage().root())));
    EXPECT_EQ(vm.toString(vm.getMember(root, "score")), "typedx");
    // A variable set later shows after the frame's pass.
    vm.setMember(root, "score", swf::avm1::Value(7.5));
    stage.tick();
    EXPECT_EQ(field->plainText(), "7.5");
    EXPECT_EQ(stage.lines.size(), 6); // a script's change is no onChanged
}

TEST(TextFieldScript, CreateTextFieldMakesAFieldScriptsCanRemove)
{
    swfw::Movie movie(8, 200, 100, 12);
    Asm a;
    a.push({ 30, 100, 20, 10, 5, "made", 6, "_root" }).getVariable().push({ "createTextField" }).callMethod();
    a.push({ "_name" }).getMember().trace();            // made: version 8 returns the field
    traceMember(a, "made", "_x");                       // 10
    traceMember(a, "made", "_height");                  // 30
    traceMember(a, "made", "type");                     // dynamic
    traceMember(a, "made", "text");                     // (empty)
    setMember(a, "made", "text", "hi");
    traceMember(a, "made", "text");                     // hi
    a.push({ 0, "made" }).getVariable().push({ "getDepth" }).callMethod().trace(); // 5
    a.push({ 0, "made" }).getVariable().push({ "removeTextField" }).callMethod().pop();
    a.push({ "made" }).getVariable().op(0x44).trace();  // undefined: gone from the timeline
    a.end();
    movie.doAction(a.bytes());
    movie.showFrame();
    ScriptedStage stage(movie.bytes());
    ASSERT_TRUE(stage.scripts);
    EXPECT_EQ(stage.lines, QStringList({ "made", "10", "30", "dynamic", "", "hi", "5", "undefined" }));
    EXPECT_EQ(stage.stage().root().childAt(16384 + 5), nullptr);
}

TEST(TextFieldScript, AReferenceOutlivesItsFieldSafely)
{
    // Frame 1 keeps a reference; frame 2 removes the field; frame 3 reads through the reference.
    swfw::Movie movie(8, 200, 100, 12);
    movie.tag(swf::TagDefineEditText, editTextTag(1, { 0, 2000, 0, 400 }, std::nullopt, 240, {}, "x", 0, 0));
    placeNamed(movie, 1, 1, "tf");
    Asm keep;
    keep.push({ "kept", "tf" }).getVariable().setVariable().end();
    movie.doAction(keep.bytes());
    movie.showFrame();
    movie.removeObject2(1);
    movie.showFrame();
    Asm read;
    traceMember(read, "kept", "text");
    setMember(read, "kept", "text", "ignored");
    traceMember(read, "kept", "_x");
    read.push({ "kept" }).getVariable().push({ "extra", 1 }).setMember(); // plain properties still work
    traceMember(read, "kept", "extra");
    read.end();
    movie.doAction(read.bytes());
    movie.showFrame();
    ScriptedStage stage(movie.bytes());
    ASSERT_TRUE(stage.scripts);
    stage.tick();
    stage.tick();
    EXPECT_EQ(stage.lines, QStringList({ "undefined", "undefined", "1" }));
}

TEST(TextFieldScript, SelectionMovesTheFocusBetweenFields)
{
    auto movie = fieldMovie("one", 0, 0);
    movie.tag(swf::TagDefineEditText, editTextTag(2, { 0, 2000, 600, 1000 }, std::nullopt, 240, {}, "two", 0, 0));
    placeNamed(movie, 2, 2, "other");
    Asm a;
    a.push({ 0, "Selection" }).getVariable().push({ "getFocus" }).callMethod().trace();  // null
    a.push({ "tf" }).getVariable().push({ 1, "Selection" }).getVariable().push({ "setFocus" }).callMethod().trace(); // true
    a.push({ 0, "Selection" }).getVariable().push({ "getFocus" }).callMethod().trace();  // _level0.tf
    a.push({ "other", 1, "Selection" }).getVariable().push({ "setFocus" }).callMethod().trace(); // true: a path works too
    a.push({ 0, "Selection" }).getVariable().push({ "getFocus" }).callMethod().trace();  // _level0.other
    a.push({ 0, "Selection" }).getVariable().push({ "getCaretIndex" }).callMethod().trace(); // 3
    a.push({ "nothing", 1, "Selection" }).getVariable().push({ "setFocus" }).callMethod().trace(); // false
    Asm killed;
    killed.push({ "lost to " }).push({ "n" }).getVariable().push({ "_name" }).getMember().add2().trace();
    a.push({ "tf" }).getVariable().push({ "onKillFocus" }).function("", { "n" }, killed).setMember();
    a.end();
    movie.doAction(a.bytes());
    movie.showFrame();
    movie.showFrame();
    ScriptedStage stage(movie.bytes());
    ASSERT_TRUE(stage.scripts);
    EXPECT_EQ(stage.lines, QStringList({ "null", "true", "_level0.tf", "true", "_level0.other", "3", "false" }));
    ASSERT_NE(fieldAt(stage.stage(), 2), nullptr);
    EXPECT_TRUE(fieldAt(stage.stage(), 2)->hasFocus());
    EXPECT_FALSE(fieldAt(stage.stage(), 1)->hasFocus());
    // Focus moved away from tf during the frame it gained it: no handler saw tf focused, so none runs.
    stage.tick();
    EXPECT_EQ(stage.lines.size(), 7);
}

TEST(TextFieldScript, ScrollingCountsLinesThatDoNotFit)
{
    // A 3-line-high multiline box with eight lines of text.
    auto movie = fieldMovie("1\r2\r3\r4\r5\r6\r7\r8", Multiline, 0, {}, { 0, 2000, 0, 3 * 280 + 80 });
    Asm a;
    traceMember(a, "tf", "scroll");      // 1
    a.push({ "max" }).push({ "tf" }).getVariable().push({ "maxscroll" }).getMember().setVariable();
    a.push({ 1, "max" }).getVariable().op(0x48).trace(); // 1 < max: true
    setMember(a, "tf", "scroll", 3);
    traceMember(a, "tf", "scroll");      // 3
    setMember(a, "tf", "scroll", 1000);
    a.push({ "tf" }).getVariable().push({ "scroll" }).getMember().push({ "max" }).getVariable().op(0x49).trace(); // scroll == max: true
    setMember(a, "tf", "scroll", -5);
    traceMember(a, "tf", "scroll");      // 1
    traceMember(a, "tf", "maxhscroll");  // 0: everything fits across
    a.end();
    EXPECT_EQ(run(movie, a), QStringList({ "1", "true", "3", "true", "1", "0" }));
}

TEST(TextFieldScript, AutoSizeGrowsTheBoxFromTheSideItNames)
{
    auto movie = fieldMovie("", 0, 0, {}, { 1000, 2000, 0, 400 });
    Asm a;
    setMember(a, "tf", "autoSize", "right");
    traceMember(a, "tf", "autoSize");    // right
    setMember(a, "tf", "text", "a rather long line of text for the box");
    a.end();
    movie.doAction(a.bytes());
    movie.showFrame();
    ScriptedStage stage(movie.bytes());
    ASSERT_TRUE(stage.scripts);
    EXPECT_EQ(stage.lines, QStringList({ "right" }));
    swf::EditTextInstance* field = fieldAt(stage.stage(), 1);
    ASSERT_NE(field, nullptr);
    const swf::TwipsRect box = field->record().bounds;
    EXPECT_EQ(box.xMax, 2000);                  // the right edge stays
    EXPECT_LT(box.xMin, 1000);                  // the box grew to the left
    EXPECT_NEAR(box.xMax - box.xMin, field->layout().textWidth + 80, 2);
}

TEST(TextFieldScript, BorderAndBackgroundColoursAreDrawn)
{
    swfw::Movie movie(8, 100, 100, 12);
    movie.setBackgroundColor({ 255, 255, 255, 255 });
    movie.tag(swf::TagDefineEditText, editTextTag(1, { 200, 1800, 200, 1800 }, std::nullopt, 240, {}, "", 0, 0));
    placeNamed(movie, 1, 1, "tf");
    Asm a;
    setMember(a, "tf", "background", true);
    setMember(a, "tf", "backgroundColor", 0x00FF00);
    setMember(a, "tf", "border", true);
    setMember(a, "tf", "borderColor", 0xFF0000);
    a.end();
    movie.doAction(a.bytes());
    movie.showFrame();
    ScriptedStage stage(movie.bytes());
    ASSERT_TRUE(stage.scripts);
    QImage image = renderStage(*stage.playback);
    EXPECT_EQ(image.pixel(50, 50), qRgb(0, 255, 0));   // inside the box: the background colour
    EXPECT_EQ(image.pixel(5, 5), qRgb(255, 255, 255)); // outside: the stage
    EXPECT_EQ(image.pixel(50, 10), qRgb(255, 0, 0));   // the top edge: the border colour
}

TEST(TextFieldScript, VersionFiveKnowsFieldsOnlyAsDisplayObjects)
{
    // The same field in a version 5 movie: its text properties are plain
    // members that leave the field alone, its display properties still work.
    swfw::Movie movie(5, 200, 100, 12);
    Asm a;
    a.push({ 30, 100, 20, 10, 5, "made", 6, "_root" }).getVariable().push({ "createTextField" }).callMethod().pop();
    traceMember(a, "made", "_x");                       // 10: a display property
    traceMember(a, "made", "text");                     // undefined: nothing was written
    setMember(a, "made", "border", "yes");
    traceMember(a, "made", "border");                   // yes: kept as written, no boolean
    traceMember(a, "made", "scroll");                   // undefined
    a.end();
    movie.doAction(a.bytes());
    movie.showFrame();
    ScriptedStage stage(movie.bytes());
    ASSERT_TRUE(stage.scripts);
    EXPECT_EQ(stage.lines, QStringList({ "10", "undefined", "yes", "undefined" }));
    const auto* field = dynamic_cast<const swf::EditTextInstance*>(stage.stage().root().childAt(16384 + 5));
    ASSERT_NE(field, nullptr);
    EXPECT_FALSE(field->border());
}
