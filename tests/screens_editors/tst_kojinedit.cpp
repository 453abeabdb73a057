#include "EditorFixture.h"
#include "screens/frmKojinEdit.h"

#include <QClipboard>
#include <QComboBox>
#include <QInputMethodEvent>
#include <memory>

using namespace fixture;

// The individual time-card editor, driven through its widgets: entry checks and their
// messages, which days a save rewrites, the employee change, the halves and the figures.
class TestKojinEdit : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<ScriptedDialogs> m_dialogs;

    // Opens the screen as the main window would and waits until it takes the keyboard.
    std::unique_ptr<frmKojinEdit> open()
    {
        auto w = std::make_unique<frmKojinEdit>();
        w->show();
        w->activateWindow();
        if (!QTest::qWaitForWindowActive(w.get()))
            qWarning("editor window not active");
        QCoreApplication::processEvents();
        return w;
    }
    static int rowOf(const frmKojinEdit &w, const QDate &d) { return w.periodDays().rowOf(d); }
    static void pickEmployee(frmKojinEdit &w, int index)
    {
        child<QComboBox>(w, QStringLiteral("cbo社員番号"))->setCurrentIndex(index);
        QCoreApplication::processEvents();
    }
    static void click(QWidget &w, const char *name)
    {
        QTest::mouseClick(child<QPushButton>(w, QString::fromLatin1(name)), Qt::LeftButton);
        QCoreApplication::processEvents();
    }

