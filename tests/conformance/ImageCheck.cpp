#include "ImageCheck.h"

#include <cstdlib>

namespace conformance {

qint64 countOutliers(const QImage& actual, const QImage& expected, int tolerance)
{
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32);
    const QImage e = expected.convertToFormat(QImage::Format_ARGB32);
    qint64 outliers = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* ra = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* re = reinterpret_cast<const QRgb*>(e.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            outliers += std::abs(qRed(ra[x]) - qRed(re[x])) > tolerance;
            outliers += std::abs(qGreen(ra[x]) - qGreen(re[x])) > tolerance;
            outliers += std::abs(qBlue(ra[x]) - qBlue(re[x])) > tolerance;
            outliers += std::abs(qAlpha(ra[x]) - qAlpha(re[x])) > tolerance;
        }
    }
    return outliers;
}

CompareResult compareImages(const QImage& actual, const QImage& expected, const std::vector<ToleranceCheck>& checks)
{
    if (actual.isNull())
        return { false, QStringLiteral("no rendered image") };
    if (expected.isNull())
        return { false, QStringLiteral("no expected image") };
    if (actual.size() != expected.size())
        return { false, QStringLiteral("rendered %1x%2, expected %3x%4").arg(actual.width()).arg(actual.height()).arg(expected.width()).arg(expected.height()) };
    for (const ToleranceCheck& check : checks) {
        const qint64 outliers = countOutliers(actual, expected, check.tolerance);
        if (outliers > check.maxOutliers)
            return { false, QStringLiteral("%1 channels off by more than %2 (at most %3 allowed)").arg(outliers).arg(check.tolerance).arg(check.maxOutliers) };
    }
    return { true, {} };
}

bool looksRight(const QImage& actual, const QImage& expected)
{
    if (actual.isNull() || expected.isNull() || actual.size() != expected.size())
        return false;
    const qint64 channels = qint64(actual.width()) * actual.height() * 4;
    // At most one channel in a hundred, counted without rounding.
    return countOutliers(actual, expected, LooksRightTolerance) * 100 <= channels;
}

CompareResult checkPixels(const QImage& actual, const std::vector<PixelCheck>& checks)
{
    if (actual.isNull())
        return { false, QStringLiteral("no rendered image") };
    for (const PixelCheck& check : checks) {
        if (!actual.rect().contains(check.x, check.y))
            return { false, QStringLiteral("%1: (%2,%3) is outside the %4x%5 image").arg(check.what).arg(check.x).arg(check.y).arg(actual.width()).arg(actual.height()) };
        const QColor got = actual.pixelColor(check.x, check.y);
        const QColor& want = check.expected;
        if (std::abs(got.red() - want.red()) > check.tolerance || std::abs(got.green() - want.green()) > check.tolerance
            || std::abs(got.blue() - want.blue()) > check.tolerance) {
            return { false, QStringLiteral("%1: (%2,%3) is %4, expected %5").arg(check.what).arg(check.x).arg(check.y).arg(got.name(), want.name()) };
        }
    }
    return { true, {} };
}

} // namespace conformance
