#include "swf/movie/Fonts.h"

#include "swf/format/TagCodes.h"
#include "swf/movie/Shapes.h"

#include <QFontDatabase>

#include <cmath>

namespace swf {

namespace {

// Device text is drawn from hinted glyphs the way the classic TrueType
// hinting draws them: stems snapped to whole pixels. FreeType reads this when
// a font library starts, so it is chosen before any font is opened; a choice
// made in the environment stands.
[[maybe_unused]] const bool s_classicHinting = [] {
    if (qEnvironmentVariableIsEmpty("FREETYPE_PROPERTIES"))
        qputenv("FREETYPE_PROPERTIES", "truetype:interpreter-version=35");
    return true;
}();

// A face with Chinese glyphs that setup installs; the others are common alternatives.
const QStringList& cjkFamilies()
{
    static const QStringList families { QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("Noto Sans SC"), QStringLiteral("AR PL UMing CN"), QStringLiteral("Droid Sans Fallback") };
    return families;
}

bool isCjkFace(const QString& face)
{
    static const QStringList names { QStringLiteral("宋体"), QStringLiteral("新宋体"), QStringLiteral("黑体"),
        QStringLiteral("楷体"), QStringLiteral("楷体_GB2312"), QStringLiteral("仿宋"), QStringLiteral("仿宋_GB2312"),
        QStringLiteral("隶书"), QStringLiteral("幼圆"), QStringLiteral("微软雅黑"), QStringLiteral("华文细黑"),
        QStringLiteral("SimSun"), QStringLiteral("NSimSun"), QStringLiteral("SimHei"), QStringLiteral("KaiTi"),
        QStringLiteral("FangSong"), QStringLiteral("Microsoft YaHei"), QStringLiteral("MingLiU"), QStringLiteral("PMingLiU"),
        QStringLiteral("細明體"), QStringLiteral("新細明體") };
    if (names.contains(face, Qt::CaseInsensitive))
        return true;
    // Any face named in Chinese characters is a Chinese face.
    for (QChar c : face) {
        if (c.unicode() >= 0x4e00 && c.unicode() <= 0x9fff)
            return true;
    }
    return false;
}

QPainterPath glyphPath(const ShapeRecords& shape)
{
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    for (const ShapeLayer& layer : buildShapeLayers(shape, false)) {
        for (const auto& [index, fill] : layer.fills)
            path.addPath(fill);
    }
    return path;
}

} // namespace

void FontDef::applyInfo(const FontInfoRecord& info)
{
    if (!info.name.isEmpty())
        name = info.name;
    bold = info.bold;
    italic = info.italic;
    // DefineFont 1 learns its codes here; a font that has them keeps its own.
    if (codes.empty() || version == 1) {
        codes = info.codes;
        glyphForCode.clear();
        for (std::size_t i = 0; i < codes.size() && i < glyphs.size(); ++i)
            glyphForCode.insert(codes[i], int(i));
    }
}

Result<std::shared_ptr<FontDef>> buildFont(const std::vector<std::pair<int, QByteArray>>& tags, std::uint16_t id, int swfVersion)
{
    std::shared_ptr<FontDef> font;
    for (const auto& [code, body] : tags) {
        Reader reader(body);
        switch (code) {
        case TagDefineFont:
        case TagDefineFont2:
        case TagDefineFont3: {
            if (font)
                break; // a second definition of the same id is ignored
            FontRecord record = SWF_TRY(readFont(reader, code, swfVersion));
            font = std::make_shared<FontDef>(id);
            font->version = record.version;
            font->name = record.name;
            font->bold = record.bold;
            font->italic = record.italic;
            font->glyphs.reserve(record.glyphs.size());
            for (const ShapeRecords& glyph : record.glyphs)
                font->glyphs.push_back(glyphPath(glyph));
            font->codes = record.codes;
            for (std::size_t i = 0; i < font->codes.size() && i < font->glyphs.size(); ++i)
                font->glyphForCode.insert(font->codes[i], int(i));
            font->hasLayout = record.hasLayout;
            font->ascent = record.ascent;
            font->descent = record.descent;
            font->leading = record.leading;
            font->advances.assign(record.advances.begin(), record.advances.end());
            for (const KerningPair& pair : record.kerning)
                font->kerning.insert(quint32(pair.left) << 16 | pair.right, pair.adjustment);
            break;
        }
        case TagDefineFontInfo:
        case TagDefineFontInfo2: {
            if (!font)
                break; // information about a font not (yet) defined
            auto info = readFontInfo(reader, code, swfVersion);
            if (info.ok())
                font->applyInfo(info.value());
            break;
        }
        case TagDefineFontName: {
            auto name = readFontName(reader, swfVersion);
            // The full display name ("Face Bold"); text asks for the face name, which stays.
            if (font && name.ok())
                font->fullName = name.value().name;
            break;
        }
        case TagDefineFontAlignZones: {
            auto zones = readFontAlignZones(reader);
            if (font && zones.ok())
                font->alignZones = std::move(zones.value().zones);
            break;
        }
        default:
            break;
        }
    }
    if (!font)
        return Error::at(-1, QStringLiteral("font %1 has no DefineFont").arg(id));
    return font;
}

QFont deviceFont(const QString& face, double pixelSize, bool bold, bool italic)
{
    QStringList families;
    QString name = face.trimmed();
    if (name.compare(QLatin1String("_sans"), Qt::CaseInsensitive) == 0 || name.isEmpty())
        families << QStringLiteral("sans-serif") << QStringLiteral("DejaVu Sans");
    else if (name.compare(QLatin1String("_serif"), Qt::CaseInsensitive) == 0)
        families << QStringLiteral("serif") << QStringLiteral("DejaVu Serif");
    else if (name.compare(QLatin1String("_typewriter"), Qt::CaseInsensitive) == 0)
        families << QStringLiteral("monospace") << QStringLiteral("DejaVu Sans Mono");
    else if (isCjkFace(name))
        families << cjkFamilies();
    else if (QFontDatabase::hasFamily(name))
        families << name;
    else
        families << name << QStringLiteral("DejaVu Sans"); // a face not installed reads as the sans face
    // Chinese text in any face finds its glyphs in a CJK face.
    for (const QString& cjk : cjkFamilies()) {
        if (!families.contains(cjk))
            families << cjk;
    }
    QFont font;
    font.setFamilies(families);
    // Callers work in twips, so whole units are fine enough.
    font.setPixelSize(std::max(1, int(std::lround(pixelSize))));
    font.setBold(bold);
    font.setItalic(italic);
    // Glyphs stand at their hinted advances, without kerning pairs.
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleHint(families.first() == QLatin1String("monospace") ? QFont::TypeWriter
            : families.first() == QLatin1String("serif")             ? QFont::Serif
                                                                      : QFont::SansSerif);
    return font;
}

} // namespace swf
