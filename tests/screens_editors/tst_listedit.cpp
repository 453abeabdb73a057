#include "EditorFixture.h"
#include "screens/frmDateSelect.h"
#include "screens/frmListEdit.h"

#include <QComboBox>
#include <QScrollBar>
#include <QTimer>
#include <memory>

using namespace fixture;

// The daily list editor, driven through its widgets: the date list and its buttons, the
// scroll bar, figures by day type, the save when the date changes and the entry messages.
class TestListEdit : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<ScriptedDialogs> m_dialogs;

    std::unique_ptr<frmListEdit> open()
    {
        auto w = std::make_unique<frmListEdit>();
        w->show();
        w->activateWindow();
        if (!QTest::qWaitForWindowActive(w.get()))
            qWarning("editor window not active");
        QCoreApplication::processEvents();
        return w;
    }
    static void click(QWidget &w, const char *name)
    {
        QTest::mouseClick(child<QPushButton>(w, QString::fromLatin1(name)), Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    static QComboBox *dates(QWidget &w) { return child<QComboBox>(w, QStringLiteral("cboDate")); }

private slots:
    void init()
    {
        m_home.reset(new TestHome);
        QVERIFY(openMonth(*m_home));
        m_dialogs.reset(new ScriptedDialogs);
        QVERIFY(addCategory(1));
        QVERIFY(addCategory(2, QStringLiteral("30分")));
    }
    void cleanup()
    {
        QVERIFY2(m_dialogs->drained(), "a scripted answer was not used");
        m_dialogs.reset();
        m_home.reset();
    }

    void datesAndButtons()
    {
        for (int i = 1; i <= 3; ++i)
            QVERIFY(addEmployee(i));
        QVERIFY(addEmployee(4, QStringLiteral("01"), QStringLiteral("0")));
        auto w = open();
        QCOMPARE(w->employeeCount(), 3);
        QCOMPARE(child<QLabel>(*w, QStringLiteral("lbl社員番号_0"))->text(), QStringLiteral(" 000001"));
        QCOMPARE(child<QLabel>(*w, QStringLiteral("lbl氏名_2"))->text(), QStringLiteral(" 社員3"));
        QVERIFY(!w->findChild<QLineEdit *>(QStringLiteral("txt入1_3")));
        QCOMPARE(dates(*w)->count(), 31);
        QCOMPARE(dates(*w)->itemText(0), QStringLiteral("3月21日"));
        QCOMPARE(dates(*w)->itemText(11), QStringLiteral("4月1日"));
        QCOMPARE(dates(*w)->itemText(30), QStringLiteral("4月20日"));
        QCOMPARE(w->selectedDate(), QDate(2010, 3, 21));
        auto *before = child<QPushButton>(*w, QStringLiteral("cmdBefore"));
        auto *next = child<QPushButton>(*w, QStringLiteral("cmdNext"));
        QVERIFY(!before->isEnabled());
        QVERIFY(next->isEnabled());
        click(*w, "cmdNext");
        QCOMPARE(w->selectedDate(), QDate(2010, 3, 22));
        QVERIFY(before->isEnabled());
        dates(*w)->setCurrentIndex(30);
        QCOMPARE(w->selectedDate(), QDate(2010, 4, 20));
        QVERIFY(!next->isEnabled());
        dates(*w)->setCurrentIndex(0);
        QVERIFY(!before->isEnabled());
        QCOMPARE(QApplication::focusWidget(), field(*w, QStringLiteral("入1"), 0));
        QVERIFY(m_dialogs->messages().isEmpty());
    }

    void datePicker()
    {
        QVERIFY(addEmployee(1));
        QVERIFY(addPunch(QDate(2010, 3, 25), cardOf(1), QStringLiteral("08:30"), false));
        auto w = open();
        bool seen = false;
        // The picker is modal: it is answered from inside its own event loop. March 2010
        // starts on a Monday, so the 25th is button 25.
        QTimer::singleShot(0, this, [&] {
            auto *picker = qobject_cast<frmDateSelect *>(QApplication::activeModalWidget());
            if (!picker)
                return;
            seen = picker->MinDate() == QDate(2010, 3, 21) && picker->MaxDate() == QDate(2010, 4, 20);
            QTest::mouseClick(picker->findChild<QPushButton *>(QStringLiteral("chkDay_25")), Qt::LeftButton);
        });
        click(*w, "cmdDateSel");
        QVERIFY(seen);
        QCOMPARE(w->selectedDate(), QDate(2010, 3, 25));
        QCOMPARE(dates(*w)->currentIndex(), 4);
        QCOMPARE(field(*w, QStringLiteral("入1"), 0)->text(), QStringLiteral("08:30"));

        // Cancelled: the date stays.
        QTimer::singleShot(0, this, [] {
            if (auto *picker = qobject_cast<frmDateSelect *>(QApplication::activeModalWidget()))
                picker->reject();
        });
        click(*w, "cmdDateSel");
        QCOMPARE(w->selectedDate(), QDate(2010, 3, 25));
    }

    void scrollBar()
    {
        for (int i = 1; i <= 20; ++i)
            QVERIFY(addEmployee(i));
        auto w = open();
        auto *bar = child<QScrollBar>(*w, QStringLiteral("VScroll1"));
        QVERIFY(bar->isEnabled());
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 4);
        QWidget *view = child<QWidget>(*w, QStringLiteral("sheetView"));
        auto visible = [&](int r) {
            const QRect g(field(*w, QStringLiteral("入1"), r)->mapTo(view, QPoint(0, 0)),
                          field(*w, QStringLiteral("入1"), r)->size());
            return view->rect().contains(g);
        };
        QVERIFY(visible(0) && visible(15) && !visible(16));
        field(*w, QStringLiteral("退1"), 0)->setFocus();
        QCoreApplication::processEvents();
        bar->setValue(4);
        QCoreApplication::processEvents();
        QVERIFY(!visible(3));
        for (int r = 4; r <= 19; ++r)
            QVERIFY2(visible(r), qPrintable(QString::number(r)));
        // The focus goes into the first visible row, in the column last used.
        QCOMPARE(QApplication::focusWidget(), field(*w, QStringLiteral("退1"), 4));
        // Moving up out of view scrolls back.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QCOMPARE(QApplication::focusWidget(), field(*w, QStringLiteral("退1"), 3));
        QVERIFY(visible(3));
        QCOMPARE(bar->value(), 3);
    }

    void scrollBarOffWithSixteen()
    {
        for (int i = 1; i <= 16; ++i)
            QVERIFY(addEmployee(i));
        auto w = open();
        auto *bar = child<QScrollBar>(*w, QStringLiteral("VScroll1"));
        QVERIFY(!bar->isEnabled());
        QCOMPARE(bar->maximum(), 0);
    }

    void holidayShowsHolidayFiguresOnly()
    {
        const QDate d(2010, 3, 21);
        QVERIFY(setDayType(d, QStringLiteral("休日")));
        QVERIFY(addEmployee(1, QStringLiteral("01")));
        QVERIFY(addEmployee(2, QStringLiteral("02")));
        QVERIFY(addEmployee(3, QStringLiteral("01")));
        for (int i = 1; i <= 3; ++i) {
            QVERIFY(addPunch(d, cardOf(i), QStringLiteral("07:00"), false));
            QVERIFY(addPunch(d, cardOf(i), QStringLiteral("23:10"), true));
        }
        auto w = open();
        for (int r = 0; r < 3; ++r) {
            for (const QString &f : PunchSheet::figureNames()) {
                const QString text = figure(*w, f, r)->text();
                if (f == QStringLiteral("休日") || f == QStringLiteral("合計"))
                    QVERIFY2(!text.isEmpty(), qPrintable(f));
                else
                    QVERIFY2(text.isEmpty(), qPrintable(f + QStringLiteral(": ") + text));
            }
        }
        // 07:00-23:10 less the lunch hour is 15:10: by 15 minutes 15:00, by 30 minutes 15:00.
        QCOMPARE(figure(*w, QStringLiteral("休日"), 0)->text(), QStringLiteral("15:00"));
        QCOMPARE(figure(*w, QStringLiteral("休日"), 1)->text(), QStringLiteral("15:00"));
        // The next (working) day computes the windows again.
        click(*w, "cmdNext");
        QVERIFY(figure(*w, QStringLiteral("休日"), 0)->text().isEmpty());
    }

    void dateChangeSavesEveryEditedEmployee()
    {
        const QDate d(2010, 3, 21), next(2010, 3, 22);
        for (int i = 1; i <= 3; ++i) {
            QVERIFY(addEmployee(i));
            QVERIFY(addPunch(d, cardOf(i), QStringLiteral("08:00"), false));
            QVERIFY(addPunch(next, cardOf(i), QStringLiteral("08:05"), false));
        }
        const auto third = punchesOf(d, cardOf(3));
        auto w = open();
        typeInto(field(*w, QStringLiteral("退1"), 0), QStringLiteral("1700"));
        typeInto(field(*w, QStringLiteral("入1"), 1), QStringLiteral("0745"));
        QVERIFY(isRed(field(*w, QStringLiteral("入1"), 1)));
        m_dialogs->answer(Dialogs::Answer::Yes);
        click(*w, "cmdNext");
        QCOMPARE(m_dialogs->messages().size(), 1);
        QCOMPARE(m_dialogs->last().text, QStringLiteral("変更した時刻を保存します。よろしいですか？"));
        QCOMPARE(m_dialogs->last().title, QStringLiteral("一覧修正"));
        const QString c1 = cardOf(1), c2 = cardOf(2);
        QCOMPARE(punchesOf(d, c1), (QVector<StoredPunch>{{"03", "21", "08", "00", "0", c1, "0", "00", "0"},
                                                         {"03", "21", "17", "00", "0", c1, "1", "00", "0"}}));
        QCOMPARE(punchesOf(d, c2), (QVector<StoredPunch>{{"03", "21", "07", "45", "0", c2, "0", "00", "0"}}));
        QCOMPARE(punchesOf(d, cardOf(3)), third);
        QCOMPARE(field(*w, QStringLiteral("入1"), 0)->text(), QStringLiteral("08:05"));
        QVERIFY(!w->isChanged());

        // No on the way to another date drops the edit.
        typeInto(field(*w, QStringLiteral("入1"), 2), QStringLiteral("0600"));
        const auto before = allPunches();
        m_dialogs->answer(Dialogs::Answer::No);
        click(*w, "cmdBefore");
        QCOMPARE(allPunches(), before);
        QCOMPARE(w->selectedDate(), d);
        click(*w, "cmdNext"); // nothing changed: no question
        QCOMPARE(m_dialogs->messages().size(), 2);
        QCOMPARE(field(*w, QStringLiteral("入1"), 2)->text(), QStringLiteral("08:05"));
    }

    void entryMessagesAndRecalc()
    {
        const QDate d(2010, 3, 21);
        QVERIFY(addEmployee(1));
        QVERIFY(addEmployee(2));
        QVERIFY(addPunch(d, cardOf(2), QStringLiteral("08:00"), false));
        QVERIFY(addPunch(d, cardOf(2), QStringLiteral("17:00"), true));
        auto w = open();
        QLineEdit *in1 = field(*w, QStringLiteral("入1"), 0);
        typeInto(in1, QStringLiteral("7200"));
        QCOMPARE(m_dialogs->last().text, QStringLiteral("時刻が正しくセットされていません。（00:00 ～ 71:59）"));
        QCOMPARE(m_dialogs->last().title, QStringLiteral("一覧修正"));
        QCOMPARE(in1->text(), QStringLiteral("  :  "));
        QCOMPARE(QApplication::focusWidget(), in1);
        typeInto(in1, QStringLiteral("0900"));
        QLineEdit *out1 = field(*w, QStringLiteral("退1"), 0);
        typeInto(out1, QStringLiteral("0830"));
        QCOMPARE(m_dialogs->messages().size(), 2);
        QCOMPARE(m_dialogs->last().text, QStringLiteral("時刻が正しくセットされていません。（入1 < 退1 < 入2 < 退2）"));
        QCOMPARE(m_dialogs->last().title, QStringLiteral("一覧修正"));
        QCOMPARE(out1->text(), QStringLiteral("  :  "));

        // Down moves to the next employee; clearing a day and recalculating deletes it.
        typeInto(out1, QStringLiteral("1800"));
        typeInto(field(*w, QStringLiteral("入1"), 1), QString());
        typeInto(field(*w, QStringLiteral("退1"), 1), QString());
        click(*w, "cmdReCalc");
        QCOMPARE(m_dialogs->messages().size(), 2);
        QVERIFY(punchesOf(d, cardOf(2)).isEmpty());
        QCOMPARE(punchesOf(d, cardOf(1)).size(), 2);
        QCOMPARE(figure(*w, QStringLiteral("就業"), 0)->text(), QStringLiteral(" 7:30")); // 09:00-17:30 less lunch
        QVERIFY(figure(*w, QStringLiteral("就業"), 1)->text().isEmpty());
        QCOMPARE(QApplication::focusWidget(), field(*w, QStringLiteral("入1"), 0));
    }

    void checkRoutine()
    {
        QVERIFY(addEmployee(1));
        auto w = open();
        typeInto(field(*w, QStringLiteral("入2"), 0), QStringLiteral("9999"), false);
        QCOMPARE(w->ListEdit_check(0), -1);
        typeInto(field(*w, QStringLiteral("入2"), 0), QStringLiteral("1300"), false);
        m_dialogs->answer(Dialogs::Answer::Yes);
        QCOMPARE(w->ListEdit_check(0), 0);
        QCOMPARE(punchesOf(QDate(2010, 3, 21), cardOf(1)).value(0).code, QStringLiteral("04"));
    }

    void noEmployees()
    {
        auto w = open();
        QCOMPARE(dates(*w)->count(), 0);
        QVERIFY(!child<QPushButton>(*w, QStringLiteral("cmdNext"))->isEnabled());
        QVERIFY(!child<QPushButton>(*w, QStringLiteral("cmdDateSel"))->isEnabled());
        QVERIFY(!child<QScrollBar>(*w, QStringLiteral("VScroll1"))->isEnabled());
        QCOMPARE(w->ListEdit_check(0), 0);
    }

    // The figures of every employee on every date are the calculation core's.
    // The per-date twin: the employee whose day gained a punch behind the screen is named, and
    // the punch stays.
    void correctionKeepsAPunchStoredSinceTheDateWasShown()
    {
        QVERIFY(addEmployee(1));
        QVERIFY(addEmployee(2));
        const QDate d(2010, 3, 21);
        QVERIFY(addPunch(d, cardOf(2), QStringLiteral("08:50"), false));
        auto w = open();
        QVERIFY(addPunch(d, cardOf(2), QStringLiteral("18:05"), true));
        typeInto(field(*w, QStringLiteral("入1"), 1), QStringLiteral("0845"));
        typeInto(field(*w, QStringLiteral("入1"), 0), QStringLiteral("0900")); // a day read empty, still empty
        click(*w, "cmdReCalc");
        QCOMPARE(m_dialogs->messages().size(), 1);
        QCOMPARE(m_dialogs->last().title, QStringLiteral("一覧修正"));
        QVERIFY(m_dialogs->last().text.contains(QStringLiteral("000002 社員2")));
        QVERIFY(!m_dialogs->last().text.contains(QStringLiteral("000001")));
        QCOMPARE(punchesOf(d, cardOf(2)).size(), 2);
        QCOMPARE(punchesOf(d, cardOf(1)).size(), 1);
        QCOMPARE(field(*w, QStringLiteral("退1"), 1)->text(), QStringLiteral("18:05"));
        QCOMPARE(field(*w, QStringLiteral("入1"), 0)->text(), QStringLiteral("09:00"));
    }

    void figuresMatchTheCalculation()
    {
        QVERIFY(setDayType(QDate(2010, 3, 28), QStringLiteral("休日")));
        QVERIFY(setDayType(QDate(2010, 4, 3), QStringLiteral("法定外")));
        for (int i = 1; i <= 6; ++i) {
            QVERIFY(addEmployee(i, i % 2 ? QStringLiteral("01") : QStringLiteral("02")));
            QVERIFY(generateMonth(cardOf(i), i * 31));
        }
        // Not active, and first in number order: a read of all employees shifts the rows.
        QVERIFY(addEmployee(0, QStringLiteral("02"), QStringLiteral("0")));
        QVERIFY(generateMonth(cardOf(0), 5));
        auto w = open();
        const PeriodDays days = w->periodDays();
        Kubun_Read();
        const int employees = Kojin_Read(true);
        QCOMPARE(employees, 6);
        int compared = 0;
        for (int index = 0; index < dates(*w)->count(); ++index) {
            dates(*w)->setCurrentIndex(index);
            QCoreApplication::processEvents();
            const PeriodDay &d = days.rows[size_t(index)];
            QCOMPARE(w->selectedDate(), d.date());
            // Computed apart from the screen, from the active employees as stored.
            KojinTable active;
            QCOMPARE(Kojin_Load(active, true), employees);
            const auto expected = computeDate(d, active, employees);
            QCOMPARE(expected->error, 0);
            const DayResults &results = expected->figures.days;
            for (int r = 0; r < employees; ++r) {
                for (int c = 0; c < 4; ++c)
                    QCOMPARE(field(*w, PunchSheet::slotName(c), r)->text(),
                             expected->punches.rows[size_t(r)].slot[size_t(c)]);
                for (int f = 0; f < 8; ++f) {
                    const Figure x = PunchSheet::figureOrder()[size_t(f)];
                    QCOMPARE(figure(*w, PunchSheet::figureNames()[size_t(f)], r)->text(),
                             Minutes_ToHhmm(results.rows[size_t(r)].figure[size_t(x)]));
                    if (results.rows[size_t(r)].figure[size_t(x)] != 0)
                        ++compared;
                }
            }
            // Another screen reading all employees does not upset a recalculation.
            Kojin_Read(false);
        }
        QVERIFY(compared > 200);
    }
};

QTEST_MAIN(TestListEdit)
#include "tst_listedit.moc"
