// Whole export files of the February 2010 test month, byte for byte against the files in
// tests/fixtures/export/, which were written out by hand from the layout rules. Also what a
// failing write leaves behind.

#include "ExportFixture.h"
#include "FailingDevice.h"

#include "common/SjisText.h"
#include "output/ExportJob.h"
#include "store/DbFile.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestHome.h"

#include <QBuffer>
#include <QFile>
#include <QTest>

#include <memory>

namespace {

// The first line where two files differ, to make a failure readable.
QString firstDifference(const QByteArray &actual, const QByteArray &expected)
{
    const QList<QByteArray> a = actual.split('\n'), e = expected.split('\n');
    for (int i = 0; i < qMax(a.size(), e.size()); ++i)
        if (a.value(i) != e.value(i))
            return QStringLiteral("line %1:\n actual   [%2]\n expected [%3]")
                .arg(i + 1)
                .arg(SjisText::decode(a.value(i)), SjisText::decode(e.value(i)));
    return QString();
}

ExportJob job(ExportKind kind, int employeeCount)
{
    ExportJob j;
    j.kind = kind;
    j.employeeCount = employeeCount;
    return j;
}

} // namespace

class TestExportGolden : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<ExportFixture::Inputs> m_inputs;

    int prepare(TestHome &home)
    {
        if (!ExportFixture::build(home))
            return -1;
        m_inputs = std::make_unique<ExportFixture::Inputs>();
        return m_inputs->load();
    }
    MonthInputs in() const { return m_inputs->in(); }

