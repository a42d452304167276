#include "swf/render/FrameChanges.h"

#include "swf/movie/Shapes.h"
#include "swf/movie/Texts.h"
#include "swf/runtime/Bounds.h"
#include "swf/runtime/ButtonInstance.h"
#include "swf/runtime/Drawing.h"
#include "swf/runtime/EditTextInstance.h"
#include "swf/runtime/Stage.h"
#include "swf/runtime/VideoInstance.h"

#include <cmath>
#include <cstring>

namespace swf {

namespace {

// Anti-aliased edges, one-pixel hairlines and miter corners reach a little
// past the bounds an object's definition gives.
constexpr int EdgePixels = 3;

// A running 64-bit key: every value that decides drawing is mixed in.
class Key {
public:
    void add(quint64 value)
    {
        m_value ^= value + 0x9e3779b97f4a7c15ull + (m_value << 6) + (m_value >> 2);
        m_value *= 0xff51afd7ed558ccdull;
    }
    void add(double value)
    {
        quint64 bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        add(bits);
    }
    void add(const void* pointer) { add(quint64(reinterpret_cast<quintptr>(pointer))); }
    void add(int value) { add(quint64(std::uint32_t(value))); }
    void add(bool value) { add(quint64(value ? 1 : 2)); }
    void add(const Matrix& m)
    {
        for (double v : { m.a, m.b, m.c, m.d, m.tx, m.ty })
            add(v);
    }
    void add(const ColorTransform& cx)
    {
        for (double v : { cx.rMul, cx.gMul, cx.bMul, cx.aMul, cx.rAdd, cx.gAdd, cx.bAdd, cx.aAdd })
            add(v);
    }
    void add(const QTransform& t)
    {
        for (double v : { t.m11(), t.m12(), t.m13(), t.m21(), t.m22(), t.m23(), t.m31(), t.m32(), t.m33() })
            add(v);
    }
    quint64 value() const { return m_value; }

private:
    quint64 m_value = 0xcbf29ce484222325ull;
};

// The key of an object and everything under it; `always` is set when some
// part of it cannot be compared and must be taken as changed.
void addObject(Key& key, const DisplayObject& object, bool& always);

void addChildren(Key& key, const SpriteInstance& sprite, bool& always)
{
    if (const Drawing* drawing = sprite.drawing()) {
        key.add(drawing);
        key.add(drawing->revision());
        key.add(quint64(drawing->fills().size()));
        key.add(quint64(drawing->lines().size()));
        // Bitmap fills show pixels a script can change in place.
        for (const Drawing::FillPart& part : drawing->fills()) {
            if (part.fill.bitmap)
                key.add(quint64(part.fill.bitmap->image.cacheKey()));
        }
    }
    key.add(quint64(sprite.displayList().size()));
    for (const auto& [depth, child] : sprite.displayList()) {
        key.add(depth);
        addObject(key, *child, always);
    }
    for (const auto& child : sprite.coveredChildren())
        addObject(key, *child, always);
}

void addObject(Key& key, const DisplayObject& object, bool& always)
{
    key.add(&object);
    key.add(object.character());
    key.add(object.matrix());
    key.add(object.colorTransform());
    key.add(object.ratio());
    key.add(object.clipDepth());
    key.add(object.isVisible());
    key.add(object.blendMode());
    if (const std::optional<Rgba>& background = object.opaqueBackground())
        key.add(quint64(background->r) << 24 | quint64(background->g) << 16 | quint64(background->b) << 8 | background->a);
    key.add(object.maskedObject() != nullptr);
    key.add(quint64(object.filters().size()));
    for (const Filter& f : object.filters()) {
        key.add(f.type);
        key.add(quint64(f.color.r) << 24 | quint64(f.color.g) << 16 | quint64(f.color.b) << 8 | f.color.a);
        for (double v : { f.blurX, f.blurY, f.angle, f.distance, f.strength })
            key.add(v);
        key.add(f.inner);
        key.add(f.knockout);
        key.add(f.compositeSource);
        key.add(f.passes);
        for (float v : f.colorMatrix)
            key.add(double(v));
    }
    if (const std::optional<QRectF>& scroll = object.scrollRect()) {
        for (double v : { scroll->x(), scroll->y(), scroll->width(), scroll->height() })
            key.add(v);
    }
    if (const DisplayObject* mask = object.scriptMask()) {
        // The mask can stand anywhere on the stage: where it is counts too.
        key.add(worldTransform(*mask));
        addObject(key, *mask, always);
    }
    if (const SpriteInstance* sprite = object.asSprite()) {
        addChildren(key, *sprite, always);
        return;
    }
    const Character* character = object.character();
    if (!character)
        return;
    switch (character->kind) {
    case CharacterKind::Button:
        if (const auto* button = dynamic_cast<const ButtonInstance*>(&object)) {
            key.add(quint64(button->parts().size()));
            for (const auto& [depth, part] : button->parts()) {
                key.add(depth);
                addObject(key, *part, always);
            }
        }
        return;
    case CharacterKind::Bitmap:
        if (const auto* bitmap = dynamic_cast<const BitmapDef*>(character))
            key.add(quint64(bitmap->image.cacheKey()));
        return;
    case CharacterKind::EditText:
        always = true;
        return;
    case CharacterKind::Video:
        if (const auto* video = dynamic_cast<const VideoInstance*>(&object))
            key.add(int(video->packetsDecoded()));
        return;
    default:
        return; // shapes, morphs (by ratio) and static texts are fixed by their character
    }
}

double deviceScale(const QTransform& t)
{
    return std::sqrt(std::abs(t.m11() * t.m22() - t.m12() * t.m21()));
}

// Where an object can draw, in device pixels, added to `bounds`; false when
// that is not known (the whole device is then taken).
bool addBounds(QRectF& bounds, const DisplayObject& object, const QTransform& parent)
{
    QTransform transform = object.matrix().toQTransform() * parent;
    if (std::abs(transform.determinant()) < 1e-12)
        return true; // squashed flat: draws nothing
    QRectF own;
    if (const std::optional<QRectF>& scroll = object.scrollRect()) {
        // Nothing shows outside the scroll window.
        own = transform.mapRect(QRectF(QPointF(0, 0), scroll->size()));
    } else if (const SpriteInstance* sprite = object.asSprite()) {
        if (const Drawing* drawing = sprite->drawing(); drawing && !drawing->isEmpty())
            own |= transform.mapRect(drawing->bounds());
        for (const auto& [depth, child] : sprite->displayList()) {
            if (!addBounds(own, *child, transform))
                return false;
        }
    } else if (const Character* character = object.character()) {
        switch (character->kind) {
        case CharacterKind::Shape:
            if (const auto* shape = dynamic_cast<const ShapeDef*>(character))
                own = transform.mapRect(shape->bounds.toTwips());
            break;
        case CharacterKind::MorphShape:
            if (const auto* morph = dynamic_cast<const MorphDef*>(character))
                own = transform.mapRect(morph->startBounds.toTwips()) | transform.mapRect(morph->endBounds.toTwips());
            break;
        case CharacterKind::Bitmap:
            if (const auto* bitmap = dynamic_cast<const BitmapDef*>(character))
                own = transform.mapRect(QRectF(0, 0, bitmap->image.width() * 20.0, bitmap->image.height() * 20.0));
            break;
        case CharacterKind::EditText:
            if (const auto* edit = dynamic_cast<const EditTextInstance*>(&object))
                own = transform.mapRect(edit->record().bounds.toTwips());
            else
                return false;
            break;
        case CharacterKind::Text:
            if (const auto* text = dynamic_cast<const TextDef*>(character))
                own = transform.mapRect(text->bounds.toTwips());
            break;
        case CharacterKind::Video:
            if (const auto* video = dynamic_cast<const VideoInstance*>(&object))
                own = transform.mapRect(video->bounds());
            else
                return false;
            break;
        case CharacterKind::Button:
            if (const auto* button = dynamic_cast<const ButtonInstance*>(&object)) {
                for (const auto& [depth, part] : button->parts()) {
                    if (!addBounds(own, *part, transform))
                        return false;
                }
            } else {
                return false;
            }
            break;
        default:
            return false; // a character drawn in a way not measured here
        }
    }
    if (own.isNull() && object.filters().empty())
        return true; // draws nothing
    // Filters spread the object by their blur and offset, in stage pixels
    // scaled as the parent is shown (as the renderer sizes their layers).
    double margin = EdgePixels;
    const double scale = deviceScale(parent) * 20;
    for (const Filter& f : object.filters())
        margin += (std::max(f.blurX, f.blurY) / 2 * std::max(1, f.passes) + f.distance) * scale + 2;
    if (!std::isfinite(margin) || !std::isfinite(own.width()) || !std::isfinite(own.height()))
        return false;
    bounds |= own.adjusted(-margin, -margin, margin, margin);
    return true;
}

QRect toDevice(const QRectF& area, const QRect& device)
{
    const QRectF clipped = area & QRectF(device);
    if (clipped.isEmpty())
        return {};
    return clipped.toAlignedRect() & device;
}

} // namespace

bool deviceBounds(const DisplayObject& object, const QTransform& parent, QRectF& bounds)
{
    return addBounds(bounds, object, parent);
}

QRegion FrameChanges::changedArea(const Stage& stage, const QTransform& stageToDevice, QSize deviceSize, int quality)
{
    const QRect device(QPoint(0, 0), deviceSize);
    const QTransform twipsToDevice = QTransform::fromScale(1 / 20.0, 1 / 20.0) * stageToDevice;
    Key stageKey;
    stageKey.add(stageToDevice);
    stageKey.add(quint64(deviceSize.width()) << 32 | quint32(deviceSize.height()));
    stageKey.add(quality);
    stageKey.add(quint64(stage.backgroundColor().rgba()));
    const SpriteInstance& root = stage.root();
    if (const Drawing* drawing = root.drawing()) {
        stageKey.add(drawing);
        stageKey.add(drawing->revision());
    }
    bool wholeDevice = !m_valid || stageKey.value() != m_stageKey;
    m_stageKey = stageKey.value();

    std::map<int, Item> items;
    for (const auto& [depth, child] : root.displayList()) {
        Item item;
        Key key;
        addObject(key, *child, item.always);
        QRectF area;
        bool known = addBounds(area, *child, twipsToDevice);
        // What lies beneath the depth's occupant counts as part of it.
        for (const auto& covered : root.coveredChildren()) {
            if (covered->depth() == depth) {
                addObject(key, *covered, item.always);
                known = addBounds(area, *covered, twipsToDevice) && known;
            }
        }
        item.key = key.value();
        if (known)
            item.bounds = toDevice(area, device);
        else
            item.bounds = device;
        items.emplace(depth, item);
    }
    QRegion changed;
    if (!wholeDevice) {
        for (const auto& [depth, item] : items) {
            auto old = m_items.find(depth);
            if (old == m_items.end()) {
                changed += item.bounds;
            } else if (old->second.key != item.key || item.always || old->second.always) {
                changed += item.bounds;
                changed += old->second.bounds;
            }
        }
        for (const auto& [depth, item] : m_items) {
            if (!items.count(depth))
                changed += item.bounds;
        }
    }
    m_items = std::move(items);
    m_valid = true;
    if (wholeDevice)
        return QRegion(device);
    return changed & device;
}

} // namespace swf
