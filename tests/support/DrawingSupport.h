#pragma once

// Helpers for the drawing tests: a script machine with the drawing side
// installed, and movies whose first frame runs a script.

#include "swf/Playback.h"
#include "swf/movie/Movie.h"
#include "swf/runtime/Stage.h"
#include "swf/avm1/stage/ClipDrawing.h"
#include "swf/avm1/vm/Interpreter.h"
#include "swf/avm1/stage/StageScripts.h"
#include "support/Assembler.h"
#include "tools/swfwriter/Movie.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace drawing_test {

using swf::avm1::Interpreter;
using swf::avm1::Object;
using swf::avm1::Value;

struct SilentHost : swf::avm1::ScriptHost {
    void trace(const QString& line) override { lines << line; }
    QStringList lines;
};

// An interpreter with flash.geom, flash.filters and BitmapData over `movie`
// (held by a stage with no drawing port).
struct ScriptWorld {
    explicit ScriptWorld(std::shared_ptr<swf::Movie> m = nullptr)
        : movie(m ? std::move(m) : emptyMovie())
        , stage(movie)
        , vm(8, &host)
    {
        swf::avm1::installFlashGeom(vm, swf::avm1::flashPackage(vm, QStringLiteral("geom")));
        swf::avm1::installFlashFilters(vm, swf::avm1::flashPackage(vm, QStringLiteral("filters")));
        swf::avm1::installBitmapData(vm, swf::avm1::flashPackage(vm, QStringLiteral("display")), stage);
    }

    static std::shared_ptr<swf::Movie> emptyMovie()
    {
        swfw::Movie m(8, 100, 100, 12);
        m.showFrame();
        return swf::Movie::load(m.bytes()).release();
    }

    Object* make(const char* package, const char* className, std::vector<Value> args)
    {
        Value pkg(swf::avm1::flashPackage(vm, QString::fromLatin1(package)));
        return vm.construct(vm.getMember(pkg, QString::fromLatin1(className)), std::move(args)).asObject();
    }
    Value call(Object* o, const char* method, std::vector<Value> args = {})
    {
        return vm.callMethodSafely(o, QString::fromLatin1(method), std::move(args));
    }
    double number(Object* o, const char* member) { return vm.toNumber(vm.getMember(Value(o), QString::fromLatin1(member))); }

    SilentHost host;
    std::shared_ptr<swf::Movie> movie;
    swf::Stage stage; // never begun: BitmapData only reads its movie and drawing port
    Interpreter vm;
};

// A movie of `width` x `height` pixels, white, whose first frame runs `script`.
inline QByteArray scriptedMovie(const swf::avm1::test::Asm& script, int width = 100, int height = 100)
{
    swfw::Movie m(8, width, height, 12);
    m.setBackgroundColor({ 255, 255, 255, 255 });
    swf::avm1::test::Asm body = script;
    body.end();
    m.doAction(body.bytes());
    m.showFrame();
    return m.bytes();
}

// A played movie with the script machine attached.
struct ScriptedPlayback {
    explicit ScriptedPlayback(const QByteArray& bytes)
    {
        swf::PlaybackOptions options;
        options.trace = [this](const QString& line) { traces << line; };
        auto loaded = swf::Playback::fromBytes(bytes, options);
        EXPECT_TRUE(loaded.ok());
        if (!loaded.ok())
            return;
        playback = loaded.release();
        scripts = playback->scripts();
    }
    // The stage at its pixel size; anti-aliasing off so edges are exact.
    QImage render() const
    {
        QRectF stage = playback->stageRect();
        QImage image(int(stage.width()), int(stage.height()), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::magenta);
        QPainter painter(&image);
        playback->setQuality(swf::Quality::Low);
        playback->render(painter, QTransform());
        return image;
    }

    std::unique_ptr<swf::Playback> playback;
    swf::avm1::StageScripts* scripts = nullptr;
    QStringList traces;
};

// Script helpers: `target.method(args...)` with the result dropped.
inline swf::avm1::test::Asm& callMethod(swf::avm1::test::Asm& a, const char* target, const char* method,
    std::initializer_list<swf::avm1::test::Asm::Item> reversedArgs, int count)
{
    if (reversedArgs.size())
        a.push(reversedArgs);
    a.push({ count, target }).getVariable().push({ method }).callMethod().pop();
    return a;
}

} // namespace drawing_test
