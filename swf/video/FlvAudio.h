#pragma once

// An FLV's sound track decoded whole, for the codecs whose packets cannot be
// joined end to end into one sound body: ADPCM (each packet opens its own
// bit stream) and AAC (the stream's configuration first, then one access
// unit per packet). The result lies on the file's clock: silence up to the
// first packet's time, so that the sound keeps step with the pictures.

#include "swf/Result.h"
#include "swf/audio/SoundDecoder.h"
#include "swf/video/FlvReader.h"

namespace swf {

// The codec numbers of an FLV audio tag's format byte (its top four bits).
inline constexpr int FlvAdpcm = 1;
inline constexpr int FlvAac = 10;

// True when the file's audio is ADPCM or AAC, every packet the same codec.
bool flvAudioNeedsDecoding(const FlvFile& file);

// Decodes the file's ADPCM or AAC packets, up to `maxFrames` frames.
Result<DecodedSound> decodeFlvAudio(const FlvFile& file, std::int64_t maxFrames);

} // namespace swf
