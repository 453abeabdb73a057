// How a batch login gets its password: --password-file FILE and --password - (standard input)
// keep it out of the process list and the shell history; --password P still works. Exactly
// one of them is given; the password is checked as the login screen checks it.

#include "store/DbFile.h"
#include "store/ExFile.h"
#include "tests/support/TestHome.h"

#include <QFile>
#include <QProcess>
#include <QTest>

namespace {

struct Run {
    int code = -1;
    QString out, err;
};

// Runs corvan21-batch with the given standard input (closed after it; none when null).
Run batch(const QStringList &args, const QByteArray &input = QByteArray())
{
    QProcess p;
    p.start(QStringLiteral(CORVAN_BATCH), args);
    if (!p.waitForStarted(5000))
        return {};
    if (!input.isNull())
        p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2,
            QString::fromLocal8Bit(p.readAllStandardOutput()), QString::fromLocal8Bit(p.readAllStandardError())};
}

QStringList exportTotals(const QString &out, const QStringList &password)
{
    return QStringList{QStringLiteral("export"), QStringLiteral("--month"), QStringLiteral("201012")} + password
           + QStringList{QStringLiteral("--kind"), QStringLiteral("totals"), QStringLiteral("--out"), out};
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestPassword : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestHome> m_home;
    QString m_out;

private slots:
    void init()
    {
        qputenv("CORVAN21_NOW", "2010-12-15T09:30:00");
        m_home.reset(new TestHome);
        QVERIFY(m_home->ok());
        QCOMPARE(batch({QStringLiteral("init")}).code, 0);
        QVERIFY(m_home->openMonth(QStringLiteral("201012")));
        QVERIFY(
            dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 VALUES ('01','000001','社員1','000000001','01','1')")));
        QCOMPARE(Password_Write(QStringLiteral("24680")), 0); // a user password beside the master one
        closeAllDatabases();
        m_out = m_home->file(QStringLiteral("totals.csv"));
    }
    void cleanup() { m_home.reset(); }

    void passwordFromAFileOrStandardInput_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("code");
        QTest::newRow("file, CR LF") << "file" << QByteArray("418305\r\n") << 0;
        QTest::newRow("file, user password, more lines") << "file" << QByteArray("24680\nsecond line\n") << 0;
        QTest::newRow("file, no line end") << "file" << QByteArray("24680") << 0;
        QTest::newRow("file, blanks around") << "file" << QByteArray("  24680 \n") << 0; // trimmed as on the screen
        QTest::newRow("file, wrong") << "file" << QByteArray("13579\n") << 1;
        QTest::newRow("file, empty") << "file" << QByteArray("") << 1;
        QTest::newRow("stdin") << "stdin" << QByteArray("418305\n") << 0;
        QTest::newRow("stdin, no line end") << "stdin" << QByteArray("24680") << 0;
        QTest::newRow("stdin, wrong") << "stdin" << QByteArray("2468\n") << 1;
        QTest::newRow("stdin, nothing") << "stdin" << QByteArray("") << 1;
        QTest::newRow("on the command line") << "line" << QByteArray("24680") << 0;
    }
    void passwordFromAFileOrStandardInput()
    {
        QFETCH(QString, how);
        QFETCH(QByteArray, text);
        QFETCH(int, code);
        QStringList password;
        QByteArray input;
        if (how == QLatin1String("file")) {
            const QString file = m_home->file(QStringLiteral("pw.txt"));
            QVERIFY(writeFile(file, text));
            password = {QStringLiteral("--password-file"), file};
        } else if (how == QLatin1String("stdin")) {
            password = {QStringLiteral("--password"), QStringLiteral("-")};
            input = text;
        } else {
            password = {QStringLiteral("--password"), QString::fromLatin1(text)};
        }
        const Run r = batch(exportTotals(m_out, password), input);
        QVERIFY2(r.code == code, qPrintable(QStringLiteral("%1: %2").arg(r.code).arg(r.err)));
        QCOMPARE(QFile::exists(m_out), code == 0);
        if (code == 1)
            QVERIFY2(r.err.contains(QStringLiteral("正しいパスワードを入力してください。")), qPrintable(r.err));
    }

    // The password options are checked before anything is read or written.
    void exactlyOnePasswordOption_data()
    {
        QTest::addColumn<QStringList>("password");
        QTest::addColumn<QString>("message");
        QTest::newRow("none") << QStringList{} << QStringLiteral("missing option --password-file or --password");
        QTest::newRow("both") << QStringList{QStringLiteral("--password"), QStringLiteral("418305"),
                                             QStringLiteral("--password-file"), QStringLiteral("pw.txt")}
                              << QStringLiteral("give either --password or --password-file, not both");
        QTest::newRow("missing file") << QStringList{QStringLiteral("--password-file"),
                                                     QStringLiteral("/nonexistent/pw")}
                                      << QStringLiteral("cannot read the password file /nonexistent/pw");
    }
    void exactlyOnePasswordOption()
    {
        QFETCH(QStringList, password);
        QFETCH(QString, message);
        for (const char *command : {"export", "process"}) {
            QStringList args = exportTotals(m_out, password);
            if (QLatin1String(command) == QLatin1String("process"))
                args = QStringList{QStringLiteral("process"), QStringLiteral("--month"), QStringLiteral("201012")}
                       + password;
            const Run r = batch(args);
            QCOMPARE(r.code, 2);
            QVERIFY2(r.err.contains(message), qPrintable(r.err));
            QVERIFY(!QFile::exists(m_out));
        }
    }
};

QTEST_GUILESS_MAIN(TestPassword)
#include "tst_password.moc"
