#pragma once

// The pictures of an embedded stream as a placed video object shows them:
// the frame its ratio names, decoded in order from the nearest key frame.
// Holds one decoder and one picture, whatever the stream's length. In the
// player (decoding ahead) a worker decodes the next few frames while the
// movie plays; a jump (a goto, a step back) still shows exactly its frame.

#include "swf/movie/Videos.h"
#include "swf/video/FlvPlayback.h"
#include "swf/video/VideoDecoder.h"

#include <QImage>

#include <memory>

namespace swf {

class EmbeddedVideo {
public:
    explicit EmbeddedVideo(const VideoStreamDef& stream, bool decodeAhead = videoDecodeAhead());
    ~EmbeddedVideo();

    // The picture of frame `number`, or of the newest frame before it when
    // the stream has no packet of that number yet; a null image before any.
    // A packet whose tag lies on `timeline` past `reachedFrame` has not
    // arrived yet, as in a movie still loading.
    const QImage& frameAt(int number, const TimelineDef* timeline = nullptr, int reachedFrame = 0);

    // How many packets were fed to the decoder since it was made (for tests
    // and benchmarks: a step forward costs one, a seek back its distance
    // from the key frame).
    // Decoding ahead, the count of pictures handed over instead: what
    // changes whenever the picture does.
    int packetsDecoded() const;

private:
    const VideoStreamDef& m_stream;
    std::unique_ptr<VideoDecoder> m_decoder;
    bool m_unavailable = false;
    int m_decoded = -1; // the frame number last fed to the decoder
    int m_packetsDecoded = 0;
    QImage m_picture;
    bool m_ahead;
    std::unique_ptr<FlvPlayback> m_playback; // decoding ahead: the stream's packets by frame number
};

} // namespace swf
