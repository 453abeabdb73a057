#pragma once

#include <QStringList>

// Writes the help pages (one HTML file per context topic) into help/ of the program folder;
// existing pages are kept.
bool writeHelpPages(QStringList &created, QString *why);
