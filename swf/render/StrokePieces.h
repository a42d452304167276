#pragma once

// Cutting a long stroke into short pieces drawn one after another. The
// painter rasterises a path's outline with a cost that grows much faster than
// its length (each scanline keeps the cells it crosses in one list, walked on
// every insertion), so a line style whose path holds a cartoon's hundreds of
// strokes costs many times what the same strokes cost drawn in small groups.
// Cut only between sub-paths that do not meet, the pieces keep every join and
// cap; with an opaque pen the picture is the same, but for the anti-aliased
// rims where two pieces cross: there two partial coverages blend one over
// the other instead of adding up as one outline's do.

#include <QPainterPath>

#include <vector>

namespace swf {

// Elements per piece: measured on a cartoon of many strokes, pieces of 8 to 32
// elements draw fastest; past that the cost per element climbs.
constexpr int StrokePieceElements = 12;

// `path` cut at the starts of its sub-paths into pieces of about
// StrokePieceElements elements (a longer sub-path stays one piece, and so
// does a run of sub-paths each starting where the last ended). Empty
// when the path is short enough to draw whole.
std::vector<QPainterPath> strokePieces(const QPainterPath& path);

} // namespace swf
