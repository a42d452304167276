#pragma once

// Where a movie's requests for other files go. A movie asks for parts by
// address (loadMovie, loadVariables, XML.load, ...); the address is resolved
// against the folder of the movie that asks and must stay inside the folder
// tree of the first movie opened: a movie never reads files elsewhere on the
// machine. Web addresses are never fetched; they fail as an unreachable
// server does.

#include "swf/Result.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace swf::archive {

// The largest file a request reads: beyond it the request fails.
inline constexpr qint64 MaxRequestBytes = 64ll * 1024 * 1024;

class Loader {
public:
    // The folder tree nothing may leave: the folder of the first movie opened.
    void setRoot(const QString& folder);
    const QString& root() const { return m_root; }

    enum class Kind { File, Remote, Refused };
    struct Target {
        Kind kind = Kind::Refused;
        QString path;   // the local file, for Kind::File
        QString reason; // why it is refused, for logs
    };
    // What `url` names when asked from a movie in `baseFolder`: a local file
    // inside the root, a web address, or something refused (outside the
    // root, javascript:, an empty address).
    Target resolve(const QString& url, const QString& baseFolder) const;

    // Reads what `url` names, up to MaxRequestBytes.
    Result<QByteArray> read(const QString& url, const QString& baseFolder) const;

    // Where refusals are reported (one line each); null drops them.
    void setLog(std::function<void(const QString&)> log) { m_log = std::move(log); }

private:
    QString m_root;
    std::function<void(const QString&)> m_log;
};

} // namespace swf::archive
