#include "swf/avm1/stage/SoundObject.h"

#include "swf/runtime/Stage.h"
#include "swf/avm1/vm/Interpreter.h"
#include "swf/avm1/stage/SoundScripts.h"
#include "swf/avm1/stage/StageScripts.h"

#include <cmath>

namespace swf::avm1 {

namespace {

bool named(const Object& self, const QString& name, const char* wanted)
{
    return self.caseSensitive() ? name == QLatin1String(wanted) : name.compare(QLatin1String(wanted), Qt::CaseInsensitive) == 0;
}

} // namespace

SoundObject::SoundObject(SoundScripts* registry, Object* proto, bool caseSensitive)
    : Object(Kind::Plain, proto, caseSensitive)
    , m_registry(registry)
{
    if (m_registry)
        m_registry->adopt(this);
}

SoundObject::~SoundObject()
{
    if (m_registry)
        m_registry->release(this);
}

bool SoundObject::getVirtual(Interpreter&, const QString& name, Value& out)
{
    const bool duration = named(*this, name, "duration");
    if (!duration && !named(*this, name, "position"))
        return false;
    SoundSink* sink = m_registry ? m_registry->owner().stage().soundSink() : nullptr;
    if (duration) {
        if (soundId && sink)
            out = Value(std::round(sink->soundDurationMs(soundId)));
        else if (soundId && loadedDurationMs >= 0)
            out = Value(std::round(loadedDurationMs));
        else
            out = Value();
        return true;
    }
    if (playing && sink) {
        const double at = sink->soundPositionMs(playing);
        if (at >= 0)
            lastPositionMs = at;
    }
    out = Value(std::round(lastPositionMs));
    return true;
}

bool SoundObject::setVirtual(Interpreter&, const QString& name, const Value&)
{
    // Both are read-only: a write is dropped.
    return named(*this, name, "duration") || named(*this, name, "position");
}

bool SoundObject::hasVirtual(Interpreter&, const QString& name)
{
    return named(*this, name, "duration") || named(*this, name, "position");
}

void SoundObject::markChildren(std::vector<Object*>& stack)
{
    Object::markChildren(stack);
    if (target)
        stack.push_back(target);
}

} // namespace swf::avm1
