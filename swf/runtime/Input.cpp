#include "swf/runtime/Input.h"

#include "swf/movie/Shapes.h"
#include "swf/movie/Texts.h"
#include "swf/runtime/ButtonInstance.h"
#include "swf/runtime/EditTextInstance.h"
#include "swf/runtime/ScriptRunner.h"
#include "swf/runtime/Stage.h"

#include <atomic>
#include <functional>

namespace swf {

namespace {

// The point in the object's own space; false when its matrix squashes it flat.
bool toLocal(const DisplayObject& object, const QPointF& point, QPointF& local)
{
    bool invertible = false;
    QTransform inverse = object.matrix().toQTransform().inverted(&invertible);
    if (!invertible)
        return false;
    local = inverse.map(point);
    return true;
}

// Visits a display list from the top depth down, skipping masks and what
// their shapes hide at `point`; stops when `visit` returns true.
template<typename List>
bool forEachUnmaskedTopDown(const List& list, const QPointF& point, const std::function<bool(DisplayObject&)>& visit)
{
    std::vector<const DisplayObject*> masks;
    for (const auto& [depth, child] : list) {
        if (child->clipDepth() > 0)
            masks.push_back(child.get());
    }
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        DisplayObject& child = *it->second;
        if (child.clipDepth() > 0 || !child.isVisible())
            continue;
        bool hidden = false;
        for (const DisplayObject* mask : masks) {
            if (mask->depth() < child.depth() && child.depth() <= mask->clipDepth() && !hitTestObject(*mask, point)) {
                hidden = true;
                break;
            }
        }
        if (!hidden && visit(child))
            return true;
    }
    return false;
}

bool containsOwnContent(const DisplayObject& object, const QPointF& local)
{
    const Character* character = object.character();
    if (!character)
        return false;
    switch (character->kind) {
    case CharacterKind::Shape: {
        const auto& shape = *static_cast<const ShapeDef*>(character);
        if (!shape.bounds.toTwips().contains(local))
            return false;
        for (const ShapeLayer& layer : shape.layers) {
            for (const auto& [index, path] : layer.fills) {
                if (path.contains(local))
                    return true;
            }
        }
        return false;
    }
    case CharacterKind::MorphShape: {
        const auto& morph = *static_cast<const MorphDef*>(character);
        return morph.startBounds.toTwips().united(morph.endBounds.toTwips()).contains(local);
    }
    case CharacterKind::Text:
        if (auto text = dynamic_cast<const TextDef*>(character))
            return text->bounds.toTwips().contains(local);
        return false;
    case CharacterKind::EditText:
        if (auto edit = dynamic_cast<const EditTextDef*>(character))
            return edit->record.bounds.toTwips().contains(local);
        return false;
    case CharacterKind::Bitmap: {
        const auto& bitmap = *static_cast<const BitmapDef*>(character);
        return QRectF(0, 0, bitmap.image.width() * 20.0, bitmap.image.height() * 20.0).contains(local);
    }
    default:
        return false;
    }
}

bool findAll(const SpriteInstance& sprite, const std::function<bool(DisplayObject&)>& visit)
{
    for (const auto& [depth, child] : sprite.displayList()) {
        if (visit(*child))
            return true;
        if (auto inner = child->asSprite(); inner && findAll(*inner, visit))
            return true;
        if (auto button = dynamic_cast<const ButtonInstance*>(child.get())) {
            for (const auto& [partDepth, part] : button->parts()) {
                if (visit(*part))
                    return true;
                if (auto inner = part->asSprite(); inner && findAll(*inner, visit))
                    return true;
            }
        }
    }
    return false;
}

// findAll over the whole stage: the root's tree, then each level above it
// (loadMovieNum), the level's own root included.
bool findOnStage(const Stage& stage, const std::function<bool(DisplayObject&)>& visit)
{
    if (findAll(stage.root(), visit))
        return true;
    for (const auto& [number, level] : stage.levels()) {
        if (number > 0 && level && (visit(*level) || findAll(*level, visit)))
            return true;
    }
    return false;
}

// The instance of type T on the stage with the given serial; none for serial 0
// or when it has left the stage.
template<typename T>
T* findBySerial(const Stage& stage, quint64 serial)
{
    T* found = nullptr;
    if (serial == 0)
        return nullptr;
    findOnStage(stage, [&](DisplayObject& object) {
        auto candidate = dynamic_cast<T*>(&object);
        if (candidate && candidate->serial() == serial)
            found = candidate;
        return found != nullptr;
    });
    return found;
}

// The object's own space to stage twips, through every parent.
QTransform toStageTransform(const DisplayObject& object)
{
    QTransform t = object.matrix().toQTransform();
    for (const SpriteInstance* p = object.parent(); p; p = p->parent())
        t = t * p->matrix().toQTransform();
    return t;
}

bool hitsClipOrArea(const DisplayObject& clip, const QPointF& point, ScriptRunner* runner)
{
    const DisplayObject* area = runner->hitAreaOf(clip);
    if (!area || area == &clip)
        return hitTestObject(clip, point);
    // The hit area may sit anywhere on stage: compare in stage space.
    const QPointF stagePoint = clip.parent() ? toStageTransform(*clip.parent()).map(point) : point;
    bool invertible = false;
    const QTransform fromStage = area->parent() ? toStageTransform(*area->parent()).inverted(&invertible) : QTransform();
    if (area->parent() && !invertible)
        return false;
    return hitTestObject(*area, area->parent() ? fromStage.map(stagePoint) : stagePoint);
}

DisplayObject* findInteractive(const SpriteInstance::DisplayList& list, const QPointF& point, ScriptRunner* runner)
{
    DisplayObject* found = nullptr;
    forEachUnmaskedTopDown(list, point, [&](DisplayObject& child) {
        QPointF local;
        if (!toLocal(child, point, local))
            return false;
        if (auto button = dynamic_cast<ButtonInstance*>(&child)) {
            // A button a script disabled lets the pointer through.
            if (button->hitArea(local) && (!runner || runner->actsAsButton(*button)))
                found = button;
        } else if (auto edit = dynamic_cast<EditTextInstance*>(&child)) {
            if ((edit->isSelectable() || edit->isInput()) && edit->record().bounds.toTwips().contains(local))
                found = edit;
        } else if (auto sprite = child.asSprite()) {
            // A clip with button handlers takes the pointer for all it holds,
            // or where its hit area clip lies.
            if (runner && runner->actsAsButton(*sprite))
                found = hitsClipOrArea(*sprite, point, runner) ? sprite : nullptr;
            else
                found = findInteractive(sprite->displayList(), local, runner);
        }
        return found != nullptr;
    });
    return found;
}

} // namespace

