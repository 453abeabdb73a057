#include "Intake.h"

#include "common/Common.h"
#include "store/Database.h"

namespace Intake {

namespace {

int countOf(Database &db, const QString &where, bool &ok)
{
    QVector<QStringList> rows;
    if (!db.select(QStringLiteral("SELECT COUNT(*) FROM タイムカードテンプ WHERE ") + where, rows)) {
        ok = false;
        return 0;
    }
    return rows.value(0).value(0).toInt();
}

QString two(int v) { return zeroPad(v, 2); }

} // namespace

bool readCounts(Database &intake, Counts &c)
{
    bool ok = true;
    c.duplicates = countOf(intake, QStringLiteral("(移行マーク = '重')"), ok);
    c.collected = countOf(intake, QStringLiteral("(移行マーク = '未')"), ok);
    c.noMaster = countOf(intake, QStringLiteral("((移行マーク = '01') OR (移行マーク = '03'))"), ok);
    c.otherMonth = countOf(intake, QStringLiteral("(移行マーク = '02')"), ok);
    c.unprocessed =
        countOf(intake, QStringLiteral("((移行マーク = '01') OR (移行マーク = '02') OR (移行マーク = '03'))"), ok);
    return ok;
}

bool markDuplicates(Database &intake, int *marked)
{
    if (marked)
        *marked = 0;
    QVector<QStringList> rows;
    if (!intake.select(
            QStringLiteral("SELECT rowid, 月, 日, 時, 分, 秒, IDコード, 入退, 異例コード FROM タイムカードテンプ "
                           "WHERE (移行マーク = '未') ORDER BY 月, 日, 時, 分, 秒, IDコード, 入退, 異例コード"),
            rows))
        return false;
    if (rows.size() < 2)
        return true;
    int n = 0;
    const bool ok = inTransaction(intake, [&] {
        for (int i = 1; i < rows.size(); ++i) {
            const QStringList &a = rows.at(i - 1);
            const QStringList &b = rows.at(i);
            if (a.mid(1) != b.mid(1))
                continue;
            if (!intake.exec(QStringLiteral("UPDATE タイムカードテンプ SET 移行マーク = '重' WHERE rowid = ?"),
                             {b.at(0)}))
                return false;
            ++n;
        }
        return true;
    });
    if (ok && marked)
        *marked = n;
    return ok;
}

PeriodBounds SyorituCal(const QString &year, const QString &month, int closingDayNo, const QDate &today)
{
    const int y = year.toInt();
    const int m = trimBlanks(month).isEmpty() ? today.month() : month.toInt();
    PeriodBounds b;
    if (closingDayNo == 31) {
        b.startMonth1 = b.endMonth1 = b.startMonth2 = b.endMonth2 = two(m);
        b.startDay1 = b.startDay2 = QStringLiteral("01");
        b.endDay1 = b.endDay2 = two(DaysInMonth(y, m));
        return b;
    }
    const int pm = m == 1 ? 12 : m - 1;
    const int py = m == 1 ? y - 1 : y;
    b.startMonth1 = b.endMonth1 = two(pm);
    b.startDay1 = two(closingDayNo + 1);
    b.endDay1 = two(DaysInMonth(py, pm));
    b.startMonth2 = b.endMonth2 = two(m);
    b.startDay2 = QStringLiteral("01");
    b.endDay2 = two(closingDayNo);
    return b;
}

bool process(Database &intake, const QString &monthlyPath, const PeriodBounds &b, const QDate &today, ProcessResult &r)
{
    r = {};
    auto failed = [&] {
        r.errorNumber = intake.errorNumber();
        r.errorText = intake.errorText();
        return false;
    };
    if (!isSoundDatabaseFile(monthlyPath, &r.errorText)) {
        r.errorNumber = 53;
        return false;
    }
    // The monthly database joins this connection, so the move and the labels commit together
    // (journal mode DELETE makes a commit across attached files atomic).
    intake.exec(QStringLiteral("DETACH DATABASE 月次")); // left attached by a run that broke off, if any
    if (!intake.exec(QStringLiteral("ATTACH DATABASE ? AS 月次"), {monthlyPath}))
        return failed();
    const bool ok =
        intake.exec(QStringLiteral("PRAGMA 月次.journal_mode=DELETE"))
        && intake.exec(QStringLiteral("PRAGMA 月次.synchronous=FULL")) && inTransaction(intake, [&] {
               const QString t = QStringLiteral("UPDATE タイムカードテンプ SET ");
               if (!intake.exec(t + QStringLiteral("月マーク = '00'"))
                   || !intake.exec(t + QStringLiteral("IDマーク = '00'")))
                   return false;
               if (!intake.exec(
                       t
                           + QStringLiteral("月マーク = '01' WHERE (((月 = ? AND 日 >= ?) AND (月 = ? AND 日 <= ?)) "
                                            "OR ((月 = ? AND 日 >= ?) AND (月 = ? AND 日 <= ?)))"),
                       {b.startMonth1, b.startDay1, b.endMonth1, b.endDay1, b.startMonth2, b.startDay2, b.endMonth2,
                        b.endDay2}))
                   return false;
               // Every employee row counts, active or not, as the master lists it.
               if (!intake.exec(
                       t + QStringLiteral("IDマーク = '01' WHERE IDコード IN (SELECT カード番号 FROM 月次.個人)")))
                   return false;
               QVector<QStringList> rows;
               // A punch already in the month's time cards (a collection that stopped after storing its
               // rows but before the recorder erased them brings them again) is not moved a second time;
               // it leaves the buffer with the others, so nothing is lost and nothing is doubled.
               const QString notYetStored =
                   QStringLiteral(" AND NOT EXISTS (SELECT 1 FROM 月次.タイムカード k WHERE k.月 = t.月 AND k.日 = "
                                  "t.日 AND k.時 = t.時"
                                  " AND k.分 = t.分 AND k.秒 = t.秒 AND k.IDコード = t.IDコード AND k.入退 = t.入退 "
                                  "AND k.異例コード = t.異例コード)");
               if (!intake.select(
                       QStringLiteral(
                           "SELECT COUNT(*) FROM タイムカードテンプ t WHERE (月マーク = '01' AND IDマーク = '01')")
                           + notYetStored,
                       rows))
                   return false;
               const int toMove = rows.value(0).value(0).toInt();
               if (!intake.exec(
                       QStringLiteral("INSERT INTO 月次.タイムカード (月,日,時,分,秒,IDコード,入退,異例コード,CR) "
                                      "SELECT 月,日,時,分,秒,IDコード,入退,異例コード,CR FROM タイムカードテンプ t "
                                      "WHERE (月マーク = '01' AND IDマーク = '01')")
                       + notYetStored + QStringLiteral(" ORDER BY rowid")))
                   return false;
               if (!intake.exec(
                       QStringLiteral("DELETE FROM タイムカードテンプ WHERE (月マーク = '01' AND IDマーク = '01')")))
                   return false;
               r.moved = toMove;
               return intake.exec(t + QStringLiteral("移行マーク = '00'"))
                      && intake.exec(t
                                     + QStringLiteral("移行マーク = '01' WHERE (IDマーク = '00' AND 月マーク = '01')"))
                      && intake.exec(t
                                     + QStringLiteral("移行マーク = '02' WHERE (IDマーク = '01' AND 月マーク = '00')"))
                      && intake.exec(t
                                     + QStringLiteral("移行マーク = '03' WHERE (IDマーク = '00' AND 月マーク = '00')"));
           });
    if (!ok) {
        failed();
        r.moved = 0;
        intake.exec(QStringLiteral("DETACH DATABASE 月次"));
        return false;
    }
    intake.exec(QStringLiteral("DETACH DATABASE 月次"));
    if (!leapDayLeftovers(intake, today, r.leapDayWarning))
        return failed();
    return true;
}

bool leapDayLeftovers(Database &intake, const QDate &today, bool &warn)
{
    warn = false;
    const int year = today.month() == 1 ? today.year() - 1 : today.year();
    if (year % 4 == 0)
        return true;
    QVector<QStringList> rows;
    if (!intake.select(QStringLiteral("SELECT COUNT(*) FROM タイムカードテンプ WHERE ((月 = '02' AND 日 = '29') "
                                      "AND (移行マーク = '02' OR 移行マーク = '03'))"),
                       rows))
        return false;
    warn = rows.value(0).value(0).toInt() > 0;
    return true;
}

bool deleteDuplicates(Database &intake)
{
    return intake.exec(QStringLiteral("DELETE FROM タイムカードテンプ WHERE (移行マーク = '重')"));
}

bool deleteClassified(Database &intake)
{
    return intake.exec(
        QStringLiteral("DELETE FROM タイムカードテンプ WHERE ((移行マーク <> '未') AND (移行マーク <> '重'))"));
}

QString listTitle(int type)
{
    switch (type) {
    case ListCollected: return QStringLiteral("収集データ一覧");
    case ListUnprocessed: return QStringLiteral("未処理データ一覧");
    case ListNoMaster: return QStringLiteral("マスタなしデータ一覧");
    case ListOtherMonth: return QStringLiteral("月度違いデータ一覧");
    default: return QStringLiteral("重複データ一覧");
    }
}

bool listRows(Database &intake, int type, QVector<QStringList> &rows)
{
    QString where;
    switch (type) {
    case ListCollected: where = QStringLiteral("(移行マーク = '未')"); break;
    case ListUnprocessed:
        where = QStringLiteral("(移行マーク = '01') OR (移行マーク = '02') OR (移行マーク = '03')");
        break;
    case ListNoMaster: where = QStringLiteral("(移行マーク = '01') OR (移行マーク = '03')"); break;
    case ListOtherMonth: where = QStringLiteral("(移行マーク = '02')"); break;
    default: where = QStringLiteral("(移行マーク = '重')"); break;
    }
    return intake.select(QStringLiteral("SELECT 月, 日, 時, 分, 秒, IDコード, 入退 FROM タイムカードテンプ WHERE ")
                             + where + QStringLiteral(" ORDER BY rowid"),
                         rows);
}

} // namespace Intake
