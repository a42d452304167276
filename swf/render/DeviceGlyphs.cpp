#include "swf/render/DeviceGlyphs.h"

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_MODULE_H
#include FT_OUTLINE_H

#include <cmath>
#include <mutex>

namespace swf {

namespace {

// A run's coverage box is kept below this many pixels: larger text is drawn
// by the painter.
constexpr qint64 MaxCoveragePixels = qint64(4096) * 1024;

QPointF cubicAt(QPointF a, QPointF b, QPointF c, QPointF d, double t)
{
    const double s = 1 - t;
    return a * (s * s * s) + b * (3 * s * s * t) + c * (3 * s * t * t) + d * (t * t * t);
}

// The font files and their FreeType faces, opened once for the process.
class GlyphSource {
public:
    static GlyphSource& instance()
    {
        static GlyphSource source;
        return source;
    }
    std::mutex lock;

    // The face of the file fontconfig gives for this family, weight and
    // slant; null when the file found is not that face (the painter would
    // then make the style up, which only it can draw).
    FT_Face face(const QRawFont& raw)
    {
        if (!m_library)
            return nullptr;
        const QString key = raw.familyName() + QLatin1Char('\n') + QString::number(raw.weight()) + QLatin1Char('\n')
            + QString::number(int(raw.style()));
        const auto found = m_faces.constFind(key);
        if (found != m_faces.constEnd())
            return found.value();
        FT_Face face = open(raw);
        m_faces.insert(key, face);
        return face;
    }

private:
    GlyphSource()
    {
        if (FT_Init_FreeType(&m_library) != 0) {
            m_library = nullptr;
            return;
        }
        // Stems snapped to whole pixels by the classic TrueType hinting, as
        // the device fonts are measured (a choice made in the environment stands).
        if (qEnvironmentVariableIsEmpty("FREETYPE_PROPERTIES")) {
            FT_UInt version = 35;
            FT_Property_Set(m_library, "truetype", "interpreter-version", &version);
        }
    }

    FT_Face open(const QRawFont& raw)
    {
        FcPattern* pattern = FcPatternCreate();
        if (!pattern)
            return nullptr;
        const QByteArray family = raw.familyName().toUtf8();
        const int weight = FcWeightFromOpenType(raw.weight());
        const int slant = raw.style() == QFont::StyleNormal ? FC_SLANT_ROMAN
            : raw.style() == QFont::StyleItalic             ? FC_SLANT_ITALIC
                                                            : FC_SLANT_OBLIQUE;
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.constData()));
        FcPatternAddInteger(pattern, FC_WEIGHT, weight);
        FcPatternAddInteger(pattern, FC_SLANT, slant);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        FcPatternDestroy(pattern);
        if (!match)
            return nullptr;
        FT_Face face = nullptr;
        FcChar8* file = nullptr;
        FcChar8* foundFamily = nullptr;
        int index = 0, foundWeight = 0, foundSlant = 0;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch
            && FcPatternGetString(match, FC_FAMILY, 0, &foundFamily) == FcResultMatch
            && QString::fromUtf8(reinterpret_cast<const char*>(foundFamily)).compare(raw.familyName(), Qt::CaseInsensitive) == 0
            && FcPatternGetInteger(match, FC_WEIGHT, 0, &foundWeight) == FcResultMatch
            && FcPatternGetInteger(match, FC_SLANT, 0, &foundSlant) == FcResultMatch && std::abs(foundWeight - weight) <= 20
            && foundSlant == slant) {
            FcPatternGetInteger(match, FC_INDEX, 0, &index);
            if (FT_New_Face(m_library, reinterpret_cast<const char*>(file), index, &face) != 0
                || !(face->face_flags & FT_FACE_FLAG_SCALABLE))
                face = nullptr;
        }
        FcPatternDestroy(match);
        return face;
    }

    FT_Library m_library = nullptr;
    QHash<QString, FT_Face> m_faces;
};

