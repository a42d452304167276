#pragma once

// A button on stage. It tracks where the pointer is (idle, over and up, over
// and down, out and down), shows the parts of the matching state, and on each
// transition runs the actions that wait for it and plays its sound.

#include "swf/movie/Buttons.h"
#include "swf/runtime/DisplayObject.h"

#include <map>
#include <memory>

namespace swf {

enum class ButtonTrack { Idle, OverUp, OverDown, OutDown };

enum class ClipEvent;
// The script event a move between pointer states raises (press, release,
// rollOver ...); false when the move raises none.
bool buttonTransitionEvent(ButtonTrack from, ButtonTrack to, ClipEvent& event);

class ButtonInstance : public DisplayObject {
public:
    ButtonInstance(Stage& stage, SpriteInstance* parent, const ButtonDef* definition, std::uint16_t characterId, int depth, int nesting);
    ~ButtonInstance() override;

    const ButtonDef& definition() const { return *m_definition; }
    ButtonTrack track() const { return m_track; }
    // The drawn state: up, over or down (ButtonStateFlag).
    std::uint8_t visualState() const;

    // Moves to `next`: runs the actions whose condition is this transition,
    // plays the transition's sound and shows the new state's parts.
    void moveTo(ButtonTrack next);
    // Runs the actions bound to a key (1-19 special keys, 32-126 characters); true if any.
    bool keyPress(int swfKey);

    // The parts of the state now shown, by depth.
    using Parts = std::map<int, std::unique_ptr<DisplayObject>>;
    const Parts& parts() const { return m_parts; }
    const Parts& hitParts() const { return m_hitParts; }
    // True when `point` (twips in the button's own space) lies in the hit area.
    bool hitArea(const QPointF& point) const;

    void tick();

    // Creates the instance a character id places: sprite, button, edit text or
    // a plain object; null when the stage is full.
    static std::unique_ptr<DisplayObject> createPart(Stage& stage, SpriteInstance* parent, std::uint16_t characterId,
        int depth, int nesting);

    // Unique for the life of the process, so input never mistakes a new
    // instance at a reused address for the one it was tracking.
    quint64 serial() const { return m_serial; }

private:
    quint64 m_serial;
    void buildParts();
    void runActions(std::uint16_t condition);
    void runBlocks(const std::vector<const QByteArray*>& blocks);

    const ButtonDef* m_definition;
    int m_nesting;
    ButtonTrack m_track = ButtonTrack::Idle;
    Parts m_parts;
    Parts m_hitParts;
};

} // namespace swf
