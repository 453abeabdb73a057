#pragma once

#include "ExFile.h"

#include <QStringList>

// The installation's own files in the program folder: data/ with the master, intake and
// calendar databases and corvan21.ini. corvan21-batch init adds the read-only files a copy
// without a shared folder needs; a first start in the per-user or site data folder makes only
// these, the read-only files then come from the shared folder of the package.

// A new installation: LAN link, command set 0, recorder port 4001, the icon and picture names.
InstallSettings defaultInstallSettings();

// Creates the program folder and whatever of the installation's own files is missing; nothing
// that exists is overwritten. `created` lists what was made.
bool createInstallation(const InstallSettings &s, QStringList &created, QString *why);

// At the start of every program: when the program folder is the per-user or the site's data
// folder (an installed package) and holds no installation yet, creates one with the defaults,
// so that the first start from the desktop menu goes on to the setup wizard. Elsewhere (the
// program's own folder, CORVAN21_HOME) nothing is made: that installation is the installer's.
// Returns false with a reason when the folder cannot be made.
bool prepareDataFolder(QString *why);
