#pragma once

// The playback commands behind the six command labels (and the like-named
// menu items). Each makes exactly one call on the player.

class QString;

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
// The second half of open for a file chosen another way (dropped on the
// window): the dialog remembers it, then the player loads it.
void openFile(PlayerControl& swf, CommonDialog& cdg, const QString& path);
void play(PlayerControl& swf);
void stop(PlayerControl& swf);
void zoomIn(PlayerControl& swf);
void zoomOut(PlayerControl& swf);
// A plain maximise of the form (not the maximise toggle: its tooltip stays).
void fullScreen(forms::Form& form);

} // namespace commands
} // namespace player
