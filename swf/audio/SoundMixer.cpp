#include "swf/audio/SoundMixer.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

constexpr int TagStartSound = 15;
constexpr int TagSoundStreamHead = 18;
constexpr int TagSoundStreamBlock = 19;
constexpr int TagSoundStreamHead2 = 45;
constexpr int TagStartSound2 = 89;

// How long a record of played stream blocks is kept for streamFrameAt.
constexpr std::int64_t HeardHistoryFrames = SoundMixer::OutputRate * 20;

// Envelope level (0..32768) for each channel at `pos44`: linear between
// points, flat before the first and after the last.
void envelopeAt(const std::vector<SoundEnvelopePoint>& env, std::int64_t pos44, int& left, int& right)
{
    if (env.empty()) {
        left = right = 32768;
        return;
    }
    if (pos44 <= std::int64_t(env.front().pos44)) {
        left = env.front().leftLevel;
        right = env.front().rightLevel;
        return;
    }
    for (std::size_t i = 1; i < env.size(); ++i) {
        const auto& a = env[i - 1];
        const auto& b = env[i];
        if (pos44 < std::int64_t(b.pos44)) {
            const double span = double(b.pos44) - double(a.pos44);
            const double t = span > 0 ? double(pos44 - std::int64_t(a.pos44)) / span : 1.0;
            left = int(std::lround(a.leftLevel + (double(b.leftLevel) - a.leftLevel) * t));
            right = int(std::lround(a.rightLevel + (double(b.rightLevel) - a.rightLevel) * t));
            return;
        }
    }
    left = env.back().leftLevel;
    right = env.back().rightLevel;
}

} // namespace

struct SoundMixer::Voice {
    std::uint16_t soundId = 0;
    std::shared_ptr<const DecodedSound> sound;
    SoundInfo info;
    double step = 1;      // source frames per output frame
    double startPos = 0;  // source frame where each pass begins (in point)
    double endPos = 0;    // source frame where each pass ends (out point or the end)
    std::int64_t t = 0;   // output frames into the current pass
    int loopsLeft = 1;    // passes still to play, this one included
    std::uintptr_t owner = 0; // the timeline that started it (0: a button or the movie)
    std::uint64_t serial = 0;
};

struct SoundMixer::Stream {
    SoundStreamHeadRecord head;
    std::unique_ptr<SoundDecoder> decoder;
    std::uint64_t order = 0;
    int lastFrame = -1;
    bool startPending = true; // the next block opens a run: honour its MP3 seek

    // Streaming linear resampler to the output rate.
    double t = 0;             // next output position, in source frames after `prev`
    bool havePrev = false;
    std::int16_t prev[2] = { 0, 0 };

    std::deque<std::int16_t> queue; // output frames, left and right
    struct Block {
        int frame;
        std::int64_t frames;  // output frames of this block still queued
        bool started = false; // its first frame has been mixed
    };
    std::deque<Block> blocks;

    void resetRun()
    {
        if (decoder)
            decoder->reset();
        queue.clear();
        blocks.clear();
        havePrev = false;
        t = 0;
        startPending = true;
    }

    // Converts decoded source frames to output frames appended to the queue.
    std::int64_t resample(const std::vector<std::int16_t>& src, int channels, double rate)
    {
        const double step = rate / SoundMixer::OutputRate;
        std::int64_t made = 0;
        const std::size_t n = src.size() / std::size_t(channels);
        for (std::size_t i = 0; i < n; ++i) {
            std::int16_t cur[2];
            cur[0] = src[i * std::size_t(channels)];
            cur[1] = channels == 2 ? src[i * std::size_t(channels) + 1] : cur[0];
            if (!havePrev) {
                // The very first source frame sits at position 0.
                prev[0] = cur[0];
                prev[1] = cur[1];
                havePrev = true;
                while (t <= 0) {
                    queue.push_back(cur[0]);
                    queue.push_back(cur[1]);
                    ++made;
                    t += step;
                }
                continue;
            }
            while (t <= 1) {
                for (int c = 0; c < 2; ++c)
                    queue.push_back(std::int16_t(std::lround(prev[c] + (cur[c] - prev[c]) * t)));
                ++made;
                t += step;
            }
            t -= 1;
            prev[0] = cur[0];
            prev[1] = cur[1];
        }
        return made;
    }
};

SoundMixer::SoundMixer() = default;
SoundMixer::~SoundMixer() = default;

void SoundMixer::problem(const QString& text)
{
    m_lastProblem = text;
}