struct OutlineToPath {
    QPainterPath* path;
    QPointF origin; // the pen position, device pixels
    FT_Vector last {}; // where the outline stands, the glyph's 1/64 pixels
    QPointF map(const FT_Vector* v) const { return origin + QPointF(v->x / 64.0, -v->y / 64.0); }
};

int moveTo(const FT_Vector* to, void* user)
{
    auto* p = static_cast<OutlineToPath*>(user);
    p->path->moveTo(p->map(to));
    p->last = *to;
    return 0;
}

int lineTo(const FT_Vector* to, void* user)
{
    auto* p = static_cast<OutlineToPath*>(user);
    p->path->lineTo(p->map(to));
    p->last = *to;
    return 0;
}

// The bend of a curve piece: how far its control point lies off the middle
// of its ends, doubled, in 1/64 pixel (the larger axis).
long bendOf(const FT_Vector& from, const FT_Vector& control, const FT_Vector& to)
{
    return std::max(std::labs(long(from.x + to.x - 2 * control.x)), std::labs(long(from.y + to.y - 2 * control.y)));
}

int conicTo(const FT_Vector* control, const FT_Vector* to, void* user)
{
    auto* p = static_cast<OutlineToPath*>(user);
    const QPointF a = p->map(&p->last), b = p->map(control), c = p->map(to);
    const int pieces = glyphCurvePieces(bendOf(p->last, *control, *to));
    for (int k = 1; k < pieces; ++k) {
        const double t = double(k) / pieces, s = 1 - t;
        p->path->lineTo(a * (s * s) + b * (2 * s * t) + c * (t * t));
    }
    p->path->lineTo(c);
    p->last = *to;
    return 0;
}

int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user)
{
    auto* p = static_cast<OutlineToPath*>(user);
    const QPointF a = p->map(&p->last), b = p->map(c1), c = p->map(c2), d = p->map(to);
    const int pieces = glyphCurvePieces(std::max(bendOf(p->last, *c1, *c2), bendOf(*c1, *c2, *to)));
    for (int k = 1; k < pieces; ++k)
        p->path->lineTo(cubicAt(a, b, c, d, double(k) / pieces));
    p->path->lineTo(d);
    p->last = *to;
    return 0;
}

// The hinted outlines of a run's glyphs, device pixels; false when the face cannot give them.
bool addGlyphRun(QPainterPath& path, const QGlyphRun& run, QPointF origin)
{
    GlyphSource& source = GlyphSource::instance();
    const QRawFont raw = run.rawFont();
    FT_Face face = source.face(raw);
    if (!face || raw.pixelSize() < 1 || raw.pixelSize() > 4096)
        return false;
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(std::lround(raw.pixelSize()))) != 0)
        return false;
    const QList<quint32> indexes = run.glyphIndexes();
    const QList<QPointF> positions = run.positions();
    const FT_Outline_Funcs funcs { moveTo, lineTo, conicTo, cubicTo, 0, 0 };
    for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i) {
        if (FT_Load_Glyph(face, indexes[i], FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0 || face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
            return false;
        OutlineToPath target { &path, origin + positions[i], {} };
        FT_Outline_Decompose(&face->glyph->outline, &funcs, &target);
    }
    return true;
}

} // namespace

int glyphCurvePieces(long bend)
{
    int pieces = 2;
    for (long b = std::max(0L, bend) / 32; b > 0 && pieces < 1024; b >>= 2)
        pieces *= 2;
    return pieces;
}

