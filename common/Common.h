#pragma once

#include "DataFolderRule.h"

#include <QDate>
#include <QDateTime>
#include <QString>

// Small routines shared by every layer of the program.

// The title of the program's own message boxes.
QString appTitle();

// "Now" for the whole program. CORVAN21_NOW (ISO date-time, e.g. 2010-12-15T09:30:00) fixes
// it, so that tests and demonstrations see a known day.
namespace Clock {
QDateTime now();
QDate today();
} // namespace Clock

// The program folder, where the installation keeps what it writes: CORVAN21_HOME when set,
// else the executable's folder when the program may write there, else the folder named in
// /etc/corvan21.conf, else $XDG_DATA_HOME/corvan21 (see DataFolderRule.h).
QString programFolder();
// Which rule gave programFolder().
DataFolderRule::Source programFolderSource();
// The installation's read-only files (help pages, icon, start-up picture) as the package puts
// them: share/corvan21 beside the executable's bin folder, /usr/share/corvan21 when installed.
QString shareFolder();
// A read-only file by its name relative to the program folder: the program folder's own copy
// when there is one, else the shared one, else the program folder's path (so that a message
// about the missing file names where the installation should have it).
QString installedFile(const QString &relative);
// programFolder() + "/data".
QString dataFolder();
// A path below the program folder, e.g. programPath("data/corvan.mdb").
QString programPath(const QString &relative);

// 28..31. February has 29 days in every year divisible by four: the calendar the program
// serves (2001..2099) has no century exception.
int DaysInMonth(int year, int month);

// Length of the text in Shift-JIS bytes: a full-width character counts 2, a half-width 1.
int ByteLength(const QString &text);

// The Windows version name the program once asked for; there is none on Linux.
QString OsName();

// Shows "エラー番号" + number + CR + description (exclamation icon, program title).
void ErrorReport(int number, const QString &description);

// Removes blanks (U+0020) at both ends only. Full-width spaces and tabs that a stored value
// carries are part of it and stay.
QString trimBlanks(const QString &s);
QStringView trimBlanks(QStringView s);

// Text of an integer with leading zeros to the given width ("01", "000016").
QString zeroPad(qint64 value, int width);
