#pragma once

#include <QMap>
#include <QString>
#include <QVector>

class Database;

// The company calendar's day types, one month at a time: read for painting the calendar
// screens and the date picker, and written back as a whole month.
enum class DayType { Weekday, Holiday, Extra };

// "平日", "休日", "法定外".
QString dayTypeText(DayType t);
// The stored text of 設定 as a type; anything but "休日" and "法定外" is a working day.
DayType dayTypeOf(const QString &stored);

// Reads the rows of one month: day number -> type. Days outside 1..DaysInMonth are left out.
// A month without rows gives an empty map. False when the select failed (error in db).
bool Calendar_ReadMonth(Database &db, int year, int month, QMap<int, DayType> &days);

// Replaces one month by one row per day; types[i] is the type of day i + 1 and must hold
// DaysInMonth entries. The delete and the inserts run in one transaction, so a failure
// leaves the month as it was. False on failure (error in db).
bool Calendar_SaveMonth(Database &db, int year, int month, const QVector<DayType> &types);
