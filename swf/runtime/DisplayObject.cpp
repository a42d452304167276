#include "swf/runtime/DisplayObject.h"

#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"

namespace swf {

namespace {

// A PlaceObject field that is present replaces the instance's own.
template<typename Field, typename Value>
void setIfPresent(Field& field, const std::optional<Value>& value)
{
    if (value)
        field = *value;
}

} // namespace

const Movie& DisplayObject::movie() const
{
    for (const DisplayObject* o = this; o; o = o->parent()) {
        if (const SpriteInstance* sprite = o->asSprite(); sprite && sprite->loadedMovie())
            return *sprite->loadedMovie();
    }
    return stage().movie();
}

DisplayObject::DisplayObject(Stage& stage, SpriteInstance* parent, const Character* character, std::uint16_t characterId, int depth)
    : m_stage(stage)
    , m_parent(parent)
    , m_character(character)
    , m_characterId(characterId)
    , m_depth(depth)
    , m_bornTick(stage.tickCount())
{
    m_stage.countInstance(1);
}

DisplayObject::~DisplayObject()
{
    setScriptMask(nullptr);
    if (m_maskedObject)
        m_maskedObject->setScriptMask(nullptr);
    if (m_stage.focusRectObject() == this)
        m_stage.setFocusRectObject(nullptr);
    m_stage.countInstance(-1);
}

void DisplayObject::setScriptMask(DisplayObject* mask)
{
    if (mask == this)
        mask = nullptr;
    if (m_scriptMask) {
        m_scriptMask->m_maskedObject = nullptr;
        m_scriptMask = nullptr;
    }
    if (!mask)
        return;
    // A mask serves one object at a time; the newest pairing wins.
    if (mask->m_maskedObject)
        mask->m_maskedObject->setScriptMask(nullptr);
    if (mask->m_scriptMask == this)
        mask->setScriptMask(nullptr); // no object masks its own mask
    m_scriptMask = mask;
    mask->m_maskedObject = this;
    // A script mask ends the clip-depth masking either object took part in.
    m_clipDepth = 0;
    mask->m_clipDepth = 0;
}

void DisplayObject::setName(const QString& name)
{
    m_name = name;
    if (m_parent)
        m_parent->childNamed(*this);
}

void DisplayObject::applyPlacement(const PlaceObject& place)
{
    setIfPresent(m_matrix, place.matrix);
    setIfPresent(m_colorTransform, place.colorTransform);
    setIfPresent(m_ratio, place.ratio);
    if (place.name)
        setName(*place.name);
    setIfPresent(m_clipDepth, place.clipDepth);
    setIfPresent(m_filters, place.filters);
    setIfPresent(m_blendMode, place.blendMode);
    setIfPresent(m_visible, place.visible);
    if (place.opaqueBackground)
        m_opaqueBackground = place.opaqueBackground;
    if (!place.clipActions.empty())
        m_clipActions = place.clipActions;
}

} // namespace swf
