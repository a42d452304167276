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
    m_levels.clear();
    m_root.reset();
}

SpriteInstance* Stage::level(int n)
{
    if (n == 0)
        return m_root.get();
    auto it = m_levels.find(n);
    return it == m_levels.end() ? nullptr : it->second.get();
}

SpriteInstance* Stage::makeLevel(int n)
{
    if (n < 0)
        return nullptr;
    if (SpriteInstance* existing = level(n))
        return existing;
    auto sprite = std::make_unique<SpriteInstance>(*this, nullptr, nullptr, 0, n, m_movie->root(), 0);
    sprite->setName(QStringLiteral("_level%1").arg(n));
    SpriteInstance* raw = sprite.get();
    m_levels.emplace(n, std::move(sprite));
    raw->replaceContent(nullptr); // empty until a movie is loaded into it
    return raw;
}

void Stage::removeLevel(int n)
{
    auto it = m_levels.find(n);
    if (it == m_levels.end())
        return;
    std::unique_ptr<SpriteInstance> gone = std::move(it->second);
    m_levels.erase(it);
    gone->replaceContent(nullptr); // unload events for what it held
    if (m_scriptRunner)
        m_scriptRunner->forgetTree(*gone);
}

int Stage::levelOf(const SpriteInstance& sprite) const
{
    if (&sprite == m_root.get())
        return 0;
    for (const auto& [n, level] : m_levels) {
        if (level.get() == &sprite)
            return n;
    }
    return -1;
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
    if (m_scriptRunner) {
        for (const auto& [n, level] : m_levels)
            forgetAll(*level);
        if (m_root)
            forgetAll(*m_root);
    }
    m_levels.clear();
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
    // A level added while the levels tick waits for the next tick.
    std::vector<SpriteInstance*> levels;
    for (const auto& [n, level] : m_levels)
        levels.push_back(level.get());
    for (SpriteInstance* level : levels) {
        if (levelOf(*level) >= 0)
            level->tick();
    }
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
