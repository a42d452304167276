#include "swf/runtime/Bounds.h"

#include "swf/movie/Buttons.h"
#include "swf/movie/Shapes.h"
#include "swf/movie/Texts.h"
#include "swf/runtime/ButtonInstance.h"
#include "swf/runtime/Drawing.h"
#include "swf/runtime/EditTextInstance.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/VideoInstance.h"

#include <QPainterPathStroker>

#include <cmath>

namespace swf {

namespace {

// Sprites inside sprites are capped by the stage; this only guards the walk.
constexpr int MaxDepth = 256;

void unite(QRectF& into, bool& any, const QRectF& rect)
{
    if (!any) {
        into = rect;
        any = true;
        return;
    }
    into.setLeft(std::min(into.left(), rect.left()));
    into.setTop(std::min(into.top(), rect.top()));
    into.setRight(std::max(into.right(), rect.right()));
    into.setBottom(std::max(into.bottom(), rect.bottom()));
}

// Rectangles of zero width or height are real bounds here (a vertical line), so
// QRectF's own union, which drops them, is not used.
QRectF mapBox(const QTransform& t, const QRectF& r)
{
    const QPointF corners[4] = { t.map(r.topLeft()), t.map(r.topRight()), t.map(r.bottomLeft()), t.map(r.bottomRight()) };
    double left = corners[0].x(), right = left, top = corners[0].y(), bottom = top;
    for (const QPointF& p : corners) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

bool localBoundsAt(const DisplayObject& object, QRectF& bounds, int depth);

void addChildren(const SpriteInstance::DisplayList& list, QRectF& bounds, bool& any, int depth)
{
    for (const auto& [d, child] : list) {
        QRectF inner;
        if (localBoundsAt(*child, inner, depth + 1))
            unite(bounds, any, mapBox(child->matrix().toQTransform(), inner));
    }
}

bool localBoundsAt(const DisplayObject& object, QRectF& bounds, int depth)
{
    if (depth > MaxDepth)
        return false;
    bool any = false;
    if (auto sprite = object.asSprite()) {
        QRectF drawn;
        if (sprite->drawing() && sprite->drawing()->scriptBounds(drawn))
            unite(bounds, any, drawn);
        addChildren(sprite->displayList(), bounds, any, depth);
        return any;
    }
    if (auto button = dynamic_cast<const ButtonInstance*>(&object)) {
        addChildren(button->parts(), bounds, any, depth);
        return any;
    }
    if (auto edit = dynamic_cast<const EditTextInstance*>(&object)) {
        bounds = edit->record().bounds.toTwips();
        return true;
    }
    const Character* character = object.character();
    if (!character)
        return false;
    switch (character->kind) {
    case CharacterKind::Shape:
        bounds = static_cast<const ShapeDef*>(character)->bounds.toTwips();
        return true;
    case CharacterKind::MorphShape: {
        const auto* morph = static_cast<const MorphDef*>(character);
        const double t = std::clamp(object.ratio(), 0, 65535) / 65535.0;
        const QRectF a = morph->startBounds.toTwips(), b = morph->endBounds.toTwips();
        bounds = QRectF(QPointF(a.left() + (b.left() - a.left()) * t, a.top() + (b.top() - a.top()) * t),
            QPointF(a.right() + (b.right() - a.right()) * t, a.bottom() + (b.bottom() - a.bottom()) * t));
        return true;
    }
    case CharacterKind::Bitmap: {
        const auto* bitmap = static_cast<const BitmapDef*>(character);
        bounds = QRectF(0, 0, bitmap->image.width() * 20.0, bitmap->image.height() * 20.0);
        return true;
    }
    case CharacterKind::Text:
        if (auto text = dynamic_cast<const TextDef*>(character)) {
            bounds = text->bounds.toTwips();
            return true;
        }
        return false;
    case CharacterKind::Video: // the stream's declared picture size
        if (auto video = dynamic_cast<const VideoInstance*>(&object)) {
            bounds = video->bounds();
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool pathsHit(const std::vector<ShapeLayer>& layers, QPointF p)
{
    for (const ShapeLayer& layer : layers) {
        for (const auto& [index, path] : layer.fills) {
            if (path.contains(p))
                return true;
        }
        for (const auto& [index, path] : layer.lines) {
            QPainterPathStroker stroker;
            stroker.setWidth(std::max<double>(layer.styles.lines[std::size_t(index)].width, 20));
            if (stroker.createStroke(path).contains(p))
                return true;
        }
    }
    return false;
}

bool hitsAt(const DisplayObject& object, const QTransform& toLocal, QPointF stagePoint, int depth)
{
    if (depth > MaxDepth)
        return false;
    const QPointF p = toLocal.map(stagePoint);
    auto hitChildren = [&](const SpriteInstance::DisplayList& list) {
        for (const auto& [d, child] : list) {
            bool invertible = false;
            QTransform childInverse = child->matrix().toQTransform().inverted(&invertible);
            if (invertible && hitsAt(*child, toLocal * childInverse, stagePoint, depth + 1))
                return true;
        }
        return false;
    };
    if (auto sprite = object.asSprite()) {
        return hitChildren(sprite->displayList());
    }
    if (auto button = dynamic_cast<const ButtonInstance*>(&object))
        return hitChildren(button->parts());
    const Character* character = object.character();
    if (character && character->kind == CharacterKind::Shape)
        return pathsHit(static_cast<const ShapeDef*>(character)->layers, p);
    if (character && character->kind == CharacterKind::MorphShape)
        return pathsHit(static_cast<const MorphDef*>(character)->layersAt(object.ratio()), p);
    QRectF box;
    return localBoundsAt(object, box, depth) && box.contains(p);
}

} // namespace

bool localBounds(const DisplayObject& object, QRectF& bounds)
{
    return localBoundsAt(object, bounds, 0);
}

bool boundsThrough(const DisplayObject& object, const QTransform& transform, QRectF& bounds)
{
    QRectF local;
    if (!localBoundsAt(object, local, 0))
        return false;
    bounds = mapBox(transform, local);
    return true;
}

QTransform worldTransform(const DisplayObject& object)
{
    QTransform t = object.matrix().toQTransform();
    int guard = 0;
    for (const SpriteInstance* p = object.parent(); p && guard < MaxDepth; p = p->parent(), ++guard)
        t *= p->matrix().toQTransform();
    return t;
}

bool hitsShape(const DisplayObject& object, QPointF stagePoint)
{
    bool invertible = false;
    QTransform toLocal = worldTransform(object).inverted(&invertible);
    return invertible && hitsAt(object, toLocal, stagePoint, 0);
}

} // namespace swf
