#pragma once

// Drawing of static texts (from embedded glyphs) and edit texts (their
// laid-out paths, box, border and caret) under a matrix and colour transform.

#include "swf/format/Records.h"

#include <QPainterPath>
#include <QTransform>

class QPainter;

namespace swf {

class Movie;
struct TextDef;
class EditTextInstance;

// `transform` maps the text's own twips to the device.
void drawStaticText(QPainter& painter, const Movie& movie, const TextDef& text, const QTransform& transform, const ColorTransform& cx);
void drawEditText(QPainter& painter, const EditTextInstance& edit, const QTransform& transform, const ColorTransform& cx);
// How far a field's scrolling moves its text, twips.
QPointF editTextScrollShift(const EditTextInstance& edit);

// Text used as a mask: the area its glyphs cover, mapped by `transform`, added to `area`.
void addEditTextArea(QPainterPath& area, const EditTextInstance& edit, const QTransform& transform);
void addStaticTextArea(QPainterPath& area, const Movie& movie, const TextDef& text, const QTransform& transform);

} // namespace swf
