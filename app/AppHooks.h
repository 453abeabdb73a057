#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// The places where the program hands something to the desktop or ends itself. Tests replace
// them to see what would have been opened instead of starting a browser.
namespace AppHooks {

// Opens a file or web address with the desktop's default viewer (help pages, logs, the FAQ
// address). False when nothing could be started.
bool openExternal(const QUrl &url);
void setOpenExternal(std::function<bool(const QUrl &)> fn); // empty: the desktop

// Whether a window of the desktop shows the file of that name (a viewer titles its window
// with the file's name). False where the desktop's windows cannot be seen.
bool viewerShowing(const QString &fileName);
void setViewerShowing(std::function<bool(const QString &)> fn); // empty: the desktop's windows

// Ends the program's event loop (after the databases are closed).
void endProgram(int code = 0);
void setEndProgram(std::function<void(int)> fn); // empty: QCoreApplication::exit

// The desktop's date-and-time settings: whether one can be started, and starting it.
bool canOpenDateTimeSettings();
bool openDateTimeSettings();

} // namespace AppHooks
