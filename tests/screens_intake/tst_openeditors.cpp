// データ処理 while the time-card editors are open: an editor keeps its own copy of the days it
// shows, so processing settles its unsaved edits first and makes it read the days again once
// punches have moved in. A correction made afterwards must never delete a moved punch.

#include "common/Common.h"
#include "screens/ScreenHost.h"
#include "screens/frmDataInput.h"
#include "screens/frmKojinEdit.h"
#include "screens/frmListEdit.h"
#include "store/DbFile.h"
#include "store/ExFile.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestHome.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

const QString kCard = QStringLiteral("000000001");

// Screens shown as top-level widgets, found by their form names, deleted at the end.
struct Host : ScreenHost {
    QList<QWidget *> shown;
    Host() { setScreenHost(this); }
    ~Host() override
    {
        setScreenHost(nullptr);
        qDeleteAll(shown);
    }
    QWidget *findScreen(ScreenId n) override
    {
        for (QWidget *w : shown)
            if (w->objectName() == formName(n))
                return w;
        return nullptr;
    }
    void showScreen(QWidget *s) override
    {
        if (!shown.contains(s))
            shown << s;
        s->show();
        s->raise();
    }
    void closeScreen(ScreenId) override {}
};

// The monthly punch 01/09 08:50 in, and the out punch of that day waiting in the intake table.
bool prepareDay()
{
    return dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 VALUES ('01','000001','社員1',?,'01','1')"), {kCard})
           && dbs().monthly.exec(
               QStringLiteral("INSERT INTO タイムカード VALUES ('01','09','08','50','00',?,'0','00','0')"), {kCard})
           && dbs().intake.exec(
               QStringLiteral("INSERT INTO タイムカードテンプ (月,日,時,分,秒,IDコード,入退,異例コード,CR,移行マーク) "
                              "VALUES ('01','09','18','05','00',?,'1','00','\r','未')"),
               {kCard});
}

// The stored punches of 01/09 as "hhmm in/out", in time order.
QStringList dayRows()
{
    QVector<QStringList> rows;
    dbs().monthly.select(
        QStringLiteral("SELECT 時 || 分 || ' ' || 入退 FROM タイムカード WHERE 月 = '01' AND 日 = '09' "
                       "ORDER BY 時, 分"),
        rows);
    QStringList out;
    for (const QStringList &r : rows)
        out << r.value(0);
    return out;
}

QLineEdit *field(QWidget *w, const QString &slot, int row)
{
    return w->findChild<QLineEdit *>(QStringLiteral("txt") + slot + QLatin1Char('_') + QString::number(row));
}

void typeInto(QLineEdit *e, const QString &keys)
{
    // The editor's window takes the keyboard first, as it does when the user clicks into it.
    e->window()->activateWindow();
    if (!QTest::qWaitForWindowActive(e->window()))
        qWarning("editor window not active");
    e->setFocus(Qt::MouseFocusReason);
    QCoreApplication::processEvents();
    e->selectAll();
    QTest::keyClicks(e, keys);
    QTest::keyClick(e, Qt::Key_Tab);
    QCoreApplication::processEvents();
}

void click(QWidget *w, const char *name)
{
    QTest::mouseClick(w->findChild<QPushButton *>(QString::fromUtf8(name)), Qt::LeftButton);
    QCoreApplication::processEvents();
}

} // namespace

class TestOpenEditors : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<ScriptedDialogs> m_dialogs;

