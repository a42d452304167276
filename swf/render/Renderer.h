#pragma once

// Draws a stage onto a QPainter: background, then each display list in depth
// order, with matrices, colour transforms, clip-depth masks and blend modes.
// Drawing never parses: shapes arrive as cached paths.

#include "swf/format/Records.h"
#include "swf/movie/Shapes.h"
#include "swf/render/PathBudget.h"

#include <QBrush>
#include <QPainterPath>
#include <QTransform>

#include <optional>
#include <vector>

class QPainter;

namespace swf {

class Stage;
class DisplayObject;
class SpriteInstance;
class RenderCache;
enum class DrawKind;

class Renderer {
public:
    Renderer(const Stage& stage, RenderCache& cache) : m_stage(stage), m_cache(cache) { }
    void render(QPainter& painter, const QTransform& stageToDevice);
    // Draws one object alone, its own matrix left out: `objectToDevice` maps
    // its own space (twips) to the device. Its children keep their masks,
    // filters and blend modes as on the stage.
    void renderObject(QPainter& painter, const DisplayObject& object, const QTransform& objectToDevice, const ColorTransform& cx);

    // Builds the brush for a fill style under a colour transform, for a shape
    // drawn through `transform` (twips to device); false when it draws nothing.
    bool makeBrush(const FillStyle& fill, const ColorTransform& cx, const QTransform& transform, QBrush& brush);
    // Builds the pen for a line style drawn through `transform` (twips to device):
    // strokes scale with the object unless a non-scaling flag holds an axis still,
    // and never show thinner than one pixel. False when the line draws nothing.
    bool makePen(const LineStyle& line, const ColorTransform& cx, const QTransform& transform, QPen& pen);
    // What drawing keeps between frames, for the drawing API's fills.
    RenderCache& cache() const { return m_cache; }
    // The frame's share of path work, for what draws paths beside shapes.
    PathBudget& pathBudget() { return m_pathBudget; }

private:
    void drawChildren(QPainter& painter, const SpriteInstance& sprite, const QTransform& transform, const ColorTransform& cx);
    // Draws `children` cut by every area in `clips` (device coordinates):
    // with anti-aliasing the masks' edges cover their pixels in part.
    void drawMasked(QPainter& painter, const std::vector<const DisplayObject*>& children, const std::vector<QPainterPath>& clips,
        const QTransform& transform, const ColorTransform& cx);
    // The area a script mask (setMask) leaves visible, in device coordinates.
    QPainterPath scriptMaskArea(const DisplayObject& mask);
    void drawObject(QPainter& painter, const DisplayObject& object, const QTransform& parent, const ColorTransform& parentCx);
    void drawContent(QPainter& painter, const DisplayObject& object, const QTransform& transform, const ColorTransform& cx);
    void drawLayers(QPainter& painter, const std::vector<ShapeLayer>& layers, const QTransform& transform, const ColorTransform& cx);
    void drawBitmapFill(QPainter& painter, const QPainterPath& path, const FillStyle& fill, const QTransform& transform, const ColorTransform& cx);
    void drawOpaqueBackground(QPainter& painter, const DisplayObject& object, const QTransform& transform, Rgba color);
    // Where an object draws, in device coordinates, added to `bounds`; false when not known.
    bool objectBounds(const DisplayObject& object, const QTransform& transform, QRectF& bounds) const;
    // The area an object covers when used as a mask, in device coordinates.
    void addMaskArea(QPainterPath& area, const DisplayObject& object, const QTransform& parent);
    // The layers of a shape or of a morph shape at the object's ratio.
    const std::vector<ShapeLayer>& layersOf(const DisplayObject& object, DrawKind kind);

    const Stage& m_stage;
    RenderCache& m_cache;
    PathBudget m_pathBudget; // one Renderer draws one frame: the frame's share of path work
    int m_layerDepth = 0; // how many objects drawn on layers of their own enclose the current one
    QTransform m_twipsToDevice; // the root's space to the device, for masks set by scripts
    // The painter's clip in device pixels when render() began with one: the
    // root's children wholly outside it are not drawn at all.
    std::optional<QRectF> m_cull;
};

} // namespace swf
