#include "swf/runtime/ButtonInstance.h"

#include "swf/runtime/SoundSink.h"
#include "swf/runtime/EditTextInstance.h"
#include "swf/runtime/Input.h"
#include "swf/runtime/ScriptRunner.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"

namespace swf {

bool buttonTransitionEvent(ButtonTrack from, ButtonTrack to, ClipEvent& event)
{
    using T = ButtonTrack;
    if (from == T::Idle && to == T::OverUp) event = ClipEvent::RollOver;
    else if (from == T::OverUp && to == T::Idle) event = ClipEvent::RollOut;
    else if (from == T::OverUp && to == T::OverDown) event = ClipEvent::Press;
    else if (from == T::OverDown && to == T::OverUp) event = ClipEvent::Release;
    else if (from == T::OverDown && to == T::OutDown) event = ClipEvent::DragOut;
    else if (from == T::OutDown && to == T::OverDown) event = ClipEvent::DragOver;
    else if (from == T::OutDown && to == T::Idle) event = ClipEvent::ReleaseOutside;
    // A menu button entered or left with the mouse held.
    else if (from == T::Idle && to == T::OverDown) event = ClipEvent::DragOver;
    else if (from == T::OverDown && to == T::Idle) event = ClipEvent::DragOut;
    else return false;
    return true;
}

ButtonInstance::ButtonInstance(Stage& stage, SpriteInstance* parent, const ButtonDef* definition, std::uint16_t characterId,
    int depth, int nesting)
    : DisplayObject(stage, parent, definition, characterId, depth)
    , m_serial(nextInputSerial())
    , m_definition(definition)
    , m_nesting(nesting)
{
    buildParts();
}

ButtonInstance::~ButtonInstance()
{
    m_parts.clear();
    m_hitParts.clear();
}

std::unique_ptr<DisplayObject> ButtonInstance::createPart(Stage& stage, SpriteInstance* parent, std::uint16_t characterId,
    int depth, int nesting)
{
    if (!stage.canCreateInstance())
        return nullptr;
    const Character* character = (parent ? parent->movie() : stage.movie()).character(characterId);
    if (character && nesting + 1 < stage.limits().maxNesting) {
        switch (character->kind) {
        case CharacterKind::Sprite: {
            auto sprite = std::make_unique<SpriteInstance>(stage, parent, character, characterId, depth,
                static_cast<const SpriteDef*>(character)->timeline, nesting + 1);
            return sprite;
        }
        case CharacterKind::Button:
            if (auto def = dynamic_cast<const ButtonDef*>(character))
                return std::make_unique<ButtonInstance>(stage, parent, def, characterId, depth, nesting + 1);
            break;
        case CharacterKind::EditText:
            if (auto def = dynamic_cast<const EditTextDef*>(character))
                return std::make_unique<EditTextInstance>(stage, parent, def, characterId, depth);
            break;
        default:
            return std::make_unique<DisplayObject>(stage, parent, character, characterId, depth);
        }
    }
    // Unknown ids, damaged definitions and parts nested past the cap hold their depth and draw nothing.
    return std::make_unique<DisplayObject>(stage, parent, nullptr, characterId, depth);
}

std::uint8_t ButtonInstance::visualState() const
{
    switch (m_track) {
    case ButtonTrack::OverUp: return ButtonOver;
    case ButtonTrack::OverDown: return ButtonDown;
    case ButtonTrack::OutDown: return ButtonOver;
    case ButtonTrack::Idle: break;
    }
    return ButtonUp;
}

void ButtonInstance::buildParts()
{
    // The parts of the old state go away: anything that refers to them hears it first.
    if (SpriteInstance* owner = parent()) {
        for (auto& [depth, part] : m_parts)
            owner->notifyRemoved(*part);
    }
    m_parts.clear();
    std::uint8_t state = visualState();
    bool buildHit = m_hitParts.empty();
    for (const ButtonPart& part : m_definition->record.parts) {
        for (std::uint8_t wanted : { state, std::uint8_t(ButtonHit) }) {
            if (!(part.states & wanted) || (wanted == ButtonHit && !buildHit))
                continue;
            Parts& into = wanted == ButtonHit ? m_hitParts : m_parts;
            if (into.count(part.depth))
                continue;
            auto object = createPart(stage(), parent(), part.characterId, part.depth, m_nesting);
            if (!object)
                continue;
            object->setMatrix(part.matrix);
            object->setColorTransform(part.colorTransform);
            object->setBlendMode(part.blendMode);
            object->setFilters(part.filters);
            DisplayObject* raw = object.get();
            into.emplace(part.depth, std::move(object));
            if (auto sprite = raw->asSprite())
                sprite->enterFirstFrame();
        }
    }
}

void ButtonInstance::runActions(std::uint16_t condition)
{
    std::vector<const QByteArray*> blocks;
    for (const ButtonAction& action : m_definition->record.actions) {
        if (action.conditions & condition)
            blocks.push_back(&action.actions);
    }
    runBlocks(blocks);
}

void ButtonInstance::runBlocks(const std::vector<const QByteArray*>& blocks)
{
    // The blocks belong to the definition, which outlives this instance; a
    // block may remove the button (or its timeline), so each run checks first.
    Stage& stage = this->stage();
    for (const QByteArray* block : blocks) {
        ScriptRunner* runner = stage.scriptRunner();
        if (!runner || !isOnStage(stage, this) || !parent())
            return;
        runner->buttonAction(*this, *parent(), *block);
    }
}

void ButtonInstance::moveTo(ButtonTrack next)
{
    if (next == m_track)
        return;
    ButtonTrack previous = m_track;
    std::uint16_t condition = 0;
    int sound = -1;
    using T = ButtonTrack;
    if (previous == T::Idle && next == T::OverUp) { condition = CondIdleToOverUp; sound = 1; }
    else if (previous == T::OverUp && next == T::Idle) { condition = CondOverUpToIdle; sound = 0; }
    else if (previous == T::OverUp && next == T::OverDown) { condition = CondOverUpToOverDown; sound = 2; }
    else if (previous == T::OverDown && next == T::OverUp) { condition = CondOverDownToOverUp; sound = 3; }
    else if (previous == T::OverDown && next == T::OutDown) condition = CondOverDownToOutDown;
    else if (previous == T::OutDown && next == T::OverDown) condition = CondOutDownToOverDown;
    else if (previous == T::OutDown && next == T::Idle) condition = CondOutDownToIdle;
    else if (previous == T::Idle && next == T::OverDown) condition = CondIdleToOverDown;
    else if (previous == T::OverDown && next == T::Idle) condition = CondOverDownToIdle;
    std::uint8_t shownBefore = visualState();
    m_track = next;
    if (visualState() != shownBefore)
        buildParts();
    if (sound >= 0) {
        if (auto sink = stage().soundSink())
            sink->buttonSound(characterId(), sound);
    }
    // Actions last: a script may remove this very button. Handlers scripts
    // gave the button follow its own actions.
    runActions(condition);
    ClipEvent event;
    if (buttonTransitionEvent(previous, next, event)) {
        if (ScriptRunner* runner = stage().scriptRunner(); runner && isOnStage(stage(), this))
            runner->buttonEvent(*this, event);
    }
}

bool ButtonInstance::keyPress(int swfKey)
{
    std::vector<const QByteArray*> blocks;
    for (const ButtonAction& action : m_definition->record.actions) {
        if (action.keyCode != 0 && action.keyCode == swfKey)
            blocks.push_back(&action.actions);
    }
    runBlocks(blocks);
    return !blocks.empty();
}

bool ButtonInstance::hitArea(const QPointF& point) const
{
    for (const auto& [depth, part] : m_hitParts) {
        if (hitTestObject(*part, point))
            return true;
    }
    return false;
}

void ButtonInstance::tick()
{
    std::vector<DisplayObject*> parts;
    for (const auto& [depth, part] : m_parts)
        parts.push_back(part.get());
    for (DisplayObject* part : parts) {
        if (auto sprite = part->asSprite())
            sprite->tick();
        else if (auto button = dynamic_cast<ButtonInstance*>(part))
            button->tick();
    }
}

} // namespace swf
