#include "ScreenHost.h"

#include <QStringList>
#include <QWidget>

namespace {
ScreenHost *g_host = nullptr;
}

void setScreenHost(ScreenHost *host) { g_host = host; }
ScreenHost *screenHost() { return g_host; }

void closeScreens(const QStringList &formNames)
{
    if (!g_host)
        return;
    for (const auto &n : formNames)
        g_host->closeScreen(n);
}
