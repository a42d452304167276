#pragma once

// An embedded video stream: its DefineVideoStream and the packets of its
// VideoFrame tags by frame number, gathered from every timeline at load.

#include "swf/format/Video.h"
#include "swf/movie/Character.h"

#include <map>

namespace swf {

struct VideoStreamDef : Character {
    explicit VideoStreamDef(const VideoStreamHeader& h) : Character(CharacterKind::Video, h.id), header(h) { }
    struct Frame {
        QByteArray data;
        bool key = false;
        // Where its VideoFrame tag sits: a video placed on that same timeline
        // shows it only once the timeline has reached that frame (1-based).
        const TimelineDef* timeline = nullptr;
        int timelineFrame = 0;
    };
    VideoStreamHeader header;
    std::map<int, Frame> frames; // by frame number
};

Result<std::shared_ptr<const Character>> readVideoStreamDefinition(Reader& body);
// Files a VideoFrame's packet with its stream; a packet for a frame number
// already held, or for no stream, is left out.
Result<void> addVideoFrame(Reader& body, const Character* stream, const TimelineDef* timeline, int timelineFrame);

} // namespace swf
