// The harness must be right before any pass count means anything: identical
// images pass, shifted or recoloured ones fail by the corpus's own rules, and
// cases are read from the corpus as they are described.

#include "Cases.h"
#include "ImageCheck.h"

#include <QDir>
#include <QPainter>
#include <QSet>

#include <gtest/gtest.h>

using namespace conformance;

namespace {

const QString kCorpus = QStringLiteral(VANTREL_CORPUS_DIR);

QImage pattern()
{
    QImage img(40, 30, QImage::Format_ARGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.fillRect(10, 5, 12, 14, QColor(200, 30, 60));
    p.fillRect(25, 12, 8, 8, QColor(20, 90, 250));
    return img;
}

QImage shifted(const QImage& img, int dx)
{
    QImage out(img.size(), img.format());
    out.fill(img.pixel(0, 0));
    QPainter p(&out);
    p.drawImage(dx, 0, img);
    return out;
}

} // namespace

TEST(Compare, IdenticalPassesShiftedFails)
{
    const QImage img = pattern();
    EXPECT_TRUE(compareImages(img, img, { { 0, 0 } }).passed);
    const QImage moved = shifted(img, 1);
    // Each shape has two columns that change: 14 + 8 rows, 3 channels each (alpha stays 255).
    EXPECT_EQ(countOutliers(moved, img, 0), (14 + 8) * 2 * 3);
    const CompareResult strict = compareImages(moved, img, { { 0, 0 } });
    EXPECT_FALSE(strict.passed);
    EXPECT_FALSE(strict.reason.isEmpty());
    // The same difference is allowed when the check allows that many outliers.
    EXPECT_TRUE(compareImages(moved, img, { { 0, (14 + 8) * 2 * 3 } }).passed);
    EXPECT_FALSE(compareImages(moved, img, { { 0, (14 + 8) * 2 * 3 - 1 } }).passed);
}

TEST(Compare, ToleranceIsInclusiveAndAlphaCounts)
{
    QImage a(4, 4, QImage::Format_ARGB32);
    a.fill(qRgba(100, 100, 100, 255));
    QImage b = a;
    b.setPixel(1, 1, qRgba(103, 100, 100, 255)); // one channel off by 3
    EXPECT_EQ(countOutliers(b, a, 3), 0);
    EXPECT_EQ(countOutliers(b, a, 2), 1);
    QImage c = a;
    c.setPixel(2, 2, qRgba(100, 100, 100, 0)); // alpha alone differs
    EXPECT_EQ(countOutliers(c, a, 10), 1);
}

TEST(Compare, EveryCheckMustPassAndSizesMustMatch)
{
    QImage a(10, 10, QImage::Format_ARGB32);
    a.fill(qRgb(0, 0, 0));
    QImage b = a;
    for (int x = 0; x < 10; ++x)
        b.setPixel(x, 0, qRgb(50, 0, 0)); // ten channels off by 50
    EXPECT_TRUE(compareImages(b, a, { { 20, 10 }, { 60, 0 } }).passed);
    EXPECT_FALSE(compareImages(b, a, { { 20, 10 }, { 40, 0 } }).passed); // the second check fails
    EXPECT_FALSE(compareImages(a.scaled(20, 20), a, { { 255, 1000000 } }).passed);
    EXPECT_FALSE(compareImages(QImage(), a, { { 255, 1000000 } }).passed);
}

TEST(Compare, LooksRightAllowsOnePercentOfChannelsPastTwentyFour)
{
    // 10x10 pixels: 400 channels, so four may be off by more than 24.
    QImage a(10, 10, QImage::Format_ARGB32);
    a.fill(qRgb(100, 100, 100));
    QImage b = a;
    for (int x = 0; x < 4; ++x)
        b.setPixel(x, 0, qRgb(125, 100, 100)); // four red channels off by 25
    EXPECT_TRUE(looksRight(b, a));
    b.setPixel(4, 0, qRgb(100, 125, 100)); // a fifth, past the 1 %
    EXPECT_FALSE(looksRight(b, a));
    // Off by exactly 24 everywhere still looks right; the strict check does not pass it.
    QImage c(10, 10, QImage::Format_ARGB32);
    c.fill(qRgb(124, 124, 124));
    EXPECT_TRUE(looksRight(c, a));
    EXPECT_FALSE(compareImages(c, a, { { 3, 0 } }).passed);
    EXPECT_FALSE(looksRight(a.scaled(20, 20), a));
    EXPECT_FALSE(looksRight(QImage(), a));
}

TEST(PixelChecks, ColourWithinToleranceInsideTheImage)
{
    const QImage img = pattern();
    EXPECT_TRUE(checkPixels(img, { { 15, 10, QColor(200, 30, 60), 0, "red box" }, { 2, 2, QColor(255, 255, 255), 0, "background" } }).passed);
    EXPECT_TRUE(checkPixels(img, { { 15, 10, QColor(202, 28, 60), 2, "red box, near" } }).passed);
    EXPECT_FALSE(checkPixels(img, { { 15, 10, QColor(203, 30, 60), 2, "red box, too far" } }).passed);
    EXPECT_FALSE(checkPixels(img, { { 40, 10, QColor(255, 255, 255), 255, "past the right edge" } }).passed);
    EXPECT_FALSE(checkPixels(QImage(), { { 0, 0, QColor(), 255, "no image" } }).passed);
}

TEST(GeneratedCases, NamedUniquelyAndEachCaptureChecksSomething)
{
    QSet<QString> names;
    for (const Case& c : generatedCases()) {
        EXPECT_FALSE(names.contains(c.name)) << c.name.toStdString();
        names.insert(c.name);
        EXPECT_TRUE(c.movieBytes.startsWith("FWS") || c.movieBytes.startsWith("CWS") || c.movieBytes.startsWith("ZWS"));
        ASSERT_FALSE(c.captures.empty());
        for (const Capture& cap : c.captures)
            EXPECT_FALSE(cap.pixels.empty()) << c.name.toStdString();
    }
}

class CorpusHarness : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QDir(kCorpus + "/visual").exists())
            GTEST_SKIP() << "no corpus at " << kCorpus.toStdString();
    }
};

