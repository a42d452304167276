#include "player/Commands.h"

#include "app/Form.h"
#include "app/Runtime.h"
#include "player/CommonDialog.h"
#include "player/PlayerControl.h"

namespace player::commands {

void open(PlayerControl& swf, CommonDialog& cdg)
{
    bool chosen = false;
    forms::resumeNext({
        [&] { chosen = cdg.ShowOpen(); },
        // Only a confirmed choice reaches the player: after a cancel the old
        // file name would clear or restart what plays.
        [&] {
            if (chosen)
                swf.Movie(cdg.FileName);
        },
    });
}

void openFile(PlayerControl& swf, CommonDialog& cdg, const QString& path)
{
    forms::resumeNext({
        [&] { cdg.FileName = path; },
        [&] { swf.Movie(cdg.FileName); },
    });
}

void play(PlayerControl& swf)
{
    swf.Playing(true);
}

void stop(PlayerControl& swf)
{
    swf.Stop();
}

void zoomIn(PlayerControl& swf)
{
    swf.Zoom(50);
}

void zoomOut(PlayerControl& swf)
{
    swf.Zoom(200);
}

void fullScreen(forms::Form& form)
{
    form.setWindowStateValue(2);
}

} // namespace player::commands
