// The stage-facing built-ins: Color, Key, Mouse, Stage, Accessibility.

#include "swf/runtime/Stage.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/script/SpriteClip.h"
#include "swf/runtime/script/StageScripts.h"

#include <cmath>

namespace swf::script {

namespace {

// A Color object keeps its clip (or target path) in its primitive slot.
SpriteInstance* colorTarget(Interpreter& vm, StageScripts& scripts, const CallArgs& a)
{
    Object* self = a.thisObject();
    if (!self)
        return nullptr;
    Value target = self->primitive;
    Object* o = target.asObject();
    if (!o && target.isString())
        o = vm.resolveTarget(scripts.clipFor(scripts.stage().root()), target.asString());
    if (!o || o->kind() != Object::Kind::Clip)
        return nullptr;
    return static_cast<SpriteClip*>(o)->sprite();
}

void addListeners(Interpreter& vm, Object* on)
{
    ArrayObject* listeners = vm.newArray();
    on->define(QStringLiteral("_listeners"), Value(static_cast<Object*>(listeners)), DontEnum);
    vm.defineMethod(on, QStringLiteral("addListener"), [listeners](Interpreter&, CallArgs& a) -> Value {
        Object* l = a.arg(0).asObject();
        if (!l)
            return Value(false);
        for (const Value& v : listeners->elements)
            if (v.asObject() == l)
                return Value(true);
        listeners->elements.push_back(a.arg(0));
        return Value(true);
    });
    vm.defineMethod(on, QStringLiteral("removeListener"), [listeners](Interpreter&, CallArgs& a) -> Value {
        auto& e = listeners->elements;
        for (auto it = e.begin(); it != e.end(); ++it) {
            if (it->asObject() && it->asObject() == a.arg(0).asObject()) {
                e.erase(it);
                return Value(true);
            }
        }
        return Value(false);
    });
}

} // namespace

void StageScripts::installStageObjects()
{
    Interpreter& vm = *m_vm;
    Object* g = vm.global();
    const uint8_t constant = DontEnum | DontDelete | ReadOnly;

    // Color
    Object* cp = vm.newObject();
    auto* color = vm.newConstructor(QStringLiteral("Color"), [](Interpreter&, CallArgs& a) -> Value {
        if (Object* self = a.thisObject(); self && a.constructing)
            self->primitive = a.arg(0);
        return Value();
    }, cp);
    g->define(QStringLiteral("Color"), Value(static_cast<Object*>(color)), DontEnum);
    vm.defineMethod(cp, QStringLiteral("setRGB"), [this](Interpreter& vm, CallArgs& a) -> Value {
        SpriteInstance* s = colorTarget(vm, *this, a);
        if (!s)
            return Value();
        uint32_t rgb = toUint32(vm.toNumber(a.arg(0)));
        ColorTransform cx = s->colorTransform();
        cx.rMul = cx.gMul = cx.bMul = 0;
        cx.rAdd = (rgb >> 16) & 0xFF;
        cx.gAdd = (rgb >> 8) & 0xFF;
        cx.bAdd = rgb & 0xFF;
        s->setColorTransform(cx);
        return Value();
    });
    vm.defineMethod(cp, QStringLiteral("getRGB"), [this](Interpreter& vm, CallArgs& a) -> Value {
        SpriteInstance* s = colorTarget(vm, *this, a);
        if (!s)
            return Value();
        const ColorTransform& cx = s->colorTransform();
        int r = int(cx.rAdd) & 0xFF, gr = int(cx.gAdd) & 0xFF, b = int(cx.bAdd) & 0xFF;
        return Value(double((r << 16) | (gr << 8) | b));
    });
    vm.defineMethod(cp, QStringLiteral("setTransform"), [this](Interpreter& vm, CallArgs& a) -> Value {
        SpriteInstance* s = colorTarget(vm, *this, a);
        Object* t = a.arg(0).asObject();
        if (!s || !t)
            return Value();
        ColorTransform cx = s->colorTransform();
        auto field = [&](const char* name, double& slot, double scale) {
            Value v = vm.getMember(Value(t), QString::fromLatin1(name));
            if (!v.isUndefined())
                slot = vm.toNumber(v) / scale;
        };
        field("ra", cx.rMul, 100); field("rb", cx.rAdd, 1);
        field("ga", cx.gMul, 100); field("gb", cx.gAdd, 1);
        field("ba", cx.bMul, 100); field("bb", cx.bAdd, 1);
        field("aa", cx.aMul, 100); field("ab", cx.aAdd, 1);
        s->setColorTransform(cx);
        return Value();
    });
    vm.defineMethod(cp, QStringLiteral("getTransform"), [this](Interpreter& vm, CallArgs& a) -> Value {
        SpriteInstance* s = colorTarget(vm, *this, a);
        if (!s)
            return Value();
        const ColorTransform& cx = s->colorTransform();
        Object* t = vm.newObject();
        t->put(QStringLiteral("ra"), Value(cx.rMul * 100));
        t->put(QStringLiteral("rb"), Value(cx.rAdd));
        t->put(QStringLiteral("ga"), Value(cx.gMul * 100));
        t->put(QStringLiteral("gb"), Value(cx.gAdd));
        t->put(QStringLiteral("ba"), Value(cx.bMul * 100));
        t->put(QStringLiteral("bb"), Value(cx.bAdd));
        t->put(QStringLiteral("aa"), Value(cx.aMul * 100));
        t->put(QStringLiteral("ab"), Value(cx.aAdd));
        return Value(t);
    });

    // Key: a render run has no keyboard, so nothing is ever down.
    Object* key = vm.newObject();
    g->define(QStringLiteral("Key"), Value(key), DontEnum);
    const std::pair<const char*, int> keys[] = {
        { "BACKSPACE", 8 }, { "CAPSLOCK", 20 }, { "CONTROL", 17 }, { "DELETEKEY", 46 }, { "DOWN", 40 }, { "END", 35 },
        { "ENTER", 13 }, { "ESCAPE", 27 }, { "HOME", 36 }, { "INSERT", 45 }, { "LEFT", 37 }, { "PGDN", 34 },
        { "PGUP", 33 }, { "RIGHT", 39 }, { "SHIFT", 16 }, { "SPACE", 32 }, { "TAB", 9 }, { "UP", 38 },
    };
    for (const auto& [name, code] : keys)
        key->define(QString::fromLatin1(name), Value(double(code)), constant);
    vm.defineMethod(key, QStringLiteral("isDown"), [](Interpreter&, CallArgs&) -> Value { return Value(false); });
    vm.defineMethod(key, QStringLiteral("isToggled"), [](Interpreter&, CallArgs&) -> Value { return Value(false); });
    vm.defineMethod(key, QStringLiteral("getCode"), [](Interpreter&, CallArgs&) -> Value { return Value(0.0); });
    vm.defineMethod(key, QStringLiteral("getAscii"), [](Interpreter&, CallArgs&) -> Value { return Value(0.0); });
    addListeners(vm, key);

    // Mouse
    Object* mouse = vm.newObject();
    g->define(QStringLiteral("Mouse"), Value(mouse), DontEnum);
    vm.defineMethod(mouse, QStringLiteral("show"), [](Interpreter&, CallArgs&) -> Value { return Value(); });
    vm.defineMethod(mouse, QStringLiteral("hide"), [](Interpreter&, CallArgs&) -> Value { return Value(); });
    addListeners(vm, mouse);

    // Stage: the movie's own size; the player shows it whole.
    Object* stageObject = vm.newObject();
    g->define(QStringLiteral("Stage"), Value(stageObject), DontEnum);
    QRectF rect = m_stage.movie().stageTwips().toPixels();
    stageObject->define(QStringLiteral("width"), Value(std::round(rect.width())), DontDelete | ReadOnly);
    stageObject->define(QStringLiteral("height"), Value(std::round(rect.height())), DontDelete | ReadOnly);
    stageObject->define(QStringLiteral("scaleMode"), Value(QStringLiteral("showAll")), DontDelete);
    stageObject->define(QStringLiteral("align"), Value(QString()), DontDelete);
    stageObject->define(QStringLiteral("showMenu"), Value(true), DontDelete);
    addListeners(vm, stageObject);

    // Accessibility: no screen reader is ever attached to a render run.
    Object* access = vm.newObject();
    g->define(QStringLiteral("Accessibility"), Value(access), DontEnum);
    vm.defineMethod(access, QStringLiteral("isActive"), [](Interpreter&, CallArgs&) -> Value { return Value(false); });
    vm.defineMethod(access, QStringLiteral("updateProperties"), [](Interpreter&, CallArgs&) -> Value { return Value(); });
}

} // namespace swf::script
