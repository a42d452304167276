// PrintJob's page measures appear on its prototype with the first job made.

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
