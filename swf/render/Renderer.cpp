#include "swf/render/Renderer.h"
#include "swf/render/PaintStyles.h"

#include "swf/render/BitmapFill.h"
#include "swf/render/BlendModes.h"
#include "swf/render/ColorMath.h"
#include "swf/render/CoverageFill.h"
#include "swf/render/DrawingRenderer.h"
#include "swf/render/Filters.h"
#include "swf/render/GradientFill.h"
#include "swf/render/FrameChanges.h"
#include "swf/render/RenderCache.h"
#include "swf/render/StrokePieces.h"
#include "swf/render/FocusRect.h"
#include "swf/render/TextDrawing.h"
#include "swf/render/VideoDrawing.h"
#include "swf/movie/Texts.h"
#include "swf/runtime/Bounds.h"
#include "swf/runtime/ButtonInstance.h"
#include "swf/runtime/Drawing.h"
#include "swf/runtime/EditTextInstance.h"
#include "swf/runtime/ScriptBitmapInstance.h"
#include "swf/runtime/Stage.h"
#include "swf/runtime/VideoInstance.h"

#include <QPainter>

#include <cmath>

namespace swf {

// What an object draws as. Every step of the renderer that treats objects by
// their sort (drawing, bounds, mask areas) switches over this, decided once
// by drawKindOf. A switch keeps each step's cases side by side in one place
// and the compiler points out a sort a step forgot; virtual drawing methods
// would put painting into the runtime, which knows nothing of it.
enum class DrawKind { Nothing, Sprite, Shape, MorphShape, Bitmap, Button, EditText, StaticText, Video };

namespace {

// The runtime makes a ButtonInstance for every button character, an
// EditTextInstance for every text field and a SpriteInstance for every clip;
// only clips made by scripts, and the root, have no character at all.
DrawKind drawKindOf(const DisplayObject& object)
{
    if (object.asSprite())
        return DrawKind::Sprite;
    const Character* character = object.character();
    if (!character)
        return dynamic_cast<const ScriptBitmapInstance*>(&object) ? DrawKind::Bitmap : DrawKind::Nothing;
    switch (character->kind) {
    case CharacterKind::Shape: return DrawKind::Shape;
    case CharacterKind::MorphShape: return DrawKind::MorphShape;
    case CharacterKind::Bitmap: return DrawKind::Bitmap;
    case CharacterKind::Button: return DrawKind::Button;
    case CharacterKind::EditText: return DrawKind::EditText;
    case CharacterKind::Text:
        // A text whose records did not decode stays a raw definition of the
        // same kind, and draws nothing.
        return dynamic_cast<const TextDef*>(character) ? DrawKind::StaticText : DrawKind::Nothing;
    case CharacterKind::Video: return DrawKind::Video;
    case CharacterKind::Sprite:
    case CharacterKind::Font:
    case CharacterKind::Sound:
    case CharacterKind::Other:
        break;
    }
    return DrawKind::Nothing;
}

template<typename T>
const T& definitionOf(const DisplayObject& object)
{
    return *static_cast<const T*>(object.character());
}

// The pixels a bitmap object shows: its definition's, or a script bitmap's
// (null once disposed).
const QImage* bitmapImageOf(const DisplayObject& object)
{
    if (!object.character())
        return static_cast<const ScriptBitmapInstance&>(object).image();
    return &definitionOf<BitmapDef>(object).image;
}

} // namespace

void Renderer::render(QPainter& painter, const QTransform& stageToDevice)
{
    m_cull.reset();
    if (painter.hasClipping())
        m_cull = painter.transform().mapRect(painter.clipBoundingRect());
    painter.save();
    painter.setTransform(stageToDevice);
    QRectF stageRect = m_stage.movie().stageTwips().toPixels();
    painter.fillRect(stageRect, m_stage.backgroundColor());
    QTransform twipsToDevice = QTransform::fromScale(1 / 20.0, 1 / 20.0) * stageToDevice;
    m_twipsToDevice = twipsToDevice;
    // A script may give the root a colour transform (new Color(_root)).
    const ColorTransform rootCx = ColorTransform {}.concat(m_stage.root().colorTransform());
    if (const Drawing* drawing = m_stage.root().drawing())
        drawDrawing(painter, *drawing, twipsToDevice, rootCx, *this);
    drawChildren(painter, m_stage.root(), twipsToDevice, rootCx);
    // Levels loaded above the stage movie, lowest first, each with its own
    // placement (scripts may move a level as any clip).
    for (const auto& [n, level] : m_stage.levels()) {
        if (!level->isVisible())
            continue;
        const QTransform levelTransform = level->matrix().toQTransform() * twipsToDevice;
        const ColorTransform levelCx = ColorTransform {}.concat(level->colorTransform());
        if (const Drawing* drawing = level->drawing())
            drawDrawing(painter, *drawing, levelTransform, levelCx, *this);
        drawChildren(painter, *level, levelTransform, levelCx);
    }
    drawFocusRect(painter, m_stage, twipsToDevice);
    painter.restore();
}

void Renderer::renderObject(QPainter& painter, const DisplayObject& object, const QTransform& objectToDevice, const ColorTransform& cx)
{
    if (!invertible(objectToDevice))
        return;
    // Masks set by scripts are placed from the root's space: carry it along.
    const QTransform world = worldTransform(object);
    m_twipsToDevice = invertible(world) ? world.inverted() * objectToDevice : objectToDevice;
    painter.save();
    drawContent(painter, object, objectToDevice, cx);
    painter.restore();
}

void Renderer::drawChildren(QPainter& painter, const SpriteInstance& sprite, const QTransform& transform, const ColorTransform& cx)
{
    // Clip-depth masks in force: each hides what lies outside its shape for
    // the depths up to its clip depth. A mask inside the range of another is
    // itself cut by that one, so it carries the areas of the masks around it.
    struct ActiveMask {
        int depth; // where the mask itself is placed
        int clipDepth;
        std::vector<QPainterPath> areas; // device coordinates
    };
    std::vector<ActiveMask> masks;
    // Neighbouring children under the same masks are drawn together, cut once.
    std::vector<const DisplayObject*> group;
    std::vector<QPainterPath> groupClips;
    std::vector<int> groupKey; // the depths of the masks over the group
    auto flush = [&] {
        if (!group.empty())
            drawMasked(painter, group, groupClips, transform, cx);
        group.clear();
        groupClips.clear();
        groupKey.clear();
    };
    const auto visit = [&](int depth, const DisplayObject& child) {
        std::erase_if(masks, [depth](const ActiveMask& m) { return m.clipDepth < depth; });
        if (child.clipDepth() != 0) {
            ActiveMask mask { depth, child.clipDepth(), {} };
            QPainterPath area;
            area.setFillRule(Qt::WindingFill);
            addMaskArea(area, child, transform);
            mask.areas.push_back(area);
            for (const ActiveMask& outer : masks)
                mask.areas.insert(mask.areas.end(), outer.areas.begin(), outer.areas.end());
            masks.push_back(std::move(mask));
            return;
        }
        if (!child.isVisible() || child.maskedObject())
            return; // hidden, or serving a script as a mask
        if (m_cull && &sprite == &m_stage.root()) {
            // A repaint of part of the view skips what lies wholly outside it.
            QRectF bounds;
            if (deviceBounds(child, transform, bounds) && !bounds.intersects(*m_cull))
                return;
        }
        const DisplayObject* scriptMask = child.scriptMask();
        if (!scriptMask && masks.empty()) {
            // Nothing masks it: drawn straight, with no lists built for it.
            flush();
            drawObject(painter, child, transform, cx);
            return;
        }
        std::vector<int> key;
        for (const ActiveMask& m : masks)
            key.push_back(m.depth);
        if (scriptMask || key != groupKey)
            flush();
        if (scriptMask || masks.empty()) {
            std::vector<QPainterPath> clips;
            if (scriptMask)
                clips.push_back(scriptMaskArea(*scriptMask));
            for (const ActiveMask& m : masks)
                clips.insert(clips.end(), m.areas.begin(), m.areas.end());
            const std::vector<const DisplayObject*> alone { &child };
            drawMasked(painter, alone, clips, transform, cx);
            return;
        }
        if (group.empty()) {
            groupKey = key;
            for (const ActiveMask& m : masks)
                groupClips.insert(groupClips.end(), m.areas.begin(), m.areas.end());
        }
        group.push_back(&child);
    };
    const auto& covered = sprite.coveredChildren();
    for (const auto& [depth, entry] : sprite.displayList()) {
        if (!covered.empty()) {
            for (auto it = covered.rbegin(); it != covered.rend(); ++it) {
                if ((*it)->depth() == depth)
                    visit(depth, **it);
            }
        }
        visit(depth, *entry);
    }
    flush();
}

void Renderer::drawMasked(QPainter& painter, const std::vector<const DisplayObject*>& children, const std::vector<QPainterPath>& clips,
    const QTransform& transform, const ColorTransform& cx)
{
    if (clips.empty()) {
        for (const DisplayObject* child : children)
            drawObject(painter, *child, transform, cx);
        return;
    }
    if (std::any_of(clips.begin(), clips.end(), [](const QPainterPath& p) { return p.isEmpty(); }))
        return; // masked away entirely
    const QPaintDevice* device = painter.device();
    if (!painter.testRenderHint(QPainter::Antialiasing) || !device) {
        // Without anti-aliasing a mask's edge is as hard as any other.
        painter.save();
        painter.setTransform(QTransform());
        for (const QPainterPath& area : clips)
            painter.setClipPath(area, Qt::IntersectClip);
        for (const DisplayObject* child : children)
            drawObject(painter, *child, transform, cx);
        painter.restore();
        return;
    }
    // A mask covers its edge pixels in part, as a shape does: draw what it
    // masks on a layer and keep of each pixel the share the masks cover.
    QRect area(0, 0, device->width(), device->height());
    for (const QPainterPath& clip : clips)
        area &= clip.boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1);
    if (area.isEmpty())
        return;
    QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    const QTransform shift = QTransform::fromTranslate(-area.x(), -area.y());
    QPainter layerPainter(&layer);
    layerPainter.setRenderHints(painter.renderHints());
    for (const DisplayObject* child : children)
        drawObject(layerPainter, *child, transform * shift, cx);
    layerPainter.end();
    CoverageMask coverage;
    for (const QPainterPath& clip : clips) {
        coverageOf(clip, shift, layer.rect(), coverage);
        applyCoverage(layer, QPoint(0, 0), coverage);
    }
    painter.save();
    painter.setTransform(QTransform());
    painter.drawImage(area.topLeft(), layer);
    painter.restore();
}

