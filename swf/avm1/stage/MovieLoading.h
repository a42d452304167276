#pragma once

// Movies loaded into clips and levels: loadMovie, loadMovieNum, unloadMovie
// (the getURL2 action and the MovieClip methods), loadVariables, and the
// MovieClipLoader class with its events. Requests are answered two frames
// on, before that frame's enterFrame events, as the player answers them;
// a movie arriving takes the place of the target's content at once and its
// first frame's actions run with that frame's.

#include <QString>

namespace swf {
class DisplayObject;
}

namespace swf::avm1 {

class Interpreter;
class LoadQueue;
class Object;
class StageScripts;

// Movies inside movies inside movies ... stop here: a movie that loads
// itself into one of its clips cannot nest without end.
inline constexpr int MaxLoadedMovieNesting = 8;
// Movies one run may load in all; further requests fail. With one load
// per frame at most answered per request, nothing can hold the player.
inline constexpr int MaxMovieLoads = 1000;

// Movie requests wait in the interpreter's movie queue (LoadRequests.h),
// answered a frame later than text requests. The host calls this as the
// interpreter goes, to drop its count of loads.
void forgetMovieLoads(Interpreter& vm);

// Queues `url` for the clip `target` or, with a null target, for level
// `level`; an empty address unloads. `loader` is the MovieClipLoader to
// tell of the load's progress, or null. False when nothing could be queued.
bool requestMovie(StageScripts& owner, Object* target, int level, const QString& url, Object* loader);
// Queues `url`'s variables for the clip `target` or level `level`.
bool requestVariables(StageScripts& owner, Object* target, int level, const QString& url);

// The address of the movie `object` belongs to (its _url): the file a
// loaded movie came from, else the first movie's file; empty for a movie
// that came as bytes.
QString movieUrl(StageScripts& owner, const DisplayObject* object);

// MovieClipLoader's methods and the MovieClip methods loadMovie,
// unloadMovie and loadVariables.
void installMovieLoading(Interpreter& vm);

} // namespace swf::avm1
