#include "swf/movie/Movie.h"

#include "swf/format/TagCodes.h"
#include "swf/io/Container.h"
#include "swf/io/TextCodec.h"
#include "swf/movie/Definitions.h"
#include "swf/movie/Texts.h"
#include "swf/movie/Videos.h"

namespace swf {

int TimelineDef::frameForLabel(const QString& label) const
{
    for (const auto& [name, frame] : labels) {
        if (name.compare(label, Qt::CaseInsensitive) == 0)
            return frame;
    }
    return 0;
}

const Character* Movie::character(std::uint16_t id) const
{
    auto it = m_characters.find(id);
    return it == m_characters.end() ? nullptr : it->second.get();
}

namespace {

bool isMediaDefinition(int code)
{
    switch (code) {
    case TagDefineBits:
    case TagDefineBitsJpeg2:
    case TagDefineBitsJpeg3:
    case TagDefineBitsJpeg4:
    case TagDefineBitsLossless:
    case TagDefineBitsLossless2:
    case TagDefineSound:
        return true;
    default:
        return false;
    }
}

} // namespace

class MovieLoader {
public:
    MovieLoader(Movie& movie, const MovieLimits& limits) : m_movie(movie), m_limits(limits) { }

    Result<void> readTimeline(Reader& reader, TimelineDef& timeline, int nesting);
    // The first damage seen is the one reported.
    void noteDamage(const QString& what)
    {
        if (m_movie.m_damage.isEmpty())
            m_movie.m_damage = what;
    }

private:
    Result<void> readDefinition(int code, Reader& body, int nesting);
    void addCharacter(std::shared_ptr<const Character> character);
    DefinitionTags& definitionTags(std::uint16_t id, CharacterKind kind);
    Result<QByteArray> gather(int code, Reader& body, CharacterKind kind);

