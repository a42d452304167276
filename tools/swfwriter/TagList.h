#pragma once

// A run of tags with their headers: the root timeline of a Movie and the
// inner timeline of a Sprite share it, so control tags are written the same way
// at either level.

#include "tools/swfwriter/Records.h"

#include <QByteArray>

#include <optional>

namespace swfw {

// Tag codes the writer emits.
enum class TagCode : uint16_t {
    End = 0,
    ShowFrame = 1,
    DefineShape = 2,
    PlaceObject = 4,
    RemoveObject = 5,
    DoAction = 12,
    DefineSound = 14,
    StartSound = 15,
    SoundStreamHead = 18,
    SoundStreamBlock = 19,
    DefineBitsLossless = 20,
    DefineBitsJPEG2 = 21,
    DefineShape2 = 22,
    PlaceObject2 = 26,
    RemoveObject2 = 28,
    DefineShape3 = 32,
    DefineBitsJPEG3 = 35,
    DefineBitsLossless2 = 36,
    DefineSprite = 39,
    FrameLabel = 43,
    SoundStreamHead2 = 45,
    DefineMorphShape = 46,
    FileAttributes = 69,
    PlaceObject3 = 70,
    DefineShape4 = 83,
    DefineMorphShape2 = 84,
    SetBackgroundColor = 9,
};

// What a PlaceObject2/3 sets. Absent fields are left out of the record.
struct Placement {
    uint16_t depth = 1;
    std::optional<uint16_t> characterId;
    bool move = false; // modify the object already at `depth`
    std::optional<Matrix> matrix;
    std::optional<CxForm> cxform;
    std::optional<uint16_t> ratio;
    std::optional<QByteArray> name;
    std::optional<uint16_t> clipDepth;
    // PlaceObject3 only.
    std::optional<uint8_t> blendMode;
    std::optional<bool> cacheAsBitmap;
    std::optional<bool> visible;
    std::optional<Rgba> opaqueBackground;

    // A new object at `depth`.
    static Placement place(uint16_t depth, uint16_t characterId, const Matrix& matrix = {})
    {
        Placement p;
        p.depth = depth;
        p.characterId = characterId;
        p.matrix = matrix;
        return p;
    }
    // Changes to the object already at `depth`.
    static Placement modify(uint16_t depth)
    {
        Placement p;
        p.depth = depth;
        p.move = true;
        return p;
    }
};

class TagList {
public:
    // Appends a tag, with the short header when the body is under 63 bytes
    // and `longHeader` is not asked for.
    void tag(TagCode code, const QByteArray& body, bool longHeader = false);
    void tag(uint16_t code, const QByteArray& body, bool longHeader = false);

    void showFrame();
    void placeObject(uint16_t characterId, uint16_t depth, const Matrix& matrix, const std::optional<CxForm>& cxform = {});
    void placeObject2(const Placement& p);
    void placeObject3(const Placement& p);
    void removeObject(uint16_t characterId, uint16_t depth);
    void removeObject2(uint16_t depth);
    void frameLabel(const QByteArray& name, bool namedAnchor = false);
    // Action bytes as given; the caller ends them with the 0 action.
    void doAction(const QByteArray& actions);
    // Sound tags carry their bodies as given after the fields named here.
    void startSound(uint16_t soundId, const QByteArray& soundInfo = QByteArray(1, '\0'));
    void soundStreamHead(const QByteArray& body, bool second = false);
    void soundStreamBlock(const QByteArray& data);

    int frameCount() const { return m_frames; }
    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    int m_frames = 0;
};

// A movie clip's own timeline: control tags only.
class Sprite : public TagList { };

} // namespace swfw
