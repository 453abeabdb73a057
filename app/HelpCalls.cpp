#include "HelpCalls.h"

#include "AppHooks.h"
#include "Common.h"
#include "Dialogs.h"

#include <QFileInfo>
#include <QUrl>

QString helpPagePath(int topic)
{
    const QString name = topic > 0 ? QString::number(topic) + QStringLiteral(".html") : QStringLiteral("index.html");
    return programPath(QStringLiteral("help/") + name);
}

int contextTopicFor(const QString &formName)
{
    static const struct {
        const char *form;
        int topic;
    } kTopics[] = {
        {"frmSetMenu", 10002},   {"frmMasSet", 10003},    {"frmKubunSet", 10004}, {"frmCalendar", 10005},
        {"frmDataInput", 10010}, {"frmCardSet", 10011},   {"frmKojinEdit", 10012}, {"frmListEdit", 10013},
        {"frmFileOut", 10014},   {"frmListPrint", 10015},
    };
    for (const auto &t : kTopics)
        if (formName == QLatin1String(t.form))
            return t.topic;
    return kHelpDefaultTopic;
}

void showHelp(int topic)
{
    const QString page = helpPagePath(topic);
    if (!QFileInfo(page).isFile()) {
        Dialogs::inform(QStringLiteral("ヘルプファイルが見つかりません。") + QLatin1Char('\n') + page, appTitle(),
                        Dialogs::Icon::Exclamation);
        return;
    }
    AppHooks::openExternal(QUrl::fromLocalFile(page));
}
