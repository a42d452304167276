#pragma once

// Which device pixels a new frame can have changed. Each child of the root is
// summed up by a key over everything that decides how it draws (its place,
// matrix, colour transform, ratio, filters, masks, children, drawings,
// bitmap pixels) and by the device rectangle it draws into. Comparing the
// keys with those of the last look gives the children that changed; the
// pixels that can differ lie in their old and new rectangles. A text field is
// always taken as changed inside its box (its caret, scrolling and text have
// no single version to compare), so a movie with one repaints only that box.

#include "swf/format/Records.h"

#include <QRect>
#include <QRegion>
#include <QSize>
#include <QTransform>

#include <map>

namespace swf {

class Stage;
class DisplayObject;

// Where `object` (under a parent drawn through `parent`, twips to device) can
// draw, in device pixels, added to `bounds`: its own bounds widened by what
// its filters spread and a few pixels of edge. False when that is not known.
bool deviceBounds(const DisplayObject& object, const QTransform& parent, QRectF& bounds);

class FrameChanges {
public:
    // The device area (within 0,0 .. deviceSize) whose pixels may differ from
    // the last call's frame drawn the same way. The first call, and any call
    // with another transform, size or quality, gives the whole device; empty
    // when nothing that draws changed.
    QRegion changedArea(const Stage& stage, const QTransform& stageToDevice, QSize deviceSize, int quality);
    // Forgets the last look: the next call gives the whole device.
    void reset() { m_valid = false; }

private:
    struct Item {
        quint64 key = 0;
        QRect bounds;      // device pixels the child can draw into
        bool always = false; // taken as changed on every look
    };
    std::map<int, Item> m_items; // the root's children by depth
    quint64 m_stageKey = 0;      // background, the root's own drawing, the view
    bool m_valid = false;
};

} // namespace swf
