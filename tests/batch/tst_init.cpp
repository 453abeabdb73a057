#include "tests/support/TestHome.h"

#include "common/SjisText.h"
#include "store/ExFile.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTest>

namespace {

struct Run {
    int code = -1;
    QString out, err;
};

Run batch(const QString &home, const QStringList &args)
{
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CORVAN21_HOME"), home);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(CORVAN_BATCH), args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

} // namespace

class TestInit : public QObject
{
    Q_OBJECT
private slots:
    void createsInstallationOnceAndKeepsWhatExists()
    {
        TestHome home(false);
        const Run first = batch(home.path(), {QStringLiteral("init"), QStringLiteral("--link"), QStringLiteral("usb"),
                                              QStringLiteral("--command-set"), QStringLiteral("1"),
                                              QStringLiteral("--port"), QStringLiteral("5100")});
        QCOMPARE(first.code, 0);
        for (const char *f :
             {"data/corvan.mdb", "data/corvan_tmp.mdb", "data/カレンダー.mdb", "corvan21.ini", "corvan21.ico",
              "boot.bmp", "help/usb/index.html", "help/lan/index.html", "help/faq.html", "veskourl.def"}) {
            QVERIFY2(QFileInfo::exists(home.file(QString::fromUtf8(f))), f);
            QVERIFY2(first.out.contains(QString::fromUtf8(f)), f);
        }
        QSettings ini(home.file(QStringLiteral("corvan21.ini")), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("Install/LinkKind")).toString(), QStringLiteral("0"));
        QCOMPARE(ini.value(QStringLiteral("Install/CommandSet")).toString(), QStringLiteral("1"));
        QCOMPARE(ini.value(QStringLiteral("Install/RecorderPort")).toString(), QStringLiteral("5100"));

        // A second run changes nothing that exists.
        QFile master(home.file(QStringLiteral("data/corvan.mdb")));
        QVERIFY(master.open(QIODevice::ReadOnly));
        const QByteArray before = master.readAll();
        master.close();
        QFile::remove(home.file(QStringLiteral("boot.bmp")));
        const Run second =
            batch(home.path(), {QStringLiteral("init"), QStringLiteral("--link"), QStringLiteral("lan")});
        QCOMPARE(second.code, 0);
        QVERIFY(second.out.contains(QStringLiteral("boot.bmp")));
        QVERIFY(!second.out.contains(QStringLiteral("corvan.mdb")));
        QVERIFY(master.open(QIODevice::ReadOnly));
        QCOMPARE(master.readAll(), before);
        QSettings again(home.file(QStringLiteral("corvan21.ini")), QSettings::IniFormat);
        QCOMPARE(again.value(QStringLiteral("Install/LinkKind")).toString(), QStringLiteral("0"));
    }

