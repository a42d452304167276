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
        { "fullScreenSourceRect", Value::null() } };
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
    // color is the background: read with an opaque alpha byte, set from
    // the low 24 bits (the stage shows the new colour).
    m.addGetter(m_stageClass, QStringLiteral("color"),
        [this](Machine&, const Value&, Args) {
            return Value::number(double(0xff000000u | (m_stage.backgroundColor().rgb() & 0xffffffu)));
        },
        [this](Machine& m, const Value&, Args args) {
            m_stage.setBackgroundColor(QColor::fromRgb(0xff000000u | (toUint32(m.toNumber(arg(args, 0))) & 0xffffffu)));
            return Value::undefined();
        });
    const std::pair<const char*, Value> fixed[] = { { "allowsFullScreen", Value::boolean(true) },
        { "allowsFullScreenInteractive", Value::boolean(false) }, { "browserZoomFactor", Value::number(1) },
        { "contentsScaleFactor", Value::number(1) } };
    for (const auto& [name, value] : fixed) {
        const Value v = value;
        m.addGetter(m_stageClass, QLatin1String(name), [v](Machine&, const Value&, Args) { return v; });
    }
    // stage3Ds: the stage's 3D layers, four as on the desktop, in one
    // Vector.<Stage3D> made once; the layers draw nothing here.
    ClassObject* stage3D = m.defineClass(QStringLiteral("flash.display"), QStringLiteral("Stage3D"), m.builtins().eventDispatcher,
        InstanceKind::Plain, [](Machine& m, const Value&, Args) -> Value {
            m.throwError(ErrorClass::ArgumentError, 2012, QStringLiteral("Stage3D$ class cannot be instantiated."));
        });
    stage3D->sealed = true;
    for (const char* name : { "x", "y" }) {
        const QString key = QLatin1Char(' ') + QLatin1String(name);
        m.addGetter(stage3D, QLatin1String(name),
            [key](Machine&, const Value& self, Args) { return hiddenGet(self.object(), key, Value::number(0)); },
            [key](Machine& m, const Value& self, Args args) {
                if (self.o)
                    hiddenSet(self.o, key, Value::number(m.toNumber(arg(args, 0))));
                return Value::undefined();
            });
    }
    m.addGetter(stage3D, QStringLiteral("visible"),
        [](Machine&, const Value& self, Args) { return hiddenGet(self.object(), QStringLiteral(" visible"), Value::boolean(true)); },
        [](Machine& m, const Value& self, Args args) {
            if (self.o)
                hiddenSet(self.o, QStringLiteral(" visible"), Value::boolean(m.toBoolean(arg(args, 0))));
            return Value::undefined();
        });
    m.addGetter(stage3D, QStringLiteral("context3D"), [](Machine&, const Value&, Args) { return Value::null(); });
    m.addGetter(m_stageClass, QStringLiteral("stage3Ds"), [stage3D](Machine& m, const Value& self, Args) {
        const QString key = QStringLiteral(" stage3Ds");
        Value layers = hiddenGet(self.object(), key, Value::undefined());
        if (layers.isUndefined() && self.o) {
            std::vector<Value> made;
            for (int i = 0; i < 4; ++i)
                made.push_back(Value::object(m.instantiate(stage3D)));
            layers = Value::object(m.newVector(m.applyVectorType(m.builtins().vector, stage3D), std::move(made)));
            hiddenSet(self.o, key, layers);
        }
        return layers;
    });
    m.addMethod(m_stageClass, QStringLiteral("invalidate"), [this](Machine&, const Value&, Args) {
        hiddenSet(m_stageObject, QStringLiteral(" invalidated"), Value::boolean(true));
        return Value::undefined();
    });
}

} // namespace swf::avm2