QPainterPath Renderer::scriptMaskArea(const DisplayObject& mask)
{
    QTransform parent = m_twipsToDevice;
    if (const SpriteInstance* p = mask.parent())
        parent = worldTransform(*p) * m_twipsToDevice;
    QPainterPath area;
    area.setFillRule(Qt::WindingFill);
    addMaskArea(area, mask, parent);
    return area;
}

const std::vector<ShapeLayer>& Renderer::layersOf(const DisplayObject& object, DrawKind kind)
{
    if (kind == DrawKind::MorphShape)
        return m_cache.morphLayers(definitionOf<MorphDef>(object), object.ratio());
    return definitionOf<ShapeDef>(object).layers;
}

void Renderer::addMaskArea(QPainterPath& area, const DisplayObject& object, const QTransform& parent)
{
    QTransform transform = object.matrix().toQTransform() * parent;
    if (!invertible(transform))
        return;
    switch (const DrawKind kind = drawKindOf(object)) {
    case DrawKind::Sprite: {
        const auto& sprite = static_cast<const SpriteInstance&>(object);
        if (const Drawing* drawing = sprite.drawing()) {
            for (const Drawing::FillPart& part : drawing->fills())
                area.addPath(transform.map(part.path));
        }
        for (const auto& [depth, child] : sprite.displayList()) {
            if (child->clipDepth() == 0)
                addMaskArea(area, *child, transform);
        }
        return;
    }
    case DrawKind::Shape:
    case DrawKind::MorphShape:
        for (const ShapeLayer& layer : layersOf(object, kind)) {
            for (const auto& [index, path] : layer.fills)
                area.addPath(transform.map(path));
        }
        return;
    case DrawKind::Bitmap: {
        const QImage* image = bitmapImageOf(object);
        if (!image)
            return;
        QPainterPath rect;
        rect.addRect(QRectF(0, 0, image->width() * 20.0, image->height() * 20.0));
        area.addPath(transform.map(rect));
        return;
    }
    // Text masks by the shapes of its glyphs.
    case DrawKind::EditText:
        addEditTextArea(area, static_cast<const EditTextInstance&>(object), transform);
        return;
    case DrawKind::StaticText:
        addStaticTextArea(area, m_stage.movie(), definitionOf<TextDef>(object), transform);
        return;
    case DrawKind::Video: // masks with its whole box
        area.addPath(transform.map([&] { QPainterPath box; box.addRect(static_cast<const VideoInstance&>(object).bounds()); return box; }()));
        return;
    case DrawKind::Button:
    case DrawKind::Nothing:
        return;
    }
}

