#include "swf/video/FlvPlayback.h"

#include "swf/video/VideoDecoder.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <new>
#include <optional>
#include <stdexcept>
#include <utility>

namespace swf {

namespace {

std::atomic<bool> g_decodeAhead { false };

} // namespace

void setVideoDecodeAhead(bool ahead) { g_decodeAhead = ahead; }

bool videoDecodeAhead() { return g_decodeAhead; }

FlvPlayback::FlvPlayback(FlvFile file, bool decodeAhead, int deblocking) : m_file(std::move(file)), m_ahead(decodeAhead)
{
    if (m_file.video.empty()) {
        m_unavailable = true;
        return;
    }
    m_decoder = VideoDecoder::create(m_file.video.front().codec, deblocking, nullptr, m_file.videoExtraData);
    if (!m_decoder) {
        m_unavailable = true;
        return;
    }
    if (m_ahead) {
        m_worker = QThread::create([this] { workerLoop(); });
        m_worker->start(QThread::LowPriority);
    }
}

FlvPlayback::~FlvPlayback()
{
    if (m_worker) {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_worker->wait();
        delete m_worker;
    }
}

int FlvPlayback::packetAt(qint64 ms) const
{
    const auto& v = m_file.video;
    auto it = std::upper_bound(v.begin(), v.end(), ms, [](qint64 t, const FlvVideoPacket& p) { return t < p.timeMs; });
    return int(it - v.begin()) - 1;
}

int FlvPlayback::keyFrameBefore(int index) const
{
    while (index > 0 && !m_file.video[std::size_t(index)].key)
        --index;
    return std::max(index, 0);
}

qint64 FlvPlayback::seekPoint(qint64 ms) const
{
    const int at = packetAt(ms);
    if (at < 0)
        return 0;
    return m_file.video[std::size_t(keyFrameBefore(at))].timeMs;
}

int FlvPlayback::packetsDecoded() const
{
    std::lock_guard lock(m_mutex);
    return m_decodedCount;
}

int FlvPlayback::picturesDropped() const
{
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

QImage FlvPlayback::decodeOne(int index, bool wanted)
{
    const FlvVideoPacket& p = m_file.video[std::size_t(index)];
    // A packet of another codec than the stream's first cannot be decoded
    // by this decoder: it gives no picture, and the stream goes on.
    if (p.codec != m_decoder->codec())
        return {};
    return m_decoder->decode(p.data, p.key, wanted);
}

void FlvPlayback::take(QImage picture)
{
    if (picture.isNull())
        return;
    m_picture = std::move(picture);
    ++m_serial;
}

void FlvPlayback::restart(int keyIndex, int due)
{
    // Under m_mutex: what the worker finished for the old position is thrown away.
    ++m_generation;
    m_ready.clear();
    m_next = keyIndex;
    m_due = due;
    m_reset = true;
    m_finished = keyIndex - 1;
    // Nothing decoded for the new position is shown yet: the next call must
    // not take the old picture's place for a reason to start over again.
    m_shown = -1;
}

void FlvPlayback::showAt(qint64 ms)
{
    if (m_unavailable)
        return;
    const int due = packetAt(ms);
    if (due < 0 || due == m_shown)
        return;
    std::unique_lock lock(m_mutex);
    // Going back, or so far forward that a key frame lies between: decoding
    // starts afresh at the key frame before the packet due.
    const int key = keyFrameBefore(due);
    if (due < m_shown || key >= m_next)
        restart(key, due);
    m_due = due;
    if (!m_ahead) {
        // Decode here, in order, up to the packet due; only that one is converted.
        while (m_next <= due) {
            const int index = m_next++;
            const bool reset = std::exchange(m_reset, false);
            lock.unlock();
            if (reset)
                m_decoder->reset();
            QImage picture = decodeOne(index, index == due);
            lock.lock();
            ++m_decodedCount;
            if (index == due)
                take(std::move(picture));
        }
        m_shown = due;
        return;
    }
    // Decoding ahead: the newest finished picture at or before the packet due
    // is shown; older ones came too late and are dropped.
    std::optional<Ready> newest;
    while (!m_ready.empty() && m_ready.front().index <= due) {
        if (newest)
            ++m_dropped;
        newest = std::move(m_ready.front());
        m_ready.pop_front();
    }
    lock.unlock();
    m_wake.notify_all();
    if (newest) {
        m_shown = newest->index;
        take(std::move(newest->picture));
    }
}

void FlvPlayback::showExactly(qint64 ms)
{
    if (!m_ahead) {
        showAt(ms);
        return;
    }
    if (m_unavailable)
        return;
    const int due = packetAt(ms);
    if (due < 0 || due == m_shown)
        return;
    std::unique_lock lock(m_mutex);
    const bool ready = std::any_of(m_ready.begin(), m_ready.end(), [&](const Ready& r) { return r.index == due; });
    const int key = keyFrameBefore(due);
    if (!ready && (due < m_shown || key >= m_next || m_next > due))
        restart(key, due);
    m_due = due;
    // Pictures before the one asked for will not be shown: they go, so that
    // the worker has room to reach it.
    while (!m_ready.empty() && m_ready.front().index < due) {
        m_ready.pop_front();
        ++m_dropped;
    }
    m_wake.notify_all();
    m_produced.wait(lock, [&] { return m_stop || m_finished >= due; });
    std::optional<Ready> exact;
    if (!m_ready.empty() && m_ready.front().index == due) {
        exact = std::move(m_ready.front());
        m_ready.pop_front();
    }
    lock.unlock();
    m_wake.notify_all();
    m_shown = due;
    if (exact)
        take(std::move(exact->picture));
}

void FlvPlayback::clearPicture()
{
    m_picture = QImage();
    ++m_serial;
}

void FlvPlayback::workerLoop()
{
    std::unique_lock lock(m_mutex);
    try {
        while (!m_stop) {
            if (m_next >= int(m_file.video.size()) || int(m_ready.size()) >= MaxPicturesAhead) {
                m_wake.wait(lock);
                continue;
            }
            const quint64 generation = m_generation;
            const int index = m_next++;
            const bool reset = std::exchange(m_reset, false);
            // Packets before the one due are late: decoded (the next depend on
            // them) but not converted, and never shown.
            const bool wanted = index >= m_due;
            lock.unlock();
            if (reset)
                m_decoder->reset();
            QImage picture = decodeOne(index, wanted);
            lock.lock();
            ++m_decodedCount;
            if (generation != m_generation)
                continue; // a seek came meanwhile
            if (!wanted)
                ++m_dropped;
            else if (!picture.isNull())
                m_ready.push_back({ index, std::move(picture) });
            m_finished = index;
            m_produced.notify_all();
        }
    } catch (const std::bad_alloc&) {
        starve(lock);
    } catch (const std::length_error&) {
        starve(lock);
    }
}

void FlvPlayback::starve(std::unique_lock<std::mutex>& lock)
{
    // The system refused memory for a picture: this stream decodes no more
    // (the picture shown stays), and whoever waits for one is let go. An
    // exception leaving the worker would end the program.
    if (!lock.owns_lock())
        lock.lock();
    m_stop = true;
    m_produced.notify_all();
}

} // namespace swf
