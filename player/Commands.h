#pragma once

// The playback commands behind the six command labels (and the like-named
// menu items). Each makes exactly one call on the player.

namespace forms {
class Form;
}

namespace player {

class PlayerControl;
class CommonDialog;

namespace commands {

// The Open dialog, then the chosen file to the player. Both steps skip a
// failing statement; a cancelled dialog changes nothing.
void open(PlayerControl& swf, CommonDialog& cdg);
void play(PlayerControl& swf);
void stop(PlayerControl& swf);
void zoomIn(PlayerControl& swf);
void zoomOut(PlayerControl& swf);
// A plain maximise of the form (not the maximise toggle: its tooltip stays).
void fullScreen(forms::Form& form);

} // namespace commands
} // namespace player