private slots:
    void init()
    {
        m_home.reset(new TestHome);
        QVERIFY(openMonth(*m_home));
        m_dialogs.reset(new ScriptedDialogs);
        QVERIFY(addCategory(1));
        QVERIFY(addEmployee(1));
        QVERIFY(addEmployee(2));
        QVERIFY(addEmployee(3, QStringLiteral("01"), QStringLiteral("0"))); // not active: not listed
    }
    void cleanup()
    {
        QVERIFY2(m_dialogs->drained(), "a scripted answer was not used");
        m_dialogs.reset();
        m_home.reset();
    }

    void employeesAndRows()
    {
        auto w = open();
        auto *cbo = child<QComboBox>(*w, QStringLiteral("cbo社員番号"));
        QCOMPARE(cbo->count(), 2);
        QCOMPARE(cbo->itemText(0), QStringLiteral("000001 社員1"));
        // Period 2010/03/21..2010/04/20: March on rows 0-10, row 11 empty, April 1 on row 12.
        QCOMPARE(child<QLabel>(*w, QStringLiteral("lbl日付_0"))->text(), QStringLiteral(" 2010年03月21日"));
        QCOMPARE(child<QLabel>(*w, QStringLiteral("lbl日付_12"))->text(), QStringLiteral(" 2010年04月01日"));
        QCOMPARE(child<QLabel>(*w, QStringLiteral("lbl曜日_12"))->text(), QStringLiteral("木"));
        QVERIFY(child<QLabel>(*w, QStringLiteral("lbl日付_11"))->text().isEmpty());
        QVERIFY(!field(*w, QStringLiteral("入1"), 11)->isEnabled());
        QVERIFY(field(*w, QStringLiteral("入1"), 11)->text().isEmpty());
        QCOMPARE(field(*w, QStringLiteral("入1"), 12)->text(), QStringLiteral("  :  "));
        QCOMPARE(child<QLabel>(*w, QStringLiteral("lbl日替"))->text(), QStringLiteral("03:00"));
        // The focus starts in 入1 of the first date.
        QCOMPARE(QApplication::focusWidget(), field(*w, QStringLiteral("入1"), 0));
    }

    void dayTypeColours()
    {
        QVERIFY(setDayType(QDate(2010, 3, 21), QStringLiteral("休日")));
        QVERIFY(setDayType(QDate(2010, 4, 3), QStringLiteral("法定外")));
        auto w = open();
        auto bg = [&](int r) {
            return child<QLabel>(*w, QStringLiteral("lbl曜日_%1").arg(r))->palette().color(QPalette::Window);
        };
        QCOMPARE(bg(0), QColor(255, 0, 0));
        QCOMPARE(bg(rowOf(*w, QDate(2010, 4, 3))), QColor(0x90, 0x90, 0xFF));
        QCOMPARE(bg(1), w->palette().color(QPalette::Window));
    }

    void rangeCheck()
    {
        auto w = open();
        const int r = rowOf(*w, QDate(2010, 4, 1));
        QLineEdit *out2 = field(*w, QStringLiteral("退2"), r);
        typeInto(out2, QStringLiteral("2530"));
        QCOMPARE(out2->text(), QStringLiteral("25:30"));
        QVERIFY(isRed(out2));
        QVERIFY(w->isChanged());
        QVERIFY(m_dialogs->messages().isEmpty());

        QLineEdit *in1 = field(*w, QStringLiteral("入1"), r + 1);
        typeInto(in1, QStringLiteral("7200"));
        QCOMPARE(m_dialogs->messages().size(), 1);
        QCOMPARE(m_dialogs->last().text, QStringLiteral("時刻が正しくセットされていません。（00:00 ～ 71:59）"));
        QCOMPARE(m_dialogs->last().title, QStringLiteral("個人修正"));
        QCOMPARE(m_dialogs->last().icon, Dialogs::Icon::Critical);
        QCOMPARE(in1->text(), QStringLiteral("  :  ")); // the working copy's text
        QVERIFY(!isRed(in1));
        QVERIFY(w->fieldRejected());
        QCOMPARE(QApplication::focusWidget(), in1); // the focus stayed

        // The key filter: letters are dropped and a fifth digit is not taken.
        typeInto(in1, QStringLiteral("08a3012"), false);
        QCOMPARE(in1->text(), QStringLiteral("0830"));
    }

    // Text that does not come through the key filter: an input method in full-width mode
    // commits full-width digits, which are taken as digits; a paste of anything else is refused.
    void inputMethodAndPastedText()
    {
        auto w = open();
        const int r = rowOf(*w, QDate(2010, 4, 1));
        QLineEdit *in1 = field(*w, QStringLiteral("入1"), r);
        in1->setFocus(Qt::MouseFocusReason);
        QCoreApplication::processEvents();
        in1->selectAll();
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("０８３０"));
        QApplication::sendEvent(in1, &commit);
        QCOMPARE(in1->text(), QStringLiteral("0830"));
        QTest::keyClick(in1, Qt::Key_Tab);
        QCOMPARE(in1->text(), QStringLiteral("08:30"));
        QVERIFY(isRed(in1));
        QVERIFY(m_dialogs->messages().isEmpty());

        QLineEdit *out1 = field(*w, QStringLiteral("退1"), r);
        out1->setFocus(Qt::MouseFocusReason);
        out1->selectAll();
        QGuiApplication::clipboard()->setText(QStringLiteral("17時30分"));
        out1->paste();
        QCOMPARE(out1->text(), QStringLiteral("  :  ")); // refused, nothing half-taken
        QGuiApplication::clipboard()->setText(QStringLiteral("12345"));
        out1->paste();
        QCOMPARE(out1->text(), QStringLiteral("  :  ")); // no fifth digit either
        QGuiApplication::clipboard()->setText(QStringLiteral("１７３０"));
        out1->paste();
        QCOMPARE(out1->text(), QStringLiteral("1730"));
        QTest::keyClick(out1, Qt::Key_Tab);
        QCOMPARE(out1->text(), QStringLiteral("17:30"));
        QVERIFY(m_dialogs->messages().isEmpty());
        // A full-width digit that arrives as a key is a digit as well.
        QLineEdit *in2 = field(*w, QStringLiteral("入2"), r);
        in2->setFocus(Qt::MouseFocusReason);
        in2->selectAll();
        for (const QString &wide : {QStringLiteral("１"), QStringLiteral("８"), QStringLiteral("ａ")}) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, wide);
            QApplication::sendEvent(in2, &press);
        }
        QCOMPARE(in2->text(), QStringLiteral("18"));
    }

    void orderCheck()
    {
        auto w = open();
        const int r = rowOf(*w, QDate(2010, 4, 1));
        typeInto(field(*w, QStringLiteral("入1"), r), QStringLiteral("0900"));
        typeInto(field(*w, QStringLiteral("入2"), r), QStringLiteral("1300"));
        typeInto(field(*w, QStringLiteral("退2"), r), QStringLiteral("1800"));
        QVERIFY(m_dialogs->messages().isEmpty()); // the empty 退1 takes 09:00
        QCOMPARE(w->workingCopy(r), (PunchSlots{"09:00", "  :  ", "13:00", "18:00"}));

        typeInto(field(*w, QStringLiteral("入1"), r + 1), QStringLiteral("0900"));
        QLineEdit *out1 = field(*w, QStringLiteral("退1"), r + 1);
        typeInto(out1, QStringLiteral("0830"));
        QCOMPARE(m_dialogs->messages().size(), 1);
        QCOMPARE(m_dialogs->last().text, QStringLiteral("時刻が正しくセットされていません。（入1 < 退1 < 入2 < 退2）"));
        QCOMPARE(m_dialogs->last().title, QStringLiteral("個人修正"));
        QCOMPARE(out1->text(), QStringLiteral("  :  "));
        QCOMPARE(QApplication::focusWidget(), out1);
    }

    // A stored day out of order does not trap the focus: only typed text is checked.
    void untouchedDayOutOfOrderCanBeLeft()
    {
        g_install.linkKind = LinkUsb;
        const QDate d(2010, 4, 1);
        QVERIFY(addPunch(d, cardOf(1), QStringLiteral("07:00"), false, QStringLiteral("04"))); // 入2
        QVERIFY(addPunch(d, cardOf(1), QStringLiteral("08:00"), false));                       // 入1
        auto w = open();
        const int r = rowOf(*w, d);
        QCOMPARE(w->workingCopy(r), (PunchSlots{"08:00", "  :  ", "07:00", "  :  "}));
        QLineEdit *in1 = field(*w, QStringLiteral("入1"), r);
        in1->setFocus();
        QTest::keyClick(in1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), field(*w, QStringLiteral("退1"), r));
        QVERIFY(m_dialogs->messages().isEmpty());
        // Mending the wrong slot is accepted.
        typeInto(field(*w, QStringLiteral("入2"), r), QStringLiteral("1300"));
        QVERIFY(m_dialogs->messages().isEmpty());
    }

    void clearedDayIsDeleted()
    {
        const QDate d(2010, 4, 5), other(2010, 4, 6);
        QVERIFY(addPunch(d, cardOf(1), QStringLiteral("08:00"), false));
        QVERIFY(addPunch(d, cardOf(1), QStringLiteral("17:00"), true));
        QVERIFY(addPunch(other, cardOf(1), QStringLiteral("08:00"), false));
        const auto otherBefore = punchesOf(other, cardOf(1));
        auto w = open();
        const int r = rowOf(*w, d);
        click(*w, "cmdAfter"); // April 5 is in the second half
        QCOMPARE(field(*w, QStringLiteral("入1"), r)->text(), QStringLiteral("08:00"));
        typeInto(field(*w, QStringLiteral("入1"), r), QString());
        typeInto(field(*w, QStringLiteral("退1"), r), QString());
        QVERIFY(w->isChanged());
        click(*w, "cmdReCalc");
        QVERIFY(m_dialogs->messages().isEmpty()); // the recalculation saves without asking
        QVERIFY(punchesOf(d, cardOf(1)).isEmpty());
        QCOMPARE(punchesOf(other, cardOf(1)), otherBefore);
        QVERIFY(!w->isChanged());
        QVERIFY(!isRed(field(*w, QStringLiteral("入1"), r)));
    }

    void changedSlotRewritesItsDayOnly()
    {
        const QDate d(2010, 4, 6);
        for (const QDate &day : {QDate(2010, 4, 5), d, QDate(2010, 4, 7)}) {
            QVERIFY(addPunch(day, cardOf(1), QStringLiteral("08:55"), false));
            QVERIFY(addPunch(day, cardOf(1), QStringLiteral("12:02"), true));
            QVERIFY(addPunch(day, cardOf(1), QStringLiteral("12:58"), false));
            QVERIFY(addPunch(day, cardOf(1), QStringLiteral("18:10"), true));
        }
        QVERIFY(addPunch(d, cardOf(2), QStringLiteral("09:00"), false));
        QVector<StoredPunch> untouched;
        for (const StoredPunch &p : allPunches())
            if (!(p.day == QLatin1String("06") && p.card == cardOf(1)))
                untouched.append(p);

        auto w = open();
        const int r = rowOf(*w, d);
        click(*w, "cmdAfter");
        typeInto(field(*w, QStringLiteral("退2"), r), QStringLiteral("1900"));
        click(*w, "cmdReCalc");

        const QString c = cardOf(1);
        const QVector<StoredPunch> expected = {{"04", "06", "08", "55", "0", c, "0", "00", "0"},
                                               {"04", "06", "12", "02", "0", c, "1", "00", "0"},
                                               {"04", "06", "12", "58", "0", c, "0", "04", "0"},
                                               {"04", "06", "19", "00", "0", c, "1", "00", "0"}};
        QCOMPARE(punchesOf(d, c), expected);
        QVector<StoredPunch> rest;
        for (const StoredPunch &p : allPunches())
            if (!(p.day == QLatin1String("06") && p.card == c))
                rest.append(p);
        QCOMPARE(rest, untouched); // same rows, same seconds and CR, same order
        // The figures follow the new time: overtime 17:30-19:00 is 1:30.
        QCOMPARE(figure(*w, QStringLiteral("残業"), r)->text(), QStringLiteral(" 1:30"));

        // A second save writes only what was edited since.
        const auto afterFirst = allPunches();
        typeInto(field(*w, QStringLiteral("入1"), r + 1), QStringLiteral("0850"));
        click(*w, "cmdReCalc");
        const auto afterSecond = allPunches();
        QCOMPARE(punchesOf(d, c), expected);
        QVERIFY(afterSecond != afterFirst);
    }

    // A day typed as 入1 and 退2 only: after 再計算 the screen shows what was stored and what
    // a reopened editor and the reports read (入1 and 退1), with the same figures.
    void aDayOfFirstInAndSecondOutReadsTheSameEverywhere()
    {
        const QDate d(2010, 4, 8);
        for (int linkKind : {int(LinkUsb), int(LinkLan)}) {
            g_install.linkKind = linkKind;
            QVERIFY(dbs().monthly.exec(QStringLiteral("DELETE FROM タイムカード")));
            auto w = open();
            const int r = rowOf(*w, d);
            click(*w, "cmdAfter");
            typeInto(field(*w, QStringLiteral("入1"), r), QStringLiteral("0840"));
            typeInto(field(*w, QStringLiteral("退2"), r), QStringLiteral("1910"));
            QVERIFY(m_dialogs->messages().isEmpty()); // the order check lets the day through
            click(*w, "cmdReCalc");
            QCOMPARE(field(*w, QStringLiteral("入1"), r)->text(), QStringLiteral("08:40"));
            QCOMPARE(field(*w, QStringLiteral("退1"), r)->text(), QStringLiteral("19:10"));
            QCOMPARE(field(*w, QStringLiteral("退2"), r)->text(), QStringLiteral("  :  "));
            const QString shownTotal = figure(*w, QStringLiteral("合計"), r)->text();
            QCOMPARE(shownTotal, QStringLiteral(" 9:15")); // the worked example's figures
            QCOMPARE(child<QLabel>(*w, QStringLiteral("lbl勤務_合計"))->text(), QStringLiteral("  9:15"));
            // The stored rows: an in and an out, as the editors have always written them.
            const QString c = cardOf(1);
            const QVector<StoredPunch> expected = {{"04", "08", "08", "40", "0", c, "0", "00", "0"},
                                                   {"04", "08", "19", "10", "0", c, "1", "00", "0"}};
            QCOMPARE(punchesOf(d, c), expected);
            // What a report computes from them.
            const auto report = computeEmployee(c, 1);
            QCOMPARE(report->error, 0);
            QCOMPARE(Minutes_ToHhmm(report->figures.days.rows[size_t(r)].figure[FigTotal]), shownTotal);
            w.reset();
            auto again = open();
            QCOMPARE(field(*again, QStringLiteral("退1"), r)->text(), QStringLiteral("19:10"));
            QCOMPARE(figure(*again, QStringLiteral("合計"), r)->text(), shownTotal);
        }
    }

    void employeeChange()
    {
        const QDate d(2010, 4, 1);
        QVERIFY(addPunch(d, cardOf(1), QStringLiteral("08:00"), false));
        QVERIFY(addPunch(d, cardOf(2), QStringLiteral("09:00"), false));
        const auto before = allPunches();
        auto w = open();
        const int r = rowOf(*w, d);
        typeInto(field(*w, QStringLiteral("入1"), r), QStringLiteral("0730"));

        m_dialogs->answer(Dialogs::Answer::No);
        pickEmployee(*w, 1);
        QCOMPARE(m_dialogs->messages().size(), 1);
        QCOMPARE(m_dialogs->last().text, QStringLiteral("変更した時刻を保存します。よろしいですか？"));
        QCOMPARE(m_dialogs->last().title, QStringLiteral("個人修正"));
        QCOMPARE(m_dialogs->last().buttons, Dialogs::Buttons::YesNo);
        QCOMPARE(allPunches(), before);
        QCOMPARE(w->currentEmployee(), 1);
        QCOMPARE(field(*w, QStringLiteral("入1"), r)->text(), QStringLiteral("09:00"));
        QVERIFY(!w->isChanged());

        pickEmployee(*w, 0); // nothing changed: no question
        QCOMPARE(m_dialogs->messages().size(), 1);
        QCOMPARE(field(*w, QStringLiteral("入1"), r)->text(), QStringLiteral("08:00"));

        // Yes saves the edits of the employee being left.
        typeInto(field(*w, QStringLiteral("入1"), r), QStringLiteral("0730"));
        m_dialogs->answer(Dialogs::Answer::Yes);
        pickEmployee(*w, 1);
        QCOMPARE(punchesOf(d, cardOf(1)).value(0).hour, QStringLiteral("07"));
        QCOMPARE(punchesOf(d, cardOf(2)).value(0).hour, QStringLiteral("09"));
    }

    void checkRoutine()
    {
        auto w = open();
        const int r = rowOf(*w, QDate(2010, 4, 2));
        // A refused text being typed keeps the screen.
        typeInto(field(*w, QStringLiteral("入1"), r), QStringLiteral("7260"), false);
        QCOMPARE(w->KojinEdit_check(0), -1);
        QCOMPARE(m_dialogs->messages().size(), 1);
        QCOMPARE(m_dialogs->last().text, QStringLiteral("時刻が正しくセットされていません。（00:00 ～ 71:59）"));

        // An accepted text still being typed is taken and saved on Yes.
        typeInto(field(*w, QStringLiteral("入1"), r), QStringLiteral("0815"), false);
        m_dialogs->answer(Dialogs::Answer::Yes);
        QCOMPARE(w->KojinEdit_check(0), 0);
        QCOMPARE(punchesOf(QDate(2010, 4, 2), cardOf(1)).size(), 1);
        QCOMPARE(punchesOf(QDate(2010, 4, 2), cardOf(1)).value(0).minute, QStringLiteral("15"));
        QVERIFY(!w->isChanged());

        // No drops the edit, and the screen shows what is stored.
        typeInto(field(*w, QStringLiteral("入1"), r), QStringLiteral("0900"));
        m_dialogs->answer(Dialogs::Answer::No);
        QCOMPARE(w->KojinEdit_check(0), 0);
        QCOMPARE(field(*w, QStringLiteral("入1"), r)->text(), QStringLiteral("08:15"));
        QCOMPARE(punchesOf(QDate(2010, 4, 2), cardOf(1)).value(0).hour, QStringLiteral("08"));
    }

    // A save that the database refuses keeps the screen and its edits.
    void failedSaveStays()
    {
        auto w = open();
        const int r = rowOf(*w, QDate(2010, 4, 2));
        typeInto(field(*w, QStringLiteral("入1"), r), QStringLiteral("0815"));
        QVERIFY(dbs().monthly.exec(QStringLiteral("CREATE TRIGGER no_insert BEFORE INSERT ON タイムカード "
                                                  "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
        m_dialogs->answer(Dialogs::Answer::Yes);
        QCOMPARE(w->KojinEdit_check(0), -1);
        QVERIFY(m_dialogs->last().text.contains(QStringLiteral("refused")));
        QVERIFY(w->isChanged());
        QCOMPARE(w->workingCopy(r)[0], QStringLiteral("08:15"));
    }

    // A punch stored after the screen read the day (data processing, another screen) is not
    // deleted by a correction of that day: both are kept, the user is told which day, and the
    // screen shows the day as stored now.
    void correctionKeepsAPunchStoredSinceTheDayWasShown()
    {
        const QDate d(2010, 4, 9);
        QVERIFY(addPunch(d, cardOf(1), QStringLiteral("08:50"), false));
        auto w = open();
        const int r = rowOf(*w, d);
        QCOMPARE(field(*w, QStringLiteral("退1"), r)->text(), QStringLiteral("  :  "));
        QVERIFY(addPunch(d, cardOf(1), QStringLiteral("18:05"), true)); // stored behind the screen

        typeInto(field(*w, QStringLiteral("入1"), r), QStringLiteral("0845"));
        click(*w, "cmdReCalc");
        QCOMPARE(m_dialogs->messages().size(), 1);
        QCOMPARE(m_dialogs->last().title, QStringLiteral("個人修正"));
        QCOMPARE(m_dialogs->last().icon, Dialogs::Icon::Exclamation);
        QVERIFY2(m_dialogs->last().text.contains(QStringLiteral("2010年04月09日")), qPrintable(m_dialogs->last().text));
        const auto rows = punchesOf(d, cardOf(1));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0).hour + rows.at(0).minute + rows.at(0).inOut, QStringLiteral("18051"));
        QCOMPARE(rows.at(1).hour + rows.at(1).minute + rows.at(1).inOut, QStringLiteral("08450"));
        QCOMPARE(field(*w, QStringLiteral("入1"), r)->text(), QStringLiteral("08:45"));
        QCOMPARE(field(*w, QStringLiteral("退1"), r)->text(), QStringLiteral("18:05"));
        QVERIFY(!isRed(field(*w, QStringLiteral("入1"), r)));
        QVERIFY(!w->isChanged());
        QVERIFY(!figure(*w, QStringLiteral("合計"), r)->text().isEmpty()); // computed with the kept punch

        // Saved again, the day is replaced as shown: no message, no row left over.
        typeInto(field(*w, QStringLiteral("入1"), r), QStringLiteral("0840"));
        click(*w, "cmdReCalc");
        QCOMPARE(m_dialogs->messages().size(), 1);
        QCOMPARE(punchesOf(d, cardOf(1)).size(), 2);
    }

    void halvesAndNavigation()
    {
        auto w = open();
        auto *before = child<QPushButton>(*w, QStringLiteral("cmdBefore"));
        auto *after = child<QPushButton>(*w, QStringLiteral("cmdAfter"));
        QVERIFY(!before->isEnabled());
        QVERIFY(after->isEnabled());
        QCOMPARE(field(*w, QStringLiteral("入1"), 0)->focusPolicy(), Qt::StrongFocus);
        QCOMPARE(field(*w, QStringLiteral("入1"), 16)->focusPolicy(), Qt::NoFocus);

        // Tab from 退2 of March 31 (row 10) skips the empty row 11.
        QLineEdit *out2 = field(*w, QStringLiteral("退2"), 10);
        out2->setFocus();
        QTest::keyClick(out2, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), field(*w, QStringLiteral("入1"), 12));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QCOMPARE(QApplication::focusWidget(), field(*w, QStringLiteral("入1"), 10));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left); // back to 退2 of row 9
        QCOMPARE(QApplication::focusWidget(), field(*w, QStringLiteral("退2"), 9));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), field(*w, QStringLiteral("入1"), 10));
        // The last row of the half is as far as the keys go.
        QLineEdit *last = field(*w, QStringLiteral("退2"), 15);
        last->setFocus();
        QTest::keyClick(last, Qt::Key_Down);
        QTest::keyClick(last, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), last);

        const QPoint firstRowAt = field(*w, QStringLiteral("入1"), 0)->mapTo(w.get(), QPoint(0, 0));
        click(*w, "cmdAfter");
        QVERIFY(before->isEnabled());
        QVERIFY(!after->isEnabled());
        QVERIFY(w->secondHalf());
        QCOMPARE(field(*w, QStringLiteral("入1"), 0)->focusPolicy(), Qt::NoFocus);
        QCOMPARE(field(*w, QStringLiteral("入1"), 16)->focusPolicy(), Qt::StrongFocus);
        QCOMPARE(QApplication::focusWidget(), field(*w, QStringLiteral("入1"), 16));
        // Row 16 now stands where row 0 stood.
        QCOMPARE(field(*w, QStringLiteral("入1"), 16)->mapTo(w.get(), QPoint(0, 0)), firstRowAt);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QCOMPARE(QApplication::focusWidget(), field(*w, QStringLiteral("入1"), 16));
    }

    void noEmployees()
    {
        QVERIFY(dbs().monthly.exec(QStringLiteral("DELETE FROM 個人")));
        auto w = open();
        QCOMPARE(child<QComboBox>(*w, QStringLiteral("cbo社員番号"))->count(), 0);
        QVERIFY(!child<QPushButton>(*w, QStringLiteral("cmdAfter"))->isEnabled());
        for (int r = 0; r < 32; ++r)
            QVERIFY(!field(*w, QStringLiteral("入1"), r)->isEnabled());
        click(*w, "cmdReCalc");
        QCOMPARE(w->KojinEdit_check(0), 0);
    }

    // What the screen shows is what the calculation core gives for the same punches.
    void figuresMatchTheCalculation()
    {
        for (const QDate &d :
             {QDate(2010, 3, 21), QDate(2010, 3, 28), QDate(2010, 4, 4), QDate(2010, 4, 11), QDate(2010, 4, 18)})
            QVERIFY(setDayType(d, QStringLiteral("休日")));
        QVERIFY(setDayType(QDate(2010, 4, 10), QStringLiteral("法定外")));
        QVERIFY(generateMonth(cardOf(1), 7) > 20);
        // The worked example on April 8 for employee 2: 08:40 in, 19:10 out.
        QVERIFY(addPunch(QDate(2010, 4, 8), cardOf(2), QStringLiteral("08:40"), false));
        QVERIFY(addPunch(QDate(2010, 4, 8), cardOf(2), QStringLiteral("19:10"), true));

        auto w = open();
        // The expected figures, computed apart from the screen.
        const auto expected = computeEmployee(cardOf(1), 1);
        QCOMPARE(expected->error, 0);
        const DayResults &results = expected->figures.days;
        const PunchRows &punches = expected->punches;
        const MonthTotals &totals = expected->figures.totals;
        PeriodDays shown = expected->days;
        const QStringList totalNames = {QStringLiteral("就業"),   QStringLiteral("遅早"), QStringLiteral("早出"),
                                        QStringLiteral("深夜"),   QStringLiteral("残業"), QStringLiteral("休日"),
                                        QStringLiteral("法定外"), QStringLiteral("勤務")};
        auto compareAll = [&] {
            int withFigures = 0;
            for (int r = 0; r < 32; ++r) {
                if (!shown.rows[size_t(r)].used())
                    continue;
                for (int c = 0; c < 4; ++c)
                    QCOMPARE(field(*w, PunchSheet::slotName(c), r)->text(), punches.rows[size_t(r)].slot[size_t(c)]);
                for (int f = 0; f < 8; ++f) {
                    const Figure x = PunchSheet::figureOrder()[size_t(f)];
                    QCOMPARE(figure(*w, PunchSheet::figureNames()[size_t(f)], r)->text(),
                             Minutes_ToHhmm(results.rows[size_t(r)].figure[size_t(x)]));
                }
                if (results.rows[size_t(r)].figure[FigTotal] != 0)
                    ++withFigures;
            }
            QVERIFY(withFigures > 10);
            for (int f = 0; f < 8; ++f) {
                const MonthTotal &t = totals.figure[size_t(PunchSheet::figureOrder()[size_t(f)])];
                QCOMPARE(child<QLabel>(*w, QStringLiteral("lbl") + totalNames.at(f) + QStringLiteral("_回数"))->text(),
                         QString::number(t.count));
                QCOMPARE(child<QLabel>(*w, QStringLiteral("lbl") + totalNames.at(f) + QStringLiteral("_合計"))->text(),
                         Minutes_ToHhhmm(t.sum));
            }
        };
        compareAll();
        QVERIFY(totals.figure[FigHoliday].count + totals.figure[FigNonStatutory].count > 0);
        QVERIFY(totals.figure[FigNight].count > 0);

        // Another screen computing its own month, and refilling the program's tables, does not
        // change what a recalculation shows.
        auto other = std::make_unique<Computed>();
        QCOMPARE(PeriodDays_FillCompact(g_run, g_company, other->days, other->period), 0);
        QCOMPARE(Punch_LoadEmployee(other->days, cardOf(2), pairingModeFor(g_install.linkKind), other->punches), 0);
        Kubun_Read();
        Kojin_Read(false);
        click(*w, "cmdReCalc");
        shown = w->periodDays();
        compareAll();

        pickEmployee(*w, 1);
        const int r = rowOf(*w, QDate(2010, 4, 8));
        QCOMPARE(figure(*w, QStringLiteral("就業"), r)->text(), QStringLiteral(" 7:45"));
        QCOMPARE(figure(*w, QStringLiteral("遅早"), r)->text(), QStringLiteral(" 0:15"));
        QCOMPARE(figure(*w, QStringLiteral("残業"), r)->text(), QStringLiteral(" 1:30"));
        QCOMPARE(figure(*w, QStringLiteral("合計"), r)->text(), QStringLiteral(" 9:15"));
        QCOMPARE(child<QLabel>(*w, QStringLiteral("lbl勤務_回数"))->text(), QStringLiteral("1"));
        QCOMPARE(child<QLabel>(*w, QStringLiteral("lbl勤務_合計"))->text(), QStringLiteral("  9:15"));
    }

    void unknownCategoryIsNamed()
    {
        QVERIFY(dbs().monthly.exec(QStringLiteral("UPDATE 個人 SET 区分 = '12' WHERE 社員番号 = '000001'")));
        QVERIFY(addPunch(QDate(2010, 4, 8), cardOf(1), QStringLiteral("08:40"), false));
        QVERIFY(addPunch(QDate(2010, 4, 8), cardOf(1), QStringLiteral("19:10"), true));
        auto w = open();
        QCOMPARE(m_dialogs->messages().size(), 1);
        QVERIFY(m_dialogs->last().text.contains(QStringLiteral("000001")));
        QVERIFY(m_dialogs->last().text.contains(QStringLiteral("12")));
        const int r = rowOf(*w, QDate(2010, 4, 8));
        QCOMPARE(field(*w, QStringLiteral("入1"), r)->text(), QStringLiteral("08:40"));
        QVERIFY(figure(*w, QStringLiteral("合計"), r)->text().isEmpty());
    }
};

QTEST_MAIN(TestKojinEdit)
#include "tst_kojinedit.moc"