    // USB and LAN installations have pages of their own where they differ; veskourl.def names
    // the installed support page, which a site can replace with its own address.
    void helpPagesPerLinkKindAndTheSupportPage()
    {
        TestHome home(false);
        QCOMPARE(batch(home.path(), {QStringLiteral("init")}).code, 0);
        auto read = [&](const char *f) {
            QFile file(home.file(QString::fromUtf8(f)));
            return file.open(QIODevice::ReadOnly) ? SjisText::decode(file.readAll()) : QString();
        };
        const QString usbCollect = read("help/usb/10010.html"), lanCollect = read("help/lan/10010.html");
        QVERIFY(usbCollect.contains(QStringLiteral("ＵＳＢドライバ")));
        QVERIFY(lanCollect.contains(QStringLiteral("ＩＰアドレス")));
        QVERIFY(!usbCollect.contains(QStringLiteral("ＩＰアドレス")));
        QVERIFY(QFileInfo::exists(home.file(QStringLiteral("help/lan/10025.html"))));
        QVERIFY(!QFileInfo::exists(home.file(QStringLiteral("help/usb/10025.html"))));
        QVERIFY(read("help/lan/index.html").contains(QStringLiteral("10025.html")));
        QVERIFY(!read("help/usb/index.html").contains(QStringLiteral("10025.html")));
        // Every topic the screens ask for is there in both sets, each linked from its default page.
        for (const char *kind : {"usb", "lan"})
            for (int topic : {10002, 10003, 10004, 10005, 10006, 10007, 10010, 10011, 10012, 10013, 10014, 10015}) {
                const QString page = QStringLiteral("help/%1/%2.html").arg(QLatin1String(kind)).arg(topic);
                QVERIFY2(QFileInfo::exists(home.file(page)), qPrintable(page));
                QVERIFY(read(QStringLiteral("help/%1/index.html").arg(QLatin1String(kind)).toUtf8().constData())
                            .contains(QStringLiteral("%1.html").arg(topic)));
            }
        QVERIFY(read("help/faq.html").contains(QStringLiteral("veskourl.def")));
        QVERIFY(read("veskourl.def").endsWith(QStringLiteral("\r\nFAQ=help/faq.html\r\n")));
        // The program reads it as it reads any veskourl.def.
        g_faqAddress.clear();
        QCOMPARE(LinkDef_Read(), 0);
        QCOMPARE(g_faqAddress, QStringLiteral("help/faq.html"));

        // A site's own address is kept by a later run of the installer.
        QFile def(home.file(QStringLiteral("veskourl.def")));
        QVERIFY(def.open(QIODevice::WriteOnly));
        def.write("FAQ=https://support.example.jp/faq\r\n");
        def.close();
        QCOMPARE(batch(home.path(), {QStringLiteral("init")}).code, 0);
        QCOMPARE(read("veskourl.def"), QStringLiteral("FAQ=https://support.example.jp/faq\r\n"));
    }

    void helpAndVersionOnStandardOutput()
    {
        TestHome home(false);
        Run r = batch(home.path(), {QStringLiteral("--help")});
        QCOMPARE(r.code, 0);
        QVERIFY(!r.err.contains(QStringLiteral("usage")));
        for (const char *command : {"init", "collect", "process", "export", "print"})
            QVERIFY2(
                r.out.contains(QStringLiteral("corvan21-batch ") + QString::fromLatin1(command) + QLatin1Char(' ')),
                command);
        QVERIFY(r.out.contains(QStringLiteral("--printer NAME")));
        QVERIFY(r.out.contains(QStringLiteral("Program folder: ") + home.path() + QLatin1Char('\n')));
        r = batch(home.path(), {QStringLiteral("--version")});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("corvan21-batch " CORVAN_VERSION "\n"));
        // Without a command the usage is an error: standard error and status 2.
        r = batch(home.path(), {});
        QCOMPARE(r.code, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY(r.err.contains(QStringLiteral("usage: corvan21-batch")));
        // Asking for help writes nothing into the program folder.
        QVERIFY(!QFileInfo::exists(home.file(QStringLiteral("corvan21.ini"))));
        QVERIFY(!QFileInfo::exists(home.file(QStringLiteral("data"))));
    }

    void badOptionsAndUnwritableFolder()
    {
        TestHome home(false);
        QCOMPARE(batch(home.path(), {QStringLiteral("init"), QStringLiteral("--link"), QStringLiteral("serial")}).code,
                 2);
        QCOMPARE(batch(home.path(), {QStringLiteral("init"), QStringLiteral("--port"), QStringLiteral("0")}).code, 2);
        QCOMPARE(batch(home.path(), {QStringLiteral("init"), QStringLiteral("--colour"), QStringLiteral("x")}).code, 2);
        QVERIFY(!QFileInfo::exists(home.file(QStringLiteral("data"))));

        // /proc refuses new folders even to root.
        const Run r = batch(QStringLiteral("/proc/corvan21-test/inst"), {QStringLiteral("init")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QStringLiteral("corvan21-batch init:")));
    }
};

QTEST_GUILESS_MAIN(TestInit)
#include "tst_init.moc"
