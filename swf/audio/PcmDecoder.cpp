#include "swf/audio/PcmDecoder.h"

namespace swf {

void PcmDecoder::feed(const QByteArray& data)
{
    // Keep only the unread tail so a long stream does not grow the buffer.
    if (m_pos > 0) {
        m_pending.remove(0, m_pos);
        m_pos = 0;
    }
    m_pending.append(data);
}

int PcmDecoder::decodeSome(int frames, std::vector<std::int16_t>& out)
{
    const int bytesPerValue = m_format.sixteenBit ? 2 : 1;
    const int ch = channels();
    const qsizetype frameBytes = qsizetype(bytesPerValue) * ch;
    const qsizetype available = (m_pending.size() - m_pos) / frameBytes;
    const int n = int(std::min<qsizetype>(frames, available));
    const auto* p = reinterpret_cast<const std::uint8_t*>(m_pending.constData() + m_pos);
    out.reserve(out.size() + std::size_t(n) * ch);
    for (int i = 0; i < n * ch; ++i) {
        if (bytesPerValue == 2)
            out.push_back(std::int16_t(p[2 * i] | (p[2 * i + 1] << 8)));
        else
            out.push_back(std::int16_t((int(p[i]) - 128) * 256));
    }
    m_pos += n * frameBytes;
    return n;
}

} // namespace swf
