#include "tools/render/WavWriter.h"

#include "swf/io/ByteWriter.h"

#include <QFile>
#include <QIODevice>
#include <QSaveFile>

namespace swf {

Result<void> writeWav(QIODevice& device, const std::vector<std::int16_t>& samples, int sampleRate, int channels)
{
    // The RIFF sizes are 32-bit; refuse rather than write a header that lies.
    const std::uint64_t dataBytes = std::uint64_t(samples.size()) * 2;
    if (dataBytes > 0xffffffffull - 36)
        return Error::at(-1, QStringLiteral("sound too long for a WAV file"), ErrorKind::TooLarge);
    QByteArray header;
    header.append("RIFF");
    putU32(header, std::uint32_t(36 + dataBytes));
    header.append("WAVE");
    header.append("fmt ");
    putU32(header, 16);
    putU16(header, 1); // PCM
    putU16(header, std::uint16_t(channels));
    putU32(header, std::uint32_t(sampleRate));
    putU32(header, std::uint32_t(sampleRate * channels * 2));
    putU16(header, std::uint16_t(channels * 2));
    putU16(header, 16);
    header.append("data");
    putU32(header, std::uint32_t(dataBytes));
    if (device.write(header) != header.size())
        return Error::at(-1, QStringLiteral("could not write the WAV header: %1").arg(device.errorString()));
    // Little-endian on disk, whatever the host.
    QByteArray body;
    body.reserve(qsizetype(dataBytes));
    for (std::int16_t sample : samples)
        putU16(body, std::uint16_t(sample));
    if (device.write(body) != body.size())
        return Error::at(-1, QStringLiteral("could not write the WAV samples: %1").arg(device.errorString()));
    return {};
}

Result<void> writeWavFile(const QString& path, const std::vector<std::int16_t>& samples, int sampleRate, int channels)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Error::at(-1, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()), ErrorKind::FileNotFound);
    SWF_TRY_VOID(writeWav(file, samples, sampleRate, channels));
    if (!file.commit())
        return Error::at(-1, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    return {};
}

} // namespace swf
