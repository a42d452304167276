#pragma once

// Plays a movie's sound through the default audio device (Qt Multimedia,
// pull mode: the device asks for sound as it needs it, and the movie mixes
// it). With no device, or a device that fails, playback is silent: never an
// error for the user.

#include <QObject>

#include <cstdint>
#include <memory>
#include <optional>

class QAudioSink;

namespace swf {
class Playback;
}

namespace player {

class AudioOutput : public QObject {
    Q_OBJECT
public:
    explicit AudioOutput(swf::Playback& movie, QObject* parent = nullptr);
    ~AudioOutput() override;

    // Opens the default output device and starts pulling. Returns false (and
    // stays silent) when there is no device.
    bool start();
    void stop();
    bool isActive() const;

    // Output frames the listener has heard: what the movie gave the device,
    // less what still waits in the device's buffer. Empty when silent.
    std::optional<std::int64_t> framesPlayed() const;

private:
    class Pull;
    swf::Playback& m_movie;
    std::unique_ptr<Pull> m_pull;
    QAudioSink* m_sink = nullptr;
};

} // namespace player
