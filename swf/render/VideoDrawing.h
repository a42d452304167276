#pragma once

// Drawing a video object: its current picture stretched over the stream's
// declared size, smoothed when the stream asks for it.

#include "swf/format/Records.h"

#include <QTransform>

class QPainter;

namespace swf {

class RenderCache;
class VideoInstance;

void drawVideo(QPainter& painter, const VideoInstance& video, const QTransform& transform, const ColorTransform& cx);

} // namespace swf
