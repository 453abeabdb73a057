#include "screens/frmCalendar.h"

#include "common/Common.h"
#include "store/CalendarStore.h"
#include "store/DbFile.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestHome.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

// The company calendar screen: which months it shows, the default painting, day and weekday
// clicks, the month limits and the save of both months.
class TestCalendar : public QObject
{
    Q_OBJECT

    template <typename T>
    static T *get(QWidget &w, const QString &name)
    {
        T *c = w.findChild<T *>(name);
        if (!c)
            qFatal("no control %s", qPrintable(name));
        return c;
    }
    static QLabel *day(frmCalendar &w, int grid, int i)
    {
        return get<QLabel>(w, QStringLiteral("lblDay%1_%2").arg(grid).arg(i));
    }
    static QColor colour(frmCalendar &w, int grid, int i)
    {
        return day(w, grid, i)->palette().color(QPalette::WindowText);
    }
    // Index of a day's label in its grid.
    static int indexOf(frmCalendar &w, int grid, int d)
    {
        for (int i = 0; i < 42; ++i)
            if (day(w, grid, i)->text() == QString::number(d))
                return i;
        return -1;
    }
    static QStringList storedMonth(int y, int m)
    {
        QVector<QStringList> rows;
        dbs().calendar.select(QStringLiteral("SELECT 日, 設定 FROM カレンダー WHERE 年 = ? AND 月 = ? ORDER BY 日"),
                              {zeroPad(y, 4), zeroPad(m, 2)}, rows);
        QStringList out;
        for (const auto &r : rows)
            out << r.join(QLatin1Char('='));
        return out;
    }
    static void choose(frmCalendar &w, const QString &year, const QString &month)
    {
        get<QComboBox>(w, QStringLiteral("cboYear"))->setCurrentText(year);
        get<QComboBox>(w, QStringLiteral("cboMonth"))->setCurrentText(month);
    }

private slots:
    void init()
    {
        m_home.reset(new TestHome);
        QVERIFY(m_home->ok());
        QVERIFY(m_home->openMonth(QStringLiteral("201001")));
        g_company = CompanySettings();
    }
    void cleanup() { m_home.reset(); }

    void closingDay20ShowsMonthBefore()
    {
        ScriptedDialogs dialogs;
        frmCalendar w;
        QCOMPARE(w.month1(), QDate(2009, 12, 1));
        QCOMPARE(w.month2(), QDate(2010, 1, 1));
        QCOMPARE(get<QLabel>(w, QStringLiteral("lblMonth1"))->text(), QStringLiteral("２００９年 １２月"));
        QCOMPARE(get<QLabel>(w, QStringLiteral("lblMonth2"))->text(), QStringLiteral("２０１０年 １月"));
        // December 2009 begins on a Tuesday.
        QVERIFY(day(w, 1, 1)->text().isEmpty());
        QCOMPARE(day(w, 1, 2)->text(), QStringLiteral("1"));
        QCOMPARE(day(w, 1, 32)->text(), QStringLiteral("31"));
        QVERIFY(day(w, 1, 33)->text().isEmpty());
        // Nothing stored yet: the Sundays are red, the Saturdays black.
        QCOMPARE(colour(w, 1, 7), QColor(Qt::red));                // 6th
        QCOMPARE(colour(w, 1, 6), QColor(Qt::black));              // 5th, Saturday
        QCOMPARE(colour(w, 2, indexOf(w, 2, 3)), QColor(Qt::red)); // Sunday 3 January
    }

    void closingDay31ShowsMonthAfter()
    {
        ScriptedDialogs dialogs;
        g_company.closingDayNo = 31;
        frmCalendar w;
        QCOMPARE(w.month1(), QDate(2010, 1, 1));
        QCOMPARE(w.month2(), QDate(2010, 2, 1));
    }