bool hitTestObject(const DisplayObject& object, const QPointF& point)
{
    QPointF local;
    if (!toLocal(object, point, local))
        return false;
    if (auto sprite = object.asSprite()) {
        return forEachUnmaskedTopDown(sprite->displayList(), local,
            [&](DisplayObject& child) { return hitTestObject(child, local); });
    }
    if (auto button = dynamic_cast<const ButtonInstance*>(&object))
        return button->hitArea(local);
    return containsOwnContent(object, local);
}

bool isOnStage(const Stage& stage, const DisplayObject* object)
{
    if (!object)
        return false;
    if (object == &stage.root())
        return true;
    return findOnStage(stage, [object](DisplayObject& candidate) { return &candidate == object; });
}

int buttonKeyCode(int qtKey, const QString& text)
{
    switch (qtKey) {
    case Qt::Key_Left: return 1;
    case Qt::Key_Right: return 2;
    case Qt::Key_Home: return 3;
    case Qt::Key_End: return 4;
    case Qt::Key_Insert: return 5;
    case Qt::Key_Delete: return 6;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Up: return 14;
    case Qt::Key_Down: return 15;
    case Qt::Key_PageUp: return 16;
    case Qt::Key_PageDown: return 17;
    case Qt::Key_Tab: return 18;
    case Qt::Key_Escape: return 19;
    default: break;
    }
    if (text.size() == 1 && text[0].unicode() >= 32 && text[0].unicode() <= 126)
        return text[0].unicode();
    return 0;
}

int playerKeyCode(int qtKey, const QString& text)
{
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return qtKey; // letters and digits are their upper-case character
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F15)
        return 112 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    case Qt::Key_NumLock: return 144;
    case Qt::Key_ScrollLock: return 145;
    // Shifted digits and punctuation are the key that types them.
    case Qt::Key_ParenRight: return 48;
    case Qt::Key_Exclam: return 49;
    case Qt::Key_At: return 50;
    case Qt::Key_NumberSign: return 51;
    case Qt::Key_Dollar: return 52;
    case Qt::Key_Percent: return 53;
    case Qt::Key_AsciiCircum: return 54;
    case Qt::Key_Ampersand: return 55;
    case Qt::Key_Asterisk: return 56;
    case Qt::Key_ParenLeft: return 57;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon: return 186;
    case Qt::Key_Equal:
    case Qt::Key_Plus: return 187;
    case Qt::Key_Comma:
    case Qt::Key_Less: return 188;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return 189;
    case Qt::Key_Period:
    case Qt::Key_Greater: return 190;
    case Qt::Key_Slash:
    case Qt::Key_Question: return 191;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde: return 192;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return 219;
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return 220;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return 221;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl: return 222;
    default: break;
    }
    // A key Qt does not name but that typed a letter or digit.
    if (text.size() == 1 && text[0].isLetterOrNumber() && text[0].unicode() < 0x80)
        return text[0].toUpper().unicode();
    return 0;
}

