#pragma once

// Helpers shared by the audio tests and benchmark: an independent encoder and
// decoder (the ffmpeg command) for fixtures, small readers for the FLV and
// movie containers ffmpeg writes, and sample comparison.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace audiotest {

bool haveFfmpeg();
// Runs ffmpeg quietly with `args`; returns its standard output, or nothing if it failed.
std::optional<QByteArray> runFfmpeg(const QStringList& args);
// A fresh path in a per-process temporary folder.
QString tempPath(const QString& name);
QByteArray readFile(const QString& path);

// One audio tag of an FLV file: its format byte (laid out as in a movie's
// sound format byte) and its data.
struct FlvAudio {
    std::uint8_t formatByte = 0;
    QByteArray data;
};
std::vector<FlvAudio> readFlvAudio(const QByteArray& flv);

struct MovieTag {
    int code = 0;
    QByteArray body;
};
// Tags of an uncompressed movie (FWS), in file order.
std::vector<MovieTag> readMovieTags(const QByteArray& movie, double* frameRate = nullptr);

std::vector<std::int16_t> samplesFromS16le(const QByteArray& bytes);
std::vector<std::int16_t> sineWave(double frequency, double rate, int frames, int channels, double amplitude);

struct Difference {
    int maxAbs = 0;
    double rms = 0;
    std::size_t compared = 0;
};
// Compares a[i + offsetA] with b[i] over the common length.
Difference compareSamples(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b, std::size_t offsetA = 0);

// Little-endian pieces for hand-built tag bodies.
void putU8(QByteArray& b, int v);
void putU16(QByteArray& b, int v);
void putU32(QByteArray& b, std::uint32_t v);
QByteArray pcm16(const std::vector<std::int16_t>& samples);

} // namespace audiotest
