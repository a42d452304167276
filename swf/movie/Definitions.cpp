#include "swf/movie/Definitions.h"

namespace swf {

Result<std::shared_ptr<const Character>> readShapeDefinition(Reader& body, int)
{
    return Error::at(body.offset(), QStringLiteral("shapes are not read yet"), ErrorKind::Unsupported);
}

Result<std::shared_ptr<const Character>> readMorphDefinition(Reader& body, int)
{
    return Error::at(body.offset(), QStringLiteral("morph shapes are not read yet"), ErrorKind::Unsupported);
}

Result<std::shared_ptr<const Character>> readBitmapDefinition(Reader& body, int, const QByteArray&)
{
    return Error::at(body.offset(), QStringLiteral("bitmaps are not read yet"), ErrorKind::Unsupported);
}

} // namespace swf
