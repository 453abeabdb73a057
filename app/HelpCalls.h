#pragma once

#include "screens/ScreenTable.h"

#include <QString>
#include <QUrl>

#include <optional>

// The help pages: one HTML page per context topic for each link kind, help/usb/ or help/lan/
// of the program folder (index.html is the default topic), and the support page, all shown by
// the desktop's browser.

constexpr int kHelpDefaultTopic = 0;

// The page of a topic (0: the default page) for the installation's link kind. An installation
// made before the pages were kept per link kind has them in help/ itself; those are used when
// the link kind's page is missing.
QString helpPagePath(int topic);
// The topic of the toolbar's help button for the screen in front (0 when none applies).
int contextTopicFor(std::optional<ScreenId> front);
// Opens the page; a missing page is reported with its path.
void showHelp(int topic = kHelpDefaultTopic);

// The support page of ＦＡＱサイトへ接続: the address veskourl.def gives (g_faqAddress). An address
// with a scheme (https:, file:) is used as it stands, anything else is a file path, relative
// to the program folder unless absolute.
QUrl faqUrl();

// Hands a page or file to the desktop's viewer. When none can be started the user is told so,
// with the address, under the command's title, instead of nothing happening. True when started.
bool showInViewer(const QUrl &url, const QString &title);
