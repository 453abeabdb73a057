#pragma once

#include <QStringList>

// Writes the help pages into help/ of the program folder: one HTML file per context topic for
// each link kind (help/usb/, help/lan/) and the support page help/faq.html. Existing pages,
// and those the shared folder of an installed package holds, are kept.
bool writeHelpPages(QStringList &created, QString *why);

// Writes veskourl.def, naming the support page (help/faq.html) for a site to change, unless
// the file exists.
bool writeLinkDefinitions(QStringList &created, QString *why);
