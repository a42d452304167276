#pragma once

// The drawing side of scripts: the MovieClip drawing commands, the
// MovieClip.filters property, flash.geom, flash.display.BitmapData and
// flash.filters. Each part installs itself from its own file; this header
// gathers their entry points and the conversions they share.

#include "swf/format/Control.h"
#include "swf/format/Shape.h"
#include "swf/avm1/vm/Interpreter.h"

#include <memory>
#include <optional>

namespace swf {
class Movie;
class Stage;
struct BitmapPixels;
namespace avm1 {

class StageScripts;

// Installs everything below on the interpreter of `scripts`; `clipProto` is
// the MovieClip prototype.
void installDrawingApi(StageScripts& scripts, Interpreter& vm, Object* clipProto);

void installClipDrawing(Interpreter& vm, Object* clipProto);
void installFlashGeom(Interpreter& vm, Object* geomPackage);
// flash.geom.Transform, and MovieClip.transform on the clip prototype.
void installTransform(Interpreter& vm, Object* geomPackage);
void installClipTransform(Interpreter& vm, Object* clipProto);
void installBitmapData(Interpreter& vm, Object* displayPackage, Stage& stage);
void installFlashFilters(Interpreter& vm, Object* filtersPackage);

// The `flash.<name>` package object, made on first use.
Object* flashPackage(Interpreter& vm, const QString& name);

// A number member of an object, or `fallback` when it is missing.
double numberMember(Interpreter& vm, Object* o, const QString& name, double fallback);

// An affine matrix from a script object with a, b, c, d, tx, ty members
// (flash.geom.Matrix or any object shaped like it). Missing members keep the
// identity's values.
Matrix matrixFromObject(Interpreter& vm, Object* o);

// The gradient matrix (gradient square to clip twips) a script gives to
// beginGradientFill: {matrixType: "box", x, y, w, h, r}, the older
// {a, b, d, e, g, h} form over a unit square, or a flash.geom.Matrix.
Matrix gradientMatrixFromObject(Interpreter& vm, Object* o);

// The gradient a script describes with beginGradientFill's arguments
// (type, colors, alphas, ratios, matrix, spread, interpolation, focal
// point), or nothing when the player would not fill.
std::optional<FillStyle> gradientFromArguments(Interpreter& vm, const CallArgs& a);

// The pixels of a flash.display.BitmapData, or null.
std::shared_ptr<BitmapPixels> bitmapPixelsOf(const Value& v);

// The runtime filter a flash.filters object stands for, if it is one.
std::optional<Filter> filterFromObject(Interpreter& vm, Object* o);
// A new flash.filters object with the values of `filter`, or null when its
// kind has no class here.
Object* objectFromFilter(Interpreter& vm, const Filter& filter);

} // namespace avm1
} // namespace swf
