#pragma once

#include <QImage>
#include <QPoint>

namespace genresources {

// Pointer A: 32 x 32, 16 colours, a white hand with a blue cuff, index finger
// up, black outline; the fingertip is at pointerAHotSpot.
QImage paintPointerA();
// Pointer B: 32 x 32, black and white plus transparency, a white hand with the
// index finger up; the fingertip is at pointerBHotSpot.
QImage paintPointerB();

inline constexpr QPoint pointerAHotSpot{12, 1};
inline constexpr QPoint pointerBHotSpot{12, 9};

} // namespace genresources
