#pragma once

#include <QString>

// The help pages: one HTML page per context topic in help/ of the program folder (index.html
// is the default topic), shown by the desktop's browser.

constexpr int kHelpDefaultTopic = 0;

// The page of a topic (0: the default page).
QString helpPagePath(int topic);
// The topic of the toolbar's help button for the screen in front (0 when none applies).
int contextTopicFor(const QString &formName);
// Opens the page; a missing page is reported with its path.
void showHelp(int topic = kHelpDefaultTopic);
