#pragma once

#include <QString>
#include <QStringList>

// The value texts of the export and payroll files.
namespace ExportFormat {

// Daily figure: "" for 0, else the hours in two columns, ":" and two-digit minutes (" 8:05").
QString dailyFigure(int minutes);
// Month sum: "" for 0, else the hours in three columns, ":" and two-digit minutes ("  8:05").
QString totalsFigure(qint32 minutes);
// "あり" when the subject flag (対象) reads as the number 1, else "なし".
QString subjectText(const QString &active);

// The text preceded by blanks to n characters; a longer text stays whole.
QString rightAlign(const QString &text, int n);
// Hours and two-digit minutes read as one number: 8:05 -> 805, 0:45 -> 45.
qint64 hourMinuteNumber(qint64 minutes);
// Hours in three columns, a separator, two-digit minutes: 8:05 with '.' -> "  8.05". The part
// after the separator is minutes, not a fraction of an hour.
QString hoursSeparatorMinutes(qint64 minutes, QChar separator);

} // namespace ExportFormat

// The save dialog's filters, as the export screen offers them.
namespace ExportFilters {
QStringList ownLayouts();
QStringList payroll(int package);
QString payrollFileName(int package);
} // namespace ExportFilters

// The layout a name selects: 0 comma (.csv), -1 text (.txt), 1 neither; case does not matter.
int textFlagOf(const QString &path);
