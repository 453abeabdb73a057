// The individual editor left open behind the intake screen while data processing moves punches
// in, driven through the main window as a user drives it: the intake screen stays in front,
// and a click on the editor and then on a field puts the keyboard in that very field.

#include "AppTestSupport.h"
#include "app/MDIForm1.h"
#include "screens/frmKojinEdit.h"
#include "store/MonthStart.h"
#include "tests/support/ScriptedDialogs.h"

#include <QAction>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

namespace {

const QString kCard = QStringLiteral("000000001");

QAction *action(QWidget *w, const QString &name)
{
    for (QAction *a : w->findChildren<QAction *>())
        if (a->objectName() == name)
            return a;
    return nullptr;
}

// A left click where the user would click: at a point of the main window, so that the window
// finds the widget under it, as it does for a real click.
void clickAt(QWidget *main, QWidget *target, QPoint inTarget = {})
{
    const QPoint p = target->mapTo(main, inTarget.isNull() ? target->rect().center() : inTarget);
    QTest::mouseClick(main->windowHandle(), Qt::LeftButton, {}, p);
    QCoreApplication::processEvents();
}

QString stored(const QString &day)
{
    QVector<QStringList> rows;
    dbs().monthly.select(QStringLiteral("SELECT group_concat(時 || 分 || 入退, ' ') FROM (SELECT * FROM タイムカード "
                                        "WHERE 月 = '12' AND 日 = ? ORDER BY 時, 分)"),
                         {day}, rows);
    return rows.value(0).value(0);
}

} // namespace

class TestEditorFocus : public QObject
{
    Q_OBJECT
    TestHome *m_home = nullptr;
    ScriptedDialogs *m_dlg = nullptr;
    MDIForm1 *m_main = nullptr;

private slots:
    void init()
    {
        qputenv("CORVAN21_NOW", "2010-12-15T09:30:00");
        m_home = new TestHome;
        QVERIFY(installProgramFiles());
        m_dlg = new ScriptedDialogs;
        QString why;
        QVERIFY2(startMonthForBatch(QStringLiteral("2010"), QStringLiteral("12"), QStringLiteral("418305"), &why),
                 qPrintable(why));
        QVERIFY(
            dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 VALUES ('01','000001','社員1',?,'01','1')"), {kCard}));
        for (const char *day : {"06", "07", "08", "10", "13", "14"}) {
            QVERIFY(dbs().monthly.exec(
                QStringLiteral("INSERT INTO タイムカード VALUES ('12',?,'08','55','00',?,'0','00','0')"),
                {QString::fromLatin1(day), kCard}));
            QVERIFY(dbs().monthly.exec(
                QStringLiteral("INSERT INTO タイムカード VALUES ('12',?,'17','40','00',?,'1','00','0')"),
                {QString::fromLatin1(day), kCard}));
        }
        QVERIFY(dbs().monthly.exec(
            QStringLiteral("INSERT INTO タイムカード VALUES ('12','09','08','50','00',?,'0','00','0')"), {kCard}));
        // Collected and waiting: the out punch of 12/09 and a punch of 12/15.
        for (const char *row : {"'09','18','05','00',?,'1'", "'15','08','30','00',?,'0'"})
            QVERIFY(dbs().intake.exec(
                QStringLiteral("INSERT INTO タイムカードテンプ (月,日,時,分,秒,IDコード,入退,異例コード,CR,移行マーク) "
                               "VALUES ('12',%1,'00','\r','未')")
                    .arg(QString::fromLatin1(row)),
                {kCard}));
        m_main = new MDIForm1;
        m_main->setMonthLabel(g_run.year, g_run.month);
        m_main->show();
        m_main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_main));
        m_main->showSetMenu();
    }
    void cleanup()
    {
        delete m_main;
        closeAllWindows();
        const bool drained = m_dlg->drained();
        delete m_dlg;
        delete m_home;
        QVERIFY2(drained, "a scripted answer was not used");
    }

    void clickIntoTheEditorAfterProcessingFocusesTheFieldClicked()
    {
        auto *mdi = m_main->findChild<QMdiArea *>();
        action(m_main, QStringLiteral("keyKojinEdit"))->trigger();
        auto *editor = qobject_cast<frmKojinEdit *>(m_main->findScreen(ScreenId::KojinEdit));
        QVERIFY(editor);
        clickAt(m_main, editor->findChild<QPushButton *>(QStringLiteral("cmdAfter")));
        QVERIFY(editor->secondHalf());
        const int r9 = editor->periodDays().rowOf(QDate(2010, 12, 9));
        auto field = [&](const char *slot, int row) {
            return editor->findChild<QLineEdit *>(QStringLiteral("txt%1_%2").arg(QString::fromUtf8(slot)).arg(row));
        };
        QCOMPARE(field("退1", r9)->text(), QStringLiteral("  :  "));

        // 日常業務 → データ収集: the editor stays in view behind the intake screen.
        action(m_main, QStringLiteral("mnuDataInput"))->trigger();
        QWidget *intake = m_main->findScreen(ScreenId::DataInput);
        QVERIFY(intake);
        QCOMPARE(mdi->activeSubWindow()->widget(), intake);
        QVERIFY(editor->isVisible());
        clickAt(m_main, intake->findChild<QPushButton *>(QStringLiteral("cmdデータ処理")));

        // The editor read its days again without coming forward.
        QCOMPARE(mdi->activeSubWindow()->widget(), intake);
        QCOMPARE(field("入1", r9)->text(), QStringLiteral("08:50"));
        QCOMPARE(field("退1", r9)->text(), QStringLiteral("18:05"));
        QCOMPARE(field("入1", r9 + 6)->text(), QStringLiteral("08:30")); // 12/15
        QVERIFY(!editor->isAncestorOf(QApplication::focusWidget()));

        // A click on the editor's window, then one into 12/09 入1.
        auto *sub = qobject_cast<QMdiSubWindow *>(editor->parentWidget());
        QVERIFY(sub);
        clickAt(m_main, sub, QPoint(sub->width() / 2, 8)); // its title bar
        QCOMPARE(mdi->activeSubWindow(), sub);
        clickAt(m_main, field("入1", r9));
        QCOMPARE(QApplication::focusWidget(), field("入1", r9));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("0845"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(field("入1", r9)->text(), QStringLiteral("08:45"));
        QCOMPARE(QApplication::focusWidget(), field("退1", r9));
        for (int r = 16; r < 32; ++r) // no other day took the digits
            if (r != r9)
                QVERIFY2(!editor->workingCopy(r)[0].contains(QStringLiteral("45")), qPrintable(QString::number(r)));

        clickAt(m_main, editor->findChild<QPushButton *>(QStringLiteral("cmdReCalc")));
        QCOMPARE(stored(QStringLiteral("09")), QStringLiteral("08450 18051"));
        QVERIFY(m_dlg->messages().isEmpty());
    }
};

QTEST_MAIN(TestEditorFocus)
#include "tst_editorfocus.moc"
