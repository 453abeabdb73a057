#include "EditorFixture.h"
#include "screens/PunchEntry.h"

namespace {

// The rows of one employee-day as an editor reads them before it shows the day.
StoredDay readDay(int month, int day, const QString &card)
{
    QHash<QString, StoredDay> days;
    if (PunchDays_ReadCard(dbs().monthly, card, days) != 0)
        qWarning("the day could not be read");
    return days.value(punchDayKey(month, day, card));
}

// Replaces the day as it is stored now, as an editor that has just read it does.
int replaceAsRead(int month, int day, const QString &card, const PunchSlots &punches)
{
    StoredDay shown = readDay(month, day, card);
    return PunchDay_Replace(dbs().monthly, month, day, card, punches, shown);
}

} // namespace

// The widget-free entry rules of the editors: reading a typed field, the order of a day and
// the rewrite of one employee-day.
class TestPunchEntry : public QObject
{
    Q_OBJECT

private slots:
    void fieldReading_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("shown");
        QTest::newRow("four digits past midnight") << "2530" << true << "25:30";
        QTest::newRow("three digits") << "930" << true << "09:30";
        QTest::newRow("one digit") << "5" << true << "00:05";
        QTest::newRow("midnight") << "0000" << true << "00:00";
        QTest::newRow("last minute") << "7159" << true << "71:59";
        QTest::newRow("hour 72") << "7200" << false << "";
        QTest::newRow("minute 60") << "0860" << false << "";
        QTest::newRow("loaded text kept") << "08:05" << true << "08:05";
        QTest::newRow("loaded text, hour too big") << "72:00" << false << "";
        QTest::newRow("colon in a short text") << "09:0" << false << "";
        QTest::newRow("blank") << "" << true << "  :  ";
        QTest::newRow("empty time") << "  :  " << true << "  :  ";
        QTest::newRow("blanks only") << "   " << true << "  :  ";
        QTest::newRow("letters") << "ab" << false << "";
        QTest::newRow("five digits") << "12345" << false << "";
    }
    void fieldReading()
    {
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        QFETCH(QString, shown);
        QString out = QStringLiteral("unchanged");
        QCOMPARE(PunchField_Read(typed, out), ok);
        if (ok)
            QCOMPARE(out, shown);
    }

    void dayOrder_data()
    {
        QTest::addColumn<QStringList>("day");
        QTest::addColumn<bool>("inOrder");
        const QString e = QStringLiteral("  :  ");
        QTest::newRow("full day") << QStringList{"08:55", "12:02", "12:58", "18:10"} << true;
        QTest::newRow("empty 退1 takes 入1") << QStringList{"09:00", e, "13:00", "18:00"} << true;
        QTest::newRow("out before in") << QStringList{"09:00", "08:30", e, e} << false;
        QTest::newRow("equal times") << QStringList{"09:00", "09:00", "09:00", "09:00"} << true;
        QTest::newRow("empty 入1 is midnight") << QStringList{e, "08:00", e, e} << true;
        QTest::newRow("second in before first out") << QStringList{"08:00", "12:00", "11:00", "18:00"} << false;
        QTest::newRow("second out before a skipped 入2") << QStringList{"08:00", "12:00", e, "11:59"} << false;
        QTest::newRow("past midnight") << QStringList{"22:00", "25:30", e, e} << true;
        QTest::newRow("all empty") << QStringList{e, e, e, e} << true;
    }
    void dayOrder()
    {
        QFETCH(QStringList, day);
        QFETCH(bool, inOrder);
        QCOMPARE(PunchSlots_InOrder({day.at(0), day.at(1), day.at(2), day.at(3)}), inOrder);
    }

    // The day is replaced whole: the other days and cards keep their rows as they were.
    void replaceDay()
    {
        TestHome home;
        QVERIFY(fixture::openMonth(home));
        const QDate d(2010, 4, 5), other(2010, 4, 6);
        const QString card = fixture::cardOf(1), card2 = fixture::cardOf(2);
        QVERIFY(fixture::addPunch(d, card, QStringLiteral("08:00"), false));
        QVERIFY(fixture::addPunch(d, card, QStringLiteral("17:00"), true));
        QVERIFY(fixture::addPunch(d, card, QStringLiteral("18:00"), true));
        QVERIFY(fixture::addPunch(other, card, QStringLiteral("08:00"), false));
        QVERIFY(fixture::addPunch(d, card2, QStringLiteral("08:00"), false));
        const auto otherBefore = fixture::punchesOf(other, card);
        const auto card2Before = fixture::punchesOf(d, card2);

        QCOMPARE(replaceAsRead(4, 5, card, {"08:10", "12:00", "13:00", "25:30"}), 0);
        const auto rows = fixture::punchesOf(d, card);
        using P = fixture::StoredPunch;
        const QVector<P> expected = {
            {"04", "05", "08", "10", "0", card, "0", "00", "0"},
            {"04", "05", "12", "00", "0", card, "1", "00", "0"},
            {"04", "05", "13", "00", "0", card, "0", "04", "0"},
            {"04", "05", "25", "30", "0", card, "1", "00", "0"},
        };
        QCOMPARE(rows, expected);
        QCOMPARE(fixture::punchesOf(other, card), otherBefore);
        QCOMPARE(fixture::punchesOf(d, card2), card2Before);

        // Empty slots are not written; an empty day has no rows left.
        QCOMPARE(replaceAsRead(4, 5, card, {"  :  ", "12:00", "  :  ", "  :  "}), 0);
        QCOMPARE(fixture::punchesOf(d, card).size(), 1);
        QCOMPARE(fixture::punchesOf(d, card).first().inOut, QStringLiteral("1"));
        QCOMPARE(replaceAsRead(4, 5, card, {"  :  ", "  :  ", "  :  ", "  :  "}), 0);
        QVERIFY(fixture::punchesOf(d, card).isEmpty());
    }

    // What the editors write reads back into the same slots with either pairing.
    void rewrittenDayPairsBack()
    {
        TestHome home;
        QVERIFY(fixture::openMonth(home));
        const QString card = fixture::cardOf(1);
        const QList<PunchSlots> days = {{"09:00", "  :  ", "13:00", "18:00"},
                                        {"08:00", "12:00", "13:00", "18:00"},
                                        {"  :  ", "12:00", "13:00", "18:00"},
                                        {"08:00", "08:00", "  :  ", "  :  "}};
        const PeriodDays period = PeriodDays_LayoutFixed(2010, 4, 20);
        const int row = period.rowOf(QDate(2010, 4, 7));
        auto rows = std::make_unique<PunchRows>();
        for (int linkKind : {int(LinkUsb), int(LinkLan)}) {
            for (const PunchSlots &day : days) {
                QCOMPARE(replaceAsRead(4, 7, card, day), 0);
                QCOMPARE(Punch_LoadEmployee(period, card, pairingModeFor(linkKind), *rows), 0);
                QCOMPARE(rows->rows[size_t(row)].slot, day);
            }
        }
    }

    // The saved form of a day is what reading its stored rows gives, for every day the order
    // check lets through, with either pairing.
    void savedFormIsWhatTheStoredRowsReadBackAs()
    {
        TestHome home;
        QVERIFY(fixture::openMonth(home));
        const QString card = fixture::cardOf(1);
        const QString e = QStringLiteral("  :  ");
        const QStringList times = {QStringLiteral("08:00"), QStringLiteral("12:00"), QStringLiteral("13:00"),
                                   QStringLiteral("18:00")};
        // Each slot empty or holding its own time (so the day is in order), and a day of
        // equal times.
        QList<PunchSlots> days;
        for (int mask = 0; mask < 16; ++mask) {
            PunchSlots d;
            for (int i = 0; i < 4; ++i)
                d[size_t(i)] = (mask & (1 << i)) ? times.at(i) : e;
            days << d;
        }
        days << PunchSlots{"09:00", "09:00", "09:00", "09:00"} << PunchSlots{"09:00", e, e, "09:00"};
        const PeriodDays period = PeriodDays_LayoutFixed(2010, 4, 20);
        const int row = period.rowOf(QDate(2010, 4, 7));
        auto rows = std::make_unique<PunchRows>();
        for (int linkKind : {int(LinkUsb), int(LinkLan)}) {
            for (const PunchSlots &day : days) {
                QVERIFY(PunchSlots_InOrder(day));
                QCOMPARE(replaceAsRead(4, 7, card, day), 0);
                QCOMPARE(Punch_LoadEmployee(period, card, pairingModeFor(linkKind), *rows), 0);
                QCOMPARE(PunchSlots_AsStored(day, linkKind), rows->rows[size_t(row)].slot);
            }
        }
        // The day the editors used to show one way and store another.
        QCOMPARE(PunchSlots_AsStored({"09:00", e, e, "18:00"}, LinkUsb), (PunchSlots{"09:00", "18:00", e, e}));
        QCOMPARE(PunchSlots_AsStored({"09:00", e, e, "18:00"}, LinkLan), (PunchSlots{"09:00", "18:00", e, e}));
        QCOMPARE(PunchSlots_AsStored({e, e, "13:00", "18:00"}, LinkUsb), (PunchSlots{e, e, "13:00", "18:00"}));
        QCOMPARE(PunchSlots_AsStored({e, e, "13:00", "18:00"}, LinkLan), (PunchSlots{"13:00", "18:00", e, e}));
    }

    // A failing statement leaves the day's old rows in place.
    void failedReplaceKeepsTheDay()
    {
        TestHome home;
        QVERIFY(fixture::openMonth(home));
        const QDate d(2010, 4, 5);
        const QString card = fixture::cardOf(1);
        QVERIFY(fixture::addPunch(d, card, QStringLiteral("08:00"), false));
        const auto before = fixture::punchesOf(d, card);
        // Inserts fail once the table refuses new rows.
        QVERIFY(dbs().monthly.exec(QStringLiteral("CREATE TRIGGER no_insert BEFORE INSERT ON タイムカード "
                                                  "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
        StoredDay shown = readDay(4, 5, card);
        const StoredDay shownBefore = shown;
        QVERIFY(PunchDay_Replace(dbs().monthly, 4, 5, card, {"09:00", "18:00", "  :  ", "  :  "}, shown) != 0);
        QVERIFY(dbs().monthly.errorText().contains(QStringLiteral("refused")));
        QCOMPARE(fixture::punchesOf(d, card), before);
        QCOMPARE(shown.size(), shownBefore.size()); // still the rows that are there
        QCOMPARE(shown.first().rowid, shownBefore.first().rowid);
    }

    // A punch stored after the day was read (processing moved it in while an editor showed the
    // day) is kept beside the corrected slots; the rows that were read are replaced.
    void rewriteKeepsPunchesStoredSinceTheRead()
    {
        TestHome home;
        QVERIFY(fixture::openMonth(home));
        const QDate d(2010, 4, 9);
        const QString card = fixture::cardOf(1);
        QVERIFY(fixture::addPunch(d, card, QStringLiteral("08:50"), false));
        StoredDay shown = readDay(4, 9, card);
        QCOMPARE(shown.size(), 1);

        QVERIFY(fixture::addPunch(d, card, QStringLiteral("18:05"), true)); // arrives meanwhile
        int unseen = -1;
        QCOMPARE(PunchDay_Replace(dbs().monthly, 4, 9, card, {"08:45", "  :  ", "  :  ", "  :  "}, shown, &unseen), 0);
        QCOMPARE(unseen, 1);
        using P = fixture::StoredPunch;
        const QVector<P> expected = {
            {"04", "09", "18", "05", "17", card, "1", "00", "\r"}, // the punch nobody was shown
            {"04", "09", "08", "45", "0", card, "0", "00", "0"},   // the correction
        };
        QCOMPARE(fixture::punchesOf(d, card), expected);
        // shown now holds both rows, so the next rewrite replaces them as the screen shows them.
        QCOMPARE(shown.size(), 2);
        QCOMPARE(PunchDay_Replace(dbs().monthly, 4, 9, card, {"08:40", "18:05", "  :  ", "  :  "}, shown, &unseen), 0);
        QCOMPARE(unseen, 0);
        QCOMPARE(fixture::punchesOf(d, card).size(), 2);
        QCOMPARE(fixture::punchesOf(d, card).first().hour, QStringLiteral("08"));

        // A day read empty keeps what arrived; a day cleared on screen keeps it too.
        const QDate e(2010, 4, 10);
        StoredDay empty = readDay(4, 10, card);
        QVERIFY(empty.isEmpty());
        QVERIFY(fixture::addPunch(e, card, QStringLiteral("09:00"), false));
        QCOMPARE(PunchDay_Replace(dbs().monthly, 4, 10, card, {"  :  ", "  :  ", "  :  ", "  :  "}, empty, &unseen), 0);
        QCOMPARE(unseen, 1);
        QCOMPARE(fixture::punchesOf(e, card).size(), 1);
    }

    // Rows are matched by rowid and values: a row deleted and written again by someone else
    // under the same rowid, with other values, is not the row that was read. Repeated rows
    // are told apart by their rowids.
    void rowsAreMatchedByRowidAndValues()
    {
        TestHome home;
        QVERIFY(fixture::openMonth(home));
        const QDate d(2010, 4, 12);
        const QString card = fixture::cardOf(1);
        QVERIFY(fixture::addPunch(d, card, QStringLiteral("09:00"), false));
        QVERIFY(fixture::addPunch(d, card, QStringLiteral("09:00"), false)); // a repeat, both moved in
        StoredDay shown = readDay(4, 12, card);
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown.at(0).rowid != shown.at(1).rowid);
        // Another screen replaces the second row under the same rowid with another time.
        QVERIFY(dbs().monthly.exec(QStringLiteral("UPDATE タイムカード SET 時 = '10' WHERE rowid = ?"),
                                   {shown.at(1).rowid}));
        int unseen = -1;
        QCOMPARE(PunchDay_Replace(dbs().monthly, 4, 12, card, {"08:30", "  :  ", "  :  ", "  :  "}, shown, &unseen), 0);
        QCOMPARE(unseen, 1);
        const auto rows = fixture::punchesOf(d, card);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0).hour, QStringLiteral("10")); // kept: not what was read
        QCOMPARE(rows.at(1).hour, QStringLiteral("08"));

        // A NULL value is matched as NULL.
        const QDate n(2010, 4, 13);
        QVERIFY(dbs().monthly.exec(
            QStringLiteral("INSERT INTO タイムカード VALUES ('04','13','07','00',NULL,?,'0','00',NULL)"), {card}));
        StoredDay nulls = readDay(4, 13, card);
        QCOMPARE(nulls.size(), 1);
        QVERIFY(nulls.first().values.at(2).isNull());
        QCOMPARE(PunchDay_Replace(dbs().monthly, 4, 13, card, {"07:05", "  :  ", "  :  ", "  :  "}, nulls, &unseen), 0);
        QCOMPARE(unseen, 0);
        QCOMPARE(fixture::punchesOf(n, card).size(), 1);
        QCOMPARE(fixture::punchesOf(n, card).first().minute, QStringLiteral("05"));
    }
};

QTEST_MAIN(TestPunchEntry)
#include "tst_punchentry.moc"