    void saveWithoutEditsStoresSundays()
    {
        ScriptedDialogs dialogs;
        frmCalendar w;
        QTest::mouseClick(get<QPushButton>(w, QStringLiteral("cmdSet")), Qt::LeftButton);
        const QStringList dec = storedMonth(2009, 12);
        const QStringList jan = storedMonth(2010, 1);
        QCOMPARE(dec.size(), 31);
        QCOMPARE(jan.size(), 31);
        QCOMPARE(dec.at(5), QStringLiteral("06=休日"));
        QCOMPARE(dec.at(4), QStringLiteral("05=平日"));
        QCOMPARE(jan.at(2), QStringLiteral("03=休日"));
        QCOMPARE(jan.filter(QStringLiteral("休日")).size(), 5);
        QVERIFY(dialogs.messages().isEmpty());
    }

    void saturdayButtonToggles()
    {
        ScriptedDialogs dialogs;
        frmCalendar w;
        get<QRadioButton>(w, QStringLiteral("optKyuuka_1"))->click();
        auto *sat = get<QPushButton>(w, QStringLiteral("cmdYoubi2_6"));
        QTest::mouseClick(sat, Qt::LeftButton);
        for (int d : {2, 9, 16, 23, 30})
            QCOMPARE(colour(w, 2, indexOf(w, 2, d)), QColor(Qt::red));
        QCOMPARE(colour(w, 2, indexOf(w, 2, 1)), QColor(Qt::black));
        QTest::mouseClick(sat, Qt::LeftButton);
        for (int d : {2, 9, 16, 23, 30})
            QCOMPARE(colour(w, 2, indexOf(w, 2, d)), QColor(Qt::black));
        // A column partly blue is made all blue first, not cleared.
        get<QRadioButton>(w, QStringLiteral("optKyuuka_2"))->click();
        QTest::mouseClick(day(w, 2, indexOf(w, 2, 9)), Qt::LeftButton);
        QCOMPARE(colour(w, 2, indexOf(w, 2, 9)), QColor(Qt::blue));
        QTest::mouseClick(sat, Qt::LeftButton);
        for (int d : {2, 9, 16, 23, 30})
            QCOMPARE(colour(w, 2, indexOf(w, 2, d)), QColor(Qt::blue));
        QVERIFY(w.isChanged());
        QTest::mouseClick(get<QPushButton>(w, QStringLiteral("cmdSet")), Qt::LeftButton);
        QVERIFY(!w.isChanged());
        QCOMPARE(storedMonth(2010, 1).at(8), QStringLiteral("09=法定外"));
    }

    void dayClicksByType()
    {
        ScriptedDialogs dialogs;
        frmCalendar w;
        const int i = indexOf(w, 2, 5);
        get<QRadioButton>(w, QStringLiteral("optKyuuka_1"))->click();
        QTest::mouseClick(day(w, 2, i), Qt::LeftButton);
        QCOMPARE(colour(w, 2, i), QColor(Qt::red));
        QTest::mouseClick(day(w, 2, i), Qt::LeftButton);
        QCOMPARE(colour(w, 2, i), QColor(Qt::black));
        QTest::mouseClick(day(w, 2, 0), Qt::LeftButton); // a blank label does nothing
        QCOMPARE(colour(w, 2, 0), QColor(Qt::black));
        get<QRadioButton>(w, QStringLiteral("optKyuuka_0"))->click();
        const int sunday = indexOf(w, 2, 3);
        QTest::mouseClick(day(w, 2, sunday), Qt::LeftButton);
        QCOMPARE(colour(w, 2, sunday), QColor(Qt::black));
    }

