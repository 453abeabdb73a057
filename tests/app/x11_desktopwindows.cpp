// The desktop's window list as read from a real X display (this test runs under xvfb-run):
// a viewer's window that names a log copy is seen while it is on screen, and no longer once
// it is closed or hidden.

#include "app/DesktopWindows.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

class TestDesktopWindows : public QObject
{
    Q_OBJECT
private slots:
    void aWindowNamingTheFileIsSeenWhileItIsOnScreen()
    {
        QVERIFY2(DesktopWindows::visible(), "no X display: run under xvfb-run with QT_QPA_PLATFORM=xcb");
        QVERIFY(!DesktopWindows::anyTitled(QStringLiteral("E201012.log.tmp")));
        auto *viewer = new QWidget;
        viewer->setWindowTitle(QStringLiteral("E201012.log.tmp (~/data) - テキストエディター"));
        viewer->resize(200, 100);
        viewer->show();
        QVERIFY(QTest::qWaitForWindowExposed(viewer));
        QTRY_VERIFY(DesktopWindows::anyTitled(QStringLiteral("E201012.log.tmp")));
        QVERIFY(!DesktopWindows::anyTitled(QStringLiteral("E201011.log.tmp")));
        QVERIFY(!DesktopWindows::anyTitled(QString()));
        viewer->hide();
        QTRY_VERIFY(!DesktopWindows::anyTitled(QStringLiteral("E201012.log.tmp")));
        viewer->show();
        QTRY_VERIFY(DesktopWindows::anyTitled(QStringLiteral("E201012.log.tmp")));
        delete viewer;
        QTRY_VERIFY(!DesktopWindows::anyTitled(QStringLiteral("E201012.log.tmp")));
    }
};

QTEST_MAIN(TestDesktopWindows)
#include "x11_desktopwindows.moc"
