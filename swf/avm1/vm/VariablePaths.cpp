// Variable names that are paths: "a/b:c", "a.b.c", "/:x", "_level0:x",
// "a/..:x". The variable is what follows the last dot or colon; what comes
// before names the object that holds it, read segment by segment.

#include "swf/avm1/vm/Execute.h"

namespace swf::avm1 {

using namespace exec;

// One segment of a path, read on `from`; a null `from` means the first
// segment, looked up as a variable of the running code.
Object* Interpreter::pathStep(Frame& f, Object* from, const QString& segment)
{
    if (segment.isEmpty())
        return nullptr;
    // ".." first in a path is the parent of the timeline the code runs on.
    if (!from && segment == QLatin1String(".."))
        from = timelineOf(f);
    // In a path a clip's children come before its variables; a name the
    // code's own scopes (locals, with) hold comes first of all.
    if (!from) {
        Value out;
        Object* holder = nullptr;
        if (lookupInScope(f, segment, out, &holder) && holder)
            return out.asObject();
        if (ClipObject* t = asClip(timelineOf(f)))
            if (ClipObject* child = t->childByName(segment))
                return child;
        return getPlainVariable(f, segment).asObject();
    }
    ClipObject* c = asClip(from);
    if (segment == QLatin1String("..") || segment.compare(QLatin1String("_parent"), Qt::CaseInsensitive) == 0)
        return c ? c->parentClip() : nullptr;
    if (segment.compare(QLatin1String("_root"), Qt::CaseInsensitive) == 0)
        return c ? c->rootClip() : nullptr;
    if (segment == QLatin1String("this"))
        return from;
    if (segment == QLatin1String("_global") && m_version >= 6)
        return m_realm.global;
    if (int n = levelNumber(segment); n >= 0)
        return m_host ? m_host->level(n) : nullptr;
    if (c)
        if (ClipObject* child = c->childByName(segment))
            return child;
    return getMember(Value(from), segment).asObject();
}

Object* Interpreter::lookupPath(Frame& f, const QString& path)
{
    Object* o = nullptr;
    int i = 0;
    const int end = int(path.size());
    if (end == 0)
        return timelineOf(f);
    // Dots separate segments until a slash or a ".." is seen: from then on
    // the path is a slash path and a dot is part of a name.
    bool dotAllowed = true;
    if (path[0] == QLatin1Char('/')) {
        ClipObject* c = asClip(timelineOf(f));
        o = c ? c->rootClip() : nullptr;
        if (!o)
            return nullptr;
        i = 1;
        dotAllowed = false;
    }
    // The player reads a segment into a buffer of 127 characters: a longer
    // name goes on as a segment of its own.
    constexpr int MaxSegment = 127;
    while (i < end) {
        int start = i;
        bool full = false;
        for (; i < end; ++i) {
            if (i - start == MaxSegment) {
                full = true;
                break;
            }
            QChar ch = path[i];
            if (dotAllowed && ch == QLatin1Char('.')) {
                if (i + 1 < end && path[i + 1] == QLatin1Char('.')) {
                    dotAllowed = false;
                    continue;
                }
                break;
            }
            if (ch == QLatin1Char(':')) {
                // ":/" stays in the name; colons leading a segment are skipped.
                if (i + 1 < end && path[i + 1] == QLatin1Char('/'))
                    continue;
                if (i == start) {
                    ++start;
                    continue;
                }
                break;
            }
            if (ch == QLatin1Char('/')) {
                dotAllowed = false;
                break;
            }
        }
        o = pathStep(f, o, path.mid(start, i - start));
        if (!o)
            return nullptr;
        if (i < end && !full)
            ++i;
    }
    return o;
}

Interpreter::VariablePath Interpreter::splitVariablePath(Frame& f, const QString& name)
{
    VariablePath p;
    int last = -1;
    for (int i = int(name.size()) - 1; i >= 0; --i) {
        if (name[i] == QLatin1Char('.') || name[i] == QLatin1Char(':')) {
            last = i;
            break;
        }
    }
    if (last < 0) {
        // A slash path alone names a clip from version 6 on; before, it is
        // a variable name like any other.
        if (!name.contains(QLatin1Char('/')) || m_version < 6) {
            p.kind = VariablePath::Plain;
            return p;
        }
        // One that names no clip is again a plain name: a member called
        // "a/" or "/b" is found under that name.
        p.object = lookupPath(f, name);
        p.kind = p.object ? VariablePath::Target : VariablePath::Plain;
        return p;
    }
    p.name = name.mid(last + 1);
    // A name that starts with its only delimiter (".a", ":a") names nothing.
    p.object = last > 0 ? lookupPath(f, name.left(last)) : nullptr;
    p.kind = p.object ? VariablePath::Member : VariablePath::Missing;
    return p;
}

} // namespace swf::avm1
