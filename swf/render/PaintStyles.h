#pragma once

// How the movie's line styles and blend modes map onto the painter's.

#include <QPainter>

namespace swf {

inline Qt::PenCapStyle capStyle(int cap)
{
    return cap == 1 ? Qt::FlatCap : cap == 2 ? Qt::SquareCap : Qt::RoundCap;
}

inline Qt::PenJoinStyle joinStyle(int join)
{
    return join == 1 ? Qt::BevelJoin : join == 2 ? Qt::MiterJoin : Qt::RoundJoin;
}

inline QPainter::CompositionMode compositionFor(int blendMode)
{
    switch (blendMode) {
    case 3: return QPainter::CompositionMode_Multiply;
    case 4: return QPainter::CompositionMode_Screen;
    case 5: return QPainter::CompositionMode_Lighten;
    case 6: return QPainter::CompositionMode_Darken;
    case 7: return QPainter::CompositionMode_Difference;
    case 8: return QPainter::CompositionMode_Plus;
    case 13: return QPainter::CompositionMode_Overlay;
    case 14: return QPainter::CompositionMode_HardLight;
    default: return QPainter::CompositionMode_SourceOver;
    }
}

} // namespace swf
