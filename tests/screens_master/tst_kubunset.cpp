#include "screens/frmKubunSet.h"

#include "common/Common.h"
#include "screens/KubunRules.h"
#include "store/DbFile.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestHome.h"

#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

QLineEdit *field(QWidget &w, int i) { return w.findChild<QLineEdit *>(QStringLiteral("txtTime_%1").arg(i)); }
QPushButton *buttonOf(QWidget &w, const char *name) { return w.findChild<QPushButton *>(QString::fromLatin1(name)); }
QComboBox *comboOf(QWidget &w, const QString &name) { return w.findChild<QComboBox *>(name); }
bool isRed(QWidget *w) { return w->palette().color(QPalette::Text) == QColor(Qt::red); }

// Types digits over the selected field and presses a key to leave it.
void typeField(QWidget &w, int i, const QString &digits, Qt::Key leave = Qt::Key_Return)
{
    QLineEdit *t = field(w, i);
    t->setFocus();
    t->selectAll();
    if (digits.isEmpty())
        QTest::keyClick(t, Qt::Key_Backspace);
    QTest::keyClicks(t, digits);
    QTest::keyClick(t, leave);
    QCoreApplication::processEvents();
}

QStringList storedCategory(Database &db, const QString &code)
{
    QVector<QStringList> rows;
    db.select(QStringLiteral("SELECT * FROM 区分 WHERE 区分 = ?"), {code}, rows);
    return rows.value(0);
}

const QString kTitle = QStringLiteral("勤務区分 設定");

// Shown and active, so that the focus moves between the fields as it does for a user.
bool showActive(QWidget &w)
{
    w.show();
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w);
}

} // namespace

