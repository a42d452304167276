#include "swf/runtime/ChildNameIndex.h"

#include "swf/runtime/DisplayObject.h"

#include <algorithm>

namespace swf {

namespace {

bool sitsAt(const ChildNameIndex::DisplayList& list, int depth, const DisplayObject* object)
{
    auto it = list.find(depth);
    return it != list.end() && it->second.get() == object;
}

} // namespace

void ChildNameIndex::note(const DisplayObject& child, const DisplayList& list)
{
    if (child.name().isEmpty())
        return;
    // Renames leave entries behind; past twice the children (and a margin)
    // start afresh from the list, so the index stays as large as the list.
    if (m_entries > 2 * int(list.size()) + 64)
        rebuild(list);
    auto& entries = m_byName[FoldedKey { child.name() }];
    const std::pair<int, const DisplayObject*> entry { child.depth(), &child };
    if (std::find(entries.begin(), entries.end(), entry) != entries.end())
        return;
    entries.push_back(entry);
    ++m_entries;
}

DisplayObject* ChildNameIndex::find(const QString& name, Qt::CaseSensitivity cs, const DisplayList& list)
{
    auto it = m_byName.find(FoldedKey { name });
    if (it == m_byName.end())
        return nullptr;
    auto& entries = it.value();
    DisplayObject* best = nullptr;
    int bestDepth = 0;
    for (size_t i = 0; i < entries.size();) {
        const auto [depth, object] = entries[i];
        // Only an object found in the list is dereferenced.
        if (!sitsAt(list, depth, object) || !foldedNameEqual(object->name(), name)) {
            entries[i] = entries.back();
            entries.pop_back();
            --m_entries;
            continue;
        }
        if ((cs == Qt::CaseInsensitive || object->name() == name) && (!best || depth < bestDepth)) {
            best = list.find(depth)->second.get();
            bestDepth = depth;
        }
        ++i;
    }
    if (entries.empty())
        m_byName.erase(it);
    return best;
}

void ChildNameIndex::rebuild(const DisplayList& list)
{
    m_byName.clear();
    m_entries = 0;
    for (const auto& [depth, child] : list) {
        if (child->name().isEmpty())
            continue;
        m_byName[FoldedKey { child->name() }].push_back({ depth, child.get() });
        ++m_entries;
    }
}

} // namespace swf
