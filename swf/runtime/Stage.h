#pragma once

// The stage: the root timeline of a loaded movie with everything placed on
// it, the background colour, and the seams to the script machine and the audio side.

#include "swf/movie/Movie.h"
#include "swf/runtime/SpriteInstance.h"

#include <QColor>
#include <QHash>

#include <map>

#include <memory>
#include <set>

namespace swf {

class DisplayRasterizer;
class ScriptRunner;
class SoundSink;

struct StageLimits {
    int maxNesting = 64;        // sprite instances inside sprite instances
    int maxInstances = 100000;  // live display objects on the whole stage
};

class Stage {
public:
    // Frame 1 is not built yet: attach the script machine and the sound sink,
    // then call begin(), so that both hear frame 1 the one time it runs.
    explicit Stage(std::shared_ptr<const Movie> movie, StageLimits limits = {});
    ~Stage();

    const Movie& movie() const { return *m_movie; }
    std::shared_ptr<const Movie> moviePointer() const { return m_movie; }
    const StageLimits& limits() const { return m_limits; }
    SpriteInstance& root() { return *m_root; }
    const SpriteInstance& root() const { return *m_root; }

    QColor backgroundColor() const { return m_background; }
    void setBackgroundColor(const QColor& color) { m_background = color; }

    // The object a script gave the focus to (not a text field): the renderer
    // draws the yellow focus rectangle round it. Cleared when it goes away.
    const DisplayObject* focusRectObject() const { return m_focusRect; }
    void setFocusRectObject(const DisplayObject* object) { m_focusRect = object; }

    // Advances every timeline by one frame.
    void tick();
    quint64 tickCount() const { return m_tick; }
    // Builds frame 1 from the movie; once, right after construction.
    void begin();
    // Rebuilds the stage as it stood when the root showed `frame` after playing
    // from the start, with scripts and sounds held back during the replay.
    void replayTo(int frame);

    ScriptRunner* scriptRunner() const { return m_effects ? m_scriptRunner : nullptr; }
    void setScriptRunner(ScriptRunner* runner) { m_scriptRunner = runner; }
    SoundSink* soundSink() const { return m_effects ? m_soundSink : nullptr; }
    // Hands the movie's sound definitions to the sink at once.
    void setSoundSink(SoundSink* sink);

    // The renderer's drawing port for scripts that ask for pixels; null when
    // the stage is run without one, and then such requests draw nothing.
    DisplayRasterizer* rasterizer() const { return m_rasterizer; }
    void setRasterizer(DisplayRasterizer* rasterizer) { m_rasterizer = rasterizer; }

    // The character the movie exports under `name` (ExportAssets), 0 when none.
    // Names match exactly first, then ignoring case.
    std::uint16_t exportedCharacter(const QString& name) const;

    // "instance1", "instance2", ...: the names the player gives to sprites,
    // buttons and edit texts placed without one, counted over the movie's life.
    QString nextInstanceName() { return QStringLiteral("instance%1").arg(++m_instanceNames); }

    // DoInitAction runs once per sprite id of a movie in the stage's life
    // (loaded movies count apart); true the first time.
    bool claimInitAction(const Movie* movie, std::uint16_t spriteId)
    {
        return m_initActionsRun.insert({ movie, spriteId }).second;
    }

    // Levels above the stage movie (loadMovieNum): each is a root of its own
    // movie, drawn above the levels below it. Level 0 is root().
    using Levels = std::map<int, std::unique_ptr<SpriteInstance>>;
    const Levels& levels() const { return m_levels; }
    // Level `n` (0: the root), or null.
    SpriteInstance* level(int n);
    // Level `n`, made empty when there is none yet; null for a negative n.
    SpriteInstance* makeLevel(int n);
    // Takes level `n` (not 0) away, with the unload events of all in it.
    void removeLevel(int n);
    // The level number of a level root, -1 for any other instance.
    int levelOf(const SpriteInstance& sprite) const;

    // Live-object bookkeeping for the instance cap.
    void countInstance(int delta) { m_instances += delta; }
    int instanceCount() const { return m_instances; }
    bool canCreateInstance() const { return m_instances < m_limits.maxInstances; }

private:
    // Throws the whole stage away and builds frame 1 again from the movie.
    void restart();
    // Tells the script side to forget every instance of the stage, even
    // while effects are held back, before the whole stage is thrown away.
    void forgetAll(DisplayObject& object);

    std::shared_ptr<const Movie> m_movie;
    StageLimits m_limits;
    std::unique_ptr<SpriteInstance> m_root;
    QColor m_background = Qt::white;
    const DisplayObject* m_focusRect = nullptr;
    quint64 m_tick = 0;
    int m_instances = 0;
    quint64 m_instanceNames = 0;
    bool m_effects = true;
    ScriptRunner* m_scriptRunner = nullptr;
    SoundSink* m_soundSink = nullptr;
    DisplayRasterizer* m_rasterizer = nullptr;
    std::set<std::pair<const Movie*, std::uint16_t>> m_initActionsRun;
    Levels m_levels;
};

} // namespace swf
