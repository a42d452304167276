#pragma once

// A MovieClip as scripts see it: a ClipObject over one sprite instance of the
// stage. When the instance leaves the display list the clip is detached and
// behaves as an empty object.

#include "swf/runtime/script/ClipObject.h"

namespace swf {
class SpriteInstance;
namespace script {

class StageScripts;

class SpriteClip : public ClipObject {
public:
    SpriteClip(StageScripts& owner, SpriteInstance* sprite, Object* proto, bool caseSensitive);

    SpriteInstance* sprite() const { return m_sprite; }
    void detach() { m_sprite = nullptr; }

    void gotoFrame(int frame, bool play) override;
    bool gotoLabel(const QString& label, bool play) override;
    void play() override;
    void stop() override;
    void nextFrame() override;
    void prevFrame() override;
    int currentFrame() const override;
    int totalFrames() const override;
    int frameOfLabel(const QString& label) const override;
    void callFrame(int frame) override;
    ClipObject* parentClip() const override;
    ClipObject* rootClip() override;
    ClipObject* childByName(const QString& name) override;
    QString instanceName() const override;
    bool removed() const override { return !m_sprite; }
    void duplicate(const QString& name, int depth) override;
    void remove() override;

    bool getVirtual(Interpreter&, const QString& name, Value& out) override;
    bool setVirtual(Interpreter&, const QString& name, const Value& value) override;
    bool hasVirtual(Interpreter&, const QString& name) override;
    void virtualNames(Interpreter&, QStringList& out) override;

private:
    StageScripts& m_owner;
    SpriteInstance* m_sprite;
};

} // namespace script
} // namespace swf
