#pragma once

// flash.geom's Point and Rectangle, and the helpers the display classes use
// to make and read them.

#include "swf/avm2/vm/Machine.h"
#include "swf/format/Records.h"

namespace swf::avm2 {

void installGeomClasses(Machine& machine);
ClassObject* pointClass(Machine& machine);
ClassObject* rectangleClass(Machine& machine);
Value makePoint(Machine& machine, double x, double y);
Value makeRectangle(Machine& machine, double x, double y, double width, double height);
// False when the value is no Point (or Rectangle).
bool readPoint(Machine& machine, const Value& value, double& x, double& y);
bool readRectangle(Machine& machine, const Value& value, double& x, double& y, double& width, double& height);

// flash.geom.ColorTransform (ColorTransformClass.cpp).
void installColorTransformClass(Machine& machine);
ClassObject* colorTransformClass(Machine& machine);
// False when the value is no ColorTransform.
bool readColorTransform(Machine& machine, const Value& value, ColorTransform& out);

} // namespace swf::avm2
