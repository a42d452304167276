#pragma once

// A loaded movie: the header, the character dictionary and the root timeline.
// Immutable once loaded; the runtime plays it.

#include "swf/io/LegacyCodePage.h"
#include "swf/movie/Character.h"
#include "swf/movie/ExportTable.h"

#include <QByteArray>
#include <QColor>

#include <memory>
#include <unordered_map>

namespace swf {

struct MovieLimits {
    qint64 maxBytes = 256ll * 1024 * 1024;   // uncompressed movie size
    int maxFrames = 100000;                  // per timeline
    int maxSpriteNesting = 16;               // DefineSprite inside DefineSprite
    int maxCharacters = 65536;
};

class Movie {
public:
    // Reads a movie from file bytes (any container).
    static Result<std::shared_ptr<Movie>> load(const QByteArray& fileBytes, const MovieLimits& limits = {});

    int version() const { return m_version; }
    // The size of the file the movie came in (what scripts see as bytesTotal).
    qint64 byteLength() const { return m_byteLength; }
    // The code page of the strings of a movie of version 5 or earlier,
    // judged from the strings themselves (LegacyCodePage.h); GBK otherwise.
    CodePage codePage() const { return m_codePage; }
    TwipsRect stageTwips() const { return m_stage; }
    double frameRate() const { return m_frameRate; }
    int headerFrameCount() const { return m_headerFrameCount; }
    // Why the movie plays only in part (cut short, a tag running past the
    // end); empty for a whole movie.
    const QString& damage() const { return m_damage; }
    const TimelineDef& root() const { return m_root; }

    const Character* character(std::uint16_t id) const;
    template<typename T>
    const T* characterAs(std::uint16_t id, CharacterKind kind) const
    {
        auto c = character(id);
        return c && c->kind == kind ? static_cast<const T*>(c) : nullptr;
    }

    // Sound definitions in load order, for a sink attached at any time.
    const std::vector<std::pair<int, QByteArray>>& soundDefinitions() const { return m_soundDefinitions; }
    // The names the movie exports its characters under (ExportAssets).
    const ExportTable& exports() const { return m_exports; }
    const QByteArray& jpegTables() const { return m_jpegTables; }

private:
    friend class MovieLoader;
    int m_version = 0;
    qint64 m_byteLength = 0;
    CodePage m_codePage = CodePage::Gbk;
    TwipsRect m_stage;
    double m_frameRate = 12;
    int m_headerFrameCount = 1;
    QString m_damage;
    TimelineDef m_root;
    std::unordered_map<std::uint16_t, std::shared_ptr<const Character>> m_characters;
    std::vector<std::pair<int, QByteArray>> m_soundDefinitions;
    ExportTable m_exports;
    QByteArray m_jpegTables;
};

} // namespace swf
