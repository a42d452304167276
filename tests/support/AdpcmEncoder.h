#pragma once

// A small ADPCM encoder for test fixtures: the movie format's packet layout
// with any code size from 2 to 5 bits. It also returns the samples a correct
// decoder must reproduce from its output.

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace audiotest {

struct AdpcmEncoded {
    QByteArray data;
    std::vector<std::int16_t> reconstruction; // interleaved, as a decoder must give them
};

AdpcmEncoded encodeAdpcm(const std::vector<std::int16_t>& samples, int channels, int codeBits);

} // namespace audiotest
