#pragma once

// The cases the conformance run judges: visual cases read from the corpus,
// and movies we generate with our own writer whose pixels we can reason about.

#include "ImageCheck.h"

#include <QByteArray>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

namespace conformance {

struct Capture {
    int frame = 1;               // frames shown before the capture (1 = the first)
    std::optional<QSize> size;   // --size, when not the stage's own size
    bool lowQuality = false;     // rendered without anti-aliasing
    QString expectedImage;       // corpus cases: the image to compare with
    std::vector<ToleranceCheck> checks;
    std::vector<PixelCheck> pixels; // generated cases: known colours at chosen points
};

struct Case {
    QString tier;
    QString name;
    QString moviePath;     // corpus cases: the movie on disk
    QByteArray movieBytes; // generated cases: written out before rendering
    std::vector<Capture> captures;
    QString loadError;     // a case whose description cannot be read fails with this
    // Whether every expected image is the reference player's own screenshot;
    // false when one was drawn by another engine (an "unverified" provenance).
    bool referenceScreenshot = true;
};

// Every visual case under `corpusDir`/visual whose tier is in `tiers`.
std::vector<Case> loadCorpusCases(const QString& corpusDir, const QStringList& tiers);

// The tier "generated".
std::vector<Case> generatedCases();

} // namespace conformance
