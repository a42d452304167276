// Fuzz target for the script machine: the input is an action block (its first
// byte picks the movie version, 4 to 8) run for a few frames in a minimal movie.

#include "OffscreenApp.h"
#include "support/ScriptSandbox.h"


#include <cstddef>
#include <cstdint>

VANTREL_FUZZ_OFFSCREEN_APP()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 65536)
        return 0;
    swf::avm1::SandboxOptions options;
    options.version = 4 + data[0] % 5;
    options.frames = 3;
    options.budget = 1 << 16; // keep runaway loops short while fuzzing
    QByteArray actions(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    swf::avm1::runInSandbox(actions, options);
    return 0;
}