bool exactCoverage(const QPainterPath& path, GlyphCoverage& coverage)
{
    coverage = GlyphCoverage();
    const QRectF box = path.controlPointRect();
    if (path.isEmpty() || !box.isValid() || !std::isfinite(box.left()) || !std::isfinite(box.right()) || !std::isfinite(box.top())
        || !std::isfinite(box.bottom()))
        return false;
    const double left = std::floor(box.left()), top = std::floor(box.top());
    const double width = std::ceil(box.right()) - left, height = std::ceil(box.bottom()) - top;
    if (width < 1 || height < 1 || width * height > double(MaxCoveragePixels) || std::abs(left) > 1e6 || std::abs(top) > 1e6)
        return false;
    coverage.left = int(left);
    coverage.top = int(top);
    coverage.width = int(width);
    coverage.height = int(height);
    coverage.alpha.assign(std::size_t(coverage.width) * std::size_t(coverage.height), 0);

    // A FreeType outline of straight edges, y going up from the box's bottom
    // edge; its rasteriser measures each pixel's covered area exactly.
    std::vector<FT_Vector> points;
    std::vector<char> tags;
    std::vector<short> contours;
    points.reserve(std::size_t(path.elementCount()));
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo() && !points.empty())
            contours.push_back(short(points.size() - 1));
        if (points.size() >= 32000)
            return false; // more than an outline can hold
        points.push_back(FT_Vector { FT_Pos(std::lround((e.x - left) * 64)), FT_Pos(std::lround((top + height - e.y) * 64)) });
        tags.push_back(FT_CURVE_TAG_ON);
    }
    contours.push_back(short(points.size() - 1));
    FT_Outline outline {};
    outline.n_points = short(points.size());
    outline.n_contours = short(contours.size());
    outline.points = points.data();
    outline.tags = tags.data();
    outline.contours = contours.data();
    outline.flags = path.fillRule() == Qt::OddEvenFill ? FT_OUTLINE_EVEN_ODD_FILL : FT_OUTLINE_NONE;

    FT_Bitmap bitmap {};
    bitmap.rows = unsigned(coverage.height);
    bitmap.width = unsigned(coverage.width);
    bitmap.pitch = coverage.width;
    bitmap.buffer = coverage.alpha.data();
    bitmap.num_grays = 256;
    bitmap.pixel_mode = FT_PIXEL_MODE_GRAY;
    GlyphSource& source = GlyphSource::instance();
    std::lock_guard<std::mutex> guard(source.lock);
    static FT_Library library = [] {
        FT_Library l = nullptr;
        return FT_Init_FreeType(&l) == 0 ? l : nullptr;
    }();
    return library && FT_Outline_Get_Bitmap(library, &outline, &bitmap) == 0;
}

bool drawDeviceText(QPainter& painter, const QFont& font, const QString& text, QPointF origin, const QColor& color)
{
    if (text.isEmpty())
        return true;
    QTextLayout layout(text, font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid())
        return false;
    // Glyph positions stand on the line's baseline, one ascent below its top.
    const QPointF pen = origin - QPointF(0, line.ascent());
    QPainterPath outlines;
    outlines.setFillRule(Qt::WindingFill);
    {
        std::lock_guard<std::mutex> guard(GlyphSource::instance().lock);
        for (const QGlyphRun& run : line.glyphRuns()) {
            if (!addGlyphRun(outlines, run, pen))
                return false;
        }
    }
    if (outlines.isEmpty())
        return true;
    GlyphCoverage coverage;
    if (!exactCoverage(outlines, coverage))
        return false;
    QImage ink(coverage.width, coverage.height, QImage::Format_ARGB32_Premultiplied);
    const QRgb premultiplied = qPremultiply(color.rgba());
    for (int y = 0; y < coverage.height; ++y) {
        auto* out = reinterpret_cast<QRgb*>(ink.scanLine(y));
        const std::uint8_t* in = coverage.alpha.data() + std::size_t(y) * std::size_t(coverage.width);
        for (int x = 0; x < coverage.width; ++x) {
            const unsigned a = in[x];
            auto scale = [a](unsigned c) { return (c * a + 127) / 255; };
            out[x] = qRgba(int(scale(qRed(premultiplied))), int(scale(qGreen(premultiplied))), int(scale(qBlue(premultiplied))),
                int(scale(qAlpha(premultiplied))));
        }
    }
    painter.drawImage(QPoint(coverage.left, coverage.top), ink);
    return true;
}

} // namespace swf