    Movie& m_movie;
    MovieLimits m_limits;
    std::vector<std::shared_ptr<DefinitionTags>> m_orphans;
};

void MovieLoader::addCharacter(std::shared_ptr<const Character> character)
{
    // A later definition of an id already taken is ignored, as the first one may be on stage.
    if (int(m_movie.m_characters.size()) >= m_limits.maxCharacters)
        return;
    m_movie.m_characters.emplace(character->id, std::move(character));
}

DefinitionTags& MovieLoader::definitionTags(std::uint16_t id, CharacterKind kind)
{
    auto it = m_movie.m_characters.find(id);
    if (it != m_movie.m_characters.end() && it->second->kind == kind) {
        if (auto raw = dynamic_cast<const DefinitionTags*>(it->second.get()))
            return const_cast<DefinitionTags&>(*raw);
    }
    auto raw = std::make_shared<DefinitionTags>(kind, id);
    DefinitionTags& ref = *raw;
    if (it == m_movie.m_characters.end())
        m_movie.m_characters.emplace(id, std::move(raw));
    else
        m_orphans.push_back(std::move(raw)); // id taken by another kind: keep it alive, unreachable
    return ref;
}

// Keeps a tag body with the other tags of the character whose id it starts
// with; the body is returned for the callers that hand it on as well.
Result<QByteArray> MovieLoader::gather(int code, Reader& body, CharacterKind kind)
{
    Reader idReader = body;
    auto id = SWF_TRY(idReader.readU16());
    QByteArray raw = body.rest();
    definitionTags(id, kind).tags.emplace_back(code, raw);
    return raw;
}

Result<void> MovieLoader::readDefinition(int code, Reader& body, int nesting)
{
    qint64 start = body.offset();
    switch (code) {
    case TagDefineShape:
    case TagDefineShape2:
    case TagDefineShape3:
    case TagDefineShape4:
        addCharacter(SWF_TRY(readShapeDefinition(body, code)));
        return {};
    case TagDefineMorphShape:
    case TagDefineMorphShape2:
        addCharacter(SWF_TRY(readMorphDefinition(body, code)));
        return {};
    case TagJpegTables:
        if (m_movie.m_jpegTables.isEmpty())
            m_movie.m_jpegTables = body.rest();
        return {};
    case TagDefineBits:
    case TagDefineBitsJpeg2:
    case TagDefineBitsJpeg3:
    case TagDefineBitsJpeg4:
    case TagDefineBitsLossless:
    case TagDefineBitsLossless2:
        addCharacter(SWF_TRY(readBitmapDefinition(body, code, m_movie.m_jpegTables)));
        return {};
    case TagDefineSprite: {
        auto id = SWF_TRY(body.readU16());
        SWF_TRY(body.readU16()); // declared frame count; the ShowFrame tags decide
        if (nesting >= m_limits.maxSpriteNesting)
            return Error::at(start, QStringLiteral("sprites nested too deeply"), ErrorKind::TooLarge);
        auto sprite = std::make_shared<SpriteDef>(id);
        SWF_TRY_VOID(readTimeline(body, sprite->timeline, nesting + 1));
        addCharacter(std::move(sprite));
        return {};
    }
    case TagDefineButton:
    case TagDefineButton2:
    case TagDefineButtonCxform:
    case TagDefineButtonSound: {
        QByteArray raw = SWF_TRY(gather(code, body, CharacterKind::Button));
        if (code == TagDefineButtonSound)
            m_movie.m_soundDefinitions.emplace_back(code, std::move(raw));
        return {};
    }
    case TagDefineFont:
    case TagDefineFont2:
    case TagDefineFont3:
    case TagDefineFont4:
    case TagDefineFontInfo:
    case TagDefineFontInfo2:
    case TagDefineFontAlignZones:
    case TagDefineFontName:
        SWF_TRY(gather(code, body, CharacterKind::Font));
        return {};
    case TagDefineText:
    case TagDefineText2:
    case TagDefineEditText:
        SWF_TRY(gather(code, body, code == TagDefineEditText ? CharacterKind::EditText : CharacterKind::Text));
        return {};
    // Embedded video: the stream is a character, each VideoFrame joins it
    // (in readTimeline, which knows the frame it sits in).
    case TagDefineVideoStream:
        addCharacter(SWF_TRY(readVideoStreamDefinition(body)));
        return {};
    case TagDefineSound:
        m_movie.m_soundDefinitions.emplace_back(code, SWF_TRY(gather(code, body, CharacterKind::Sound)));
        return {};
    default:
        return {};
    }
}

Result<void> MovieLoader::readTimeline(Reader& reader, TimelineDef& timeline, int nesting)
{
    std::vector<ControlTag> frame;
    bool ended = false;
    while (!reader.atEnd()) {
        qint64 tagOffset = reader.offset();
        // A tag cut off by the end of the data ends the timeline there: the
        // frames before it play (a download that broke off, a damaged copy).
        auto header = reader.readU16();
        std::uint32_t length = header.ok() ? header.value() & 0x3f : 0;
        const int code = header.ok() ? header.value() >> 6 : -1;
        bool whole = header.ok();
        if (whole && length == 0x3f) {
            auto longLength = reader.readU32();
            whole = longLength.ok();
            length = whole ? longLength.value() : 0;
        }
        if (!whole || length > reader.remaining()) {
            noteDamage(whole ? QStringLiteral("tag %1 at byte %2 runs past the end of the movie").arg(code).arg(tagOffset)
                             : QStringLiteral("movie cut short at byte %1").arg(tagOffset));
            break;
        }
        Reader body = SWF_TRY(reader.subReader(length));
        if (code == TagEnd) {
            ended = true;
            break;
        }
        ControlTag tag;
        tag.code = code;
        tag.offset = body.offset();
        switch (code) {
        case TagShowFrame:
            if (timeline.frameCount() >= m_limits.maxFrames)
                return Error::at(tagOffset, QStringLiteral("more than %1 frames").arg(m_limits.maxFrames), ErrorKind::TooLarge);
            timeline.frames.push_back(std::move(frame));
            frame.clear();
            break;
        case TagPlaceObject:
        case TagPlaceObject2:
        case TagPlaceObject3: {
            auto place = readPlaceObject(body, code, m_movie.m_version);
            if (!place.ok())
                break; // a damaged placement is dropped, the movie plays on
            tag.depth = place.value().depth;
            tag.place = std::make_shared<PlaceObject>(place.release());
            frame.push_back(std::move(tag));
            break;
        }
        case TagRemoveObject:
            tag.characterId = SWF_TRY(body.readU16());
            tag.depth = SWF_TRY(body.readU16());
            frame.push_back(std::move(tag));
            break;
        case TagRemoveObject2:
            tag.depth = SWF_TRY(body.readU16());
            frame.push_back(std::move(tag));
            break;
        case TagSetBackgroundColor:
            tag.color = SWF_TRY(readRgb(body));
            frame.push_back(std::move(tag));
            break;
        case TagFrameLabel: {
            auto label = SWF_TRY(body.readString(m_movie.m_version));
            timeline.labels.emplace_back(label, timeline.frameCount() + 1);
            break;
        }
        case TagDoAction:
        case TagDoInitAction:
        case TagStartSound:
        case TagStartSound2:
        case TagSoundStreamHead:
        case TagSoundStreamHead2:
        case TagSoundStreamBlock:
        case TagFileAttributes:
        case TagDoAbc:
        case TagDoAbcDefine:
        case TagSymbolClass:
        case TagDefineSceneAndFrameLabelData: // the scene table scripts read
            if (code == TagDoInitAction && body.remaining() >= 2) {
                Reader idReader = body;
                tag.characterId = SWF_TRY(idReader.readU16());
            }
            tag.body = body.rest();
            frame.push_back(std::move(tag));
            break;
        case TagVideoFrame:
            if (body.remaining() >= 2) {
                Reader idReader = body;
                const Character* stream = m_movie.character(SWF_TRY(idReader.readU16()));
                (void)addVideoFrame(body, stream, &timeline, timeline.frameCount() + 1); // a stray frame is dropped
            }
            break;
        case TagExportAssets: {
            std::vector<ExportedName> names;
            // A damaged entry ends the list; the names before it still count.
            (void)readExportAssets(body, m_movie.m_version, names);
            for (const ExportedName& name : names)
                m_movie.m_exports.add(name);
            break;
        }
        default: {
            auto defined = readDefinition(code, body, nesting);
            // A bitmap or a sound past our caps is dropped (drawn as nothing,
            // silent); other caps (sprite nesting) still refuse the movie.
            if (!defined.ok() && defined.error().kind == ErrorKind::TooLarge && !isMediaDefinition(code))
                return defined.error();
            // Any other damaged definition is left out; placing it later draws nothing.
            break;
        }
        }
    }
    // Tags after the last ShowFrame belong to a frame that is never shown; a
    // timeline without any ShowFrame still has its one frame.
    if (timeline.frames.empty())
        timeline.frames.push_back(std::move(frame));
    Q_UNUSED(ended);
    return {};
}

Result<std::shared_ptr<Movie>> Movie::load(const QByteArray& fileBytes, const MovieLimits& limits)
{
    auto unwrapped = SWF_TRY(unwrapMovie(fileBytes, limits.maxBytes));
    auto movie = std::make_shared<Movie>();
    movie->m_version = unwrapped.version;
    movie->m_byteLength = fileBytes.size();
    if (movie->m_version <= 5)
        movie->m_codePage = detectLegacyCodePage(unwrapped.data);
    // The movie's strings read in its own code page while it is read.
    const LegacyCodePageScope codePage(movie->m_codePage);
    Reader reader(unwrapped.data);
    SWF_TRY_VOID(reader.skip(8));
    movie->m_stage = SWF_TRY(readRect(reader));
    std::uint16_t rate = SWF_TRY(reader.readU16());
    movie->m_frameRate = rate / 256.0;
    if (movie->m_frameRate <= 0)
        movie->m_frameRate = 12;
    movie->m_headerFrameCount = SWF_TRY(reader.readU16());
    MovieLoader loader(*movie, limits);
    if (unwrapped.truncated)
        loader.noteDamage(QStringLiteral("compressed data ends early"));
    SWF_TRY_VOID(loader.readTimeline(reader, movie->m_root, 0));
    // Fonts, texts and buttons may span several tags; build them once all are read.
    for (auto& [id, character] : movie->m_characters) {
        auto raw = dynamic_cast<const DefinitionTags*>(character.get());
        if (raw && raw->kind != CharacterKind::Sound) {
            if (auto built = buildTextOrButton(*raw, movie->m_version))
                character = std::move(built);
        }
    }
    std::vector<const Character*> all;
    for (const auto& [id, character] : movie->m_characters)
        all.push_back(character.get());
    linkEditTextFonts(all);
    return movie;
}

} // namespace swf
