#pragma once

// libavcodec and libavutil, loaded when a movie first needs a Nellymoser or
// Speex sound or a video decoded, not when the program starts. Debian's
// libavcodec brings about a hundred libraries with it (every encoder it is
// built with); linked in, the dynamic linker loaded and relocated all of them
// at every start, for a window that may never play a video. The headers are
// the ones we compile against: the libraries loaded are the same major
// versions, so their structures are laid out as the headers say.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <cmath>
#include <cstdint>

class QString;

namespace swf {

// The functions of the two libraries the decoders call.
struct LibavApi {
    decltype(&::avcodec_find_decoder) avcodec_find_decoder = nullptr;
    decltype(&::avcodec_alloc_context3) avcodec_alloc_context3 = nullptr;
    decltype(&::avcodec_open2) avcodec_open2 = nullptr;
    decltype(&::avcodec_free_context) avcodec_free_context = nullptr;
    decltype(&::avcodec_flush_buffers) avcodec_flush_buffers = nullptr;
    decltype(&::avcodec_send_packet) avcodec_send_packet = nullptr;
    decltype(&::avcodec_receive_frame) avcodec_receive_frame = nullptr;
    decltype(&::av_packet_alloc) av_packet_alloc = nullptr;
    decltype(&::av_packet_free) av_packet_free = nullptr;
    decltype(&::av_packet_unref) av_packet_unref = nullptr;
    decltype(&::av_new_packet) av_new_packet = nullptr;
    decltype(&::av_frame_alloc) av_frame_alloc = nullptr;
    decltype(&::av_frame_free) av_frame_free = nullptr;
    decltype(&::av_frame_unref) av_frame_unref = nullptr;
    decltype(&::av_mallocz) av_mallocz = nullptr;
    decltype(&::av_log_set_level) av_log_set_level = nullptr;
    decltype(&::av_channel_layout_default) av_channel_layout_default = nullptr;
    decltype(&::av_sample_fmt_is_planar) av_sample_fmt_is_planar = nullptr;
};

// The libraries' functions, loaded (once, by whichever thread asks first) on
// the first call; null when they cannot be loaded, with the reason in `why`.
// Their log is silenced: a damaged packet is ours to handle quietly.
const LibavApi* libav(QString* why = nullptr);

// Whether the libraries have been loaded into this process yet.
bool libavLoaded();

// The loaded functions, for code reached only after libav() succeeded.
inline const LibavApi& lib()
{
    return *libav();
}

// A decoded float sample as 16 bits: clamped, NaN silent.
inline std::int16_t sampleFromFloat(float v)
{
    if (!(v == v))
        return 0;
    return std::int16_t(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
}

} // namespace swf
