// Properties that classes put on their prototypes when the first instance
// is made: PrintJob's page measures, TextField's own properties.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// trace(PrintJob.prototype.hasOwnProperty(name))
S protoHas(const char* name)
{
    return std::move(S().value(name).value(1).member("PrintJob", { "prototype" }).value("hasOwnProperty").op(0x52).trace());
}

} // namespace

TEST(PrintJob, MeasuresComeWithTheFirstJob)
{
    S before = protoHas("orientation");
    S after = S().assign("j", S().construct("PrintJob")).then(protoHas("orientation")).then(protoHas("paperWidth"));
    // A prototype put in place later gets them again from the next job.
    S replaced = S().assign("j", S().construct("PrintJob"));
    replaced.setMember("PrintJob", "prototype", S().object({})).then(protoHas("pageHeight"));
    replaced.assign("k", S().construct("PrintJob")).then(protoHas("pageHeight"));
    runRows({
        { "before any job", 7, before, { "false" } },
        { "after one", 7, after, { "true", "true" } },
        { "new prototype", 8, replaced, { "false", "true" } },
    });
}

TEST(TextFieldPrototype, PropertiesComeWithTheFirstFieldMade)
{
    // trace(TextField.prototype.hasOwnProperty("text"))
    S has = S().value("text").value(1).member("TextField", { "prototype" }).value("hasOwnProperty").op(0x52).trace();
    runRows({
        { "before any field", 7, S().then(has), { "false" } },
        { "new TextField", 7, S().assign("x", S().construct("TextField")).then(has), { "true" } },
        { "createTextField", 7, S().method("this", "createTextField", { "t", 1, 0, 0, 10, 10 }).pop().then(has), { "true" } },
        // Too few arguments make no field, and put nothing there.
        { "createTextField short", 7, S().method("this", "createTextField", { "t", 1, 0, 0, 10 }).pop().then(has), { "false" } },
    });
}
