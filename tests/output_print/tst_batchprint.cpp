// corvan21-batch print, run as a person scripting it would: the reports it writes, the
// options it refuses (status 2, no file) and the login it acts as (status 1, no file).

#include "PdfPages.h"

#include "common/Common.h"
#include "tests/output/ExportFixture.h"

#include "store/DbFile.h"
#include "tests/support/TestHome.h"

#include <QFileInfo>
#include <QProcess>
#include <QtTest>

class TestBatchPrint : public QObject
{
    Q_OBJECT

    QScopedPointer<TestHome> m_home;

    struct Run {
        int status = -1;
        QString err;
    };

    Run batch(const QStringList &args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("CORVAN21_HOME"), m_home->path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home->file(QStringLiteral("config")));
        env.insert(QStringLiteral("CORVAN21_NOW"), QStringLiteral("2010-03-02T10:00:00"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(CORVAN_BATCH), QStringList{QStringLiteral("print")} + args);
        if (!p.waitForFinished(120000))
            return {};
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardError())};
    }

    QString out(const QString &name) const { return m_home->file(name); }

    QStringList base(const QString &report, const QString &pdf) const
    {
        return {QStringLiteral("--month"),    QStringLiteral("201002"),
                QStringLiteral("--password"), QString::fromLatin1(kMasterPassword),
                QStringLiteral("--report"),   report,
                QStringLiteral("--pdf"),      out(pdf)};
    }

private slots:
    void init()
    {
        m_home.reset(new TestHome);
        QVERIFY(ExportFixture::build(*m_home));
        closeAllDatabases(); // the tool opens them itself
    }
    void cleanup() { m_home.reset(); }

    void writesTheReports()
    {
        Run r = batch(base(QStringLiteral("individual"), QStringLiteral("ind.pdf"))
                      + QStringList{QStringLiteral("--employees"), QStringLiteral("000004,000001")});
        QCOMPARE(r.status, 0);
        auto pages = PdfPages::read(out(QStringLiteral("ind.pdf")));
        QCOMPARE(pages.size(), 2);
        // Pages follow the employee table, whatever the order given.
        QCOMPARE(PdfPages::find(pages[0], QStringLiteral("山田太郎")).size(), 1);
        QCOMPARE(PdfPages::find(pages[1], QStringLiteral("長谷川部長代理補佐")).size(), 1);

        r = batch(base(QStringLiteral("daily"), QStringLiteral("day.pdf"))
                  + QStringList{QStringLiteral("--dates"), QStringLiteral("2010/02/07,2010/02/01")});
        QCOMPARE(r.status, 0);
        pages = PdfPages::read(out(QStringLiteral("day.pdf")));
        QCOMPARE(pages.size(), 2);
        QCOMPARE(PdfPages::inBox(pages[0], 10, 80, 10, 15).value(0).text,
                 PdfPages::norm(QStringLiteral("年月日2010年02月01日(月)")));

        QCOMPARE(batch(base(QStringLiteral("daily"), QStringLiteral("month.pdf"))).status, 0);
        QCOMPARE(PdfPages::read(out(QStringLiteral("month.pdf"))).size(), 28);

        QCOMPARE(batch(base(QStringLiteral("master"), QStringLiteral("master.pdf"))).status, 0);
        pages = PdfPages::read(out(QStringLiteral("master.pdf")));
        QCOMPARE(pages.size(), 1);
        QCOMPARE(PdfPages::find(pages[0], QStringLiteral("休職者")).size(), 1); // inactive ones too
        QCOMPARE(PdfPages::find(pages[0], QStringLiteral("ページ1/1")).size(), 1);

        QCOMPARE(batch(base(QStringLiteral("categories"), QStringLiteral("kubun.pdf"))).status, 0);
        pages = PdfPages::read(out(QStringLiteral("kubun.pdf")));
        QCOMPARE(pages.size(), 1);
        QCOMPARE(PdfPages::find(pages[0], QStringLiteral("区分10")).size(), 1);
    }

    void refusesBadOptionsAndWritesNothing()
    {
        const QString pdf = QStringLiteral("bad.pdf");
        QCOMPARE(batch(base(QStringLiteral("weekly"), pdf)).status, 2);
        QCOMPARE(batch(base(QStringLiteral("daily"), pdf)
                       + QStringList{QStringLiteral("--employees"), QStringLiteral("000001")})
                     .status,
                 2);
        QCOMPARE(batch(base(QStringLiteral("individual"), pdf)
                       + QStringList{QStringLiteral("--dates"), QStringLiteral("2010/02/01")})
                     .status,
                 2);
        // 000007 is stored but not active; 999999 does not exist.
        for (const char *n : {"000007", "999999"}) {
            const Run r = batch(base(QStringLiteral("individual"), pdf)
                                + QStringList{QStringLiteral("--employees"), QString::fromLatin1(n)});
            QCOMPARE(r.status, 2);
            QVERIFY(r.err.contains(QString::fromLatin1(n)));
        }
        const Run outside = batch(base(QStringLiteral("daily"), pdf)
                                  + QStringList{QStringLiteral("--dates"), QStringLiteral("2010/03/01")});
        QCOMPARE(outside.status, 2);
        QVERIFY(outside.err.contains(QStringLiteral("2010/02/01 - 2010/02/28")));
        QCOMPARE(batch(base(QStringLiteral("daily"), pdf)
                       + QStringList{QStringLiteral("--dates"), QStringLiteral("1.2.2010")})
                     .status,
                 2);
        QCOMPARE(batch({QStringLiteral("--month"), QStringLiteral("201002")}).status, 2);
        QVERIFY(!QFileInfo::exists(out(pdf)));
    }

    // One destination, named: a PDF file or a print queue that exists.
    void refusesAMissingOrDoubleDestination()
    {
        const QStringList both = base(QStringLiteral("master"), QStringLiteral("both.pdf"))
                                 + QStringList{QStringLiteral("--printer"), QStringLiteral("Office")};
        Run r = batch(both);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(QStringLiteral("--pdf FILE or --printer NAME")), qPrintable(r.err));
        QStringList neither = base(QStringLiteral("master"), QStringLiteral("x.pdf"));
        neither.resize(neither.size() - 2);
        QCOMPARE(batch(neither).status, 2);
        QCOMPARE(batch(neither + QStringList{QStringLiteral("--printer"), QString()}).status, 2);
        r = batch(neither + QStringList{QStringLiteral("--printer"), QStringLiteral("corvan21-no-such-queue")});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("プリンタが見つかりません: corvan21-no-such-queue")), qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(out(QStringLiteral("both.pdf"))));
    }

    void actsAsALogin()
    {
        QStringList args = base(QStringLiteral("master"), QStringLiteral("pw.pdf"));
        args[3] = QStringLiteral("wrong");
        const Run r = batch(args);
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains(QStringLiteral("パスワード")));
        QVERIFY(!QFileInfo::exists(out(QStringLiteral("pw.pdf"))));

        // An unwritable target fails and leaves no file.
        QCOMPARE(batch(base(QStringLiteral("master"), QStringLiteral("missing/dir.pdf"))).status, 1);
        QVERIFY(!QFileInfo::exists(out(QStringLiteral("missing/dir.pdf"))));
    }
};

QTEST_MAIN(TestBatchPrint)
#include "tst_batchprint.moc"
