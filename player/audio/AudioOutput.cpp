#include "player/audio/AudioOutput.h"

#include "swf/Playback.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>

namespace player {

// The device reads from this; every read mixes exactly what was asked for.
class AudioOutput::Pull final : public QIODevice {
public:
    explicit Pull(swf::Playback& movie) : m_movie(movie) { }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 1 << 20; } // the movie never runs dry: silence is sound too

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const int frames = int(std::min<qint64>(maxSize / 4, 1 << 16));
        if (frames <= 0)
            return 0;
        m_movie.mixAudio(reinterpret_cast<std::int16_t*>(data), frames);
        return qint64(frames) * 4;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    swf::Playback& m_movie;
};

AudioOutput::AudioOutput(swf::Playback& movie, QObject* parent)
    : QObject(parent), m_movie(movie), m_pull(std::make_unique<Pull>(movie))
{
}

AudioOutput::~AudioOutput()
{
    stop();
}

bool AudioOutput::start()
{
    if (m_sink)
        return isActive();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return false;
    QAudioFormat format;
    format.setSampleRate(swf::Playback::AudioRate);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format))
        return false;
    m_sink = new QAudioSink(device, format, this);
    // A short buffer keeps what is heard close to what was mixed, which is
    // what the frame pacing relies on. 50 ms.
    m_sink->setBufferSize(swf::Playback::AudioRate / 20 * 4);
    m_pull->open(QIODevice::ReadOnly);
    m_sink->start(m_pull.get());
    if (m_sink->error() != QAudio::NoError) {
        stop();
        return false;
    }
    return true;
}

void AudioOutput::stop()
{
    if (m_sink) {
        m_sink->stop();
        delete m_sink;
        m_sink = nullptr;
    }
    if (m_pull->isOpen())
        m_pull->close();
}

bool AudioOutput::isActive() const
{
    return m_sink && m_sink->error() == QAudio::NoError && m_sink->state() != QAudio::StoppedState;
}

std::optional<std::int64_t> AudioOutput::framesPlayed() const
{
    if (!isActive())
        return std::nullopt;
    const qint64 buffered = std::max<qint64>(0, m_sink->bufferSize() - m_sink->bytesFree()) / 4;
    return m_movie.audioFramesMixed() - buffered;
}

} // namespace player
