#pragma once

// Finds a sprite's child by instance name without walking the display list:
// scripts look names up on every member access a clip does not hold itself
// (each method call on a clip), so a clip with many children must not pay for
// each of them on every call.
//
// Entries are (depth, object) under the name compared without regard to case
// (NameKey.h: no lower-cased copy is made for a lookup). They are added when
// a child is inserted, renamed or moved, and never removed on the spot: a
// lookup checks each against the display list (the object must still sit at
// that depth and still bear the name) and drops the stale ones, so a child
// removed and freed is never touched through its entry.

#include "swf/runtime/NameKey.h"

#include <QHash>
#include <QString>

#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace swf {

class DisplayObject;

class ChildNameIndex {
public:
    using DisplayList = std::map<int, std::unique_ptr<DisplayObject>>;

    // `child` (at its depth in `list`) may be found under its present name.
    void note(const DisplayObject& child, const DisplayList& list);
    // The child of lowest depth whose name equals `name` under `cs`.
    DisplayObject* find(const QString& name, Qt::CaseSensitivity cs, const DisplayList& list);
    int entryCount() const { return m_entries; }

private:
    void rebuild(const DisplayList& list);

    QHash<FoldedKey, std::vector<std::pair<int, const DisplayObject*>>> m_byName;
    int m_entries = 0;
};

} // namespace swf
