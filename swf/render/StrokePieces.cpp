#include "swf/render/StrokePieces.h"

namespace swf {

std::vector<QPainterPath> strokePieces(const QPainterPath& path)
{
    std::vector<QPainterPath> pieces;
    const int count = path.elementCount();
    if (count <= StrokePieceElements * 2)
        return pieces;
    QPainterPath piece;
    int inPiece = 0;
    QPointF pen; // where the last segment ended
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            // A sub-path that goes on where the last one ended stays with it:
            // their caps at the shared point must not blend twice.
            if (inPiece >= StrokePieceElements && QPointF(e) != pen) {
                pieces.push_back(piece);
                piece = QPainterPath();
                inPiece = 0;
            }
            piece.moveTo(e);
            pen = e;
            ++inPiece;
            break;
        case QPainterPath::LineToElement:
            piece.lineTo(e);
            pen = e;
            ++inPiece;
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 >= count)
                return {}; // a curve without its data: draw the path whole
            piece.cubicTo(e, path.elementAt(i + 1), path.elementAt(i + 2));
            pen = path.elementAt(i + 2);
            inPiece += 3;
            i += 2;
            break;
        case QPainterPath::CurveToDataElement:
            return {}; // stray curve data: draw the path whole
        }
    }
    if (!piece.isEmpty())
        pieces.push_back(piece);
    return pieces;
}

} // namespace swf
