#include "calc/Period.h"
#include "calc/Punch.h"
#include "common/Common.h"
#include "store/DbFile.h"
#include "store/ExFile.h"
#include "tests/support/TestHome.h"

#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(QVector<PunchRecord>)

namespace {

// "0800i" = 08:00 in, "1202o" = out, "1258r" = in coded 04 (second in), "1300x" = out with
// an irregular code 01.
QVector<PunchRecord> punches(const QStringList &list)
{
    QVector<PunchRecord> v;
    for (const QString &p : list) {
        PunchRecord r{p.mid(0, 2), p.mid(2, 2), QStringLiteral("0"), QStringLiteral("00")};
        const QChar kind = p.at(4);
        if (kind == QLatin1Char('o'))
            r.inOut = QStringLiteral("1");
        else if (kind == QLatin1Char('r'))
            r.code = QStringLiteral("04");
        else if (kind == QLatin1Char('x')) {
            r.inOut = QStringLiteral("1");
            r.code = QStringLiteral("01");
        }
        v.append(r);
    }
    return v;
}

QString slotText(const PunchRow &r)
{
    return r.slot[0] + QLatin1Char('|') + r.slot[1] + QLatin1Char('|') + r.slot[2] + QLatin1Char('|') + r.slot[3];
}

const QString E = QStringLiteral("  :  ");

// What the loaders read from and fill, owned by the test.
struct LoadTables {
    PeriodDays days;
    KojinTable kojin;
    PunchRows rows;
};

// The fixed layout of processing month 2010/12 closing on the 20th, with its day types.
bool fillDecember(PeriodDays &days)
{
    RunState run;
    run.year = QStringLiteral("2010");
    run.month = QStringLiteral("12");
    CompanySettings company;
    company.closingDayNo = 20;
    return PeriodDays_FillFixed(run, company, days) == 0;
}

bool insertPunch(const QString &month, const QString &day, const QString &hhmm, const QString &card,
                 const QString &inOut, const QString &code = QStringLiteral("00"))
{
    return dbs().monthly.exec(
        QStringLiteral("INSERT INTO タイムカード (月, 日, 時, 分, 秒, IDコード, 入退, 異例コード, CR) "
                       "VALUES (?,?,?,?,?,?,?,?,?)"),
        {month, day, hhmm.left(2), hhmm.mid(3, 2), QStringLiteral("00"), card, inOut, code, QStringLiteral("0")});
}

} // namespace

