#pragma once

// The audio side of a running movie: it receives the timeline's sound tags
// through SoundSink, decodes and mixes event sounds and one stream per
// timeline, and hands out 44.1 kHz stereo 16-bit frames on demand. The number
// of frames mixed so far is the movie's audio clock.

#include "swf/audio/SoundDecoder.h"
#include "swf/format/Exports.h"
#include "swf/format/Sound.h"
#include "swf/runtime/SoundSink.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace swf {

class SoundMixer final : public SoundSink {
public:
    static constexpr int OutputRate = 44100;
    static constexpr int MaxVoices = 32;
    // A defined sound longer than this (at its own rate) is cut when decoded.
    static constexpr std::int64_t MaxSoundSeconds = 600;
    // Stream audio queued ahead of the output beyond this is dropped, oldest
    // first, so a timeline run without anyone pulling sound stays bounded.
    static constexpr std::int64_t MaxQueuedFrames = OutputRate * 10;

    SoundMixer();
    ~SoundMixer() override;

    // SoundSink.
    void defineSound(const QByteArray& body) override;
    void defineSamples(std::uint16_t soundId, double rate, int channels, std::vector<std::int16_t> samples) override;
    void defineButtonSound(const QByteArray& body) override;
    void controlTag(std::uintptr_t timeline, int tagCode, const QByteArray& body, int frame) override;
    void timelineRemoved(std::uintptr_t timeline) override;
    void buttonSound(std::uint16_t buttonId, int transition) override;
    void stopAll() override;
    std::uint64_t startScriptSound(std::uintptr_t owner, std::uint16_t soundId, double offsetSeconds, int loops) override;
    void stopSounds(std::uintptr_t owner, std::uint16_t soundId) override;
    void setSoundTransform(std::uintptr_t owner, const SoundTransform& transform) override;
    double soundDurationMs(std::uint16_t soundId) override;
    double soundPositionMs(std::uint64_t handle) const override;

    // StartSound2 names its sound by the class name it was exported under.
    void exportSound(const QString& className, std::uint16_t soundId);
    // The movie's export names (Movie::exports().entries()), in file order.
    void exportNames(const std::vector<ExportedName>& names);
    // Starts (or, with syncStop, stops) a defined sound as StartSound does.
    void startSound(std::uint16_t soundId, const SoundInfo& info);
    // While suspended, control tags are ignored: stepping frame by frame is silent.
    void setSuspended(bool suspended);

    // Mixes the next `frames` output frames into `out` (2 × frames values, left first).
    void mix(std::int16_t* out, int frames);

    // The audio clock: output frames mixed since the mixer was made.
    std::int64_t framesMixed() const;
    double secondsMixed() const { return double(framesMixed()) / OutputRate; }

    // Which frame of the pacing timeline's stream was being played at output
    // position `outputFrame` (fractional: 12.5 is half-way through frame 12's
    // block). Empty when no stream sound was playing there. The pacing
    // timeline is the one whose stream started first (the root, in practice).
    std::optional<double> streamFrameAt(std::int64_t outputFrame) const;

    int activeVoices() const;
    bool streamPlaying() const; // a stream has audio queued and not yet mixed
    // Why the last sound could not play (an unsupported codec, a damaged record), for logs.
    QString lastProblem() const;

private:
    struct Voice;
    struct Stream;

    std::shared_ptr<const DecodedSound> decodedSoundLocked(std::uint16_t soundId);
    Voice* startSoundLocked(std::uint16_t soundId, const SoundInfo& info, std::uintptr_t owner = 0);
    // The 2x2 channel matrix (scaled to 1.0) for what `owner` plays.
    void channelMatrixLocked(std::uintptr_t owner, double m[4]) const;
    void streamHeadLocked(std::uintptr_t timeline, const QByteArray& body);
    void streamBlockLocked(std::uintptr_t timeline, const QByteArray& body, int frame);
    void mixVoice(Voice& voice, std::int32_t* acc, int frames);
    void mixStream(Stream& stream, std::int32_t* acc, int frames, bool pacing, std::uintptr_t owner);
    bool isPacingLocked(const Stream& stream) const;
    void problem(const QString& text);
    // True when a tag's record read; otherwise why not becomes the last problem.
    template<typename Record>
    bool acceptLocked(const Result<Record>& record);

    mutable std::mutex m_mutex;
    std::map<std::uint16_t, DefineSoundRecord> m_definitions;
    std::map<std::uint16_t, std::shared_ptr<const DecodedSound>> m_decoded;
    std::map<std::uint16_t, ButtonSoundRecord> m_buttonSounds;
    QHash<QString, std::uint16_t> m_exports;
    std::vector<std::unique_ptr<Voice>> m_voices;
    std::map<std::uintptr_t, std::unique_ptr<Stream>> m_streams;
    std::uint64_t m_streamOrder = 0;
    std::uint64_t m_voiceSerial = 0;
    std::map<std::uintptr_t, SoundTransform> m_transforms;
    std::int64_t m_framesMixed = 0;
    bool m_suspended = false;
    QString m_lastProblem;
    std::vector<std::int32_t> m_acc;

    // Where each block of the pacing stream was played: output start, length, timeline frame.
    struct Heard {
        std::int64_t start;
        std::int64_t length;
        int frame;
    };
    std::deque<Heard> m_heard;
};

} // namespace swf
