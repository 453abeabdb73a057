#include "AppHooks.h"

#include "DesktopWindows.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace AppHooks {
namespace {

std::function<bool(const QUrl &)> g_open;
std::function<void(int)> g_end;
std::function<bool(const QString &)> g_showing;

// Date-and-time panels of the common desktops, tried in this order.
struct Panel {
    const char *program;
    const char *argument;
};
const Panel kPanels[] = {
    {"gnome-control-center", "datetime"}, {"kcmshell6", "kcm_clock"}, {"kcmshell5", "clock"},
    {"xfce4-datetime-settings", nullptr}, {"time-admin", nullptr},
};

const Panel *findPanel()
{
    if (qEnvironmentVariableIsSet("CORVAN21_TESTING"))
        return nullptr; // tests never start desktop programs
    for (const Panel &p : kPanels)
        if (!QStandardPaths::findExecutable(QString::fromLatin1(p.program)).isEmpty())
            return &p;
    return nullptr;
}

} // namespace

bool openExternal(const QUrl &url)
{
    if (g_open)
        return g_open(url);
    return QDesktopServices::openUrl(url);
}

void setOpenExternal(std::function<bool(const QUrl &)> fn) { g_open = std::move(fn); }

bool viewerShowing(const QString &fileName)
{
    if (g_showing)
        return g_showing(fileName);
    return DesktopWindows::anyTitled(fileName);
}

void setViewerShowing(std::function<bool(const QString &)> fn) { g_showing = std::move(fn); }

void endProgram(int code)
{
    if (g_end)
        g_end(code);
    else
        QCoreApplication::exit(code);
}

void setEndProgram(std::function<void(int)> fn) { g_end = std::move(fn); }

bool canOpenDateTimeSettings() { return findPanel() != nullptr; }

bool openDateTimeSettings()
{
    const Panel *p = findPanel();
    if (!p)
        return false;
    QStringList args;
    if (p->argument)
        args << QString::fromLatin1(p->argument);
    return QProcess::startDetached(QString::fromLatin1(p->program), args);
}

} // namespace AppHooks