template<typename Record>
bool SoundMixer::acceptLocked(const Result<Record>& record)
{
    if (!record)
        problem(record.error().detail);
    return record.ok();
}

QString SoundMixer::lastProblem() const
{
    std::lock_guard lock(m_mutex);
    return m_lastProblem;
}

void SoundMixer::defineSound(const QByteArray& body)
{
    auto rec = readDefineSound(body);
    std::lock_guard lock(m_mutex);
    if (!acceptLocked(rec))
        return;
    const std::uint16_t id = rec.value().soundId;
    m_decoded.erase(id);
    m_definitions[id] = rec.release();
}

void SoundMixer::defineSamples(std::uint16_t soundId, double rate, int channels, std::vector<std::int16_t> samples)
{
    auto sound = std::make_shared<DecodedSound>();
    // Anything but mono or stereo at a usable rate is kept as an empty sound: it never starts.
    if ((channels == 1 || channels == 2) && std::isfinite(rate) && rate > 0 && rate <= 192000) {
        sound->rate = rate;
        sound->channels = channels;
        sound->samples = std::move(samples);
        sound->samples.resize(sound->samples.size() / std::size_t(channels) * std::size_t(channels));
    } else {
        sound->samples.clear();
    }
    std::lock_guard lock(m_mutex);
    m_definitions.erase(soundId);
    m_decoded[soundId] = std::move(sound);
}

void SoundMixer::defineButtonSound(const QByteArray& body)
{
    auto rec = readDefineButtonSound(body);
    std::lock_guard lock(m_mutex);
    if (!acceptLocked(rec))
        return;
    m_buttonSounds[rec.value().buttonId] = rec.release();
}

void SoundMixer::exportSound(const QString& className, std::uint16_t soundId)
{
    std::lock_guard lock(m_mutex);
    m_exports.insert(className, soundId);
}

void SoundMixer::exportNames(const std::vector<ExportedName>& names)
{
    std::lock_guard lock(m_mutex);
    for (const ExportedName& exported : names)
        m_exports.insert(exported.name, exported.characterId);
}

void SoundMixer::setSuspended(bool suspended)
{
    std::lock_guard lock(m_mutex);
    m_suspended = suspended;
}

void SoundMixer::controlTag(std::uintptr_t timeline, int tagCode, const QByteArray& body, int frame)
{
    std::lock_guard lock(m_mutex);
    if (m_suspended)
        return;
    switch (tagCode) {
    case TagStartSound:
    case TagStartSound2: {
        auto rec = readStartSound(body, tagCode);
        if (!acceptLocked(rec))
            return;
        std::uint16_t id = rec.value().soundId;
        if (tagCode == TagStartSound2) {
            const auto it = m_exports.constFind(rec.value().className);
            if (it == m_exports.constEnd()) {
                problem(QStringLiteral("no sound exported as %1").arg(rec.value().className));
                return;
            }
            id = it.value();
        }
        startSoundLocked(id, rec.value().info, timeline);
        return;
    }
    case TagSoundStreamHead:
    case TagSoundStreamHead2:
        streamHeadLocked(timeline, body);
        return;
    case TagSoundStreamBlock:
        streamBlockLocked(timeline, body, frame);
        return;
    default:
        return;
    }
}

void SoundMixer::timelineRemoved(std::uintptr_t timeline)
{
    std::lock_guard lock(m_mutex);
    m_streams.erase(timeline);
    // A new timeline may come to live at the same address: it starts at full volume.
    m_transforms.erase(timeline);
}

void SoundMixer::buttonSound(std::uint16_t buttonId, int transition)
{
    std::lock_guard lock(m_mutex);
    if (m_suspended || transition < 0 || transition > 3)
        return;
    const auto it = m_buttonSounds.find(buttonId);
    if (it == m_buttonSounds.end() || it->second.soundId[transition] == 0)
        return;
    startSoundLocked(it->second.soundId[transition], it->second.info[transition]);
}

void SoundMixer::stopAll()
{
    std::lock_guard lock(m_mutex);
    m_voices.clear();
    m_streams.clear();
    m_heard.clear();
}

void SoundMixer::startSound(std::uint16_t soundId, const SoundInfo& info)
{
    std::lock_guard lock(m_mutex);
    startSoundLocked(soundId, info);
}

