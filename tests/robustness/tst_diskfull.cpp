// Writes that run out of room. A file-size limit (RLIMIT_FSIZE, with SIGXFSZ ignored, so that a
// write past it fails with EFBIG as one on a full disk fails with ENOSPC) is put on this process
// around a call, or on a corvan21-batch child, and the export, the backup and restore of the
// month and the collection and processing of punches must then fail with a clear message,
// leave the earlier files as they were, leave no half-written file under the final name and
// lose no punch.

#include "tests/output/ExportFixture.h"

#include "app/MonthFiles.h"
#include "calc/Period.h"
#include "common/Common.h"
#include "output/ExportJob.h"
#include "screens/frmFileOut.h"
#include "store/DbFile.h"
#include "store/ExFile.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/ProgramRuns.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

using ProgramRuns::Run;

// Runs corvan21-batch with its messages on stderr; limit > 0 puts the file-size limit on it.
Run batch(const QStringList &args, qint64 limit = 0)
{
    ProgramRuns::Options o;
    o.showMessages = true;
    o.fileSizeLimit = limit;
    return ProgramRuns::run(QStringLiteral(CORVAN_BATCH), args, o);
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &b)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(b) == b.size();
}

template <typename T>
T *child(QWidget *w, const QString &name)
{
    T *c = w->findChild<T *>(name);
    if (!c)
        qWarning("no control %s", qPrintable(name));
    return c;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

bool integrityOk(const QString &path)
{
    Database db;
    if (!db.open(path))
        return false;
    QVector<QStringList> r;
    return db.select(QStringLiteral("PRAGMA integrity_check"), r) && r.value(0).value(0) == QLatin1String("ok");
}

QStringList column(const QString &path, const QString &sql)
{
    Database db;
    QVector<QStringList> rows;
    if (!db.open(path) || !db.select(sql, rows))
        return {QStringLiteral("<unreadable>")};
    QStringList k;
    for (const QStringList &r : rows)
        k << r.value(0);
    return k;
}

// What the system says of a write past the limit (on a full disk: no space left on device).
QString tooLarge() { return QString::fromLocal8Bit(std::strerror(EFBIG)); }

int repeats(const QStringList &l) { return int(l.size() - QSet<QString>(l.begin(), l.end()).size()); }

QStringList stateLines(const QString &path)
{
    QStringList out;
    for (const QByteArray &l : bytesOf(path).split('\n'))
        if (!l.trimmed().isEmpty())
            out << QString::fromLatin1(l.left(22));
    return out;
}

const QString kPunchKey = QStringLiteral("月 || 日 || 時 || 分 || 秒 || IDコード || 入退 || 異例コード");

// 22 characters each (MMDDhhmmss, card, in/out, exception code), January 2010 08:00-09:59,
// 20 cards; the times are distinct, so every record is its own punch.
QStringList punchRecords(int n)
{
    QStringList r;
    for (int i = 0; i < n; ++i) {
        const int rest = i / 28;
        r << QStringLiteral("01") + zeroPad(i % 28 + 1, 2) + zeroPad(8 + rest / 60, 2) + zeroPad(rest % 60, 2)
                 + QStringLiteral("00") + zeroPad(i % 20 + 1, 9) + QString::number(i % 2) + QStringLiteral("00");
    }
    return r;
}

QStringList login(const QString &command, const QString &month)
{
    return {command, QStringLiteral("--month"), month, QStringLiteral("--password"), QStringLiteral("418305")};
}

} // namespace

class TestDiskFull : public QObject
{
    Q_OBJECT
private slots:
    void init() { qputenv("CORVAN21_NOW", "2010-03-02T10:00:00"); }

