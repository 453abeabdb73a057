#pragma once

#include <QString>

class QWidget;

// What a screen needs from the main window: find, show and close the child screens by their
// form name (objectName, e.g. "frmKojinEdit"). The main window installs itself; a test can
// install a small host of its own, or none (then screens are shown as top-level widgets).
class ScreenHost
{
public:
    virtual ~ScreenHost() = default;
    virtual QWidget *findScreen(const QString &formName) = 0;
    // Shows a screen inside the main window (takes ownership) and brings it to the front.
    virtual void showScreen(QWidget *screen) = 0;
    // Closes the screen of that name, if open, without asking.
    virtual void closeScreen(const QString &formName) = 0;
};

void setScreenHost(ScreenHost *host);
ScreenHost *screenHost(); // may be nullptr

// Closes each named screen in order, when open (used after saves, month change, restore).
void closeScreens(const QStringList &formNames);

// A screen that edits: its check routine decides whether it may be left (0) or must stay
// (-1), saving first when the user wants. The main window's editing guard calls it.
class EditingScreen
{
public:
    virtual ~EditingScreen() = default;
    virtual int checkRoutine() = 0;
};
