// Date from scripts, in UTC: construction from a time value, from fields and
// from text, the fields read back, setters that carry over, and printing.

#include "Avm2TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace swf::avm2;
using namespace avm2test;

namespace {

struct Script : ScriptBuilder<Script> {
    // local1 = new Date(<args>)
    Script& make(int argc, const std::function<void()>& push)
    {
        c.op(Op::FindPropStrict, name("Date"));
        push();
        c.op(Op::ConstructProp, name("Date"), std::uint32_t(argc)).op(Op::SetLocal1);
        return *this;
    }
    Script& trace(const char* method, int argc = 0, const std::function<void()>& push = {})
    {
        t.begin(c);
        c.op(Op::GetLocal1);
        if (push)
            push();
        c.op(Op::CallProperty, name(method), std::uint32_t(argc));
        t.end(c);
        return *this;
    }
    QStringList finish() { return traces(10, 4); }
};

class DateTest : public ::testing::Test {
protected:
    // The reference traces were made in UTC: local time is UTC here too.
    void SetUp() override
    {
        const char* tz = std::getenv("TZ");
        m_saved = tz ? tz : "";
        m_had = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override
    {
        if (m_had)
            setenv("TZ", m_saved.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string m_saved;
    bool m_had = false;
};

} // namespace

TEST_F(DateTest, TimeValueSplitsIntoFields)
{
    Script s;
    // 929156400000 ms = 10754 days + 10800 s: 1999-06-12 (a Saturday) 03:00:00 UTC.
    s.make(1, [&] { s.num(929156400000.0); });
    s.trace("getFullYear").trace("getMonth").trace("getDate").trace("getDay").trace("getHours");
    s.trace("toString");
    EXPECT_EQ(s.finish(), QStringList({ "1999", "5", "12", "6", "3", "Sat Jun 12 03:00:00 GMT+0000 1999" }));
}

TEST_F(DateTest, FieldsOverflowIntoTheNextUnit)
{
    Script s;
    // new Date(2021, 0, 31); setMonth(1) makes Feb 31st, which is March 3rd in 2021.
    s.make(3, [&] { s.num(2021).num(0).num(31); });
    s.trace("setMonth", 1, [&] { s.num(1); });
    s.trace("getMonth").trace("getDate");
    // Two-digit years are in the 1900s: new Date(99, 11, 31, 23, 59, 59, 999) + 1 ms is 2000.
    s.make(7, [&] { s.num(99).num(11).num(31).num(23).num(59).num(59).num(999); });
    s.trace("setTime", 1, [&] { s.c.op(Op::GetLocal1).op(Op::CallProperty, s.name("getTime"), 0).op(Op::Increment); });
    s.trace("getFullYear");
    EXPECT_EQ(s.finish(), QStringList({ "1614729600000", "2", "3", "946684800000", "2000" }));
}

TEST_F(DateTest, TextFormsParse)
{
    Script s;
    s.make(1, [&] { s.str("Wed Apr 12 15:30:17 2006 GMT-0700"); });  // 22:30:17 UTC
    s.trace("getHours").trace("getDay");
    s.make(1, [&] { s.str("Apr/03/1988 15:30:17"); });
    s.trace("getDate").trace("getMinutes");
    s.make(1, [&] { s.str("12"); });                                  // a lone number is no date
    s.trace("getTime").trace("toString");
    EXPECT_EQ(s.finish(), QStringList({ "22", "3", "3", "30", "NaN", "Invalid Date" }));
}