void Renderer::drawObject(QPainter& painter, const DisplayObject& object, const QTransform& parent, const ColorTransform& parentCx)
{
    QTransform transform = object.matrix().toQTransform() * parent;
    if (!invertible(transform))
        return; // squashed flat: nothing to see
    struct Restore {
        QPainter* painter = nullptr;
        ~Restore() { if (painter) painter->restore(); }
    } restore;
    if (const std::optional<QRectF>& scroll = object.scrollRect()) {
        // Only the scroll window shows, its corner moved to the object's origin.
        QPainterPath window;
        window.addRect(QRectF(QPointF(0, 0), scroll->size()));
        painter.save();
        restore.painter = &painter;
        painter.setTransform(QTransform());
        painter.setClipPath(transform.map(window), Qt::IntersectClip);
        transform = QTransform::fromTranslate(-scroll->x(), -scroll->y()) * transform;
    }
    ColorTransform cx = parentCx.concat(object.colorTransform());
    // A background of alpha 0 is none (authoring tools write one with every visibility flag).
    if (const std::optional<Rgba>& background = object.opaqueBackground(); background && background->a != 0)
        drawOpaqueBackground(painter, object, transform, tint(cx, *background));
    QPainter::CompositionMode mode = compositionFor(object.blendMode());
    // Alpha and erase act on the alpha of the layer they are drawn into. The
    // stage has no layer: what they leave there is its opaque colour, so they
    // show nothing.
    if (object.blendMode() == 11 || object.blendMode() == 12) {
        if (m_layerDepth == 0)
            return;
        mode = object.blendMode() == 11 ? QPainter::CompositionMode_DestinationIn : QPainter::CompositionMode_DestinationOut;
    }
    // Alpha mode leaves what lies beside the object as it was: drawn into an
    // image we may write, the object's coverage is drawn apart to say where.
    QImage* const alphaTarget = mode == QPainter::CompositionMode_DestinationIn ? writableImageOf(painter) : nullptr;
    const bool filtered = hasDrawableFilter(object.filters());
    const bool ownLayer = object.blendMode() == 2 || isOwnBlend(object.blendMode());
    if ((mode == QPainter::CompositionMode_SourceOver && !filtered && !ownLayer) || !painter.device()) {
        drawContent(painter, object, transform, cx);
        return;
    }
    // Filters and blend modes act on the object as a whole: draw it alone on a
    // layer, filter the layer, then composite it. The layer covers the object
    // and what its filters spread, not the whole device.
    const QPaintDevice* device = painter.device();
    QRect area(0, 0, device->width(), device->height());
    // Filter sizes are in stage pixels; the parent's scale says how many device pixels that is.
    const double scale = std::sqrt(std::abs(parent.m11() * parent.m22() - parent.m12() * parent.m21())) * 20;
    QRectF bounds;
    if ((mode != QPainter::CompositionMode_DestinationIn || alphaTarget) && objectBounds(object, transform, bounds)) {
        double margin = 0; // the object's pixels and one column and row past them, grown by what filters spread
        for (const Filter& f : object.filters())
            margin += filtered ? (std::max(f.blurX, f.blurY) / 2 * std::max(1, f.passes) + f.distance) * scale : 0;
        const QRectF grown = bounds.adjusted(-margin, -margin, margin, margin) & QRectF(area);
        area &= QRect(QPoint(int(std::floor(grown.left())), int(std::floor(grown.top()))),
            QPoint(int(std::ceil(grown.right())), int(std::ceil(grown.bottom()))));
        if (area.isEmpty())
            return;
    }
    QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    const QTransform shift = QTransform::fromTranslate(-area.x(), -area.y());
    // A filtered object's colour transform tints what its filters made too
    // (one adding alpha stays on the content: the layer's empty pixels are not the object's).
    const bool tintAfter = filtered && cx.aAdd <= 0;
    {
        QPainter layerPainter(&layer);
        layerPainter.setRenderHints(painter.renderHints());
        ++m_layerDepth; // children's blend modes now mix with this object alone
        drawContent(layerPainter, object, transform * shift, tintAfter ? ColorTransform() : cx);
        --m_layerDepth;
    }
    if (filtered)
        applyFilters(layer, object.filters(), scale);
    if (tintAfter && !cx.isIdentity())
        layer = tintImage(layer, cx);
    if (alphaTarget) {
        // The same drawing with every colour made opaque: the object's coverage.
        ColorTransform opaque;
        opaque.aMul = 0;
        opaque.aAdd = 255;
        QImage coverage(area.size(), QImage::Format_ARGB32_Premultiplied);
        coverage.fill(Qt::transparent);
        {
            QPainter coveragePainter(&coverage);
            coveragePainter.setRenderHints(painter.renderHints());
            ++m_layerDepth;
            drawContent(coveragePainter, object, transform * shift, opaque.concat(tintAfter ? ColorTransform() : cx));
            --m_layerDepth;
        }
        compositeAlphaByCoverage(*alphaTarget, layer, coverage, area.topLeft());
        return;
    }
    if (isOwnBlend(object.blendMode())) {
        compositeOwnBlend(painter, layer, area.topLeft(), object.blendMode());
        return;
    }
    painter.save();
    painter.setTransform(QTransform());
    painter.setCompositionMode(mode);
    painter.drawImage(area.topLeft(), layer);
    painter.restore();
}