private slots:
    void init()
    {
        qputenv("CORVAN21_NOW", "2010-01-15T10:20:30");
        m_home.reset(new TestHome);
        QVERIFY(m_home->openMonth(QStringLiteral("201001")));
        g_company = CompanySettings{}; // closing day 20: the period runs 2009/12/21..2010/01/20
        g_install.linkKind = LinkLan;
        m_dialogs.reset(new ScriptedDialogs);
        QVERIFY(prepareDay());
    }
    void cleanup()
    {
        // Torn down before the check, so that a failure does not spill into the next test.
        const bool drained = m_dialogs->drained();
        m_dialogs.reset();
        m_home.reset();
        QVERIFY2(drained, "a scripted answer was not used");
    }

    // The editor shows the moved punch after processing, and a correction of that day keeps it.
    void individualEditorReadsTheDayAgain()
    {
        Host host;
        auto *editor = new frmKojinEdit;
        host.showScreen(editor);
        const int r = editor->periodDays().rowOf(QDate(2010, 1, 9));
        QCOMPARE(field(editor, QStringLiteral("退1"), r)->text(), QStringLiteral("  :  "));
        auto *intake = new frmDataInput;
        host.showScreen(intake);

        click(intake, "cmdデータ処理");
        QCOMPARE(intake->movedCount(), 1);
        QCOMPARE(field(editor, QStringLiteral("入1"), r)->text(), QStringLiteral("08:50"));
        QCOMPARE(field(editor, QStringLiteral("退1"), r)->text(), QStringLiteral("18:05"));

        typeInto(field(editor, QStringLiteral("入1"), r), QStringLiteral("0845"));
        click(editor, "cmdReCalc");
        QCOMPARE(dayRows(), (QStringList{QStringLiteral("0845 0"), QStringLiteral("1805 1")}));
        QVERIFY(m_dialogs->messages().isEmpty()); // the day was current: nothing to merge
    }

    // Unsaved edits are asked about before anything moves: saved on Yes, dropped on No; either
    // way the moved punch is in the time cards and on the screen afterwards.
    void unsavedEditsAreAskedAboutFirst_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QString>("shownIn");
        QTest::newRow("yes") << true << QStringList{QStringLiteral("0845 0"), QStringLiteral("1805 1")}
                             << QStringLiteral("08:45");
        QTest::newRow("no") << false << QStringList{QStringLiteral("0850 0"), QStringLiteral("1805 1")}
                            << QStringLiteral("08:50");
    }
    void unsavedEditsAreAskedAboutFirst()
    {
        QFETCH(bool, save);
        QFETCH(QStringList, stored);
        QFETCH(QString, shownIn);
        Host host;
        auto *editor = new frmKojinEdit;
        host.showScreen(editor);
        const int r = editor->periodDays().rowOf(QDate(2010, 1, 9));
        typeInto(field(editor, QStringLiteral("入1"), r), QStringLiteral("0845"));
        QVERIFY(editor->isChanged());
        auto *intake = new frmDataInput;
        host.showScreen(intake);

        m_dialogs->answer(save ? Dialogs::Answer::Yes : Dialogs::Answer::No);
        click(intake, "cmdデータ処理");
        QCOMPARE(m_dialogs->messages().size(), 1);
        QCOMPARE(m_dialogs->last().text, QStringLiteral("変更した時刻を保存します。よろしいですか？"));
        QCOMPARE(m_dialogs->last().title, QStringLiteral("個人修正"));
        QCOMPARE(intake->movedCount(), 1);
        QCOMPARE(dayRows(), stored);
        QVERIFY(!editor->isChanged());
        QCOMPARE(field(editor, QStringLiteral("入1"), r)->text(), shownIn);
        QCOMPARE(field(editor, QStringLiteral("退1"), r)->text(), QStringLiteral("18:05"));
    }

    // The daily list editor on the processed date reads it again too.
    void listEditorReadsTheDateAgain()
    {
        Host host;
        auto *editor = new frmListEdit;
        host.showScreen(editor);
        editor->findChild<QComboBox *>(QStringLiteral("cboDate"))->setCurrentIndex(19); // 1月9日
        QCOMPARE(editor->selectedDate(), QDate(2010, 1, 9));
        QCOMPARE(field(editor, QStringLiteral("退1"), 0)->text(), QStringLiteral("  :  "));
        auto *intake = new frmDataInput;
        host.showScreen(intake);

        click(intake, "cmdデータ処理");
        QCOMPARE(intake->movedCount(), 1);
        QCOMPARE(editor->selectedDate(), QDate(2010, 1, 9));
        QCOMPARE(field(editor, QStringLiteral("退1"), 0)->text(), QStringLiteral("18:05"));
        typeInto(field(editor, QStringLiteral("入1"), 0), QStringLiteral("0845"));
        click(editor, "cmdReCalc");
        QCOMPARE(dayRows(), (QStringList{QStringLiteral("0845 0"), QStringLiteral("1805 1")}));
    }

    // An editor holding a refused field cannot settle: nothing is processed, the editor comes
    // forward, and the punch waits in the intake table.
    void aRefusedFieldHoldsTheProcessing()
    {
        Host host;
        auto *editor = new frmKojinEdit;
        host.showScreen(editor);
        const int r = editor->periodDays().rowOf(QDate(2010, 1, 9));
        typeInto(field(editor, QStringLiteral("退1"), r), QStringLiteral("7200"));
        QVERIFY(editor->fieldRejected());
        QCOMPARE(m_dialogs->messages().size(), 1);
        auto *intake = new frmDataInput;
        host.showScreen(intake);

        click(intake, "cmdデータ処理");
        QCOMPARE(intake->movedCount(), 0);
        QCOMPARE(dayRows(), QStringList{QStringLiteral("0850 0")});
        QVector<QStringList> waiting;
        QVERIFY(dbs().intake.select(QStringLiteral("SELECT COUNT(*) FROM タイムカードテンプ"), waiting));
        QCOMPARE(waiting.value(0).value(0), QStringLiteral("1"));
    }
};

QTEST_MAIN(TestOpenEditors)
#include "tst_openeditors.moc"
