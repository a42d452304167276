#include "support/AudioTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>

namespace audiotest {

bool haveFfmpeg()
{
    static const bool found = !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty();
    return found;
}

std::optional<QByteArray> runFfmpeg(const QStringList& args)
{
    if (!haveFfmpeg())
        return std::nullopt;
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QStringLiteral("ffmpeg"), QStringList { "-hide_banner", "-loglevel", "error", "-nostdin", "-y" } + args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return std::nullopt;
    return p.readAllStandardOutput();
}

QString tempPath(const QString& name)
{
    static QTemporaryDir dir;
    return dir.filePath(name);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

static std::uint32_t be(const QByteArray& b, qsizetype pos, int bytes)
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | std::uint8_t(b[pos + i]);
    return v;
}

std::vector<FlvAudio> readFlvAudio(const QByteArray& flv)
{
    std::vector<FlvAudio> out;
    if (flv.size() < 13 || !flv.startsWith("FLV"))
        return out;
    qsizetype pos = qsizetype(be(flv, 5, 4)) + 4; // header, then the first previous-tag size
    while (pos + 11 <= flv.size()) {
        const int type = std::uint8_t(flv[pos]) & 0x1f;
        const qsizetype size = be(flv, pos + 1, 3);
        const qsizetype data = pos + 11;
        if (data + size > flv.size())
            break;
        if (type == 8 && size >= 1) {
            FlvAudio a;
            a.formatByte = std::uint8_t(flv[data]);
            a.data = flv.mid(data + 1, size - 1);
            out.push_back(a);
        }
        pos = data + size + 4;
    }
    return out;
}

std::vector<MovieTag> readMovieTags(const QByteArray& movie, double* frameRate)
{
    std::vector<MovieTag> out;
    if (movie.size() < 9 || !movie.startsWith("FWS"))
        return out;
    const int nbits = std::uint8_t(movie[8]) >> 3;
    qsizetype pos = 8 + (5 + 4 * nbits + 7) / 8;
    if (pos + 4 > movie.size())
        return out;
    if (frameRate)
        *frameRate = std::uint8_t(movie[pos + 1]) + std::uint8_t(movie[pos]) / 256.0;
    pos += 4;
    while (pos + 2 <= movie.size()) {
        const int codeLen = std::uint8_t(movie[pos]) | (std::uint8_t(movie[pos + 1]) << 8);
        pos += 2;
        qsizetype len = codeLen & 0x3f;
        if (len == 0x3f) {
            if (pos + 4 > movie.size())
                break;
            len = qsizetype(std::uint8_t(movie[pos]) | (std::uint8_t(movie[pos + 1]) << 8) | (std::uint8_t(movie[pos + 2]) << 16)
                | (std::uint32_t(std::uint8_t(movie[pos + 3])) << 24));
            pos += 4;
        }
        if (pos + len > movie.size())
            break;
        out.push_back({ codeLen >> 6, movie.mid(pos, len) });
        pos += len;
        if ((codeLen >> 6) == 0)
            break;
    }
    return out;
}

std::vector<std::int16_t> samplesFromS16le(const QByteArray& bytes)
{
    std::vector<std::int16_t> s(std::size_t(bytes.size() / 2));
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = std::int16_t(std::uint8_t(bytes[qsizetype(2 * i)]) | (std::uint8_t(bytes[qsizetype(2 * i + 1)]) << 8));
    return s;
}

std::vector<std::int16_t> sineWave(double frequency, double rate, int frames, int channels, double amplitude)
{
    std::vector<std::int16_t> s;
    s.reserve(std::size_t(frames) * std::size_t(channels));
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            // The right channel plays a fifth above, so a channel swap shows.
            const double f = c == 0 ? frequency : frequency * 1.5;
            s.push_back(std::int16_t(std::lround(amplitude * std::sin(2 * M_PI * f * i / rate))));
        }
    }
    return s;
}

Difference compareSamples(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b, std::size_t offsetA)
{
    Difference d;
    if (offsetA >= a.size())
        return d;
    const std::size_t n = std::min(a.size() - offsetA, b.size());
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int diff = std::abs(int(a[i + offsetA]) - int(b[i]));
        d.maxAbs = std::max(d.maxAbs, diff);
        sum += double(diff) * diff;
    }
    d.compared = n;
    d.rms = n ? std::sqrt(sum / double(n)) : 0;
    return d;
}

void putU8(QByteArray& b, int v)
{
    b.append(char(v & 0xff));
}

void putU16(QByteArray& b, int v)
{
    b.append(char(v & 0xff));
    b.append(char((v >> 8) & 0xff));
}

void putU32(QByteArray& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xff));
}

QByteArray pcm16(const std::vector<std::int16_t>& samples)
{
    QByteArray b;
    b.reserve(qsizetype(samples.size() * 2));
    for (const auto s : samples)
        putU16(b, s);
    return b;
}

} // namespace audiotest