    void monthChangeAsksAndNoDiscards()
    {
        ScriptedDialogs dialogs;
        frmCalendar w;
        get<QRadioButton>(w, QStringLiteral("optKyuuka_1"))->click();
        QTest::mouseClick(day(w, 2, indexOf(w, 2, 5)), Qt::LeftButton);
        dialogs.answer(Dialogs::Answer::No);
        QTest::mouseClick(get<QPushButton>(w, QStringLiteral("cmdNext")), Qt::LeftButton);
        QCOMPARE(dialogs.messages().size(), 1);
        QCOMPARE(dialogs.last().text, QStringLiteral("変更されたカレンダー設定を保存します。よろしいですか？"));
        QCOMPARE(dialogs.last().title, QStringLiteral("カレンダー設定"));
        QCOMPARE(dialogs.last().icon, Dialogs::Icon::Question);
        QCOMPARE(w.month2(), QDate(2010, 2, 1));
        QVERIFY(storedMonth(2010, 1).isEmpty());
        // Back to January: the 5th is black again, and no question without edits.
        QTest::mouseClick(get<QPushButton>(w, QStringLiteral("cmdBefore")), Qt::LeftButton);
        QCOMPARE(dialogs.messages().size(), 1);
        QCOMPARE(colour(w, 2, indexOf(w, 2, 5)), QColor(Qt::black));

        // Yes stores both months of the grid being left.
        QTest::mouseClick(day(w, 2, indexOf(w, 2, 5)), Qt::LeftButton);
        dialogs.answer(Dialogs::Answer::Yes);
        QTest::mouseClick(get<QPushButton>(w, QStringLiteral("cmdNext")), Qt::LeftButton);
        QCOMPARE(storedMonth(2010, 1).at(4), QStringLiteral("05=休日"));
        QCOMPARE(storedMonth(2009, 12).size(), 31);
        QVERIFY(dialogs.drained());
    }

    void limitsOfTheYearRange()
    {
        ScriptedDialogs dialogs;
        frmCalendar w;
        auto *before = get<QPushButton>(w, QStringLiteral("cmdBefore"));
        auto *next = get<QPushButton>(w, QStringLiteral("cmdNext"));
        choose(w, QStringLiteral("2001"), QStringLiteral("01"));
        QVERIFY(!before->isEnabled());
        QVERIFY(next->isEnabled());
        QCOMPARE(w.month1(), QDate(2000, 12, 1));
        QTest::mouseClick(next, Qt::LeftButton);
        QVERIFY(before->isEnabled());
        choose(w, QStringLiteral("2099"), QStringLiteral("11"));
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(get<QComboBox>(w, QStringLiteral("cboMonth"))->currentText(), QStringLiteral("12"));
        QVERIFY(before->isEnabled());
        QVERIFY(!next->isEnabled());
        // Next from December crosses the year through both combos.
        QTest::mouseClick(before, Qt::LeftButton);
        choose(w, QStringLiteral("2010"), QStringLiteral("12"));
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(w.month2(), QDate(2011, 1, 1));
        QCOMPARE(get<QComboBox>(w, QStringLiteral("cboYear"))->currentText(), QStringLiteral("2011"));
    }

    void checkRoutineSavesOnYes()
    {
        ScriptedDialogs dialogs;
        frmCalendar w;
        QCOMPARE(w.Calendar_Check(), 0);
        QVERIFY(dialogs.messages().isEmpty());
        get<QRadioButton>(w, QStringLiteral("optKyuuka_2"))->click();
        QTest::mouseClick(day(w, 1, indexOf(w, 1, 24)), Qt::LeftButton);
        dialogs.answer(Dialogs::Answer::Yes);
        QCOMPARE(w.Calendar_Check(), 0);
        QCOMPARE(storedMonth(2009, 12).at(23), QStringLiteral("24=法定外"));
        QCOMPARE(colour(w, 1, indexOf(w, 1, 24)), QColor(Qt::blue));
        QVERIFY(!w.isChanged());
    }

    void storedDaysArePainted()
    {
        QVector<DayType> types(31, DayType::Weekday);
        types[0] = DayType::Holiday; // 1st, a Friday
        types[9] = DayType::Extra;   // 10th, a Sunday, stored as 法定外
        QVERIFY(Calendar_SaveMonth(dbs().calendar, 2010, 1, types));
        ScriptedDialogs dialogs;
        frmCalendar w;
        QCOMPARE(colour(w, 2, indexOf(w, 2, 1)), QColor(Qt::red));
        QCOMPARE(colour(w, 2, indexOf(w, 2, 10)), QColor(Qt::blue));
        QCOMPARE(colour(w, 2, indexOf(w, 2, 3)), QColor(Qt::black)); // stored rows win over Sundays
    }

private:
    std::unique_ptr<TestHome> m_home;
};

QTEST_MAIN(TestCalendar)
#include "tst_calendar.moc"
