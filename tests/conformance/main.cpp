// The conformance run: renders every case with the render tool, judges each
// capture, prints a line per tier ("visual-1-timeline: N passed, M failed")
// with how many look right (the looser verdict), both counts apart for
// reference screenshots and unverified images, then the failing cases, and fails only when a tier passes fewer cases than
// its floor in floors.txt.
//
//   vantrel-conformance --render PATH [--corpus DIR] [--floors FILE]
//       [--tiers a,b] [--jobs N] [--timeout SECONDS] [--keep DIR] [--smoke]
//
// --smoke instead loads every movie of the corpus's anim/ folder and renders
// several frames of each; any failure fails the run.
// Exit codes: 0 passed, 1 failed, 77 skipped (no corpus where one is needed).

#include "Cases.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <thread>

using namespace conformance;

namespace {

constexpr int kSkipped = 77;

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

struct RenderJob {
    QString movie;
    int frame = 1;
    std::optional<QSize> size;
    bool lowQuality = false;
    QString outPath;
    // Filled in by the run.
    bool rendered = false;
    QString failure;
};

// Runs the render tool once. A crash, a timeout or a non-zero exit is a failed
// render, never an error of the run.
void render(const QString& tool, int timeoutMs, RenderJob& job)
{
    QStringList args { job.movie, "--frame", QString::number(job.frame), "--out", job.outPath };
    if (job.size)
        args << "--size" << QStringLiteral("%1x%2").arg(job.size->width()).arg(job.size->height());
    if (job.lowQuality)
        args << "--quality" << "low";
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(env);
    process.start(tool, args);
    if (!process.waitForStarted(timeoutMs)) {
        job.failure = QStringLiteral("render tool did not start: ") + process.errorString();
        return;
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        job.failure = QStringLiteral("render timed out after %1 s").arg(timeoutMs / 1000);
        return;
    }
    if (process.exitStatus() == QProcess::CrashExit) {
        job.failure = QStringLiteral("render crashed");
        return;
    }
    if (process.exitCode() != 0) {
        QString message;
        for (const QString& line : QString::fromLocal8Bit(process.readAllStandardError()).split('\n')) {
            if (!line.trimmed().isEmpty() && !line.startsWith(QLatin1String("QStandardPaths")))
                message = line.trimmed(); // the tool's own line comes last
        }
        job.failure = QStringLiteral("render exit %1: %2").arg(process.exitCode()).arg(message);
        return;
    }
    job.rendered = true;
}

void renderAll(const QString& tool, int timeoutMs, int jobs, std::vector<RenderJob>& work)
{
    std::atomic<size_t> next { 0 };
    auto worker = [&] {
        for (size_t i = next++; i < work.size(); i = next++)
            render(tool, timeoutMs, work[i]);
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < std::max(1, jobs); ++i)
        threads.emplace_back(worker);
    for (std::thread& t : threads)
        t.join();
}

QMap<QString, int> readFloors(const QString& path, bool& ok)
{
    QMap<QString, int> floors;
    ok = true;
    QFile file(path);
    if (path.isEmpty())
        return floors;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        ok = false;
        return floors;
    }
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList parts = line.split(' ', Qt::SkipEmptyParts);
        bool isNumber = false;
        const int floor = parts.size() == 2 ? parts[1].toInt(&isNumber) : 0;
        if (!isNumber) {
            ok = false;
            continue;
        }
        floors[parts[0]] = floor;
    }
    return floors;
}

