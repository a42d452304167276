#include "Cases.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace conformance {

static Case loadCase(const QString& dir)
{
    Case c;
    c.name = QDir(dir).dirName();
    c.moviePath = dir + QStringLiteral("/test.swf");
    QFile file(dir + QStringLiteral("/case.json"));
    if (!file.open(QIODevice::ReadOnly)) {
        c.loadError = QStringLiteral("cannot read case.json");
        return c;
    }
    QJsonParseError parseError;
    const QJsonObject json = QJsonDocument::fromJson(file.readAll(), &parseError).object();
    if (parseError.error != QJsonParseError::NoError) {
        c.loadError = QStringLiteral("case.json: ") + parseError.errorString();
        return c;
    }
    c.tier = json.value("tier").toString();
    if (!json.value("name").toString().isEmpty())
        c.name = json.value("name").toString();

    const QJsonArray stagePx = json.value("swf").toObject().value("stage_px").toArray();
    const QSize stage(int(std::lround(stagePx.at(0).toDouble())), int(std::lround(stagePx.at(1).toDouble())));

    // The renderer settings the images were taken with are recorded in the notes.
    bool lowQuality = false;
    for (const QJsonValue& note : json.value("notes").toArray()) {
        const QString text = note.toString();
        if (text.contains(QLatin1String("renderer settings")) && text.contains(QLatin1String("'quality': 'low'")))
            lowQuality = true;
    }

    const QJsonArray captures = json.value("captures").toArray();
    if (captures.isEmpty())
        c.loadError = QStringLiteral("case.json lists no captures");
    for (const QJsonValue& value : captures) {
        const QJsonObject capture = value.toObject();
        Capture cap;
        cap.frame = capture.value("after").toInt(1);
        cap.lowQuality = lowQuality;
        if (capture.value("provenance").toString().startsWith(QLatin1String("unverified")))
            c.referenceScreenshot = false;
        cap.expectedImage = dir + QLatin1Char('/') + capture.value("file").toString();
        for (const QJsonValue& check : capture.value("checks").toArray()) {
            const QJsonObject o = check.toObject();
            cap.checks.push_back({ o.value("tolerance").toInt(), qint64(o.value("max_outliers").toDouble()) });
        }
        if (cap.checks.empty())
            cap.checks.push_back({ 0, 0 });
        // Images taken at another scale are rendered at their own size.
        const QSize imageSize = QImageReader(cap.expectedImage).size();
        if (!imageSize.isValid()) {
            c.loadError = QStringLiteral("cannot read %1").arg(capture.value("file").toString());
        } else if (imageSize != stage) {
            cap.size = imageSize;
        }
        c.captures.push_back(cap);
    }
    return c;
}

std::vector<Case> loadCorpusCases(const QString& corpusDir, const QStringList& tiers)
{
    std::vector<Case> cases;
    const QDir visual(corpusDir + QStringLiteral("/visual"));
    for (const QString& entry : visual.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        Case c = loadCase(visual.filePath(entry));
        if (tiers.contains(c.tier))
            cases.push_back(std::move(c));
    }
    return cases;
}

} // namespace conformance
