#pragma once

#include <QString>

// The windows of the desktop (other programs' included), where the session lets a program
// see them: an X11 display. Elsewhere (Wayland, off-screen) nothing can be seen.
namespace DesktopWindows {

// True when the window list can be read on this session.
bool visible();

// True when a top-level window of the display has a title containing text (the title a
// viewer gives the window of a file names the file).
bool anyTitled(const QString &text);

} // namespace DesktopWindows
