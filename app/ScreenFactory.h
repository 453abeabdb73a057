#pragma once

#include <QString>

class QWidget;

// The working screens the main window can open, by form name. A screen that is not in the
// table is not built yet: its menu items and buttons stay disabled.
//
// How the main window treats what it gets:
// - a QDialog is shown modally (exec) and deleted afterwards (e.g. frmLANset);
// - any other widget becomes a child screen of the main window; its objectName must be the
//   form name, since the main window finds screens by it;
// - a screen with a start routine (KojinEdit_Start, ListEdit_Start, MasterEdit_Start) declares
//   it Q_INVOKABLE; it is called when the loaded screen is brought forward again (a newly
//   made screen starts itself);
// - an editor also derives from EditingScreen (screens/ScreenHost.h) for the editing guard.

QWidget *createScreen(const QString &formName); // nullptr for names not available
bool screenAvailable(const QString &formName);
