#include "DbFile.h"

#include "common/Common.h"
#include "common/Dialogs.h"

#include <QLocale>

CompanySettings g_company;
StartupState g_startup;
KubunTable g_kubun;
KojinTable g_kojin;
RunState g_run;

Databases &dbs()
{
    static Databases d;
    return d;
}

void closeAllDatabases()
{
    dbs().monthly.close();
    dbs().master.close();
    dbs().intake.close();
    dbs().calendar.close();
}

QString masterDbPath() { return dataFolder() + QStringLiteral("/corvan.mdb"); }
QString monthlyDbPath(const QString &key)
{
    return dataFolder() + QLatin1Char('/') + key + QStringLiteral("corvan.mdb");
}
QString intakeDbPath() { return dataFolder() + QStringLiteral("/corvan_tmp.mdb"); }
QString calendarDbPath() { return dataFolder() + QStringLiteral("/カレンダー.mdb"); }
QString backupFileName(const QString &key) { return key + QStringLiteral("corvanbk.mdb"); }

QString weekdayName(const QDate &d)
{
    static const char16_t *names[] = {u"日", u"月", u"火", u"水", u"木", u"金", u"土"};
    return QString::fromUtf16(names[d.dayOfWeek() % 7]);
}

namespace {

// Settings and master data go to the monthly and then the master database. Both writes run in
// a transaction of their own and are committed only when both succeeded, the master first: a
// failure anywhere leaves the monthly file as it was, so the running month, the tables in
// memory and the open screens keep agreeing with it. *failed names the database that failed.
template <typename Fn>
bool writeMonthlyAndMaster(Fn write, Database **failed)
{
    Database &monthly = dbs().monthly;
    Database &master = dbs().master;
    *failed = &monthly;
    if (!monthly.begin())
        return false;
    if (!write(monthly)) {
        monthly.rollback();
        return false;
    }
    *failed = &master;
    if (!master.begin() || !write(master) || !master.commit()) {
        master.rollback();
        monthly.rollback();
        return false;
    }
    *failed = &monthly;
    if (!monthly.commit()) {
        monthly.rollback();
        return false;
    }
    return true;
}

int pairValue(const QString &t, int from)
{
    const QString p = t.mid(from, 2);
    bool ok = false;
    const int v = trimBlanks(p).toInt(&ok);
    return ok ? v : 0;
}

int leadingNumber(const QString &t, int len)
{
    bool ok = false;
    const int v = trimBlanks(t.left(len)).toInt(&ok);
    return ok ? v : 0;
}

void resetCategories(KubunTable &table)
{
    for (auto &c : table)
        c = Category();
}

void resetEmployees(KojinTable &table)
{
    for (auto &e : table)
        e = Employee();
}

} // namespace

int hhmmToMinutesLoose(const QString &t) { return pairValue(t, 0) * 60 + pairValue(t, 3); }

void Category::computeMinutes()
{
    for (int i = 0; i < CategoryTimeCount; ++i)
        minutes[size_t(i)] = hhmmToMinutesLoose(times[size_t(i)]);
    baseMinutes = hhmmToMinutesLoose(base);
    methodNo = leadingNumber(method, 1);
    auto unit = [](const QString &u) {
        const int v = leadingNumber(u, 2);
        return v > 0 ? v : 1;
    };
    unitWorkMin = unit(unitWork);
    unitLateMin = unit(unitLate);
    unitOverMin = unit(unitOver);
}

void showDbFailure(const QString &message, int number, const QString &description)
{
    Dialogs::inform(message + QStringLiteral("\n\n") + QStringLiteral("エラー：(") + QString::number(number)
                        + QLatin1Char(')') + description,
                    appTitle(), Dialogs::Icon::Exclamation);
}

bool Kaisya_Read()
{
    g_company = CompanySettings();
    Database &db = dbs().monthly;
    QVector<QStringList> rows;
    if (db.select(QStringLiteral("SELECT * FROM 会社 ; "), rows)) {
        if (!rows.isEmpty() && rows.first().size() >= 11) {
            const QStringList &r = rows.first();
            CompanySettings c;
            c.closingDay = trimBlanks(r.at(9));
            bool ok = false;
            c.closingDayNo = c.closingDay.toInt(&ok);
            if (ok) {
                c.dayChange = r.at(10).left(2) + QStringLiteral(":00");
                g_company = c;
                return true;
            }
            db.setError(13, QStringLiteral("締日の値が正しくありません: ") + c.closingDay);
        } else {
            db.setError(DbErr::NoCurrentRecord, QStringLiteral("会社データがありません。"));
        }
    }
    showDbFailure(QStringLiteral("締日、日替時刻データの読み込みに失敗しました。！"), db.errorNumber(), db.errorText());
    return false;
}

int Kubun_Read() { return Kubun_Load(g_kubun); }

