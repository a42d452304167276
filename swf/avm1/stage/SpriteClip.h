#pragma once

// A MovieClip as scripts see it: a ClipObject over one sprite instance of the
// stage. When the instance leaves the display list the clip is detached but
// keeps the path it had: as long as an instance of that name stands at that
// path again, the old reference reaches it, as the player's references do.
// With nothing there it behaves as an empty object.

#include "swf/format/Records.h"
#include "swf/avm1/vm/ClipObject.h"

#include <QRectF>
#include <QStringList>

namespace swf {
class SpriteInstance;
namespace avm1 {

class StageScripts;

class SpriteClip : public ClipObject {
public:
    SpriteClip(StageScripts& owner, SpriteInstance* sprite, Object* proto, bool caseSensitive);

    // The instance this reference reaches now, or null.
    SpriteInstance* sprite() const;
    void detach();

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
    // The script object of a button child of that name (version 6 on).
    Object* childButton(Interpreter& vm, const QString& name);
    QString instanceName() const override;
    QString levelName() const override;
    bool removed() const override { return !sprite(); }
    void duplicate(const QString& name, int depth) override;
    void remove() override;
    void startDrag(bool lockCenter, const double* constraint) override;
    void stopDrag() override;

    bool getVirtual(Interpreter&, const QString& name, Value& out) override;
    // One of the clip's own properties (_x, _name, ...) as the player keeps
    // it, whatever members or children of that name hide it from scripts.
    bool builtInProperty(Interpreter&, const QString& name, Value& out);
    bool setVirtual(Interpreter&, const QString& name, const Value& value) override;
    bool hasVirtual(Interpreter&, const QString& name) override;
    void virtualNames(Interpreter&, QStringList& out) override;

    StageScripts& owner() const { return m_owner; }

    // What the scripts' memory budget counts for a clip: the instance behind
    // it and each element of what scripts drew into it.
    static constexpr size_t ClipBytes = 2048;
    // What making a clip is charged: the instance and the script object
    // that stands for it, with the few members every object is given.
    static size_t newClipCharge();
    static constexpr size_t DrawingElementBytes = 64;
    static size_t bytesOf(const SpriteInstance& sprite);
    size_t heldBytes(const std::function<void(const Value&)>& value) const override;

private:
    // The live clip a detached reference now stands for, or null.
    SpriteClip* successor() const;
    Value scrollRectValue(Interpreter& vm);
    void setScrollRect(Interpreter& vm, const Value& value);

    StageScripts& m_owner;
    SpriteInstance* m_sprite;
    QStringList m_path; // instance names from the root, kept when detached
    bool m_hasPath = false;
    // The _rotation a script set last, read back as it was set for as long
    // as the clip's scale and rotation are the ones that setting made.
    double m_rotation = 0;
    swf::Matrix m_rotationMatrix;
    bool m_hasRotation = false;
};

// The MovieClip methods that make, remove, move and measure clips
// (MovieClipClass.cpp), installed on the MovieClip prototype.
void installClipMethods(Interpreter& vm, Object* clipProto);

// Bounds rounded to whole twips as the player reports them, in pixels.
QRectF roundedBounds(const QRectF& twips);

} // namespace avm1
} // namespace swf
