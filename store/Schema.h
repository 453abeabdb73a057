#pragma once

#include <QString>
#include <QStringList>

class Database;

// The tables of the four database files. Every column holds text.
namespace Schema {

// Column names of タイムカード in insert order; タイムカードテンプ adds the three marks.
QStringList punchColumns();
// 区分 columns in insert order (22).
QStringList categoryColumns();

// Master and monthly databases: 会社, 区分, 個人, 起動, タイムカード.
bool createMain(Database &db);
// Intake database: タイムカードテンプ.
bool createIntake(Database &db);
// Calendar database: カレンダー.
bool createCalendar(Database &db);

// The single 会社 row (締日 20, 日替時刻 03:00) and 起動 row of a new installation.
bool seedMain(Database &db, const QString &year, const QString &month);

} // namespace Schema
