// The Key, Mouse and Stage objects fed from the player's input, and
// setTimeout on the frame clock.

#include "swf/runtime/Stage.h"
#include "swf/avm1/stage/StageScripts.h"
#include "swf/avm1/builtins/Builtins.h"

#include <cmath>
#include <memory>

namespace swf::avm1 {

namespace {

// A read-only property whose value is computed when read.
void defineGetter(Interpreter& vm, Object* on, const QString& name, NativeMethodFunction getter)
{
    on->define(name, Value(), DontDelete | DontEnum);
    if (Property* p = on->findOwn(name))
        p->getter = vm.newNative(name, getter);
}

// Stage.align keeps only the edges it understands: each of L, T, R and B
// (in either case) at most once, always in that order, whatever else the
// script wrote.
QString normalizeAlign(const QString& requested)
{
    QString align;
    for (QChar edge : { u'L', u'T', u'R', u'B' }) {
        if (requested.contains(edge, Qt::CaseInsensitive))
            align.append(edge);
    }
    return align;
}

void defineStageAlign(Interpreter& vm, Object* stageObject)
{
    auto align = std::make_shared<QString>();
    const QString name = QStringLiteral("align");
    stageObject->define(name, Value(), DontDelete);
    Property* p = stageObject->findOwn(name);
    if (!p)
        return;
    p->getter = vm.newNative(name, [align](Interpreter&, CallArgs&) -> Value { return Value(*align); });
    p->setter = vm.newNative(name, [align](Interpreter& vm, CallArgs& a) -> Value {
        *align = normalizeAlign(vm.toString(a.arg(0)));
        return Value();
    });
}

} // namespace

// Makes `on` a broadcaster the way AsBroadcaster.initialize does: a hidden
// _listeners array, the very addListener and removeListener of AsBroadcaster,
// and a broadcastMessage of its own. The stage reads _listeners when it has
// news, so whatever list a script installs there is the one that hears it.
void makeBroadcaster(Interpreter& vm, Object* on, uint8_t flags)
{
    const Value broadcaster = vm.getMember(Value(vm.global()), QStringLiteral("AsBroadcaster"));
    // The list is an array the player makes itself: it names Array as its
    // constructor in every version.
    ArrayObject* listeners = vm.newArray();
    if (Object* arrayClass = vm.getMember(Value(vm.global()), QStringLiteral("Array")).asObject())
        listeners->define(QStringLiteral("constructor"), Value(arrayClass), DontEnum | DontDelete);
    on->define(QStringLiteral("_listeners"), Value(static_cast<Object*>(listeners)), flags);
    for (const char* name : { "addListener", "removeListener" }) {
        const QString n = QString::fromLatin1(name);
        on->define(n, vm.getMember(broadcaster, n), flags);
    }
    const QString message = QStringLiteral("broadcastMessage");
    Object* shared = vm.getMember(broadcaster, message).asObject();
    if (shared && shared->kind() == Object::Kind::Function && static_cast<FunctionObject*>(shared)->isNative())
        on->define(message, Value(static_cast<Object*>(vm.newNative(message, static_cast<FunctionObject*>(shared)->native))), flags);
}

static Value keyIsDown(Interpreter& vm, CallArgs& a)
{
    return Value(StageScripts::of(vm).keyIsDown(clampToInt(vm.toNumber(a.arg(0)))));
}

static Value keyIsToggled(Interpreter& vm, CallArgs& a)
{
    return Value(StageScripts::of(vm).keyIsToggled(clampToInt(vm.toNumber(a.arg(0)))));
}

static Value keyGetCode(Interpreter& vm, CallArgs&)
{
    return Value(double(StageScripts::of(vm).lastKeyCode()));
}

static Value keyGetAscii(Interpreter& vm, CallArgs&)
{
    return Value(double(StageScripts::of(vm).lastKeyAscii()));
}

// Mouse.hide and Mouse.show ask the player to hide the pointer over the movie
// (or show it again); the answer says whether it was shown before.
template<bool Hide>
Value mouseSetHidden(Interpreter& vm, CallArgs&)
{
    StageScripts& scripts = StageScripts::of(vm);
    const bool wasHidden = scripts.mouseHidden();
    scripts.setMouseHidden(Hide);
    return Value(wasHidden ? 0.0 : 1.0);
}

// Stage.width and Stage.height.
template<bool Width>
Value stageObjectSize(Interpreter& vm, CallArgs&)
{
    return Value(StageScripts::of(vm).stageSize(Width));
}

// The function setTimeout schedules: it clears its own interval, then calls
// the script's function, which rides on it (as `f`) where the collector sees it.
static Value timeoutOnce(Interpreter& vm, CallArgs& call)
{
    Object* self = call.callee;
    if (!self)
        return Value();
    Property* id = self->findOwn(QStringLiteral("id"));
    Property* f = self->findOwn(QStringLiteral("f"));
    if (id)
        vm.clearInterval(clampToInt(vm.toNumber(id->value)));
    return f ? vm.call(f->value, Value(), call.args) : Value();
}

// setTimeout: a one-shot interval.
static Value globalSetTimeout(Interpreter& vm, CallArgs& a)
{
    Value function = a.arg(0);
    if (!function.isObject() || function.asObject()->kind() != Object::Kind::Function)
        return Value();
    FunctionObject* once = vm.newNative(QStringLiteral("timeout"), timeoutOnce);
    once->define(QStringLiteral("f"), function, DontEnum);
    const double delay = vm.toNumber(a.arg(1));
    std::vector<Value> rest;
    if (a.args.size() > 2)
        rest.assign(a.args.begin() + 2, a.args.end());
    const int id = vm.addInterval(Value(static_cast<Object*>(once)), Value(), QString(), std::isnan(delay) ? 0 : delay, std::move(rest));
    once->define(QStringLiteral("id"), Value(double(id)), DontEnum);
    return Value(double(id));
}

static Value globalClearTimeout(Interpreter& vm, CallArgs& a)
{
    vm.clearInterval(clampToInt(vm.toNumber(a.arg(0))));
    return Value();
}

const NativeMethod keyStaticMethods[] = {
    { "isDown", keyIsDown },
    { "isToggled", keyIsToggled },
    { "getCode", keyGetCode },
    { "getAscii", keyGetAscii },
    { "isAccessible", Builtins::refuse },
};

const NativeMethod mouseStaticMethods[] = {
    { "show", mouseSetHidden<false> },
    { "hide", mouseSetHidden<true> },
};

const NativeMethod timeoutFunctions[] = {
    { "setTimeout", globalSetTimeout },
    { "clearTimeout", globalClearTimeout },
};

void StageScripts::installInputObjects()
{
    Interpreter& vm = *m_vm;
    Object* g = vm.global();
    const uint8_t constant = DontEnum | DontDelete | ReadOnly;

    // Key: the keyboard as the player last saw it.
    Object* key = vm.newObject();
    // A class of static members the player builds names Object as its constructor.
    key->define(QStringLiteral("constructor"), Value(vm.realm().objectConstructor), DontEnum | DontDelete);
    m_keyObject = key;
    g->define(QStringLiteral("Key"), Value(key), DontEnum);
    const std::pair<const char*, int> keys[] = {
        { "ALT", 18 }, { "BACKSPACE", 8 }, { "CAPSLOCK", 20 }, { "CONTROL", 17 }, { "DELETEKEY", 46 }, { "DOWN", 40 },
        { "END", 35 }, { "ENTER", 13 }, { "ESCAPE", 27 }, { "HOME", 36 }, { "INSERT", 45 }, { "LEFT", 37 },
        { "PGDN", 34 }, { "PGUP", 33 }, { "RIGHT", 39 }, { "SHIFT", 16 }, { "SPACE", 32 }, { "TAB", 9 }, { "UP", 38 },
    };
    for (const auto& [name, code] : keys)
        key->define(QString::fromLatin1(name), Value(double(code)), constant);
    vm.defineMethods(key, keyStaticMethods);
    makeBroadcaster(vm, key, constant);
    // Everything on Key is fixed, the methods as much as the codes.
    for (const QString& name : key->ownNames(true)) {
        if (Property* p = key->findOwn(name))
            p->flags = constant;
    }

    // Mouse: listeners hear the pointer; hide and show ask the player to hide the pointer over the movie.
    Object* mouse = vm.newObject();
    m_mouseObject = mouse;
    g->define(QStringLiteral("Mouse"), Value(mouse), DontEnum);
    vm.defineMethods(mouse, mouseStaticMethods);
    makeBroadcaster(vm, mouse, DontEnum);

    // Stage: the movie's size, or the view's when the movie does not scale.
    Object* stageObject = vm.newObject();
    m_stageObject = stageObject;
    g->define(QStringLiteral("Stage"), Value(stageObject), DontEnum);
    stageObject->define(QStringLiteral("scaleMode"), Value(QStringLiteral("showAll")), DontDelete);
    defineStageAlign(vm, stageObject);
    stageObject->define(QStringLiteral("showMenu"), Value(true), DontDelete);
    defineGetter(vm, stageObject, QStringLiteral("width"), stageObjectSize<true>);
    defineGetter(vm, stageObject, QStringLiteral("height"), stageObjectSize<false>);
    makeBroadcaster(vm, stageObject, DontEnum);

    vm.defineMethods(g, timeoutFunctions);
}

double StageScripts::stageSize(bool width)
{
    const QRectF movie = m_stage.movie().stageTwips().toPixels();
    double value = std::round(width ? movie.width() : movie.height());
    if (m_viewWidth > 0 && noScale(*m_vm))
        value = std::round(width ? m_viewWidth : m_viewHeight);
    return value;
}

bool StageScripts::noScale(Interpreter& vm)
{
    Property* mode = m_stageObject ? m_stageObject->findOwn(QStringLiteral("scaleMode")) : nullptr;
    return mode && vm.toString(mode->value).compare(QLatin1String("noScale"), Qt::CaseInsensitive) == 0;
}

void StageScripts::setViewSize(double width, double height)
{
    if (width == m_viewWidth && height == m_viewHeight)
        return;
    m_viewWidth = width;
    m_viewHeight = height;
    // Only a movie that does not scale sees its stage change size.
    if (noScale(*m_vm))
        broadcast(m_stageObject, QStringLiteral("onResize"));
}

} // namespace swf::avm1
