#pragma once

// Movies built to take a player down: huge texts, runaway strings, swarms of
// intervals and clips, monstrous shapes, huge stages, broken pictures. The
// tests play them and check that the engine's own limits stop them; the
// bench (bench/hostile.sh) measures the time and memory each one costs.

#include "support/Assembler.h"
#include "support/TextSupport.h"
#include "tools/swfwriter/BitWriter.h"
#include "tools/swfwriter/Movie.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace hostile {

using swf::avm1::test::Asm;

// DefineEditText with an embedded font and `text`; `flags1`/`flags2` as in the file.
inline QByteArray editText(uint16_t id, swfw::Rect box, uint16_t fontId, int height, const QByteArray& text, uint8_t flags1, uint8_t flags2)
{
    swfw::BitWriter out;
    out.writeU16(id);
    out.writeRect(box);
    out.writeU8(uint8_t(0x80 | 0x04 | 0x01 | flags1)); // has text, colour, font
    out.writeU8(flags2);
    out.writeU16(fontId);
    out.writeU16(uint16_t(height));
    out.writeRgba({ 0, 0, 0, 255 });
    out.writeString(""); // no variable
    out.writeString(text);
    return out.bytes();
}

inline void placeNamed(swfw::TagList& list, uint16_t id, uint16_t depth, const QByteArray& name)
{
    swfw::Placement p = swfw::Placement::place(depth, id);
    p.name = name;
    list.placeObject2(p);
}

// `body` run again and again while `condition` (which pushes one value) is true.
inline Asm whileLoop(const Asm& condition, const Asm& body)
{
    // condition; not; branchIf(end); body; jump(start)
    Asm loop;
    Asm tail;
    tail.raw(body.bytes());
    const int jumpBack = -(condition.bytes().size() + 1 + 5 + tail.bytes().size() + 5);
    loop.raw(condition.bytes()).op(0x12).branchIf(int16_t(tail.bytes().size() + 5)).raw(tail.bytes()).jump(int16_t(jumpBack));
    return loop;
}

// i < limit, with `i` a variable.
inline Asm below(const char* counter, int limit)
{
    Asm a;
    a.push({ counter }).getVariable().push({ limit }).op(0x48); // Less2
    return a;
}

// i = i + 1.
inline Asm increment(const char* counter)
{
    Asm a;
    a.push({ counter, counter }).getVariable().op(0x50).setVariable(); // Increment
    return a;
}

inline swfw::Movie scriptMovie(const Asm& frame1, int frames = 2)
{
    swfw::Movie movie(6, 400, 300, 30);
    Asm actions = frame1;
    actions.end();
    movie.doAction(actions.bytes());
    movie.showFrame();
    for (int i = 1; i < frames; ++i)
        movie.showFrame();
    return movie;
}

// A DefineEditText of `chars` characters of text (HTML with broken entities
// when `html`), with an embedded one-glyph font, placed on the stage.
inline QByteArray bigText(int chars, bool html)
{
    swfw::Movie movie(8, 400, 300, 30);
    movie.tag(48, text_support::fontBody(1, "Square", 1024, 'a', 1100), true); // DefineFont2
    QByteArray text;
    text.reserve(chars + 64);
    if (html) {
        const QByteArray piece = "<p><b>aaaa</b> &bogus; &#99999999; &amp<font size='x'>aa</font></p>";
        while (text.size() < chars)
            text.append(piece);
    } else {
        const QByteArray piece = "aaaa aaa aa\r";
        while (text.size() < chars)
            text.append(piece);
    }
    const uint8_t flags1 = 0x40 | 0x20; // word wrap, multiline
    const uint8_t flags2 = uint8_t(0x01 | (html ? 0x02 : 0)); // outlines, HTML
    movie.tag(37, editText(2, swfw::Rect { 0, 8000, 0, 6000 }, 1, 240, text, flags1, flags2), true);
    placeNamed(movie, 2, 1, "big");
    movie.showFrame();
    movie.showFrame();
    return movie.bytes();
}

// s = "x"; while (true) s = s + s;
inline QByteArray doublingLoop()
{
    Asm a;
    a.push({ "s", "x" }).setVariable();
    Asm always;
    always.push({ true });
    Asm doubling;
    doubling.push({ "s", "s" }).getVariable().push({ "s" }).getVariable().add2().setVariable();
    a.raw(whileLoop(always, doubling).bytes());
    a.push({ "after" }).trace(); // never reached: the loop is stopped
    return scriptMovie(a).bytes();
}

// Each pass of frame 1: if (s == undefined) s = "x"; s = s + s. A two-frame
// loop, so the string doubles every other frame.
inline QByteArray doublingPerFrame()
{
    Asm a;
    a.push({ "s" }).getVariable().push({ swf::avm1::test::Undef {} }).op(0x49).op(0x12); // Equals2, Not
    Asm init;
    init.push({ "s", "x" }).setVariable();
    a.branchIf(int16_t(init.bytes().size())).raw(init.bytes());
    a.push({ "s", "s" }).getVariable().push({ "s" }).getVariable().add2().setVariable();
    a.push({ "s" }).getVariable().push({ "length" }).getMember().trace();
    return scriptMovie(a).bytes();
}

