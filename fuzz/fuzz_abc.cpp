// Fuzz target for the ActionScript 3 machine: the input is a bytecode file
// (the body of a DoABC tag). It is parsed, every method body verified, and
// the file loaded and its entry script run under a small instruction budget.

#include "OffscreenApp.h"
#include "swf/avm2/abc/AbcFile.h"
#include "swf/avm2/abc/Verifier.h"
#include "swf/avm2/vm/Machine.h"

#include <cstddef>
#include <cstdint>

VANTREL_FUZZ_OFFSCREEN_APP()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 65536)
        return 0;
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    auto parsed = swf::avm2::AbcFile::parse(bytes);
    if (!parsed.ok())
        return 0;
    for (const auto& body : parsed.value().bodies)
        (void)swf::avm2::verifyBody(parsed.value(), body);
    swf::avm2::Machine machine;
    swf::avm2::MachineLimits limits;
    limits.instructionsPerRun = 1 << 16; // keep runaway loops short while fuzzing
    limits.instructionsPerFrame = 1 << 16;
    limits.maxCallDepth = 64;
    machine.setLimits(limits);
    (void)machine.loadAbc(bytes, false);
    return 0;
}
