#include "swf/archive/SaveStore.h"

#include "swf/archive/Loader.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace swf::archive {

namespace {

// Folder names from a name or a path; false when one would climb out.
bool pathParts(const QString& text, QStringList& out)
{
    for (const QString& part : text.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String(".."))
            return false;
        out += part;
    }
    return true;
}

} // namespace

QString defaultSaveFolder()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty())
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/vantrel");
}

std::optional<QString> saveFilePath(const QString& folder, const QString& movieName, const QString& name,
    const std::optional<QString>& localPath)
{
    QStringList nameParts, where;
    if (!pathParts(name, nameParts) || nameParts.isEmpty())
        return std::nullopt;
    if (localPath && !pathParts(*localPath, where))
        return std::nullopt;
    if (!localPath) {
        if (movieName.isEmpty())
            return QString();
        where = QStringList { movieName };
    }
    QStringList parts { QStringLiteral("localhost") };
    parts += where;
    parts += nameParts;
    return (folder.isEmpty() ? defaultSaveFolder() : folder) + QLatin1Char('/') + parts.join(QLatin1Char('/'))
        + QStringLiteral(".sol");
}

bool writeSaveFile(const QString& path, const QByteArray& bytes)
{
    if (path.isEmpty())
        return true;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(bytes) != bytes.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

SaveRead readSaveFile(const QString& path)
{
    SaveRead result;
    QFile in(path);
    if (path.isEmpty() || !in.exists() || !in.open(QIODevice::ReadOnly))
        return result;
    // A save is small; one past what any request may load is damaged anyway.
    result.bytes = in.read(MaxRequestBytes);
    in.close();
    Result<SolFile> file = SolFile::read(result.bytes);
    if (file) {
        result.state = SaveRead::State::Read;
        result.file = std::move(file.value());
        return result;
    }
    result.state = SaveRead::State::SetAside;
    result.why = file.error().detail;
    result.aside = setSaveAside(path);
    result.bytes.clear();
    return result;
}

QString setSaveAside(const QString& path)
{
    const QString base = path + QStringLiteral(".damaged-")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmss"));
    // Two damaged files in one second: the second takes a number.
    QString aside = base;
    for (int n = 2; QFileInfo::exists(aside) && n < 1000; ++n)
        aside = base + QLatin1Char('-') + QString::number(n);
    if (QFile::rename(path, aside) || QFile::copy(path, aside))
        return aside;
    return QString();
}

} // namespace swf::archive
