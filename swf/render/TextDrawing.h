#pragma once

// Drawing of static texts (from embedded glyphs) and edit texts (their
// laid-out paths, box, border and caret) under a matrix and colour transform.

#include "swf/format/Records.h"

#include <QTransform>

class QPainter;

namespace swf {

class Movie;
struct TextDef;
class EditTextInstance;

// `transform` maps the text's own twips to the device.
void drawStaticText(QPainter& painter, const Movie& movie, const TextDef& text, const QTransform& transform, const ColorTransform& cx);
void drawEditText(QPainter& painter, const EditTextInstance& edit, const QTransform& transform, const ColorTransform& cx);

} // namespace swf
