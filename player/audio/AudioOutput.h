#pragma once

// Plays a movie's sound through the default audio device (Qt Multimedia,
// pull mode: the device asks for sound as it needs it, and the source mixes
// it). Built into the libvantrel-audio module, reached through AudioDevice.

#include "player/audio/AudioDevice.h"

#include <QObject>

#include <memory>

class QAudioSink;

namespace player {

class AudioOutput final : public QObject, public AudioDevice {
    Q_OBJECT
public:
    AudioOutput(AudioSource& source, int sampleRate, QObject* parent = nullptr);
    ~AudioOutput() override;

    bool start() override;
    void stop() override;
    bool isActive() const override;
    std::optional<std::int64_t> framesPlayed() const override;

private:
    class Pull;
    AudioSource& m_source;
    int m_sampleRate;
    std::unique_ptr<Pull> m_pull;
    QAudioSink* m_sink = nullptr;
};

} // namespace player
