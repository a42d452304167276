#pragma once

// Judging a rendered frame against its expected image: a check passes when at
// most `maxOutliers` colour channels (R, G, B and A counted apart) differ by
// more than `tolerance`.

#include <QColor>
#include <QImage>
#include <QString>

#include <vector>

namespace conformance {

struct ToleranceCheck {
    int tolerance = 0;     // 0..255
    qint64 maxOutliers = 0; // channels allowed beyond the tolerance
};

struct CompareResult {
    bool passed = false;
    QString reason; // empty when passed
};

// Every check must pass. Images of different sizes never match.
CompareResult compareImages(const QImage& actual, const QImage& expected, const std::vector<ToleranceCheck>& checks);

// Channels of `actual` that differ from `expected` by more than `tolerance`.
// Both images must have the same size.
qint64 countOutliers(const QImage& actual, const QImage& expected, int tolerance);

// The second, looser verdict: an image "looks right" when at most 1 % of its
// channels differ from the expected one by more than 24 levels. It tells an
// image drawn a few levels off at edges from one that draws something else.
constexpr int LooksRightTolerance = 24;
bool looksRight(const QImage& actual, const QImage& expected);

// A single-pixel check for movies whose colours we know exactly.
struct PixelCheck {
    int x = 0, y = 0;
    QColor expected;
    int tolerance = 2; // per R, G, B channel
    QString what;      // what the pixel looks at, for the failure message
};

CompareResult checkPixels(const QImage& actual, const std::vector<PixelCheck>& checks);

} // namespace conformance
