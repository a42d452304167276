#pragma once

// Draws a stage onto a QPainter: background, then each display list in depth
// order, with matrices, colour transforms and clip-depth masks.

#include <QTransform>

class QPainter;

namespace swf {

class Stage;
class DisplayObject;
class SpriteInstance;
struct ColorTransform;

class Renderer {
public:
    explicit Renderer(const Stage& stage) : m_stage(stage) { }
    void render(QPainter& painter, const QTransform& stageToDevice);

private:
    const Stage& m_stage;
};

} // namespace swf
