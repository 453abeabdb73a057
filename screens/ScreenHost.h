#pragma once

#include "ScreenTable.h"

#include <QList>

class QWidget;

// What a screen needs from the main window: find, show and close the child screens (each
// known by its form name, its objectName). The main window installs itself; a test can
// install a small host of its own, or none (then screens are shown as top-level widgets).
class ScreenHost
{
public:
    virtual ~ScreenHost() = default;
    virtual QWidget *findScreen(ScreenId screen) = 0;
    // Shows a screen inside the main window (takes ownership) and brings it to the front.
    virtual void showScreen(QWidget *screen) = 0;
    // Closes the screen, if open, without asking.
    virtual void closeScreen(ScreenId screen) = 0;
};

void setScreenHost(ScreenHost *host);
ScreenHost *screenHost(); // may be nullptr

// Closes each screen in order, when open (used after saves, month change, restore).
void closeScreens(const QList<ScreenId> &screens);

// The screens that keep their own copy of the month's punches: the two time-card editors.
const QList<ScreenId> &punchEditors();

// Before punches are written under open screens: each of them that holds unsaved edits asks
// about them (save or drop). False when one has to stay (a refused field, a failed save);
// that screen is brought forward and nothing may be written.
bool settleOpenScreens(const QList<ScreenId> &screens);
// After punches were written under open screens: each of them reads them again.
void reloadOpenScreens(const QList<ScreenId> &screens);

// A screen that edits. Its check routine (whether it may be left: 0, or must stay: -1, saving
// first when the user wants) is named in the screen table, which the editing guard asks.
class EditingScreen
{
public:
    virtual ~EditingScreen() = default;
    // True while the screen holds edits that are not saved (or a field it refused).
    virtual bool holdsEdits() const { return false; }
    // The check routine for a screen that may stand behind another: the same questions, without
    // taking the keyboard focus. 0 when nothing is left unsaved, -1 to stay. A screen that
    // reports edits (holdsEdits) answers it.
    virtual int settleEdits() { return 0; }
    // Reads the stored data again, keeping the screen's place (its start routine).
    virtual void reloadData() {}
};
