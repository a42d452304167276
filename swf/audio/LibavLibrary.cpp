#include "swf/audio/LibavLibrary.h"

#include <QString>

#include <atomic>

#include <dlfcn.h>

namespace swf {

namespace {

#define VANTREL_STRINGIFY2(x) #x
#define VANTREL_STRINGIFY(x) VANTREL_STRINGIFY2(x)

std::atomic<bool> g_loaded { false };

struct Loaded {
    LibavApi api;
    bool ok = false;
    QString why;
};

// Looks `name` up in `library` into `slot`; false (and the reason) when missing.
template<typename F>
bool resolve(void* library, const char* name, F& slot, QString& why)
{
    slot = reinterpret_cast<F>(dlsym(library, name));
    if (!slot)
        why = QStringLiteral("%1 is missing from libavcodec or libavutil").arg(QLatin1String(name));
    return slot != nullptr;
}

Loaded load()
{
    Loaded loaded;
    // libavutil first: libavcodec needs it, and a few of our calls are its own.
    static constexpr const char* UtilName = "libavutil.so." VANTREL_STRINGIFY(LIBAVUTIL_VERSION_MAJOR);
    static constexpr const char* CodecName = "libavcodec.so." VANTREL_STRINGIFY(LIBAVCODEC_VERSION_MAJOR);
    void* util = dlopen(UtilName, RTLD_NOW | RTLD_LOCAL);
    void* codec = util ? dlopen(CodecName, RTLD_NOW | RTLD_LOCAL) : nullptr;
    if (!util || !codec) {
        loaded.why = QStringLiteral("cannot load %1: %2").arg(QLatin1String(util ? CodecName : UtilName), QString::fromLocal8Bit(dlerror()));
        return loaded;
    }
    LibavApi& a = loaded.api;
    QString& why = loaded.why;
    loaded.ok = resolve(codec, "avcodec_find_decoder", a.avcodec_find_decoder, why)
        && resolve(codec, "avcodec_alloc_context3", a.avcodec_alloc_context3, why)
        && resolve(codec, "avcodec_open2", a.avcodec_open2, why)
        && resolve(codec, "avcodec_free_context", a.avcodec_free_context, why)
        && resolve(codec, "avcodec_flush_buffers", a.avcodec_flush_buffers, why)
        && resolve(codec, "avcodec_send_packet", a.avcodec_send_packet, why)
        && resolve(codec, "avcodec_receive_frame", a.avcodec_receive_frame, why)
        && resolve(codec, "av_packet_alloc", a.av_packet_alloc, why)
        && resolve(codec, "av_packet_free", a.av_packet_free, why)
        && resolve(codec, "av_packet_unref", a.av_packet_unref, why)
        && resolve(codec, "av_new_packet", a.av_new_packet, why)
        && resolve(util, "av_frame_alloc", a.av_frame_alloc, why)
        && resolve(util, "av_frame_free", a.av_frame_free, why)
        && resolve(util, "av_frame_unref", a.av_frame_unref, why)
        && resolve(util, "av_mallocz", a.av_mallocz, why)
        && resolve(util, "av_log_set_level", a.av_log_set_level, why)
        && resolve(util, "av_channel_layout_default", a.av_channel_layout_default, why)
        && resolve(util, "av_sample_fmt_is_planar", a.av_sample_fmt_is_planar, why);
    if (loaded.ok)
        a.av_log_set_level(AV_LOG_QUIET);
    // The libraries stay loaded for the life of the process either way:
    // decoders made from them may live as long.
    return loaded;
}

} // namespace

const LibavApi* libav(QString* why)
{
    static const Loaded loaded = [] {
        Loaded l = load();
        g_loaded = true;
        return l;
    }();
    if (!loaded.ok && why)
        *why = loaded.why;
    return loaded.ok ? &loaded.api : nullptr;
}

bool libavLoaded()
{
    return g_loaded;
}

} // namespace swf
