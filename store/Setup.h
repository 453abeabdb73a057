#pragma once

#include <QStringList>

// Creates the program folder's data/ with the master, intake and calendar databases of a new
// installation. Existing files are left alone; `created` lists what was made.
bool createDataFiles(QStringList &created, QString *why);
