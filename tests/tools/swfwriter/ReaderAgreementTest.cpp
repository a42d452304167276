// Movies from our writer, read back by the corpus's independent reader
// (swfinfo.py): what it counts must be what we wrote.

#include "tools/swfwriter/Movie.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace swfw;

namespace {

const QString kReader = QStringLiteral(VANTREL_CORPUS_DIR "/swfinfo.py");

QJsonObject readBack(const Movie& movie, Compression compression)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("movie.swf");
    QString error;
    if (!movie.save(path, compression, &error)) {
        ADD_FAILURE() << error.toStdString();
        return {};
    }
    QProcess reader;
    reader.start("python3", { kReader, "--json", path });
    if (!reader.waitForFinished(30000) || reader.exitCode() != 0) {
        ADD_FAILURE() << "swfinfo failed: " << reader.readAllStandardError().toStdString();
        return {};
    }
    const QJsonObject info = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
    EXPECT_TRUE(info.value("errors").toArray().isEmpty()) << QJsonDocument(info).toJson().toStdString();
    EXPECT_FALSE(info.value("shape_stats").toObject().contains("scan_errors"));
    return info;
}

int tagCount(const QJsonObject& info, const char* where, int code)
{
    return info.value(where).toObject().value(QString::number(code)).toInt();
}

class ReaderAgreement : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFileInfo::exists(kReader))
            GTEST_SKIP() << "no corpus reader at " << kReader.toStdString();
    }
};

} // namespace

TEST_F(ReaderAgreement, ShapesOfEveryVersionWithEveryFillKind)
{
    for (Compression compression : { Compression::None, Compression::Zlib, Compression::Lzma }) {
        Movie movie(8, 320, 240, 25);
        movie.setBackgroundColor({ 10, 20, 30 });
        QImage pixels(4, 4, QImage::Format_ARGB32);
        pixels.fill(qRgba(200, 100, 50, 128));
        movie.defineBitsLossless(10, pixels, true);
        movie.defineBitsJpeg2(11, pixels);
        for (int version = 1; version <= 4; ++version) {
            Shape s;
            const int solid = s.addFillStyle(FillStyle::solid({ 255, 0, 0 }));
            const int linear = s.addFillStyle(FillStyle::linear(FillStyle::gradientBox(0, 0, 2000, 2000),
                { { 0, { 0, 0, 0 } }, { 255, { 255, 255, 255 } } }));
            const int bitmap = s.addFillStyle(FillStyle::bitmap(10, Matrix::scale(20, 20), true, false));
            LineStyle wide = LineStyle::solid(60, { 0, 0, 255 });
            wide.join = 2; // miter, so the fourth version writes a limit
            const int edge = s.addLineStyle(wide);
            s.fill1(solid).line(edge).rect(0, 0, 1000, 1000);
            s.fill1(linear).curveTo(1500, 500, 1000, 1000).lineTo(1000, 0);
            s.fill1(bitmap).line(0).rect(2000, 0, 400, 400);
            movie.defineShape(uint16_t(version), s, version);
            movie.placeObject2(Placement::place(uint16_t(version), uint16_t(version), Matrix::translate(version * 100, 0)));
        }
        Shape focal;
        focal.fill0(focal.addFillStyle(FillStyle::focal(FillStyle::gradientBox(0, 0, 400, 400),
            { { 0, { 1, 2, 3, 4 } }, { 128, { 5, 6, 7, 8 } }, { 255, { 9, 10, 11, 12 } } }, -0.5)));
        focal.rect(0, 0, 400, 400);
        movie.defineShape(5, focal, 4);
        movie.showFrame();

        const QJsonObject info = readBack(movie, compression);
        EXPECT_EQ(info.value("signature").toString(), compression == Compression::None ? "FWS" : compression == Compression::Zlib ? "CWS" : "ZWS");
        EXPECT_EQ(info.value("version").toInt(), 8);
        EXPECT_EQ(info.value("width_px").toDouble(), 320);
        EXPECT_EQ(info.value("frame_rate").toDouble(), 25);
        EXPECT_EQ(info.value("actual_uncompressed").toInt(), info.value("file_length").toInt());
        for (int code : { 2, 22, 32, 83, 36, 21 })
            EXPECT_EQ(tagCount(info, "tags_top", code), code == 83 ? 2 : 1) << "tag " << code;
        const QJsonObject fills = info.value("fill_types").toObject();
        EXPECT_EQ(fills.value("solid").toInt(), 4);
        EXPECT_EQ(fills.value("linear").toInt(), 4);
        EXPECT_EQ(fills.value("bitmap").toInt(), 4);
        EXPECT_EQ(fills.value("focal").toInt(), 1);
        const QJsonObject edges = info.value("shape_stats").toObject();
        EXPECT_EQ(edges.value("straight_edges").toInt(), 4 * 9 + 4);
        EXPECT_EQ(edges.value("curved_edges").toInt(), 4);
    }
}

