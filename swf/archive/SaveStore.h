#pragma once

// Where saved games live and how they reach the disk, for both script
// machines: <folder>/localhost/<movie file name, or the path the movie
// gives>/<name>.sol. A save is written through a temporary file and a
// rename, so a crash mid-write leaves the last good save; a file that does
// not read is set aside under a new name, never deleted.

#include "swf/archive/SolFile.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace swf::archive {

// The most one save may take on disk without asking the player: a flush
// that needs more (its bytes, or the room the movie asks for) is answered
// "pending", as while the player is asked for more room.
inline constexpr qint64 MaxSaveBytes = 100 * 1024;

// $XDG_DATA_HOME/vantrel, or ~/.local/share/vantrel without it.
QString defaultSaveFolder();

// The file of the save `name` ("a/b" nests folders) of the movie
// `movieName`, or under `localPath` when the movie gives one. An empty
// `folder` means the default one. Comes back empty when the movie has no
// file name and gives no path (the save lives for this run only), and
// nullopt when the name or the path would climb out of the save folder
// ("..") or the name names nothing.
std::optional<QString> saveFilePath(const QString& folder, const QString& movieName, const QString& name,
    const std::optional<QString>& localPath);

// Writes `bytes` to `path` through a temporary file and a rename; false when
// any step failed (the old save, if any, is then as it was). An empty path
// keeps nothing and succeeds.
bool writeSaveFile(const QString& path, const QByteArray& bytes);

// What reading a save found.
struct SaveRead {
    enum class State {
        Absent, // no file: a new save
        Read,   // `file` holds it, `bytes` its contents
        SetAside, // it did not read (`why`); renamed to `aside`
    };
    State state = State::Absent;
    SolFile file;
    QByteArray bytes;
    QString why;
    QString aside;
};
SaveRead readSaveFile(const QString& path);
// Renames a save that read but could not be used to a new name beside it;
// the new name, or empty when it could be neither renamed nor copied.
QString setSaveAside(const QString& path);

} // namespace swf::archive
