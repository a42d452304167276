// TextField.StyleSheet (version 7 on): its value parsers, styles set by
// hand and read from CSS text.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// s = new TextField.StyleSheet()
S sheet()
{
    S s;
    s.assign("SS", S().member("TextField", { "StyleSheet" }));
    s.assign("s", S().construct("SS"));
    return s;
}

} // namespace

TEST(StyleSheet, OnlyFromVersionSeven)
{
    runRows({
        { "6", 6, std::move(S().member("TextField", { "StyleSheet" }).typeOf().trace()), { "undefined" } },
        { "7", 7, std::move(S().member("TextField", { "StyleSheet" }).typeOf().trace()), { "function" } },
    });
}

TEST(StyleSheet, ParseColorTakesSevenCharactersOfHex)
{
    auto color = [](Asm::Item text) { return std::move(sheet().method("s", "parseColor", { text }).trace()); };
    runRows({
        { "#FF0000", 8, color("#FF0000"), { "16711680" } },
        { "lower case", 8, color("#abcabc"), { "11258556" } },
        { "short form", 8, color("#FFF"), { "null" } },
        { "not hex", 8, color("#FFXXFF"), { "null" } },
        { "leading blank", 8, color(" #FF00FF"), { "null" } },
        { "a name", 8, color("white"), { "null" } },
        { "a number", 8, color(16711680), { "null" } },
    });
}

TEST(StyleSheet, GenericFamiliesBecomeDeviceFonts)
{
    auto family = [](Asm::Item text) { return std::move(sheet().method("s", "parseCSSFontFamily", { text }).trace()); };
    runRows({
        { "mono", 8, family("mONo"), { "_typewriter" } },
        { "sans-serif", 8, family("SANS-SERIF"), { "_sans" } },
        { "serif", 8, family("serif"), { "_serif" } },
        { "others as written", 8, family("serif "), { "serif " } },
    });
}

TEST(StyleSheet, StylesSetAndParsed)
{
    S set = sheet();
    set.method("s", "setStyle", { "h1", S::Item("ignored") }).pop();
    set.then(S().object({ { "color", "#FF0000" } }).value("h1").value(2).var("s").value("setStyle").op(0x52).pop());
    set.then(S().method("s", "getStyle", { "h1" }).value("color").op(0x4E).trace());
    set.method("s", "getStyleNames").trace();
    set.method("s", "setStyle", { "h1", Null{} }).pop().method("s", "getStyle", { "h1" }).trace();

    S css = sheet();
    css.method("s", "parseCSS", { "p, .note { font-size: 12px; color: #00FF00 }" }).trace();
    css.then(S().method("s", "getStyle", { ".note" }).value("fontSize").op(0x4E).trace());
    css.method("s", "parseCSS", { "p { color: red" }).trace();
    css.then(S().method("s", "getStyle", { "p" }).value("color").op(0x4E).trace());
    runRows({
        // A style that is no object sets nothing; null removes the style.
        { "set", 8, set, { "#FF0000", "h1", "null" } },
        // An unclosed block fails and changes nothing.
        { "css", 8, css, { "true", "12px", "false", "#00FF00" } },
    });
}

TEST(GeomScriptOperators, RectangleTestsGiveUndefinedWhereNaNMeetsAComparison)
{
    // new Rectangle(undefined, 20, 30, 40): x >= undefined is true (the
    // comparison is undefined, negated), x < undefined + 30 is undefined.
    S undefinedX;
    undefinedX.assign("R", S().member("flash", { "geom", "Rectangle" }));
    undefinedX.assign("r", S().construct("R", { Undef{}, 20, 30, 40 }));
    undefinedX.method("r", "contains", { 20, 20 }).trace();
    S inside;
    inside.assign("R", S().member("flash", { "geom", "Rectangle" }));
    inside.assign("r", S().construct("R", { 0, 0, 30, 40 }));
    inside.method("r", "contains", { 10, 10 }).trace();
    inside.then(S().construct("R", { 5, 5, 10, 10 }).value(1).var("r").value("containsRectangle").op(0x52).trace());
    inside.then(S().construct("R", { 25, 5, 10, 10 }).value(1).var("r").value("containsRectangle").op(0x52).trace());
    runRows({
        { "undefined x", 8, undefinedX, { "undefined" } },
        // The last one reaches past the right edge (25 + 10 > 30).
        { "numbers", 8, inside, { "true", "true", "false" } },
    });
}

TEST(GeomScriptOperators, PointTakesItsArgumentsAsGiven)
{
    S s;
    s.assign("P", S().member("flash", { "geom", "Point" }));
    s.then(S().construct("P").trace());
    s.then(S().construct("P", { 3 }).trace());
    runRows({ { "none, one", 8, s, { "(x=0, y=0)", "(x=3, y=undefined)" } } });
}
