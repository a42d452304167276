#include "swf/runtime/Input.h"

#include "swf/movie/Shapes.h"
#include "swf/movie/Texts.h"
#include "swf/runtime/ButtonInstance.h"
#include "swf/runtime/EditTextInstance.h"
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

DisplayObject* findInteractive(const SpriteInstance::DisplayList& list, const QPointF& point)
{
    DisplayObject* found = nullptr;
    forEachUnmaskedTopDown(list, point, [&](DisplayObject& child) {
        QPointF local;
        if (!toLocal(child, point, local))
            return false;
        if (auto button = dynamic_cast<ButtonInstance*>(&child)) {
            if (button->hitArea(local))
                found = button;
        } else if (auto edit = dynamic_cast<EditTextInstance*>(&child)) {
            if ((edit->isSelectable() || edit->isInput()) && edit->record().bounds.toTwips().contains(local))
                found = edit;
        } else if (auto sprite = child.asSprite()) {
            found = findInteractive(sprite->displayList(), local);
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
    return findAll(stage.root(), [object](DisplayObject& candidate) { return &candidate == object; });
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

quint64 nextInputSerial()
{
    static std::atomic<quint64> next { 1 };
    return next++;
}

ButtonInstance* InputDispatcher::liveButton(quint64 serial) const
{
    ButtonInstance* found = nullptr;
    if (serial == 0)
        return nullptr;
    findAll(m_stage.root(), [&](DisplayObject& object) {
        auto button = dynamic_cast<ButtonInstance*>(&object);
        if (button && button->serial() == serial)
            found = button;
        return found != nullptr;
    });
    return found;
}

quint64 InputDispatcher::serialOf(ButtonInstance* button) const
{
    return button ? button->serial() : 0;
}

EditTextInstance* InputDispatcher::focus() const
{
    EditTextInstance* found = nullptr;
    if (m_focus == 0)
        return nullptr;
    findAll(m_stage.root(), [&](DisplayObject& object) {
        auto edit = dynamic_cast<EditTextInstance*>(&object);
        if (edit && edit->serial() == m_focus)
            found = edit;
        return found != nullptr;
    });
    return found;
}

DisplayObject* InputDispatcher::interactiveAt(const QPointF& point) const
{
    return findInteractive(m_stage.root().displayList(), point * 20);
}

void InputDispatcher::update(const QPointF& point)
{
    m_mouse = point;
    auto* target = dynamic_cast<ButtonInstance*>(interactiveAt(point));
    const quint64 targetSerial = serialOf(target);
    if (ButtonInstance* pressed = liveButton(m_pressed)) {
        bool over = targetSerial == m_pressed;
        if (pressed->track() == ButtonTrack::OverDown && !over)
            pressed->moveTo(pressed->definition().record.trackAsMenu ? ButtonTrack::Idle : ButtonTrack::OutDown);
        else if (pressed->track() == ButtonTrack::OutDown && over)
            pressed->moveTo(ButtonTrack::OverDown);
        pressed = liveButton(m_pressed);
        if (pressed && pressed->track() == ButtonTrack::Idle)
            pressed = nullptr; // a menu button lets go when the pointer leaves
        m_pressed = serialOf(pressed);
        if (pressed)
            return;
    }
    if (targetSerial == m_hover && liveButton(m_hover))
        return;
    if (ButtonInstance* hover = liveButton(m_hover))
        hover->moveTo(ButtonTrack::Idle);
    m_hover = 0;
    // The old button's actions may have changed the stage: look again.
    target = dynamic_cast<ButtonInstance*>(interactiveAt(point));
    if (!target)
        return;
    if (m_down && target->definition().record.trackAsMenu) {
        // A menu button entered while the mouse is held goes straight down.
        m_pressed = target->serial();
        target->moveTo(ButtonTrack::OverDown);
    } else if (!m_down) {
        m_hover = target->serial();
        target->moveTo(ButtonTrack::OverUp);
    }
}

void InputDispatcher::mouseMove(const QPointF& point)
{
    update(point);
}

void InputDispatcher::mouseDown(const QPointF& point)
{
    update(point);
    m_down = true;
    DisplayObject* target = interactiveAt(point);
    auto* edit = dynamic_cast<EditTextInstance*>(target);
    if (EditTextInstance* focused = focus(); focused && focused != edit)
        focused->setFocus(false);
    m_focus = edit ? edit->serial() : 0;
    if (edit)
        edit->setFocus(true);
    ButtonInstance* hover = liveButton(m_hover);
    if (hover && hover == target) {
        m_hover = 0;
        m_pressed = hover->serial();
        hover->moveTo(ButtonTrack::OverDown);
    }
}

void InputDispatcher::mouseUp(const QPointF& point)
{
    m_mouse = point;
    m_down = false;
    if (ButtonInstance* button = liveButton(m_pressed)) {
        m_pressed = 0;
        if (button->track() == ButtonTrack::OverDown) {
            m_hover = button->serial();
            button->moveTo(ButtonTrack::OverUp); // the click
        } else {
            button->moveTo(ButtonTrack::Idle);
        }
    }
    m_pressed = 0;
    update(point);
}

void InputDispatcher::keyDown(int key, const QString& text)
{
    if (EditTextInstance* edit = focus(); edit && edit->keyDown(key, text))
        return;
    int code = buttonKeyCode(key, text);
    if (code == 0)
        return;
    std::vector<quint64> buttons;
    findAll(m_stage.root(), [&](DisplayObject& object) {
        if (auto button = dynamic_cast<ButtonInstance*>(&object))
            buttons.push_back(button->serial());
        return false;
    });
    for (quint64 serial : buttons) {
        if (ButtonInstance* button = liveButton(serial))
            button->keyPress(code);
    }
}

void InputDispatcher::keyUp(int, const QString&)
{
    // Buttons act on the press; the key's release reaches scripts through the Key object.
}

bool InputDispatcher::cursorIsHand() const
{
    return liveButton(m_pressed) != nullptr || liveButton(m_hover) != nullptr;
}

} // namespace swf
