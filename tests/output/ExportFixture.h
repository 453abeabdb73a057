#pragma once

// The fixed month of the export tests: February 2010, closing at month end (2010/02/01 to
// 2010/02/28), one work category, six active employees and one inactive, punches that cover
// work, late arrival, early leave, overtime, early work, night, a holiday (Sunday 02/07), a
// non-statutory holiday (02/27), a second pair (02/05) and a day with only a clock-in (02/08).
// The expected files in tests/fixtures/export/ are written for this month.

#include "common/Common.h"
#include "output/ExportJob.h"
#include "store/DbFile.h"
#include "store/ExFile.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace ExportFixture {

inline QString fixturePath(const QString &name) { return QStringLiteral(CORVAN_FIXTURES "/export/") + name; }

inline QByteArray expected(const QString &name)
{
    QFile f(fixturePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("missing fixture ") + name.toUtf8();
}

struct Person {
    const char *number, *name, *card, *category, *active;
};

inline const Person kPeople[] = {
    {"000001", "山田太郎", "000000001", "01", "1"},
    {"000002", "髙橋一郎", "000000002", "01", "1"},               // 髙: held twice by CP932, FB FC
    {"000003", "佐藤,\"花子\"", "000000003", "01", "1"},          // comma and quote
    {"000004", "長谷川部長代理補佐", "000000004", "01", "1"},     // nine full-width characters
    {"000005", "勅使河原左衛門三郎兵衛", "000000005", "01", "1"}, // longer than 20 columns
    {"000007", "休職者", "000000007", "01", "0"},                 // not active: never exported
    {"012345", "森鷗外", "000000006", "01", "1"},                 // 鷗 is not in CP932; no punches
};

struct Punch {
    const char *month, *day, *hour, *minute, *card, *inOut, *code;
};

inline const Punch kPunches[] = {
    {"02", "01", "08", "40", "000000001", "0", "00"}, {"02", "01", "19", "10", "000000001", "1", "00"},
    {"02", "02", "07", "30", "000000001", "0", "00"}, {"02", "02", "17", "30", "000000001", "1", "00"},
    {"02", "03", "08", "30", "000000001", "0", "00"}, {"02", "03", "23", "00", "000000001", "1", "00"},
    {"02", "04", "08", "30", "000000001", "0", "00"}, {"02", "04", "16", "00", "000000001", "1", "00"},
    {"02", "05", "08", "30", "000000001", "0", "00"}, {"02", "05", "12", "00", "000000001", "1", "00"},
    {"02", "05", "13", "00", "000000001", "0", "04"}, {"02", "05", "17", "30", "000000001", "1", "00"},
    {"02", "07", "09", "00", "000000001", "0", "00"}, {"02", "07", "18", "00", "000000001", "1", "00"},
    {"02", "08", "08", "30", "000000001", "0", "00"}, {"02", "27", "09", "00", "000000001", "0", "00"},
    {"02", "27", "12", "00", "000000001", "1", "00"}, {"02", "01", "08", "30", "000000002", "0", "00"},
    {"02", "01", "18", "15", "000000002", "1", "00"}, {"02", "01", "08", "30", "000000003", "0", "00"},
    {"02", "01", "17", "30", "000000003", "1", "00"}, {"02", "02", "09", "10", "000000003", "0", "00"},
    {"02", "02", "17", "30", "000000003", "1", "00"}, {"02", "01", "08", "30", "000000004", "0", "00"},
    {"02", "01", "17", "30", "000000004", "1", "00"}, {"02", "07", "09", "00", "000000005", "0", "00"},
    {"02", "07", "18", "00", "000000005", "1", "00"},
};

inline bool insertMasterData(Database &db)
{
    // Category 01: work 08:30-17:30 (also the late/early window), break 12:00-13:00, early work
    // 07:00-08:30, overtime 17:30-22:00, night 22:00-29:00, hours rounding by 15 minutes.
    QVariantList cat{
        QStringLiteral("01"),    QStringLiteral("08:30"),       QStringLiteral("17:30"), QStringLiteral("08:30"),
        QStringLiteral("17:30"), QStringLiteral("12:00"),       QStringLiteral("13:00"), QStringLiteral("  :  "),
        QStringLiteral("  :  "), QStringLiteral("  :  "),       QStringLiteral("  :  "), QStringLiteral("07:00"),
        QStringLiteral("08:30"), QStringLiteral("17:30"),       QStringLiteral("22:00"), QStringLiteral("22:00"),
        QStringLiteral("29:00"), QStringLiteral("1：時数丸め"), QStringLiteral("15分"),  QStringLiteral("15分"),
        QStringLiteral("15分"),  QStringLiteral("  :  ")};
    if (!db.exec(QStringLiteral("UPDATE 会社 SET 締日 = '31'"))
        || !db.exec(QStringLiteral("INSERT INTO 区分 VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"), cat))
        return false;
    int no = 1;
    for (const Person &p : kPeople) {
        if (!db.exec(
                QStringLiteral("INSERT INTO 個人 (NO, 社員番号, 氏名, カード番号, 区分, 対象) VALUES (?,?,?,?,?,?)"),
                {zeroPad(no++, 2), QString::fromUtf8(p.number), QString::fromUtf8(p.name), QString::fromUtf8(p.card),
                 QString::fromUtf8(p.category), QString::fromUtf8(p.active)}))
            return false;
    }
    return true;
}

// Fills the test home with the month and logs into it as the batch tool does (LAN
// installation, so the punches pair by their order).
inline bool build(TestHome &home)
{
    if (!home.ok())
        return false;
    InstallSettings s;
    s.linkKind = LinkLan;
    s.commandSet = 0;
    s.recorderPort = 4001;
    s.iconFile = QStringLiteral("corvan21.ico");
    s.pictureFile = QStringLiteral("boot.bmp");
    if (!Install_Write(s, nullptr) || Install_Read() != 0)
        return false;
    {
        Database master;
        if (!master.open(masterDbPath()) || !insertMasterData(master))
            return false;
    }
    if (!home.openMonth(QStringLiteral("201002")))
        return false;
    for (const Punch &p : kPunches) {
        if (!dbs().monthly.exec(
                QStringLiteral("INSERT INTO タイムカード (月, 日, 時, 分, 秒, IDコード, 入退, 異例コード, CR) "
                               "VALUES (?,?,?,?,'00',?,?,?,'0')"),
                {QString::fromUtf8(p.month), QString::fromUtf8(p.day), QString::fromUtf8(p.hour),
                 QString::fromUtf8(p.minute), QString::fromUtf8(p.card), QString::fromUtf8(p.inOut),
                 QString::fromUtf8(p.code)}))
            return false;
    }
    if (!Kaisya_Read() || !Calendar_Prepare(QDate(2010, 2, 1)))
        return false;
    return dbs().calendar.exec(
        QStringLiteral("UPDATE カレンダー SET 設定 = '法定外' WHERE 年 = '2010' AND 月 = '02' AND 日 = '27'"));
}

// What the exports and reports of the month are computed from, held by the test rather than
// by the program: the category table and the active employees read from the month's
// database, and the processing month, company settings and pairing as build() logged in
// (2010/02 closing at month end, LAN pairing).
struct Inputs {
    KubunTable kubun;
    KojinTable kojin;
    int count = 0;      // active employees read
    int categories = 0; // categories read
    RunState run;
    CompanySettings company;
    PairingMode pairing = PairByCode;

    // Reads the tables of the open month again (after a test changed what is stored).
    int load()
    {
        categories = Kubun_Load(kubun);
        count = Kojin_Load(kojin, true);
        run = g_run;
        company = g_company;
        pairing = pairingModeFor(g_install.linkKind);
        return count;
    }
    MonthInputs in() const { return {kubun, kojin, run, company, pairing}; }
};

} // namespace ExportFixture
