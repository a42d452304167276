// The stage-facing built-ins: Key, Mouse, Stage, Accessibility (Color lives in BuiltinsColor.cpp).

#include "swf/runtime/Stage.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/script/Builtins.h"
#include "swf/runtime/script/SpriteClip.h"
#include "swf/runtime/script/StageScripts.h"

#include <cmath>

namespace swf::script {

namespace {

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

    Builtins::installColor(vm, *this);

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