// function f(s) { return f(s + s); } f("x");
inline QByteArray doublingRecursion()
{
    Asm body;
    body.push({ "s" }).getVariable().push({ "s" }).getVariable().add2().push({ 1, "f" }).callFunction().op(0x3E); // Return
    Asm a;
    a.function("f", { "s" }, body);
    a.push({ "x", 1, "f" }).callFunction().pop();
    a.push({ "done" }).trace();
    return scriptMovie(a).bytes();
}

// function f() { n++; } n = 0; for (i = 0; i < count; i++) setInterval(f, 1);
// and frame 4 traces n and stops.
inline QByteArray manyIntervals(int count)
{
    Asm f;
    f.raw(increment("n").bytes());
    Asm a;
    a.function("f", {}, f);
    a.push({ "n", 0 }).setVariable().push({ "i", 0 }).setVariable();
    Asm body;
    body.push({ 1, "f" }).getVariable().push({ 2, "setInterval" }).callFunction().pop();
    body.raw(increment("i").bytes());
    a.raw(whileLoop(below("i", count), body).bytes());
    swfw::Movie movie(6, 400, 300, 30);
    a.end();
    movie.doAction(a.bytes());
    movie.showFrame();
    movie.showFrame();
    movie.showFrame();
    Asm report;
    report.push({ "n" }).getVariable().trace().op(0x07).end(); // Stop
    movie.doAction(report.bytes());
    movie.showFrame();
    return movie.bytes();
}

// function g() { setInterval(g, 1); } setInterval(g, 1);
inline QByteArray breedingIntervals()
{
    Asm g;
    g.push({ 1, "g" }).getVariable().push({ 2, "setInterval" }).callFunction().pop();
    Asm a;
    a.function("g", {}, g);
    a.push({ 1, "g" }).getVariable().push({ 2, "setInterval" }).callFunction().pop();
    return scriptMovie(a).bytes();
}

// for (i = 0; i < count; i++) _root.createEmptyMovieClip("c" + i, i);
inline Asm manyClipsLoop(int count)
{
    Asm a;
    a.push({ "i", 0 }).setVariable();
    Asm body;
    body.push({ "i" }).getVariable();                                       // depth
    body.push({ "c" }).push({ "i" }).getVariable().add2();                  // name
    body.push({ 2, "_root" }).getVariable().push({ "createEmptyMovieClip" }).callMethod().pop();
    body.raw(increment("i").bytes());
    a.raw(whileLoop(below("i", count), body).bytes());
    return a;
}

// manyClipsLoop(count); trace(i); trace(_root.c7._name);
inline QByteArray manyClips(int count)
{
    Asm a = manyClipsLoop(count);
    a.push({ "i" }).getVariable().trace();
    a.push({ "_root" }).getVariable().push({ "c7" }).getMember().push({ "_name" }).getMember().trace();
    return scriptMovie(a).bytes();
}

// One shape of `edges` curved edges, each crossing the stage, filled red
// (and outlined in black `withLines`).
inline QByteArray monsterShape(int edges, bool withLines = true)
{
    swfw::Movie movie(8, 400, 300, 30);
    swfw::Shape shape;
    int fill = shape.addFillStyle(swfw::FillStyle::solid({ 200, 40, 40, 255 }));
    shape.fill0(fill);
    if (withLines)
        shape.line(shape.addLineStyle(swfw::LineStyle::solid(40, { 0, 0, 0, 255 })));
    shape.moveTo(0, 0);
    for (int i = 0; i < edges; ++i) {
        const int x = (i % 2) ? 8000 : 0;
        const int y = (i * 37) % 6000;
        shape.curveTo(4000, (i % 3) * 3000, x, y);
    }
    shape.lineTo(0, 0);
    movie.defineShape(1, shape, 3);
    movie.placeObject2(swfw::Placement::place(1, 1));
    movie.showFrame();
    movie.showFrame();
    return movie.bytes();
}

// A header declaring a stage of `widthPx` × `heightPx`.
inline QByteArray hugeStage(int widthPx, int heightPx)
{
    swfw::Movie movie(6, widthPx, heightPx, 30);
    movie.showFrame();
    return movie.bytes();
}

// A JPEG bitmap whose data breaks off after its first markers, filling a shape.
inline QByteArray corruptJpeg()
{
    swfw::Movie movie(6, 200, 200, 30);
    QByteArray jpeg = QByteArray::fromHex("ffd8ffe000104a46494600010100000100010000ffdb004300");
    jpeg.append(QByteArray(40, char(0x11)));
    jpeg.append(QByteArray::fromHex("ffc0001108000a000a03012200021101031101ffda000c03010002110311003f00"));
    jpeg.append(QByteArray(30, char(0x5a)));
    movie.defineBitsJpeg2Raw(1, jpeg);
    swfw::Shape shape;
    int fill = shape.addFillStyle(swfw::FillStyle::bitmap(1, swfw::Matrix {}, false, true));
    shape.fill0(fill).rect(0, 0, 2000, 2000);
    movie.defineShape(2, shape, 2);
    movie.placeObject2(swfw::Placement::place(1, 2));
    movie.showFrame();
    return movie.bytes();
}

} // namespace hostile