TEST_F(ReaderAgreement, SpritesPlacementsAndControlTags)
{
    Movie movie(7, 200, 200, 12);
    Shape box;
    box.fill1(box.addFillStyle(FillStyle::solid({ 0, 128, 0 }))).rect(0, 0, 200, 200);
    movie.defineShape(1, box, 1);

    MorphShape morph;
    morph.addFillStyle({ FillStyle::solid({ 255, 0, 0, 255 }), FillStyle::solid({ 0, 0, 255, 128 }) });
    morph.addLineStyle({ LineStyle::solid(20, { 0, 0, 0, 255 }), LineStyle::solid(80, { 0, 0, 0, 0 }) });
    morph.start.fill0(1).line(1).rect(0, 0, 100, 100);
    morph.end.rect(50, 50, 300, 300);
    movie.defineMorphShape(2, morph, 1);
    movie.defineMorphShape(3, morph, 2);

    Sprite inner;
    inner.placeObject2(Placement::place(1, 1));
    inner.showFrame();
    inner.removeObject2(1);
    inner.showFrame();
    Sprite outer;
    Placement clip = Placement::place(1, 1);
    clip.clipDepth = 5;
    outer.placeObject2(clip);
    outer.placeObject2(Placement::place(2, 4));
    outer.showFrame();
    movie.defineSprite(4, inner);
    movie.defineSprite(5, outer);

    movie.frameLabel("intro");
    movie.placeObject(1, 1, Matrix::translate(10, 10));
    Placement named = Placement::place(2, 5, Matrix::rotate(45));
    named.name = "clip";
    CxForm tint;
    tint.mulR = 0.5;
    tint.addB = 40;
    named.cxform = tint;
    movie.placeObject2(named);
    Placement blended = Placement::place(3, 2);
    blended.ratio = 30000;
    blended.blendMode = 3;
    blended.cacheAsBitmap = true;
    movie.placeObject3(blended);
    movie.doAction(QByteArray("\x07\x00", 2)); // stop, end
    movie.showFrame();
    movie.removeObject(1, 1);
    movie.removeObject2(2);
    movie.showFrame();

    const QJsonObject info = readBack(movie, Compression::Zlib);
    EXPECT_EQ(info.value("frame_count").toInt(), 2);
    EXPECT_EQ(info.value("actionscript").toString(), "avm1");
    for (auto [code, count] : { std::pair { 4, 1 }, { 5, 1 }, { 26, 1 }, { 28, 1 }, { 70, 1 }, { 39, 2 }, { 43, 1 }, { 46, 1 }, { 84, 1 }, { 12, 1 } })
        EXPECT_EQ(tagCount(info, "tags_top", code), count) << "tag " << code;
    EXPECT_EQ(tagCount(info, "tags_in_sprites", 26), 3);
    EXPECT_EQ(tagCount(info, "tags_in_sprites", 28), 1);
    EXPECT_EQ(tagCount(info, "tags_in_sprites", 1), 3);
    const QJsonObject flags = info.value("place_flags").toObject();
    EXPECT_EQ(flags.value("clip_depth(mask)").toInt(), 1);
    EXPECT_EQ(flags.value("color_transform").toInt(), 1);
    EXPECT_EQ(flags.value("ratio").toInt(), 1);
    EXPECT_EQ(flags.value("blend_mode").toInt(), 1);
    EXPECT_EQ(flags.value("cache_as_bitmap").toInt(), 1);
}
