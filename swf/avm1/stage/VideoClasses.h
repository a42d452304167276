#pragma once

// Video, NetConnection and NetStream for scripts. A Video object stands for
// a video instance on stage (placed from the timeline); attachVideo hands it
// a NetStream's pictures. A NetStream plays an FLV file beside the movie:
// the file arrives on a later frame as every load does, then the stream's
// time follows the stage clock, one step a frame, while its handlers hear
// onStatus, onMetaData and onCuePoint as the reference player sends them.

#include "swf/avm1/stage/StageButtonObject.h"
#include "swf/avm1/vm/Object.h"
#include "swf/runtime/VideoInstance.h"

#include <QString>

#include <memory>
#include <vector>

namespace swf {
class FlvPlayback;
class SpriteInstance;
namespace avm1 {

class Interpreter;
class NetStreamFeed;

// The script object of a video instance: its placement properties as a
// button's, and smoothing, deblocking, width and height of its own.
class VideoObject : public StageButtonObject {
public:
    VideoObject(Interpreter& vm, VideoInstance* video, Object* proto);
    ~VideoObject() override;

    VideoInstance* video() const { return static_cast<VideoInstance*>(button()); }
    Interpreter& interpreter() const { return m_vm; }

    bool getVirtual(Interpreter& vm, const QString& name, Value& out) override;
    bool setVirtual(Interpreter& vm, const QString& name, const Value& value) override;
    bool hasVirtual(Interpreter& vm, const QString& name) override;
    void virtualNames(Interpreter& vm, QStringList& out) override;

private:
    Interpreter& m_vm;
};

class NetStreamObject : public Object {
public:
    NetStreamObject(Object* proto, bool caseSensitive);
    ~NetStreamObject() override;

    enum class State { Idle, Loading, Playing, Ended };

    bool getVirtual(Interpreter& vm, const QString& name, Value& out) override;
    bool hasVirtual(Interpreter& vm, const QString& name) override;
    void markChildren(std::vector<Object*>& stack) override;

    Object* connection = nullptr;
    std::shared_ptr<NetStreamFeed> feed;
    std::shared_ptr<FlvPlayback> playback;
    State state = State::Idle;
    bool paused = false;
    bool bufferFull = false;
    double positionMs = 0;
    double lastNowMs = 0;
    double bufferTime = 0.1; // seconds
    qint64 bytesLoaded = 0;
    qint64 bytesTotal = 0;
    std::size_t nextScript = 0; // the next data tag to deliver, in file order
    quint64 playSerial = 0;     // bumps on play and close: older answers are stale
    bool ticking = false;
    // The file's sound as a sound of the mixer, under an id no movie sound
    // uses; 0 when the file has none we play.
    std::uint16_t soundId = 0;
    bool soundOn = false;
};

// The script object of a video instance, made on first use (null when the
// instance is not a video); installs Video, NetConnection and NetStream.
Object* videoObjectFor(Interpreter& vm, DisplayObject& instance);
// The script object of the video instance named `name` among the children of `sprite`; null when that child is no video.
Object* childVideo(Interpreter& vm, SpriteInstance& sprite, const QString& name, bool caseSensitive);
void addVideoRoots(Interpreter& vm, std::vector<Object*>& roots);
void installVideoClasses(Interpreter& vm);
void installNetStream(Interpreter& vm);

// The prototype `new NetStream` gives, for attachVideo's check.
NetStreamObject* asNetStream(const Value& value);
std::shared_ptr<VideoFeed> feedOf(NetStreamObject& stream);

} // namespace avm1
} // namespace swf
