// The display-list operations scripts use: attaching library sprites, empty
// clips, duplicates and depth swaps. Everything made here is script-owned
// (placed in no frame), so the timeline's own tags leave it alone.

#include "swf/runtime/Drawing.h"
#include "swf/runtime/EmptyTimeline.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"

namespace swf {

// The timeline of a clip made empty by a script, and of a sprite whose
// loaded movie was unloaded: one frame with nothing in it.
const TimelineDef& emptyTimeline()
{
    static const TimelineDef timeline = [] {
        TimelineDef t;
        t.frames.resize(1);
        return t;
    }();
    return timeline;
}

SpriteInstance* SpriteInstance::attachSprite(std::uint16_t characterId, const QString& name, int depth)
{
    const Character* character = movie().character(characterId);
    if (!character || character->kind != CharacterKind::Sprite)
        return nullptr;
    if (!stage().canCreateInstance() || m_nesting + 1 >= stage().limits().maxNesting)
        return nullptr;
    removeChild(depth);
    auto child = createInstance(characterId, depth, 0);
    if (!child || !child->asSprite())
        return nullptr;
    child->setName(name);
    SpriteInstance* sprite = child->asSprite();
    insertChild(std::move(child), nullptr);
    return childAt(depth) == sprite ? sprite : nullptr;
}

SpriteInstance* SpriteInstance::createEmptyChild(const QString& name, int depth)
{
    if (!stage().canCreateInstance() || m_nesting + 1 >= stage().limits().maxNesting)
        return nullptr;
    removeChild(depth);
    auto child = std::make_unique<SpriteInstance>(stage(), this, nullptr, 0, depth, emptyTimeline(), m_nesting + 1);
    child->setPlacedFrame(0);
    child->setName(name);
    SpriteInstance* sprite = child.get();
    insertChild(std::move(child), nullptr);
    return childAt(depth) == sprite ? sprite : nullptr;
}

DisplayObject* SpriteInstance::duplicateChild(const DisplayObject& source, const QString& name, int depth)
{
    if (source.parent() != this || childAt(source.depth()) != &source)
        return nullptr;
    if (!stage().canCreateInstance())
        return nullptr;
    std::unique_ptr<DisplayObject> child;
    const SpriteInstance* sourceSprite = source.asSprite();
    if (sourceSprite && !source.character()) {
        if (m_nesting + 1 >= stage().limits().maxNesting)
            return nullptr;
        child = std::make_unique<SpriteInstance>(stage(), this, nullptr, 0, depth, emptyTimeline(), m_nesting + 1);
        child->setPlacedFrame(0);
    } else {
        child = createInstance(source.characterId(), depth, 0);
    }
    if (!child)
        return nullptr;
    child->setName(name);
    child->setMatrix(source.matrix());
    child->setColorTransform(source.colorTransform());
    child->setRatio(source.ratio());
    child->setBlendMode(source.blendMode());
    child->setFilters(source.filters());
    child->setVisible(source.isVisible());
    child->setClipActions(source.clipActions());
    // Drawn content goes along, with the fill and pen still in progress.
    if (sourceSprite && sourceSprite->drawing() && child->asSprite())
        child->asSprite()->setDrawing(std::shared_ptr<Drawing>(sourceSprite->drawing()->clone()));
    // The source may sit at `depth` itself: it is replaced like anything else there.
    removeChild(depth);
    DisplayObject* raw = child.get();
    insertChild(std::move(child), nullptr);
    return childAt(depth) == raw ? raw : nullptr;
}

bool SpriteInstance::swapChildDepths(int from, int to)
{
    auto moving = m_displayList.find(from);
    if (moving == m_displayList.end())
        return false;
    if (from == to)
        return true;
    std::unique_ptr<DisplayObject> first = std::move(moving->second);
    m_displayList.erase(moving);
    ++m_listEdits;
    auto other = m_displayList.find(to);
    if (other != m_displayList.end()) {
        std::unique_ptr<DisplayObject> second = std::move(other->second);
        m_displayList.erase(other);
        second->setDepth(from);
        second->setPlacedFrame(0);
        DisplayObject* moved = second.get();
        m_displayList[from] = std::move(second);
        childNamed(*moved);
    }
    first->setDepth(to);
    first->setPlacedFrame(0);
    DisplayObject* moved = first.get();
    m_displayList[to] = std::move(first);
    ++m_listEdits; // the list changed again since the count above
    childNamed(*moved);
    return true;
}

std::unique_ptr<DisplayObject> SpriteInstance::detachChild(int depth)
{
    auto it = m_displayList.find(depth);
    if (it == m_displayList.end())
        return nullptr;
    std::unique_ptr<DisplayObject> child = std::move(it->second);
    m_displayList.erase(it);
    ++m_listEdits;
    child->setParent(nullptr);
    return child;
}

void SpriteInstance::adoptChild(std::unique_ptr<DisplayObject> child, int depth)
{
    if (!child || m_displayList.count(depth))
        return;
    child->setParent(this);
    child->setDepth(depth);
    DisplayObject* raw = child.get();
    m_displayList[depth] = std::move(child);
    ++m_listEdits;
    childNamed(*raw);
}

} // namespace swf