quint64 nextInputSerial()
{
    static std::atomic<quint64> next { 1 };
    return next++;
}

ButtonInstance* InputDispatcher::liveButton(quint64 serial) const
{
    return findBySerial<ButtonInstance>(m_stage, serial);
}

EditTextInstance* InputDispatcher::focus() const
{
    return findBySerial<EditTextInstance>(m_stage, m_focus);
}

DisplayObject* InputDispatcher::interactiveAt(const QPointF& point) const
{
    const QPointF twips = point * 20;
    ScriptRunner* runner = m_stage.scriptRunner();
    // Levels above the root lie on top of it, the highest first.
    const Stage::Levels& levels = m_stage.levels();
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
        SpriteInstance* level = it->second.get();
        if (it->first <= 0 || !level || !level->isVisible())
            continue;
        if (runner && runner->actsAsButton(*level)) {
            if (hitsClipOrArea(*level, twips, runner))
                return level;
            continue;
        }
        QPointF local;
        if (!toLocal(*level, twips, local))
            continue;
        if (DisplayObject* found = findInteractive(level->displayList(), local, runner))
            return found;
    }
    return findInteractive(m_stage.root().displayList(), twips, runner);
}

DisplayObject* InputDispatcher::pointerTargetAt(const QPointF& point) const
{
    DisplayObject* object = interactiveAt(point);
    return dynamic_cast<EditTextInstance*>(object) ? nullptr : object;
}

DisplayObject* InputDispatcher::resolve(const Target& target) const
{
    if (target.serial)
        return liveButton(target.serial);
    if (target.clip && isOnStage(m_stage, target.clip) && target.clip->bornTick() == target.born)
        return target.clip;
    return nullptr;
}

InputDispatcher::Target InputDispatcher::targetOf(DisplayObject* object) const
{
    Target target;
    if (auto button = dynamic_cast<ButtonInstance*>(object)) {
        target.serial = button->serial();
    } else if (object) {
        target.clip = object;
        target.born = object->bornTick();
    }
    return target;
}

int InputDispatcher::trackOf(const Target& target) const
{
    if (target.serial) {
        ButtonInstance* button = liveButton(target.serial);
        return int(button ? button->track() : ButtonTrack::Idle);
    }
    return target.track;
}

void InputDispatcher::moveTo(Target& target, int track)
{
    DisplayObject* object = resolve(target);
    if (!object)
        return;
    if (auto button = dynamic_cast<ButtonInstance*>(object)) {
        button->moveTo(ButtonTrack(track));
        return;
    }
    const auto from = ButtonTrack(target.track);
    target.track = track;
    ClipEvent event;
    if (buttonTransitionEvent(from, ButtonTrack(track), event)) {
        if (ScriptRunner* runner = m_stage.scriptRunner())
            runner->buttonEvent(*object, event);
    }
}

bool InputDispatcher::isMenu(DisplayObject* object) const
{
    auto button = dynamic_cast<ButtonInstance*>(object);
    return button && button->definition().record.trackAsMenu;
}