int runSmoke(const QString& tool, const QString& corpus, int timeoutMs, int jobs, const QString& scratch)
{
    const QDir anim(corpus + "/anim");
    if (!anim.exists()) {
        out() << "anim: corpus folder " << anim.path() << " not found, skipped\n";
        return kSkipped;
    }
    // Several frames of each: the first, the next, and far enough on to loop.
    const int frames[] = { 1, 2, 10, 60 };
    std::vector<RenderJob> work;
    QStringList names;
    for (const QString& name : anim.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString movie = anim.filePath(name + "/test.swf");
        if (!QFileInfo::exists(movie))
            continue;
        names << name;
        for (int frame : frames)
            work.push_back({ movie, frame, {}, false, QStringLiteral("%1/anim-%2-%3.png").arg(scratch, name).arg(frame), false, {} });
    }
    renderAll(tool, timeoutMs, jobs, work);
    int passed = 0;
    QStringList failures;
    for (const QString& name : names) {
        QString failure;
        for (const RenderJob& job : work) {
            if (!job.movie.endsWith("/" + name + "/test.swf") || !failure.isEmpty())
                continue;
            if (!job.rendered)
                failure = QStringLiteral("frame %1: %2").arg(job.frame).arg(job.failure);
            else if (QImage(job.outPath).isNull())
                failure = QStringLiteral("frame %1: no image written").arg(job.frame);
        }
        if (failure.isEmpty())
            ++passed;
        else
            failures << name + ": " + failure;
    }
    out() << "anim: " << passed << " passed, " << failures.size() << " failed\n";
    for (const QString& f : failures)
        out() << "  FAIL " << f << '\n';
    return failures.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({
        { "render", "The render tool.", "path" },
        { "corpus", "The shared movie corpus.", "dir" },
        { "floors", "Pass-count floors, one 'tier N' per line.", "file" },
        { "tiers", "Comma-separated tiers to run.", "list", "visual-1-timeline,visual-2-avm1,generated" },
        { "jobs", "Renders at once.", "n", QString::number(std::max(1, QThread::idealThreadCount())) },
        { "timeout", "Seconds before a render counts as hung.", "s", "20" },
        { "keep", "Keep rendered images and generated movies here.", "dir" },
        { "smoke", "Load and render frames of every movie in anim/." },
    });
    parser.process(app);
    const QString tool = parser.value("render");
    if (tool.isEmpty() || !QFileInfo(tool).isExecutable()) {
        out() << "no render tool at '" << tool << "'\n";
        return 1;
    }
    const QString corpus = parser.value("corpus");
    const int timeoutMs = parser.value("timeout").toInt() * 1000;
    const int jobs = parser.value("jobs").toInt();

    QTemporaryDir temp;
    QString scratch = parser.value("keep");
    if (scratch.isEmpty())
        scratch = temp.path();
    QDir().mkpath(scratch);

    if (parser.isSet("smoke"))
        return runSmoke(tool, corpus, timeoutMs, jobs, scratch);

    const QStringList tiers = parser.value("tiers").split(',', Qt::SkipEmptyParts);
    bool floorsOk = true;
    const QMap<QString, int> floors = readFloors(parser.value("floors"), floorsOk);
    if (!floorsOk) {
        out() << "cannot read the floors in " << parser.value("floors") << '\n';
        return 1;
    }

    std::vector<Case> cases;
    QStringList corpusTiers;
    for (const QString& tier : tiers) {
        if (tier != QLatin1String("generated"))
            corpusTiers << tier;
    }
    bool corpusMissing = false;
    if (!corpusTiers.isEmpty()) {
        if (!QDir(corpus + "/visual").exists()) {
            corpusMissing = true;
            out() << "corpus not found at '" << corpus << "': " << corpusTiers.join(", ") << " skipped\n";
        } else {
            cases = loadCorpusCases(corpus, corpusTiers);
        }
    }
    if (tiers.contains("generated")) {
        for (Case& c : generatedCases()) {
            c.moviePath = QStringLiteral("%1/generated-%2.swf").arg(scratch, c.name);
            QFile file(c.moviePath);
            if (!file.open(QIODevice::WriteOnly) || file.write(c.movieBytes) != c.movieBytes.size())
                c.loadError = QStringLiteral("cannot write ") + c.moviePath;
            cases.push_back(std::move(c));
        }
    }
    if (cases.empty() && corpusMissing)
        return kSkipped;

    // One render per capture, all cases at once, then judge.
    std::vector<RenderJob> work;
    std::vector<std::pair<size_t, size_t>> owner; // case, capture
    for (size_t i = 0; i < cases.size(); ++i) {
        if (!cases[i].loadError.isEmpty())
            continue;
        for (size_t j = 0; j < cases[i].captures.size(); ++j) {
            const Capture& cap = cases[i].captures[j];
            QString safeName = cases[i].name;
            safeName.replace(QRegularExpression("[^A-Za-z0-9_.-]"), "_");
            work.push_back({ cases[i].moviePath, cap.frame, cap.size, cap.lowQuality,
                QStringLiteral("%1/%2-%3-f%4.png").arg(scratch, safeName).arg(j).arg(cap.frame), false, {} });
            owner.emplace_back(i, j);
        }
    }
    renderAll(tool, timeoutMs, jobs, work);

    std::vector<QString> failures(cases.size());
    // The looser verdict: every capture looks right (a case with pixel checks looks right when it passes).
    std::vector<bool> looks(cases.size(), true);
    for (size_t i = 0; i < cases.size(); ++i) {
        failures[i] = cases[i].loadError;
        looks[i] = cases[i].loadError.isEmpty();
    }
    for (size_t k = 0; k < work.size(); ++k) {
        const auto [i, j] = owner[k];
        const Capture& cap = cases[i].captures[j];
        const RenderJob& job = work[k];
        CompareResult result;
        if (!job.rendered) {
            result = { false, job.failure };
            looks[i] = false;
        } else {
            const QImage actual(job.outPath);
            if (cap.pixels.empty()) {
                const QImage expected(cap.expectedImage);
                result = compareImages(actual, expected, cap.checks);
                looks[i] = looks[i] && looksRight(actual, expected);
            } else {
                result = checkPixels(actual, cap.pixels);
                looks[i] = looks[i] && result.passed;
            }
        }
        if (!result.passed && failures[i].isEmpty()) // the first failing capture says why
            failures[i] = QStringLiteral("after frame %1: %2").arg(cap.frame).arg(result.reason);
    }

    bool belowFloor = false;
    for (const QString& tier : tiers) {
        int passed = 0, failed = 0;
        // Both verdicts, apart for cases judged against the reference's own
        // screenshots [0] and against images another engine drew [1].
        int byOrigin[2] = { 0, 0 }, passedBy[2] = { 0, 0 }, looksBy[2] = { 0, 0 };
        QStringList failing;
        for (size_t i = 0; i < cases.size(); ++i) {
            if (cases[i].tier != tier)
                continue;
            const int origin = cases[i].referenceScreenshot ? 0 : 1;
            ++byOrigin[origin];
            looksBy[origin] += looks[i] ? 1 : 0;
            if (failures[i].isEmpty()) {
                ++passed;
                ++passedBy[origin];
            } else {
                ++failed;
                failing << cases[i].name + (cases[i].referenceScreenshot ? QString() : QStringLiteral(" [unverified]"))
                        + (looks[i] ? QStringLiteral(" [looks right]") : QString()) + ": " + failures[i];
            }
        }
        if (passed + failed == 0 && corpusMissing && tier != QLatin1String("generated"))
            continue;
        const int floor = floors.value(tier, 0);
        out() << tier << ": " << passed << " passed, " << failed << " failed";
        if (passed < floor) {
            belowFloor = true;
            out() << "  (below the floor of " << floor << ")";
        } else if (floors.contains(tier)) {
            out() << "  (floor " << floor << ")";
        }
        out() << '\n';
        out() << "  looks right (at most 1% of channels off by more than " << LooksRightTolerance << "): "
              << looksBy[0] + looksBy[1] << " of " << passed + failed << '\n';
        const char* origins[2] = { "reference screenshots", "unverified images" };
        for (int o = 0; o < 2; ++o) {
            if (byOrigin[o] > 0)
                out() << "  " << origins[o] << ": " << passedBy[o] << " passed, " << looksBy[o] << " look right, of "
                      << byOrigin[o] << '\n';
        }
        for (const QString& f : failing)
            out() << "  FAIL " << f << '\n';
    }
    out().flush();
    return belowFloor ? 1 : 0;
}
