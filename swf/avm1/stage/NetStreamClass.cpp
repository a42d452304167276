// NetStream over local FLV files: play asks the load queue for the file;
// once it is there the stream starts, and from then on a tick each frame
// moves its time on by the stage clock, delivers the file's data tags
// (onMetaData, onCuePoint, ...) as their time comes, and shows the picture
// due. Status changes reach the script's onStatus with the reference
// player's codes.

#include "swf/avm1/stage/VideoClasses.h"

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/builtins/LoadRequests.h"
#include "swf/avm1/stage/StageScripts.h"
#include "swf/avm1/vm/Interpreter.h"
#include "swf/runtime/SoundSink.h"
#include "swf/runtime/Stage.h"
#include "swf/audio/SoundMixer.h"
#include "swf/avm1/stage/SoundScripts.h"
#include "swf/video/FlvAudio.h"
#include "swf/video/FlvPlayback.h"

#include <cmath>

namespace swf::avm1 {

// What a Video shows of a stream: the pictures of whatever file the stream
// plays now. Outlives the file (play replaces it, close drops it), so a
// Video attached once keeps following its stream.
class NetStreamFeed : public VideoFeed {
public:
    QImage picture() const override { return m_playback ? m_playback->picture() : QImage(); }
    quint64 pictureSerial() const override { return m_base + (m_playback ? m_playback->pictureSerial() : 0); }
    void setPlayback(std::shared_ptr<FlvPlayback> playback)
    {
        m_base = pictureSerial() + 1;
        m_playback = std::move(playback);
    }

private:
    std::shared_ptr<FlvPlayback> m_playback;
    quint64 m_base = 0;
};

namespace {

const QString Status = QStringLiteral("status");
const QString ErrorLevel = QStringLiteral("error");

void sendStatus(Interpreter& vm, NetStreamObject* stream, const QString& code, const QString& level)
{
    Object* info = vm.newObject();
    info->put(QStringLiteral("code"), Value(code));
    info->put(QStringLiteral("level"), Value(level));
    vm.callMethodSafely(stream, QStringLiteral("onStatus"), { Value(info) });
}

Value scriptValue(Interpreter& vm, const AmfValue& v)
{
    switch (v.type) {
    case AmfValue::Type::Number: return Value(v.number);
    case AmfValue::Type::Boolean: return Value(v.number != 0);
    case AmfValue::Type::String: return Value(v.string);
    case AmfValue::Type::Null: return Value::null();
    case AmfValue::Type::Undefined: return Value();
    case AmfValue::Type::Date:
        return vm.construct(vm.getMember(Value(vm.global()), QStringLiteral("Date")), { Value(v.number) });
    case AmfValue::Type::Object: {
        Object* o = vm.newObject();
        for (std::size_t i = 0; i < v.memberNames.size() && i < v.memberValues.size(); ++i)
            o->put(v.memberNames[i], scriptValue(vm, v.memberValues[i]));
        return Value(o);
    }
    case AmfValue::Type::Array: {
        ArrayObject* a = vm.newArray();
        for (const AmfValue& item : v.items)
            a->elements.push_back(scriptValue(vm, item));
        return Value(static_cast<Object*>(a));
    }
    }
    return Value();
}

// Data tags whose time has come, in file order: each calls the handler it names.
void deliverScripts(Interpreter& vm, NetStreamObject* stream)
{
    if (!stream->playback)
        return;
    const auto& scripts = stream->playback->file().scripts;
    while (stream->nextScript < scripts.size() && scripts[stream->nextScript].timeMs <= stream->positionMs) {
        const FlvScriptTag& tag = scripts[stream->nextScript++];
        vm.callMethodSafely(stream, tag.name, { scriptValue(vm, tag.value) });
    }
}

void scheduleTick(Interpreter& vm, NetStreamObject* stream);

SoundSink* sinkOf(Interpreter& vm)
{
    return StageScripts::of(vm).stage().soundSink();
}

// The file's audio tags as one DefineSound body, when every tag has the same
// format and the mixer can take the packets joined end to end: MP3 (frames
// follow each other), PCM and Nellymoser (whole blocks). ADPCM packets each
// start their own bit stream and AAC packets need their configuration: those
// are decoded whole (FlvAudio) instead.
QByteArray soundBody(const FlvFile& file, std::uint16_t id)
{
    if (file.audio.empty())
        return {};
    const std::uint8_t format = file.audio.front().format;
    const int codec = format >> 4;
    if (codec != 0 && codec != 2 && codec != 3 && codec != 4 && codec != 5 && codec != 6)
        return {};
    QByteArray body;
    body.append(char(id & 0xff));
    body.append(char(id >> 8));
    body.append(char(format));
    body.append(QByteArray(4, '\0')); // sample count unknown: the data decides
    if (codec == 2)
        body.append(QByteArray(2, '\0')); // MP3's seek samples
    for (const FlvAudioPacket& packet : file.audio) {
        if (packet.format != format)
            return {};
        body.append(packet.data);
    }
    return body;
}

// The sound follows the stream: it plays from the stream's time while the
// stream moves, and is silent otherwise.
void syncSound(Interpreter& vm, NetStreamObject* stream)
{
    SoundSink* sink = sinkOf(vm);
    if (!sink || !stream->soundId)
        return;
    const bool moving = stream->state == NetStreamObject::State::Playing && stream->bufferFull && !stream->paused;
    if (stream->soundOn)
        sink->stopSounds(0, stream->soundId);
    stream->soundOn = moving && sink->startScriptSound(0, stream->soundId, stream->positionMs / 1000.0, 1) != 0;
}

void tick(Interpreter& vm, NetStreamObject* stream)
{
    stream->ticking = false;
    if (stream->state != NetStreamObject::State::Playing || !stream->playback)
        return;
    const double now = StageScripts::of(vm).timeMs();
    // The first tick after the file came: the whole file is here, the buffer is full.
    if (!stream->bufferFull) {
        stream->bufferFull = true;
        stream->lastNowMs = now;
        syncSound(vm, stream);
        sendStatus(vm, stream, QStringLiteral("NetStream.Buffer.Full"), Status);
    } else {
        if (!stream->paused)
            stream->positionMs += std::max(0.0, now - stream->lastNowMs);
        stream->lastNowMs = now;
    }
    const double duration = double(stream->playback->durationMs());
    const bool atEnd = stream->positionMs >= duration;
    if (atEnd)
        stream->positionMs = duration;
    deliverScripts(vm, stream);
    if (stream->state != NetStreamObject::State::Playing || !stream->playback)
        return; // a handler closed or replaced the stream
    stream->playback->showAt(qint64(stream->positionMs));
    if (atEnd) {
        stream->state = NetStreamObject::State::Ended;
        stream->soundOn = false; // it ends by itself
        // The end of a file: what is left in the buffer is flushed, the
        // play stops, then the buffer reads empty.
        sendStatus(vm, stream, QStringLiteral("NetStream.Buffer.Flush"), Status);
        if (stream->state != NetStreamObject::State::Ended)
            return; // the handler played, sought or closed
        sendStatus(vm, stream, QStringLiteral("NetStream.Play.Stop"), Status);
        sendStatus(vm, stream, QStringLiteral("NetStream.Buffer.Empty"), Status);
        return;
    }
    scheduleTick(vm, stream);
}

void scheduleTick(Interpreter& vm, NetStreamObject* stream)
{
    LoadQueue* queue = loadQueueOf(vm);
    if (!queue || stream->ticking)
        return;
    stream->ticking = true;
    queue->later([stream](Interpreter& vm) { tick(vm, stream); }, { stream });
}

void fileArrived(Interpreter& vm, NetStreamObject* stream, const Result<QByteArray>& bytes)
{
    Result<FlvFile> file = bytes ? readFlv(bytes.value()) : Result<FlvFile>(bytes.error());
    if (!file) {
        stream->state = NetStreamObject::State::Idle;
        sendStatus(vm, stream, QStringLiteral("NetStream.Play.StreamNotFound"), ErrorLevel);
        return;
    }
    stream->bytesLoaded = stream->bytesTotal = bytes.value().size();
    if (SoundSink* sink = sinkOf(vm)) {
        if (!stream->soundId)
            stream->soundId = StageScripts::of(vm).sounds().unusedSoundId(*sink);
        const QByteArray body = stream->soundId ? soundBody(file.value(), stream->soundId) : QByteArray();
        if (!body.isEmpty()) {
            sink->defineSound(body);
        } else if (stream->soundId && flvAudioNeedsDecoding(file.value())) {
            // ADPCM and AAC: decoded whole here, then played as any other sound.
            auto decoded = decodeFlvAudio(file.value(), std::int64_t(48000) * SoundMixer::MaxSoundSeconds);
            if (decoded)
                sink->defineSamples(stream->soundId, decoded.value().rate, decoded.value().channels, std::move(decoded.value().samples));
            else
                stream->soundId = 0;
        } else {
            stream->soundId = 0;
        }
    }
    stream->playback = std::make_shared<FlvPlayback>(std::move(file.value()), videoDecodeAhead());
    stream->feed->setPlayback(stream->playback);
    stream->state = NetStreamObject::State::Playing;
    stream->bufferFull = false;
    stream->positionMs = 0;
    stream->nextScript = 0;
    sendStatus(vm, stream, QStringLiteral("NetStream.Play.Start"), Status);
    if (stream->state != NetStreamObject::State::Playing)
        return;
    deliverScripts(vm, stream);
    if (stream->playback)
        stream->playback->showAt(0);
    scheduleTick(vm, stream);
}

NetStreamObject* self(CallArgs& a)
{
    return dynamic_cast<NetStreamObject*>(a.thisObject());
}

} // namespace

NetStreamObject::NetStreamObject(Object* proto, bool caseSensitive)
    : Object(Kind::Plain, proto, caseSensitive), feed(std::make_shared<NetStreamFeed>())
{
}

NetStreamObject::~NetStreamObject() = default;

bool NetStreamObject::getVirtual(Interpreter&, const QString& name, Value& out)
{
    if (name == QLatin1String("time"))
        out = Value(positionMs / 1000.0);
    else if (name == QLatin1String("bytesLoaded"))
        out = Value(double(bytesLoaded));
    else if (name == QLatin1String("bytesTotal"))
        out = Value(double(bytesTotal));
    else if (name == QLatin1String("bufferTime"))
        out = Value(bufferTime);
    else if (name == QLatin1String("bufferLength"))
        out = Value(playback ? std::max(0.0, (double(playback->durationMs()) - positionMs) / 1000.0) : 0.0);
    else if (name == QLatin1String("currentFps"))
        out = Value(0);
    else
        return false;
    return true;
}

bool NetStreamObject::hasVirtual(Interpreter& vm, const QString& name)
{
    Value ignored;
    return getVirtual(vm, name, ignored);
}

void NetStreamObject::markChildren(std::vector<Object*>& stack)
{
    Object::markChildren(stack);
    if (connection)
        stack.push_back(connection);
}

NetStreamObject* asNetStream(const Value& value)
{
    return dynamic_cast<NetStreamObject*>(value.asObject());
}

std::shared_ptr<VideoFeed> feedOf(NetStreamObject& stream)
{
    return stream.feed;
}

static Value netStreamConstructor(Interpreter& vm, CallArgs& a)
{
    if (!a.constructing || !a.thisObject())
        return Value();
    auto* stream = vm.make<NetStreamObject>(a.thisObject()->proto(), vm.caseSensitive());
    stream->define(QStringLiteral("__constructor__"), Value(static_cast<Object*>(a.callee)), DontEnum);
    stream->connection = a.arg(0).asObject();
    return Value(static_cast<Object*>(stream));
}

static Value netStreamPlay(Interpreter& vm, CallArgs& a)
{
    NetStreamObject* stream = self(a);
    if (!stream || a.args.empty())
        return Value();
    // A new play drops what the stream had; an answer still on its way for
    // an older play is ignored when it comes.
    const quint64 serial = ++stream->playSerial;
    stream->state = NetStreamObject::State::Idle;
    syncSound(vm, stream);
    stream->playback.reset();
    stream->feed->setPlayback(nullptr);
    stream->state = NetStreamObject::State::Loading;
    stream->positionMs = 0;
    stream->paused = false;
    stream->bytesLoaded = stream->bytesTotal = 0;
    const QString url = vm.toString(a.arg(0));
    LoadQueue* queue = loadQueueOf(vm);
    if (!queue) {
        stream->state = NetStreamObject::State::Idle;
        return Value();
    }
    queue->request(url, [stream, serial](Interpreter& vm, const Result<QByteArray>& bytes) {
        if (stream->playSerial == serial)
            fileArrived(vm, stream, bytes);
    }, { stream });
    return Value();
}

static Value netStreamPause(Interpreter& vm, CallArgs& a)
{
    NetStreamObject* stream = self(a);
    if (!stream)
        return Value();
    // pause() toggles, pause(flag) pauses or resumes.
    const bool was = stream->paused;
    stream->paused = a.args.empty() || a.arg(0).isUndefined() ? !stream->paused : vm.toBoolean(a.arg(0));
    syncSound(vm, stream);
    // A stream with a file hears of the change on the next frame, as of a seek.
    LoadQueue* queue = loadQueueOf(vm);
    if (!queue || !stream->playback || was == stream->paused)
        return Value();
    const quint64 serial = stream->playSerial;
    const QString code = stream->paused ? QStringLiteral("NetStream.Pause.Notify") : QStringLiteral("NetStream.Unpause.Notify");
    queue->later([stream, serial, code](Interpreter& vm) {
        if (stream->playSerial == serial)
            sendStatus(vm, stream, code, Status);
    }, { stream });
    return Value();
}

static Value netStreamSeek(Interpreter& vm, CallArgs& a)
{
    NetStreamObject* stream = self(a);
    if (!stream || !stream->playback)
        return Value();
    double ms = vm.toNumber(a.arg(0)) * 1000;
    if (std::isnan(ms) || ms < 0)
        ms = 0;
    const quint64 serial = stream->playSerial;
    LoadQueue* queue = loadQueueOf(vm);
    if (ms > double(stream->playback->durationMs())) {
        if (queue) {
            queue->later([stream, serial](Interpreter& vm) {
                if (stream->playSerial == serial)
                    sendStatus(vm, stream, QStringLiteral("NetStream.Seek.InvalidTime"), ErrorLevel);
            }, { stream });
        }
        return Value();
    }
    // The stream lands on the key frame at or before the time asked for,
    // and moves on from there from the next frame on.
    stream->lastNowMs = StageScripts::of(vm).timeMs();
    stream->positionMs = double(stream->playback->seekPoint(qint64(ms)));
    const auto& scripts = stream->playback->file().scripts;
    stream->nextScript = 0;
    while (stream->nextScript < scripts.size() && scripts[stream->nextScript].timeMs < stream->positionMs)
        ++stream->nextScript;
    stream->playback->showAt(qint64(stream->positionMs));
    if (stream->state == NetStreamObject::State::Ended)
        stream->state = NetStreamObject::State::Playing;
    syncSound(vm, stream);
    if (queue) {
        queue->later([stream, serial](Interpreter& vm) {
            if (stream->playSerial == serial)
                sendStatus(vm, stream, QStringLiteral("NetStream.Seek.Notify"), Status);
        }, { stream });
    }
    scheduleTick(vm, stream);
    return Value();
}

static Value netStreamClose(Interpreter& vm, CallArgs& a)
{
    NetStreamObject* stream = self(a);
    if (!stream)
        return Value();
    ++stream->playSerial;
    stream->state = NetStreamObject::State::Idle;
    syncSound(vm, stream);
    stream->playback.reset();
    stream->feed->setPlayback(nullptr);
    stream->state = NetStreamObject::State::Idle;
    stream->positionMs = 0;
    stream->paused = false;
    stream->bytesLoaded = stream->bytesTotal = 0;
    return Value();
}

static Value netStreamSetBufferTime(Interpreter& vm, CallArgs& a)
{
    NetStreamObject* stream = self(a);
    if (!stream)
        return Value();
    const double t = vm.toNumber(a.arg(0));
    if (std::isfinite(t) && t >= 0)
        stream->bufferTime = t;
    return Value();
}

const NativeMethod netStreamMethods[] = {
    { "play", netStreamPlay },
    { "pause", netStreamPause },
    { "seek", netStreamSeek },
    { "close", netStreamClose },
    { "setBufferTime", netStreamSetBufferTime },
};

void installNetStream(Interpreter& vm)
{
    Object* proto = vm.newObject();
    auto* ctor = vm.newConstructor(QStringLiteral("NetStream"), netStreamConstructor, proto);
    vm.global()->define(QStringLiteral("NetStream"), Value(static_cast<Object*>(ctor)), DontEnum);
    vm.defineMethods(proto, netStreamMethods);
}

} // namespace swf::avm1