void InputDispatcher::update(const QPointF& point)
{
    m_mouse = point;
    if (ScriptRunner* runner = m_stage.scriptRunner())
        runner->pointerAt(point);
    DisplayObject* target = pointerTargetAt(point);
    if (DisplayObject* pressed = resolve(m_pressed)) {
        const bool over = target == pressed;
        const auto track = ButtonTrack(trackOf(m_pressed));
        if (track == ButtonTrack::OverDown && !over)
            moveTo(m_pressed, int(isMenu(pressed) ? ButtonTrack::Idle : ButtonTrack::OutDown));
        else if (track == ButtonTrack::OutDown && over)
            moveTo(m_pressed, int(ButtonTrack::OverDown));
        pressed = resolve(m_pressed);
        if (pressed && ButtonTrack(trackOf(m_pressed)) == ButtonTrack::Idle)
            pressed = nullptr; // a menu button lets go when the pointer leaves
        if (pressed)
            return;
        m_pressed = {};
    }
    if (target && target == resolve(m_hover))
        return;
    if (resolve(m_hover))
        moveTo(m_hover, int(ButtonTrack::Idle));
    m_hover = {};
    // The old target's actions may have changed the stage: look again.
    target = pointerTargetAt(point);
    if (!target)
        return;
    if (m_down && isMenu(target)) {
        // A menu button entered while the mouse is held goes straight down.
        m_pressed = targetOf(target);
        moveTo(m_pressed, int(ButtonTrack::OverDown));
    } else if (!m_down) {
        m_hover = targetOf(target);
        moveTo(m_hover, int(ButtonTrack::OverUp));
    }
}

void InputDispatcher::mouseMove(const QPointF& point)
{
    const bool moved = point != m_mouse;
    update(point);
    if (moved) {
        if (ScriptRunner* runner = m_stage.scriptRunner())
            runner->mouseEvent(ClipEvent::MouseMove);
    }
}

void InputDispatcher::mouseDown(const QPointF& point)
{
    update(point);
    m_down = true;
    if (ScriptRunner* runner = m_stage.scriptRunner())
        runner->mouseEvent(ClipEvent::MouseDown);
    DisplayObject* target = interactiveAt(point);
    auto* edit = dynamic_cast<EditTextInstance*>(target);
    if (EditTextInstance* focused = focus(); focused && focused != edit)
        focused->setFocus(false);
    m_focus = edit ? edit->serial() : 0;
    if (edit)
        edit->setFocus(true);
    DisplayObject* hover = resolve(m_hover);
    if (hover && hover == target) {
        m_pressed = m_hover;
        m_hover = {};
        moveTo(m_pressed, int(ButtonTrack::OverDown));
    }
}

void InputDispatcher::mouseUp(const QPointF& point)
{
    // Where the button is let go decides between a click and a release outside.
    update(point);
    m_down = false;
    if (ScriptRunner* runner = m_stage.scriptRunner())
        runner->mouseEvent(ClipEvent::MouseUp);
    if (resolve(m_pressed)) {
        Target pressed = m_pressed;
        m_pressed = {};
        if (ButtonTrack(trackOf(pressed)) == ButtonTrack::OverDown) {
            moveTo(pressed, int(ButtonTrack::OverUp)); // the click
            m_hover = pressed;
        } else {
            moveTo(pressed, int(ButtonTrack::Idle));
        }
    }
    m_pressed = {};
    update(point);
}

void InputDispatcher::mouseWheel(int delta)
{
    if (ScriptRunner* runner = m_stage.scriptRunner())
        runner->mouseWheel(delta);
}

void InputDispatcher::keyDown(int key, const QString& text)
{
    const int code = buttonKeyCode(key, text);
    if (ScriptRunner* runner = m_stage.scriptRunner()) {
        const int ascii = text.size() == 1 && text[0].unicode() < 0x80 ? text[0].unicode() : 0;
        runner->keyEvent(ClipEvent::KeyDown, playerKeyCode(key, text), ascii, code);
    }
    if (EditTextInstance* edit = focus(); edit && edit->keyDown(key, text))
        return;
    if (code == 0)
        return;
    std::vector<quint64> buttons;
    findOnStage(m_stage, [&](DisplayObject& object) {
        if (auto button = dynamic_cast<ButtonInstance*>(&object))
            buttons.push_back(button->serial());
        return false;
    });
    for (quint64 serial : buttons) {
        if (ButtonInstance* button = liveButton(serial))
            button->keyPress(code);
    }
}

void InputDispatcher::keyUp(int key, const QString& text)
{
    // Buttons act on the press; the release reaches scripts through the Key object.
    if (ScriptRunner* runner = m_stage.scriptRunner()) {
        const int ascii = text.size() == 1 && text[0].unicode() < 0x80 ? text[0].unicode() : 0;
        runner->keyEvent(ClipEvent::KeyUp, playerKeyCode(key, text), ascii, 0);
    }
}

bool InputDispatcher::cursorIsHand() const
{
    DisplayObject* object = resolve(m_pressed);
    if (!object)
        object = resolve(m_hover);
    if (!object)
        return false;
    ScriptRunner* runner = m_stage.scriptRunner();
    return !runner || runner->wantsHandCursor(*object);
}

} // namespace swf
