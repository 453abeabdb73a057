#include "screens/frmCardSet.h"
#include "screens/frmMasSet.h"

#include "common/Common.h"
#include "output/PrintOut.h"
#include "store/DbFile.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestHome.h"

#include <QComboBox>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace {

// Records which screens a save closes.
class RecordingHost : public ScreenHost
{
public:
    QStringList closed;
    QWidget *dataInput = nullptr;
    QWidget *shown = nullptr;
    QWidget *findScreen(ScreenId screen) override { return screen == ScreenId::DataInput ? dataInput : nullptr; }
    void showScreen(QWidget *w) override { shown = w; }
    // By form name, so that the expectations below also hold the names themselves.
    void closeScreen(ScreenId screen) override { closed << formName(screen); }
};

QTableWidget *gridOf(QWidget &w) { return w.findChild<QTableWidget *>(QStringLiteral("VSFlexGrid1")); }
QPushButton *buttonOf(QWidget &w, const char *name) { return w.findChild<QPushButton *>(QString::fromLatin1(name)); }
QString text(QWidget &w, int row, int col) { return gridOf(w)->item(row, col)->text(); }
bool ticked(QWidget &w, int row) { return gridOf(w)->item(row, 5)->checkState() == Qt::Checked; }

QWidget *openEditor(QTableWidget *g) { return g->indexWidget(g->currentIndex()); }

// Enters a cell, types into its editor and presses Enter.
void typeCell(QWidget &w, int row, int col, const QString &typed, bool clear = true)
{
    QTableWidget *g = gridOf(w);
    g->setCurrentCell(row, col);
    QCoreApplication::processEvents();
    if (!openEditor(g))
        g->editItem(g->item(row, col));
    auto *edit = qobject_cast<QLineEdit *>(openEditor(g));
    QVERIFY2(edit, "no line editor");
    if (clear)
        edit->clear();
    // Key clicks carry ASCII only; Japanese text arrives as the input method would put it.
    bool ascii = true;
    for (QChar c : typed)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        QTest::keyClicks(edit, typed);
    else
        edit->insert(typed);
    QTest::keyClick(edit, Qt::Key_Return);
    QCoreApplication::processEvents();
}

void clickNo(QWidget &w, int row)
{
    QTableWidget *g = gridOf(w);
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualItemRect(g->item(row, 0)).center());
}

void clickActiveHeader(QWidget &w)
{
    QHeaderView *h = gridOf(w)->horizontalHeader();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(5) + 5, h->height() / 2));
}

void seed(const QList<QStringList> &rows)
{
    for (auto &e : g_kojin)
        e = Employee();
    for (int i = 0; i < rows.size(); ++i) {
        Employee &e = g_kojin[size_t(i)];
        e.number = rows[i].value(0);
        e.name = rows[i].value(1);
        e.card = rows[i].value(2);
        e.category = QStringLiteral("01");
        e.active = rows[i].value(3, QStringLiteral("0"));
    }
    QVERIFY(Kojin_Write() == 0);
}

QStringList stored(Database &db)
{
    QVector<QStringList> rows;
    db.select(QStringLiteral("SELECT NO, 社員番号, 氏名, カード番号, 区分, 対象 FROM 個人 ORDER BY NO"), rows);
    QStringList out;
    for (const auto &r : rows)
        out << r.join(QLatin1Char('|'));
    return out;
}

const QString kMasTitle = QStringLiteral("個人マスタ登録");

} // namespace

