// The main window's resize handler and skin painting.

#include "mainwindow/FrmMain.h"

#include "app/Runtime.h"
#include "player/SwfPlayer.h"

void FrmMain::Form_Resize()
{
    forms::resumeNext({
        [this] { DrawSkin(); },
        [this] { swf->setTop(40); },
        [this] { swf->setLeft(10); },
        [this] { swf->setHeight(ScaleHeight() - 50); },
        [this] { swf->setWidth(ScaleWidth() - 20); },
    });
}

void FrmMain::DrawSkin()
{
    forms::resumeNext({
        // The drag strip over the whole title area. Its width is the form's
        // outer width in twips, far wider than the window, which is harmless.
        [this] { ImaBar->setTop(0); },
        [this] { ImaBar->setLeft(0); },
        [this] { ImaBar->setWidth(Width()); },
        [this] { ImaBar->setHeight(40); },
        // The button row starts 85 pixels into the 195-pixel right end.
        [this] { ImaMin->setLeft((ScaleWidth() - 195) + 85); },
        [this] { ImaMin->setTop(6); },
        [this] { ImaMax->setLeft(ImaMin->Left() + ImaMin->Width()); },
        [this] { ImaMax->setTop(6); },
        [this] { ImaClose->setLeft(ImaMax->Left() + ImaMax->Width()); },
        [this] { ImaClose->setTop(6); },
        // Clear with the face colour; the twips numbers taken as pixels cover
        // the whole client area and more.
        [this] {
            const float width = Width();
            const float height = Height();
            const QColor back = BackColor();
            LineBF(0, 0, width, height, back);
        },
        // Left end and right end unscaled, the middle stretched between them,
        // the body stretched over the rest.
        [this] { PaintPicture(ImaMain->Picture(), 0, 0, 100, 40, 0, 0, 100, 40); },
        [this] { PaintPicture(ImaMain->Picture(), 100, 0, Width() - 100, 40, 100, 0, 100, 40); },
        [this] { PaintPicture(ImaMain->Picture(), ScaleWidth() - 195, 0, 195, 40, 172, 0, 195, 40); },
        [this] {
            PaintPicture(ImaMain->Picture(), 0, 40, ScaleWidth(), ScaleHeight() + 40, 0, 40,
                ImaMain->Width(), ImaMain->Height());
        },
        [this] { ImaIcon->setLeft(5); },
        [this] { ImaIcon->setTop(0); },
    });
}