void Renderer::drawOpaqueBackground(QPainter& painter, const DisplayObject& object, const QTransform& transform, Rgba color)
{
    // The box of what the object draws, its edges on the nearest pixel
    // boundary (halves up), filled whole: the object is drawn as a bitmap.
    QRectF bounds;
    if (!objectBounds(object, transform, bounds) || bounds.isEmpty())
        return;
    const auto snap = [](double v) { return int(std::floor(v + 0.5)); };
    const QRect box(QPoint(snap(bounds.left()), snap(bounds.top())), QPoint(snap(bounds.right()) - 1, snap(bounds.bottom()) - 1));
    if (box.isEmpty())
        return;
    painter.save();
    painter.setTransform(QTransform());
    painter.fillRect(box, QColor(color.r, color.g, color.b, color.a));
    painter.restore();
}

bool Renderer::objectBounds(const DisplayObject& object, const QTransform& transform, QRectF& bounds) const
{
    switch (drawKindOf(object)) {
    case DrawKind::Sprite: {
        const auto& sprite = static_cast<const SpriteInstance&>(object);
        if (const Drawing* drawing = sprite.drawing(); drawing && !drawing->isEmpty())
            bounds |= transform.mapRect(drawing->bounds());
        for (const auto& [depth, child] : sprite.displayList()) {
            QTransform childTransform = child->matrix().toQTransform() * transform;
            if (!invertible(childTransform))
                continue;
            QRectF childBounds;
            if (!objectBounds(*child, childTransform, childBounds))
                return false;
            bounds |= childBounds;
        }
        return true;
    }
    case DrawKind::Shape:
        bounds |= transform.mapRect(definitionOf<ShapeDef>(object).bounds.toTwips());
        return true;
    case DrawKind::MorphShape: {
        const auto& morph = definitionOf<MorphDef>(object);
        bounds |= transform.mapRect(morph.startBounds.toTwips()) | transform.mapRect(morph.endBounds.toTwips());
        return true;
    }
    case DrawKind::Bitmap: {
        if (const QImage* image = bitmapImageOf(object))
            bounds |= transform.mapRect(QRectF(0, 0, image->width() * 20.0, image->height() * 20.0));
        return true;
    }
    case DrawKind::Video:
        bounds |= transform.mapRect(static_cast<const VideoInstance&>(object).bounds());
        return true;
    case DrawKind::Nothing:
        return !object.character(); // an empty place; a character not drawn here is not known
    // A text field draws inside its box (the text is clipped to it, the
    // border on its edge); a filtered field gets a layer of its own size.
    case DrawKind::EditText:
        bounds |= transform.mapRect(static_cast<const EditTextInstance&>(object).record().bounds.toTwips());
        return true;
    case DrawKind::StaticText:
        bounds |= transform.mapRect(definitionOf<TextDef>(object).bounds.toTwips());
        return true;
    case DrawKind::Button:
        for (const auto& [depth, part] : static_cast<const ButtonInstance&>(object).parts()) {
            if (!part->isVisible())
                continue;
            const QTransform partTransform = part->matrix().toQTransform() * transform;
            if (invertible(partTransform) && !objectBounds(*part, partTransform, bounds))
                return false;
        }
        return true;
    }
    return false;
}

