#include "HelpCalls.h"

#include "AppHooks.h"
#include "common/Common.h"
#include "common/Dialogs.h"
#include "store/ExFile.h"

#include <QDir>
#include <QFileInfo>

QString helpPagePath(int topic)
{
    const QString name = topic > 0 ? QString::number(topic) + QStringLiteral(".html") : QStringLiteral("index.html");
    const QString kind = g_install.linkKind == LinkUsb ? QStringLiteral("usb") : QStringLiteral("lan");
    // The installation's own pages, else those an installed package shares.
    const QString page = installedFile(QStringLiteral("help/") + kind + QLatin1Char('/') + name);
    const QString older = installedFile(QStringLiteral("help/") + name);
    return !QFileInfo(page).isFile() && QFileInfo(older).isFile() ? older : page;
}

int contextTopicFor(std::optional<ScreenId> front)
{
    const int topic = front ? screenEntry(*front).contextTopic : 0;
    return topic > 0 ? topic : kHelpDefaultTopic;
}

void showHelp(int topic)
{
    const QString page = helpPagePath(topic);
    if (!QFileInfo(page).isFile()) {
        Dialogs::inform(QStringLiteral("ヘルプファイルが見つかりません。") + QLatin1Char('\n') + page, appTitle(),
                        Dialogs::Icon::Exclamation);
        return;
    }
    showInViewer(QUrl::fromLocalFile(page), QStringLiteral("ヘルプ"));
}

QUrl faqUrl()
{
    const QString address = g_faqAddress;
    const QUrl url(address);
    // One letter before the colon is a drive, not a scheme.
    if (url.isValid() && url.scheme().size() > 1)
        return url;
    const QString path = QDir::isAbsolutePath(address) ? address : installedFile(address);
    return QUrl::fromLocalFile(QDir::cleanPath(path));
}

bool showInViewer(const QUrl &url, const QString &title)
{
    if (AppHooks::openExternal(url))
        return true;
    const QString where = url.isLocalFile() ? url.toLocalFile() : url.toString();
    Dialogs::inform(QStringLiteral("表示するプログラムを起動できませんでした。") + QLatin1Char('\n') + where
                        + QLatin1Char('\n')
                        + QStringLiteral("ブラウザ（テキストを表示するプログラム）が使えるか確認してください。"),
                    title, Dialogs::Icon::Exclamation);
    return false;
}
