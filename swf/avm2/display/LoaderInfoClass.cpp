// flash.display.LoaderInfo for the movie being played: its size, version,
// rate and stage size, and the init and complete events it sends once the
// first frame has run. Every display object of the movie on the stage
// shares it; one off the stage has none.

#include "swf/avm2/display/StageScripts.h"

#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"

#include <cmath>

namespace swf::avm2 {

void StageScripts::installLoaderInfoClass()
{
    Machine& m = *m_machine;
    m_loaderInfoClass = m.defineClass(QStringLiteral("flash.display"), QStringLiteral("LoaderInfo"), m.builtins().eventDispatcher,
        InstanceKind::Plain, [](Machine& m, const Value&, Args) -> Value {
            m.throwError(ErrorClass::ArgumentError, 2012, QStringLiteral("LoaderInfo$ class cannot be instantiated."));
        });
    m_loaderInfoClass->sealed = true;
    auto field = [&](const char* name, std::function<Value()> get) {
        m.addGetter(m_loaderInfoClass, QLatin1String(name), [get](Machine&, const Value&, Args) { return get(); });
    };
    const Movie& movie = m_stage.movie();
    field("bytesLoaded", [&movie] { return Value::number(double(movie.byteLength())); });
    field("bytesTotal", [&movie] { return Value::number(double(movie.byteLength())); });
    field("content", [this] { return Value::object(objectFor(&m_stage.root())); });
    field("contentType", [] { return Value::string(QStringLiteral("application/x-shockwave-flash")); });
    field("actionScriptVersion", [] { return Value::number(3); });
    field("swfVersion", [&movie] { return Value::number(movie.version()); });
    field("frameRate", [&movie] { return Value::number(movie.frameRate()); });
    field("width", [&movie] { return Value::number(std::round(movie.stageTwips().toPixels().width())); });
    field("height", [&movie] { return Value::number(std::round(movie.stageTwips().toPixels().height())); });
    field("loader", [] { return Value::null(); });
    field("sameDomain", [] { return Value::boolean(true); });
    field("childAllowsParent", [] { return Value::boolean(true); });
    field("parentAllowsChild", [] { return Value::boolean(true); });
    field("isURLInaccessible", [] { return Value::boolean(false); });
    m.addGetter(m_loaderInfoClass, QStringLiteral("parameters"), [](Machine& m, const Value& self, Args) {
        Value kept = hiddenGet(self.object(), QStringLiteral(" parameters"), Value::undefined());
        if (!kept.isObject()) {
            kept = Value::object(m.newObject());
            hiddenSet(self.o, QStringLiteral(" parameters"), kept);
        }
        return kept;
    });
}

Object* StageScripts::rootLoaderInfo()
{
    if (!m_loaderInfo)
        m_loaderInfo = m_machine->instantiate(m_loaderInfoClass);
    return m_loaderInfo;
}

// After the first frame: init, then complete, as a movie loaded whole does.
void StageScripts::announceLoaded()
{
    Object* info = rootLoaderInfo();
    Machine& m = *m_machine;
    for (const char* type : { "init", "complete" }) {
        if (!m.hasListeners(info, QLatin1String(type)))
            continue;
        m.guard([&] {
            Value args[] = { Value::string(QLatin1String(type)), Value::boolean(false), Value::boolean(false) };
            m.dispatchEvent(Value::object(info), m.constructClass(m.builtins().event, args));
        });
    }
}

} // namespace swf::avm2
