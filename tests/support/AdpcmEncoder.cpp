#include "support/AdpcmEncoder.h"

#include <algorithm>
#include <cstdlib>

namespace audiotest {

namespace {

// The step sizes and index changes as published for this ADPCM; kept apart
// from the engine's copy so a typo in either shows up as a mismatch.
const int Steps[89] = {
    7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 19, 21, 23, 25, 28, 31, 34, 37, 41, 45, 50, 55, 60, 66, 73, 80, 88, 97, 107,
    118, 130, 143, 157, 173, 190, 209, 230, 253, 279, 307, 337, 371, 408, 449, 494, 544, 598, 658, 724, 796, 876, 963,
    1060, 1166, 1282, 1411, 1552, 1707, 1878, 2066, 2272, 2499, 2749, 3024, 3327, 3660, 4026, 4428, 4871, 5358, 5894,
    6484, 7132, 7845, 8630, 9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767
};
const int Index2[] = { -1, 2 };
const int Index3[] = { -1, -1, 2, 4 };
const int Index4[] = { -1, -1, -1, -1, 2, 4, 6, 8 };
const int Index5[] = { -1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16 };

class BitWriter {
public:
    void put(std::uint32_t value, int bits)
    {
        for (int i = bits - 1; i >= 0; --i) {
            if (m_used == 0)
                m_bytes.append('\0');
            if ((value >> i) & 1)
                m_bytes[m_bytes.size() - 1] = char(m_bytes[m_bytes.size() - 1] | (0x80 >> m_used));
            m_used = (m_used + 1) & 7;
        }
    }
    QByteArray bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    int m_used = 0;
};

} // namespace

AdpcmEncoded encodeAdpcm(const std::vector<std::int16_t>& samples, int channels, int codeBits)
{
    const int* indexTable = codeBits == 2 ? Index2 : codeBits == 3 ? Index3 : codeBits == 4 ? Index4 : Index5;
    const int signBit = 1 << (codeBits - 1);
    BitWriter w;
    AdpcmEncoded out;
    w.put(std::uint32_t(codeBits - 2), 2);
    const std::size_t frames = samples.size() / std::size_t(channels);
    int predicted[2] = { 0, 0 };
    int index[2] = { 0, 0 };
    for (std::size_t i = 0; i < frames; ++i) {
        if (i % 4096 == 0) {
            for (int c = 0; c < channels; ++c) {
                predicted[c] = samples[i * std::size_t(channels) + std::size_t(c)];
                index[c] = std::min(index[c], 63); // six bits in the header
                w.put(std::uint16_t(std::int16_t(predicted[c])), 16);
                w.put(std::uint32_t(index[c]), 6);
                out.reconstruction.push_back(std::int16_t(predicted[c]));
            }
            continue;
        }
        for (int c = 0; c < channels; ++c) {
            int diff = samples[i * std::size_t(channels) + std::size_t(c)] - predicted[c];
            int code = 0;
            if (diff < 0) {
                code = signBit;
                diff = -diff;
            }
            int step = Steps[index[c]];
            int delta = 0;
            for (int mask = signBit >> 1; mask; mask >>= 1) {
                if (diff >= step) {
                    code |= mask;
                    diff -= step;
                    delta += step;
                }
                step >>= 1;
            }
            delta += step;
            predicted[c] = std::clamp((code & signBit) ? predicted[c] - delta : predicted[c] + delta, -32768, 32767);
            index[c] = std::clamp(index[c] + indexTable[code & (signBit - 1)], 0, 88);
            w.put(std::uint32_t(code), codeBits);
            out.reconstruction.push_back(std::int16_t(predicted[c]));
        }
    }
    out.data = w.bytes();
    return out;
}

} // namespace audiotest
