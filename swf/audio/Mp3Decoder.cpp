#include "swf/audio/Mp3Decoder.h"

#include <mpg123.h>

#include <mutex>

namespace swf {

namespace {

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

} // namespace

std::unique_ptr<Mp3Decoder> Mp3Decoder::create(const SoundFormat& format)
{
    initLibrary();
    int err = MPG123_OK;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    if (!h)
        return nullptr;
    std::unique_ptr<Mp3Decoder> d(new Mp3Decoder(h, format));
    if (!d->openFeed())
        return nullptr;
    return d;
}

Mp3Decoder::Mp3Decoder(mpg123_handle* handle, const SoundFormat& format)
    : m_handle(handle), m_rate(format.rate), m_channels(format.channels())
{
}

Mp3Decoder::~Mp3Decoder()
{
    if (m_handle) {
        mpg123_close(m_handle);
        mpg123_delete(m_handle);
    }
}

bool Mp3Decoder::openFeed()
{
    // Quiet: a damaged frame is skipped, not printed. No read-ahead: blocks
    // carry whole frames, so each frame is decoded as soon as it is fed
    // instead of waiting for the next block to confirm it (which would leave
    // a gap at the end of a stream's first frame). 16-bit output at whatever
    // rate and channel count the frames carry; the mixer resamples.
    mpg123_param(m_handle, MPG123_FLAGS, MPG123_QUIET | MPG123_NO_READAHEAD, 0);
    mpg123_param(m_handle, MPG123_RESYNC_LIMIT, -1, 0);
    mpg123_format_none(m_handle);
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i)
        mpg123_format(m_handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    m_failed = mpg123_open_feed(m_handle) != MPG123_OK;
    return !m_failed;
}

void Mp3Decoder::applyNextFormat()
{
    if (m_nextChannels > 0) {
        m_rate = m_nextRate;
        m_channels = m_nextChannels;
        m_nextChannels = 0;
    }
}

void Mp3Decoder::resetCodec()
{
    mpg123_close(m_handle);
    openFeed();
}

void Mp3Decoder::feed(const QByteArray& data)
{
    if (m_failed || data.isEmpty())
        return;
    if (mpg123_feed(m_handle, reinterpret_cast<const unsigned char*>(data.constData()), size_t(data.size())) != MPG123_OK)
        m_failed = true;
}

int Mp3Decoder::decodeSome(int frames, std::vector<std::int16_t>& out)
{
    if (m_failed)
        return 0;
    applyNextFormat();
    int produced = 0;
    // A bound on iterations so a decoder that keeps reporting errors without
    // progress cannot spin forever.
    for (int guard = 0; produced < frames && guard < 64; ++guard) {
        const int ch = m_channels;
        const std::size_t want = std::size_t(frames - produced) * std::size_t(ch);
        const std::size_t base = out.size();
        out.resize(base + want);
        size_t doneBytes = 0;
        const int rc = mpg123_read(m_handle, reinterpret_cast<unsigned char*>(out.data() + base), want * 2, &doneBytes);
        const int gotFrames = int(doneBytes / 2 / std::size_t(ch));
        out.resize(base + std::size_t(gotFrames) * std::size_t(ch));
        produced += gotFrames;
        if (rc == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0, encoding = 0;
            if (mpg123_getformat(m_handle, &rate, &channels, &encoding) == MPG123_OK && rate > 0 && (channels == 1 || channels == 2)) {
                // Samples already handed out this call are in the old format:
                // return them first and switch on the next call.
                m_nextRate = double(rate);
                m_nextChannels = channels;
                if (produced > 0)
                    break;
                applyNextFormat();
            }
            continue;
        }
        if (rc == MPG123_OK)
            continue;
        if (rc == MPG123_NEED_MORE || rc == MPG123_DONE)
            break;
        // Any other error: mpg123 resynchronises on the next call if it can.
        if (gotFrames == 0)
            break;
    }
    return produced;
}

} // namespace swf
