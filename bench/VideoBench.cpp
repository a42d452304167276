// Decode time per video frame, per codec and picture size: ffmpeg's test
// pattern encoded at run time (ffmpeg is needed), decoded and converted to
// an image as the renderer receives it. Prints figures, asserts nothing.

#include "support/AudioTestSupport.h"
#include "swf/video/FlvReader.h"
#include "swf/video/VideoDecoder.h"

#include <QGuiApplication>

#include <chrono>
#include <ctime>
#include <cstdio>

using namespace swf;

namespace {

std::vector<QByteArray> packetsOf(const QByteArray& swf, VideoCodec codec, int w, int h)
{
    VideoStreamHeader stream;
    stream.codec = codec;
    stream.width = w;
    stream.height = h;
    std::vector<QByteArray> out;
    for (const auto& t : audiotest::readMovieTags(swf)) {
        if (t.code == 61 && t.body.size() > 4)
            out.push_back(videoFramePacket(stream, t.body.mid(4)));
    }
    return out;
}

// The packets of an FLV file and the configuration its decoder needs.
std::vector<QByteArray> flvPacketsOf(const QByteArray& flv, QByteArray& extraData)
{
    std::vector<QByteArray> out;
    auto file = readFlv(flv);
    if (!file.ok())
        return out;
    for (const FlvVideoPacket& p : file.value().video)
        out.push_back(p.data);
    extraData = file.value().videoExtraData;
    return out;
}

// `container` is swf (ffmpeg writes H.263 and screen video into movies) or
// flv (screen video 2 and H.264 come only in FLV files).
void bench(const char* name, const QString& encoder, VideoCodec codec, int w, int h, const char* container = "swf")
{
    const QString path = audiotest::tempPath(QStringLiteral("bench-%1-%2x%3.%4").arg(encoder).arg(w).arg(h).arg(container));
    QStringList args { "-f", "lavfi", "-i", QStringLiteral("testsrc=size=%1x%2:rate=24").arg(w).arg(h), "-t", "5", "-c:v", encoder };
    if (encoder == QLatin1String("libx264"))
        args += { "-pix_fmt", "yuv420p", "-bf", "0" };
    if (!audiotest::runFfmpeg(args + QStringList { path })) {
        std::printf("%-14s %4dx%-4d  (ffmpeg could not encode it)\n", name, w, h);
        return;
    }
    QByteArray extraData;
    const auto packets = QLatin1String(container) == QLatin1String("flv") ? flvPacketsOf(audiotest::readFile(path), extraData)
                                                                          : packetsOf(audiotest::readFile(path), codec, w, h);
    auto decoder = VideoDecoder::create(codec, 0, nullptr, extraData);
    if (!decoder || packets.empty())
        return;
    const int passes = 3;
    int frames = 0;
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    for (int pass = 0; pass < passes; ++pass) {
        decoder->reset();
        for (std::size_t i = 0; i < packets.size(); ++i) {
            if (!decoder->decode(packets[i], i == 0 || isVideoKeyFrame(codec, packets[i])).isNull())
                ++frames;
        }
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    // CPU time as well: on a shared machine the wall clock also counts waiting for a core.
    const double cpuMs = double(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC;
    std::printf("%-14s %4dx%-4d  %7.3f ms per frame wall, %7.3f ms CPU  (%d frames)\n", name, w, h, frames ? ms / frames : 0.0,
        frames ? cpuMs / frames : 0.0, frames);
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (!audiotest::haveFfmpeg()) {
        std::printf("ffmpeg is not installed: nothing to decode\n");
        return 0;
    }
    std::printf("video decode, packet to ARGB image, one thread\n");
    for (auto [w, h] : { std::pair { 320, 240 }, std::pair { 640, 480 } }) {
        bench("Sorenson H.263", "flv1", VideoCodec::H263, w, h);
        bench("Screen video", "flashsv", VideoCodec::ScreenVideo, w, h);
        bench("Screen video 2", "flashsv2", VideoCodec::ScreenVideo2, w, h, "flv");
        bench("H.264 (FLV)", "libx264", VideoCodec::H264, w, h, "flv");
    }
    return 0;
}