int Kubun_Load(KubunTable &into)
{
    resetCategories(into);
    Database &db = dbs().monthly;
    QVector<QStringList> rows;
    if (!db.select(QStringLiteral("SELECT * FROM 区分 ORDER BY 区分 ASC; "), rows)) {
        showDbFailure(QStringLiteral("勤務区分データの読み込みに失敗しました。！"), db.errorNumber(), db.errorText());
        return 0;
    }
    int count = 0;
    for (const QStringList &r : rows) {
        if (r.size() < 22)
            continue;
        const QString code = trimBlanks(r.at(0));
        if (code.isEmpty())
            continue;
        bool ok = false;
        const int n = code.toInt(&ok);
        if (!ok || n < 1 || n > 10)
            continue;
        Category c;
        c.code = zeroPad(n, 2);
        for (int i = 0; i < CategoryTimeCount; ++i)
            c.times[size_t(i)] = r.at(1 + i).left(5);
        c.method = trimBlanks(r.at(17));
        c.unitWork = trimBlanks(r.at(18));
        c.unitLate = trimBlanks(r.at(19));
        c.unitOver = trimBlanks(r.at(20));
        c.base = r.at(21).left(5);
        c.computeMinutes();
        into[size_t(n)] = c;
        ++count;
    }
    return count;
}

namespace {

// The statements of one database; the caller holds the transaction.
bool writeCategory(Database &db, int n)
{
    const Category &c = g_kubun[size_t(n)];
    if (!db.exec(QStringLiteral("DELETE FROM 区分 WHERE 区分 = ?"), {zeroPad(n, 2)}))
        return false;
    QVariantList v;
    v << zeroPad(n, 2);
    for (const auto &t : c.times)
        v << t;
    v << c.method << c.unitWork << c.unitLate << c.unitOver << c.base;
    return db.exec(QStringLiteral("INSERT INTO 区分 VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"), v);
}

bool writeEmployees(Database &db)
{
    if (!db.exec(QStringLiteral("DELETE FROM 個人")))
        return false;
    for (int i = 0; i < kEmployeesStored; ++i) {
        const Employee &e = g_kojin[size_t(i)];
        const QString number = trimBlanks(e.number);
        if (number.isEmpty())
            continue;
        const QString name = e.name.isEmpty() ? QStringLiteral(" ") : e.name;
        const QString card = e.card.isEmpty() ? QStringLiteral(" ") : e.card;
        if (!db.exec(
                QStringLiteral("INSERT INTO 個人 (NO, 社員番号, 氏名, カード番号, 区分, 対象) VALUES (?,?,?,?,?,?)"),
                {zeroPad(i + 1, 2), number, name, card, trimBlanks(e.category), trimBlanks(e.active)}))
            return false;
    }
    return true;
}

} // namespace

int Kubun_Write(int n)
{
    if (n < 1 || n > 10) {
        showDbFailure(QStringLiteral("勤務区分データの書き込みに失敗しました。！"), 9,
                      QStringLiteral("区分の番号が範囲外です"));
        return -1;
    }
    Database *failed = nullptr;
    if (!writeMonthlyAndMaster([n](Database &db) { return writeCategory(db, n); }, &failed)) {
        showDbFailure(QStringLiteral("勤務区分データの書き込みに失敗しました。！"), failed->errorNumber(),
                      failed->errorText());
        return -1;
    }
    return 0;
}

int Kojin_Read(bool activeOnly) { return Kojin_Load(g_kojin, activeOnly); }

int Kojin_Load(KojinTable &into, bool activeOnly)
{
    resetEmployees(into);
    Database &db = dbs().monthly;
    QVector<QStringList> rows;
    const QString sql = activeOnly ? QStringLiteral("SELECT * FROM 個人 WHERE 対象 = '1' ORDER BY 社員番号 ASC; ")
                                   : QStringLiteral("SELECT * FROM 個人  ORDER BY 社員番号 ASC; ");
    bool ok = db.select(sql, rows);
    if (ok && rows.size() > kEmployeeSlots) {
        db.setError(9, QStringLiteral("個人マスタの件数が多すぎます (%1 件)").arg(rows.size()));
        ok = false;
    }
    if (!ok) {
        resetEmployees(into);
        showDbFailure(QStringLiteral("個人マスタデータの読み込みに失敗しました。！"), db.errorNumber(), db.errorText());
        return 0;
    }
    for (int i = 0; i < rows.size(); ++i) {
        const QStringList &r = rows.at(i);
        Employee &e = into[size_t(i)];
        e.no = QString::number(i + 1);
        e.number = trimBlanks(r.value(1));
        e.name = trimBlanks(r.value(2));
        e.card = trimBlanks(r.value(3));
        e.category = trimBlanks(r.value(4));
        e.active = trimBlanks(r.value(5));
    }
    return int(rows.size());
}

int Kojin_Write()
{
    Database *failed = nullptr;
    if (!writeMonthlyAndMaster(writeEmployees, &failed)) {
        showDbFailure(QStringLiteral("個人マスタデータの書き込みに失敗しました。！"), failed->errorNumber(),
                      failed->errorText());
        return -1;
    }
    return 0;
}

