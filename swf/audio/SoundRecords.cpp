#include "swf/audio/SoundRecords.h"

namespace swf {

namespace {

// A small bounded cursor over one tag body. Offsets in errors are relative to
// the body; the caller knows where the tag sits in the movie.
class Cursor {
public:
    explicit Cursor(const QByteArray& bytes) : m_bytes(bytes) { }

    qint64 offset() const { return m_pos; }
    qint64 remaining() const { return m_bytes.size() - m_pos; }

    Result<std::uint8_t> u8(const char* what)
    {
        if (remaining() < 1)
            return truncated(what);
        return std::uint8_t(m_bytes[m_pos++]);
    }
    Result<std::uint16_t> u16(const char* what)
    {
        if (remaining() < 2)
            return truncated(what);
        const auto* p = reinterpret_cast<const std::uint8_t*>(m_bytes.constData() + m_pos);
        m_pos += 2;
        return std::uint16_t(p[0] | (p[1] << 8));
    }
    Result<std::uint32_t> u32(const char* what)
    {
        if (remaining() < 4)
            return truncated(what);
        const auto* p = reinterpret_cast<const std::uint8_t*>(m_bytes.constData() + m_pos);
        m_pos += 4;
        return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
    }
    Result<QString> string(const char* what)
    {
        const qsizetype end = m_bytes.indexOf('\0', m_pos);
        if (end < 0)
            return truncated(what);
        QString s = QString::fromUtf8(m_bytes.constData() + m_pos, end - m_pos);
        m_pos = end + 1;
        return s;
    }
    QByteArray rest()
    {
        QByteArray r = m_bytes.mid(m_pos);
        m_pos = m_bytes.size();
        return r;
    }

private:
    Error truncated(const char* what) const
    {
        return Error::at(m_pos, QStringLiteral("sound record ends inside %1").arg(QLatin1String(what)), ErrorKind::Truncated);
    }

    const QByteArray& m_bytes;
    qint64 m_pos = 0;
};

Result<SoundInfo> readSoundInfo(Cursor& c)
{
    SoundInfo info;
    const std::uint8_t flags = SWF_TRY(c.u8("sound info flags"));
    info.syncStop = flags & 0x20;
    info.noMultiple = flags & 0x10;
    const bool hasEnvelope = flags & 0x08;
    const bool hasLoops = flags & 0x04;
    info.hasOutPoint = flags & 0x02;
    info.hasInPoint = flags & 0x01;
    if (info.hasInPoint)
        info.inPoint = SWF_TRY(c.u32("in point"));
    if (info.hasOutPoint)
        info.outPoint = SWF_TRY(c.u32("out point"));
    if (hasLoops) {
        info.loopCount = SWF_TRY(c.u16("loop count"));
        // A loop count of zero still plays the sound once.
        if (info.loopCount == 0)
            info.loopCount = 1;
    }
    if (hasEnvelope) {
        const std::uint8_t points = SWF_TRY(c.u8("envelope point count"));
        // At most 255 points of 8 bytes each: bounded by the field width,
        // but check the body really holds them before reserving.
        if (c.remaining() < qint64(points) * 8)
            return Error::at(c.offset(), QStringLiteral("envelope declares more points than the record holds"), ErrorKind::Truncated);
        info.envelope.reserve(points);
        for (int i = 0; i < points; ++i) {
            SoundEnvelopePoint p;
            p.pos44 = SWF_TRY(c.u32("envelope position"));
            p.leftLevel = SWF_TRY(c.u16("envelope left level"));
            p.rightLevel = SWF_TRY(c.u16("envelope right level"));
            info.envelope.push_back(p);
        }
    }
    return info;
}

} // namespace

bool SoundFormat::isKnownCodec() const
{
    switch (codec) {
    case SoundCodec::PcmNative:
    case SoundCodec::Adpcm:
    case SoundCodec::Mp3:
    case SoundCodec::PcmLittle:
    case SoundCodec::Nellymoser16k:
    case SoundCodec::Nellymoser8k:
    case SoundCodec::Nellymoser:
    case SoundCodec::Speex:
        return true;
    }
    return false;
}

double soundRateFromCode(unsigned code)
{
    static const double rates[4] = { 5512.5, 11025, 22050, 44100 };
    return rates[code & 3];
}

SoundFormat soundFormatFromByte(std::uint8_t byte)
{
    SoundFormat f;
    f.codec = SoundCodec(byte >> 4);
    f.rate = soundRateFromCode((byte >> 2) & 3);
    f.sixteenBit = byte & 0x02;
    f.stereo = byte & 0x01;
    switch (f.codec) {
    case SoundCodec::Nellymoser16k:
        f.rate = 16000;
        f.stereo = false;
        break;
    case SoundCodec::Nellymoser8k:
        f.rate = 8000;
        f.stereo = false;
        break;
    case SoundCodec::Nellymoser:
        f.stereo = false;
        break;
    case SoundCodec::Speex:
        f.rate = 16000;
        f.stereo = false;
        break;
    default:
        break;
    }
    return f;
}

Result<DefineSoundRecord> readDefineSound(const QByteArray& body)
{
    Cursor c(body);
    DefineSoundRecord r;
    r.soundId = SWF_TRY(c.u16("sound id"));
    r.format = soundFormatFromByte(SWF_TRY(c.u8("sound format")));
    r.sampleCount = SWF_TRY(c.u32("sample count"));
    r.data = c.rest();
    return r;
}

Result<StartSoundRecord> readStartSound(const QByteArray& body)
{
    Cursor c(body);
    StartSoundRecord r;
    r.soundId = SWF_TRY(c.u16("sound id"));
    r.info = SWF_TRY(readSoundInfo(c));
    return r;
}

Result<StartSoundRecord> readStartSound2(const QByteArray& body)
{
    Cursor c(body);
    StartSoundRecord r;
    r.className = SWF_TRY(c.string("sound class name"));
    r.info = SWF_TRY(readSoundInfo(c));
    return r;
}

Result<SoundStreamHeadRecord> readSoundStreamHead(const QByteArray& body)
{
    Cursor c(body);
    SoundStreamHeadRecord r;
    r.playback = soundFormatFromByte(SWF_TRY(c.u8("playback format")) & 0x0f);
    r.stream = soundFormatFromByte(SWF_TRY(c.u8("stream format")));
    r.samplesPerFrame = SWF_TRY(c.u16("samples per frame"));
    // Some authoring tools leave the seek out; a missing seek means none.
    if (r.stream.codec == SoundCodec::Mp3 && c.remaining() >= 2)
        r.latencySeek = std::int16_t(SWF_TRY(c.u16("latency seek")));
    return r;
}

Result<SoundStreamBlockRecord> readSoundStreamBlock(const QByteArray& body, SoundCodec codec)
{
    Cursor c(body);
    SoundStreamBlockRecord r;
    if (codec == SoundCodec::Mp3) {
        r.sampleCount = SWF_TRY(c.u16("block sample count"));
        r.seekSamples = std::int16_t(SWF_TRY(c.u16("block seek")));
    }
    r.data = c.rest();
    return r;
}

Result<ButtonSoundRecord> readDefineButtonSound(const QByteArray& body)
{
    Cursor c(body);
    ButtonSoundRecord r;
    r.buttonId = SWF_TRY(c.u16("button id"));
    for (int i = 0; i < 4; ++i) {
        r.soundId[i] = SWF_TRY(c.u16("button sound id"));
        if (r.soundId[i] != 0)
            r.info[i] = SWF_TRY(readSoundInfo(c));
    }
    return r;
}

} // namespace swf
