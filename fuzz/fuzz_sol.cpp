// Random bytes as a saved game: the .sol reader must refuse or read them,
// and whatever it reads must write back into a file it reads again.

#include "swf/archive/SolFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using swf::archive::SolFile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    auto file = SolFile::read(bytes);
    if (!file.ok())
        return 0;
    auto again = SolFile::read(file.value().write());
    if (!again.ok() || again.value().data.size() != file.value().data.size())
        std::abort();
    return 0;
}
