// flash.display.Stage: the one object above the root, with the movie's
// size and frame rate and the window settings scripts read and set.

#include "swf/avm2/display/StageScripts.h"

#include "swf/runtime/Stage.h"

#include <cmath>

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

} // namespace

void StageScripts::installStageClass()
{
    Machine& m = *m_machine;
    m_stageClass = m.defineClass(QStringLiteral("flash.display"), QStringLiteral("Stage"), m_containerClass, InstanceKind::Display,
        [](Machine& m, const Value&, Args) -> Value {
            m.throwError(ErrorClass::ArgumentError, 2012, QStringLiteral("Stage$ class cannot be instantiated."));
        });
    m_stageClass->sealed = true;
    m_stageObject = m.instantiate(m_stageClass);

    m.addGetter(m_stageClass, QStringLiteral("stageWidth"), [this](Machine&, const Value&, Args) {
        return Value::number(std::round(m_stage.movie().stageTwips().toPixels().width()));
    }, [](Machine&, const Value&, Args) { return Value::undefined(); });
    m.addGetter(m_stageClass, QStringLiteral("stageHeight"), [this](Machine&, const Value&, Args) {
        return Value::number(std::round(m_stage.movie().stageTwips().toPixels().height()));
    }, [](Machine&, const Value&, Args) { return Value::undefined(); });
    // The rate scripts set is what they read back; it is kept between 0.01 and 1000.
    m.addGetter(m_stageClass, QStringLiteral("frameRate"),
        [this](Machine&, const Value& self, Args) {
            return hiddenGet(self.object(), QStringLiteral(" frameRate"), Value::number(m_stage.movie().frameRate()));
        },
        [](Machine& m, const Value& self, Args args) {
            double rate = m.toNumber(arg(args, 0));
            if (std::isnan(rate))
                rate = 0.01;
            hiddenSet(self.o, QStringLiteral(" frameRate"), Value::number(std::clamp(rate, 0.01, 1000.0)));
            return Value::undefined();
        });
    const std::pair<const char*, Value> settings[] = { { "scaleMode", Value::string(QStringLiteral("showAll")) },
        { "align", Value::string(QString()) }, { "quality", Value::string(QStringLiteral("HIGH")) },
        { "displayState", Value::string(QStringLiteral("normal")) }, { "focus", Value::null() },
        { "showDefaultContextMenu", Value::boolean(true) }, { "stageFocusRect", Value::boolean(true) },
        { "color", Value::number(0xffffff) }, { "fullScreenSourceRect", Value::null() } };
    for (const auto& [name, initial] : settings) {
        const QString key = QLatin1Char(' ') + QLatin1String(name);
        const Value fallback = initial;
        const bool upper = QLatin1String(name) == QLatin1String("quality");
        const bool isString = initial.isString();
        m.addGetter(m_stageClass, QLatin1String(name),
            [key, fallback](Machine&, const Value& self, Args) { return hiddenGet(self.object(), key, fallback); },
            [key, upper, isString](Machine& m, const Value& self, Args args) {
                Value v = arg(args, 0);
                if (isString)
                    v = Value::string(upper ? m.toString(v).toUpper() : m.toString(v));
                hiddenSet(self.o, key, v);
                return Value::undefined();
            });
    }
    m.addMethod(m_stageClass, QStringLiteral("invalidate"), [this](Machine&, const Value&, Args) {
        hiddenSet(m_stageObject, QStringLiteral(" invalidated"), Value::boolean(true));
        return Value::undefined();
    });
}

} // namespace swf::avm2
