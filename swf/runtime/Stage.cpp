#include "swf/runtime/Stage.h"

#include "swf/runtime/SoundSink.h"
#include "swf/runtime/ButtonInstance.h"
#include "swf/runtime/ScriptRunner.h"

namespace swf {

Stage::Stage(std::shared_ptr<const Movie> movie, StageLimits limits)
    : m_movie(std::move(movie))
    , m_limits(limits)
{
}

Stage::~Stage()
{
    m_root.reset();
}

void Stage::forgetAll(DisplayObject& object)
{
    if (auto sprite = object.asSprite()) {
        for (const auto& [depth, child] : sprite->displayList())
            forgetAll(*child);
    }
    if (auto button = dynamic_cast<ButtonInstance*>(&object)) {
        for (const auto& [depth, part] : button->parts())
            forgetAll(*part);
        for (const auto& [depth, part] : button->hitParts())
            forgetAll(*part);
    }
    m_scriptRunner->instanceRemoved(object);
}

std::uint16_t Stage::exportedCharacter(const QString& name) const
{
    return m_movie->exports().characterFor(name);
}

void Stage::begin()
{
    if (!m_root)
        restart();
}

void Stage::restart()
{
    if (m_root && m_scriptRunner)
        forgetAll(*m_root);
    m_root.reset();
    m_background = Qt::white;
    m_tick = 0;
    m_instanceNames = 0;
    m_initActionsRun.clear();
    m_root = std::make_unique<SpriteInstance>(*this, nullptr, nullptr, 0, 0, m_movie->root(), 0);
    m_root->enterFirstFrame();
}

void Stage::tick()
{
    ++m_tick;
    m_root->tick();
}

void Stage::replayTo(int frame)
{
    bool effects = m_effects;
    m_effects = false;
    restart();
    frame = std::clamp(frame, 1, m_root->frameCount());
    while (m_root->currentFrame() < frame)
        tick();
    m_effects = effects;
}

void Stage::setSoundSink(SoundSink* sink)
{
    m_soundSink = sink;
    if (!sink)
        return;
    for (const auto& [code, body] : m_movie->soundDefinitions()) {
        if (code == 14)
            sink->defineSound(body);
        else
            sink->defineButtonSound(body);
    }
}

} // namespace swf