TEST_F(CorpusHarness, ExpectedImagePassesAgainstItselfAndFailsShifted)
{
    const std::vector<Case> cases = loadCorpusCases(kCorpus, { "visual-1-timeline" });
    int judged = 0;
    for (const Case& c : cases) {
        const Capture& cap = c.captures.back();
        const QImage expected(cap.expectedImage);
        ASSERT_FALSE(expected.isNull()) << c.name.toStdString();
        EXPECT_TRUE(compareImages(expected, expected, cap.checks).passed) << c.name.toStdString();
        // A copy moved by a few pixels must fail wherever the checks are strict.
        bool strict = true;
        for (const ToleranceCheck& check : cap.checks)
            strict = strict && check.tolerance <= 3 && check.maxOutliers == 0;
        if (strict && countOutliers(shifted(expected, 3), expected, 3) > 0) {
            EXPECT_FALSE(compareImages(shifted(expected, 3), expected, cap.checks).passed) << c.name.toStdString();
            ++judged;
        }
    }
    EXPECT_GT(judged, 10);
}

TEST_F(CorpusHarness, CasesReadWithTiersSizesAndFrames)
{
    const std::vector<Case> timeline = loadCorpusCases(kCorpus, { "visual-1-timeline" });
    const std::vector<Case> scripted = loadCorpusCases(kCorpus, { "visual-2-avm1" });
    EXPECT_GT(timeline.size(), 0u);
    EXPECT_GT(scripted.size(), 0u);
    int resized = 0;
    for (const std::vector<Case>* tier : { &timeline, &scripted }) {
        for (const Case& c : *tier) {
            EXPECT_TRUE(c.loadError.isEmpty()) << c.name.toStdString() << ": " << c.loadError.toStdString();
            for (const Capture& cap : c.captures) {
                EXPECT_GE(cap.frame, 1);
                EXPECT_FALSE(cap.checks.empty());
                if (cap.size) {
                    // Only images at another scale than the stage get an explicit size.
                    EXPECT_EQ(*cap.size, QImage(cap.expectedImage).size());
                    ++resized;
                }
            }
        }
    }
    EXPECT_GT(resized, 0);
}

TEST_F(CorpusHarness, ProvenanceSplitsReferenceScreenshotsFromUnverifiedImages)
{
    int reference = 0, unverified = 0;
    for (const Case& c : loadCorpusCases(kCorpus, { "visual-1-timeline", "visual-2-avm1" }))
        (c.referenceScreenshot ? reference : unverified) += 1;
    // Both sorts are in the corpus; a reader that missed the field would see only one.
    EXPECT_GT(reference, 0);
    EXPECT_GT(unverified, 0);
}