std::shared_ptr<const DecodedSound> SoundMixer::decodedSoundLocked(std::uint16_t soundId)
{
    if (const auto it = m_decoded.find(soundId); it != m_decoded.end())
        return it->second;
    const auto def = m_definitions.find(soundId);
    if (def == m_definitions.end())
        return nullptr;
    const auto maxFrames = std::int64_t(std::ceil(def->second.format.rate)) * MaxSoundSeconds;
    auto decoded = decodeDefinedSound(def->second, maxFrames);
    if (!decoded) {
        problem(decoded.error().detail);
        // Remember the failure as an empty sound so it is not retried on every start.
        m_decoded[soundId] = std::make_shared<DecodedSound>();
        return m_decoded[soundId];
    }
    auto shared = std::make_shared<const DecodedSound>(decoded.release());
    m_decoded[soundId] = shared;
    return shared;
}

SoundMixer::Voice* SoundMixer::startSoundLocked(std::uint16_t soundId, const SoundInfo& info, std::uintptr_t owner)
{
    if (info.syncStop) {
        std::erase_if(m_voices, [&](const auto& v) { return v->soundId == soundId; });
        return nullptr;
    }
    if (info.noMultiple && std::any_of(m_voices.begin(), m_voices.end(), [&](const auto& v) { return v->soundId == soundId; }))
        return nullptr;
    auto sound = decodedSoundLocked(soundId);
    if (!sound || sound->frames() == 0 || sound->rate <= 0)
        return nullptr;
    auto v = std::make_unique<Voice>();
    v->soundId = soundId;
    v->sound = sound;
    v->info = info;
    v->step = sound->rate / OutputRate;
    const double toSource = sound->rate / OutputRate;
    v->startPos = info.hasInPoint ? info.inPoint * toSource : 0.0;
    v->endPos = double(sound->frames());
    if (info.hasOutPoint)
        v->endPos = std::min(v->endPos, info.outPoint * toSource);
    if (v->startPos >= v->endPos)
        return nullptr;
    v->loopsLeft = std::max<int>(1, info.loopCount);
    v->owner = owner;
    v->serial = ++m_voiceSerial;
    if (int(m_voices.size()) >= MaxVoices)
        m_voices.erase(m_voices.begin());
    m_voices.push_back(std::move(v));
    return m_voices.back().get();
}

std::uint64_t SoundMixer::startScriptSound(std::uintptr_t owner, std::uint16_t soundId, double offsetSeconds, int loops)
{
    std::lock_guard lock(m_mutex);
    auto sound = decodedSoundLocked(soundId);
    if (!sound || sound->frames() == 0 || sound->rate <= 0)
        return 0;
    SoundInfo info;
    Voice* v = startSoundLocked(soundId, info, owner);
    if (!v)
        return 0;
    if (std::isfinite(offsetSeconds) && offsetSeconds > 0)
        v->startPos = std::min(offsetSeconds * sound->rate, double(sound->frames()));
    // Scripts may ask for any number of passes; a million is as good as forever.
    v->loopsLeft = std::clamp(loops, 1, 1 << 20);
    if (v->startPos >= v->endPos) {
        std::erase_if(m_voices, [&](const auto& voice) { return voice.get() == v; });
        return 0;
    }
    return v->serial;
}

void SoundMixer::stopSounds(std::uintptr_t owner, std::uint16_t soundId)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_voices, [&](const auto& v) { return (owner == 0 || v->owner == owner) && (soundId == 0 || v->soundId == soundId); });
}

void SoundMixer::setSoundTransform(std::uintptr_t owner, const SoundTransform& transform)
{
    std::lock_guard lock(m_mutex);
    if (transform == SoundTransform {})
        m_transforms.erase(owner);
    else
        m_transforms[owner] = transform;
}

double SoundMixer::soundDurationMs(std::uint16_t soundId)
{
    std::lock_guard lock(m_mutex);
    auto sound = decodedSoundLocked(soundId);
    if (!sound || sound->rate <= 0)
        return 0;
    return double(sound->frames()) * 1000 / sound->rate;
}

double SoundMixer::soundPositionMs(std::uint64_t handle) const
{
    std::lock_guard lock(m_mutex);
    for (const auto& v : m_voices) {
        if (v->serial == handle && v->loopsLeft > 0) {
            const double pos = std::min(v->startPos + double(v->t) * v->step, v->endPos);
            return pos * 1000 / v->sound->rate;
        }
    }
    return -1;
}

