#pragma once

// The movie's mixer seen as the sound device's source: the device pulls
// samples straight from the engine's mixer and asks how many it has handed out.

#include "player/audio/AudioDevice.h"
#include "swf/Playback.h"

namespace player {

class MovieSound final : public AudioSource {
public:
    explicit MovieSound(swf::Playback& movie) : m_movie(movie) { }
    void mix(std::int16_t* out, int frames) override { m_movie.mixAudio(out, frames); }
    std::int64_t framesMixed() const override { return m_movie.audioFramesMixed(); }

private:
    swf::Playback& m_movie;
};

} // namespace player
