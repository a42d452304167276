#include "swf/avm1/vm/ClipObject.h"

namespace swf::avm1 {

QString ClipObject::slashPath() const
{
    QStringList names;
    const ClipObject* c = this;
    int guard = 0;
    while (c->parentClip() && guard++ < 1024) {
        names.prepend(c->instanceName());
        c = c->parentClip();
    }
    return QLatin1Char('/') + names.join(QLatin1Char('/'));
}

QString ClipObject::dotPath() const
{
    QStringList names;
    const ClipObject* c = this;
    int guard = 0;
    while (c->parentClip() && guard++ < 1024) {
        names.prepend(c->instanceName());
        c = c->parentClip();
    }
    names.prepend(QStringLiteral("_level0"));
    return names.join(QLatin1Char('.'));
}

} // namespace swf::avm1