void Renderer::drawContent(QPainter& painter, const DisplayObject& object, const QTransform& transform, const ColorTransform& cx)
{
    switch (const DrawKind kind = drawKindOf(object)) {
    case DrawKind::Sprite: {
        const auto& sprite = static_cast<const SpriteInstance&>(object);
        if (const Drawing* drawing = sprite.drawing())
            drawDrawing(painter, *drawing, transform, cx, *this); // below the children
        drawChildren(painter, sprite, transform, cx);
        return;
    }
    case DrawKind::Shape:
    case DrawKind::MorphShape:
        drawLayers(painter, layersOf(object, kind), transform, cx);
        return;
    case DrawKind::Button: {
        const auto& button = static_cast<const ButtonInstance&>(object);
        ColorTransform buttonCx = cx.concat(button.definition().colorTransform);
        for (const auto& [depth, part] : button.parts()) {
            if (part->isVisible())
                drawObject(painter, *part, transform, buttonCx);
        }
        return;
    }
    case DrawKind::EditText:
        drawEditText(painter, static_cast<const EditTextInstance&>(object), transform, cx);
        return;
    case DrawKind::StaticText:
        drawStaticText(painter, m_stage.movie(), definitionOf<TextDef>(object), transform, cx);
        return;
    case DrawKind::Bitmap: {
        if (!object.character()) {
            drawScriptBitmap(painter, static_cast<const ScriptBitmapInstance&>(object), transform, cx);
            return;
        }
        const auto& bitmap = definitionOf<BitmapDef>(object);
        painter.save();
        painter.setTransform(QTransform::fromScale(20, 20) * transform);
        painter.drawImage(0, 0, cx.isIdentity() ? bitmap.image : m_cache.tintedBitmap(bitmap, cx));
        painter.restore();
        return;
    }
    case DrawKind::Video:
        drawVideo(painter, static_cast<const VideoInstance&>(object), transform, cx);
        return;
    case DrawKind::Nothing:
        return;
    }
}

