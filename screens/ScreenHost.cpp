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

const QStringList &punchEditors()
{
    static const QStringList names = {QStringLiteral("frmKojinEdit"), QStringLiteral("frmListEdit")};
    return names;
}

bool settleOpenScreens(const QStringList &formNames)
{
    if (!g_host)
        return true;
    for (const auto &n : formNames) {
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

void reloadOpenScreens(const QStringList &formNames)
{
    if (!g_host)
        return;
    for (const auto &n : formNames)
        if (auto *screen = dynamic_cast<EditingScreen *>(g_host->findScreen(n)))
            screen->reloadData();
}
