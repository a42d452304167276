#include "swf/avm1/vm/ClipObject.h"

namespace swf::avm1 {

namespace {

// Instance names from below the root down to `clip`.
QStringList namesFromRoot(const ClipObject* clip)
{
    QStringList names;
    const ClipObject* c = clip;
    int guard = 0;
    while (c->parentClip() && guard++ < 1024) {
        names.prepend(c->instanceName());
        c = c->parentClip();
    }
    return names;
}

} // namespace

QString ClipObject::slashPath() const
{
    return QLatin1Char('/') + namesFromRoot(this).join(QLatin1Char('/'));
}

QString ClipObject::dotPath() const
{
    // A reference to a clip that is gone, with nothing at its path now,
    // reads as an empty string.
    if (removed())
        return QString();
    QStringList names = namesFromRoot(this);
    const ClipObject* top = this;
    for (int guard = 0; top->parentClip() && guard < 1024; ++guard)
        top = top->parentClip();
    names.prepend(top->levelName());
    return names.join(QLatin1Char('.'));
}

} // namespace swf::avm1