bool Kaisya_Write(const QString &closingDay, const QString &dayChange)
{
    if (closingDay.isEmpty() && dayChange.isEmpty())
        return true;
    Database *failed = nullptr;
    const bool ok = writeMonthlyAndMaster(
        [&](Database &db) {
            return (closingDay.isEmpty() || db.exec(QStringLiteral("UPDATE 会社 SET 締日 = ?"), {closingDay}))
                   && (dayChange.isEmpty() || db.exec(QStringLiteral("UPDATE 会社 SET 日替時刻 = ?"), {dayChange}));
        },
        &failed);
    if (!ok) {
        showDbFailure(QStringLiteral("締日、日替時刻データの書き込みに失敗しました。！"), failed->errorNumber(),
                      failed->errorText());
        return false;
    }
    if (!closingDay.isEmpty()) {
        g_company.closingDay = closingDay;
        g_company.closingDayNo = closingDay.toInt();
    }
    if (!dayChange.isEmpty())
        g_company.dayChange = dayChange.left(2) + QStringLiteral(":00");
    return true;
}

bool Calendar_Prepare(const QDate &firstDay, QString *error)
{
    Database &db = dbs().calendar;
    for (int offset = -1; offset <= 1; ++offset) {
        const QDate first = firstDay.addMonths(offset);
        const QString y = zeroPad(first.year(), 4);
        const QString m = zeroPad(first.month(), 2);
        QVector<QStringList> rows;
        if (!db.select(QStringLiteral("SELECT COUNT(*) FROM カレンダー WHERE 年 = ? AND 月 = ?"), {y, m}, rows)) {
            if (error)
                *error = db.errorText();
            return false;
        }
        if (rows.value(0).value(0).toInt() > 0)
            continue;
        const bool ok = inTransaction(db, [&] {
            const int days = DaysInMonth(first.year(), first.month());
            for (int d = 1; d <= days; ++d) {
                const QDate day(first.year(), first.month(), d);
                const QString type = day.dayOfWeek() == 7 ? QStringLiteral("休日") : QStringLiteral("平日");
                if (!db.exec(QStringLiteral("INSERT INTO カレンダー (年, 月, 日, 設定) VALUES (?,?,?,?)"),
                             {y, m, zeroPad(d, 2), type}))
                    return false;
            }
            return true;
        });
        if (!ok) {
            if (error)
                *error = db.errorText();
            return false;
        }
    }
    return true;
}

int Kidou_Read()
{
    const QDate today = Clock::today();
    g_startup.year = zeroPad(today.year(), 4);
    g_startup.month = zeroPad(today.month(), 2);
    g_startup.exportPath = g_startup.restorePath = g_startup.backupPath = QStringLiteral("C:\\");
    Database &db = dbs().master;
    QVector<QStringList> rows;
    if (!db.select(QStringLiteral("select * from 起動 ;"), rows))
        return db.errorNumber() ? db.errorNumber() : -1;
    // The installer always writes the single row; without it no processing month or folder
    // could ever be remembered (every update would change nothing), so the master is damaged.
    if (rows.isEmpty()) {
        db.setError(DbErr::NoCurrentRecord, QStringLiteral("起動 にデータがありません"));
        return DbErr::NoCurrentRecord;
    }
    const QStringList &r = rows.first();
    auto take = [&](int i, QString &into) {
        const QString v = r.value(i);
        if (!v.isNull() && !trimBlanks(v).isEmpty())
            into = i >= 2 ? trimBlanks(v) : v;
    };
    take(0, g_startup.year);
    take(1, g_startup.month);
    take(2, g_startup.exportPath);
    take(3, g_startup.restorePath);
    take(4, g_startup.backupPath);
    return 0;
}

bool Kidou_Write(const QString &column, const QString &value)
{
    static const QStringList allowed = {QStringLiteral("起動年"), QStringLiteral("起動月"),
                                        QStringLiteral("書き出しpath"), QStringLiteral("リストアpath"),
                                        QStringLiteral("バックアップpath")};
    if (!allowed.contains(column)) {
        dbs().master.setError(DbErr::ItemNotFound, QStringLiteral("起動 に列 %1 はありません").arg(column));
        return false;
    }
    Database &db = dbs().master;
    if (!db.exec(QStringLiteral("UPDATE 起動 SET \"") + column + QStringLiteral("\" = ?"), {value}))
        return false;
    // An update of no row stores nothing; that is a failure, not a success.
    QVector<QStringList> rows;
    if (!db.select(QStringLiteral("SELECT changes()"), rows))
        return false;
    if (rows.value(0).value(0).toInt() == 0) {
        db.setError(DbErr::NoCurrentRecord, QStringLiteral("起動 にデータがありません"));
        return false;
    }
    return true;
}