void Renderer::drawLayers(QPainter& painter, const std::vector<ShapeLayer>& layers, const QTransform& transform, const ColorTransform& cx)
{
    // Only the transform and the pen change here (the fills and strokes below
    // put back what they change): setting those two back costs far less than
    // saving the painter's whole state for each shape.
    // Solid fills through our coverage take the transform as it is; the
    // painter's own is set only for what the painter draws, the first time.
    std::optional<QTransform> outerTransform;
    bool outerWorld = true;
    QPen outerPen;
    const auto painterTakes = [&] {
        if (outerTransform)
            return;
        outerTransform = painter.transform();
        outerWorld = painter.worldMatrixEnabled();
        outerPen = painter.pen();
        painter.setTransform(transform);
        painter.setPen(Qt::NoPen);
    };
    for (const ShapeLayer& layer : layers) {
        for (const auto& [index, path] : layer.fills) {
            const FillStyle& fill = layer.styles.fills[std::size_t(index)];
            QPainterPath scratch;
            const QPainterPath& admitted = m_pathBudget.admit(path, scratch);
            const bool simplifiedPath = &admitted == &scratch;
            if (fill.type == FillStyle::Type::Solid && !simplifiedPath
                && fillCoveredAt(painter, admitted, tint(cx, fill.color.toQColor()), transform, true))
                continue;
            painterTakes();
            const SimplifiedDrawing simplified(painter, simplifiedPath);
            if (fill.type == FillStyle::Type::Bitmap) {
                drawBitmapFill(painter, admitted, fill, transform, cx);
                continue;
            }
            if (isGradient(fill)) {
                fillGradientPath(painter, admitted, fill, cx, transform, &m_cache);
                continue;
            }
            QBrush brush;
            if (!makeBrush(fill, cx, transform, brush))
                continue;
            // A simplified polygon is drawn unsmoothed by the painter (see PathBudget.h).
            if (simplifiedPath)
                painter.fillPath(admitted, brush);
            else
                fillCovered(painter, admitted, brush, true);
        }
        for (const auto& [index, path] : layer.lines) {
            const LineStyle& line = layer.styles.lines[std::size_t(index)];
            painterTakes();
            QPen pen;
            if (!makePen(line, cx, transform, pen))
                continue;
            QPainterPath scratch;
            const QPainterPath& admitted = m_pathBudget.admit(path, scratch, PathBudget::Use::Stroke);
            const SimplifiedDrawing simplified(painter, &admitted == &scratch);
            // An opaque pen draws a long stroke in pieces, many times faster
            // and with the same pixels (see StrokePieces.h).
            const bool opaque = !pen.isCosmetic() && pen.brush().style() == Qt::SolidPattern
                && pen.brush().color().alpha() == 255 && painter.compositionMode() == QPainter::CompositionMode_SourceOver;
            std::vector<QPainterPath> pieces;
            if (opaque)
                pieces = strokePieces(admitted);
            if (pieces.empty()) {
                painter.strokePath(admitted, pen);
                continue;
            }
            for (const QPainterPath& piece : pieces)
                painter.strokePath(piece, pen);
        }
    }
    if (!outerTransform)
        return;
    painter.setPen(outerPen);
    painter.setTransform(*outerTransform);
    painter.setWorldMatrixEnabled(outerWorld);
}

} // namespace swf
