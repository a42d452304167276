#include "swf/format/Exports.h"

namespace swf {

Result<void> readExportAssets(Reader& reader, int swfVersion, std::vector<ExportedName>& out)
{
    const std::uint16_t count = SWF_TRY(reader.readU16());
    // The count only bounds the loop; each entry is read before it is kept.
    for (unsigned i = 0; i < count; ++i) {
        ExportedName entry;
        entry.characterId = SWF_TRY(reader.readU16());
        entry.name = SWF_TRY(reader.readString(swfVersion));
        out.push_back(std::move(entry));
    }
    return {};
}

} // namespace swf
