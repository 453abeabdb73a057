#include "common/Common.h"
#include "recorder/Intake.h"
#include "store/DbFile.h"
#include "tests/support/TestHome.h"

#include <QTest>

using namespace Intake;

namespace {

void addIntake(const QString &mm, const QString &dd, const QString &card, const QString &mark = QStringLiteral("未"),
               const QString &hh = QStringLiteral("08"), const QString &io = QStringLiteral("0"))
{
    QVERIFY(dbs().intake.exec(
        QStringLiteral("INSERT INTO タイムカードテンプ (月,日,時,分,秒,IDコード,入退,異例コード,CR,移行マーク) "
                       "VALUES (?,?,?,'30','00',?,?,'00','\r',?)"),
        {mm, dd, hh, card, io, mark}));
}

void addEmployee(const QString &number, const QString &card, const QString &active = QStringLiteral("1"))
{
    QVERIFY(dbs().monthly.exec(
        QStringLiteral("INSERT INTO 個人 (NO,社員番号,氏名,カード番号,区分,対象) VALUES ('01',?,'X',?,'01',?)"),
        {number, card, active}));
}

QVector<QStringList> rows(Database &db, const QString &sql)
{
    QVector<QStringList> r;
    db.select(sql, r);
    return r;
}

QString marks() // 移行マーク of the intake rows in insertion order
{
    QStringList m;
    for (const auto &r : rows(dbs().intake, QStringLiteral("SELECT 移行マーク FROM タイムカードテンプ ORDER BY rowid")))
        m << r.value(0);
    return m.join(QLatin1Char(','));
}

int punches()
{
    return rows(dbs().monthly, QStringLiteral("SELECT COUNT(*) FROM タイムカード")).value(0).value(0).toInt();
}

} // namespace

class TestIntake : public QObject
{
    Q_OBJECT
private slots:
    void init() { qputenv("CORVAN21_NOW", "2010-01-15T10:00:00"); }

