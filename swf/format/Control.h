#pragma once

// Display-list control records: PlaceObject 1-3 and RemoveObject 1-2.

#include "swf/format/Records.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace swf {

// A filter as read from PlaceObject3. Kept so the renderer can draw what it knows.
struct Filter {
    int type = 0; // 0 drop shadow, 1 blur, 2 glow, 3 bevel, 4 gradient glow, 5 convolution, 6 colour matrix, 7 gradient bevel
    Rgba color;
    double blurX = 0, blurY = 0; // pixels
    double angle = 0, distance = 0, strength = 1;
    bool inner = false, knockout = false, compositeSource = true;
    int passes = 1;
    std::vector<float> colorMatrix; // 20 values for the colour-matrix filter
};

// A filter list (count, then the filters) as PlaceObject3 and button parts carry it.
Result<std::vector<Filter>> readFilterList(Reader& reader);

// One clip-action record of PlaceObject2/3: the events it answers, in the
// 32-bit layout (movies before version 6 store only the low 16 bits), the key
// a KeyPress record answers, and the action bytes it runs.
struct ClipAction {
    std::uint32_t events = 0;
    std::uint8_t keyCode = 0; // KeyPress records (version 6 and later); 0 otherwise
    QByteArray actions;
    bool operator==(const ClipAction&) const = default;
};

inline constexpr std::uint32_t ClipEventKeyPressBit = 0x00020000;

// Reads the clip actions that end a PlaceObject2/3: a reserved word, the union
// of all events, then records up to one whose events are 0. The records read
// before a damaged one stay in `out`; the error says where it broke off.
Result<void> readClipActions(Reader& reader, int swfVersion, std::vector<ClipAction>& out);

struct PlaceObject {
    int version = 1;      // 1, 2 or 3
    bool move = false;    // modifies the object already at the depth
    std::uint16_t depth = 0;
    std::optional<std::uint16_t> characterId;
    std::optional<Matrix> matrix;
    std::optional<ColorTransform> colorTransform;
    std::optional<std::uint16_t> ratio;
    std::optional<QString> name;
    std::optional<std::uint16_t> clipDepth;
    std::optional<std::vector<Filter>> filters;
    std::optional<int> blendMode; // 0/1 normal, 2 layer, 3 multiply, 4 screen, 5 lighten, 6 darken, 7 difference, 8 add, 9 subtract, 10 invert, 11 alpha, 12 erase, 13 overlay, 14 hardlight
    std::optional<bool> cacheAsBitmap;
    std::optional<bool> visible;
    std::optional<Rgba> opaqueBackground; // a colour filling the object's box beneath it
    std::optional<QString> className;
    std::vector<ClipAction> clipActions;
};

Result<PlaceObject> readPlaceObject(Reader& reader, int tagCode, int swfVersion);

} // namespace swf