void SoundMixer::channelMatrixLocked(std::uintptr_t owner, double m[4]) const
{
    // m = { left→left, right→left, left→right, right→right }: the owner's own, then the movie's.
    m[0] = 1; m[1] = 0; m[2] = 0; m[3] = 1;
    auto apply = [&](const SoundTransform& t) {
        const double v = t.volume / 100;
        const double a[4] = { t.ll / 100 * v, t.rl / 100 * v, t.lr / 100 * v, t.rr / 100 * v };
        const double r[4] = { a[0] * m[0] + a[1] * m[2], a[0] * m[1] + a[1] * m[3], a[2] * m[0] + a[3] * m[2], a[2] * m[1] + a[3] * m[3] };
        std::copy(r, r + 4, m);
    };
    if (owner != 0)
        if (const auto it = m_transforms.find(owner); it != m_transforms.end())
            apply(it->second);
    if (const auto it = m_transforms.find(0); it != m_transforms.end())
        apply(it->second);
}

void SoundMixer::streamHeadLocked(std::uintptr_t timeline, const QByteArray& body)
{
    auto rec = readSoundStreamHead(body);
    if (!acceptLocked(rec))
        return;
    const SoundStreamHeadRecord& head = rec.value();
    auto& slot = m_streams[timeline];
    // A timeline looping back to its head frame meets the same head again;
    // the stream carries on rather than cutting off what is queued.
    if (slot && slot->head.stream.codec == head.stream.codec && slot->head.stream.rate == head.stream.rate
        && slot->head.stream.stereo == head.stream.stereo && slot->head.stream.sixteenBit == head.stream.sixteenBit) {
        slot->head = head;
        return;
    }
    auto decoder = createSoundDecoder(head.stream);
    if (!decoder) {
        problem(decoder.error().detail);
        m_streams.erase(timeline);
        return;
    }
    auto s = std::make_unique<Stream>();
    s->head = head;
    s->decoder = decoder.release();
    s->order = ++m_streamOrder;
    slot = std::move(s);
}

void SoundMixer::streamBlockLocked(std::uintptr_t timeline, const QByteArray& body, int frame)
{
    const auto it = m_streams.find(timeline);
    if (it == m_streams.end())
        return; // a block without a head has nothing to say how it is coded
    Stream& s = *it->second;
    if (frame == s.lastFrame)
        return; // the same frame run again (held): its block already plays
    if (s.lastFrame >= 0 && frame != s.lastFrame + 1) {
        // The timeline jumped: what is queued belongs to frames no longer shown.
        s.resetRun();
        if (isPacingLocked(s)) {
            // The block being played is cut short; the clock must not claim
            // it goes on.
            for (auto& h : m_heard)
                h.length = std::max<std::int64_t>(0, std::min(h.length, m_framesMixed - h.start));
            std::erase_if(m_heard, [](const Heard& h) { return h.length == 0; });
        }
    }
    s.lastFrame = frame;
    auto rec = readSoundStreamBlock(body, s.head.stream.codec);
    if (!acceptLocked(rec))
        return;
    if (s.startPending) {
        if (s.head.stream.codec == SoundCodec::Mp3)
            s.decoder->skip(rec.value().seekSamples);
        s.startPending = false;
    }
    s.decoder->feed(rec.value().data);
    std::vector<std::int16_t> decoded;
    std::int64_t made = 0;
    while (true) {
        decoded.clear();
        const int got = s.decoder->decode(4096, decoded);
        if (got <= 0)
            break;
        made += s.resample(decoded, s.decoder->channels(), s.decoder->sampleRate());
    }
    if (made > 0)
        s.blocks.push_back({ frame, made });
    // Nobody is pulling sound (no device): keep only the newest audio.
    std::int64_t excess = std::int64_t(s.queue.size() / 2) - MaxQueuedFrames;
    while (excess > 0 && !s.blocks.empty()) {
        auto& b = s.blocks.front();
        const std::int64_t drop = std::min(excess, b.frames);
        s.queue.erase(s.queue.begin(), s.queue.begin() + drop * 2);
        b.frames -= drop;
        excess -= drop;
        if (b.frames == 0)
            s.blocks.pop_front();
    }
}

bool SoundMixer::isPacingLocked(const Stream& stream) const
{
    return std::none_of(m_streams.begin(), m_streams.end(), [&](const auto& s) { return s.second->order < stream.order; });
}

namespace {

// Adds one stereo frame to the mix through a channel matrix.
inline void addFrame(std::int32_t* at, int left, int right, const double* m, bool identity)
{
    if (identity) {
        at[0] += left;
        at[1] += right;
        return;
    }
    at[0] += std::int32_t(std::lround(m[0] * left + m[1] * right));
    at[1] += std::int32_t(std::lround(m[2] * left + m[3] * right));
}

bool isIdentity(const double* m)
{
    return m[0] == 1 && m[1] == 0 && m[2] == 0 && m[3] == 1;
}

} // namespace

