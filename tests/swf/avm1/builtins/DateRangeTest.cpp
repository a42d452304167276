// Date values at and beyond the edges: what the constructor keeps, how
// fractions are cut, how a time out of range splits. The machine's zone is
// irrelevant here: only UTC getters and raw values are read.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// d = new Date(args...); trace(d.method())
S dateThen(std::initializer_list<S::Item> args, const char* method, std::initializer_list<S::Item> methodArgs = {})
{
    return std::move(S().assign("d", S().construct("Date", args)).method("d", method, methodArgs).trace());
}

} // namespace

TEST(DateRange, OneNumberIsKeptAsGiven)
{
    runRows({
        // 3e20 ms is beyond 8.64e15, kept all the same; 3e20 mod 1000 = 0.
        { "beyond the range", 7, dateThen({ 3e20 }, "getTime"), { "3e+20" } },
        // new Date(1 / 0): the value stays infinite and reads as the epoch.
        { "infinite", 7,
            std::move(S().assign("d", S().value(1).value(0).op(0x0D).value(1).value("Date").op(0x40))
                          .method("d", "valueOf").trace().method("d", "getUTCFullYear").trace()),
            { "Infinity", "1970" } },
        // 1e16 + 1234: 1e16 = 115740740 days + 64,000,000 ms (17:46:40.000).
        { "milliseconds out of range", 7, dateThen({ 1e16 + 1234 }, "getUTCMilliseconds"), { "234" } },
        { "hours out of range", 7, dateThen({ 1e16 + 1234 }, "getUTCHours"), { "17" } },
        { "minutes out of range", 7, dateThen({ 1e16 + 1234 }, "getUTCMinutes"), { "46" } },
        { "seconds out of range", 7, dateThen({ 1e16 + 1234 }, "getUTCSeconds"), { "41" } },
    });
}

TEST(DateRange, ClippedTimesDropTheirFraction)
{
    // d = new Date(0); trace(d.setTime(x))
    auto setTime = [](double x) { return dateThen({ 0 }, "setTime", { x }); };
    runRows({
        { "positive", 7, setTime(123124.6), { "123124" } },
        { "negative toward zero", 7, setTime(-123124.6), { "-123124" } },
        { "below one", 7, setTime(0.5), { "0" } },
        { "beyond the range", 7, setTime(9e15), { "NaN" } },
    });
}
