#include "screens/frmLANset.h"
#include "store/ExFile.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestHome.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {
QLineEdit *box(QWidget *w, int i) { return w->findChild<QLineEdit *>(QStringLiteral("txtIPaddress_%1").arg(i)); }
} // namespace

class TestLanSet : public QObject
{
    Q_OBJECT
private slots:
    void storedAddressIsSplitIntoTheBoxes()
    {
        TestHome home(false);
        QVERIFY(setUserSetting(UserKey::IP_adrs, QStringLiteral("10.0.12.250")));
        frmLANset d;
        QCOMPARE(d.windowTitle(), QStringLiteral("ＬＡＮ 設定"));
        QCOMPARE(box(&d, 0)->text(), QStringLiteral("10"));
        QCOMPARE(box(&d, 3)->text(), QStringLiteral("250"));
    }

    void octetsTakeFullWidthDigitsAndRefuseOtherText()
    {
        TestHome home(false);
        QVERIFY(setUserSetting(UserKey::IP_adrs, QStringLiteral("192.168.1.200")));
        frmLANset d;
        QLineEdit *b3 = box(&d, 3);
        b3->selectAll();
        b3->insert(QStringLiteral("２５"));
        QCOMPARE(b3->text(), QStringLiteral("25"));
        b3->selectAll();
        b3->insert(QStringLiteral("1a"));
        QCOMPARE(b3->text(), QStringLiteral("25"));
        b3->selectAll();
        b3->insert(QStringLiteral("1000"));
        QCOMPARE(b3->text(), QStringLiteral("25"));
    }

    void keysAndValidation()
    {
        TestHome home(false);
        ScriptedDialogs dlg;
        QVERIFY(setUserSetting(UserKey::IP_adrs, QStringLiteral("192.168.1.200")));
        frmLANset d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QLineEdit *b1 = box(&d, 1);
        b1->setFocus();
        b1->deselect();
        b1->end(false);
        QTest::keyClicks(b1, QStringLiteral("9x"));
        QCOMPARE(b1->text(), QStringLiteral("168")); // a fourth digit and a letter are refused
        b1->selectAll();
        QTest::keyClicks(b1, QStringLiteral("256"));
        QCOMPARE(b1->text(), QStringLiteral("256")); // typed over the selection
        QTest::keyClick(b1, Qt::Key_Return);
        QCOMPARE(dlg.messages().size(), 1);
        QCOMPARE(dlg.last().text,
                 QStringLiteral("ＩＰアドレスが正しくセットされていません。（0.0.0.0 \uFF5E 255.255.255.255）"));
        QCOMPARE(dlg.last().title, QStringLiteral("ＬＡＮ設定"));
        QCOMPARE(b1->text(), QStringLiteral("168")); // the last valid octet again
        b1->selectAll();
        QTest::keyClicks(b1, QStringLiteral("0"));
        QTest::keyClick(b1, Qt::Key_Return);
        QCOMPARE(dlg.messages().size(), 1);
        QTest::qWait(20);
        QVERIFY(box(&d, 2)->hasFocus());
        QTest::mouseClick(d.findChild<QPushButton *>(QStringLiteral("cmdSet")), Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(userSetting(UserKey::IP_adrs), QStringLiteral("192.0.1.200"));
        QCOMPARE(g_recorderAddress, QStringLiteral("192.0.1.200"));
    }

    void cancelStoresNothing()
    {
        TestHome home(false);
        QVERIFY(setUserSetting(UserKey::IP_adrs, QStringLiteral("192.168.1.200")));
        frmLANset d;
        box(&d, 0)->setText(QStringLiteral("10"));
        QTest::mouseClick(d.findChild<QPushButton *>(QStringLiteral("cmdCancel")), Qt::LeftButton);
        QCOMPARE(userSetting(UserKey::IP_adrs), QStringLiteral("192.168.1.200"));
    }
};

QTEST_MAIN(TestLanSet)
#include "tst_lanset.moc"
