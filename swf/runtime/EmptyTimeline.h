#pragma once

// The timeline of a sprite with nothing to play (an empty clip a script made,
// a sprite whose loaded movie was unloaded): one frame with nothing in it.

#include "swf/movie/Character.h"

namespace swf {

const TimelineDef& emptyTimeline();

} // namespace swf
