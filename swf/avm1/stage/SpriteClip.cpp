#include "swf/avm1/stage/SpriteClip.h"

#include "swf/avm1/stage/MovieLoading.h"

#include "swf/format/TagCodes.h"
#include "swf/runtime/Bounds.h"
#include "swf/runtime/ButtonInstance.h"
#include "swf/runtime/Drawing.h"
#include "swf/runtime/NameKey.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"
#include "swf/avm1/stage/StageScripts.h"
#include "swf/avm1/stage/TextFieldScripts.h"
#include "swf/avm1/stage/VideoClasses.h"

#include <cmath>
#include <limits>

namespace swf::avm1 {

namespace {

// Script depths start at -16384 where the file's start at 1.
constexpr int DepthOffset = SpriteInstance::ScriptDepthOffset;
// The highest depth a script may remove a clip from (script depth 1048575).
constexpr int HighestRemovableDepth = DepthOffset + 1048575;

enum class ClipProp { None, X, Y, XScale, YScale, CurrentFrame, TotalFrames, Alpha, Visible, Width, Height, Rotation,
    Target, FramesLoaded, Name, DropTarget, Url, HighQuality, FocusRect, SoundBufTime, Quality, XMouse, YMouse, Parent, Root };

ClipProp propOf(const QString& name, bool caseSensitive)
{
    if (name.isEmpty() || name[0] != '_')
        return ClipProp::None;
    static const QHash<FoldedKey, ClipProp> table = {
        { "_x", ClipProp::X }, { "_y", ClipProp::Y }, { "_xscale", ClipProp::XScale }, { "_yscale", ClipProp::YScale },
        { "_currentframe", ClipProp::CurrentFrame }, { "_totalframes", ClipProp::TotalFrames }, { "_alpha", ClipProp::Alpha },
        { "_visible", ClipProp::Visible }, { "_width", ClipProp::Width }, { "_height", ClipProp::Height },
        { "_rotation", ClipProp::Rotation }, { "_target", ClipProp::Target }, { "_framesloaded", ClipProp::FramesLoaded },
        { "_name", ClipProp::Name }, { "_droptarget", ClipProp::DropTarget }, { "_url", ClipProp::Url },
        { "_highquality", ClipProp::HighQuality }, { "_focusrect", ClipProp::FocusRect },
        { "_soundbuftime", ClipProp::SoundBufTime }, { "_quality", ClipProp::Quality }, { "_xmouse", ClipProp::XMouse },
        { "_ymouse", ClipProp::YMouse }, { "_parent", ClipProp::Parent }, { "_root", ClipProp::Root },
    };
    // Found whatever the case, then held to it where the movie's rules want.
    auto it = table.constFind(FoldedKey { name });
    if (it == table.constEnd() || (caseSensitive && it.key().name != name))
        return ClipProp::None;
    return *it;
}

} // namespace

SpriteClip::SpriteClip(StageScripts& owner, SpriteInstance* sprite, Object* proto, bool caseSensitive)
    : ClipObject(proto, caseSensitive), m_owner(owner), m_sprite(sprite)
{
}

void SpriteClip::detach()
{
    if (m_sprite) {
        // Only an instance still hanging from the root has a path to come back by.
        m_path.clear();
        const DisplayObject* o = m_sprite;
        int guard = 0;
        for (; o->parent() && guard < 1024; o = o->parent(), ++guard)
            m_path.prepend(o->name());
        m_hasPath = o == &m_owner.stage().root() && !m_path.contains(QString());
    }
    m_sprite = nullptr;
}

SpriteInstance* SpriteClip::sprite() const
{
    if (m_sprite || !m_hasPath)
        return m_sprite;
    SpriteInstance* cur = &m_owner.stage().root();
    for (const QString& name : m_path) {
        DisplayObject* child = cur->childByName(name);
        if (child && caseSensitive() && child->name() != name)
            child = nullptr;
        cur = child ? child->asSprite() : nullptr;
        if (!cur)
            return nullptr;
    }
    return cur;
}

Value SpriteClip::scrollRectValue(Interpreter& vm)
{
    const std::optional<QRectF>& r = m_sprite->scrollRect();
    if (!r)
        return Value();
    std::vector<Value> args { Value(r->x() / 20), Value(r->y() / 20), Value(r->width() / 20), Value(r->height() / 20) };
    // A flash.geom.Rectangle where the movie has one, else a plain object with its fields.
    Value flash = vm.getMember(Value(vm.global()), QStringLiteral("flash"));
    Value geom = flash.isObject() ? vm.getMember(flash, QStringLiteral("geom")) : Value();
    Value rectangle = geom.isObject() ? vm.getMember(geom, QStringLiteral("Rectangle")) : Value();
    if (Object* ctor = rectangle.asObject(); ctor && ctor->kind() == Object::Kind::Function)
        return vm.construct(rectangle, std::move(args));
    Object* o = vm.newObject();
    const char* names[] = { "x", "y", "width", "height" };
    for (int i = 0; i < 4; ++i)
        o->put(QString::fromLatin1(names[i]), args[std::size_t(i)]);
    return Value(o);
}

void SpriteClip::setScrollRect(Interpreter& vm, const Value& value)
{
    if (!value.asObject()) {
        m_sprite->setScrollRect(std::nullopt);
        return;
    }
    double f[4];
    const char* names[] = { "x", "y", "width", "height" };
    for (int i = 0; i < 4; ++i) {
        f[i] = vm.toNumber(vm.getMember(value, QString::fromLatin1(names[i])));
        if (!std::isfinite(f[i]))
            return; // the player ignores a window it cannot place
    }
    m_sprite->setScrollRect(QRectF(f[0] * 20, f[1] * 20, std::max(0.0, f[2]) * 20, std::max(0.0, f[3]) * 20));
}

SpriteClip* SpriteClip::successor() const
{
    if (m_sprite)
        return nullptr;
    SpriteInstance* now = sprite();
    return now ? m_owner.clipFor(*now) : nullptr;
}

void SpriteClip::gotoFrame(int frame, bool play)
{
    // A frame before the first is no frame: the jump is ignored. One past the
    // last goes to the last.
    if (frame < 1)
        return;
    if (auto s = sprite())
        s->gotoFrame(std::min(frame, s->frameCount()), play);
}

bool SpriteClip::gotoLabel(const QString& label, bool play)
{
    auto s = sprite();
    return s && s->gotoLabel(label, play);
}

void SpriteClip::play() { if (auto s = sprite()) s->play(); }
void SpriteClip::stop() { if (auto s = sprite()) s->stop(); }
void SpriteClip::nextFrame() { if (auto s = sprite(); s && s->currentFrame() < s->frameCount()) s->gotoFrame(s->currentFrame() + 1, false); }
void SpriteClip::prevFrame() { if (auto s = sprite()) s->prevFrame(); }
int SpriteClip::currentFrame() const { auto s = sprite(); return s ? s->currentFrame() : 0; }
int SpriteClip::totalFrames() const { auto s = sprite(); return s ? s->frameCount() : 0; }
int SpriteClip::frameOfLabel(const QString& label) const { auto s = sprite(); return s ? s->timeline().frameForLabel(label) : 0; }

void SpriteClip::callFrame(int frame)
{
    SpriteInstance* s = sprite();
    if (!s || frame < 1 || frame > s->frameCount())
        return;
    for (const ControlTag& tag : s->timeline().frames[size_t(frame - 1)]) {
        if (tag.code == TagDoAction)
            m_owner.runFrameActions(*s, tag.body);
    }
}

void SpriteClip::startDrag(bool lockCenter, const double* constraint)
{
    if (auto s = sprite())
        m_owner.startDrag(*s, lockCenter, constraint);
}

void SpriteClip::stopDrag()
{
    // Ends whichever drag is on, as the player's stopDrag does.
    m_owner.stopDrag();
}

ClipObject* SpriteClip::parentClip() const
{
    SpriteInstance* s = sprite();
    if (!s || !s->parent())
        return nullptr;
    return m_owner.clipFor(*s->parent());
}

ClipObject* SpriteClip::rootClip()
{
    // The root of the level the clip stands in (a level is a root of its own).
    // From version 7 a clip whose _lockroot is set is the root of everything
    // inside it, itself included.
    SpriteInstance* s = sprite();
    const bool lockable = m_owner.interpreter().version() >= 7;
    for (int guard = 0; s && s->parent() && guard < 1024; ++guard) {
        if (lockable) {
            SpriteClip* clip = s == sprite() ? this : m_owner.clipFor(*s);
            const Property* lock = clip ? clip->findOwn(QStringLiteral("_lockroot")) : nullptr;
            if (lock && lock->alive && m_owner.interpreter().toBoolean(lock->value))
                return clip;
        }
        s = s->parent();
    }
    return m_owner.clipFor(s && m_owner.stage().levelOf(*s) >= 0 ? *s : m_owner.stage().root());
}

QString SpriteClip::levelName() const
{
    const SpriteInstance* s = sprite();
    const int n = s && !s->parent() ? m_owner.stage().levelOf(*s) : 0;
    return QStringLiteral("_level%1").arg(n < 0 ? 0 : n);
}

ClipObject* SpriteClip::childByName(const QString& name)
{
    SpriteInstance* s = sprite();
    if (!s)
        return nullptr;
    DisplayObject* child = s->childByName(name);
    if (child && caseSensitive() && child->name() != name)
        child = nullptr;
    SpriteInstance* sprite = child ? child->asSprite() : nullptr;
    return sprite ? m_owner.clipFor(*sprite) : nullptr;
}

QString SpriteClip::instanceName() const
{
    SpriteInstance* s = sprite();
    return s ? s->name() : QString();
}

size_t SpriteClip::bytesOf(const SpriteInstance& sprite)
{
    return ClipBytes + (sprite.drawing() ? size_t(sprite.drawing()->elementCount()) * DrawingElementBytes : 0);
}

size_t SpriteClip::newClipCharge()
{
    return ClipBytes + Interpreter::objectRecordBytes(sizeof(SpriteClip), 4);
}

size_t SpriteClip::heldBytes(const std::function<void(const Value&)>& value) const
{
    // A detached reference holds nothing of the stage's: the clip that
    // stands at its path now counts for itself.
    return Object::heldBytes(value) + (m_sprite ? bytesOf(*m_sprite) : 0);
}

void SpriteClip::duplicate(const QString& name, int depth)
{
    SpriteInstance* s = sprite();
    if (!s || !s->parent())
        return;
    m_owner.interpreter().chargeMemory(bytesOf(*s) + Interpreter::objectRecordBytes(sizeof(SpriteClip), 4));
    // The duplicate action carries a display-list depth (the compiler has
    // already added the 16384 between script depths and the list's), unlike
    // the duplicateMovieClip method.
    const qint64 listDepth = depth;
    if (listDepth < 0 || listDepth > HighestRemovableDepth)
        return;
    s->parent()->duplicateChild(*s, name, int(listDepth));
}

void SpriteClip::remove()
{
    // Only clips at script depths (0 and up) can be removed by a script.
    SpriteInstance* s = sprite();
    // A clip already removed (its unload work still to run) is no longer
    // at its depth: whatever stands there now is another clip.
    if (s && s->parent() && s->depth() >= DepthOffset && s->depth() <= HighestRemovableDepth && s->parent()->childAt(s->depth()) == s)
        s->parent()->removeChild(s->depth());
}

QRectF roundedBounds(const QRectF& twips)
{
    auto r = [](double v) { return std::round(v) / 20.0; };
    return QRectF(QPointF(r(twips.left()), r(twips.top())), QPointF(r(twips.right()), r(twips.bottom())));
}

bool SpriteClip::getVirtual(Interpreter& vm, const QString& name, Value& out)
{
    if (SpriteClip* now = successor()) {
        out = vm.getMember(Value(static_cast<Object*>(now)), name);
        return true;
    }
    if (m_sprite && vm.version() >= 8 && name.compare(QLatin1String("scrollRect"), caseSensitive() ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0) {
        out = scrollRectValue(vm);
        return true;
    }
    // A member of the clip's own comes first, then a child of that name,
    // then the clip's built-in properties: a child named _x hides _x. In
    // movies of version 5 the built-in properties come first.
    if (vm.version() < 6 && builtInProperty(vm, name, out))
        return true;
    if (m_sprite && findOwn(name))
        return false;
    // Every kind of child is found through the one name index: when it has
    // no child of that name in any case, none of the lookups below can hit.
    if (m_sprite && m_sprite->childByName(name)) {
        if (ClipObject* child = childByName(name)) {
            out = Value(static_cast<Object*>(child));
            return true;
        }
        if (Object* field = m_owner.textFields().childField(*m_sprite, name, caseSensitive())) {
            out = Value(field);
            return true;
        }
        if (Object* video = childVideo(vm, *m_sprite, name, caseSensitive())) {
            out = Value(video);
            return true;
        }
        if (Object* button = childButton(vm, name)) {
            out = Value(button);
            return true;
        }
    }
    return builtInProperty(vm, name, out);
}

bool SpriteClip::builtInProperty(Interpreter& vm, const QString& name, Value& out)
{
    if (SpriteClip* now = successor())
        return now->builtInProperty(vm, name, out);
    ClipProp prop = propOf(name, caseSensitive());
    if (prop == ClipProp::None)
        return false;
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
    case ClipProp::Rotation:
        if (m_hasRotation && m.a == m_rotationMatrix.a && m.b == m_rotationMatrix.b && m.c == m_rotationMatrix.c
            && m.d == m_rotationMatrix.d)
            out = Value(m_rotation);
        else
            out = Value(std::atan2(m.b, m.a) * 180 / M_PI);
        break;
    case ClipProp::CurrentFrame: out = Value(double(currentFrame())); break;
    case ClipProp::TotalFrames:
    case ClipProp::FramesLoaded: out = Value(double(totalFrames())); break;
    case ClipProp::Alpha: out = Value(m_sprite->colorTransform().aMul * 100); break;
    case ClipProp::Visible: out = Value(m_sprite->isVisible()); break;
    case ClipProp::Width:
    case ClipProp::Height: {
        QRectF box;
        if (!boundsThrough(*m_sprite, m.toQTransform(), box)) {
            out = Value(0.0);
            break;
        }
        QRectF r = roundedBounds(box);
        out = Value(prop == ClipProp::Width ? r.width() : r.height());
        break;
    }
    case ClipProp::Target: out = Value(slashPath()); break;
    case ClipProp::Name: out = Value(instanceName()); break;
    case ClipProp::DropTarget: out = Value(QString()); break;
    case ClipProp::Url: out = Value(movieUrl(m_owner, m_sprite)); break;
    case ClipProp::HighQuality: out = Value(1.0); break;
    case ClipProp::FocusRect: out = Value(true); break;
    case ClipProp::SoundBufTime: out = Value(5.0); break;
    case ClipProp::Quality: out = Value(QStringLiteral("HIGH")); break;
    case ClipProp::XMouse:
    case ClipProp::YMouse: {
        const QPointF p = m_owner.mouseIn(*m_sprite);
        out = Value(prop == ClipProp::XMouse ? p.x() : p.y());
        break;
    }
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
    if (SpriteClip* now = successor()) {
        vm.setMember(Value(static_cast<Object*>(now)), name, value);
        return true;
    }
    if (m_sprite && vm.version() >= 8 && name.compare(QLatin1String("scrollRect"), caseSensitive() ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0) {
        setScrollRect(vm, value);
        return true;
    }
    ClipProp prop = propOf(name, caseSensitive());
    if (prop == ClipProp::None || !m_sprite)
        return false;
    double n = vm.toNumber(value);
    Matrix m = m_sprite->matrix();
    switch (prop) {
    case ClipProp::X: if (std::isfinite(n)) m.tx = n * 20; break;
    case ClipProp::Y: if (std::isfinite(n)) m.ty = n * 20; break;
    case ClipProp::Width:
    case ClipProp::Height: {
        // The size in the parent's space becomes `n` pixels: the axis is
        // scaled so that the content's extent along it covers that.
        QRectF local;
        if (!std::isfinite(n) || !localBounds(*m_sprite, local))
            return true;
        const bool x = prop == ClipProp::Width;
        const double extent = x ? local.width() : local.height();
        if (extent <= 0)
            return true;
        const double scale = n * 20 / extent;
        double& p = x ? m.a : m.c;
        double& q = x ? m.b : m.d;
        const double len = std::hypot(p, q);
        if (len == 0) {
            if (x) { m.a = scale; m.b = 0; } else { m.c = 0; m.d = scale; }
        } else {
            p = p / len * scale;
            q = q / len * scale;
        }
        break;
    }
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
        // NaN is ignored; an infinite angle leaves the clip as it stands and
        // reads back as NaN. Others are kept in -180..180 and read back as set.
        if (std::isnan(n))
            return true;
        if (!std::isfinite(n)) {
            m_rotation = std::numeric_limits<double>::quiet_NaN();
            m_rotationMatrix = m;
            m_hasRotation = true;
            return true;
        }
        double degrees = std::fmod(n, 360);
        if (degrees > 180)
            degrees -= 360;
        else if (degrees < -180)
            degrees += 360;
        double sx = std::hypot(m.a, m.b), sy = std::hypot(m.c, m.d);
        double r = degrees * M_PI / 180;
        m.a = sx * std::cos(r); m.b = sx * std::sin(r);
        m.c = -sy * std::sin(r); m.d = sy * std::cos(r);
        m_rotation = degrees;
        m_rotationMatrix = m;
        m_hasRotation = true;
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
    if (SpriteClip* now = successor())
        return vm.hasProperty(now, name);
    if (propOf(name, caseSensitive()) != ClipProp::None)
        return m_sprite != nullptr;
    return m_sprite && !findOwn(name) && m_sprite->childByName(name)
        && (childByName(name) || m_owner.textFields().childField(*m_sprite, name, caseSensitive())
        || childVideo(vm, *m_sprite, name, caseSensitive()) || childButton(vm, name));
}

Object* SpriteClip::childButton(Interpreter& vm, const QString& name)
{
    // Buttons are script objects from version 6 on.
    if (vm.version() < 6 || !m_sprite)
        return nullptr;
    DisplayObject* child = m_sprite->childByName(name, caseSensitive() ? Qt::CaseSensitive : Qt::CaseInsensitive);
    if (!child || !dynamic_cast<ButtonInstance*>(child))
        return nullptr;
    return m_owner.objectFor(*child);
}

void SpriteClip::virtualNames(Interpreter& vm, QStringList& out)
{
    if (SpriteClip* now = successor()) {
        now->virtualNames(vm, out);
        return;
    }
    if (!m_sprite)
        return;
    for (const auto& [depth, child] : m_sprite->displayList())
        if (!child->name().isEmpty())
            out.push_back(child->name());
}

} // namespace swf::avm1
