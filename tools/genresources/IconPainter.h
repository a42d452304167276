#pragma once

#include <QImage>

namespace genresources {

// The application icon: a brown wooden cabinet radio with an arched, chequered
// grille, an orange-lit dial and three knobs. Drawn as vectors on a 32-unit
// grid, so any size comes out sharp; the result is ARGB with transparency.
QImage paintIcon(int size);

// The 32 x 32 icon reduced to a palette of at most 256 colours, the form in
// which the program carries it.
QImage paintIcon256Colours();

} // namespace genresources
