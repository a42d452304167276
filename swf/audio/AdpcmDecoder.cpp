#include "swf/audio/AdpcmDecoder.h"

#include <algorithm>

namespace swf {

namespace adpcm {

const int StepTable[89] = {
    7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 19, 21, 23, 25, 28, 31, 34, 37, 41, 45,
    50, 55, 60, 66, 73, 80, 88, 97, 107, 118, 130, 143, 157, 173, 190, 209, 230,
    253, 279, 307, 337, 371, 408, 449, 494, 544, 598, 658, 724, 796, 876, 963,
    1060, 1166, 1282, 1411, 1552, 1707, 1878, 2066, 2272, 2499, 2749, 3024, 3327,
    3660, 4026, 4428, 4871, 5358, 5894, 6484, 7132, 7845, 8630, 9493, 10442,
    11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794,
    32767
};

const int* indexTable(int codeBits)
{
    static const int t2[] = { -1, 2 };
    static const int t3[] = { -1, -1, 2, 4 };
    static const int t4[] = { -1, -1, -1, -1, 2, 4, 6, 8 };
    static const int t5[] = { -1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16 };
    switch (codeBits) {
    case 2:
        return t2;
    case 3:
        return t3;
    case 4:
        return t4;
    default:
        return t5;
    }
}

} // namespace adpcm

void AdpcmDecoder::feed(const QByteArray& data)
{
    if (!data.isEmpty())
        m_runs.push_back(data);
}

void AdpcmDecoder::resetCodec()
{
    m_runs.clear();
    m_run.clear();
    m_inRun = false;
    m_bitPos = 0;
    m_leftInPacket = 0;
}

bool AdpcmDecoder::readBits(int count, std::uint32_t& value)
{
    const std::size_t totalBits = std::size_t(m_run.size()) * 8;
    if (m_bitPos + std::size_t(count) > totalBits)
        return false;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(m_run.constData());
    std::uint32_t v = 0;
    for (int i = 0; i < count; ++i) {
        const std::size_t bit = m_bitPos + std::size_t(i);
        v = (v << 1) | ((bytes[bit >> 3] >> (7 - (bit & 7))) & 1);
    }
    m_bitPos += std::size_t(count);
    value = v;
    return true;
}

bool AdpcmDecoder::startRun()
{
    while (!m_runs.empty()) {
        m_run = std::move(m_runs.front());
        m_runs.pop_front();
        m_bitPos = 0;
        std::uint32_t size = 0;
        if (!readBits(2, size))
            continue;
        m_codeBits = int(size) + 2;
        m_leftInPacket = 0;
        m_inRun = true;
        return true;
    }
    m_inRun = false;
    return false;
}

int AdpcmDecoder::decodeSome(int frames, std::vector<std::int16_t>& out)
{
    const int ch = channels();
    int produced = 0;
    while (produced < frames) {
        if (!m_inRun && !startRun())
            break;
        if (m_leftInPacket == 0) {
            // Packet header: raw first sample and step index for each channel.
            std::uint32_t s[2] = {}, idx[2] = {};
            bool ok = true;
            for (int c = 0; c < ch && ok; ++c)
                ok = readBits(16, s[c]) && readBits(6, idx[c]);
            if (!ok) {
                m_inRun = false;
                continue;
            }
            for (int c = 0; c < ch; ++c) {
                m_sample[c] = std::int16_t(std::uint16_t(s[c]));
                m_index[c] = std::min<int>(int(idx[c]), 88);
                out.push_back(std::int16_t(m_sample[c]));
            }
            m_leftInPacket = SamplesPerPacket - 1;
            ++produced;
            continue;
        }
        std::uint32_t codes[2] = {};
        bool ok = true;
        for (int c = 0; c < ch && ok; ++c)
            ok = readBits(m_codeBits, codes[c]);
        if (!ok) {
            // The run ends (possibly mid-packet); padding bits are ignored.
            m_inRun = false;
            continue;
        }
        const std::uint32_t signBit = 1u << (m_codeBits - 1);
        const int* indexChange = adpcm::indexTable(m_codeBits);
        for (int c = 0; c < ch; ++c) {
            const std::uint32_t code = codes[c];
            int step = adpcm::StepTable[m_index[c]];
            // Magnitude bits weigh step, step/2, step/4, ... plus a half-step
            // rounding term below the last bit.
            int diff = 0;
            for (std::uint32_t mask = signBit >> 1; mask; mask >>= 1) {
                if (code & mask)
                    diff += step;
                step >>= 1;
            }
            diff += step;
            int sample = (code & signBit) ? m_sample[c] - diff : m_sample[c] + diff;
            m_sample[c] = std::clamp(sample, -32768, 32767);
            m_index[c] = std::clamp(m_index[c] + indexChange[code & (signBit - 1)], 0, 88);
            out.push_back(std::int16_t(m_sample[c]));
        }
        --m_leftInPacket;
        ++produced;
    }
    return produced;
}

} // namespace swf
