#include "ScreenHost.h"

#include <QWidget>

namespace {
ScreenHost *g_host = nullptr;
}

void setScreenHost(ScreenHost *host) { g_host = host; }
ScreenHost *screenHost() { return g_host; }

void closeScreens(const QList<ScreenId> &screens)
{
    if (!g_host)
        return;
    for (ScreenId s : screens)
        g_host->closeScreen(s);
}

const QList<ScreenId> &punchEditors()
{
    static const QList<ScreenId> editors = {ScreenId::KojinEdit, ScreenId::ListEdit};
    return editors;
}

bool settleOpenScreens(const QList<ScreenId> &screens)
{
    if (!g_host)
        return true;
    for (ScreenId n : screens) {
        QWidget *w = g_host->findScreen(n);
        auto *screen = dynamic_cast<EditingScreen *>(w);
        if (!screen || !screen->holdsEdits())
            continue;
        if (screen->settleEdits() != 0) {
            g_host->showScreen(w);
            return false;
        }
    }
    return true;
}

void reloadOpenScreens(const QList<ScreenId> &screens)
{
    if (!g_host)
        return;
    for (ScreenId n : screens)
        if (auto *screen = dynamic_cast<EditingScreen *>(g_host->findScreen(n)))
            screen->reloadData();
}
