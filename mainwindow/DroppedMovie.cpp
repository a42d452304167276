#include "mainwindow/DroppedMovie.h"

#include <QFileInfo>
#include <QMimeData>
#include <QSysInfo>

namespace mainwindow {

QString localPathOf(const QUrl& url)
{
    if (!url.isValid() || url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0)
        return {};
    const QString host = url.host();
    // A file manager may name the machine it runs on; any other host is a
    // share we cannot open as a local file.
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0
        && host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) != 0)
        return {};
    const QString path = url.path(QUrl::FullyDecoded);
    if (!path.startsWith(QLatin1Char('/')))
        return {};
    return path;
}

bool isMoviePath(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix();
    return suffix.compare(QLatin1String("swf"), Qt::CaseInsensitive) == 0
        || suffix.compare(QLatin1String("exe"), Qt::CaseInsensitive) == 0;
}

namespace {

// Plain text from a file manager or a terminal: one item a line, each a
// file: URL or an absolute path.
QList<QString> pathsFromText(const QString& text)
{
    QList<QString> paths;
    const auto lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString line : lines) {
        line = line.trimmed();
        if (line.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
            paths << localPathOf(QUrl(line));
        else if (line.startsWith(QLatin1Char('/')))
            paths << line;
    }
    return paths;
}

} // namespace

QString droppedMovie(const QMimeData* data)
{
    if (!data)
        return {};
    QList<QString> paths;
    if (data->hasUrls()) {
        const auto urls = data->urls();
        for (const QUrl& url : urls)
            paths << localPathOf(url);
    } else if (data->hasText()) {
        paths = pathsFromText(data->text());
    }
    for (const QString& path : paths) {
        if (!path.isEmpty() && isMoviePath(path))
            return path;
    }
    return {};
}

} // namespace mainwindow
