#include "swf/runtime/script/SpriteClip.h"

#include "swf/format/TagCodes.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"
#include "swf/runtime/script/StageScripts.h"
#include "swf/runtime/script/TextFieldScripts.h"

#include <cmath>

namespace swf::script {

namespace {

// Script depths start at -16384 where the file's start at 1.
constexpr int DepthOffset = 16384;

enum class ClipProp { None, X, Y, XScale, YScale, CurrentFrame, TotalFrames, Alpha, Visible, Width, Height, Rotation,
    Target, FramesLoaded, Name, DropTarget, Url, HighQuality, FocusRect, SoundBufTime, Quality, XMouse, YMouse, Parent, Root };

ClipProp propOf(const QString& name, bool caseSensitive)
{
    if (name.isEmpty() || name[0] != '_')
        return ClipProp::None;
    static const QHash<QString, ClipProp> table = {
        { "_x", ClipProp::X }, { "_y", ClipProp::Y }, { "_xscale", ClipProp::XScale }, { "_yscale", ClipProp::YScale },
        { "_currentframe", ClipProp::CurrentFrame }, { "_totalframes", ClipProp::TotalFrames }, { "_alpha", ClipProp::Alpha },
        { "_visible", ClipProp::Visible }, { "_width", ClipProp::Width }, { "_height", ClipProp::Height },
        { "_rotation", ClipProp::Rotation }, { "_target", ClipProp::Target }, { "_framesloaded", ClipProp::FramesLoaded },
        { "_name", ClipProp::Name }, { "_droptarget", ClipProp::DropTarget }, { "_url", ClipProp::Url },
        { "_highquality", ClipProp::HighQuality }, { "_focusrect", ClipProp::FocusRect },
        { "_soundbuftime", ClipProp::SoundBufTime }, { "_quality", ClipProp::Quality }, { "_xmouse", ClipProp::XMouse },
        { "_ymouse", ClipProp::YMouse }, { "_parent", ClipProp::Parent }, { "_root", ClipProp::Root },
    };
    return table.value(caseSensitive ? name : name.toLower(), ClipProp::None);
}

} // namespace

SpriteClip::SpriteClip(StageScripts& owner, SpriteInstance* sprite, Object* proto, bool caseSensitive)
    : ClipObject(proto, caseSensitive), m_owner(owner), m_sprite(sprite)
{
}

void SpriteClip::gotoFrame(int frame, bool play)
{
    if (m_sprite)
        m_sprite->gotoFrame(std::clamp(frame, 1, m_sprite->frameCount()), play);
}

bool SpriteClip::gotoLabel(const QString& label, bool play)
{
    return m_sprite && m_sprite->gotoLabel(label, play);
}

void SpriteClip::play() { if (m_sprite) m_sprite->play(); }
void SpriteClip::stop() { if (m_sprite) m_sprite->stop(); }
void SpriteClip::nextFrame() { if (m_sprite && m_sprite->currentFrame() < m_sprite->frameCount()) m_sprite->gotoFrame(m_sprite->currentFrame() + 1, false); }
void SpriteClip::prevFrame() { if (m_sprite) m_sprite->prevFrame(); }
int SpriteClip::currentFrame() const { return m_sprite ? m_sprite->currentFrame() : 0; }
int SpriteClip::totalFrames() const { return m_sprite ? m_sprite->frameCount() : 0; }
int SpriteClip::frameOfLabel(const QString& label) const { return m_sprite ? m_sprite->timeline().frameForLabel(label) : 0; }

void SpriteClip::callFrame(int frame)
{
    if (!m_sprite || frame < 1 || frame > m_sprite->frameCount())
        return;
    for (const ControlTag& tag : m_sprite->timeline().frames[size_t(frame - 1)]) {
        if (tag.code == TagDoAction)
            m_owner.runFrameActions(*m_sprite, tag.body);
    }
}

ClipObject* SpriteClip::parentClip() const
{
    if (!m_sprite || !m_sprite->parent())
        return nullptr;
    return m_owner.clipFor(*m_sprite->parent());
}

ClipObject* SpriteClip::rootClip()
{
    return m_owner.clipFor(m_owner.stage().root());
}

ClipObject* SpriteClip::childByName(const QString& name)
{
    if (!m_sprite)
        return nullptr;
    DisplayObject* child = m_sprite->childByName(name);
    if (child && caseSensitive() && child->name() != name)
        child = nullptr;
    SpriteInstance* sprite = child ? child->asSprite() : nullptr;
    return sprite ? m_owner.clipFor(*sprite) : nullptr;
}

QString SpriteClip::instanceName() const
{
    return m_sprite ? m_sprite->name() : QString();
}

void SpriteClip::duplicate(const QString&, int)
{
    // The display list offers no way yet to place an instance from a script.
}

void SpriteClip::remove()
{
    // Only clips made by scripts (at script depths 0 and up) can be removed.
    if (m_sprite && m_sprite->parent() && m_sprite->depth() >= DepthOffset)
        m_sprite->parent()->removeChild(m_sprite->depth());
}

bool SpriteClip::getVirtual(Interpreter& vm, const QString& name, Value& out)
{
    ClipProp prop = propOf(name, caseSensitive());
    if (prop == ClipProp::None) {
        if (!m_sprite || findOwn(name))
            return false;
        if (ClipObject* child = childByName(name)) {
            out = Value(static_cast<Object*>(child));
            return true;
        }
        if (Object* field = m_owner.textFields().childField(*m_sprite, name, caseSensitive())) {
            out = Value(field);
            return true;
        }
        return false;
    }
    if (!m_sprite) {
        if (prop == ClipProp::Name || prop == ClipProp::Target)
            return false;
        out = Value();
        return true;
    }
    const Matrix& m = m_sprite->matrix();
    switch (prop) {
    case ClipProp::X: out = Value(m.tx / 20.0); break;
    case ClipProp::Y: out = Value(m.ty / 20.0); break;
    case ClipProp::XScale: out = Value(std::hypot(m.a, m.b) * 100); break;
    case ClipProp::YScale: out = Value(std::hypot(m.c, m.d) * 100); break;
    case ClipProp::Rotation: out = Value(std::atan2(m.b, m.a) * 180 / M_PI); break;
    case ClipProp::CurrentFrame: out = Value(double(currentFrame())); break;
    case ClipProp::TotalFrames:
    case ClipProp::FramesLoaded: out = Value(double(totalFrames())); break;
    case ClipProp::Alpha: out = Value(m_sprite->colorTransform().aMul * 100); break;
    case ClipProp::Visible: out = Value(m_sprite->isVisible()); break;
    case ClipProp::Width:
    case ClipProp::Height: out = Value(0.0); break; // bounds are not measured yet
    case ClipProp::Target: out = Value(slashPath()); break;
    case ClipProp::Name: out = Value(instanceName()); break;
    case ClipProp::DropTarget: out = Value(QString()); break;
    case ClipProp::Url: out = Value(QString()); break;
    case ClipProp::HighQuality: out = Value(1.0); break;
    case ClipProp::FocusRect: out = Value(true); break;
    case ClipProp::SoundBufTime: out = Value(5.0); break;
    case ClipProp::Quality: out = Value(QStringLiteral("HIGH")); break;
    case ClipProp::XMouse:
    case ClipProp::YMouse: out = Value(0.0); break;
    case ClipProp::Parent: {
        ClipObject* p = parentClip();
        out = p ? Value(static_cast<Object*>(p)) : Value();
        break;
    }
    case ClipProp::Root: out = Value(static_cast<Object*>(rootClip())); break;
    case ClipProp::None: return false;
    }
    (void)vm;
    return true;
}

bool SpriteClip::setVirtual(Interpreter& vm, const QString& name, const Value& value)
{
    ClipProp prop = propOf(name, caseSensitive());
    if (prop == ClipProp::None || !m_sprite)
        return false;
    double n = vm.toNumber(value);
    Matrix m = m_sprite->matrix();
    switch (prop) {
    case ClipProp::X: if (std::isfinite(n)) m.tx = n * 20; break;
    case ClipProp::Y: if (std::isfinite(n)) m.ty = n * 20; break;
    case ClipProp::XScale:
    case ClipProp::YScale: {
        if (!std::isfinite(n))
            return true;
        bool x = prop == ClipProp::XScale;
        double& p = x ? m.a : m.c;
        double& q = x ? m.b : m.d;
        double len = std::hypot(p, q);
        if (len == 0) {
            if (x) { m.a = n / 100; m.b = 0; } else { m.c = 0; m.d = n / 100; }
        } else {
            p = p / len * n / 100;
            q = q / len * n / 100;
        }
        break;
    }
    case ClipProp::Rotation: {
        if (!std::isfinite(n))
            return true;
        double sx = std::hypot(m.a, m.b), sy = std::hypot(m.c, m.d);
        double r = n * M_PI / 180;
        m.a = sx * std::cos(r); m.b = sx * std::sin(r);
        m.c = -sy * std::sin(r); m.d = sy * std::cos(r);
        break;
    }
    case ClipProp::Alpha: {
        if (!std::isfinite(n))
            return true;
        ColorTransform cx = m_sprite->colorTransform();
        cx.aMul = n / 100;
        m_sprite->setColorTransform(cx);
        return true;
    }
    case ClipProp::Visible: m_sprite->setVisible(vm.toBoolean(value)); return true;
    case ClipProp::Name: m_sprite->setName(vm.toString(value)); return true;
    default:
        return true; // read-only or not settable here
    }
    m_sprite->setMatrix(m);
    return true;
}

bool SpriteClip::hasVirtual(Interpreter& vm, const QString& name)
{
    if (propOf(name, caseSensitive()) != ClipProp::None)
        return m_sprite != nullptr;
    return m_sprite && !findOwn(name) && (childByName(name) || m_owner.textFields().childField(*m_sprite, name, caseSensitive()));
}

void SpriteClip::virtualNames(Interpreter&, QStringList& out)
{
    if (!m_sprite)
        return;
    for (const auto& [depth, child] : m_sprite->displayList())
        if (!child->name().isEmpty())
            out.push_back(child->name());
}

} // namespace swf::script
