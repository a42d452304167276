// CPU time to decode and mix one second of sound, per codec. Each iteration
// defines a one-second sound, starts it and mixes one second of output, so
// the figure is decode + resample + mix for one second of audio.

#include "swf/audio/SoundMixer.h"

#include "support/AdpcmEncoder.h"
#include "support/AudioTestSupport.h"

#include <benchmark/benchmark.h>

using namespace swf;
using namespace audiotest;

namespace {

QByteArray defineBody(int formatByte, std::uint32_t frames, const QByteArray& data)
{
    QByteArray b;
    putU16(b, 1);
    putU8(b, formatByte);
    putU32(b, frames);
    b.append(data);
    return b;
}

// A one-second 44.1 kHz stereo tone coded by ffmpeg, as the body of a
// DefineSound; empty when ffmpeg cannot make it.
QByteArray ffmpegSound(const QString& codec, int rate, int channels, int formatByte, bool mp3)
{
    const QString path = tempPath(codec + ".flv");
    if (!runFfmpeg({ "-f", "lavfi", "-i", "sine=frequency=440:duration=1", "-ar", QString::number(rate), "-ac", QString::number(channels), "-c:a",
            codec, "-f", "flv", path }))
        return {};
    QByteArray data;
    if (mp3)
        putU16(data, 0);
    for (const auto& p : readFlvAudio(readFile(path)))
        data.append(p.data);
    return defineBody(formatByte, std::uint32_t(rate), data);
}

void decodeAndMixOneSecond(benchmark::State& state, const QByteArray& body)
{
    if (body.isEmpty()) {
        state.SkipWithError("fixture unavailable (ffmpeg missing?)");
        return;
    }
    std::vector<std::int16_t> out(44100 * 2);
    QByteArray start;
    putU16(start, 1);
    putU8(start, 0);
    for (auto _ : state) {
        SoundMixer m;
        m.defineSound(body);
        m.controlTag(1, 15, start, 1);
        m.mix(out.data(), 44100);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetLabel("per second of 44.1 kHz stereo sound");
}

void BM_Pcm(benchmark::State& state)
{
    static const QByteArray body = defineBody(0x3f, 44100, pcm16(sineWave(440, 44100, 44100, 2, 10000)));
    decodeAndMixOneSecond(state, body);
}

void BM_Adpcm(benchmark::State& state)
{
    static const QByteArray body = defineBody(0x1f, 44100, encodeAdpcm(sineWave(440, 44100, 44100, 2, 10000), 2, 4).data);
    decodeAndMixOneSecond(state, body);
}

void BM_Mp3(benchmark::State& state)
{
    static const QByteArray body = ffmpegSound("libmp3lame", 44100, 2, 0x2f, true);
    decodeAndMixOneSecond(state, body);
}

void BM_Nellymoser(benchmark::State& state)
{
    // Mono only; 44.1 kHz is its highest rate.
    static const QByteArray body = ffmpegSound("nellymoser", 44100, 1, 0x6e, false);
    decodeAndMixOneSecond(state, body);
}

// Mixing alone: eight already-decoded voices at 22 kHz, one second of output.
void BM_MixEightVoices(benchmark::State& state)
{
    SoundMixer m;
    m.defineSound(defineBody(0x3b, 22050 * 10, pcm16(sineWave(440, 22050, 22050 * 10, 2, 3000))));
    QByteArray start;
    putU16(start, 1);
    putU8(start, 0x04); // loops
    putU16(start, 65535);
    for (int i = 0; i < 8; ++i)
        m.controlTag(1, 15, start, 1);
    std::vector<std::int16_t> out(44100 * 2);
    for (auto _ : state) {
        m.mix(out.data(), 44100);
        benchmark::DoNotOptimize(out.data());
    }
}

} // namespace

BENCHMARK(BM_Pcm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Adpcm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mp3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Nellymoser)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MixEightVoices)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
