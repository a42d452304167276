// Random bytes as sound: as each codec's data, as sound records, and as a
// run of sound tags driving the mixer. The first byte picks which.

#include "swf/audio/SoundDecoder.h"
#include "swf/audio/SoundMixer.h"
#include "swf/format/Sound.h"
#include "swf/format/TagCodes.h"

#include <cstddef>
#include <cstdint>

using namespace swf;

namespace {

void fuzzDecoder(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return;
    static const SoundCodec codecs[] = { SoundCodec::PcmNative, SoundCodec::Adpcm, SoundCodec::Mp3, SoundCodec::PcmLittle,
        SoundCodec::Nellymoser16k, SoundCodec::Nellymoser8k, SoundCodec::Nellymoser, SoundCodec::Speex };
    const std::uint8_t formatByte = std::uint8_t((std::uint8_t(codecs[data[0] % 8]) << 4) | (data[0] & 0x0f));
    const std::size_t chunk = std::size_t(data[1]) * 16 + 1;
    data += 2;
    size -= 2;
    auto decoder = createSoundDecoder(soundFormatFromByte(formatByte));
    if (!decoder)
        return;
    SoundDecoder& d = *decoder.value();
    std::vector<std::int16_t> out;
    std::size_t total = 0;
    for (std::size_t pos = 0; pos < size; pos += chunk) {
        d.feed(QByteArray(reinterpret_cast<const char*>(data + pos), qsizetype(std::min(chunk, size - pos))));
        for (int i = 0; i < 64 && total < (1u << 20); ++i) {
            out.clear();
            const int got = d.decode(4096, out);
            if (got <= 0)
                break;
            if (out.size() != std::size_t(got) * std::size_t(d.channels()))
                __builtin_trap();
            total += std::size_t(got);
        }
    }
    // A defined sound made of the same bytes, through the whole-sound path.
    DefineSoundRecord def;
    def.format = soundFormatFromByte(formatByte);
    def.data = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
    (void)decodeDefinedSound(def, 1 << 18);
}

void fuzzRecords(const QByteArray& body)
{
    (void)readDefineSound(body);
    (void)readStartSound(body, TagStartSound);
    (void)readStartSound(body, TagStartSound2);
    (void)readSoundStreamHead(body);
    (void)readSoundStreamBlock(body, SoundCodec::Mp3);
    (void)readDefineButtonSound(body);
}

// Commands: [kind][length][body...]; kind picks a tag, a button event or a mix.
void fuzzMixer(const std::uint8_t* data, std::size_t size)
{
    static const int tags[] = { 14, 15, 18, 19, 45, 89, 17, 0 };
    SoundMixer m;
    std::vector<std::int16_t> out(2 * 512);
    std::size_t pos = 0;
    int frame = 1;
    while (pos + 2 <= size) {
        const std::uint8_t kind = data[pos];
        const std::size_t len = std::min<std::size_t>(data[pos + 1] * 4u, size - pos - 2);
        const QByteArray body(reinterpret_cast<const char*>(data + pos + 2), qsizetype(len));
        pos += 2 + len;
        const int tag = tags[kind & 7];
        const std::uintptr_t timeline = 1 + ((kind >> 3) & 1);
        switch (tag) {
        case 14:
            m.defineSound(body);
            break;
        case 17:
            m.defineButtonSound(body);
            m.buttonSound(std::uint16_t(kind), kind >> 6);
            break;
        case 0:
            m.mix(out.data(), 1 + (kind >> 3) * 16);
            (void)m.streamFrameAt(m.framesMixed() - 100);
            break;
        default:
            frame += (kind >> 4) == 0 ? 0 : (kind >> 4) == 1 ? 5 : 1;
            m.controlTag(timeline, tag, body, frame);
            break;
        }
        if ((kind & 0xf0) == 0xf0)
            m.stopAll();
    }
    m.mix(out.data(), 512);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    switch (data[0] % 3) {
    case 0:
        fuzzDecoder(data + 1, size - 1);
        break;
    case 1:
        fuzzRecords(QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)));
        break;
    default:
        fuzzMixer(data + 1, size - 1);
        break;
    }
    return 0;
}
