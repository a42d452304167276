// Numbers and strings as text: toFixed past seventeen digits, toPrecision
// and toExponential, and the fractional and negative arguments of substr
// and slice. Each expected text was worked out by hand.

#include "Avm2TestSupport.h"

#include <gtest/gtest.h>

using namespace avm2test;

namespace {

struct Script : ScriptBuilder<Script> {
    // trace(<number>.<method>(<args>)), a missing argument left off.
    Script& number(double v, const char* method, std::initializer_list<double> args)
    {
        t.begin(c);
        num(v);
        for (double a : args)
            num(a);
        c.op(Op::CallProperty, name(method), std::uint32_t(args.size()));
        t.end(c);
        return *this;
    }
    Script& text(const char* s, const char* method, std::initializer_list<double> args)
    {
        t.begin(c);
        str(s);
        for (double a : args)
            num(a);
        c.op(Op::CallProperty, name(method), std::uint32_t(args.size()));
        t.end(c);
        return *this;
    }
    QStringList run() { return traces(8, 2); }
};

} // namespace

TEST(NumberText, ToFixedKeepsSeventeenDigitsMoreThanItsPlaces)
{
    // 1.2315e21 is 1231500000000000131072 exactly. With 0 places, the
    // fewest digits that read back (12315) then zeros; with 1 place, 18
    // digits (...13, the 1 of 131072 rounded in) and a zero place.
    Script s;
    s.number(1.2315e21, "toFixed", { 0 });
    s.number(1.2315e21, "toFixed", { 1 });
    s.number(-1.2315e21, "toFixed", { 0 });
    s.number(12.5, "toFixed", { 2 }); // few digits: places as asked
    s.number(0.000001, "toFixed", { 3 });
    EXPECT_EQ(s.run(), QStringList({ "1231500000000000000000", "1231500000000000130000.0", "-1231500000000000000000", "12.50", "0.000" }));
}

TEST(NumberText, PrecisionAndExponentForms)
{
    Script s;
    s.number(123.456, "toPrecision", { 4 });     // exponent 2 < 4: fixed, one place
    s.number(0.00001234, "toPrecision", { 2 });  // exponent -5: still fixed
    s.number(0.0000001234, "toPrecision", { 2 }); // exponent -7: exponent form
    s.number(123456, "toPrecision", { 2 });      // exponent 5 >= 2
    s.number(99.99, "toPrecision", { 2 });       // rounds up to 100: exponent 2 >= 2
    s.number(123456, "toExponential", { 2 });
    s.number(0.00015, "toExponential", {});      // as many digits as it takes
    s.number(7, "toExponential", { 0 });
    EXPECT_EQ(s.run(), QStringList({ "123.5", "0.000012", "1.2e-7", "1.2e+5", "1.0e+2", "1.23e+5", "1.5e-4", "7e+0" }));
}

TEST(NumberText, SubstrAndSliceTruncateTheirArguments)
{
    Script s;
    s.text("123456789", "substr", { 0, -1 });  // end 0 + -1: one before the end of the text
    s.text("123456789", "substr", { 4, -1 });  // end 3, before the start: nothing
    s.text("123456789", "substr", { -0.6 });   // -0.6 is 0, not one before the end
    s.text("123456789", "substr", { 2, 1.9 }); // 1.9 is 1
    s.text("123456789", "substr", { -2, 1 });
    s.text("123456789", "slice", { -0.5, 2 });
    EXPECT_EQ(s.run(), QStringList({ "12345678", "", "123456789", "3", "8", "12" }));
}