class TestPunch : public QObject
{
    Q_OBJECT
private slots:
    void pairing_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QVector<PunchRecord>>("records");
        QTest::addColumn<QString>("expected");
        const auto C = int(PairByCode), O = int(PairByOrder);
        QTest::newRow("code: two pairs, second in coded 04")
            << C << punches({"0855i", "1202o", "1258r", "1810o"}) << "08:55|12:02|12:58|18:10";
        QTest::newRow("code: uncoded second in restarts the day")
            << C << punches({"0855i", "1202o", "1258i", "1810o"}) << "12:58|18:10|" + E + "|" + E;
        QTest::newRow("order: two pairs")
            << O << punches({"0855i", "1202o", "1258i", "1810o"}) << "08:55|12:02|12:58|18:10";
        QTest::newRow("order ignores codes")
            << O << punches({"0855i", "1202o", "1258r", "1810o"}) << "08:55|12:02|12:58|18:10";
        QTest::newRow("code: out alone") << C << punches({"1700o"}) << E + "|17:00|" + E + "|" + E;
        QTest::newRow("order: out alone") << O << punches({"1700o"}) << E + "|17:00|" + E + "|" + E;
        QTest::newRow("code: three outs, first and last kept")
            << C << punches({"0800i", "1200o", "1500o", "1800o"}) << "08:00|12:00|" + E + "|18:00";
        QTest::newRow("order: two ins, out ends the day")
            << O << punches({"0800i", "0805i", "1800o", "1900o", "2000i"}) << "08:00|" + E + "|08:05|18:00";
        QTest::newRow("order: third in is dropped")
            << O << punches({"0800i", "1200o", "1300i", "1305i", "1800o"}) << "08:00|12:00|13:00|18:00";
        QTest::newRow("order: out then in") << O << punches({"0800o", "0900i"}) << E + "|08:00|09:00|" + E;
        QTest::newRow("code: last normal in wins")
            << C << punches({"0800i", "0810i", "1700o"}) << "08:10|17:00|" + E + "|" + E;
        QTest::newRow("code: irregular code goes to in 1")
            << C << punches({"0800i", "1200o", "1300x"}) << "13:00|12:00|" + E + "|" + E;
        QTest::newRow("code: out after second in")
            << C << punches({"0800i", "1300r", "1800o"}) << "08:00|" + E + "|13:00|18:00";
        QTest::newRow("no punches") << C << QVector<PunchRecord>() << E + "|" + E + "|" + E + "|" + E;
    }
    void pairing()
    {
        QFETCH(int, mode);
        QFETCH(QVector<PunchRecord>, records);
        QFETCH(QString, expected);
        QCOMPARE(slotText(Punch_Pair(records, PairingMode(mode))), expected);
    }

    void pairingTrimsAndNormalises()
    {
        const QVector<PunchRecord> v{{"25", "30", " 0", "00 "}, {"26", "75", "1 ", " 00"}};
        QCOMPARE(slotText(Punch_Pair(v, PairByCode)), "25:30|27:15|" + E + "|" + E);
        QCOMPARE(slotText(Punch_Pair(v, PairByOrder)), "25:30|27:15|" + E + "|" + E);
    }

    void linkKindSelectsMode()
    {
        QCOMPARE(pairingModeFor(LinkUsb), PairByCode);
        QCOMPARE(pairingModeFor(LinkLan), PairByOrder);
    }

    void loadEmployeeReadsEachDateInTimeOrder()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201012")));
        auto t = std::make_unique<LoadTables>();
        QVERIFY(fillDecember(t->days));
        const QString card = QStringLiteral("000000001");
        // Stored out of order; the read sorts them by time.
        QVERIFY(insertPunch("12", "01", "18:10", card, "1"));
        QVERIFY(insertPunch("12", "01", "12:58", card, "0", "04"));
        QVERIFY(insertPunch("12", "01", "08:55", card, "0"));
        QVERIFY(insertPunch("12", "01", "12:02", card, "1"));
        // Equal times keep the stored order: out before the second in.
        QVERIFY(insertPunch("11", "30", "08:00", card, "0"));
        QVERIFY(insertPunch("11", "30", "12:00", card, "1"));
        QVERIFY(insertPunch("11", "30", "12:00", card, "0", "04"));
        // After midnight, still the working day of 12/02.
        QVERIFY(insertPunch("12", "02", "25:30", card, "1"));
        QVERIFY(insertPunch("12", "02", "17:00", card, "0"));
        // Another card, and a date outside the period.
        QVERIFY(insertPunch("12", "01", "07:00", QStringLiteral("000000002"), "0"));
        QVERIFY(insertPunch("12", "25", "09:00", card, "0"));

        for (auto &r : t->rows.rows)
            r.slot.fill(QStringLiteral("99:99"));
        PairingMode mode = pairingModeFor(LinkUsb);
        QCOMPARE(Punch_LoadEmployee(t->days, card, mode, t->rows), 0);
        const int dec1 = t->days.rowOf(QDate(2010, 12, 1));
        QCOMPARE(dec1, 12);
        QCOMPARE(slotText(t->rows.rows[size_t(dec1)]), QStringLiteral("08:55|12:02|12:58|18:10"));
        QCOMPARE(slotText(t->rows.rows[size_t(t->days.rowOf(QDate(2010, 11, 30)))]), "08:00|12:00|12:00|" + E);
        QCOMPARE(slotText(t->rows.rows[size_t(dec1 + 1)]), "17:00|25:30|" + E + "|" + E);
        for (int r = 0; r < kPeriodRows; ++r) {
            if (r == dec1 || r == dec1 + 1 || r == t->days.rowOf(QDate(2010, 11, 30)))
                continue;
            QVERIFY2(t->rows.rows[size_t(r)].isEmpty(), QByteArray::number(r));
        }
        QCOMPARE(t->rows.rows[40].slot[0], QStringLiteral("99:99")); // beyond the period rows

        // A snapshot of the period gives the same rows as the reads per date, ties included.
        const PunchRows direct = t->rows;
        PunchSnapshot snapshot;
        QCOMPARE(snapshot.load(t->days), 0);
        for (auto &r : t->rows.rows)
            r.slot.fill(QStringLiteral("99:99"));
        QCOMPARE(Punch_LoadEmployee(t->days, card, mode, t->rows, &snapshot), 0);
        for (int r = 0; r < kPeriodRows; ++r)
            QCOMPARE(slotText(t->rows.rows[size_t(r)]), slotText(direct.rows[size_t(r)]));
        QVERIFY(snapshot.day(12, 25, card).isEmpty()); // outside the period

        // A stored value holding the snapshot's own field separator, and a missing second,
        // are read as the per-date read sees them.
        const QString odd = QStringLiteral("0000\u001f0009");
        QVERIFY(insertPunch("12", "02", "07:30", odd, "0"));
        QVERIFY(insertPunch("12", "02", "16:45", odd, "1"));
        QVERIFY(dbs().monthly.exec(QStringLiteral("UPDATE タイムカード SET 秒 = NULL WHERE IDコード = ? AND 時 = '16'"),
                                   {odd}));
        QCOMPARE(Punch_LoadEmployee(t->days, odd, mode, t->rows), 0);
        const PunchRows oddDirect = t->rows;
        PunchSnapshot again;
        QCOMPARE(again.load(t->days), 0);
        QCOMPARE(again.day(12, 2, odd).size(), 2);
        QCOMPARE(Punch_LoadEmployee(t->days, odd, mode, t->rows, &again), 0);
        for (int r = 0; r < kPeriodRows; ++r)
            QCOMPARE(slotText(t->rows.rows[size_t(r)]), slotText(oddDirect.rows[size_t(r)]));
        QCOMPARE(slotText(t->rows.rows[size_t(dec1 + 1)]), "07:30|16:45|" + E + "|" + E);
        QCOMPARE(snapshot.day(12, 1, QStringLiteral("000000002")).size(), 1);

        // The LAN recorder pairs the same punches by order.
        mode = pairingModeFor(LinkLan);
        QCOMPARE(Punch_LoadEmployee(t->days, card, mode, t->rows), 0);
        QCOMPARE(slotText(t->rows.rows[size_t(dec1)]), QStringLiteral("08:55|12:02|12:58|18:10"));
        QCOMPARE(slotText(t->rows.rows[size_t(dec1 + 1)]), "17:00|25:30|" + E + "|" + E);
        QCOMPARE(Punch_LoadEmployee(t->days, card, mode, t->rows, &snapshot), 0);
        QCOMPARE(slotText(t->rows.rows[size_t(dec1 + 1)]), "17:00|25:30|" + E + "|" + E);
    }

    // The snapshot reads each column of a month as one text; whatever is stored, each card's
    // rows must be the ones the per-date read gives.
    void snapshotMatchesPerDateReadOnOddValues()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201012")));
        auto t = std::make_unique<LoadTables>();
        QVERIFY(fillDecember(t->days));
        const PairingMode mode = pairingModeFor(LinkUsb);
        const QString a = QStringLiteral("000000001"), b = QStringLiteral("000000002"), blank;
        QVERIFY(insertPunch("12", "01", "08:00", a, "0"));
        QVERIFY(insertPunch("12", "01", "17:00", a, "1"));
        // Empty texts and NULLs read as empty, in the middle of the joined texts.
        QVERIFY(insertPunch("12", "01", "09:00", b, ""));
        QVERIFY(insertPunch("12", "01", "18:00", b, "1", ""));
        QVERIFY(dbs().monthly.exec(
            QStringLiteral("UPDATE タイムカード SET 入退 = NULL WHERE IDコード = ? AND 時 = '18'"), {b}));
        QVERIFY(insertPunch("12", "02", "07:45", b, "0"));
        QVERIFY(dbs().monthly.exec(QStringLiteral("UPDATE タイムカード SET 時 = NULL WHERE IDコード = ? AND 日 = '02'"),
                                   {b}));
        // A punch without a card is no one's, not the punch of an empty card.
        QVERIFY(insertPunch("12", "01", "10:00", blank, "0"));
        QVERIFY(insertPunch("12", "01", "11:00", a, "0"));
        QVERIFY(dbs().monthly.exec(QStringLiteral("UPDATE タイムカード SET IDコード = NULL WHERE 時 = '11'")));
        // A day not stored as two digits is outside the period, as for the per-date read.
        QVERIFY(insertPunch("12", "3", "08:00", a, "0"));
        // The separator in a code of November: that month is read row by row, December is not
        // affected.
        QVERIFY(insertPunch("11", "30", "08:00", a, "0", QStringLiteral("0\u001f4")));
        QVERIFY(insertPunch("11", "30", "12:00", a, "1"));
        QVERIFY(insertPunch("11", "29", "13:00", b, "0"));

        PunchSnapshot snapshot;
        QCOMPARE(snapshot.load(t->days), 0);
        for (const QString &card : {a, b, blank}) {
            QCOMPARE(Punch_LoadEmployee(t->days, card, mode, t->rows), 0);
            const PunchRows direct = t->rows;
            QCOMPARE(Punch_LoadEmployee(t->days, card, mode, t->rows, &snapshot), 0);
            for (int r = 0; r < kPeriodRows; ++r)
                QCOMPARE(slotText(t->rows.rows[size_t(r)]), slotText(direct.rows[size_t(r)]));
        }
        QCOMPARE(snapshot.day(12, 1, b).size(), 2);
        QCOMPARE(snapshot.day(12, 1, b).at(1).inOut, QString());
        QCOMPARE(snapshot.day(12, 2, b).at(0).hour, QString());
        QVERIFY(snapshot.day(12, 1, blank).isEmpty());
        QVERIFY(snapshot.day(12, 3, a).isEmpty());
        QCOMPARE(snapshot.day(11, 30, a).size(), 2);
        QCOMPARE(snapshot.day(11, 30, a).at(0).code, QStringLiteral("0\u001f4"));
        QCOMPARE(snapshot.day(11, 29, b).size(), 1);
        QCOMPARE(slotText(snapshot.pair(12, 1, a, PairByCode)), "08:00|17:00|" + E + "|" + E);

        // Loading again replaces what was read before.
        QVERIFY(dbs().monthly.exec(QStringLiteral("DELETE FROM タイムカード WHERE 月 = '12'")));
        QCOMPARE(snapshot.load(t->days), 0);
        QVERIFY(snapshot.day(12, 1, a).isEmpty());
        QCOMPARE(snapshot.day(11, 30, a).size(), 2);
    }

    void loadDateFillsOneRowPerEmployee()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201012")));
        const PairingMode mode = pairingModeFor(LinkLan);
        auto t = std::make_unique<LoadTables>();
        t->kojin[0].card = QStringLiteral("000000001");
        t->kojin[1].card = QStringLiteral("000000002");
        t->kojin[2].card = QStringLiteral("000000003");
        QVERIFY(insertPunch("12", "03", "09:00", "000000001", "0"));
        QVERIFY(insertPunch("12", "03", "18:00", "000000001", "1"));
        QVERIFY(insertPunch("12", "03", "22:00", "000000003", "0"));
        QVERIFY(insertPunch("12", "04", "09:00", "000000002", "0"));

        t->rows.rows[1].slot[0] = QStringLiteral("11:11");
        t->rows.rows[3].slot[0] = QStringLiteral("11:11");
        QCOMPARE(Punch_LoadDate(12, 3, t->kojin, 3, mode, t->rows), 0);
        QCOMPARE(slotText(t->rows.rows[0]), "09:00|18:00|" + E + "|" + E);
        QVERIFY(t->rows.rows[1].isEmpty());
        QCOMPARE(slotText(t->rows.rows[2]), "22:00|" + E + "|" + E + "|" + E);
        QCOMPARE(t->rows.rows[3].slot[0], QStringLiteral("11:11")); // not an employee row

        t->days = PeriodDays_LayoutCompact(2010, 12, 20);
        PunchSnapshot snapshot;
        QCOMPARE(snapshot.load(t->days), 0);
        const PunchRows direct = t->rows;
        for (auto &r : t->rows.rows)
            r.slot.fill(QStringLiteral("99:99"));
        QCOMPARE(Punch_LoadDate(12, 3, t->kojin, 3, mode, t->rows, &snapshot), 0);
        for (int r = 0; r < 3; ++r)
            QCOMPARE(slotText(t->rows.rows[size_t(r)]), slotText(direct.rows[size_t(r)]));
        t->rows.rows[3].slot[0] = QStringLiteral("11:11");

        // An empty employee table touches nothing.
        QCOMPARE(Punch_LoadDate(12, 3, t->kojin, 0, mode, t->rows), 0);
        QCOMPARE(t->rows.rows[3].slot[0], QStringLiteral("11:11"));
    }

    void databaseFailureIsReturnedAndRowsCleared()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201012")));
        auto t = std::make_unique<LoadTables>();
        const PairingMode mode = pairingModeFor(LinkUsb);
        t->days = PeriodDays_LayoutCompact(2010, 12, 20);
        t->rows.rows[0].slot[0] = QStringLiteral("08:00");
        dbs().monthly.close();
        QVERIFY(Punch_LoadEmployee(t->days, QStringLiteral("000000001"), mode, t->rows) != 0);
        QVERIFY(t->rows.rows[0].isEmpty());
        t->kojin[0].card = QStringLiteral("000000001");
        t->rows.rows[0].slot[0] = QStringLiteral("08:00");
        QVERIFY(Punch_LoadDate(12, 1, t->kojin, 1, mode, t->rows) != 0);
        QVERIFY(t->rows.rows[0].isEmpty());
        PunchSnapshot snapshot;
        QVERIFY(snapshot.load(t->days) != 0);
    }
};

QTEST_GUILESS_MAIN(TestPunch)
#include "tst_punch.moc"