private slots:
    void init() { qputenv("CORVAN21_NOW", "2010-03-02T10:00:00"); }

    void wholeFiles_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("payroll"); // -1 own layouts, else the package
        QTest::addColumn<int>("textFlag");
        QTest::addColumn<QString>("expected");
        QTest::newRow("individual comma") << 0 << -1 << 0 << "individual_000001.csv";
        QTest::newRow("individual text") << 0 << -1 << -1 << "individual_000001.txt";
        QTest::newRow("daily comma") << 1 << -1 << 0 << "daily_0201_0207.csv";
        QTest::newRow("daily text") << 1 << -1 << -1 << "daily_0201_0207.txt";
        QTest::newRow("totals comma") << 2 << -1 << 0 << "totals.csv";
        QTest::newRow("totals text") << 2 << -1 << -1 << "totals.txt";
        QTest::newRow("PCA給与2000") << 2 << 0 << 1 << "kintai0.dat";
        QTest::newRow("給与奉行21") << 2 << 1 << 1 << "kintai_bugyo.txt";
        QTest::newRow("弥生給与") << 2 << 2 << 1 << "kintai_yayoi.txt";
    }

    void wholeFiles()
    {
        QFETCH(int, kind);
        QFETCH(int, payroll);
        QFETCH(int, textFlag);
        QFETCH(QString, expected);
        TestHome home;
        const int count = prepare(home);
        QCOMPARE(count, 6); // the inactive employee is not loaded

        ExportJob j = job(ExportKind(kind), count);
        j.employees = {0};
        j.dates = {QDate(2010, 2, 1), QDate(2010, 2, 7)};
        if (payroll >= 0) {
            j.payroll = true;
            j.package = payroll;
        }
        QBuffer buf;
        buf.open(QIODevice::WriteOnly);
        const ExportResult r = writeExport(j, in(), textFlag, &buf);
        QVERIFY2(r.ok, qPrintable(r.errorText));
        QVERIFY(r.unknownCategory.isEmpty());
        const QByteArray want = ExportFixture::expected(expected);
        QVERIFY2(buf.data() == want, qPrintable(firstDifference(buf.data(), want)));
    }

    void exportFileMatchesBufferAndReplacesTheOldFile()
    {
        TestHome home;
        const int count = prepare(home);
        const QString path = home.file(QStringLiteral("out/集計.CSV"));
        QDir().mkpath(home.file(QStringLiteral("out")));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an older, longer file that must be replaced entirely\r\n");
        old.close();
        const ExportResult r = exportToFile(job(ExportKind::Totals, count), in(), path);
        QVERIFY2(r.ok, qPrintable(r.errorText));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), ExportFixture::expected(QStringLiteral("totals.csv")));
    }

    void failingDeviceIsReportedUnderTheWritersTitle_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("payroll");
        QTest::addColumn<int>("textFlag");
        QTest::addColumn<QString>("title");
        QTest::newRow("individual csv") << 0 << -1 << 0 << "個人CSVファイル出力エラー";
        QTest::newRow("individual txt") << 0 << -1 << -1 << "個人TXTファイル出力エラー";
        QTest::newRow("daily csv") << 1 << -1 << 0 << "日報CSVファイル出力エラー";
        QTest::newRow("daily txt") << 1 << -1 << -1 << "日報TXTファイル出力エラー";
        QTest::newRow("totals csv") << 2 << -1 << 0 << "集計CSVファイル出力エラー";
        QTest::newRow("totals txt") << 2 << -1 << -1 << "集計TXTファイル出力エラー";
        QTest::newRow("pca") << 2 << 0 << 1 << "給与2000TXTファイル出力エラー";
        QTest::newRow("bugyo") << 2 << 1 << 1 << "給与奉行DATファイル出力エラー";
        QTest::newRow("yayoi") << 2 << 2 << 1 << "弥生給与TXTファイル出力エラー";
    }

    void failingDeviceIsReportedUnderTheWritersTitle()
    {
        QFETCH(int, kind);
        QFETCH(int, payroll);
        QFETCH(int, textFlag);
        QFETCH(QString, title);
        TestHome home;
        const int count = prepare(home);
        ExportJob j = job(ExportKind(kind), count);
        j.employees = {0, 1, 2, 3, 4, 5};
        j.dates = {QDate(2010, 2, 1), QDate(2010, 2, 7)};
        j.payroll = payroll >= 0;
        j.package = qMax(payroll, 0);
        for (qint64 limit : {0, 100, 400}) {
            FailingDevice dev(limit);
            const ExportResult r = writeExport(j, in(), textFlag, &dev);
            QVERIFY2(!r.ok, qPrintable(QStringLiteral("limit %1").arg(limit)));
            QCOMPARE(r.errorTitle, title);
            QCOMPARE(r.errorText,
                     QStringLiteral("ファイルを書き込めませんでした。\r\nError=57\r\nNo space left on device"));
        }
    }

    void failedExportLeavesTheEarlierFileAsItWas()
    {
        TestHome home;
        const int count = prepare(home);
        const QString path = home.file(QStringLiteral("個人.csv"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("last month's file\r\n");
        old.close();
        // The punches cannot be read: the first block fails.
        QVERIFY(dbs().monthly.exec(QStringLiteral("ALTER TABLE タイムカード RENAME TO 退避")));
        ExportJob j = job(ExportKind::Individual, count);
        j.employees = {0, 1};
        const ExportResult r = exportToFile(j, in(), path);
        QVERIFY(!r.ok);
        QCOMPARE(r.errorTitle, QStringLiteral("個人CSVファイル出力エラー"));
        QVERIFY(r.errorText.startsWith(QStringLiteral("ファイルを書き込めませんでした。\r\nError=")));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("last month's file\r\n"));
        old.close();

        // The empty file the save dialog's check made is taken away again.
        const QString probe = home.file(QStringLiteral("new.csv"));
        QFile p(probe);
        QVERIFY(p.open(QIODevice::WriteOnly));
        p.close();
        QVERIFY(!exportToFile(j, in(), probe, true).ok);
        QVERIFY(!QFile::exists(probe));
    }

    void unknownCategoryIsWrittenWithZeroFiguresAndNamed()
    {
        TestHome home;
        QVERIFY(ExportFixture::build(home));
        QVERIFY(dbs().monthly.exec(QStringLiteral("UPDATE 個人 SET 区分 = '12' WHERE 社員番号 = '000002'")));
        m_inputs = std::make_unique<ExportFixture::Inputs>();
        const int count = m_inputs->load();
        ExportJob j = job(ExportKind::Daily, count);
        j.dates = {QDate(2010, 2, 1)};
        QBuffer buf;
        buf.open(QIODevice::WriteOnly);
        const ExportResult r = writeExport(j, in(), 0, &buf);
        QVERIFY(r.ok);
        QCOMPARE(r.unknownCategory, QVector<int>{1});
        const QString text = SjisText::decode(buf.data());
        // Clock columns as punched, every figure empty.
        QVERIFY2(text.contains(QStringLiteral("000002,髙橋一郎,12,08,30,18,15") + QStringLiteral(",").repeated(20)
                               + QStringLiteral("\r\n")),
                 qPrintable(text));
        const QStringList lines = unknownCategoryLines(m_inputs->kojin, r.unknownCategory);
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines.first().contains(QStringLiteral("000002")));
        QVERIFY(lines.first().contains(QStringLiteral("12")));
    }

    void otherExtensionsWriteNothing()
    {
        TestHome home;
        const int count = prepare(home);
        const QString path = home.file(QStringLiteral("集計.dat"));
        const ExportResult r = exportToFile(job(ExportKind::Totals, count), in(), path);
        QVERIFY(!r.ok);
        QVERIFY(!QFile::exists(path));
        // A payroll file takes any name.
        ExportJob p = job(ExportKind::Totals, count);
        p.payroll = true;
        p.package = 0;
        QVERIFY(exportToFile(p, in(), path).ok);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), ExportFixture::expected(QStringLiteral("kintai0.dat")));
    }
};

QTEST_GUILESS_MAIN(TestExportGolden)
#include "tst_exportgolden.moc"
