#pragma once

// Mouse and keyboard for a stage: hit testing through the display lists
// (masks included), button tracking, the hand pointer, keyboard focus for
// edit texts and key presses for buttons. Holds no pointer across events
// without checking it is still on stage.

#include <QPointF>
#include <QString>
#include <QtGlobal>

namespace swf {

class DisplayObject;
class ButtonInstance;
class EditTextInstance;
class Stage;

// True when `point` (twips in the object's parent space) falls on the object.
bool hitTestObject(const DisplayObject& object, const QPointF& point);
// True when `object` is somewhere in the stage's display lists.
bool isOnStage(const Stage& stage, const DisplayObject* object);
// A fresh serial for a button or edit text instance.
quint64 nextInputSerial();
// The button key code for a Qt key and the text it typed; 0 when there is none.
int buttonKeyCode(int qtKey, const QString& text);
// The player's virtual key code (what Key.getCode() gives) for a Qt key; 0 when unknown.
int playerKeyCode(int qtKey, const QString& text);

class InputDispatcher {
public:
    explicit InputDispatcher(Stage& stage) : m_stage(stage) { }

    // Points are in stage pixels.
    void mouseMove(const QPointF& point);
    void mouseDown(const QPointF& point);
    void mouseUp(const QPointF& point);
    void keyDown(int key, const QString& text);
    void keyUp(int key, const QString& text);
    // Wheel steps: positive away from the user.
    void mouseWheel(int delta);

    bool cursorIsHand() const;
    EditTextInstance* focus() const;
    QPointF mousePosition() const { return m_mouse; } // stage pixels
    bool mouseIsDown() const { return m_down; }

    // The topmost button, clip acting as a button, or selectable edit text
    // under a stage-pixel point.
    DisplayObject* interactiveAt(const QPointF& point) const;

private:
    // A button is tracked by serial, a clip acting as one by its address
    // checked against the stage and its birth tick, never by a pointer that
    // may dangle. A clip's pointer state lives here; a button keeps its own.
    struct Target {
        quint64 serial = 0;
        DisplayObject* clip = nullptr;
        quint64 born = 0;
        int track = 0; // ButtonTrack of a clip
        bool isSet() const { return serial != 0 || clip != nullptr; }
    };
    ButtonInstance* liveButton(quint64 serial) const;
    DisplayObject* resolve(const Target& target) const;
    Target targetOf(DisplayObject* object) const;
    int trackOf(const Target& target) const;
    void moveTo(Target& target, int track);
    bool isMenu(DisplayObject* object) const;
    DisplayObject* pointerTargetAt(const QPointF& point) const;
    void update(const QPointF& point);

    Stage& m_stage;
    QPointF m_mouse;
    bool m_down = false;
    Target m_hover;        // what the pointer is over (not pressed)
    Target m_pressed;      // what the press began on
    quint64 m_focus = 0;   // the edit text with the keyboard
};

} // namespace swf
