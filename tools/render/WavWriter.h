#pragma once

// Writes 16-bit PCM WAV files: the render tool's --audio output, 44.1 kHz stereo.

#include "swf/Result.h"

#include <QString>

#include <cstdint>
#include <vector>

class QIODevice;

namespace swf {

// `samples` are interleaved, `channels` per frame.
Result<void> writeWav(QIODevice& device, const std::vector<std::int16_t>& samples, int sampleRate = 44100, int channels = 2);
Result<void> writeWavFile(const QString& path, const std::vector<std::int16_t>& samples, int sampleRate = 44100, int channels = 2);

} // namespace swf
