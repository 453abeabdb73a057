// The closing day / day-change dialog and the password change dialog.

#include "AppTestSupport.h"
#include "app/frmPwdChg.h"
#include "app/frmSimebiSet.h"
#include "store/MonthStart.h"
#include "tests/support/ScriptedDialogs.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace {

void addPunch()
{
    QVERIFY(
        dbs().monthly.exec(QStringLiteral("INSERT INTO タイムカード (月, 日, 時, 分, 秒, IDコード, 入退, 異例コード, "
                                          "CR) VALUES ('12','01','08','30','00','000000016','0','00','0')")));
}

QString company(Database &db) { return cell(db, QStringLiteral("SELECT 締日 || '/' || 日替時刻 FROM 会社")); }

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
    TestHome *m_home = nullptr;
    ScriptedDialogs *m_dlg = nullptr;

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
    }
    void cleanup()
    {
        delete m_dlg;
        delete m_home;
    }

    void listsOpenOnTheCurrentSettings()
    {
        {
            frmSimebiSet d;
            auto *day = child<QComboBox>(&d, QStringLiteral("cboSimebi"));
            QCOMPARE(day->count(), 29);
            QCOMPARE(day->currentText(), QStringLiteral("20日"));
            QCOMPARE(child<QComboBox>(&d, QStringLiteral("cboHigawari"))->currentText(), QStringLiteral("03:00"));
            QCOMPARE(child<QComboBox>(&d, QStringLiteral("cboHigawari"))->count(), 24);
        }
        g_company.closingDayNo = 31;
        frmSimebiSet d;
        QCOMPARE(child<QComboBox>(&d, QStringLiteral("cboSimebi"))->currentText(), QStringLiteral("月末"));
    }

    void closingDayRefusedWhilePunchesExist()
    {
        addPunch();
        frmSimebiSet d;
        child<QComboBox>(&d, QStringLiteral("cboSimebi"))->setCurrentIndex(4);   // 05日
        child<QComboBox>(&d, QStringLiteral("cboHigawari"))->setCurrentIndex(5); // 05:00
        child<QPushButton>(&d, QStringLiteral("cmdSet"))->click();
        QCOMPARE(m_dlg->last().text,
                 QStringLiteral(
                     "当月度は、既にタイムカードが読み込まれています。\n\n月度を変えてから締め日を変更してください。"));
        QCOMPARE(m_dlg->last().title, QStringLiteral("締め日 設定"));
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QCOMPARE(company(dbs().monthly), QStringLiteral("20/03:00")); // neither written
        QCOMPARE(company(dbs().master), QStringLiteral("20/03:00"));
    }

    void dayChangeAloneIsWrittenDespitePunches()
    {
        addPunch();
        frmSimebiSet d;
        child<QComboBox>(&d, QStringLiteral("cboHigawari"))->setCurrentIndex(5);
        child<QPushButton>(&d, QStringLiteral("cmdSet"))->click();
        QVERIFY(m_dlg->messages().isEmpty());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(company(dbs().monthly), QStringLiteral("20/05:00"));
        QCOMPARE(company(dbs().master), QStringLiteral("20/05:00"));
        QCOMPARE(g_company.dayChange, QStringLiteral("05:00"));
    }

    void closingDayWrittenWithoutLeadingZero()
    {
        frmSimebiSet d;
        child<QComboBox>(&d, QStringLiteral("cboSimebi"))->setCurrentIndex(4);
        child<QPushButton>(&d, QStringLiteral("cmdSet"))->click();
        QCOMPARE(company(dbs().monthly), QStringLiteral("5/03:00"));
        QCOMPARE(company(dbs().master), QStringLiteral("5/03:00"));
        QCOMPARE(g_company.closingDayNo, 5);
        frmSimebiSet d2;
        child<QComboBox>(&d2, QStringLiteral("cboSimebi"))->setCurrentIndex(28);
        child<QPushButton>(&d2, QStringLiteral("cmdSet"))->click();
        QCOMPARE(company(dbs().master), QStringLiteral("31/03:00"));
    }

    void aFailedMasterWriteChangesNeitherFileNorMemory()
    {
        QVERIFY(dbs().master.exec(
            QStringLiteral("CREATE TRIGGER full BEFORE UPDATE ON 会社 BEGIN SELECT RAISE(ABORT, 'disk full'); END")));
        frmSimebiSet d;
        d.show();
        child<QComboBox>(&d, QStringLiteral("cboSimebi"))->setCurrentIndex(4);   // 05日
        child<QComboBox>(&d, QStringLiteral("cboHigawari"))->setCurrentIndex(5); // 05:00
        child<QPushButton>(&d, QStringLiteral("cmdSet"))->click();
        QCOMPARE(m_dlg->messages().size(), 1);
        QVERIFY(m_dlg->last().text.startsWith(
            QStringLiteral("締日、日替時刻データの書き込みに失敗しました。！\n\nエラー：(")));
        QVERIFY(m_dlg->last().text.contains(QStringLiteral("disk full")));
        QCOMPARE(company(dbs().monthly), QStringLiteral("20/03:00")); // the month's file as it was
        QCOMPARE(company(dbs().master), QStringLiteral("20/03:00"));
        QCOMPARE(g_company.closingDayNo, 20);
        QCOMPARE(g_company.closingDay, QStringLiteral("20"));
        QCOMPARE(g_company.dayChange, QStringLiteral("03:00"));
        QVERIFY(d.isVisible()); // open for another try

        // Once the master takes the write, both files and the settings change together.
        QVERIFY(dbs().master.exec(QStringLiteral("DROP TRIGGER full")));
        child<QPushButton>(&d, QStringLiteral("cmdSet"))->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(company(dbs().monthly), QStringLiteral("5/05:00"));
        QCOMPARE(company(dbs().master), QStringLiteral("5/05:00"));
        QCOMPARE(g_company.closingDayNo, 5);
        QCOMPARE(g_company.dayChange, QStringLiteral("05:00"));
    }

    void passwordRules_data()
    {
        QTest::addColumn<QString>("oldPwd");
        QTest::addColumn<QString>("newPwd");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        const QString again = QStringLiteral("\n再入力して下さい。\n");
        QTest::newRow("wrong old") << "1111"
                                   << "abcd"
                                   << "abcd" << QStringLiteral("古いパスワードが間違っています！") + again << "Text1";
        QTest::newRow("same") << "418305"
                              << "418305"
                              << "418305" << QStringLiteral("新しいパスワードが古いパスワードと同じです！") + again
                              << "Text2";
        QTest::newRow("empty") << "418305"
                               << ""
                               << "" << QStringLiteral("パスワードはクリアできません！") + again << "Text2";
        QTest::newRow("three") << "418305"
                               << "abc"
                               << "abc" << QStringLiteral("パスワードは半角４桁以上必要です！") + again << "Text2";
        QTest::newRow("forbidden")
            << "418305"
            << "abcd!"
            << "abcd!"
            << QStringLiteral(
                   "入力禁止の文字が含まれています！\n入力可能文字は半角0-9、a-z、A-Zです。\n再入力して下さい。")
            << "Text2";
        QTest::newRow("mismatch") << "418305"
                                  << "abcd"
                                  << "abce"
                                  << QStringLiteral("新しいパスワードと確認入力したパスワードが一致しません。") + again
                                  << "Text3";
        QTest::newRow("ok") << "418305"
                            << "Abc123"
                            << "Abc123" << QString() << QString();
    }

    void passwordRules()
    {
        QFETCH(QString, oldPwd);
        QFETCH(QString, newPwd);
        QFETCH(QString, confirm);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        frmPwdChg d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        child<QLineEdit>(&d, QStringLiteral("Text1"))->setText(oldPwd);
        child<QLineEdit>(&d, QStringLiteral("Text2"))->setText(newPwd);
        child<QLineEdit>(&d, QStringLiteral("Text3"))->setText(confirm);
        child<QPushButton>(&d, QStringLiteral("cmdOK"))->click();
        if (message.isEmpty()) {
            QVERIFY(m_dlg->messages().isEmpty());
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QCOMPARE(g_userPassword, newPwd);
            QCOMPARE(fileBytes(passwordFilePath()), newPwd.toLatin1() + "\r\n");
            return;
        }
        QCOMPARE(m_dlg->messages().size(), 1);
        QCOMPARE(m_dlg->last().text, message);
        QCOMPARE(m_dlg->last().title, QStringLiteral("パスワード変更"));
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        QVERIFY(!QFile::exists(passwordFilePath()));
    }

    void passwordKeyFilterAndMasterAsNewPassword()
    {
        frmPwdChg d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        auto *t2 = child<QLineEdit>(&d, QStringLiteral("Text2"));
        t2->setFocus();
        QTest::keyClicks(t2, QStringLiteral("ab c"));
        for (const QString &wide : {QStringLiteral("ｘ"), QStringLiteral("Ｙ")}) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, wide);
            QApplication::sendEvent(t2, &press);
        }
        QCOMPARE(t2->text(), QStringLiteral("abc"));
        QTest::keyClick(t2, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Text3"));

        // A user password, then the master password as the new one: no user password is left.
        QCOMPARE(Password_Write(QStringLiteral("abcd")), 0);
        child<QLineEdit>(&d, QStringLiteral("Text1"))->setText(QStringLiteral("abcd"));
        t2->setText(QStringLiteral("418305"));
        child<QLineEdit>(&d, QStringLiteral("Text3"))->setText(QStringLiteral("418305"));
        child<QPushButton>(&d, QStringLiteral("cmdOK"))->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY(g_userPassword.isEmpty());
        QVERIFY(!QFile::exists(passwordFilePath()));
        QVERIFY(!Password_Test(QStringLiteral("abcd")));
    }

    void passwordBoxesTabBetweenThemselvesAndEscapeCancels()
    {
        frmPwdChg d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        auto *t1 = child<QLineEdit>(&d, QStringLiteral("Text1"));
        t1->setFocus();
        QTest::keyClicks(t1, QStringLiteral("4183"));
        QTest::keyClick(t1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Text2"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Text3"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Text2"));
        QCOMPARE(t1->text(), QStringLiteral("4183")); // the keys typed no character
        // A pasted blank or full-width letter is still refused by the box.
        auto *t2 = child<QLineEdit>(&d, QStringLiteral("Text2"));
        t2->insert(QStringLiteral("a b"));
        t2->insert(QStringLiteral("ｘ"));
        QCOMPARE(t2->text(), QString());

        QTest::keyClick(t2, Qt::Key_Escape);
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(!d.isVisible());
        QVERIFY(m_dlg->messages().isEmpty());
        QVERIFY(!QFile::exists(passwordFilePath()));
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