    void duplicatesAmongCollectedRows()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        addIntake("01", "10", "000000001");
        addIntake("01", "10", "000000002");
        addIntake("01", "10", "000000001");
        addIntake("01", "11", "000000003");
        addIntake("01", "11", "000000003");
        addIntake("01", "11", "000000003");
        addIntake("01", "10", "000000001", QStringLiteral("01")); // classified earlier: not compared
        int marked = 0;
        QVERIFY(markDuplicates(dbs().intake, &marked));
        QCOMPARE(marked, 3);
        QCOMPARE(marks(), QStringLiteral("未,未,重,未,重,重,01"));
        Counts c;
        QVERIFY(readCounts(dbs().intake, c));
        QCOMPARE(c.collected, 3);
        QCOMPARE(c.duplicates, 3);
        QCOMPARE(c.noMaster, 1);
        QCOMPARE(c.unprocessed, 1);
        QVERIFY(deleteDuplicates(dbs().intake));
        QCOMPARE(marks(), QStringLiteral("未,未,未,01"));
    }

    void periodBounds()
    {
        const QDate today(2010, 1, 15);
        PeriodBounds b = SyorituCal(QStringLiteral("2010"), QStringLiteral("01"), 20, today);
        QCOMPARE(QStringList({b.startMonth1, b.startDay1, b.endMonth1, b.endDay1}),
                 QStringList({"12", "21", "12", "31"}));
        QCOMPARE(QStringList({b.startMonth2, b.startDay2, b.endMonth2, b.endDay2}),
                 QStringList({"01", "01", "01", "20"}));
        b = SyorituCal(QStringLiteral("2010"), QStringLiteral("02"), 31, today);
        QCOMPARE(QStringList({b.startMonth1, b.startDay1, b.endMonth1, b.endDay1}),
                 QStringList({"02", "01", "02", "28"}));
        QCOMPARE(QStringList({b.startMonth2, b.startDay2, b.endMonth2, b.endDay2}),
                 QStringList({"02", "01", "02", "28"}));
        b = SyorituCal(QStringLiteral("2012"), QStringLiteral("03"), 5, today);
        QCOMPARE(QStringList({b.startMonth1, b.startDay1, b.endDay1, b.endDay2}),
                 QStringList({"02", "06", "29", "05"}));
        b = SyorituCal(QStringLiteral("2010"), QString(), 20, today); // no month: today's
        QCOMPARE(b.startMonth2, QStringLiteral("01"));
    }

    void classificationAndMove()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        addEmployee("000001", "000000001");
        addEmployee("000002", "000000002", QStringLiteral("0"));  // inactive still counts
        addIntake("12", "25", "000000001");                       // moved
        addIntake("01", "20", "000000002", QStringLiteral("重")); // a duplicate is moved like any row
        addIntake("01", "21", "000000001");                       // other month: 02
        addIntake("01", "05", "000000009");                       // no master: 01
        addIntake("11", "30", "000000009");                       // neither: 03
        addIntake("12", "20", "000000001");                       // the day before the period: 02
        ProcessResult r;
        const PeriodBounds b = SyorituCal(QStringLiteral("2010"), QStringLiteral("01"), 20, Clock::today());
        QVERIFY(process(dbs().intake, monthlyDbPath(QStringLiteral("201001")), b, Clock::today(), r));
        QCOMPARE(r.moved, 2);
        QVERIFY(!r.leapDayWarning);
        QCOMPARE(marks(), QStringLiteral("02,01,03,02"));
        QCOMPARE(
            rows(dbs().monthly,
                 QStringLiteral("SELECT 月,日,時,分,秒,IDコード,入退,異例コード,CR FROM タイムカード ORDER BY rowid")),
            (QVector<QStringList>{{"12", "25", "08", "30", "00", "000000001", "0", "00", "\r"},
                                  {"01", "20", "08", "30", "00", "000000002", "0", "00", "\r"}}));
        Counts c;
        QVERIFY(readCounts(dbs().intake, c));
        QCOMPARE(c.unprocessed, 4);
        QCOMPARE(c.noMaster, 2);
        QCOMPARE(c.otherMonth, 2);
        // processing again moves nothing twice
        QVERIFY(process(dbs().intake, monthlyDbPath(QStringLiteral("201001")), b, Clock::today(), r));
        QCOMPARE(r.moved, 0);
        QCOMPARE(punches(), 2);
        QVERIFY(deleteClassified(dbs().intake));
        QCOMPARE(marks(), QString());
    }

    void aFailedMoveLeavesEveryPunchWhereItWas()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        addEmployee("000001", "000000001");
        for (int d = 1; d <= 6; ++d)
            addIntake("01", zeroPad(d, 2), "000000001");
        // the monthly database refuses the fourth punch, as a full disk would
        QVERIFY(dbs().monthly.exec(
            QStringLiteral("CREATE TRIGGER full BEFORE INSERT ON タイムカード WHEN "
                           "(SELECT COUNT(*) FROM タイムカード) >= 3 BEGIN SELECT RAISE(ABORT, 'disk full'); END")));
        ProcessResult r;
        const PeriodBounds b = SyorituCal(QStringLiteral("2010"), QStringLiteral("01"), 20, Clock::today());
        QVERIFY(!process(dbs().intake, monthlyDbPath(QStringLiteral("201001")), b, Clock::today(), r));
        QVERIFY(r.errorText.contains(QLatin1String("disk full")));
        QCOMPARE(r.moved, 0);
        QCOMPARE(punches(), 0);
        QCOMPARE(marks(), QStringLiteral("未,未,未,未,未,未"));
        // with room again, the same rows move exactly once
        QVERIFY(dbs().monthly.exec(QStringLiteral("DROP TRIGGER full")));
        QVERIFY(process(dbs().intake, monthlyDbPath(QStringLiteral("201001")), b, Clock::today(), r));
        QCOMPARE(r.moved, 6);
        QCOMPARE(punches(), 6);
        QCOMPARE(marks(), QString());
    }

    void leapDayWarning_data()
    {
        QTest::addColumn<QString>("now");
        QTest::addColumn<QString>("mark");
        QTest::addColumn<bool>("warn");
        QTest::newRow("january 2011 looks at 2010") << "2011-01-10T09:00:00"
                                                    << "02" << true;
        QTest::newRow("neither master nor month") << "2011-01-10T09:00:00"
                                                  << "03" << true;
        QTest::newRow("no master only") << "2011-01-10T09:00:00"
                                        << "01" << false;
        QTest::newRow("january 2013 looks at 2012") << "2013-01-10T09:00:00"
                                                    << "02" << false;
        QTest::newRow("march 2012") << "2012-03-10T09:00:00"
                                    << "02" << false;
    }

    void leapDayWarning()
    {
        QFETCH(QString, now);
        QFETCH(QString, mark);
        QFETCH(bool, warn);
        qputenv("CORVAN21_NOW", now.toLatin1());
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201101")));
        addIntake("02", "29", "000000001", mark);
        bool w = !warn;
        QVERIFY(leapDayLeftovers(dbs().intake, Clock::today(), w));
        QCOMPARE(w, warn);
    }

    void listsSelectByMark()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        addIntake("01", "10", "000000001", "未");
        addIntake("01", "11", "000000002", "01");
        addIntake("01", "12", "000000003", "02");
        addIntake("01", "13", "000000004", "03");
        addIntake("01", "14", "000000005", "重");
        const QList<QStringList> expect = {{"10"}, {"11", "12", "13"}, {"11", "13"}, {"12"}, {"14"}};
        for (int type = 0; type < 5; ++type) {
            QVector<QStringList> r;
            QVERIFY(listRows(dbs().intake, type, r));
            QStringList days;
            for (const auto &row : r)
                days << row.value(1);
            QCOMPARE(days, expect.at(type));
        }
        QCOMPARE(listTitle(ListOtherMonth), QStringLiteral("月度違いデータ一覧"));
    }
};

QTEST_GUILESS_MAIN(TestIntake)
#include "tst_intake.moc"
