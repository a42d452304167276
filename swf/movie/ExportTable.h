#pragma once

// The names a movie exports its characters under, gathered from all its
// ExportAssets tags when it loads. Every user (attachMovie, attachSound,
// loadBitmap, registerClass, StartSound2) asks this one table.

#include "swf/format/Exports.h"

#include <QHash>

namespace swf {

class ExportTable {
public:
    // A name exported again names the later character; a character exported
    // under several names answers to each, and nameOf gives the last.
    void add(const ExportedName& entry);

    // The character exported as `name`: an exact match first, else one that
    // differs only in case (the latest such export). 0 when there is none.
    std::uint16_t characterFor(const QString& name) const;
    // The last name `characterId` was exported under; empty when none.
    QString nameOf(std::uint16_t characterId) const;

    // Every export in file order, repeats included.
    const std::vector<ExportedName>& entries() const { return m_entries; }
    bool isEmpty() const { return m_entries.empty(); }

private:
    std::vector<ExportedName> m_entries;
    QHash<QString, std::uint16_t> m_byName;
    QHash<std::uint16_t, QString> m_byId;
};

} // namespace swf
