#pragma once

// The pictures of an FLV file as a NetStream plays it: the packet due at the
// stream's position, decoded in order from the key frame before it. With
// decoding ahead (the player) a worker thread decodes a few pictures past
// the position and hands them over finished, so a slow picture never holds
// the frame clock; a picture that is ready only after its time has passed is
// dropped. Without it (vantrel-render, tests) the caller decodes what is due
// itself, so the same movie always gives the same pictures.

#include "swf/runtime/VideoInstance.h"
#include "swf/video/FlvReader.h"

#include <QImage>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

class QThread;

namespace swf {

class VideoDecoder;

// Pictures decoded ahead and not yet due, at most, per stream.
inline constexpr int MaxPicturesAhead = 4;

// Whether streams opened from now on decode ahead on a worker thread. The
// player turns it on (PlaybackOptions::decodeVideoAhead); off by default, so
// tools and tests get the same pictures on every run.
void setVideoDecodeAhead(bool ahead);
bool videoDecodeAhead();

class FlvPlayback : public VideoFeed {
public:
    // `deblocking` as a DefineVideoStream gives it (1: the loop filter off).
    FlvPlayback(FlvFile file, bool decodeAhead, int deblocking = 0);
    ~FlvPlayback() override;
    FlvPlayback(const FlvPlayback&) = delete;
    FlvPlayback& operator=(const FlvPlayback&) = delete;

    const FlvFile& file() const { return m_file; }
    qint64 durationMs() const { return m_file.durationMs(); }
    // Where a seek to `ms` lands: the time of the key frame at or before it
    // (0 for a file without video).
    qint64 seekPoint(qint64 ms) const;

    // The stream now stands at `ms`: the picture due there becomes current
    // (or, decoding ahead, the newest due picture the worker has finished).
    // Going back, or forward past the next key frame, decodes afresh from a
    // key frame.
    void showAt(qint64 ms);
    // The picture due at `ms` and no other, waiting for the worker when
    // decoding ahead: for a jump the user asked for (a goto, a step back),
    // where a late picture would be a wrong one.
    void showExactly(qint64 ms);
    // Forgets the picture (NetStream.close, Video.clear).
    void clearPicture();

    // VideoFeed
    QImage picture() const override { return m_picture; }
    quint64 pictureSerial() const override { return m_serial; }

    // Packets decoded and pictures dropped for being late, so far.
    int packetsDecoded() const;
    int picturesDropped() const;

private:
    struct Ready {
        int index;
        QImage picture;
    };
    // Index of the last video packet at or before `ms`; -1 before the first.
    int packetAt(qint64 ms) const;
    int keyFrameBefore(int index) const;
    // Decodes packet `index` (in order); a picture only when `wanted`.
    QImage decodeOne(int index, bool wanted);
    void restart(int keyIndex, int due);
    void workerLoop();
    void starve(std::unique_lock<std::mutex>& lock);
    void take(QImage picture);

    FlvFile m_file;
    bool m_ahead;
    std::unique_ptr<VideoDecoder> m_decoder;
    bool m_unavailable = false;
    QImage m_picture;
    quint64 m_serial = 0;
    int m_shown = -1; // index of the packet whose picture is current

    // Shared with the worker, under m_mutex.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;     // the worker waits here for room or work
    std::condition_variable m_produced; // showExactly waits here for the worker
    int m_finished = -1; // the packet the worker decoded last
    int m_next = 0;       // the next packet to decode
    int m_due = -1;       // the packet due now: those before it are late
    bool m_reset = true;  // the decoder starts afresh before m_next
    bool m_stop = false;
    quint64 m_generation = 0;
    int m_decodedCount = 0;
    int m_dropped = 0;
    std::deque<Ready> m_ready;
    QThread* m_worker = nullptr;
};

} // namespace swf