// The employee master and card screens: cell validation and its messages, deletion, the
// active column and saving.
class TestMasSet : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_home.reset(new TestHome);
        QVERIFY(m_home->ok());
        QVERIFY(m_home->openMonth(QStringLiteral("201004")));
    }
    void cleanup()
    {
        setScreenHost(nullptr);
        m_home.reset();
    }

    void employeeNumberFormatAndRange()
    {
        ScriptedDialogs dialogs;
        frmMasSet w;
        w.show();
        QVERIFY(!w.FormIniFlag);
        typeCell(w, 0, 1, QStringLiteral("12"));
        QCOMPARE(text(w, 0, 1), QStringLiteral("000012"));
        QVERIFY(w.isChanged());
        QVERIFY(dialogs.messages().isEmpty());
        // Enter went on to the name, which edits at once now that the row has a number.
        QCOMPARE(gridOf(w)->currentColumn(), 2);

        for (const QString &bad : {QStringLiteral("0"), QStringLiteral("1234567")}) {
            dialogs.clear();
            typeCell(w, 1, 1, bad);
            QCOMPARE(dialogs.messages().size(), 1);
            QCOMPARE(dialogs.last().text,
                     QStringLiteral("社員番号を正しく入力してください。 \n社員番号は、1～999999 迄の数字です。"));
            QCOMPARE(dialogs.last().title, kMasTitle);
            QCOMPARE(dialogs.last().icon, Dialogs::Icon::Exclamation);
            // The refused cell is entered again with what was typed.
            QCOMPARE(gridOf(w)->currentRow(), 1);
            QCOMPARE(gridOf(w)->currentColumn(), 1);
            auto *edit = qobject_cast<QLineEdit *>(openEditor(gridOf(w)));
            QVERIFY(edit);
            QCOMPARE(edit->text(), bad);
            // ... and the guard refuses to leave while it is wrong.
            QCOMPARE(w.MasSet_check(0), -1);
        }
        typeCell(w, 1, 1, QStringLiteral("7"));
        QCOMPARE(text(w, 1, 1), QStringLiteral("000007"));
    }

    void duplicateNumberAndDigitFilter()
    {
        ScriptedDialogs dialogs;
        frmMasSet w;
        w.show();
        typeCell(w, 0, 1, QStringLiteral("1a2-"));
        QCOMPARE(text(w, 0, 1), QStringLiteral("000012"));
        typeCell(w, 1, 1, QStringLiteral("12"));
        QCOMPARE(dialogs.last().text, QStringLiteral("同じ社員番号があります。 社員番号=000012"));
        typeCell(w, 1, 1, QStringLiteral("13"));
        // Names take any text; tabs become blanks and only the first line stays.
        typeCell(w, 1, 2, QStringLiteral("山田 太郎"));
        QCOMPARE(text(w, 1, 2), QStringLiteral("山田 太郎"));
        QVERIFY(w.commitCell(1, 2, QStringLiteral("  佐藤\t花子\n二行目")));
        QCOMPARE(text(w, 1, 2), QStringLiteral("佐藤 花子"));
        typeCell(w, 1, 3, QStringLiteral("x123"));
        QCOMPARE(text(w, 1, 3), QStringLiteral("000000123"));
    }

    // Number cells take full-width digits from the input method as digits; pasted text with
    // anything else is refused where it is entered.
    void numberCellsTakeFullWidthDigitsAndRefuseOtherText()
    {
        ScriptedDialogs dialogs;
        frmMasSet w;
        w.show();
        QTableWidget *g = gridOf(w);
        g->setCurrentCell(0, 1);
        QCoreApplication::processEvents();
        if (!openEditor(g))
            g->editItem(g->item(0, 1));
        auto *edit = qobject_cast<QLineEdit *>(openEditor(g));
        QVERIFY(edit);
        edit->clear();
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("１２"));
        QApplication::sendEvent(edit, &commit);
        QCOMPARE(edit->text(), QStringLiteral("12"));
        edit->insert(QStringLiteral("3号"));
        QCOMPARE(edit->text(), QStringLiteral("12"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(text(w, 0, 1), QStringLiteral("000012"));
        QVERIFY(dialogs.messages().isEmpty());

        g->setCurrentCell(0, 3);
        QCoreApplication::processEvents();
        if (!openEditor(g))
            g->editItem(g->item(0, 3));
        auto *card = qobject_cast<QLineEdit *>(openEditor(g));
        QVERIFY(card);
        card->clear();
        card->insert(QStringLiteral("０００１２３"));
        QCOMPARE(card->text(), QStringLiteral("000123"));
        QTest::keyClick(card, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(text(w, 0, 3), QStringLiteral("000000123"));
        QVERIFY(dialogs.messages().isEmpty());
    }

    void cardRangeAndDuplicates()
    {
        seed({{QStringLiteral("000001"), QStringLiteral("一"), QStringLiteral("000000123"), QStringLiteral("1")},
              {QStringLiteral("000002"), QStringLiteral("二"), QStringLiteral("000000123"), QStringLiteral("0")},
              {QStringLiteral("000003"), QStringLiteral("三"), QString(), QStringLiteral("1")}});
        ScriptedDialogs dialogs;
        frmMasSet w;
        w.show();
        QVERIFY(ticked(w, 0));
        QVERIFY(!ticked(w, 1));
        QVERIFY(!ticked(w, 2)); // stored active without a card: not active
        // Both rows may hold the card, but the second cannot be active at the same time.
        gridOf(w)->item(1, 5)->setCheckState(Qt::Checked);
        QCOMPARE(dialogs.last().text,
                 QStringLiteral("同じカード番号を同時に対象には出来ません。 カード番号=000000123"));
        QVERIFY(!ticked(w, 1));

        dialogs.clear();
        typeCell(w, 2, 3, QStringLiteral("0"));
        QCOMPARE(
            dialogs.last().text,
            QStringLiteral("カード番号を正しく入力してください。 \nカード番号は、000000001～999999999 迄の数字です。"));
        typeCell(w, 2, 3, QStringLiteral("1234567890"));
        QCOMPARE(dialogs.messages().size(), 2);
        typeCell(w, 2, 3, QStringLiteral("555"));
        QCOMPARE(text(w, 2, 3), QStringLiteral("000000555"));

        // An active row taking the card another active row holds is refused.
        gridOf(w)->item(2, 5)->setCheckState(Qt::Checked);
        QVERIFY(ticked(w, 2));
        typeCell(w, 2, 3, QStringLiteral("123"));
        QCOMPARE(dialogs.last().text, QStringLiteral("同じカード番号があります。 カード番号=000000123"));
    }

    void clearingCardUnticks()
    {
        seed({{QStringLiteral("000001"), QStringLiteral("一"), QStringLiteral("000000123"), QStringLiteral("1")}});
        ScriptedDialogs dialogs;
        frmMasSet w;
        w.show();
        QVERIFY(ticked(w, 0));
        typeCell(w, 0, 3, QString());
        QVERIFY(!ticked(w, 0));
        QVERIFY(!(gridOf(w)->item(0, 5)->flags() & Qt::ItemIsUserCheckable));
        QTest::mouseClick(buttonOf(w, "cmdSet"), Qt::LeftButton);
        QCOMPARE(stored(dbs().monthly), QStringList{QStringLiteral("01|000001|一| |01|0")});
    }

    void deleteByClearingNumber()
    {
        seed({{QStringLiteral("000001"), QStringLiteral("一")},
              {QStringLiteral("000002"), QStringLiteral("二")},
              {QStringLiteral("000003"), QStringLiteral("三")}});
        ScriptedDialogs dialogs;
        frmMasSet w;
        w.show();
        dialogs.answer(Dialogs::Answer::No);
        typeCell(w, 1, 1, QString());
        QCOMPARE(dialogs.last().text,
                 QStringLiteral("この社員を削除しますが、よろしいですか？ \n削除する社員：000002"));
        QCOMPARE(dialogs.last().icon, Dialogs::Icon::Question);
        QCOMPARE(text(w, 1, 1), QStringLiteral("000002"));
        QVERIFY(!w.isChanged());

        dialogs.answer(Dialogs::Answer::Yes);
        typeCell(w, 1, 1, QString());
        QCOMPARE(text(w, 1, 1), QStringLiteral("000003"));
        QCOMPARE(text(w, 1, 2), QStringLiteral("三"));
        QVERIFY(text(w, 2, 1).isEmpty());
        QVERIFY(w.isChanged());
        QVERIFY(dialogs.drained());
    }

    void marksAndDelete()
    {
        QList<QStringList> rows;
        for (int i = 1; i <= 6; ++i)
            rows << QStringList{zeroPad(i, 6), QStringLiteral("社員%1").arg(i)};
        seed(rows);
        ScriptedDialogs dialogs;
        frmMasSet w;
        w.show();
        auto *del = buttonOf(w, "cmdDelete");
        QVERIFY(!del->isEnabled());
        clickNo(w, 2);
        QCOMPARE(gridOf(w)->item(2, 0)->background().color(), QColor(Qt::red));
        QVERIFY(del->isEnabled());
        clickNo(w, 4);
        clickNo(w, 6); // a row without an employee cannot be marked
        QCOMPARE(w.markedCount(), 2);
        clickNo(w, 0);
        clickNo(w, 0); // marked and unmarked again
        QCOMPARE(gridOf(w)->item(0, 0)->background().color(), QColor(Qt::blue));
        QTest::mouseClick(del, Qt::LeftButton);
        QCOMPARE(text(w, 2, 1), QStringLiteral("000004"));
        QCOMPARE(text(w, 3, 1), QStringLiteral("000006"));
        QVERIFY(text(w, 4, 1).isEmpty());
        QVERIFY(!del->isEnabled());
        QCOMPARE(w.markedCount(), 0);
        QCOMPARE(gridOf(w)->currentRow(), 2);
        // Nothing is written until the next save.
        QCOMPARE(stored(dbs().monthly).size(), 6);
        QTest::mouseClick(buttonOf(w, "cmdSet"), Qt::LeftButton);
        QCOMPARE(stored(dbs().monthly).size(), 4);
        QCOMPARE(stored(dbs().master).size(), 4);
    }

    void activeHeaderToggles()
    {
        seed({{QStringLiteral("000001"), QStringLiteral("一"), QStringLiteral("000000011")},
              {QStringLiteral("000002"), QStringLiteral("二"), QStringLiteral("000000022")},
              {QStringLiteral("000003"), QStringLiteral("三"), QStringLiteral("000000011")},
              {QStringLiteral("000004"), QStringLiteral("四")}});
        ScriptedDialogs dialogs;
        frmMasSet w;
        w.show();
        clickActiveHeader(w);
        QVERIFY(ticked(w, 0));
        QVERIFY(ticked(w, 1));
        QVERIFY(!ticked(w, 2)); // shares the first row's card
        QVERIFY(!ticked(w, 3)); // no card
        QCOMPARE(dialogs.last().text, QStringLiteral("同じカード番号を同時に対象には出来ません。 \n"));
        QCOMPARE(gridOf(w)->currentRow(), 2);
        QVERIFY(w.isChanged());
        clickActiveHeader(w);
        for (int r = 0; r < 4; ++r)
            QVERIFY(!ticked(w, r));
        QCOMPARE(dialogs.messages().size(), 1);
    }

    void saveWritesBothDatabasesAndClosesHolders()
    {
        RecordingHost host;
        setScreenHost(&host);
        ScriptedDialogs dialogs;
        frmMasSet w;
        w.show();
        typeCell(w, 0, 1, QStringLiteral("30"));
        typeCell(w, 1, 1, QStringLiteral("16"));
        typeCell(w, 1, 2, QStringLiteral("鈴木"));
        typeCell(w, 1, 3, QStringLiteral("77"));
        gridOf(w)->setCurrentCell(1, 4);
        QCoreApplication::processEvents();
        auto *combo = qobject_cast<QComboBox *>(openEditor(gridOf(w)));
        QVERIFY(combo);
        combo->setCurrentIndex(2);
        emit combo->activated(2);
        gridOf(w)->item(1, 5)->setCheckState(Qt::Checked);
        QTest::mouseClick(buttonOf(w, "cmdSet"), Qt::LeftButton);
        const QStringList expected = {QStringLiteral("01|000030| | |01|0"),
                                      QStringLiteral("02|000016|鈴木|000000077|03|1")};
        QCOMPARE(stored(dbs().monthly), expected);
        QCOMPARE(stored(dbs().master), expected);
        QVERIFY(!w.isChanged());
        QCOMPARE(host.closed, (QStringList{QStringLiteral("frmKojinEdit"), QStringLiteral("frmListEdit"),
                                           QStringLiteral("frmFileOut"), QStringLiteral("frmListPrint"),
                                           QStringLiteral("frmCardSet")}));
        // Reloaded after the save: ordered by employee number.
        QCOMPARE(text(w, 0, 1), QStringLiteral("000016"));
        QVERIFY(dialogs.messages().isEmpty());
    }

    void checkRoutineAsks()
    {
        seed({{QStringLiteral("000001"), QStringLiteral("一")}});
        ScriptedDialogs dialogs;
        frmMasSet w;
        w.show();
        QCOMPARE(w.MasSet_check(0), 0);
        QVERIFY(dialogs.messages().isEmpty());
        typeCell(w, 0, 2, QStringLiteral("変更"));
        dialogs.answer(Dialogs::Answer::No);
        QCOMPARE(w.MasSet_check(0), 0);
        QCOMPARE(dialogs.last().text, QStringLiteral("変更した内容を保存します。よろしいですか？"));
        QCOMPARE(dialogs.last().title, kMasTitle);
        QCOMPARE(text(w, 0, 2), QStringLiteral("一"));
        typeCell(w, 0, 2, QStringLiteral("変更"));
        dialogs.answer(Dialogs::Answer::Yes);
        QCOMPARE(w.MasSet_check(0), 0);
        QCOMPARE(stored(dbs().monthly), QStringList{QStringLiteral("01|000001|変更| |01|0")});
        // A save that fails keeps the screen and its edit, to be saved by a later try.
        typeCell(w, 0, 2, QStringLiteral("再変更"));
        QVERIFY(dbs().monthly.exec(
            QStringLiteral("CREATE TRIGGER full BEFORE INSERT ON 個人 BEGIN SELECT RAISE(ABORT, 'disk full'); END")));
        dialogs.answer(Dialogs::Answer::Yes);
        QCOMPARE(w.MasSet_check(0), -1);
        QCOMPARE(text(w, 0, 2), QStringLiteral("再変更"));
        QCOMPARE(stored(dbs().monthly), QStringList{QStringLiteral("01|000001|変更| |01|0")});
        QVERIFY(dbs().monthly.exec(QStringLiteral("DROP TRIGGER full")));
        dialogs.answer(Dialogs::Answer::Yes);
        QCOMPARE(w.MasSet_check(0), 0);
        QCOMPARE(stored(dbs().monthly), QStringList{QStringLiteral("01|000001|再変更| |01|0")});
        // An edit left open is validated by the check itself.
        gridOf(w)->setCurrentCell(0, 1);
        QCoreApplication::processEvents();
        auto *edit = qobject_cast<QLineEdit *>(openEditor(gridOf(w)));
        QVERIFY(edit);
        edit->setText(QStringLiteral("0"));
        QCOMPARE(w.MasSet_check(0), -1);
        QCOMPARE(dialogs.last().title, kMasTitle);
    }

    void printWithoutEmployees()
    {
        ScriptedDialogs dialogs;
        frmMasSet w;
        w.show();
        QTest::mouseClick(buttonOf(w, "cmdPrint"), Qt::LeftButton);
        QCOMPARE(dialogs.last().text,
                 QStringLiteral("個人マスターに対象となるデータが存在しません。\n個人マスターを登録して下さい。"));
        QCOMPARE(dialogs.last().title, kMasTitle);
        QCOMPARE(dialogs.messages().size(), 1);
        // With an employee, an unsaved edit is offered for saving first; then the printer
        // dialog for the master list (cancelled here: nothing more is said).
        typeCell(w, 0, 1, QStringLiteral("5"));
        dialogs.clear();
        dialogs.answer(Dialogs::Answer::Yes);
        dialogs.cancelPrint();
        PrintOut_SetPrinterProbe(+[] { return true; });
        QTest::mouseClick(buttonOf(w, "cmdPrint"), Qt::LeftButton);
        PrintOut_SetPrinterProbe(nullptr);
        QCOMPARE(dialogs.messages().size(), 1);
        QCOMPARE(dialogs.messages().at(0).text, QStringLiteral("変更した内容を保存します。よろしいですか？"));
        QVERIFY(dialogs.drained());
        QCOMPARE(stored(dbs().monthly), QStringList{QStringLiteral("01|000005| | |01|0")});
    }

    void inputMethodOnlyForNames()
    {
        seed({{QStringLiteral("000001"), QStringLiteral("一")}});
        ScriptedDialogs dialogs;
        frmMasSet w;
        w.show();
        QTableWidget *g = gridOf(w);
        for (int col : {1, 2, 3}) {
            g->setCurrentCell(0, col);
            QCoreApplication::processEvents();
            QWidget *e = openEditor(g);
            QVERIFY(e);
            QCOMPARE(e->testAttribute(Qt::WA_InputMethodEnabled), col == 2);
        }
    }

    void cardScreenReturnsToIntake()
    {
        RecordingHost host;
        QWidget intake;
        host.dataInput = &intake;
        setScreenHost(&host);
        seed({{QStringLiteral("000001"), QStringLiteral("一")}});
        ScriptedDialogs dialogs;
        frmCardSet w;
        w.show();
        typeCell(w, 0, 3, QStringLiteral("9"));
        dialogs.answer(Dialogs::Answer::No);
        QTest::mouseClick(buttonOf(w, "cmdCancel"), Qt::LeftButton);
        QCOMPARE(dialogs.last().title, QStringLiteral("カード番号登録"));
        QCOMPARE(host.shown, &intake);
        QVERIFY(!w.isVisible());
        QCOMPARE(text(w, 0, 3), QString()); // the declined edit was dropped
        QVERIFY(stored(dbs().monthly).value(0).endsWith(QStringLiteral("| |01|0")));
    }

    void cardScreenEditsCardsOnly()
    {
        seed({{QStringLiteral("000001"), QStringLiteral("一"), QString()}});
        RecordingHost host;
        setScreenHost(&host);
        ScriptedDialogs dialogs;
        frmCardSet w;
        w.show();
        QTableWidget *g = gridOf(w);
        QVERIFY(!(g->item(0, 1)->flags() & Qt::ItemIsEditable));
        QVERIFY(!(g->item(0, 2)->flags() & Qt::ItemIsEditable));
        QVERIFY(!(g->item(0, 4)->flags() & Qt::ItemIsEditable));
        QVERIFY(!(g->item(1, 3)->flags() & Qt::ItemIsEditable)); // no employee in row 2
        QVERIFY(!w.findChild<QPushButton *>(QStringLiteral("cmdDelete")));
        typeCell(w, 0, 3, QStringLiteral("0"));
        QCOMPARE(dialogs.last().title, QStringLiteral("カード番号登録"));
        typeCell(w, 0, 3, QStringLiteral("4321"));
        g->item(0, 5)->setCheckState(Qt::Checked);
        QTest::mouseClick(buttonOf(w, "cmdSet"), Qt::LeftButton);
        QCOMPARE(stored(dbs().master),
                 QStringList{QStringLiteral("01|000001|一|000000004321|01|1")
                                 .replace(QStringLiteral("000000004321"), QStringLiteral("000004321"))});
        QVERIFY(host.closed.contains(QStringLiteral("frmMasSet")));
        QVERIFY(!host.closed.contains(QStringLiteral("frmCardSet")));
    }

private:
    std::unique_ptr<TestHome> m_home;
};

QTEST_MAIN(TestMasSet)
#include "tst_masset.moc"
