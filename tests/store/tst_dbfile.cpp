#include "common/Common.h"
#include "store/DbFile.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestHome.h"

#include <QFile>
#include <QTest>

namespace {

QVector<QStringList> rowsOf(Database &db, const QString &sql)
{
    QVector<QStringList> r;
    db.select(sql, r);
    return r;
}

QVariantList categoryRow(const QString &code)
{
    QVariantList v{code, QStringLiteral("08:30"), QStringLiteral("17:30")};
    for (int i = 2; i < 16; ++i)
        v << QStringLiteral("  :  ");
    v << QStringLiteral("1：時数丸め") << QStringLiteral("15分") << QStringLiteral("00分") << QStringLiteral("30分")
      << QStringLiteral("08:00");
    return v;
}

} // namespace

class TestDbFile : public QObject
{
    Q_OBJECT
private slots:
    void init() { qputenv("CORVAN21_NOW", "2010-12-15T09:00:00"); }

    void newInstallationHasOneCompanyAndStartupRow()
    {
        TestHome home;
        QVERIFY(home.ok());
        QVERIFY(home.openMonth(QStringLiteral("201012")));
        QCOMPARE(rowsOf(dbs().master, QStringLiteral("SELECT 締日, 日替時刻 FROM 会社")),
                 (QVector<QStringList>{{QStringLiteral("20"), QStringLiteral("03:00")}}));
        QCOMPARE(rowsOf(dbs().master, QStringLiteral("SELECT COUNT(*) FROM 起動")).value(0).value(0),
                 QStringLiteral("1"));
        QVERIFY(QFile::exists(monthlyDbPath(QStringLiteral("201012"))));
    }

    void kaisyaHoldsWholeHourAndStoredClosingDay()
    {
        TestHome home;
        ScriptedDialogs dlg;
        QVERIFY(home.openMonth(QStringLiteral("201012")));
        QVERIFY(dbs().monthly.exec(QStringLiteral("UPDATE 会社 SET 締日 = '05', 日替時刻 = '03:30'")));
        QVERIFY(Kaisya_Read());
        QCOMPARE(g_company.closingDay, QStringLiteral("05"));
        QCOMPARE(g_company.closingDayNo, 5);
        QCOMPARE(g_company.dayChange, QStringLiteral("03:00"));
        QVERIFY(dlg.messages().isEmpty());
    }

