#pragma once

#include "screens/ScreenTable.h"

class QWidget;

// Makes the working screens the main window opens (the other lines of the screen table are
// dialogs their callers make themselves).
//
// How the main window treats what it gets:
// - a QDialog is shown modally (exec) and deleted afterwards (e.g. frmLANset);
// - any other widget becomes a child screen of the main window; its objectName must be its
//   form name, since the main window finds screens by it;
// - the start routine of the screen table runs when the loaded screen is brought forward
//   again (a newly made screen starts itself);
// - an editor also derives from EditingScreen (screens/ScreenHost.h) for the editing guard,
//   and has its check routine in the screen table.

QWidget *createScreen(ScreenId screen); // nullptr for screens the main window does not make
bool screenAvailable(ScreenId screen);
