#pragma once

// ExportAssets: the names under which a movie offers its characters to
// scripts (attachMovie, attachSound, BitmapData.loadBitmap, registerClass)
// and to StartSound2.

#include "swf/io/Reader.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace swf {

struct ExportedName {
    std::uint16_t characterId = 0;
    QString name;
    bool operator==(const ExportedName&) const = default;
};

// Reads an ExportAssets body: a count, then (character id, name) pairs, the
// names in the movie's encoding. The names read before a damaged entry stay
// in `out`, so a cut tag still exports what it holds; the error says where
// the entry broke off.
Result<void> readExportAssets(Reader& reader, int swfVersion, std::vector<ExportedName>& out);

} // namespace swf
