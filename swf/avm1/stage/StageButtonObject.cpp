#include "swf/avm1/stage/StageButtonObject.h"

#include "swf/runtime/DisplayObject.h"
#include "swf/avm1/vm/Interpreter.h"

#include <cmath>

namespace swf::avm1 {

namespace {

enum class ButtonProp { None, X, Y, XScale, YScale, Rotation, Alpha, Visible, Name };

ButtonProp propOf(const QString& name)
{
    if (name.isEmpty() || name[0] != '_')
        return ButtonProp::None;
    const QString lower = name.toLower();
    if (lower == QLatin1String("_x")) return ButtonProp::X;
    if (lower == QLatin1String("_y")) return ButtonProp::Y;
    if (lower == QLatin1String("_xscale")) return ButtonProp::XScale;
    if (lower == QLatin1String("_yscale")) return ButtonProp::YScale;
    if (lower == QLatin1String("_rotation")) return ButtonProp::Rotation;
    if (lower == QLatin1String("_alpha")) return ButtonProp::Alpha;
    if (lower == QLatin1String("_visible")) return ButtonProp::Visible;
    if (lower == QLatin1String("_name")) return ButtonProp::Name;
    return ButtonProp::None;
}

} // namespace

bool StageButtonObject::getVirtual(Interpreter&, const QString& name, Value& out)
{
    ButtonProp prop = propOf(name);
    if (prop == ButtonProp::None)
        return false;
    if (!m_button) {
        out = Value();
        return true;
    }
    const Matrix& m = m_button->matrix();
    switch (prop) {
    case ButtonProp::X: out = Value(m.tx / 20.0); break;
    case ButtonProp::Y: out = Value(m.ty / 20.0); break;
    case ButtonProp::XScale: out = Value(std::hypot(m.a, m.b) * 100); break;
    case ButtonProp::YScale: out = Value(std::hypot(m.c, m.d) * 100); break;
    case ButtonProp::Rotation: out = Value(std::atan2(m.b, m.a) * 180 / M_PI); break;
    case ButtonProp::Alpha: out = Value(m_button->colorTransform().aMul * 100); break;
    case ButtonProp::Visible: out = Value(m_button->isVisible()); break;
    case ButtonProp::Name: out = Value(m_button->name()); break;
    case ButtonProp::None: return false;
    }
    return true;
}

bool StageButtonObject::setVirtual(Interpreter& vm, const QString& name, const Value& value)
{
    ButtonProp prop = propOf(name);
    if (prop == ButtonProp::None || !m_button)
        return prop != ButtonProp::None;
    if (prop == ButtonProp::Visible) {
        m_button->setVisible(vm.toBoolean(value));
        return true;
    }
    if (prop == ButtonProp::Name) {
        m_button->setName(vm.toString(value));
        return true;
    }
    const double n = vm.toNumber(value);
    if (!std::isfinite(n))
        return true;
    Matrix m = m_button->matrix();
    switch (prop) {
    case ButtonProp::X: m.tx = n * 20; break;
    case ButtonProp::Y: m.ty = n * 20; break;
    case ButtonProp::XScale:
    case ButtonProp::YScale: {
        const bool x = prop == ButtonProp::XScale;
        double& p = x ? m.a : m.c;
        double& q = x ? m.b : m.d;
        const double length = std::hypot(p, q);
        if (length == 0) {
            p = x ? n / 100 : 0;
            q = x ? 0 : n / 100;
        } else {
            p = p / length * n / 100;
            q = q / length * n / 100;
        }
        break;
    }
    case ButtonProp::Rotation: {
        const double sx = std::hypot(m.a, m.b), sy = std::hypot(m.c, m.d), r = n * M_PI / 180;
        m.a = sx * std::cos(r);
        m.b = sx * std::sin(r);
        m.c = -sy * std::sin(r);
        m.d = sy * std::cos(r);
        break;
    }
    case ButtonProp::Alpha: {
        ColorTransform cx = m_button->colorTransform();
        cx.aMul = n / 100;
        m_button->setColorTransform(cx);
        return true;
    }
    default:
        return true;
    }
    m_button->setMatrix(m);
    return true;
}

bool StageButtonObject::hasVirtual(Interpreter&, const QString& name)
{
    return m_button && propOf(name) != ButtonProp::None;
}

} // namespace swf::avm1
