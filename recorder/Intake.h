#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

class Database;

// The intake table タイムカードテンプ after a collection: its counts per mark, the marking of
// duplicates, and the processing that classifies every row against the accounting period and
// the employee master and moves the rows that fit into the month's タイムカード.
namespace Intake {

struct Counts {
    int duplicates = 0;  // '重'
    int collected = 0;   // '未'
    int noMaster = 0;    // '01' or '03'
    int otherMonth = 0;  // '02'
    int unprocessed = 0; // '01', '02' or '03'
};
bool readCounts(Database &intake, Counts &c);

// Marks as '重' every '未' row whose first eight columns equal those of the row before it in
// their order. Returns false on a database failure (nothing is marked then).
bool markDuplicates(Database &intake, int *marked = nullptr);

// The two date ranges of the accounting period, as two-digit texts (SyorituCal).
struct PeriodBounds {
    QString startMonth1, startDay1, endMonth1, endDay1;
    QString startMonth2, startDay2, endMonth2, endDay2;
};
// year/month of the processing month (an empty month is taken from today), closing-day number.
PeriodBounds SyorituCal(const QString &year, const QString &month, int closingDayNo, const QDate &today);

struct ProcessResult {
    int moved = 0;
    bool leapDayWarning = false;
    int errorNumber = 0;
    QString errorText;
};
// Marks, moves and labels, all in one transaction across the intake database and the monthly
// database file (attached): a failure or a crash leaves every punch either still in the intake
// table or in タイムカード, never in both and never in neither.
bool process(Database &intake, const QString &monthlyPath, const PeriodBounds &b, const QDate &today, ProcessResult &r);
// The leap-day check after processing: 02/29 rows of another month in a year without one.
bool leapDayLeftovers(Database &intake, const QDate &today, bool &warn);

bool deleteDuplicates(Database &intake);
bool deleteClassified(Database &intake);

enum ListType { ListCollected = 0, ListUnprocessed = 1, ListNoMaster = 2, ListOtherMonth = 3, ListDuplicates = 4 };
QString listTitle(int type);
// Rows of one list: 月, 日, 時, 分, 秒, IDコード, 入退 in the order the database returns them.
bool listRows(Database &intake, int type, QVector<QStringList> &rows);

} // namespace Intake
