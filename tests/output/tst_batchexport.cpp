// corvan21-batch export end to end: the built tool against a program folder holding the test
// month, its exit status, its messages and the bytes of the file it writes.

#include "ExportFixture.h"

#include "common/SjisText.h"
#include "store/DbFile.h"
#include "tests/support/ProgramRuns.h"
#include "tests/support/TestHome.h"

#include <QFile>
#include <QTest>

namespace {

using ProgramRuns::Run;

// corvan21-batch export with its messages on stderr, as a user sees them.
Run batch(const QStringList &args)
{
    ProgramRuns::Options o;
    o.showMessages = true;
    return ProgramRuns::run(QStringLiteral(CORVAN_BATCH), QStringList{QStringLiteral("export")} + args, o);
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList month(const QString &kind, const QString &out)
{
    return {QStringLiteral("--month"),    QStringLiteral("201002"),
            QStringLiteral("--password"), QStringLiteral("418305"),
            QStringLiteral("--kind"),     kind,
            QStringLiteral("--out"),      out};
}

} // namespace

class TestBatchExport : public QObject
{
    Q_OBJECT
private slots:
    void init() { qputenv("CORVAN21_NOW", "2010-03-02T10:00:00"); }

    void writesTheSameBytesAsTheScreen_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("expected");
        QTest::newRow("individual, one employee") << "individual" << QStringList{"--employees", "000001"} << "k.csv"
                                                  << "individual_000001.csv";
        QTest::newRow("daily, dates given backwards, upper-case extension")
            << "daily" << QStringList{"--dates", "2010/02/07,2010/02/01"} << "d.TXT"
            << "daily_0201_0207.txt";
        QTest::newRow("totals text") << "totals" << QStringList{} << "t.txt"
                                     << "totals.txt";
        QTest::newRow("totals comma, all items given")
            << "totals" << QStringList{"--items", "0,1,2,3,4,5,6,7,8,9"} << "t.csv"
            << "totals.csv";
        QTest::newRow("pca") << "pca" << QStringList{} << "kintai0.dat"
                             << "kintai0.dat";
        QTest::newRow("bugyo") << "bugyo" << QStringList{} << "kintai.txt"
                               << "kintai_bugyo.txt";
        QTest::newRow("yayoi") << "yayoi" << QStringList{} << "kintai.txt"
                               << "kintai_yayoi.txt";
    }

    void writesTheSameBytesAsTheScreen()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, extra);
        QFETCH(QString, out);
        QFETCH(QString, expected);
        TestHome home;
        QVERIFY(ExportFixture::build(home));
        closeAllDatabases();
        const QString path = home.file(out);
        const Run r = batch(month(kind, path) + extra);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(r.err.isEmpty());
        QVERIFY(r.out.contains(QStringLiteral("ファイルを出力しました")));
        QCOMPARE(contents(path), ExportFixture::expected(expected));
    }

    void itemsChooseTheColumns()
    {
        TestHome home;
        QVERIFY(ExportFixture::build(home));
        closeAllDatabases();
        const QString path = home.file(QStringLiteral("t.csv"));
        const Run r = batch(month(QStringLiteral("totals"), path) + QStringList{"--items", "4"});
        QCOMPARE(r.exitCode, 0);
        const QString text = SjisText::decode(contents(path));
        QVERIFY2(text.startsWith(QStringLiteral("社員番号, 氏名, 勤務日数, 残業回数, 残業時間, 残業分\r\n"
                                                "000001,山田太郎,5,2,  6,00\r\n")),
                 qPrintable(text));
    }

    void refusalsWriteNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString out = QStringLiteral("@OUT@");
        auto m = [&](const char *kind, const QString &file = QStringLiteral("@OUT@")) {
            return month(QString::fromLatin1(kind), file);
        };
        QTest::newRow("wrong password") << QStringList{"--month", "201002", "--password", "x",
                                                       "--kind",  "pca",    "--out",      out}
                                        << 1 << "正しいパスワードを入力してください。";
        QTest::newRow("unknown employee")
            << m("individual") + QStringList{"--employees", "000001,000099"} << 2 << "000099";
        QTest::newRow("inactive employee") << m("individual") + QStringList{"--employees", "000007"} << 2 << "000007";
        QTest::newRow("date outside the period")
            << m("daily") + QStringList{"--dates", "2010/03/01"} << 2 << "2010/03/01";
        QTest::newRow("not a date") << m("daily") + QStringList{"--dates", "2010/02/30"} << 2 << "2010/02/30";
        QTest::newRow("dates for another kind") << m("totals") + QStringList{"--dates", "2010/02/01"} << 2 << "--dates";
        QTest::newRow("employees for another kind")
            << m("daily") + QStringList{"--employees", "000001"} << 2 << "--employees";
        QTest::newRow("other extension") << m("totals", QStringLiteral("@DIR@/t.dat")) << 2 << ".csv";
        QTest::newRow("bad item") << m("individual") + QStringList{"--items", "2,10"} << 2 << "10";
        QTest::newRow("bad kind") << m("weekly") << 2 << "weekly";
        QTest::newRow("bad month") << QStringList{"--month", "201013", "--password", "418305",
                                                  "--kind",  "pca",    "--out",      out}
                                   << 2 << "201013";
        QTest::newRow("missing output") << QStringList{"--month", "201002", "--password", "418305", "--kind", "pca"}
                                        << 2 << "--out";
        QTest::newRow("unknown option") << m("pca") + QStringList{"--printer", "x"} << 2 << "--printer";
        QTest::newRow("folder missing") << m("pca", QStringLiteral("@DIR@/nowhere/kintai0.dat")) << 1
                                        << "ファイルを書き込めませんでした。";
    }

    void refusalsWriteNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        TestHome home;
        QVERIFY(ExportFixture::build(home));
        closeAllDatabases();
        const QString path = home.file(QStringLiteral("out.csv"));
        for (QString &a : args)
            a.replace(QStringLiteral("@OUT@"), path).replace(QStringLiteral("@DIR@"), home.path());
        const Run r = batch(args);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(!QFile::exists(path));
        QVERIFY(!QFile::exists(home.file(QStringLiteral("t.dat"))));
    }

    void emptyEmployeeTableIsAnError()
    {
        TestHome home;
        QVERIFY(ExportFixture::build(home));
        QVERIFY(dbs().monthly.exec(QStringLiteral("UPDATE 個人 SET 対象 = '0'")));
        closeAllDatabases();
        const QString path = home.file(QStringLiteral("kintai0.dat"));
        const Run r = batch(month(QStringLiteral("pca"), path));
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(QStringLiteral("個人マスターに対象となるデータが存在しません。")));
        QVERIFY(!QFile::exists(path));
    }

    void unknownCategoryIsNamedOnStandardError()
    {
        TestHome home;
        QVERIFY(ExportFixture::build(home));
        QVERIFY(
            dbs().monthly.exec(QStringLiteral("UPDATE 個人 SET 区分 = '11' WHERE 社員番号 IN ('000003', '000005')")));
        closeAllDatabases();
        const QString path = home.file(QStringLiteral("kintai0.dat"));
        const Run r = batch(month(QStringLiteral("pca"), path));
        QCOMPARE(r.exitCode, 0);
        const QStringList lines = r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(0).contains(QStringLiteral("000003")) && lines.at(0).contains(QStringLiteral("11")));
        QVERIFY(lines.at(1).contains(QStringLiteral("000005")));
        // Their records are all zero literals.
        QVERIFY(contents(path).contains("\r\n0003,       0,       0,"));
    }
};

QTEST_GUILESS_MAIN(TestBatchExport)
#include "tst_batchexport.moc"
