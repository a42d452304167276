#include "swf/movie/ExportTable.h"

namespace swf {

void ExportTable::add(const ExportedName& entry)
{
    m_entries.push_back(entry);
    m_byName.insert(entry.name, entry.characterId);
    m_byId.insert(entry.characterId, entry.name);
}

std::uint16_t ExportTable::characterFor(const QString& name) const
{
    if (auto it = m_byName.constFind(name); it != m_byName.constEnd())
        return it.value();
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
        if (it->name.compare(name, Qt::CaseInsensitive) == 0)
            return it->characterId;
    }
    return 0;
}

QString ExportTable::nameOf(std::uint16_t characterId) const
{
    return m_byId.value(characterId);
}

} // namespace swf
