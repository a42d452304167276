#pragma once

// The styles of DefineMorphShape 1-2: every fill and line style holds a start
// and an end state, which the player blends by the placement's ratio. Edges
// are ordinary shape records (Shape.h).

#include "swf/format/Shape.h"

namespace swf {

// The start and end states of a morph shape's styles, index for index.
struct MorphStyles {
    StyleSet start, end;
};

// Reads the fill and line style lists of a morph shape; `version2` for
// DefineMorphShape2, whose line styles carry caps, joins and fills.
Result<MorphStyles> readMorphStyles(Reader& reader, bool version2);

} // namespace swf
