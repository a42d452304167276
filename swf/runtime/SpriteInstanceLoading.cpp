// Movies loaded into sprites and levels (loadMovie, MovieClipLoader): the
// sprite stays where it is, and its content becomes the loaded movie's.

#include "swf/runtime/EmptyTimeline.h"
#include "swf/runtime/ScriptRunner.h"
#include "swf/runtime/SoundSink.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"

namespace swf {

int SpriteInstance::loadedMovieNesting() const
{
    int n = 0;
    for (const DisplayObject* o = this; o; o = o->parent()) {
        if (const SpriteInstance* sprite = o->asSprite(); sprite && sprite->loadedMovie())
            ++n;
    }
    return n;
}

void SpriteInstance::replaceContent(std::shared_ptr<const Movie> movie)
{
    // The old content leaves as a removal would: unload events, then gone.
    while (!m_displayList.empty())
        removeChild(std::prev(m_displayList.end())->first);
    if (auto sink = stage().soundSink())
        sink->timelineRemoved(reinterpret_cast<std::uintptr_t>(this));
    // The script side forgets the old clip: its variables and handlers go
    // with the old movie, and references to it reach the new content by path.
    if (auto runner = stage().scriptRunner())
        runner->forgetTree(*this);
    m_drawing.reset();
    m_loadedMovie = std::move(movie);
    m_timeline = m_loadedMovie ? &m_loadedMovie->root() : &emptyTimeline();
    if (m_timeline->frames.empty())
        m_timeline = &emptyTimeline();
    m_currentFrame = 0;
    m_playing = true;
    enterFirstFrame();
}

} // namespace swf
