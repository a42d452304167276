// vantrel-genresources: draws the program's pictures (skin bitmap, icon in all
// its sizes, the two hand pointers) and the Windows icon resource data, and
// writes them to one folder. The results are committed under
// resources/generated/; run the `update-resources` target after changing a
// picture here.

#include "BmpWriter.h"
#include "IconPainter.h"
#include "PointerPainter.h"
#include "SkinPainter.h"
#include "WinIcon.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>

#include <cstdio>

using namespace genresources;

namespace {

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    return true;
}

bool writePng(const QString& path, const QImage& image)
{
    QImageWriter writer(path, "png");
    // For PNG the quality setting picks the deflate level; 0 packs hardest,
    // which keeps the committed files small.
    writer.setQuality(0);
    if (!writer.write(image)) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    // Drawing text needs a GUI application, but never a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription("Draws Vantrel's skin bitmap, icons and pointers.");
    parser.addHelpOption();
    parser.addOption({"font", "Font family of the display name on the skin.", "family", "DejaVu Sans"});
    parser.addPositionalArgument("outdir", "Folder to write the pictures to.");
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    const QDir out(parser.positionalArguments().front());
    if (!out.mkpath(".")) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(out.path()));
        return 1;
    }

    // 72 dots per inch.
    constexpr int SkinPixelsPerMetre = 2834;
    bool ok = writeBytes(out.filePath("skin.bmp"), encodeBmp24(paintSkin(parser.value("font")), SkinPixelsPerMetre));

    const QImage icon = paintIcon256Colours();
    ok = writePng(out.filePath("icon.png"), icon) && ok;
    for (int size : {16, 32, 48, 64, 128, 256})
        ok = writePng(out.filePath(QString("icon-%1.png").arg(size)), paintIcon(size)) && ok;

    const QByteArray iconImage = encodeIconImage(icon);
    ok = writeBytes(out.filePath("icon30001.bin"), iconImage) && ok;
    ok = writeBytes(out.filePath("icongroup1.bin"), encodeIconGroup(icon, int(iconImage.size()), 30001)) && ok;

    ok = writePng(out.filePath("pointerA.png"), paintPointerA()) && ok;
    ok = writePng(out.filePath("pointerB.png"), paintPointerB()) && ok;
    return ok ? 0 : 1;
}
