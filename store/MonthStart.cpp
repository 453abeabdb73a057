#include "MonthStart.h"

#include "DbFile.h"
#include "ExFile.h"
#include "common/Common.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

bool readStartupSettings()
{
    if (Password_Read() != 0 || LinkDef_Read() != 0)
        return false;
    Settings_Read();
    return Install_Read() == 0;
}

bool openMasterDatabase()
{
    if (!dbs().master.open(masterDbPath()))
        return false;
    return Kidou_Read() == 0;
}

namespace {

// The test a freshly opened monthly database must pass: its 会社 row can be read, with the
// closing day in the 10th column.
bool monthlyReadable(Database &db, QString *why)
{
    QVector<QStringList> rows;
    if (!db.select(QStringLiteral("SELECT * FROM 会社 ; "), rows)) {
        *why = QStringLiteral("エラー：(%1)%2").arg(db.errorNumber()).arg(db.errorText());
        return false;
    }
    if (rows.isEmpty() || rows.first().size() < 10) {
        *why = QStringLiteral("会社データがありません。");
        return false;
    }
    return true;
}

// Copies a closed database file under a temporary name beside the target and renames it into
// place, so that a failed copy never leaves a half-written file under the real name.
bool copyDatabaseFile(const QString &source, const QString &target, QString *why)
{
    const QString tmp = target + QStringLiteral(".new");
    QFile::remove(tmp);
    QFile src(source);
    if (!src.copy(tmp)) {
        *why = QStringLiteral("%1 を %2 に複写できませんでした: %3").arg(source, target, src.errorString());
        QFile::remove(tmp);
        return false;
    }
    QFile::setPermissions(tmp, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    // std::rename replaces an existing target in one step (QFile::rename refuses to).
    if (std::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(target).constData()) != 0) {
        *why = QStringLiteral("%1 を作成できませんでした").arg(target);
        QFile::remove(tmp);
        return false;
    }
    return true;
}

} // namespace

MonthOpen openMonthlyDatabase(const QString &key, QString *why)
{
    QString dummy;
    if (!why)
        why = &dummy;
    Database &monthly = dbs().monthly;
    monthly.close();
    const QString path = monthlyDbPath(key);
    if (QFileInfo::exists(path)) {
        if (!monthly.open(path)) {
            *why = QStringLiteral("エラー：(%1)%2").arg(monthly.errorNumber()).arg(monthly.errorText());
            return MonthOpen::Unreadable;
        }
        if (!monthlyReadable(monthly, why)) {
            monthly.close();
            return MonthOpen::Unreadable;
        }
        return MonthOpen::Opened;
    }

    // A new month starts as a copy of the master database, taken while the master is closed.
    const QString master = masterDbPath();
    const bool masterWasOpen = dbs().master.isOpen();
    dbs().master.close();
    QString masterWhy;
    bool ok = isSoundDatabaseFile(master, &masterWhy);
    if (!ok)
        *why = QStringLiteral("%1: %2").arg(master, masterWhy);
    ok = ok && copyDatabaseFile(master, path, why);
    if (ok && !monthly.open(path)) {
        *why = QStringLiteral("エラー：(%1)%2").arg(monthly.errorNumber()).arg(monthly.errorText());
        ok = false;
    }
    if (masterWasOpen && !dbs().master.open(master)) {
        *why = QStringLiteral("エラー：(%1)%2").arg(dbs().master.errorNumber()).arg(dbs().master.errorText());
        monthly.close();
        return MonthOpen::Failed;
    }
    return ok ? MonthOpen::Created : MonthOpen::Failed;
}

QString monthOpenMessage(const QString &key, const QString &why)
{
    return QStringLiteral("処理月のデータベースを開けませんでした。") + QLatin1Char('\n') + monthlyDbPath(key)
           + QStringLiteral("\n\n") + why;
}

bool openIntakeAndCalendar(QString *why)
{
    for (auto [db, path] : {std::pair{&dbs().intake, intakeDbPath()}, std::pair{&dbs().calendar, calendarDbPath()}}) {
        if (db->isOpen())
            continue;
        if (!db->open(path)) {
            if (why)
                *why = QStringLiteral("%1: %2").arg(path, db->errorText());
            return false;
        }
    }
    return true;
}

bool enterMonth(const QString &year, const QString &month, bool recordStartup, QString *why)
{
    g_run.year = year;
    g_run.month = month;
    if (recordStartup
        && (!Kidou_Write(QStringLiteral("起動年"), year) || !Kidou_Write(QStringLiteral("起動月"), month))) {
        if (why)
            *why = dbs().master.errorText();
        return false;
    }
    const QDate first(year.toInt(), month.toInt(), 1);
    if (!first.isValid()) {
        if (why)
            *why = QStringLiteral("処理年月が正しくありません: %1/%2").arg(year, month);
        return false;
    }
    return Calendar_Prepare(first, why);
}

int monthDistance(int fromYear, int fromMonth, int toYear, int toMonth)
{
    return (toYear * 12 + toMonth) - (fromYear * 12 + fromMonth);
}

bool startMonthForBatch(const QString &year, const QString &month, const QString &password, QString *why,
                        bool *passwordRefused)
{
    QString dummy;
    if (!why)
        why = &dummy;
    if (passwordRefused)
        *passwordRefused = false;
    bool okY = false, okM = false;
    const int y = year.toInt(&okY), m = month.toInt(&okM);
    if (year.size() != 4 || month.size() != 2 || !okY || !okM || m < 1 || m > 12 || y < 2001) {
        *why = QStringLiteral("処理年月が正しくありません: %1/%2").arg(year, month);
        return false;
    }
    if (!readStartupSettings()) {
        *why = QStringLiteral("設定ファイルの読み込みに失敗しました！");
        return false;
    }
    if (!Password_Test(trimBlanks(password))) {
        if (passwordRefused)
            *passwordRefused = true;
        *why = QStringLiteral("正しいパスワードを入力してください。");
        return false;
    }
    if (!openMasterDatabase()) {
        *why = QStringLiteral("エラー：") + masterDbPath() + QStringLiteral("が見つかりませんでした");
        return false;
    }
    const QString key = year + month;
    const MonthOpen o = openMonthlyDatabase(key, why);
    if (o == MonthOpen::Unreadable || o == MonthOpen::Failed) {
        *why = monthOpenMessage(key, *why);
        return false;
    }
    if (!openIntakeAndCalendar(why))
        return false;
    if (!Kaisya_Read()) {
        *why = QStringLiteral("締日、日替時刻データの読み込みに失敗しました。！");
        return false;
    }
    if (!enterMonth(year, month, false, why)) {
        *why = QStringLiteral("処理年月の開始に失敗しました！　\nエラー：") + *why;
        return false;
    }
    return true;
}
