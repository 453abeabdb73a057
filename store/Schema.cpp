#include "Schema.h"

#include "Database.h"

namespace Schema {

QStringList punchColumns()
{
    return {QStringLiteral("月"),   QStringLiteral("日"),         QStringLiteral("時"),
            QStringLiteral("分"),   QStringLiteral("秒"),         QStringLiteral("IDコード"),
            QStringLiteral("入退"), QStringLiteral("異例コード"), QStringLiteral("CR")};
}

QStringList categoryColumns()
{
    return {QStringLiteral("区分"),
            QStringLiteral("就業開始時刻"),
            QStringLiteral("就業終了時刻"),
            QStringLiteral("遅刻早退開始時刻"),
            QStringLiteral("遅刻早退終了時刻"),
            QStringLiteral("休憩1開始時刻"),
            QStringLiteral("休憩1終了時刻"),
            QStringLiteral("休憩2開始時刻"),
            QStringLiteral("休憩2終了時刻"),
            QStringLiteral("休憩3開始時刻"),
            QStringLiteral("休憩3終了時刻"),
            QStringLiteral("早出開始時刻"),
            QStringLiteral("早出終了時刻"),
            QStringLiteral("残業開始時刻"),
            QStringLiteral("残業終了時刻"),
            QStringLiteral("深夜開始時刻"),
            QStringLiteral("深夜終了時刻"),
            QStringLiteral("丸め方法"),
            QStringLiteral("就業丸め単位"),
            QStringLiteral("遅早丸め単位"),
            QStringLiteral("残業丸め単位"),
            QStringLiteral("残業基準時数")};
}

namespace {

QString textColumns(const QStringList &cols)
{
    QStringList parts;
    for (const auto &c : cols)
        parts << (QLatin1Char('"') + c + QStringLiteral("\" TEXT"));
    return parts.join(QStringLiteral(", "));
}

bool run(Database &db, const QStringList &statements)
{
    for (const auto &s : statements)
        if (!db.exec(s))
            return false;
    return true;
}

} // namespace

bool createMain(Database &db)
{
    // The nine leading 会社 columns are not used by the program; 締日 and 日替時刻 are read
    // by position as the 10th and 11th.
    const QStringList company = {QStringLiteral("会社コード"), QStringLiteral("会社名"),  QStringLiteral("会社名カナ"),
                                 QStringLiteral("郵便番号"),   QStringLiteral("住所1"),   QStringLiteral("住所2"),
                                 QStringLiteral("電話番号"),   QStringLiteral("FAX番号"), QStringLiteral("代表者"),
                                 QStringLiteral("締日"),       QStringLiteral("日替時刻")};
    const QStringList kidou = {QStringLiteral("起動年"), QStringLiteral("起動月"), QStringLiteral("書き出しpath"),
                               QStringLiteral("リストアpath"), QStringLiteral("バックアップpath")};
    const QStringList kojin = {QStringLiteral("NO"),         QStringLiteral("社員番号"), QStringLiteral("氏名"),
                               QStringLiteral("カード番号"), QStringLiteral("区分"),     QStringLiteral("対象")};
    return run(
        db, {
                QStringLiteral("CREATE TABLE IF NOT EXISTS 会社 (") + textColumns(company) + QLatin1Char(')'),
                QStringLiteral("CREATE TABLE IF NOT EXISTS 区分 (") + textColumns(categoryColumns()) + QLatin1Char(')'),
                QStringLiteral("CREATE TABLE IF NOT EXISTS 個人 (") + textColumns(kojin) + QLatin1Char(')'),
                QStringLiteral("CREATE TABLE IF NOT EXISTS 起動 (") + textColumns(kidou) + QLatin1Char(')'),
                QStringLiteral("CREATE TABLE IF NOT EXISTS タイムカード (") + textColumns(punchColumns())
                    + QLatin1Char(')'),
                QStringLiteral("CREATE INDEX IF NOT EXISTS タイムカード_日 ON タイムカード (月, 日, IDコード)"),
            });
}

bool createIntake(Database &db)
{
    const QStringList cols =
        punchColumns()
        + QStringList{QStringLiteral("移行マーク"), QStringLiteral("月マーク"), QStringLiteral("IDマーク")};
    return run(
        db,
        {
            QStringLiteral("CREATE TABLE IF NOT EXISTS タイムカードテンプ (") + textColumns(cols) + QLatin1Char(')'),
            QStringLiteral("CREATE INDEX IF NOT EXISTS タイムカードテンプ_移行 ON タイムカードテンプ (移行マーク)"),
        });
}

bool createCalendar(Database &db)
{
    return run(db, {
                       QStringLiteral("CREATE TABLE IF NOT EXISTS カレンダー (年 TEXT, 月 TEXT, 日 TEXT, 設定 TEXT, "
                                      "PRIMARY KEY (年, 月, 日))"),
                   });
}

bool seedMain(Database &db, const QString &year, const QString &month)
{
    return inTransaction(db, [&] {
        return db.exec(QStringLiteral("DELETE FROM 会社"))
               && db.exec(QStringLiteral("INSERT INTO 会社 (締日, 日替時刻) VALUES ('20', '03:00')"))
               && db.exec(QStringLiteral("DELETE FROM 起動"))
               && db.exec(
                   QStringLiteral("INSERT INTO 起動 (起動年, 起動月, 書き出しpath, リストアpath, バックアップpath) "
                                  "VALUES (?, ?, '', '', '')"),
                   {year, month});
    });
}

} // namespace Schema
