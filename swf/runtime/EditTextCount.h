#pragma once

// How many text fields are alive in the process, over every stage. The
// passes that look for text fields after each frame walk the whole display
// tree; with none alive anywhere they have nothing to find and skip the walk.

namespace swf {

int liveEditTexts();

} // namespace swf