    void categorySlotRules()
    {
        TestHome home;
        ScriptedDialogs dlg;
        QVERIFY(home.openMonth(QStringLiteral("201012")));
        const QString ins = QStringLiteral("INSERT INTO 区分 VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
        for (const QString &code :
             {QStringLiteral("00"), QStringLiteral("11"), QStringLiteral("  "), QStringLiteral("03")})
            QVERIFY(dbs().monthly.exec(ins, categoryRow(code)));
        QCOMPARE(Kubun_Read(), 1);
        QVERIFY(g_kubun[0].code.isEmpty());
        const Category &c = g_kubun[3];
        QCOMPARE(c.code, QStringLiteral("03"));
        QCOMPARE(c.minutes[WorkStart], 510);
        QCOMPARE(c.minutes[WorkEnd], 1050);
        QCOMPARE(c.minutes[Break1Start], 0); // blank time counts 0
        QCOMPARE(c.baseMinutes, 480);
        QCOMPARE(c.methodNo, 1);
        QCOMPARE(c.unitWorkMin, 15);
        QCOMPARE(c.unitLateMin, 1); // "00分" keeps the one-minute default
        QCOMPARE(c.unitOverMin, 30);
        QCOMPARE(g_kubun[4].unitWorkMin, 1);
        QCOMPARE(g_kubun[4].method, QStringLiteral("0：時刻丸め"));
    }

    void categoryWriteReplacesInBothDatabases()
    {
        TestHome home;
        ScriptedDialogs dlg;
        QVERIFY(home.openMonth(QStringLiteral("201012")));
        Kubun_Read();
        g_kubun[2].code = QStringLiteral("02");
        g_kubun[2].times[WorkStart] = QStringLiteral("09:00");
        QCOMPARE(Kubun_Write(2), 0);
        g_kubun[2].times[WorkStart] = QStringLiteral("10:00");
        QCOMPARE(Kubun_Write(2), 0);
        for (Database *db : {&dbs().monthly, &dbs().master}) {
            const auto r = rowsOf(*db, QStringLiteral("SELECT 就業開始時刻 FROM 区分 WHERE 区分 = '02'"));
            QCOMPARE(r, (QVector<QStringList>{{QStringLiteral("10:00")}}));
        }
    }

    void employeesRoundTripWithQuotesAndBlanks()
    {
        TestHome home;
        ScriptedDialogs dlg;
        QVERIFY(home.openMonth(QStringLiteral("201012")));
        Kojin_Read(false);
        g_kojin[0].number = QStringLiteral("000030");
        g_kojin[0].name = QStringLiteral("O'Brien \"Bob\"");
        g_kojin[0].card = QStringLiteral("000000030");
        g_kojin[0].active = QStringLiteral("1");
        g_kojin[1].number = QStringLiteral("000016");
        g_kojin[1].name = QString();
        g_kojin[1].card = QString();
        g_kojin[1].active = QStringLiteral("0");
        QCOMPARE(Kojin_Write(), 0);
        const auto stored =
            rowsOf(dbs().master, QStringLiteral("SELECT NO, 社員番号, 氏名, カード番号 FROM 個人 ORDER BY NO"));
        QCOMPARE(stored.size(), 2);
        QCOMPARE(stored.at(0), (QStringList{QStringLiteral("01"), QStringLiteral("000030"),
                                            QStringLiteral("O'Brien \"Bob\""), QStringLiteral("000000030")}));
        QCOMPARE(stored.at(1).at(2), QStringLiteral(" "));
        QCOMPARE(stored.at(1).at(3), QStringLiteral(" "));

        QCOMPARE(Kojin_Read(false), 2);
        QCOMPARE(g_kojin[0].number, QStringLiteral("000016")); // text order of 社員番号
        QCOMPARE(g_kojin[0].no, QStringLiteral("1"));
        QCOMPARE(g_kojin[0].name, QString()); // the blank is trimmed on read
        QCOMPARE(g_kojin[1].name, QStringLiteral("O'Brien \"Bob\""));
        QCOMPARE(g_kojin[2].category, QStringLiteral("01"));
        QCOMPARE(g_kojin[2].active, QStringLiteral("0"));

        QCOMPARE(Kojin_Read(true), 1);
        QCOMPARE(g_kojin[0].number, QStringLiteral("000030"));
        QVERIFY(g_kojin[1].number.isEmpty());
    }

    // The loads into a caller's table read what Kubun_Read and Kojin_Read read, reset the
    // table first, and leave the program's tables as they are.
    void loadsIntoTheCallersTable()
    {
        TestHome home;
        ScriptedDialogs dlg;
        QVERIFY(home.openMonth(QStringLiteral("201012")));
        const QString ins = QStringLiteral("INSERT INTO 区分 VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
        QVERIFY(dbs().monthly.exec(ins, categoryRow(QStringLiteral("03"))));
        QVERIFY(dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 VALUES ('01','000020','乙',' ','03','0')")));
        QVERIFY(
            dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 VALUES ('02','000010','甲','000000010','03','1')")));
        g_kubun[3].code = QStringLiteral("unsaved");
        g_kojin[0].name = QStringLiteral("unsaved");

        KubunTable kubun;
        kubun[5].code = QStringLiteral("05"); // left over from an earlier read
        QCOMPARE(Kubun_Load(kubun), 1);
        QCOMPARE(kubun[3].code, QStringLiteral("03"));
        QCOMPARE(kubun[3].unitOverMin, 30);
        QVERIFY(kubun[5].code.isEmpty());
        QCOMPARE(g_kubun[3].code, QStringLiteral("unsaved"));

        KojinTable kojin;
        QCOMPARE(Kojin_Load(kojin, false), 2);
        QCOMPARE(kojin[0].number, QStringLiteral("000010"));
        QCOMPARE(kojin[1].name, QStringLiteral("乙"));
        QCOMPARE(Kojin_Load(kojin, true), 1);
        QCOMPARE(kojin[0].card, QStringLiteral("000000010"));
        QVERIFY(kojin[1].number.isEmpty());
        QCOMPARE(g_kojin[0].name, QStringLiteral("unsaved"));

        // A failed read leaves the caller's table reset and says so, as Kojin_Read does.
        dbs().monthly.close();
        QCOMPARE(Kojin_Load(kojin, true), 0);
        QVERIFY(kojin[0].number.isEmpty());
        QCOMPARE(Kubun_Load(kubun), 0);
        QVERIFY(kubun[3].code.isEmpty());
        QCOMPARE(dlg.messages().size(), 2);
        QCOMPARE(g_kojin[0].name, QStringLiteral("unsaved"));
    }

    void employeeLimits()
    {
        TestHome home;
        ScriptedDialogs dlg;
        QVERIFY(home.openMonth(QStringLiteral("201012")));
        Kojin_Read(false);
        for (int i = 0; i < kEmployeeSlots; ++i) {
            g_kojin[size_t(i)].number = zeroPad(i + 1, 6);
            g_kojin[size_t(i)].active = QStringLiteral("1");
        }
        QCOMPARE(Kojin_Write(), 0);
        // Slot 100 is never saved: at most 100 employees are stored.
        QCOMPARE(rowsOf(dbs().monthly, QStringLiteral("SELECT COUNT(*) FROM 個人")).value(0).value(0),
                 QStringLiteral("100"));
        QCOMPARE(rowsOf(dbs().monthly, QStringLiteral("SELECT 社員番号 FROM 個人 WHERE NO = '100'")).value(0).value(0),
                 QStringLiteral("000100"));
        QVERIFY(dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 VALUES ('101','000101',' ',' ','01','1')")));
        QVERIFY(dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 VALUES ('102','000102',' ',' ','01','1')")));
        QCOMPARE(Kojin_Read(false), 0); // 102 rows do not fit the 101 slots
        QCOMPARE(dlg.messages().size(), 1);
        QVERIFY(
            dlg.last().text.startsWith(QStringLiteral("個人マスタデータの読み込みに失敗しました。！\n\nエラー：(")));
        QVERIFY(g_kojin[0].number.isEmpty());
    }

    void failedReplacementKeepsOldRows()
    {
        TestHome home;
        ScriptedDialogs dlg;
        QVERIFY(home.openMonth(QStringLiteral("201012")));
        QVERIFY(dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 VALUES ('01','000001','山田',' ','01','1')")));
        // A trigger makes the second insert fail halfway through the replacement.
        QVERIFY(dbs().monthly.exec(QStringLiteral("CREATE TRIGGER boom BEFORE INSERT ON 個人 WHEN NEW.社員番号 = "
                                                  "'000002' BEGIN SELECT RAISE(ABORT, 'disk'); END")));
        Kojin_Read(false);
        g_kojin[0].number = QStringLiteral("000009");
        g_kojin[1].number = QStringLiteral("000002");
        QCOMPARE(Kojin_Write(), -1);
        QCOMPARE(dlg.messages().size(), 1);
        QVERIFY(
            dlg.last().text.startsWith(QStringLiteral("個人マスタデータの書き込みに失敗しました。！\n\nエラー：(")));
        QCOMPARE(rowsOf(dbs().monthly, QStringLiteral("SELECT 社員番号, 氏名 FROM 個人")),
                 (QVector<QStringList>{{QStringLiteral("000001"), QStringLiteral("山田")}}));
    }

    void calendarPrepare()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201203")));
        // A month with any row is left untouched.
        QVERIFY(dbs().calendar.exec(QStringLiteral("INSERT INTO カレンダー VALUES ('2012','04','01','法定外')")));
        QVERIFY(Calendar_Prepare(QDate(2012, 3, 1)));
        auto count = [](const char *m) {
            return rowsOf(dbs().calendar,
                          QStringLiteral("SELECT COUNT(*) FROM カレンダー WHERE 年 = '2012' AND 月 = '%1'")
                              .arg(QLatin1String(m)))
                .value(0)
                .value(0)
                .toInt();
        };
        QCOMPARE(count("02"), 29);
        QCOMPARE(count("03"), 31);
        QCOMPARE(count("04"), 1);
        // 2012/02/05 is a Sunday, 02/04 a Saturday.
        QCOMPARE(
            rowsOf(
                dbs().calendar,
                QStringLiteral(
                    "SELECT 日, 設定 FROM カレンダー WHERE 年='2012' AND 月='02' AND 日 IN ('04','05') ORDER BY 日")),
            (QVector<QStringList>{{QStringLiteral("04"), QStringLiteral("平日")},
                                  {QStringLiteral("05"), QStringLiteral("休日")}}));
        QVERIFY(Calendar_Prepare(QDate(2012, 3, 1))); // a second run adds nothing
        QCOMPARE(count("03"), 31);
    }

    void calendarPrepareSpansYears()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201101")));
        QVERIFY(Calendar_Prepare(QDate(2011, 1, 1)));
        QCOMPARE(
            rowsOf(dbs().calendar, QStringLiteral("SELECT COUNT(*) FROM カレンダー WHERE 年 = '2010' AND 月 = '12'"))
                .value(0)
                .value(0),
            QStringLiteral("31"));
    }

    void kidouDefaultsAndStoredValues()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201012")));
        QVERIFY(dbs().master.exec(
            QStringLiteral("UPDATE 起動 SET 起動年 = NULL, 起動月 = '  ', 書き出しpath = ' /home/x ', "
                           "リストアpath = NULL, バックアップpath = ''")));
        QCOMPARE(Kidou_Read(), 0);
        QCOMPARE(g_startup.year, QStringLiteral("2010"));
        QCOMPARE(g_startup.month, QStringLiteral("12"));
        QCOMPARE(g_startup.exportPath, QStringLiteral("/home/x"));
        QCOMPARE(g_startup.restorePath, QStringLiteral("C:\\"));
        QVERIFY(Kidou_Write(QStringLiteral("起動年"), QStringLiteral("2009")));
        QVERIFY(Kidou_Write(QStringLiteral("起動月"), QStringLiteral("07")));
        QCOMPARE(Kidou_Read(), 0);
        QCOMPARE(g_startup.year + g_startup.month, QStringLiteral("200907"));
        QVERIFY(!Kidou_Write(QStringLiteral("x; DROP TABLE 起動"), QStringLiteral("1")));
    }

    void anEmptyKidouTableIsADamagedMaster()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201012")));
        QVERIFY(dbs().master.exec(QStringLiteral("DELETE FROM 起動")));
        QCOMPARE(Kidou_Read(), 3021);
        QCOMPARE(dbs().master.errorNumber(), 3021);
        // An update that finds no row stores nothing and says so.
        QVERIFY(!Kidou_Write(QStringLiteral("起動年"), QStringLiteral("2009")));
        QCOMPARE(dbs().master.errorNumber(), 3021);
    }

    void brokenOrMissingDatabaseGivesEachMessage()
    {
        TestHome home;
        ScriptedDialogs dlg;
        // A monthly database that is garbage: open refuses it instead of treating it as empty.
        QFile f(monthlyDbPath(QStringLiteral("201012")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        QVERIFY(!dbs().monthly.open(monthlyDbPath(QStringLiteral("201012"))));
        QVERIFY(!dbs().monthly.open(monthlyDbPath(QStringLiteral("209901")))); // missing
        QVERIFY(!QFile::exists(monthlyDbPath(QStringLiteral("209901"))));      // and not created

        QVERIFY(!Kaisya_Read());
        QCOMPARE(Kubun_Read(), 0);
        QCOMPARE(Kubun_Write(1), -1);
        QCOMPARE(Kojin_Read(false), 0);
        QCOMPARE(Kojin_Write(), -1);
        const QStringList expected = {QStringLiteral("締日、日替時刻データの読み込みに失敗しました。！"),
                                      QStringLiteral("勤務区分データの読み込みに失敗しました。！"),
                                      QStringLiteral("勤務区分データの書き込みに失敗しました。！"),
                                      QStringLiteral("個人マスタデータの読み込みに失敗しました。！"),
                                      QStringLiteral("個人マスタデータの書き込みに失敗しました。！")};
        QCOMPARE(dlg.messages().size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            const auto &m = dlg.messages().at(i);
            QVERIFY2(m.text.startsWith(expected.at(i) + QStringLiteral("\n\nエラー：(")), qPrintable(m.text));
            QCOMPARE(m.title, appTitle());
            QCOMPARE(m.icon, Dialogs::Icon::Exclamation);
        }
        QCOMPARE(g_company.closingDayNo, 20); // defaults stay after a failed read
        QVERIFY(Kidou_Read() != 0);           // master not open
    }

    void punchIndexesExist()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201012")));
        const auto main =
            rowsOf(dbs().monthly,
                   QStringLiteral("SELECT name FROM sqlite_master WHERE type='index' AND tbl_name='タイムカード'"));
        QCOMPARE(main.size(), 1);
        const auto intake = rowsOf(dbs().intake, QStringLiteral("SELECT sql FROM sqlite_master WHERE type='index'"));
        QCOMPARE(intake.size(), 1);
        QVERIFY(intake.first().first().contains(QStringLiteral("移行マーク")));
        QCOMPARE(rowsOf(dbs().monthly, QStringLiteral("PRAGMA journal_mode")).value(0).value(0),
                 QStringLiteral("delete"));
    }
};

QTEST_GUILESS_MAIN(TestDbFile)
#include "tst_dbfile.moc"
