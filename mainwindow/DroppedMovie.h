#pragma once

// What a drag over the main window carries, read the way every file manager
// writes it: a text/uri-list of file: URLs (with or without a host part, with
// percent-escapes), or plain text holding file: URLs or absolute paths. The
// window takes a movie (.swf) or a projector (.exe) and nothing else.

#include <QString>
#include <QUrl>

class QMimeData;

namespace mainwindow {

// The local path a dropped URL names, or "" when it is not a local file.
// "file:///a", "file://localhost/a" and "file://<this host>/a" all name /a.
QString localPathOf(const QUrl& url);

// True for a path whose extension is .swf or .exe, in any letter case.
bool isMoviePath(const QString& path);

// The first movie among the dragged items, or "" when there is none.
QString droppedMovie(const QMimeData* data);

} // namespace mainwindow
