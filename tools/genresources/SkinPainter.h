#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

namespace genresources {

// Geometry and colours of the 367 x 304 skin bitmap. The window painter copies
// fixed rectangles out of it, so these regions are a contract: the title band
// and its left bar, the three button cells with their glyphs, and the body with
// the display name.
namespace skin {

inline constexpr int Width = 367;
inline constexpr int Height = 304;

inline constexpr QRect TitleArea{0, 0, 367, 40};
inline constexpr int BandLastRow = 20;      // rows 0-20 carry the grid
inline constexpr int RuleFirstRow = 17;     // rows 17-20: the darker rule
inline constexpr int GridCellWidth = 9;
inline constexpr int GridFirstLine = 1;     // vertical rules at columns 1, 10, 19, ...
inline constexpr int GridRowLines[] = {8};  // horizontal rules inside the grid

inline constexpr QRect LeftBar{10, 3, 91, 11};          // columns 10-100, rows 3-13
inline constexpr QRect MinimiseGlyph{264, 7, 19, 5};    // columns 264-282, rows 7-11
inline constexpr QRect MaximiseGlyph{293, 3, 17, 13};   // columns 293-309, rows 3-15
inline constexpr QRect CloseGlyph{321, 1, 17, 18};      // columns 321-337, rows 1-18
inline constexpr QRect ButtonCells[3] = {
    {257, 6, 29, 29}, {286, 6, 29, 29}, {315, 6, 29, 29}};

inline constexpr QRect Body{0, 40, 367, 264};
inline constexpr QRect NameBox{128, 43, 125, 13};       // columns 128-252, rows 43-55

inline constexpr QRgb GridColour = qRgb(194, 247, 182);
inline constexpr QRgb GridLineColour = qRgb(166, 228, 152);
inline constexpr QRgb RuleColours[4] = {
    qRgb(150, 218, 136), qRgb(122, 198, 108), qRgb(98, 176, 86), qRgb(78, 152, 68)};
inline constexpr QRgb BodyColour = qRgb(248, 244, 0);
inline constexpr QRgb GlyphColour = qRgb(112, 32, 160);
inline constexpr QRgb BarOutlineColour = qRgb(24, 92, 36);

} // namespace skin

// Paints the skin. The display name is drawn with `fontFamily`, scaled to fit
// its box.
QImage paintSkin(const QString& fontFamily);

} // namespace genresources
