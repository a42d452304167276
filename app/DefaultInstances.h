#pragma once

// The program-wide default instances of the two forms. The first reference
// creates the form and loads it (its load handler runs); later references
// return the same instance.

class FrmMain;
class FrmMenu;

FrmMain& frmMain();
FrmMenu& frmMenu();
