// Fuzz target that builds whole movies from a small grammar instead of
// mutating bytes: the fuzzer's bytes choose pieces our writer knows how to
// make (shapes with many edges, nested sprites, edit texts with long or
// marked-up text, scripts with loops that allocate strings, objects, arrays,
// clips and intervals), so the engine's limits are reached by well-formed
// movies that byte mutation rarely produces. Each movie plays a few frames
// under small budgets and is drawn.

#include "OffscreenApp.h"
#include "support/HostileMovies.h"

#include "swf/Playback.h"

#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>

namespace {

using swf::avm1::test::Asm;

class Choices {
public:
    Choices(const uint8_t* data, size_t size) : m_data(data), m_size(size) { }
    bool more() const { return m_at < m_size; }
    int pick(int count) { return count <= 1 ? 0 : int(byte() % unsigned(count)); }
    int number(int max) { return int(((unsigned(byte()) << 8) | byte()) % unsigned(max + 1)); }

private:
    uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

// One statement of a frame script.
void statement(Choices& c, Asm& a)
{
    switch (c.pick(8)) {
    case 0: { // s = s + s, or s = "x" when unset
        Asm body;
        body.push({ "s", "s" }).getVariable().push({ "x" }).add2().push({ "s" }).getVariable().add2().setVariable();
        a.push({ "i", 0 }).setVariable();
        a.raw(hostile::whileLoop(hostile::below("i", c.number(24)), Asm(body).raw(hostile::increment("i").bytes())).bytes());
        break;
    }
    case 1: { // many objects kept in an array
        a.push({ "list", 0, "Array" }).op(0x40).setVariable(); // NewObject
        Asm body;
        body.push({ 0, "Object" }).op(0x40).push({ 1, "list" }).getVariable().push({ "push" }).callMethod().pop();
        body.raw(hostile::increment("i").bytes());
        a.push({ "i", 0 }).setVariable();
        a.raw(hostile::whileLoop(hostile::below("i", c.number(500)), body).bytes());
        break;
    }
    case 2: { // clips by the hundred
        Asm body;
        body.push({ "i" }).getVariable().push({ "c" }).push({ "i" }).getVariable().add2();
        body.push({ 2, "_root" }).getVariable().push({ "createEmptyMovieClip" }).callMethod().pop();
        body.raw(hostile::increment("i").bytes());
        a.push({ "i", 0 }).setVariable();
        a.raw(hostile::whileLoop(hostile::below("i", c.number(300)), body).bytes());
        break;
    }
    case 3: { // intervals, some of which set more
        Asm g;
        g.push({ 1, "g" }).getVariable().push({ 2, "setInterval" }).callFunction().pop();
        a.function("g", {}, g);
        a.push({ c.number(50), "g" }).getVariable().push({ 2, "setInterval" }).callFunction().pop();
        break;
    }
    case 4: { // a text field filled by script
        a.push({ 100, 100, 0, 0, c.number(6000), "t", 6, "_root" }).getVariable().push({ "createTextField" }).callMethod().pop();
        a.push({ "_root" }).getVariable().push({ "t" }).getMember().push({ "text", "s" }).getVariable().setMember();
        break;
    }
    case 5: { // drawing with many segments
        Asm body;
        body.push({ "i" }).getVariable().push({ "i" }).getVariable().push({ 2, "_root" }).getVariable().push({ "lineTo" }).callMethod().pop();
        body.raw(hostile::increment("i").bytes());
        a.push({ 0, 0xff0000, 1, "_root" }).getVariable().push({ "beginFill" }).callMethod().pop();
        a.push({ "i", 0 }).setVariable();
        a.raw(hostile::whileLoop(hostile::below("i", c.number(2000)), body).bytes());
        break;
    }
    case 6: // recursion
        a.function("r", { "n" }, Asm().push({ "n" }).getVariable().push({ "n" }).getVariable().add2().push({ 1, "r" }).callFunction().op(0x3E));
        a.push({ "ab", 1, "r" }).callFunction().pop();
        break;
    default: // a BitmapData of any size
        a.push({ c.number(9000), c.number(9000), 2, "flash" }).getVariable().push({ "display" }).getMember().push({ "BitmapData" }).getMember().op(0x53).pop(); // NewMethod
        break;
    }
}

QByteArray movieFrom(Choices& c)
{
    swfw::Movie movie(6 + c.pick(3), 64 + c.number(2000), 64 + c.number(2000), 1 + c.pick(60));
    movie.tag(48, text_support::fontBody(1, "Square", 1024, 'a', 1100), true);
    int frames = 1 + c.pick(4);
    for (int f = 0; f < frames && c.more(); ++f) {
        switch (c.pick(4)) {
        case 0: {
            const uint16_t id = uint16_t(10 + f);
            swfw::Shape shape;
            shape.fill0(shape.addFillStyle(swfw::FillStyle::solid({ 10, 200, 10, 255 }))).moveTo(0, 0);
            const int edges = c.number(6000); // past 4096 a path is kept as heavy
            for (int e = 0; e < edges; ++e)
                shape.curveTo(c.number(8000), c.number(8000), (e % 2) * 8000, c.number(6000));
            movie.defineShape(id, shape, 3);
            movie.placeObject2(swfw::Placement::place(uint16_t(1 + f), id));
            break;
        }
        case 1: {
            const uint16_t id = uint16_t(20 + f);
            QByteArray text(c.number(6000) * 8, 'a');
            const bool html = c.pick(2);
            if (html)
                text.replace(0, 0, "<p>&bad;<b>");
            movie.tag(37, hostile::editText(id, swfw::Rect { 0, 4000, 0, 3000 }, 1, 20 * (1 + c.pick(40)), text, 0x60, uint8_t(0x01 | (html ? 0x02 : 0))), true);
            hostile::placeNamed(movie, id, uint16_t(1 + f), "t");
            break;
        }
        case 2: {
            // Sprites placing one another, as deep as the choices go.
            const uint16_t base = uint16_t(100 + 10 * f);
            const int depth = 1 + c.pick(8);
            for (int d = 0; d < depth; ++d) {
                swfw::Sprite sprite;
                if (d > 0)
                    sprite.placeObject2(swfw::Placement::place(1, uint16_t(base + d - 1)));
                sprite.showFrame();
                movie.defineSprite(uint16_t(base + d), sprite);
            }
            movie.placeObject2(swfw::Placement::place(uint16_t(1 + f), uint16_t(base + depth - 1)));
            break;
        }
        default: {
            Asm a;
            const int statements = 1 + c.pick(4);
            for (int s = 0; s < statements; ++s)
                statement(c, a);
            a.end();
            movie.doAction(a.bytes());
            break;
        }
        }
        movie.showFrame();
    }
    return movie.bytes();
}

} // namespace

VANTREL_FUZZ_OFFSCREEN_APP()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    Choices choices(data, size);
    const QByteArray bytes = movieFrom(choices);
    swf::PlaybackOptions options;
    // Budgets, loop counts and sizes are small so that a unit takes
    // milliseconds under the sanitizers: each limit is still reached.
    options.limits.actionsPerBlock = 1 << 14;
    options.limits.actionsPerFrame = 1 << 16;
    options.limits.memoryBytes = 4ull * 1024 * 1024;
    options.fault = [](const QString&) { };
    auto opened = swf::Playback::fromBytes(bytes, options);
    if (!opened)
        return 0;
    swf::Playback& playback = *opened.value();
    QImage image(100, 75, QImage::Format_ARGB32_Premultiplied);
    for (int frame = 0; frame < 2; ++frame) {
        playback.nextFrame();
        image.fill(Qt::white);
        QPainter painter(&image);
        const QRectF stage = playback.stageRect();
        if (stage.width() > 0 && stage.height() > 0)
            playback.render(painter, QTransform::fromScale(100 / stage.width(), 75 / stage.height()));
    }
    return 0;
}
