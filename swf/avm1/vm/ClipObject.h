#pragma once

// The script face of a timeline (a sprite instance or the root movie).
// The stage implements it over its display list; the script machine only
// talks to timelines through these calls.

#include "swf/avm1/vm/Object.h"

namespace swf::avm1 {

class ClipObject : public Object {
public:
    ClipObject(Object* proto, bool caseSensitive) : Object(Kind::Clip, proto, caseSensitive) { }

    // Timeline control. Frames count from 1.
    virtual void gotoFrame(int frame, bool play) = 0;
    virtual bool gotoLabel(const QString& label, bool play) = 0;
    virtual void play() = 0;
    virtual void stop() = 0;
    virtual void nextFrame() = 0;
    virtual void prevFrame() = 0;
    virtual int currentFrame() const = 0;
    virtual int totalFrames() const = 0;
    virtual int framesLoaded() const { return totalFrames(); }
    // Frame number of a label, or 0.
    virtual int frameOfLabel(const QString& label) const = 0;
    // Runs the actions of a frame of this timeline now (the Call action).
    virtual void callFrame(int frame) = 0;

    // Tree.
    virtual ClipObject* parentClip() const = 0;
    virtual ClipObject* rootClip() = 0;
    virtual ClipObject* childByName(const QString& name) = 0;
    virtual QString instanceName() const = 0;
    // The level a root clip stands for in paths ("_level0" for the stage's).
    virtual QString levelName() const { return QStringLiteral("_level0"); }
    virtual bool removed() const { return false; }

    // Path in slash form ("/a/b", "/" for the root) as TargetPath and _target give it.
    QString slashPath() const;
    // Path in dot form ("_level0.a.b").
    QString dotPath() const;

    // Clip-level operations of the older actions.
    virtual void duplicate(const QString& name, int depth) = 0;
    virtual void remove() = 0;
    virtual void startDrag(bool lockCenter, const double* constraint) { }
    virtual void stopDrag() { }
};

} // namespace swf::avm1
