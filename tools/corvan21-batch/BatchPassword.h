#pragma once

#include "BatchCommand.h"

#include <QString>
#include <QStringList>

// The password of a batch login. --password P puts it on the command line, where every user
// sees it in the process list and the shell keeps it in its history; --password-file FILE and
// --password - (standard input) keep it off the command line.

// The option names that give the password, for BatchOptions::parse.
QStringList batchPasswordOptions();

// The password given by exactly one of --password and --password-file. A file, and standard
// input for "--password -", give their first line without its line end (an empty input gives
// an empty password, which the login refuses). False with the reason, a usage error, when
// neither or both are given or the file cannot be read.
bool batchPassword(const BatchOptions &o, QString *password, QString *why);

// How the usage lines write the password options.
QString batchPasswordUsage();
