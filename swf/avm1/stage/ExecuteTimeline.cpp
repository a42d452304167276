// Actions that drive timelines and talk to the player: frame navigation,
// SetTarget, clip properties by index, duplicate and remove, dragging,
// getURL and fscommand, trace, the clock and random numbers.

#include "swf/avm1/vm/Execute.h"
#include "swf/avm1/stage/SpriteClip.h"

#include <cmath>

namespace swf::avm1 {

using namespace exec;

namespace {

// A frame given as "path:frame" is a frame of the timeline at `path`, from
// `timeline`: that clip is returned and `frame` keeps the part after the
// colon. Without a colon the frame belongs to `current`.
ClipObject* frameTarget(Interpreter& vm, ClipObject* current, Object* timeline, QString& frame)
{
    const int colon = frame.lastIndexOf(QLatin1Char(':'));
    if (colon < 0)
        return current;
    ClipObject* c = exec::asClip(vm.resolveTarget(timeline, frame.left(colon)));
    frame = frame.mid(colon + 1);
    return c;
}

const char* const PropertyNames[] = {
    "_x", "_y", "_xscale", "_yscale", "_currentframe", "_totalframes", "_alpha", "_visible",
    "_width", "_height", "_rotation", "_target", "_framesloaded", "_name", "_droptarget", "_url",
    "_highquality", "_focusrect", "_soundbuftime", "_quality", "_xmouse", "_ymouse",
};
constexpr int PropertyCount = int(sizeof PropertyNames / sizeof PropertyNames[0]);

} // namespace

Object* Interpreter::timelineOf(Frame& f)
{
    return f.target ? f.target : f.base;
}

Object* Interpreter::resolveTarget(Object* from, const QString& path)
{
    if (path.isEmpty())
        return from;
    Object* cur = from;
    int i = 0;
    if (path[0] == '/') {
        ClipObject* c = asClip(from);
        cur = c ? c->rootClip() : nullptr;
        i = 1;
    }
    QString seg;
    auto step = [&](const QString& s) -> bool {
        if (s.isEmpty() || s == QLatin1String("."))
            return true;
        if (!cur)
            return false;
        ClipObject* c = asClip(cur);
        if (s == QLatin1String("..") || s.compare(QLatin1String("_parent"), Qt::CaseInsensitive) == 0) {
            cur = c ? c->parentClip() : nullptr;
        } else if (s.compare(QLatin1String("_root"), Qt::CaseInsensitive) == 0) {
            cur = c ? c->rootClip() : nullptr;
        } else if (s == QLatin1String("this")) {
        } else if (s == QLatin1String("_global") && m_version >= 6) {
            cur = m_realm.global;
        } else if (int n = levelNumber(s); n >= 0) {
            cur = m_host ? m_host->level(n) : nullptr;
        } else {
            cur = getMember(Value(cur), s).asObject();
        }
        return cur != nullptr;
    };
    for (; i < path.size(); ++i) {
        QChar ch = path[i];
        if (ch == '/' || (ch == '.' && !(i + 1 < path.size() && path[i + 1] == '.') && seg != QLatin1String("."))) {
            if (!step(seg))
                return nullptr;
            seg.clear();
        } else if (ch == ':') {
            break;
        } else {
            seg += ch;
        }
    }
    if (!step(seg))
        return nullptr;
    return cur;
}

Object* Interpreter::resolveTargetValue(Frame& f, const Value& v)
{
    if (Object* o = v.asObject())
        return o;
    QString path = toString(v);
    // The empty path is the current target, and a lost target is no clip.
    if (path.isEmpty() && f.targetLost)
        return nullptr;
    return resolveTarget(timelineOf(f), path);
}

Value Interpreter::getClipProperty(Object* clip, int index)
{
    if (!clip || index < 0 || index >= PropertyCount)
        return Value();
    const QString name = QString::fromLatin1(PropertyNames[index]);
    // By index the clip's own property is read, never a member or child
    // that took its name.
    Value out;
    if (auto* sprite = dynamic_cast<SpriteClip*>(clip); sprite && sprite->builtInProperty(*this, name, out))
        return out;
    return getMember(Value(clip), name);
}

void Interpreter::setClipProperty(Object* clip, int index, const Value& v)
{
    if (!clip || index < 0 || index >= PropertyCount)
        return;
    setMember(Value(clip), QString::fromLatin1(PropertyNames[index]), v);
}

void Interpreter::doGetURL(Frame& f, const QString& url, const QString& window, int flags)
{
    if (!m_host)
        return;
    if (url.startsWith(QLatin1String("FSCommand:"), Qt::CaseInsensitive)) {
        m_host->fscommand(url.mid(10), window);
        return;
    }
    // Bit 0x40: the window is a clip's path (loadMovie); bit 0x80: load
    // variables rather than a movie. "_levelN" as the window names a level.
    const bool toClip = flags & 0x40;
    const bool variables = flags & 0x80;
    const int method = flags & 3;
    const int level = exec::levelNumber(window);
    if (!toClip && level < 0 && !variables) {
        m_host->getURL(url, window, method);
        return;
    }
    Object* target = nullptr;
    if (level < 0) {
        target = toClip ? resolveTargetValue(f, Value(window)) : nullptr;
        if (!asClip(target))
            return; // no such clip: nothing is loaded
    }
    if (variables)
        m_host->loadVariables(target, level, url, method);
    else
        m_host->loadMovie(target, level, url, method);
}

void Interpreter::onTargetClip(Frame& f, void (ClipObject::*command)())
{
    if (auto* c = targetClip(f))
        (c->*command)();
}

void Interpreter::opNextFrame(Exec& x, const Instruction&)
{
    onTargetClip(x.f, &ClipObject::nextFrame);
}

void Interpreter::opPrevFrame(Exec& x, const Instruction&)
{
    onTargetClip(x.f, &ClipObject::prevFrame);
}

void Interpreter::opPlay(Exec& x, const Instruction&)
{
    onTargetClip(x.f, &ClipObject::play);
}

void Interpreter::opStop(Exec& x, const Instruction&)
{
    onTargetClip(x.f, &ClipObject::stop);
}

void Interpreter::opToggleQuality(Exec&, const Instruction&)
{
    if (m_host)
        m_host->toggleQuality();
}

void Interpreter::opStopSounds(Exec&, const Instruction&)
{
    if (m_host)
        m_host->stopSounds();
}

void Interpreter::opGotoFrame(Exec& x, const Instruction& ins)
{
    if (auto* c = targetClip(x.f))
        c->gotoFrame(ins.a + 1, false);
}

void Interpreter::opGotoLabel(Exec& x, const Instruction& ins)
{
    if (auto* c = targetClip(x.f))
        c->gotoLabel(ins.s1, false);
}

void Interpreter::opGotoFrame2(Exec& x, const Instruction& ins)
{
    Frame& f = x.f;
    Value frame = pop(f);
    bool play = ins.a & 1;
    ClipObject* c = targetClip(f);
    if (frame.isNumber() || frame.isBoolean()) {
        if (c)
            c->gotoFrame(clampToInt(double(clampToInt(toNumber(frame))) + ins.b), play);
        return;
    }
    QString s = toString(frame);
    c = frameTarget(*this, c, timelineOf(f), s);
    if (!c)
        return;
    double n = stringToNumber(s, m_version);
    if (!std::isnan(n))
        c->gotoFrame(clampToInt(n + ins.b), play);
    else
        c->gotoLabel(s, play);
}

void Interpreter::opCall(Exec& x, const Instruction&)
{
    Frame& f = x.f;
    QString s = toString(pop(f));
    ClipObject* c = targetClip(f);
    c = frameTarget(*this, c, timelineOf(f), s);
    if (!c)
        return;
    double n = stringToNumber(s, m_version);
    int number = std::isnan(n) ? c->frameOfLabel(s) : clampToInt(n);
    if (number >= 1 && number <= c->totalFrames())
        c->callFrame(number);
}

void Interpreter::opWaitForFrame(Exec& x, const Instruction& ins)
{
    if (auto* c = targetClip(x.f); c && ins.a + 1 > c->framesLoaded())
        x.pc = ins.target;
}

void Interpreter::opWaitForFrame2(Exec& x, const Instruction& ins)
{
    Value frame = pop(x.f);
    ClipObject* c = targetClip(x.f);
    if (c && toNumber(frame) > c->framesLoaded())
        x.pc = ins.target;
}

void Interpreter::setTarget(Frame& f, const Value& t)
{
    if (t.isString() && t.asString().isEmpty()) {
        f.target = f.base;
        f.targetLost = false;
        return;
    }
    // A clip names its target by its path (so the first clip of that name
    // wins); anything else by its string form.
    Object* o = nullptr;
    if (ClipObject* c = asClip(t.asObject())) {
        o = resolveTarget(f.base, c->dotPath());
        if (!o)
            o = c;
    } else {
        // Read from the base timeline the way variable paths are read.
        f.target = f.base;
        o = lookupPath(f, toString(t));
        // Only a clip can be a target: a path that ends on a plain object
        // names no target at all.
        if (o && !asClip(o))
            o = nullptr;
    }
    f.targetLost = o == nullptr;
    f.target = o ? o : f.base;
}

void Interpreter::opSetTarget(Exec& x, const Instruction& ins)
{
    setTarget(x.f, Value(ins.s1));
}

void Interpreter::opSetTarget2(Exec& x, const Instruction&)
{
    setTarget(x.f, pop(x.f));
}

void Interpreter::opGetProperty(Exec& x, const Instruction&)
{
    int index = clampToInt(toNumber(pop(x.f)));
    Object* t = resolveTargetValue(x.f, pop(x.f));
    push(getClipProperty(t, index));
}

void Interpreter::opSetProperty(Exec& x, const Instruction&)
{
    Value v = pop(x.f);
    int index = clampToInt(toNumber(pop(x.f)));
    Object* t = resolveTargetValue(x.f, pop(x.f));
    setClipProperty(t, index, v);
}

void Interpreter::opCloneSprite(Exec& x, const Instruction&)
{
    int depth = clampToInt(toNumber(pop(x.f)));
    QString name = toString(pop(x.f));
    if (ClipObject* source = asClip(resolveTargetValue(x.f, pop(x.f))))
        source->duplicate(name, depth);
}

void Interpreter::opRemoveSprite(Exec& x, const Instruction&)
{
    if (ClipObject* c = asClip(resolveTargetValue(x.f, pop(x.f))))
        c->remove();
}

void Interpreter::opStartDrag(Exec& x, const Instruction&)
{
    Frame& f = x.f;
    Object* t = resolveTargetValue(f, pop(f));
    bool lock = toBoolean(pop(f));
    bool constrain = toBoolean(pop(f));
    double rect[4];
    if (constrain) {
        for (int i = 3; i >= 0; --i)
            rect[i] = toNumber(pop(f));
    }
    if (ClipObject* c = asClip(t))
        c->startDrag(lock, constrain ? rect : nullptr);
}

void Interpreter::opEndDrag(Exec& x, const Instruction&)
{
    if (ClipObject* c = targetClip(x.f))
        c->stopDrag();
}

void Interpreter::opTargetPath(Exec& x, const Instruction&)
{
    ClipObject* c = asClip(pop(x.f).asObject());
    push(c ? Value(c->dotPath()) : Value());
}

void Interpreter::opGetURL(Exec& x, const Instruction& ins)
{
    doGetURL(x.f, ins.s1, ins.s2, 0);
}

void Interpreter::opGetURL2(Exec& x, const Instruction& ins)
{
    QString window = toString(pop(x.f));
    QString url = toString(pop(x.f));
    doGetURL(x.f, url, window, ins.a);
}

void Interpreter::opTrace(Exec& x, const Instruction&)
{
    Value v = pop(x.f);
    // An object whose toString gives anything but a string is traced by its
    // type name; one without a toString to ask converts as anywhere else.
    Object* o = v.asObject();
    const bool asks = o && isFunction(getMember(v, QStringLiteral("toString")));
    QString line = v.isUndefined() ? QStringLiteral("undefined") : asks ? strictText(*this, v) : toString(v);
    if (m_host)
        m_host->trace(line);
}

void Interpreter::opGetTime(Exec&, const Instruction&)
{
    push(Value(m_host ? std::floor(m_host->timeMs()) : 0.0));
}

void Interpreter::opRandomNumber(Exec& x, const Instruction&)
{
    double max = toIntegerValue(toNumber(pop(x.f)));
    push(Value(max > 0 ? std::floor(random01() * max) : 0.0));
}

} // namespace swf::avm1