// The work category screen: the field check, the keys, the category check with its focus,
// saving and switching category.
class TestKubunSet : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_home.reset(new TestHome);
        QVERIFY(m_home->ok());
        QVERIFY(m_home->openMonth(QStringLiteral("201004")));
    }
    void cleanup() { m_home.reset(); }

    void fieldCheck()
    {
        ScriptedDialogs dialogs;
        frmKubunSet w;
        QVERIFY(showActive(w));
        QCOMPARE(w.findChild<QGroupBox *>(QStringLiteral("frameKubun"))->title(), QStringLiteral("区分 01"));
        QCOMPARE(field(w, 0)->text(), QStringLiteral("  :  "));
        typeField(w, 0, QStringLiteral("2400"));
        QCOMPARE(field(w, 0)->text(), QStringLiteral("24:00"));
        QVERIFY(isRed(field(w, 0)));
        QVERIFY(w.isChanged());
        typeField(w, 1, QStringLiteral("830"));
        QCOMPARE(field(w, 1)->text(), QStringLiteral("08:30"));
        typeField(w, 16, QStringLiteral("8"));
        QCOMPARE(field(w, 16)->text(), QStringLiteral("00:08"));
        typeField(w, 2, QStringLiteral("12345")); // a fifth digit is not taken
        QCOMPARE(field(w, 2)->text(), QStringLiteral("12:34"));
        typeField(w, 3, QStringLiteral("1a:2"));
        QCOMPARE(field(w, 3)->text(), QStringLiteral("00:12"));
        QVERIFY(dialogs.messages().isEmpty());

        for (const QString &bad : {QStringLiteral("4800"), QStringLiteral("1260")}) {
            dialogs.clear();
            typeField(w, 0, bad);
            QCOMPARE(dialogs.messages().size(), 1);
            QCOMPARE(dialogs.last().text, QStringLiteral("時刻が正しくセットされていません。（00:00 ～ 47:59）"));
            QCOMPARE(dialogs.last().title, kTitle);
            QCOMPARE(dialogs.last().icon, Dialogs::Icon::Critical);
            QCOMPARE(field(w, 0)->text(), QStringLiteral("24:00")); // the last accepted text
            QVERIFY(w.fieldRejected());
            QCOMPARE(w.KubunSet_check(1), -1);
        }
        typeField(w, 0, QString());
        QCOMPARE(field(w, 0)->text(), QStringLiteral("  :  "));
        QVERIFY(!w.fieldRejected());
    }

    void fullWidthDigitsAreDigitsAndOtherTextIsRefused()
    {
        ScriptedDialogs dialogs;
        frmKubunSet w;
        QVERIFY(showActive(w));
        QLineEdit *t = field(w, 0);
        t->setFocus();
        t->selectAll();
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("９００"));
        QApplication::sendEvent(t, &commit);
        QCOMPARE(t->text(), QStringLiteral("900"));
        QTest::keyClick(t, Qt::Key_Return);
        QCOMPARE(t->text(), QStringLiteral("09:00"));
        QLineEdit *t1 = field(w, 1);
        t1->setFocus();
        t1->selectAll();
        QGuiApplication::clipboard()->setText(QStringLiteral("18時00"));
        t1->paste();
        QCOMPARE(t1->text(), QStringLiteral("  :  "));
        QGuiApplication::clipboard()->setText(QStringLiteral("１８:００"));
        t1->paste();
        QCOMPARE(t1->text(), QStringLiteral("18:00"));
        QTest::keyClick(t1, Qt::Key_Return);
        QVERIFY(dialogs.messages().isEmpty());
        QCOMPARE(w.isChanged(), true);
    }

    void navigationOrder()
    {
        ScriptedDialogs dialogs;
        frmKubunSet w;
        QVERIFY(showActive(w));
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto from = [&](int i, Qt::Key key) {
            field(w, i)->setFocus();
            QTest::keyClick(field(w, i), key);
            QCoreApplication::processEvents();
            QWidget *f = QApplication::focusWidget();
            return f ? f->objectName() : QString();
        };
        QCOMPARE(from(1, Qt::Key_Return), QStringLiteral("txtTime_16"));
        QCOMPARE(from(16, Qt::Key_Right), QStringLiteral("txtTime_2"));
        QCOMPARE(from(16, Qt::Key_Left), QStringLiteral("txtTime_1"));
        QCOMPARE(from(2, Qt::Key_Left), QStringLiteral("txtTime_16"));
        QCOMPARE(from(2, Qt::Key_Up), QStringLiteral("txtTime_16"));
        QCOMPARE(from(16, Qt::Key_Up), QStringLiteral("txtTime_0"));
        QCOMPARE(from(16, Qt::Key_Down), QStringLiteral("txtTime_2"));
        QCOMPARE(from(0, Qt::Key_Down), QStringLiteral("txtTime_16"));
        QCOMPARE(from(5, Qt::Key_Up), QStringLiteral("txtTime_3"));
        QCOMPARE(from(0, Qt::Key_Up), QStringLiteral("txtTime_0"));
        QCOMPARE(from(0, Qt::Key_Left), QStringLiteral("txtTime_0"));
        QCOMPARE(from(14, Qt::Key_Down), QStringLiteral("txtTime_14"));
        QCOMPARE(from(15, Qt::Key_Return), QStringLiteral("cbo丸め"));
        QTest::keyClick(comboOf(w, QStringLiteral("cbo丸め")), Qt::Key_Down); // arrows do not change values
        QCOMPARE(comboOf(w, QStringLiteral("cbo丸め"))->currentIndex(), 0);
        QTest::keyClick(comboOf(w, QStringLiteral("cbo丸め")), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cbo就業丸め"));
        QVERIFY(!w.isChanged());
    }

    void categoryCheckMessagesAndFocus_data()
    {
        QTest::addColumn<QStringList>("times"); // index=hhmm digits
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("focus");
        QTest::newRow("touching breaks") << QStringList{"4=1200", "5=1300", "6=1300", "7=1315"} << QString() << -1;
        QTest::newRow("break 2 inside break 1")
            << QStringList{"4=1200", "5=1300", "6=1230", "7=1245"} << QStringLiteral("休憩時間が重なっています。") << 7;
        QTest::newRow("break 3 over break 1")
            << QStringList{"4=1200", "5=1300", "8=1250", "9=1310"} << QStringLiteral("休憩時間が重なっています。") << 9;
        QTest::newRow("work end missing")
            << QStringList{"0=900"} << QStringLiteral("開始／終了時刻が正しくセットされていません。") << 1;
        QTest::newRow("late window backwards")
            << QStringList{"2=1000", "3=930"} << QStringLiteral("開始／終了時刻が正しくセットされていません。") << 3;
        QTest::newRow("overtime then night")
            << QStringList{"12=1730", "13=2200", "14=2200", "15=2900"} << QString() << -1;
        QTest::newRow("overtime into night") << QStringList{"12=1730", "13=2300", "14=2200", "15=2900"}
                                             << QStringLiteral("残業時間が重なっています。") << 15;
        QTest::newRow("early into overtime") << QStringList{"10=600", "11=1800", "12=1730", "13=1900"}
                                             << QStringLiteral("残業時間が重なっています。") << 13;
    }

    void categoryCheckMessagesAndFocus()
    {
        QFETCH(QStringList, times);
        QFETCH(QString, message);
        QFETCH(int, focus);
        ScriptedDialogs dialogs;
        frmKubunSet w;
        QVERIFY(showActive(w));
        for (const QString &t : times) {
            const auto parts = t.split(QLatin1Char('='));
            typeField(w, parts.at(0).toInt(), parts.at(1), Qt::Key_Tab);
            QVERIFY(!w.fieldRejected());
        }
        QTest::mouseClick(buttonOf(w, "cmdSet"), Qt::LeftButton);
        QCoreApplication::processEvents();
        if (message.isEmpty()) {
            QVERIFY(dialogs.messages().isEmpty());
            QVERIFY(!w.isChanged());
            QVERIFY(!storedCategory(dbs().monthly, QStringLiteral("01")).isEmpty());
            return;
        }
        QCOMPARE(dialogs.messages().size(), 1);
        QCOMPARE(dialogs.last().text, message);
        QCOMPARE(dialogs.last().title, kTitle);
        QCOMPARE(dialogs.last().icon, Dialogs::Icon::Critical);
        QVERIFY(w.isChanged());
        QVERIFY(storedCategory(dbs().monthly, QStringLiteral("01")).isEmpty());
        // The guard refuses to leave a category that fails its check.
        dialogs.clear();
        QCOMPARE(w.KubunSet_check(1), -1);
        QCOMPARE(dialogs.last().text, message);
        Q_UNUSED(focus);
        QCOMPARE(KubunRules::categoryCheck([&] {
                     std::array<QString, 16> a;
                     a.fill(QStringLiteral("  :  "));
                     for (int i = 0; i < 16; ++i)
                         a[size_t(i)] = field(w, i)->text();
                     return a;
                 }())
                     .focusField,
                 focus);
    }

    void saveAndReload()
    {
        ScriptedDialogs dialogs;
        {
            frmKubunSet w;
            QVERIFY(showActive(w));
            typeField(w, 0, QStringLiteral("900"));
            typeField(w, 1, QStringLiteral("1800"));
            typeField(w, 16, QStringLiteral("800"));
            auto *unit = comboOf(w, QStringLiteral("cbo就業丸め"));
            unit->setCurrentIndex(4);
            emit unit->activated(4);
            QVERIFY(isRed(unit));
            QTest::mouseClick(buttonOf(w, "cmdSet"), Qt::LeftButton);
            QVERIFY(!w.isChanged());
            QVERIFY(!isRed(field(w, 0)));
            QVERIFY(!isRed(unit));
            for (Database *db : {&dbs().monthly, &dbs().master}) {
                const QStringList row = storedCategory(*db, QStringLiteral("01"));
                QCOMPARE(row.size(), 22);
                QCOMPARE(row.at(1), QStringLiteral("09:00"));
                QCOMPARE(row.at(2), QStringLiteral("18:00"));
                QCOMPARE(row.at(3), QStringLiteral("  :  "));
                QCOMPARE(row.at(18), QStringLiteral("15分"));
                QCOMPARE(row.at(21), QStringLiteral("08:00"));
            }
            // The table was read again after the save.
            QCOMPARE(g_kubun[1].minutes[WorkEnd], 1080);
            QCOMPARE(g_kubun[1].unitWorkMin, 15);
        }
        frmKubunSet again;
        QCOMPARE(field(again, 0)->text(), QStringLiteral("09:00"));
        QCOMPARE(comboOf(again, QStringLiteral("cbo就業丸め"))->currentText(), QStringLiteral("15分"));
        QVERIFY(dialogs.messages().isEmpty());
    }

    void aFailedSaveLeavesTheStoredCategoryInForce()
    {
        ScriptedDialogs dialogs;
        frmKubunSet w;
        QVERIFY(showActive(w));
        typeField(w, 0, QStringLiteral("900"));
        typeField(w, 1, QStringLiteral("1800"));
        QVERIFY(dbs().master.exec(
            QStringLiteral("CREATE TRIGGER full BEFORE INSERT ON 区分 BEGIN SELECT RAISE(ABORT, 'disk full'); END")));
        QTest::mouseClick(buttonOf(w, "cmdSet"), Qt::LeftButton);
        QCOMPARE(dialogs.messages().size(), 1);
        QVERIFY(
            dialogs.last().text.startsWith(QStringLiteral("勤務区分データの書き込みに失敗しました。！\n\nエラー：(")));
        // Neither database holds the edit, and the table the editors compute with is the stored one.
        QVERIFY(storedCategory(dbs().monthly, QStringLiteral("01")).isEmpty());
        QVERIFY(storedCategory(dbs().master, QStringLiteral("01")).isEmpty());
        QCOMPARE(g_kubun[1].times[WorkStart], QStringLiteral("  :  "));
        QCOMPARE(g_kubun[1].minutes[WorkEnd], 0);
        // The edit is still on screen, unsaved, and is saved by the next try.
        QVERIFY(w.isChanged());
        QVERIFY(isRed(field(w, 0)));
        QCOMPARE(field(w, 1)->text(), QStringLiteral("18:00"));
        QVERIFY(dbs().master.exec(QStringLiteral("DROP TRIGGER full")));
        QTest::mouseClick(buttonOf(w, "cmdSet"), Qt::LeftButton);
        QVERIFY(!w.isChanged());
        QCOMPARE(storedCategory(dbs().monthly, QStringLiteral("01")).value(2), QStringLiteral("18:00"));
        QCOMPARE(storedCategory(dbs().master, QStringLiteral("01")).value(2), QStringLiteral("18:00"));
        QCOMPARE(g_kubun[1].minutes[WorkEnd], 1080);
    }

    void switchingCategoryAsks()
    {
        ScriptedDialogs dialogs;
        frmKubunSet w;
        QVERIFY(showActive(w));
        typeField(w, 0, QStringLiteral("900"), Qt::Key_Tab);
        typeField(w, 1, QStringLiteral("1700"), Qt::Key_Tab);
        dialogs.answer(Dialogs::Answer::No);
        comboOf(w, QStringLiteral("cbo区分"))->setCurrentIndex(1);
        QCOMPARE(dialogs.last().text, QStringLiteral("変更した勤務区分を保存します。よろしいですか？"));
        QCOMPARE(w.currentCategory(), 2);
        QCOMPARE(w.findChild<QGroupBox *>(QStringLiteral("frameKubun"))->title(), QStringLiteral("区分 02"));
        QCOMPARE(field(w, 0)->text(), QStringLiteral("  :  "));
        QVERIFY(!w.isChanged());
        QVERIFY(storedCategory(dbs().monthly, QStringLiteral("01")).isEmpty());

        // A category that fails its check keeps the selector where it was.
        typeField(w, 4, QStringLiteral("1200"), Qt::Key_Tab);
        dialogs.clear();
        comboOf(w, QStringLiteral("cbo区分"))->setCurrentIndex(4);
        QCOMPARE(dialogs.last().text, QStringLiteral("開始／終了時刻が正しくセットされていません。"));
        QCOMPARE(comboOf(w, QStringLiteral("cbo区分"))->currentIndex(), 1);
        QCOMPARE(w.currentCategory(), 2);

        typeField(w, 5, QStringLiteral("1300"), Qt::Key_Tab);
        dialogs.answer(Dialogs::Answer::Yes);
        comboOf(w, QStringLiteral("cbo区分"))->setCurrentIndex(4);
        QCOMPARE(w.currentCategory(), 5);
        QCOMPARE(storedCategory(dbs().master, QStringLiteral("02")).value(5), QStringLiteral("12:00"));
        QVERIFY(dialogs.drained());
    }

private:
    std::unique_ptr<TestHome> m_home;
};

QTEST_MAIN(TestKubunSet)
#include "tst_kubunset.moc"
