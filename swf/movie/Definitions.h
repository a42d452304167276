#pragma once

// Reading of the drawable definitions: shapes, morph shapes and bitmaps.

#include "swf/movie/Character.h"

#include <memory>

namespace swf {

Result<std::shared_ptr<const Character>> readShapeDefinition(Reader& body, int tagCode);
Result<std::shared_ptr<const Character>> readMorphDefinition(Reader& body, int tagCode);
Result<std::shared_ptr<const Character>> readBitmapDefinition(Reader& body, int tagCode, const QByteArray& jpegTables);

} // namespace swf