    // exportToFile is the write of ファイル出力 and of the batch tool alike.
    void exportKeepsTheEarlierFile_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::newRow("individual csv") << int(ExportKind::Individual) << "個人.csv"
                                        << "個人CSVファイル出力エラー";
        QTest::newRow("daily txt") << int(ExportKind::Daily) << "日報.txt"
                                   << "日報TXTファイル出力エラー";
        QTest::newRow("totals csv") << int(ExportKind::Totals) << "集計.csv"
                                    << "集計CSVファイル出力エラー";
    }
    void exportKeepsTheEarlierFile()
    {
        QFETCH(int, kind);
        QFETCH(QString, name);
        QFETCH(QString, title);
        TestHome home;
        QVERIFY(ExportFixture::build(home));
        auto inputs = std::make_unique<ExportFixture::Inputs>();
        ExportJob job;
        job.kind = ExportKind(kind);
        job.employeeCount = inputs->load();
        QVERIFY(job.employeeCount > 0);
        PeriodRange period;
        QVERIFY(Period_Set(inputs->run, inputs->company, period));
        for (int i = 0; i < job.employeeCount; ++i)
            job.employees << i;
        job.dates = periodDates(period);
        const MonthInputs in = inputs->in();

        const QString folder = home.file(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QLatin1Char('/') + name;
        QVERIFY(exportToFile(job, in, path).ok);
        const QByteArray full = bytesOf(path);
        QVERIFY(full.size() > 200);

        const QByteArray old("last month's export\r\n");
        QVERIFY(writeBytes(path, old));
        {
            FileSizeLimit limit(full.size() / 2);
            QVERIFY(limit.ok());
            const ExportResult r = exportToFile(job, in, path);
            QVERIFY2(!r.ok, qPrintable(QStringLiteral("reported as written; %1 of %2 bytes under the name")
                                           .arg(bytesOf(path).size())
                                           .arg(full.size())));
            QCOMPARE(r.errorTitle, title);
            QVERIFY2(r.errorText.startsWith(QStringLiteral("ファイルを書き込めませんでした。\r\nError=")),
                     qPrintable(r.errorText));
            // The error names the cause, not only that something failed.
            QVERIFY2(r.errorText.endsWith(tooLarge()), qPrintable(r.errorText));

            // A new name whose empty file the save dialog made is taken away again.
            const QString fresh = folder + QStringLiteral("/new") + name;
            QVERIFY(writeBytes(fresh, {}));
            QVERIFY(!exportToFile(job, in, fresh, true).ok);
            QVERIFY(!QFile::exists(fresh));
        }
        QCOMPARE(bytesOf(path), old);
        QCOMPARE(entries(folder), QStringList{name});
        // With room again the same export is written whole.
        QVERIFY(exportToFile(job, in, path).ok);
        QCOMPARE(bytesOf(path), full);
    }

    void batchExportFailsWithAMessageAndKeepsTheFile()
    {
        TestHome home;
        QVERIFY(ExportFixture::build(home));
        closeAllDatabases();
        const QString folder = home.file(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/k.txt");
        const QStringList args =
            login(QStringLiteral("export"), QStringLiteral("201002"))
            + QStringList{QStringLiteral("--kind"), QStringLiteral("individual"), QStringLiteral("--out"), path};
        Run r = batch(args);
        QCOMPARE(r.exitCode, 0);
        const QByteArray full = bytesOf(path);
        QVERIFY(full.size() > 1000);

        const QByteArray old("last month's export\r\n");
        QVERIFY(writeBytes(path, old));
        // Room for the databases the login touches, not for the whole export.
        r = batch(args, full.size() / 2);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.startsWith(QStringLiteral("個人TXTファイル出力エラー: ファイルを書き込めませんでした。 Error=")),
                 qPrintable(r.err));
        QVERIFY2(r.err.endsWith(tooLarge()), qPrintable(r.err));
        QVERIFY2(!r.out.contains(QStringLiteral("ファイルを出力しました")), qPrintable(r.out));
        QCOMPARE(bytesOf(path), old);
        QCOMPARE(entries(folder), QStringList{QStringLiteral("k.txt")});
        for (const QString &f : {masterDbPath(), monthlyDbPath(QStringLiteral("201002"))})
            QVERIFY2(integrityOk(f), qPrintable(f));
    }

    void exportScreenShowsTheCause()
    {
        TestHome home;
        QVERIFY(ExportFixture::build(home));
        // Enough employees that the export outgrows every database the screen writes on its way
        // (the export folder is kept in 起動).
        for (int i = 0; i < 90; ++i)
            QVERIFY(dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 (NO, 社員番号, 氏名, カード番号, 区分, 対象) "
                                                      "VALUES (?, ?, 'X', ?, '01', '1')"),
                                       {zeroPad(i + 10, 3), zeroPad(100000 + i, 6), zeroPad(100 + i, 9)}));
        ScriptedDialogs dlg;
        frmFileOut w;
        const QString folder = home.file(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/個人.txt");
        dlg.answerFile(path);
        child<QPushButton>(&w, QStringLiteral("cmdFileOut"))->click();
        QCOMPARE(dlg.last().text, QStringLiteral("ファイルを出力しました"));
        const QByteArray full = bytesOf(path);
        qint64 biggest = 0;
        for (const QString &f : entries(dataFolder()))
            biggest = qMax(biggest, QFileInfo(dataFolder() + QLatin1Char('/') + f).size());
        QVERIFY2(full.size() > biggest + 64 * 1024,
                 qPrintable(QStringLiteral("%1 / %2").arg(full.size()).arg(biggest)));

        const QByteArray old("last month's export\r\n");
        QVERIFY(writeBytes(path, old));
        dlg.clear();
        {
            FileSizeLimit limit(biggest + 32 * 1024);
            QVERIFY(limit.ok());
            dlg.answerFile(path);
            dlg.answer(Dialogs::Answer::Yes); // overwrite
            child<QPushButton>(&w, QStringLiteral("cmdFileOut"))->click();
        }
        QVERIFY(dlg.drained());
        QCOMPARE(dlg.messages().size(), 2);
        QCOMPARE(dlg.last().title, QStringLiteral("個人TXTファイル出力エラー"));
        QVERIFY2(dlg.last().text.startsWith(QStringLiteral("ファイルを書き込めませんでした。\r\nError=")),
                 qPrintable(dlg.last().text));
        QVERIFY2(dlg.last().text.endsWith(tooLarge()), qPrintable(dlg.last().text));
        QCOMPARE(bytesOf(path), old);
        QCOMPARE(entries(folder), QStringList{QStringLiteral("個人.txt")});
    }

    void backupAndRestoreKeepTheirFiles()
    {
        qputenv("CORVAN21_NOW", "2010-12-15T09:30:00");
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201012")));
        ScriptedDialogs dlg;
        const QString month = monthlyDbPath(QStringLiteral("201012"));
        const QString folder = home.file(QStringLiteral("bk"));
        QVERIFY(QDir().mkpath(folder));
        const QString backup = folder + QStringLiteral("/201012corvanbk.mdb");
        auto punch = [](int day) {
            return dbs().monthly.exec(
                QStringLiteral("INSERT INTO タイムカード (月, 日, 時, 分, 秒, IDコード, 入退, 異例コード, CR) "
                               "VALUES ('12', ?, '08', '30', '00', '000000016', '0', '00', '0')"),
                {zeroPad(day, 2)});
        };
        QVERIFY(punch(1));

        // No backup yet and no room for one: nothing appears under the backup's name.
        const qint64 monthSize = QFileInfo(month).size();
        const QByteArray monthBefore = bytesOf(month);
        {
            FileSizeLimit limit(monthSize / 2);
            QVERIFY(limit.ok());
            dlg.answerFile(folder);
            dlg.answer(Dialogs::Answer::Cancel);
            QVERIFY(!backupMonth());
        }
        QVERIFY2(dlg.last().text.startsWith(QStringLiteral("バックアップに失敗しました。\n\nエラー：(")),
                 qPrintable(dlg.last().text));
        QCOMPARE(dlg.last().title, QStringLiteral("バックアップ"));
        QVERIFY2(dlg.last().text.contains(tooLarge()), qPrintable(dlg.last().text));
        QCOMPARE(entries(folder), QStringList());
        QVERIFY(dbs().monthly.isOpen());
        QCOMPARE(bytesOf(month), monthBefore);
        QVERIFY(g_startup.backupPath.isEmpty());

        // An earlier backup, then a newer month that no longer fits.
        dlg.answerFile(folder);
        QVERIFY(backupMonth());
        const QByteArray older = bytesOf(backup);
        QCOMPARE(older, monthBefore);
        QVERIFY(punch(2));
        const QByteArray monthNow = bytesOf(month);
        {
            FileSizeLimit limit(monthSize / 2);
            dlg.answerFile(folder);
            dlg.answer(Dialogs::Answer::Yes); // overwrite
            dlg.answer(Dialogs::Answer::Cancel);
            QVERIFY(!backupMonth());
        }
        QVERIFY2(dlg.last().text.startsWith(QStringLiteral("バックアップに失敗しました。")),
                 qPrintable(dlg.last().text));
        QCOMPARE(bytesOf(backup), older);
        QCOMPARE(entries(folder), QStringList{QStringLiteral("201012corvanbk.mdb")});
        QCOMPARE(bytesOf(month), monthNow);
        QVERIFY(dbs().monthly.isOpen());
        QVERIFY(integrityOk(month));

        // Restoring the earlier backup without room leaves the month as it is.
        const QStringList dataBefore = entries(dataFolder());
        {
            FileSizeLimit limit(monthSize / 2);
            dlg.answerFile(folder);
            dlg.answer(Dialogs::Answer::Yes);
            dlg.answer(Dialogs::Answer::Cancel);
            QVERIFY(!restoreMonth());
        }
        QVERIFY2(dlg.last().text.startsWith(QStringLiteral("ファイル呼び出しに失敗しました。\n\nエラー：(")),
                 qPrintable(dlg.last().text));
        QVERIFY2(dlg.last().text.contains(tooLarge()), qPrintable(dlg.last().text));
        QCOMPARE(bytesOf(month), monthNow);
        QCOMPARE(entries(dataFolder()), dataBefore);
        QVERIFY(dbs().monthly.isOpen());
        QVERIFY(integrityOk(month));
        QVERIFY(integrityOk(backup));

        // With room again both work.
        dlg.answerFile(folder);
        dlg.answer(Dialogs::Answer::Yes);
        QVERIFY(backupMonth());
        QCOMPARE(bytesOf(backup), monthNow);
        QVERIFY(dlg.drained());
    }

    // The intake database cannot grow: the collection fails, the recorder keeps every punch;
    // then the month's database cannot grow: the processing fails and moves nothing.
    void collectionAndProcessingLoseNoPunch()
    {
        qputenv("CORVAN21_NOW", "2010-01-29T10:00:00");
        TestHome home;
        constexpr int kPunches = 2000;
        const QStringList all = punchRecords(kPunches);
        const QSet<QString> expected(all.begin(), all.end());
        const QString punches = home.file(QStringLiteral("punches.txt"));
        QVERIFY(writeBytes(punches, all.join(QLatin1Char('\n')).toLatin1() + '\n'));
        const QString state = home.file(QStringLiteral("held.txt"));
        QProcess sim;
        const quint16 port = ProgramRuns::startSimulator(
            sim, QStringLiteral(CORVAN_SIM),
            {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--punches"), punches,
             QStringLiteral("--per-message"), QStringLiteral("50"), QStringLiteral("--state-file"), state});
        QVERIFY(port);
        QCOMPARE(stateLines(state).size(), kPunches);
        QCOMPARE(batch({QStringLiteral("init"), QStringLiteral("--port"), QString::number(port)}).exitCode, 0);
        QVERIFY(setUserSetting(UserKey::IP_adrs, QStringLiteral("127.0.0.1")));
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        QVERIFY(dbs().master.exec(QStringLiteral("UPDATE 会社 SET 締日 = '31'")));
        QVERIFY(dbs().monthly.exec(QStringLiteral("UPDATE 会社 SET 締日 = '31'")));
        for (int c = 1; c <= 20; ++c)
            QVERIFY(dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 VALUES (?, ?, 'X', ?, '01', '1')"),
                                       {zeroPad(c, 2), zeroPad(c, 6), zeroPad(c, 9)}));
        closeAllDatabases();
        const QString intake = intakeDbPath();
        const QString month = monthlyDbPath(QStringLiteral("201001"));
        const QString allRows = QStringLiteral("SELECT ") + kPunchKey + QStringLiteral(" FROM タイムカードテンプ");
        const QString liveRows = allRows + QStringLiteral(" WHERE 移行マーク <> '重'");
        const QString cardRows = QStringLiteral("SELECT ") + kPunchKey + QStringLiteral(" FROM タイムカード");

        // Room for every file as it is and a little more, not for 2000 new intake rows.
        auto limitNow = [&] {
            qint64 biggest = 0;
            for (const QString &f : entries(dataFolder()))
                biggest = qMax(biggest, QFileInfo(dataFolder() + QLatin1Char('/') + f).size());
            return biggest + 16 * 1024;
        };
        const qint64 intakeBefore = QFileInfo(intake).size();
        Run r = batch(login(QStringLiteral("collect"), QStringLiteral("201001")), limitNow());
        qInfo("collect under the limit: %s / %s", qPrintable(r.out.simplified()), qPrintable(r.err.simplified()));
        QCOMPARE(r.exitCode, 1);
        // 通信エラー with the database's own words for the failed write.
        QVERIFY2(r.out.contains(QStringLiteral("結果コード 3840")), qPrintable(r.out + r.err));
        QVERIFY2(r.out.contains(QStringLiteral("Err : ")), qPrintable(r.out));
        QCOMPARE(stateLines(state).size(), kPunches); // the recorder was not erased
        QVERIFY(integrityOk(intake));
        QCOMPARE(column(intake, allRows), QStringList());
        QVERIFY(QFileInfo(intake).size() <= intakeBefore + 16 * 1024);

        // With room again every punch arrives once and the recorder is emptied.
        r = batch(login(QStringLiteral("collect"), QStringLiteral("201001")));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(stateLines(state).size(), 0);
        QVERIFY(integrityOk(intake));
        QStringList live = column(intake, liveRows);
        QCOMPARE(repeats(live), 0);
        QCOMPARE(QSet<QString>(live.begin(), live.end()), expected);

        // Processing into a month database that cannot grow moves nothing.
        r = batch(login(QStringLiteral("process"), QStringLiteral("201001")), limitNow());
        qInfo("process under the limit: %s / %s", qPrintable(r.out.simplified()), qPrintable(r.err.simplified()));
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(QStringLiteral("エラー番号")), qPrintable(r.err));
        QVERIFY(integrityOk(intake));
        QVERIFY(integrityOk(month));
        live = column(intake, liveRows);
        QStringList cards = column(month, cardRows);
        QCOMPARE(repeats(live), 0);
        QCOMPARE(cards, QStringList());
        QCOMPARE(QSet<QString>(live.begin(), live.end()), expected);

        r = batch(login(QStringLiteral("process"), QStringLiteral("201001")));
        QCOMPARE(r.exitCode, 0);
        cards = column(month, cardRows);
        QCOMPARE(repeats(cards), 0);
        QCOMPARE(QSet<QString>(cards.begin(), cards.end()), expected);
        QCOMPARE(column(intake, allRows), QStringList());
        QVERIFY(integrityOk(intake));
        QVERIFY(integrityOk(month));
        ProgramRuns::stopSimulator(sim);
    }
};

QTEST_MAIN(TestDiskFull)
#include "tst_diskfull.moc"