void SoundMixer::mixVoice(Voice& v, std::int32_t* acc, int frames)
{
    double matrix[4];
    channelMatrixLocked(v.owner, matrix);
    const bool identity = isIdentity(matrix);
    const DecodedSound& snd = *v.sound;
    const int ch = snd.channels;
    const std::int64_t last = snd.frames() - 1;
    const std::int64_t in44 = v.info.hasInPoint ? std::int64_t(v.info.inPoint) : 0;
    for (int i = 0; i < frames && v.loopsLeft > 0; ++i) {
        const double pos = v.startPos + double(v.t) * v.step;
        if (pos >= v.endPos) {
            --v.loopsLeft;
            v.t = 0;
            --i;
            continue;
        }
        const std::int64_t i0 = std::int64_t(pos);
        const std::int64_t i1 = std::min(i0 + 1, last);
        const double frac = pos - double(i0);
        int sample[2];
        for (int c = 0; c < 2; ++c) {
            const int cc = ch == 2 ? c : 0;
            const int a = snd.samples[std::size_t(i0 * ch + cc)];
            const int b = snd.samples[std::size_t(i1 * ch + cc)];
            sample[c] = frac == 0 ? a : int(std::lround(a + (b - a) * frac));
        }
        if (!v.info.envelope.empty()) {
            int l = 32768, r = 32768;
            envelopeAt(v.info.envelope, in44 + v.t, l, r);
            sample[0] = int((std::int64_t(sample[0]) * l) / 32768);
            sample[1] = int((std::int64_t(sample[1]) * r) / 32768);
        }
        addFrame(acc + 2 * i, sample[0], sample[1], matrix, identity);
        ++v.t;
    }
}

void SoundMixer::mixStream(Stream& s, std::int32_t* acc, int frames, bool pacing, std::uintptr_t owner)
{
    double matrix[4];
    channelMatrixLocked(owner, matrix);
    const bool identity = isIdentity(matrix);
    for (int i = 0; i < frames && !s.blocks.empty(); ++i) {
        auto& b = s.blocks.front();
        if (!b.started) {
            b.started = true;
            if (pacing) {
                m_heard.push_back({ m_framesMixed + i, b.frames, b.frame });
                while (!m_heard.empty() && m_heard.front().start + m_heard.front().length < m_framesMixed - HeardHistoryFrames)
                    m_heard.pop_front();
            }
        }
        const int left = s.queue.front();
        s.queue.pop_front();
        const int right = s.queue.front();
        s.queue.pop_front();
        addFrame(acc + 2 * i, left, right, matrix, identity);
        if (--b.frames == 0)
            s.blocks.pop_front();
    }
}

void SoundMixer::mix(std::int16_t* out, int frames)
{
    if (frames <= 0)
        return;
    std::lock_guard lock(m_mutex);
    m_acc.assign(std::size_t(frames) * 2, 0);
    for (auto& v : m_voices)
        mixVoice(*v, m_acc.data(), frames);
    std::erase_if(m_voices, [](const auto& v) { return v->loopsLeft <= 0; });
    for (auto& [timeline, s] : m_streams)
        mixStream(*s, m_acc.data(), frames, isPacingLocked(*s), timeline);
    for (int i = 0; i < frames * 2; ++i)
        out[i] = std::int16_t(std::clamp(m_acc[std::size_t(i)], -32768, 32767));
    m_framesMixed += frames;
}

std::int64_t SoundMixer::framesMixed() const
{
    std::lock_guard lock(m_mutex);
    return m_framesMixed;
}

std::optional<double> SoundMixer::streamFrameAt(std::int64_t outputFrame) const
{
    std::lock_guard lock(m_mutex);
    // Newest first: the common question is about the last few blocks.
    for (auto it = m_heard.rbegin(); it != m_heard.rend(); ++it) {
        if (outputFrame >= it->start + it->length)
            return std::nullopt; // after this block ended and before the next began: starved
        if (outputFrame >= it->start)
            return it->frame + double(outputFrame - it->start) / double(it->length);
    }
    return std::nullopt;
}

int SoundMixer::activeVoices() const
{
    std::lock_guard lock(m_mutex);
    return int(m_voices.size());
}

bool SoundMixer::streamPlaying() const
{
    std::lock_guard lock(m_mutex);
    return std::any_of(m_streams.begin(), m_streams.end(), [](const auto& s) { return !s.second->blocks.empty(); });
}

} // namespace swf
