// データ収集 of a USB installation: frmDataInput opens frmUsbCom, which hosts the USB link
// against the simulated recorder, and shows the collection's outcome.

#include "common/Common.h"
#include "common/SjisText.h"
#include "recorder/CalcoloCom.h"
#include "screens/frmDataInput.h"
#include "screens/frmUsbCom.h"
#include "store/DbFile.h"
#include "store/ExFile.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestHome.h"
#include "tools/simulator/UsbDevice.h"
#include "usblib/KestoAutomation.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mman.h>
#include <unistd.h>

class TestUsbCom : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::string m_shm;

    QString collectOnScreen(int fault, QString *collected)
    {
        UsbDevice dev;
        RecorderSimulator::Options o;
        o.fault = RecorderSimulator::Fault(fault);
        dev.setOptions(o);
        dev.setPunches({QStringLiteral("0114083000000000001000"), QStringLiteral("0114173000000000001100")});
        if (!dev.start())
            return QStringLiteral("<no device>");
        ScriptedDialogs dlg;
        frmDataInput w;
        QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("cmdデータ収集")), Qt::LeftButton);
        *collected = w.findChild<QLabel *>(QStringLiteral("lbl収集数"))->text();
        return dlg.messages().size() == 1 ? dlg.last().text
                                          : QStringLiteral("<%1 messages>").arg(dlg.messages().size());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_shm = "/corvan-usbcom-" + std::to_string(getpid());
        qputenv("KESTOUSB_TRACE_SHM", QByteArray::fromStdString(m_shm));
        qputenv("KESTOUSB_DEVICE_DIR", (m_dir.path() + QStringLiteral("/dev")).toLocal8Bit());
        qputenv("KESTOUSB_REGISTRY", (m_dir.path() + QStringLiteral("/classes.reg")).toLocal8Bit());
        QCOMPARE(DllRegisterServer(), kesto::S_OK);
        qputenv("CORVAN21_NOW", "2010-01-15T10:20:30");
    }
    void cleanupTestCase() { shm_unlink(m_shm.c_str()); }

    void collectionThroughTheScreen()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        CalcoloCom::setLogPaths(Clock::today());
        g_install.linkKind = LinkUsb;
        g_install.commandSet = 0;
        QString collected;
        QCOMPARE(collectOnScreen(RecorderSimulator::NoFault, &collected), QStringLiteral("正常終了しました。"));
        QCOMPARE(collected, QStringLiteral("2"));

        // A recorder that stops answering does not hang the screen; the failure is logged.
        QCOMPARE(collectOnScreen(RecorderSimulator::Silent, &collected), QStringLiteral("応答受信がありません。"));
        QFile err(CalcoloCom::errorLogPath());
        QVERIFY(err.open(QIODevice::ReadOnly));
        QCOMPARE(SjisText::decode(err.readAll()), QStringLiteral("2010/01/15 10:20:30 ： 応答受信がありません。\r\n"));
        g_install.linkKind = LinkLan;
    }

    void screenLooksAsItShould()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        frmUsbCom w;
        QCOMPARE(w.objectName(), QStringLiteral("frmUsbCom"));
        QCOMPARE(w.findChild<QLabel *>(QStringLiteral("Label1"))->text(), QStringLiteral(" 送受信中"));
        QVERIFY(w.findChild<QObject *>(QStringLiteral("KestoUsb1")));
        QCOMPARE(w.pos(), QPoint(0, 0));
    }
};

QTEST_MAIN(TestUsbCom)
#include "screen_usbcom.moc"
