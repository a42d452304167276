#include "swf/format/Sound.h"

#include "swf/format/TagCodes.h"
#include "swf/io/Reader.h"

namespace swf {

namespace {

// StartSound2 exists only in movies of version 9 and later, whose strings are UTF-8.
constexpr int StartSound2Version = 9;

Result<SoundInfo> readSoundInfo(Reader& reader)
{
    SoundInfo info;
    const std::uint8_t flags = SWF_TRY(reader.readU8());
    info.syncStop = flags & 0x20;
    info.noMultiple = flags & 0x10;
    const bool hasEnvelope = flags & 0x08;
    const bool hasLoops = flags & 0x04;
    info.hasOutPoint = flags & 0x02;
    info.hasInPoint = flags & 0x01;
    if (info.hasInPoint)
        info.inPoint = SWF_TRY(reader.readU32());
    if (info.hasOutPoint)
        info.outPoint = SWF_TRY(reader.readU32());
    if (hasLoops) {
        info.loopCount = SWF_TRY(reader.readU16());
        // A loop count of zero still plays the sound once.
        if (info.loopCount == 0)
            info.loopCount = 1;
    }
    if (hasEnvelope) {
        const std::uint8_t points = SWF_TRY(reader.readU8());
        // At most 255 points of 8 bytes each: bounded by the field width,
        // but check the body really holds them before reserving.
        if (reader.remaining() < std::size_t(points) * 8)
            return Error::at(reader.offset(), QStringLiteral("envelope declares more points than the record holds"), ErrorKind::Truncated);
        info.envelope.reserve(points);
        for (int i = 0; i < points; ++i) {
            SoundEnvelopePoint p;
            p.pos44 = SWF_TRY(reader.readU32());
            p.leftLevel = SWF_TRY(reader.readU16());
            p.rightLevel = SWF_TRY(reader.readU16());
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
    Reader reader(body);
    DefineSoundRecord r;
    r.soundId = SWF_TRY(reader.readU16());
    r.format = soundFormatFromByte(SWF_TRY(reader.readU8()));
    r.sampleCount = SWF_TRY(reader.readU32());
    r.data = reader.rest();
    return r;
}

Result<StartSoundRecord> readStartSound(const QByteArray& body, int tagCode)
{
    Reader reader(body);
    StartSoundRecord r;
    if (tagCode == TagStartSound2)
        r.className = SWF_TRY(reader.readString(StartSound2Version));
    else
        r.soundId = SWF_TRY(reader.readU16());
    r.info = SWF_TRY(readSoundInfo(reader));
    return r;
}

Result<SoundStreamHeadRecord> readSoundStreamHead(const QByteArray& body)
{
    Reader reader(body);
    SoundStreamHeadRecord r;
    r.playback = soundFormatFromByte(SWF_TRY(reader.readU8()) & 0x0f);
    r.stream = soundFormatFromByte(SWF_TRY(reader.readU8()));
    r.samplesPerFrame = SWF_TRY(reader.readU16());
    // Some authoring tools leave the seek out; a missing seek means none.
    if (r.stream.codec == SoundCodec::Mp3 && reader.remaining() >= 2)
        r.latencySeek = SWF_TRY(reader.readS16());
    return r;
}

Result<SoundStreamBlockRecord> readSoundStreamBlock(const QByteArray& body, SoundCodec codec)
{
    Reader reader(body);
    SoundStreamBlockRecord r;
    if (codec == SoundCodec::Mp3) {
        r.sampleCount = SWF_TRY(reader.readU16());
        r.seekSamples = SWF_TRY(reader.readS16());
    }
    r.data = reader.rest();
    return r;
}

Result<ButtonSoundRecord> readDefineButtonSound(const QByteArray& body)
{
    Reader reader(body);
    ButtonSoundRecord r;
    r.buttonId = SWF_TRY(reader.readU16());
    for (int i = 0; i < 4; ++i) {
        r.soundId[i] = SWF_TRY(reader.readU16());
        if (r.soundId[i] != 0)
            r.info[i] = SWF_TRY(readSoundInfo(reader));
    }
    return r;
}

} // namespace swf
