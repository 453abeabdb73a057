#include "screens/frmDateSelect.h"

#include "store/CalendarStore.h"
#include "store/DbFile.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestHome.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

// The date picker: its range limits, the month buttons, the day colours and the shared
// date and cancel flag.
class TestDateSelect : public QObject
{
    Q_OBJECT

    static QPushButton *day(frmDateSelect &d, int i)
    {
        return d.findChild<QPushButton *>(QStringLiteral("chkDay_%1").arg(i));
    }
    static QPushButton *button(QWidget &w, const char *name)
    {
        return w.findChild<QPushButton *>(QString::fromLatin1(name));
    }

private slots:
    void init()
    {
        m_home.reset(new TestHome);
        QVERIFY(m_home->ok());
        QVERIFY(m_home->openMonth(QStringLiteral("201004")));
    }
    void cleanup() { m_home.reset(); }

    void periodAcrossTwoMonths()
    {
        ScriptedDialogs dialogs;
        frmDateSelect::SelectedDate = QDate(2010, 3, 25);
        frmDateSelect d;
        d.setMinDate(QDate(2010, 3, 21));
        d.setMaxDate(QDate(2010, 4, 20));
        d.load();
        QCOMPARE(d.findChild<QLabel *>(QStringLiteral("lblMonth"))->text(), QStringLiteral("2010年 3月"));
        // March 2010 starts on a Monday: button 0 is blank, button 1 is the 1st.
        QVERIFY(day(d, 0)->text().isEmpty());
        QVERIFY(!day(d, 0)->isEnabled());
        QCOMPARE(day(d, 1)->text(), QStringLiteral("1"));
        for (int dd = 1; dd <= 20; ++dd)
            QVERIFY2(!day(d, dd)->isEnabled(), qPrintable(QString::number(dd)));
        for (int dd = 21; dd <= 31; ++dd)
            QVERIFY(day(d, dd)->isEnabled());
        QVERIFY(!day(d, 32)->isEnabled());
        QVERIFY(day(d, 25)->isChecked()); // the initial date is shown pressed
        QVERIFY(!button(d, "cmdBefore")->isEnabled());
        QVERIFY(button(d, "cmdNext")->isEnabled());

        QTest::mouseClick(button(d, "cmdNext"), Qt::LeftButton);
        QCOMPARE(d.displayedMonth(), QDate(2010, 4, 1));
        QVERIFY(button(d, "cmdBefore")->isEnabled());
        QVERIFY(!button(d, "cmdNext")->isEnabled());
        // April 2010 starts on a Thursday (offset 4): the 20th is button 23, the 21st button 24.
        QVERIFY(day(d, 23)->isEnabled());
        QCOMPARE(day(d, 23)->text(), QStringLiteral("20"));
        QVERIFY(!day(d, 24)->isEnabled());
        QVERIFY(!day(d, 28)->isChecked());
    }

    void singleMonthPeriodHasNoMonthButtons()
    {
        frmDateSelect::SelectedDate = QDate(2010, 4, 10);
        frmDateSelect d;
        d.setMinDate(QDate(2010, 4, 1));
        d.setMaxDate(QDate(2010, 4, 30));
        d.load();
        QVERIFY(!button(d, "cmdBefore")->isEnabled());
        QVERIFY(!button(d, "cmdNext")->isEnabled());
    }

    void daysColouredByCalendar()
    {
        QVector<DayType> types(30, DayType::Weekday);
        types[4] = DayType::Holiday; // 5th
        types[5] = DayType::Extra;   // 6th
        QVERIFY(Calendar_SaveMonth(dbs().calendar, 2010, 4, types));
        frmDateSelect::SelectedDate = QDate(2010, 4, 1);
        frmDateSelect d;
        d.setMinDate(QDate(2010, 4, 1));
        d.setMaxDate(QDate(2010, 4, 30));
        d.load();
        auto colour = [&](int dd) { return day(d, dd + 3)->palette().color(QPalette::Active, QPalette::ButtonText); };
        QCOMPARE(colour(5), QColor(Qt::red));
        QCOMPARE(colour(6), QColor(Qt::blue));
        QCOMPARE(colour(7), QColor(Qt::black));
        QCOMPARE(day(d, 4)->palette().color(QPalette::Button), QColor(0xC0, 0xFF, 0xFF)); // selected 1st
        QVERIFY(day(d, 5)->palette().color(QPalette::Button) != QColor(0xC0, 0xFF, 0xFF));
    }

    void pickReturnsChosenDate()
    {
        QDate chosen(2010, 3, 25);
        QTimer::singleShot(0, this, [] {
            auto *d = qobject_cast<frmDateSelect *>(QApplication::activeModalWidget());
            QVERIFY(d);
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("cmdNext")), Qt::LeftButton);
            QTest::mouseClick(day(*d, 3 + 2), Qt::LeftButton); // April 2nd
        });
        QVERIFY(frmDateSelect::pick(QDate(2010, 3, 21), QDate(2010, 4, 20), chosen, nullptr));
        QCOMPARE(chosen, QDate(2010, 4, 2));
        QCOMPARE(frmDateSelect::CancelFlag, 0);
        QCOMPARE(frmDateSelect::SelectedDate, QDate(2010, 4, 2));
    }

    void cancelKeepsDate()
    {
        QDate chosen(2010, 3, 25);
        QTimer::singleShot(0, this, [] {
            auto *d = QApplication::activeModalWidget();
            QVERIFY(d);
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("cmdCancel")), Qt::LeftButton);
        });
        QVERIFY(!frmDateSelect::pick(QDate(2010, 3, 21), QDate(2010, 4, 20), chosen, nullptr));
        QCOMPARE(chosen, QDate(2010, 3, 25));
        QCOMPARE(frmDateSelect::CancelFlag, -1);
    }

private:
    std::unique_ptr<TestHome> m_home;
};

QTEST_MAIN(TestDateSelect)
#include "tst_dateselect.moc"
