#pragma once

// A script builder for rows that need the stage: display, bitmap and text
// classes exist only in a machine bound to a movie.

#include "Avm2TestSupport.h"
#include "swf/Playback.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

namespace avm2test {

// Rows run in the constructor of a document class (the root of a one-frame
// movie), so the display classes bound to the stage are there; locals 1..5
// hold the objects a row makes.
struct DocumentRows {
    AbcWriter w;
    Code c;
    Tracer t { w };
    std::uint32_t bitmapData = w.qname(w.ns(0x16, QStringLiteral("flash.display")), QStringLiteral("BitmapData"));
    std::uint32_t bitmap = w.qname(w.ns(0x16, QStringLiteral("flash.display")), QStringLiteral("Bitmap"));
    std::uint32_t rectangle = w.qname(w.ns(0x16, QStringLiteral("flash.geom")), QStringLiteral("Rectangle"));
    std::uint32_t point = w.qname(w.ns(0x16, QStringLiteral("flash.geom")), QStringLiteral("Point"));
    std::uint32_t colorTransform = w.qname(w.ns(0x16, QStringLiteral("flash.geom")), QStringLiteral("ColorTransform"));

    std::uint32_t name(const char* s) { return w.publicName(QLatin1String(s)); }
    void nums(std::initializer_list<double> values)
    {
        for (double v : values)
            c.op(Op::PushDouble, w.number(v));
    }
    // local[reg] = new <cls>(values...)
    void make(std::uint32_t reg, std::uint32_t cls, std::initializer_list<double> values)
    {
        c.op(Op::FindPropStrict, cls);
        nums(values);
        c.op(Op::ConstructProp, cls, std::uint32_t(values.size())).op(Op::SetLocal, reg);
    }
    void newBitmapData(std::uint32_t reg, double width, double height, bool transparent, double fill)
    {
        c.op(Op::FindPropStrict, bitmapData);
        nums({ width, height });
        c.op(transparent ? Op::PushTrue : Op::PushFalse);
        nums({ fill });
        c.op(Op::ConstructProp, bitmapData, 4).op(Op::SetLocal, reg);
    }
    // Pushes new Rectangle(x, y, w, h).
    void rect(double x, double y, double width, double height)
    {
        c.op(Op::FindPropStrict, rectangle);
        nums({ x, y, width, height });
        c.op(Op::ConstructProp, rectangle, 4);
    }
    // trace(local[reg].<method>(values...))
    void traceCall(std::uint32_t reg, const char* method, std::initializer_list<double> values)
    {
        t.begin(c);
        c.op(Op::GetLocal, reg);
        nums(values);
        c.op(Op::CallProperty, name(method), std::uint32_t(values.size()));
        t.end(c);
    }
    void call(std::uint32_t reg, const char* method, std::initializer_list<double> values)
    {
        c.op(Op::GetLocal, reg);
        nums(values);
        c.op(Op::CallPropVoid, name(method), std::uint32_t(values.size()));
    }
    // trace(local[reg].<property>)
    void traceGet(std::uint32_t reg, const char* property)
    {
        t.begin(c);
        c.op(Op::GetLocal, reg).op(Op::GetProperty, name(property));
        t.end(c);
    }

    // Pushes new Point(x, y).
    void pointAt(double x, double y)
    {
        c.op(Op::FindPropStrict, point);
        nums({ x, y });
        c.op(Op::ConstructProp, point, 2);
    }
    // local[reg].<property> = text
    void setString(std::uint32_t reg, const char* property, const char* text)
    {
        c.op(Op::GetLocal, reg).op(Op::PushString, w.string(QString::fromUtf8(text))).op(Op::SetProperty, name(property));
    }
    void setFlag(std::uint32_t reg, const char* property, bool on)
    {
        c.op(Op::GetLocal, reg).op(on ? Op::PushTrue : Op::PushFalse).op(Op::SetProperty, name(property));
    }

    // The document class's base: MovieClip unless a row sets another.
    std::uint32_t base = 0;
    // Definition tags (code, body) written before the script.
    std::vector<std::pair<int, QByteArray>> definitions;

    // A movie (10 frames a second) whose document class runs the rows in its
    // constructor; its trace after `ticks` more frames.
    QStringList run(int ticks = 0)
    {
        std::uint32_t display = w.ns(0x16, QStringLiteral("flash.display"));
        std::uint32_t movieClip = base ? base : w.qname(display, QStringLiteral("MovieClip"));
        std::uint32_t main = w.publicName(QStringLiteral("Main"));
        std::uint32_t iinit = w.method();
        Code ic;
        ic.op(Op::GetLocal0).op(Op::PushScope).op(Op::GetLocal0).op(Op::ConstructSuper, 0);
        ic.raw(c.bytes()).op(Op::ReturnVoid);
        w.body(iinit, ic, 12, 8, 0, 1);
        std::uint32_t cinit = w.method();
        Code cc;
        cc.op(Op::ReturnVoid);
        w.body(cinit, cc, 1, 1, 0, 1);
        w.classDef(main, movieClip, iinit, cinit, {}, {}, 0);
        std::uint32_t init = w.method();
        Code sc;
        sc.op(Op::GetLocal0).op(Op::PushScope).op(Op::GetLocal0).op(Op::GetLex, movieClip).op(Op::NewClass, 0);
        sc.op(Op::InitProperty, main).op(Op::ReturnVoid);
        w.body(init, sc, 3, 1, 0, 2);
        w.script(init, { abcw::Trait::classTrait(main, 0, 1) });

        swfw::Movie movie(10, 100, 100, 10);
        movie.fileAttributes(0x08);
        for (const auto& [code, body] : definitions)
            movie.tag(std::uint16_t(code), body);
        QByteArray doAbc(4, '\0');
        doAbc.append("test\0", 5);
        doAbc.append(w.finish());
        movie.tag(82, doAbc, true);
        QByteArray symbols;
        symbols.append(char(1)).append(char(0)).append(char(0)).append(char(0));
        symbols.append("Main").append('\0');
        movie.tag(76, symbols);
        movie.showFrame();

        QStringList trace;
        swf::PlaybackOptions options;
        options.trace = [&](const QString& line) { trace << line; };
        auto playback = swf::Playback::fromBytes(movie.bytes(), options);
        EXPECT_TRUE(playback.ok());
        for (int i = 0; playback.ok() && i < ticks; ++i)
            playback.value()->nextFrame();
        return trace;
    }
};


} // namespace avm2test
