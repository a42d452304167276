#include "app/DefaultInstances.h"

#include "mainwindow/FrmMain.h"
#include "menu/FrmMenu.h"

namespace {

// Kept for the life of the process: the program ends through End or the
// event loop's end, and never destroys its forms one by one.
template<typename T>
T& defaultInstance(T*& slot)
{
    if (!slot) {
        // Stored before loading, so the load handler can refer to its own form.
        slot = new T;
        slot->Load();
    }
    return *slot;
}

FrmMain* g_frmMain = nullptr;
FrmMenu* g_frmMenu = nullptr;

} // namespace

FrmMain& frmMain()
{
    return defaultInstance(g_frmMain);
}

FrmMenu& frmMenu()
{
    return defaultInstance(g_frmMenu);
}
