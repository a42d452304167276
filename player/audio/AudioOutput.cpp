#include "player/audio/AudioOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>

namespace player {

// The device reads from this; every read mixes exactly what was asked for.
class AudioOutput::Pull final : public QIODevice {
public:
    explicit Pull(AudioSource& source) : m_source(source) { }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 1 << 20; } // the movie never runs dry: silence is sound too

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const int frames = int(std::min<qint64>(maxSize / 4, 1 << 16));
        if (frames <= 0)
            return 0;
        m_source.mix(reinterpret_cast<std::int16_t*>(data), frames);
        return qint64(frames) * 4;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    AudioSource& m_source;
};

AudioOutput::AudioOutput(AudioSource& source, int sampleRate, QObject* parent)
    : QObject(parent), m_source(source), m_sampleRate(sampleRate), m_pull(std::make_unique<Pull>(source))
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
    format.setSampleRate(m_sampleRate);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format))
        return false;
    m_sink = new QAudioSink(device, format, this);
    // A short buffer keeps what is heard close to what was mixed, which is
    // what the frame pacing relies on. 50 ms.
    m_sink->setBufferSize(m_sampleRate / 20 * 4);
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
    return m_source.framesMixed() - buffered;
}

} // namespace player

// The module's entry: the player resolves it by name after opening the module.
extern "C" Q_DECL_EXPORT player::AudioDevice* vantrel_create_audio_device(player::AudioSource* source, int sampleRate)
{
    return new player::AudioOutput(*source, sampleRate);
}
