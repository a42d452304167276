#pragma once

// Demuxing of FLV files, the video files a NetStream plays: the header, then
// audio, video and script data tags, each bounds-checked. Video packets come
// out ready for VideoDecoder (the FLV-only bytes before them removed), audio
// packets with the same format byte as a movie's sounds, script tags as their
// handler's name and value.

#include "swf/format/Video.h"
#include "swf/video/Amf0.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace swf {

struct FlvVideoPacket {
    qint64 timeMs = 0;
    bool key = false;
    VideoCodec codec = VideoCodec::None;
    QByteArray data;
};

struct FlvAudioPacket {
    qint64 timeMs = 0;
    std::uint8_t format = 0; // laid out as a movie's sound format byte
    QByteArray data;
};

struct FlvScriptTag {
    qint64 timeMs = 0;
    QString name;  // onMetaData, onCuePoint, ...
    AmfValue value;
};

struct FlvFile {
    bool declaresAudio = false;
    bool declaresVideo = false;
    std::vector<FlvVideoPacket> video;
    std::vector<FlvAudioPacket> audio;
    std::vector<FlvScriptTag> scripts;
    // What the decoder needs before the packets: VP6's crop byte, H.264's
    // configuration record.
    QByteArray videoExtraData;
    // The file ends inside a tag: what came before it plays.
    bool truncated = false;
    qint64 durationMs() const;
};

struct FlvLimits {
    int maxTags = 1 << 20;
};

// Only a file that does not start as an FLV is an error; a tag damaged or cut
// short ends the file there.
Result<FlvFile> readFlv(const QByteArray& bytes, const FlvLimits& limits = {});

} // namespace swf
