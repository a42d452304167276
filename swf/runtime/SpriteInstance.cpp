#include "swf/runtime/SpriteInstance.h"

#include "swf/runtime/SoundSink.h"
#include "swf/format/TagCodes.h"
#include "swf/runtime/ButtonInstance.h"
#include "swf/runtime/ScriptRunner.h"
#include "swf/runtime/Stage.h"
#include "swf/runtime/VideoInstance.h"

#include <algorithm>
#include <span>
#include <cstdint>

namespace swf {

namespace {

// A frame's init actions run once per movie, whether the frame is shown or
// passed over by a goto: a class defined there is there for later frames.
void queueInitActions(SpriteInstance& sprite, int frame)
{
    ScriptRunner* runner = sprite.stage().scriptRunner();
    if (!runner)
        return;
    for (const ControlTag& tag : sprite.timeline().frames[std::size_t(frame - 1)]) {
        if (tag.code == TagDoInitAction && tag.body.size() >= 2 && sprite.stage().claimInitAction(&sprite.movie(), tag.characterId))
            runner->runInitActions(sprite, tag.characterId, tag.body.mid(2));
    }
}

} // namespace

SpriteInstance::SpriteInstance(Stage& stage, SpriteInstance* parent, const Character* character, std::uint16_t characterId,
    int depth, const TimelineDef& timeline, int nesting)
    : DisplayObject(stage, parent, character, characterId, depth)
    , m_timeline(&timeline)
    , m_nesting(nesting)
{
}

SpriteInstance::~SpriteInstance()
{
    // Children go first, deepest last placed first, so their parent is intact while they die.
    while (!m_displayList.empty())
        m_displayList.erase(std::prev(m_displayList.end()));
}

DisplayObject* SpriteInstance::childAt(int depth) const
{
    // A timeline places and moves its children in depth order, and a rewind
    // walks them so: the look-up tries the child last found and the one
    // after it before searching, while the list is as it was then.
    if (m_hintEdits == m_listEdits) {
        if (m_hint->first == depth)
            return m_hint->second.get();
        if (auto next = std::next(m_hint); next != m_displayList.end() && next->first == depth) {
            m_hint = next;
            return next->second.get();
        }
    }
    auto it = m_displayList.find(depth);
    if (it == m_displayList.end())
        return nullptr;
    m_hint = it;
    m_hintEdits = m_listEdits;
    return it->second.get();
}

DisplayObject* SpriteInstance::childByName(const QString& name, Qt::CaseSensitivity cs) const
{
    return m_names.find(name, cs, m_displayList);
}

void SpriteInstance::notifyRemoved(DisplayObject& object)
{
    notifyUnload(object);
    if (auto runner = stage().scriptRunner())
        runner->forgetTree(object);
}

void SpriteInstance::notifyUnload(DisplayObject& object)
{
    if (auto sprite = object.asSprite()) {
        for (auto& [depth, child] : sprite->m_displayList)
            notifyUnload(*child);
        if (auto sink = stage().soundSink())
            sink->timelineRemoved(reinterpret_cast<std::uintptr_t>(sprite));
    }
    // A button's parts are display objects too, sprites with scripts among them.
    if (auto button = dynamic_cast<ButtonInstance*>(&object)) {
        for (auto& [depth, part] : button->parts())
            notifyUnload(*part);
        for (auto& [depth, part] : button->hitParts())
            notifyUnload(*part);
    }
    if (auto runner = stage().scriptRunner())
        runner->clipEvent(object, ClipEvent::Unload, object.clipActions());
}

void SpriteInstance::removeChild(int depth)
{
    if (!m_covered.empty())
        std::erase_if(m_covered, [depth](const std::unique_ptr<DisplayObject>& c) { return c->depth() == depth; });
    auto it = m_displayList.find(depth);
    if (it == m_displayList.end())
        return;
    std::unique_ptr<DisplayObject> child = std::move(it->second);
    m_displayList.erase(it);
    ++m_listEdits;
    ScriptRunner* runner = stage().scriptRunner();
    if (!runner) {
        notifyRemoved(*child);
        return;
    }
    // The unload work runs later, on the instance as it stood: the runner
    // keeps it until then.
    notifyUnload(*child);
    runner->instanceLeaving(std::move(child));
}

std::unique_ptr<DisplayObject> SpriteInstance::createInstance(std::uint16_t characterId, int depth, int frame)
{
    if (!stage().canCreateInstance())
        return nullptr;
    const Character* character = movie().character(characterId);
    std::unique_ptr<DisplayObject> object;
    if (character && (character->kind == CharacterKind::Button || character->kind == CharacterKind::EditText)) {
        object = ButtonInstance::createPart(stage(), this, characterId, depth, m_nesting);
        if (!object)
            return nullptr;
    } else if (character && character->kind == CharacterKind::Sprite && m_nesting + 1 < stage().limits().maxNesting) {
        auto sprite = static_cast<const SpriteDef*>(character);
        object = std::make_unique<SpriteInstance>(stage(), this, character, characterId, depth, sprite->timeline, m_nesting + 1);
    } else if (character && character->kind == CharacterKind::Video) {
        // A video keeps its own decoding state, so it is an instance of its own kind.
        object = std::make_unique<VideoInstance>(stage(), this, static_cast<const VideoStreamDef*>(character), characterId, depth);
    } else {
        // Unknown ids and sprites nested past the cap still hold their depth; they draw nothing.
        if (character && character->kind == CharacterKind::Sprite)
            character = nullptr;
        object = std::make_unique<DisplayObject>(stage(), this, character, characterId, depth);
    }
    object->setPlacedFrame(frame);
    return object;
}

void SpriteInstance::insertChild(std::unique_ptr<DisplayObject> child, const PlaceObject* place)
{
    if (place)
        child->applyPlacement(*place);
    DisplayObject* raw = child.get();
    if (raw->name().isEmpty() && (raw->asSprite() || (raw->character() && (raw->character()->kind == CharacterKind::Button
        || raw->character()->kind == CharacterKind::EditText))))
        raw->setName(stage().nextInstanceName()); // scripts reach every such instance by a name
    m_displayList[raw->depth()] = std::move(child);
    ++m_listEdits;
    childNamed(*raw);
    // Its class and its initialize and construct events come before anything
    // its first frame does; its load event after that frame's own actions.
    if (auto runner = stage().scriptRunner())
        runner->instancePlaced(*raw);
    if (auto sprite = raw->asSprite())
        sprite->enterFirstFrame();
    if (childAt(raw->depth()) != raw)
        return;
    if (auto runner = stage().scriptRunner())
        runner->clipEvent(*raw, ClipEvent::Load, raw->clipActions());
}

void SpriteInstance::applyPlace(const PlaceObject& place, int frame)
{
    DisplayObject* existing = childAt(place.depth);
    if (place.version == 1 || !place.move) {
        // A new placement on an occupied depth is ignored, except PlaceObject 1
        // which always replaces; up to version 5 it goes beneath the occupant.
        if (place.characterId && existing && place.version != 1 && movie().version() <= 5
            && m_covered.size() < MaxCovered) {
            if (auto child = createInstance(*place.characterId, place.depth, frame)) {
                child->applyPlacement(place);
                DisplayObject& raw = *child;
                m_covered.push_back(std::move(child));
                if (auto sprite = raw.asSprite())
                    sprite->enterFirstFrame();
            }
            return;
        }
        if (!place.characterId || (existing && place.version != 1))
            return;
        if (existing)
            removeChild(place.depth);
        if (auto child = createInstance(*place.characterId, place.depth, frame))
            insertChild(std::move(child), &place);
        return;
    }
    if (!existing || existing->isScriptOwned())
        return; // moving nothing, or what scripts now own
    // Only a shape (or text, bitmap, morph) becomes another; sprites and buttons
    // keep their character and the timeline changes only the placement.
    // Buttons neither become nor replace another character.
    auto keepsCharacter = [this](std::uint16_t id) {
        const Character* c = movie().character(id);
        return c && (c->kind == CharacterKind::Sprite || c->kind == CharacterKind::Button);
    };
    if (place.characterId && *place.characterId != existing->characterId() && !existing->asSprite()
        && !keepsCharacter(existing->characterId()) && !keepsCharacter(*place.characterId)) {
        // Swap the character but keep the placement's properties.
        auto child = createInstance(*place.characterId, place.depth, frame);
        if (!child)
            return;
        child->setName(existing->name());
        child->setMatrix(existing->matrix());
        child->setColorTransform(existing->colorTransform());
        child->setRatio(existing->ratio());
        child->setClipDepth(existing->clipDepth());
        child->setBlendMode(existing->blendMode());
        child->setFilters(existing->filters());
        removeChild(place.depth);
        insertChild(std::move(child), &place);
        return;
    }
    existing->applyPlacement(place);
}

void SpriteInstance::runFrame(int frame, bool withEffects)
{
    if (frame < 1 || frame > frameCount())
        return;
    // What the new frame removes leaves first, while the timeline still
    // shows the frame it is leaving (scripts told of a removal read that frame).
    for (const ControlTag& tag : m_timeline->frames[std::size_t(frame - 1)]) {
        if (tag.code == TagRemoveObject) {
            DisplayObject* existing = childAt(tag.depth);
            if (existing && existing->characterId() == tag.characterId && !existing->isScriptOwned())
                removeChild(tag.depth);
        } else if (tag.code == TagRemoveObject2) {
            if (DisplayObject* existing = childAt(tag.depth); existing && !existing->isScriptOwned())
                removeChild(tag.depth);
        }
    }
    m_currentFrame = frame;
    // Init actions and sounds belong to the frame as a whole; its actions are
    // queued where they stand among its tags, so a clip placed before a
    // DoAction has its load event ahead of that block, one placed after it behind.
    if (withEffects)
        runEffects(frame);
    else
        queueInitActions(*this, frame);
    ScriptRunner* runner = withEffects ? stage().scriptRunner() : nullptr;
    for (const ControlTag& tag : m_timeline->frames[std::size_t(frame - 1)]) {
        switch (tag.code) {
        case TagPlaceObject:
        case TagPlaceObject2:
        case TagPlaceObject3:
            applyPlace(*tag.place, frame);
            break;
        case TagSetBackgroundColor:
            if (!parent())
                stage().setBackgroundColor(tag.color.toQColor());
            break;
        case TagDoAction:
            if (runner)
                runner->runFrameActions(*this, tag.body);
            break;
        default:
            break;
        }
    }
}

void SpriteInstance::runEffects(int frame)
{
    ScriptRunner* runner = stage().scriptRunner();
    SoundSink* sink = stage().soundSink();
    if (!runner && !sink)
        return;
    const auto& tags = m_timeline->frames[std::size_t(frame - 1)];
    if (sink) {
        for (const ControlTag& tag : tags) {
            switch (tag.code) {
            case TagStartSound:
            case TagStartSound2:
            case TagSoundStreamHead:
            case TagSoundStreamHead2:
            case TagSoundStreamBlock:
                sink->controlTag(reinterpret_cast<std::uintptr_t>(this), tag.code, tag.body, frame);
                break;
            default:
                break;
            }
        }
    }
    if (runner)
        queueInitActions(*this, frame);
}

void SpriteInstance::enterFirstFrame()
{
    runFrame(1, true);
}

namespace {

// Asks for a child's record ahead of its use: a long list is walked in an
// order unrelated to where its children lie in memory, and waiting for each
// in turn was most of the time a tick of many clips took.
void prefetchChild(const DisplayObject* child)
{
    const char* at = reinterpret_cast<const char*>(child);
    for (std::size_t offset = 0; offset < sizeof(SpriteInstance); offset += 64)
        __builtin_prefetch(at + offset);
}

// How many children ahead of the one in hand are asked for.
constexpr std::size_t PrefetchAhead = 8;

// Lists longer than this keep their ticking order (SpriteInstance::TickOrder);
// shorter ones are walked where they stand.
constexpr std::size_t LongList = 8;

} // namespace

void SpriteInstance::rewindTo(int frame)
{
    m_covered.clear(); // placed again when their frames play again
    // What the timeline alone says should be at each depth in `frame`. A
    // depth placed once and never moved keeps pointing at its tag's record;
    // only a depth that a later tag moves gets a merged copy of its own.
    std::map<int, PlacementState> target;
    for (int f = 1; f <= frame; ++f) {
        for (const ControlTag& tag : m_timeline->frames[std::size_t(f - 1)]) {
            if (tag.place) {
                const PlaceObject& place = *tag.place;
                auto it = target.find(place.depth);
                if (place.version == 1 || !place.move) {
                    if (!place.characterId || (it != target.end() && place.version != 1))
                        continue;
                    PlacementState& state = target[place.depth];
                    state.characterId = *place.characterId;
                    state.placedFrame = f;
                    state.place = &place;
                    state.merged.reset();
                } else if (it != target.end()) {
                    PlacementState& state = it->second;
                    if (place.characterId && *place.characterId != state.characterId) {
                        state.characterId = *place.characterId;
                        state.placedFrame = f;
                    }
                    if (!state.merged)
                        state.merged = std::make_unique<PlaceObject>(*state.place);
                    PlaceObject& acc = *state.merged;
                    if (place.matrix) acc.matrix = place.matrix;
                    if (place.colorTransform) acc.colorTransform = place.colorTransform;
                    if (place.ratio) acc.ratio = place.ratio;
                    if (place.name) acc.name = place.name;
                    if (place.clipDepth) acc.clipDepth = place.clipDepth;
                    if (place.filters) acc.filters = place.filters;
                    if (place.blendMode) acc.blendMode = place.blendMode;
                    if (place.visible) acc.visible = place.visible;
                }
            } else if (tag.code == TagRemoveObject2 || tag.code == TagRemoveObject) {
                auto it = target.find(tag.depth);
                if (it != target.end() && (tag.code == TagRemoveObject2 || it->second.characterId == tag.characterId))
                    target.erase(it);
            } else if (tag.code == TagSetBackgroundColor && !parent()) {
                stage().setBackgroundColor(tag.color.toQColor());
            }
        }
    }
    // Keep the instances the target frame still holds (same character, same
    // placement); drop the rest. What scripts placed at script depths, or
    // below the timeline's (script depth under -16384), stays; what they
    // left at the timeline's depths goes with the rebuild. Both lists are in
    // depth order, so one walk over the two finds what goes.
    // Going back, the timeline already shows the target frame as instances leave.
    m_currentFrame = frame;
    std::vector<int> leaving;
    const auto leaves = [&target](int depth, const DisplayObject& child) {
        if (child.isScriptOwned() && (depth >= ScriptDepthOffset || depth < 0))
            return false;
        auto wanted = target.find(depth);
        return wanted == target.end() || wanted->second.characterId != child.characterId()
            || wanted->second.placedFrame != child.placedFrame();
    };
    if (m_displayList.size() > LongList) {
        // A long list is walked in its kept ticking order rather than down
        // its tree; what leaves goes in depth order all the same.
        std::vector<TickEntry> order = takeTickOrder();
        for (std::size_t k = 0; k < order.size(); ++k) {
            if (k + PrefetchAhead < order.size())
                prefetchChild(order[k + PrefetchAhead].object);
            if (leaves(order[k].depth, *order[k].object))
                leaving.push_back(order[k].depth);
        }
        keepTickOrder(std::move(order), m_listEdits);
        std::sort(leaving.begin(), leaving.end());
    } else {
        for (const auto& [depth, child] : m_displayList) {
            if (leaves(depth, *child))
                leaving.push_back(depth);
        }
    }
    for (int depth : leaving)
        removeChild(depth);
    m_currentFrame = frame;
    auto ensure = [this](int depth, const PlacementState& state) {
        const PlaceObject& fields = state.fields();
        if (DisplayObject* child = childAt(depth)) {
            child->applyPlacement(fields);
            return;
        }
        if (auto child = createInstance(state.characterId, depth, state.placedFrame))
            insertChild(std::move(child), &fields);
    };
    // What earlier frames placed stands before the target frame runs; then the
    // target frame's own placements and actions follow in file order, as
    // when the frame is played into.
    runEffects(frame);
    for (const auto& [depth, state] : target) {
        if (state.placedFrame < frame)
            ensure(depth, state);
    }
    ScriptRunner* runner = stage().scriptRunner();
    for (const ControlTag& tag : m_timeline->frames[std::size_t(frame - 1)]) {
        if (tag.place) {
            auto it = target.find(tag.place->depth);
            if (it != target.end())
                ensure(it->first, it->second);
        } else if (tag.code == TagDoAction && runner) {
            runner->runFrameActions(*this, tag.body);
        }
    }
    for (const auto& [depth, state] : target) {
        if (!childAt(depth))
            ensure(depth, state);
    }
}

void SpriteInstance::gotoFrame(int frame, bool andPlay)
{
    m_playing = andPlay;
    frame = std::clamp(frame, 1, std::max(1, frameCount()));
    if (frame == m_currentFrame)
        return;
    if (frame < m_currentFrame) {
        rewindTo(frame);
    } else {
        for (int f = m_currentFrame + 1; f < frame; ++f)
            runFrame(f, false);
        runFrame(frame, true);
    }
}

bool SpriteInstance::gotoLabel(const QString& label, bool andPlay)
{
    int frame = m_timeline->frameForLabel(label);
    if (frame == 0)
        return false;
    gotoFrame(frame, andPlay);
    return true;
}

void SpriteInstance::nextFrame()
{
    if (frameCount() <= 1)
        return;
    if (m_currentFrame >= frameCount()) {
        rewindTo(1);
    } else {
        runFrame(m_currentFrame + 1, true);
    }
}

void SpriteInstance::prevFrame()
{
    if (m_currentFrame > 1)
        gotoFrame(m_currentFrame - 1, false);
    else
        m_playing = false;
}

std::vector<SpriteInstance::TickEntry> SpriteInstance::takeTickOrder()
{
    if (m_tickOrder && m_tickOrder->edits == m_listEdits) {
        m_tickOrder->edits = ~std::uint64_t(0);
        return std::move(m_tickOrder->entries);
    }
    std::vector<TickEntry> entries;
    entries.reserve(m_displayList.size());
    for (auto it = m_displayList.rbegin(); it != m_displayList.rend(); ++it)
        entries.push_back({ it->first, 0, it->second.get() });
    for (std::size_t k = 0; k < entries.size(); ++k) {
        if (k + PrefetchAhead < entries.size())
            prefetchChild(entries[k + PrefetchAhead].object);
        entries[k].born = entries[k].object->bornTick();
    }
    const auto newerFirst = [](const TickEntry& a, const TickEntry& b) { return a.born > b.born; };
    if (!std::is_sorted(entries.begin(), entries.end(), newerFirst))
        std::stable_sort(entries.begin(), entries.end(), newerFirst);
    return entries;
}

void SpriteInstance::keepTickOrder(std::vector<TickEntry> entries, std::uint64_t edits)
{
    if (edits != m_listEdits)
        return;
    if (!m_tickOrder)
        m_tickOrder = std::make_unique<TickOrder>();
    m_tickOrder->entries = std::move(entries);
    m_tickOrder->edits = edits;
}

void SpriteInstance::tick()
{
    // Children advance before their parent, the newest first, so on every
    // frame but their first a clip's actions run ahead of its parent's.
    // Children born during this tick already showed their first frame.
    const quint64 now = stage().tickCount();
    const std::uint64_t editsBefore = m_listEdits;
    const auto tickChild = [this, now, editsBefore](int depth, DisplayObject* child) {
        // Removed while the others ticked, or replaced by a newcomer that may
        // even sit at the same address. While the list is untouched every
        // child is still in it: only a changed list needs the look-up.
        if (m_listEdits != editsBefore && (childAt(depth) != child || child->bornTick() >= now))
            return;
        if (auto sprite = child->asSprite())
            sprite->tick();
        else if (auto button = dynamic_cast<ButtonInstance*>(child))
            button->tick();
        else if (auto runner = stage().scriptRunner(); runner && !child->clipActions().empty())
            runner->clipEvent(*child, ClipEvent::EnterFrame, child->clipActions());
    };
    if (m_displayList.size() > LongList) {
        // A long list keeps its order from tick to tick while nothing joins
        // or leaves it.
        std::vector<TickEntry> order = takeTickOrder();
        for (std::size_t k = 0; k < order.size(); ++k) {
            if (k + PrefetchAhead < order.size())
                prefetchChild(order[k + PrefetchAhead].object);
            // The script object an event looks at, once its clip has come.
            if (k + PrefetchAhead / 2 < order.size()) {
                if (const void* peer = order[k + PrefetchAhead / 2].object->lastScriptPeer()) {
                    __builtin_prefetch(peer);
                    __builtin_prefetch(static_cast<const char*>(peer) + 64);
                }
            }
            if (order[k].born < now)
                tickChild(order[k].depth, order[k].object);
        }
        keepTickOrder(std::move(order), editsBefore);
    } else {
        // Most clips hold a child or two: their list lives on the stack, so
        // that ten thousand of them tick without a heap allocation each.
        using Entry = std::pair<int, DisplayObject*>;
        Entry children[LongList];
        std::size_t count = 0;
        for (auto it = m_displayList.rbegin(); it != m_displayList.rend(); ++it) {
            if (it->second->bornTick() < now)
                children[count++] = { it->first, it->second.get() };
        }
        const auto newerFirst = [](const auto& a, const auto& b) { return a.second->bornTick() > b.second->bornTick(); };
        // On most ticks nobody was born since the last: the list is in order already.
        if (!std::is_sorted(children, children + count, newerFirst))
            std::stable_sort(children, children + count, newerFirst);
        for (const auto& [depth, child] : std::span(children, count))
            tickChild(depth, child);
    }
    // A clip's enterFrame comes before its own frame advances.
    if (auto runner = stage().scriptRunner())
        runner->clipEvent(*this, ClipEvent::EnterFrame, clipActions());
    if (m_playing)
        nextFrame();
}

} // namespace swf
