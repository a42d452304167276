#pragma once

#include "resources/Pointers.h"

#include <QImage>

namespace genresources {

// Pointer A: 32 x 32, 16 colours, a white hand with a blue cuff, index finger
// up, black outline; the fingertip is at vantrel::pointers::PointerAHotSpot,
// the same numbers the shell gives its cursor.
QImage paintPointerA();
// Pointer B: 32 x 32, black and white plus transparency, a white hand with the
// index finger up; the fingertip is at vantrel::pointers::PointerBHotSpot.
QImage paintPointerB();

} // namespace genresources
