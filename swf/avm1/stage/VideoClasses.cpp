// Video objects over video instances, and NetConnection. NetStream is in
// NetStreamClass.cpp.

#include "swf/avm1/stage/VideoClasses.h"

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/builtins/LoadRequests.h"
#include "swf/avm1/vm/Interpreter.h"
#include "swf/runtime/SpriteInstance.h"

#include <cmath>
#include <unordered_map>

namespace swf::avm1 {

namespace {

// The script object of each video instance that has one. An entry goes when
// either side goes: the instance leaving the stage or the machine ending.
std::unordered_map<const VideoInstance*, VideoObject*>& registry()
{
    static std::unordered_map<const VideoInstance*, VideoObject*> objects;
    return objects;
}

enum class VideoProp { None, Width, Height, Smoothing, Deblocking };

VideoProp videoPropOf(const QString& name)
{
    if (name == QLatin1String("width")) return VideoProp::Width;
    if (name == QLatin1String("height")) return VideoProp::Height;
    if (name == QLatin1String("smoothing")) return VideoProp::Smoothing;
    if (name == QLatin1String("deblocking")) return VideoProp::Deblocking;
    return VideoProp::None;
}

Object* globalPrototype(Interpreter& vm, const QString& className)
{
    const Value ctor = vm.getMember(Value(vm.global()), className);
    return vm.getMember(ctor, QStringLiteral("prototype")).asObject();
}

void sendStatus(Interpreter& vm, Object* target, const QString& code, const QString& level)
{
    Object* info = vm.newObject();
    info->put(QStringLiteral("code"), Value(code));
    info->put(QStringLiteral("level"), Value(level));
    vm.callMethodSafely(target, QStringLiteral("onStatus"), { Value(info) });
}

} // namespace

VideoObject::VideoObject(Interpreter& vm, VideoInstance* video, Object* proto)
    : StageButtonObject(video, proto, vm.caseSensitive()), m_vm(vm)
{
    registry()[video] = this;
    video->setOnGone([this] {
        registry().erase(this->video());
        detach();
    });
}

VideoObject::~VideoObject()
{
    if (VideoInstance* v = video()) {
        v->setOnGone({});
        registry().erase(v);
    }
}

bool VideoObject::getVirtual(Interpreter& vm, const QString& name, Value& out)
{
    const VideoProp prop = videoPropOf(name);
    if (prop == VideoProp::None)
        return StageButtonObject::getVirtual(vm, name, out);
    VideoInstance* v = video();
    if (!v) {
        out = Value();
        return true;
    }
    switch (prop) {
    case VideoProp::Width:
    case VideoProp::Height: {
        // The size of the picture being shown, 0 before any.
        const QImage& picture = v->currentFrame();
        out = Value(prop == VideoProp::Width ? picture.width() : picture.height());
        break;
    }
    case VideoProp::Smoothing: out = Value(v->smoothing()); break;
    case VideoProp::Deblocking: out = Value(v->deblocking()); break;
    case VideoProp::None: break;
    }
    return true;
}

bool VideoObject::setVirtual(Interpreter& vm, const QString& name, const Value& value)
{
    const VideoProp prop = videoPropOf(name);
    if (prop == VideoProp::None)
        return StageButtonObject::setVirtual(vm, name, value);
    VideoInstance* v = video();
    if (!v)
        return true;
    if (prop == VideoProp::Smoothing) {
        v->setSmoothing(vm.toBoolean(value));
    } else if (prop == VideoProp::Deblocking) {
        const double n = vm.toNumber(value);
        if (std::isfinite(n))
            v->setDeblocking(int(n));
    }
    return true; // width and height are read-only
}

bool VideoObject::hasVirtual(Interpreter& vm, const QString& name)
{
    return videoPropOf(name) != VideoProp::None || StageButtonObject::hasVirtual(vm, name);
}

void VideoObject::virtualNames(Interpreter& vm, QStringList& out)
{
    StageButtonObject::virtualNames(vm, out);
    out << QStringLiteral("deblocking") << QStringLiteral("height") << QStringLiteral("smoothing") << QStringLiteral("width");
}

Object* videoObjectFor(Interpreter& vm, DisplayObject& instance)
{
    auto* video = dynamic_cast<VideoInstance*>(&instance);
    if (!video)
        return nullptr;
    auto it = registry().find(video);
    if (it != registry().end())
        return it->second;
    Object* proto = globalPrototype(vm, QStringLiteral("Video"));
    return vm.make<VideoObject>(vm, video, proto ? proto : vm.objectPrototype());
}

Object* childVideo(Interpreter& vm, SpriteInstance& sprite, const QString& name, bool caseSensitive)
{
    DisplayObject* child = sprite.childByName(name, caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive);
    return child ? videoObjectFor(vm, *child) : nullptr;
}

void addVideoRoots(Interpreter& vm, std::vector<Object*>& roots)
{
    for (const auto& [instance, object] : registry()) {
        if (&object->interpreter() == &vm)
            roots.push_back(object);
    }
}

static VideoInstance* videoOf(CallArgs& a)
{
    auto* self = dynamic_cast<VideoObject*>(a.thisObject());
    return self ? self->video() : nullptr;
}

static Value videoAttachVideo(Interpreter&, CallArgs& a)
{
    VideoInstance* video = videoOf(a);
    if (!video)
        return Value();
    // A NetStream gives its pictures; anything else (null, a camera we do
    // not have) leaves the video showing nothing.
    if (NetStreamObject* stream = asNetStream(a.arg(0)))
        video->attachFeed(feedOf(*stream));
    else
        video->attachFeed(nullptr), video->clearPicture();
    return Value();
}

static Value videoClear(Interpreter&, CallArgs& a)
{
    if (VideoInstance* video = videoOf(a))
        video->clearPicture();
    return Value();
}

const NativeMethod videoMethods[] = {
    { "attachVideo", videoAttachVideo },
    { "clear", videoClear },
};

static Value constructNothing(Interpreter&, CallArgs&)
{
    return Value();
}

static Value netConnectionConnect(Interpreter& vm, CallArgs& a)
{
    Object* self = a.thisObject();
    if (!self || a.args.empty())
        return Value(false);
    // Only connect(null) is served: the stream then plays local files. Any
    // server address fails, on a later frame, as a refused connection does.
    const Value target = a.arg(0);
    if (target.isNull() || target.isUndefined()) {
        self->put(QStringLiteral("isConnected"), Value(true));
        self->put(QStringLiteral("uri"), Value(QStringLiteral("null")));
        sendStatus(vm, self, QStringLiteral("NetConnection.Connect.Success"), QStringLiteral("status"));
        return Value(true);
    }
    self->put(QStringLiteral("isConnected"), Value(false));
    self->put(QStringLiteral("uri"), Value(vm.toString(target)));
    if (LoadQueue* queue = loadQueueOf(vm)) {
        queue->later([self](Interpreter& vm) {
            sendStatus(vm, self, QStringLiteral("NetConnection.Connect.Failed"), QStringLiteral("error"));
        }, { self });
    }
    return Value(false);
}

static Value netConnectionClose(Interpreter&, CallArgs& a)
{
    if (Object* self = a.thisObject())
        self->put(QStringLiteral("isConnected"), Value(false));
    return Value();
}

const NativeMethod netConnectionMethods[] = {
    { "connect", netConnectionConnect },
    { "close", netConnectionClose },
};

void installVideoClasses(Interpreter& vm)
{
    Object* videoProto = vm.newObject();
    auto* video = vm.newConstructor(QStringLiteral("Video"), constructNothing, videoProto);
    vm.global()->define(QStringLiteral("Video"), Value(static_cast<Object*>(video)), DontEnum);
    vm.defineMethods(videoProto, videoMethods);

    Object* connProto = vm.newObject();
    auto* conn = vm.newConstructor(QStringLiteral("NetConnection"), constructNothing, connProto);
    vm.global()->define(QStringLiteral("NetConnection"), Value(static_cast<Object*>(conn)), DontEnum);
    vm.defineMethods(connProto, netConnectionMethods);

    installNetStream(vm);
}

} // namespace swf::avm1
