// Filter objects as scripts build them: how constructor arguments become
// settings (blur sizes and quality kept in range, an explicit undefined
// converted rather than defaulted), the accessor settings of the gradient,
// convolution and displacement filters, and what a filter and its prototype
// say about their constructor.

#include "support/BuiltinsRows.h"

#include <limits>

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();

// name = flash.filters.<className>, after ASSetPropFlags(_global, "flash", 0, 4096)
// so that movies older than version 8 see the package too.
S filterClass(const char* name, const char* className)
{
    S s;
    s.value(4096).value(0).value("flash").var("_global").value(4).value("ASSetPropFlags").op(0x3D).pop();
    return std::move(s.assign(name, S().member("flash", { "filters", className })));
}

// trace(object.a.b...)
S traceMember(const char* object, std::initializer_list<const char*> path)
{
    return std::move(S().member(object, path).trace());
}

// trace(object.hasOwnProperty(name))
S traceOwns(const char* object, const char* name)
{
    return std::move(S().method(object, "hasOwnProperty", { name }).trace());
}

} // namespace

TEST(FilterSettings, BlurSizesAndQualityStayInRange)
{
    S outOfRange = filterClass("B", "BlurFilter");
    outOfRange.assign("f", S().construct("B", { -1, 300, 20.7 }));
    outOfRange.then(traceMember("f", { "blurX" })).then(traceMember("f", { "blurY" })).then(traceMember("f", { "quality" }));

    // Quality is a whole number of passes; an infinite one is none.
    S quality = filterClass("B", "BlurFilter");
    quality.assign("f", S().construct("B", { 1, 2, 2.9 })).then(traceMember("f", { "quality" }));
    quality.assign("g", S().construct("B", { 1, 2, Inf })).then(traceMember("g", { "quality" }));

    // A missing argument takes the default; one passed as undefined is
    // converted like any value.
    S undefinedArg = filterClass("B", "BlurFilter");
    undefinedArg.assign("f", S().construct("B", { Undef {} }));
    undefinedArg.then(traceMember("f", { "blurX" })).then(traceMember("f", { "blurY" }));

    runRows({
        { "clamped to 0..255 and 0..15", 8, outOfRange, { "0", "255", "15" } },
        { "quality truncated, infinity is 0", 8, quality, { "2", "0" } },
        { "undefined is NaN, missing is 4", 8, undefinedArg, { "NaN", "4" } },
    });
}

TEST(FilterSettings, AccessorClassesKeepConvertedSettings)
{
    S defaults = filterClass("CF", "ConvolutionFilter");
    defaults.assign("f", S().construct("CF"));
    defaults.then(traceMember("f", { "divisor" })).then(traceMember("f", { "preserveAlpha" }));
    defaults.then(traceMember("f", { "color" }));

    // Writing a number setting converts the value; the prototype itself
    // reads nothing through the same accessor.
    S written = filterClass("CF", "ConvolutionFilter");
    written.assign("f", S().construct("CF")).setMember("f", "divisor", S().value("3"));
    written.then(S().member("f", { "divisor" }).typeOf().trace()).then(traceMember("f", { "divisor" }));
    written.then(traceMember("CF", { "prototype", "divisor" }));
    written.then(traceOwns("f", "divisor"));

    S gradient = filterClass("G", "GradientGlowFilter");
    gradient.assign("f", S().construct("G", { 10 }));
    gradient.then(traceMember("f", { "distance" })).then(traceMember("f", { "type" })).then(traceMember("f", { "knockout" }));

    S displacement = filterClass("D", "DisplacementMapFilter");
    displacement.assign("f", S().construct("D")).then(traceMember("f", { "mode" }));

    runRows({
        { "convolution defaults", 8, defaults, { "1", "true", "0" } },
        { "written through the accessor", 8, written, { "number", "3", "undefined", "false" } },
        { "gradient glow: given and default", 8, gradient, { "10", "outer", "false" } },
        { "displacement mode", 8, displacement, { "wrap" } },
    });
}

TEST(FilterSettings, FiltersNameTheirMaker)
{
    // The prototype is made as a BitmapFilter and has no constructor of its own.
    S proto = filterClass("CF", "ConvolutionFilter").then(filterClass("BF", "BitmapFilter"));
    proto.assign("p", S().member("CF", { "prototype" })).then(traceOwns("p", "constructor"));
    proto.then(S().member("p", { "__constructor__" }).var("BF").op(0x49).trace());

    // A filter's own `constructor` exists up to version 6, as for any object.
    S own = filterClass("CF", "ConvolutionFilter");
    own.assign("f", S().construct("CF")).then(traceOwns("f", "constructor"));
    own.then(S().member("f", { "__constructor__" }).var("CF").op(0x49).trace());

    runRows({
        { "prototype", 8, proto, { "false", "true" } },
        { "instance in 6", 6, own, { "true", "true" } },
        { "instance in 7", 7, own, { "false", "true" } },
    });
}
