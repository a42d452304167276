#include "swf/archive/Loader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace swf::archive {

namespace {

// True when `path` is `folder` itself or lies under it (both clean, absolute).
bool inside(const QString& path, const QString& folder)
{
    if (folder.isEmpty())
        return false;
    if (path == folder)
        return true;
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    return path.startsWith(prefix);
}

// "scheme:" at the start of an address: letters, digits, + - . after a first
// letter, at least two characters (so that a drive letter "C:" is none).
QString schemeOf(const QString& url)
{
    const int colon = url.indexOf(QLatin1Char(':'));
    if (colon < 2)
        return QString();
    for (int i = 0; i < colon; ++i) {
        const QChar c = url[i];
        const bool ok = c.isLetter() || (i > 0 && (c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('.')));
        if (!ok || c.unicode() > 127)
            return QString();
    }
    return url.left(colon).toLower();
}

} // namespace

void Loader::setRoot(const QString& folder)
{
    m_root = folder.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

Loader::Target Loader::resolve(const QString& url, const QString& baseFolder) const
{
    Target t;
    QString address = url.trimmed();
    if (address.isEmpty()) {
        t.reason = QStringLiteral("empty address");
        return t;
    }
    address.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString scheme = schemeOf(address);
    if (scheme == QLatin1String("file")) {
        // file:///a/b, file://localhost/a/b, file:/a/b and file:a/b, %-escapes decoded.
        QString rest = address.mid(5);
        if (rest.startsWith(QLatin1String("//"))) {
            rest = rest.mid(2);
            const int slash = rest.indexOf(QLatin1Char('/'));
            const QString host = slash < 0 ? rest : rest.left(slash);
            if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0) {
                t.reason = QStringLiteral("file on another host: ") + url;
                return t;
            }
            rest = slash < 0 ? QString() : rest.mid(slash);
        }
        address = QUrl::fromPercentEncoding(rest.toUtf8());
    } else if (!scheme.isEmpty()) {
        if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("ftp")
            || scheme == QLatin1String("rtmp")) {
            t.kind = Kind::Remote;
            t.path = url;
            return t;
        }
        t.reason = QStringLiteral("address not followed: ") + url;
        return t;
    }
    // A query or a fragment names no file.
    const int query = address.indexOf(QLatin1Char('?'));
    if (query >= 0)
        address.truncate(query);
    if (address.isEmpty()) {
        t.reason = QStringLiteral("empty address");
        return t;
    }
    const QString base = baseFolder.isEmpty() ? m_root : baseFolder;
    QString path = QDir::isAbsolutePath(address) ? address : base + QLatin1Char('/') + address;
    path = QDir::cleanPath(path);
    if (!inside(path, m_root)) {
        t.reason = QStringLiteral("outside the movie's folder: ") + url;
        return t;
    }
    // A link inside the tree may still lead out of it.
    const QFileInfo info(path);
    if (info.exists()) {
        const QString real = info.canonicalFilePath();
        const QString realRoot = QFileInfo(m_root).canonicalFilePath();
        if (!real.isEmpty() && !realRoot.isEmpty() && !inside(real, realRoot)) {
            t.reason = QStringLiteral("outside the movie's folder: ") + url;
            return t;
        }
    }
    t.kind = Kind::File;
    t.path = path;
    return t;
}

Result<QByteArray> Loader::read(const QString& url, const QString& baseFolder) const
{
    const Target t = resolve(url, baseFolder);
    if (t.kind == Kind::Remote)
        return Error { ErrorKind::FileNotFound, QStringLiteral("web addresses are not fetched: ") + url };
    if (t.kind == Kind::Refused) {
        if (m_log)
            m_log(QStringLiteral("refused: ") + t.reason);
        return Error { ErrorKind::FileNotFound, t.reason };
    }
    QFile file(t.path);
    if (!QFileInfo(t.path).isFile() || !file.open(QIODevice::ReadOnly))
        return Error { ErrorKind::FileNotFound, QStringLiteral("cannot read ") + t.path };
    if (file.size() > MaxRequestBytes)
        return Error { ErrorKind::TooLarge, QStringLiteral("file too large: ") + t.path };
    QByteArray bytes = file.read(MaxRequestBytes + 1);
    if (bytes.size() > MaxRequestBytes)
        return Error { ErrorKind::TooLarge, QStringLiteral("file too large: ") + t.path };
    return bytes;
}

} // namespace swf::archive
