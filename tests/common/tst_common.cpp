#include "common/Common.h"
#include "common/Dialogs.h"
#include "common/SjisText.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/ScriptedDialogs.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString tooLarge() { return QString::fromLocal8Bit(std::strerror(EFBIG)); }

} // namespace

class TestCommon : public QObject
{
    Q_OBJECT
private slots:
    void clockHonoursFixedNow()
    {
        qputenv("CORVAN21_NOW", "2010-12-15T09:30:00");
        QCOMPARE(Clock::now(), QDateTime(QDate(2010, 12, 15), QTime(9, 30)));
        qputenv("CORVAN21_NOW", "2011-02-28");
        QCOMPARE(Clock::today(), QDate(2011, 2, 28));
        qunsetenv("CORVAN21_NOW");
        QVERIFY(qAbs(Clock::now().secsTo(QDateTime::currentDateTime())) < 5);
    }

    void programFolderHonoursHome()
    {
        qputenv("CORVAN21_HOME", "/tmp/somewhere/");
        QCOMPARE(programFolder(), QStringLiteral("/tmp/somewhere"));
        QCOMPARE(dataFolder(), QStringLiteral("/tmp/somewhere/data"));
        qunsetenv("CORVAN21_HOME");
    }

    void daysInMonth()
    {
        QCOMPARE(DaysInMonth(2010, 4), 30);
        QCOMPARE(DaysInMonth(2010, 12), 31);
        QCOMPARE(DaysInMonth(2010, 2), 28);
        QCOMPARE(DaysInMonth(2012, 2), 29);
        QCOMPARE(DaysInMonth(2100, 2), 29); // the simple leap rule, as the calendar screens use
    }

    void byteLengthCountsShiftJisBytes()
    {
        QCOMPARE(ByteLength(QStringLiteral("ABC")), 3);
        QCOMPARE(ByteLength(QStringLiteral("山田 太郎")), 9);
        QCOMPARE(ByteLength(QStringLiteral("ｱｲｳ")), 3); // half-width kana are one byte
        QCOMPARE(ByteLength(QString()), 0);
        QCOMPARE(OsName(), QString());
    }

    void trimBlanksKeepsFullWidthSpaceAndTabs()
    {
        QCOMPARE(trimBlanks(QStringLiteral("  abc  ")), QStringLiteral("abc"));
        QCOMPARE(trimBlanks(QStringLiteral("\u3000abc\t")), QStringLiteral("\u3000abc\t"));
        QCOMPARE(trimBlanks(QStringLiteral("   ")), QString());
        QCOMPARE(trimBlanks(QStringView(u" \u3000a b ")), QStringView(u"\u3000a b"));
        QVERIFY(trimBlanks(QStringView(u"  ")).isEmpty());
        QCOMPARE(trimBlanks(QStringLiteral(" \ta  b\t ")), QStringLiteral("\ta  b\t"));
        QVERIFY(trimBlanks(QString()).isNull());
        // A value with nothing to trim is handed back without a copy.
        const QString kept = QString::fromUtf8("山田\u3000太郎");
        QCOMPARE(trimBlanks(kept).constData(), kept.constData());
    }

    void zeroPadMatchesArgFormatting()
    {
        for (qint64 v : {qint64(0), qint64(7), qint64(12), qint64(123), qint64(99999), qint64(1234567890123),
                         qint64(-5), qint64(-123)})
            for (int w : {0, 1, 2, 4, 6, 9})
                QCOMPARE(zeroPad(v, w), QStringLiteral("%1").arg(v, w, 10, QLatin1Char('0')));
        QCOMPARE(zeroPad(3, 2), QStringLiteral("03"));
        QCOMPARE(zeroPad(16, 6), QStringLiteral("000016"));
    }

    void encodesCodePage932()
    {
        QCOMPARE(SjisText::encode(QStringLiteral("～")), QByteArray("\x81\x60"));
        QCOMPARE(SjisText::encode(QStringLiteral("髙")), QByteArray("\xfb\xfc"));
        QCOMPARE(SjisText::encode(QStringLiteral("山田")), QByteArray("\x8e\x52\x93\x63"));
        // Characters outside the code page become one "?" each and do not disturb the rest.
        QCOMPARE(SjisText::encode(QStringLiteral("a\U0001F600b€c")), QByteArray("a?b?c"));
        QCOMPARE(SjisText::decode(QByteArray("\x8e\x52\x93\x63")), QStringLiteral("山田"));
    }

    void writerEndsLinesWithCrLf()
    {
        QBuffer buf;
        buf.open(QIODevice::WriteOnly);
        SjisTextWriter w(&buf);
        w.writeLine(QStringLiteral("日報"));
        w.write(QStringLiteral("x"));
        QVERIFY(!w.failed());
        QCOMPARE(buf.data(), QByteArray("\x93\xfa\x95\xf1\r\nx"));
    }

    void atomicWriteKeepsOldFileOnFailure()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.txt"));
        QVERIFY(writeTextFileAtomic(path, "old\r\n").ok);
        // A path inside a missing folder cannot be written: the result says so.
        const auto bad = writeTextFileAtomic(dir.filePath(QStringLiteral("missing/out.txt")), "x");
        QVERIFY(!bad.ok);
        QVERIFY(bad.message().startsWith(QStringLiteral("ファイルを書き込めませんでした。\nError=")));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old\r\n"));
        QVERIFY(appendTextFile(path, "more").ok);
    }

    // The new content runs past the file-size cap: while still in the write buffer (the cut
    // shows only when it is flushed), and in one write larger than the buffer (the system takes
    // part of it). Either way the write fails naming the system's reason, the old file keeps
    // every byte and no temporary file is left beside it.
    void atomicWriteFailsWholeWhenFileFills_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::newRow("buffered") << qsizetype(12000);
        QTest::newRow("direct") << qsizetype(200000);
    }
    void atomicWriteFailsWholeWhenFileFills()
    {
        QFETCH(qsizetype, size);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("pages.html"));
        const QByteArray old = QByteArray("old page\r\n").repeated(30);
        QVERIFY(writeTextFileAtomic(path, old).ok);
        const QByteArray fresh(size, 'n');
        SjisText::WriteResult r;
        {
            FileSizeLimit cap(8192);
            QVERIFY(cap.ok());
            r = writeTextFileAtomic(path, fresh);
        }
        QVERIFY(!r.ok);
        QCOMPARE(r.description, tooLarge());
        QVERIFY(r.error != 0);
        QVERIFY(r.message().endsWith(QLatin1Char('\n') + tooLarge()));
        QCOMPARE(bytesOf(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("pages.html")});
        // With room again the same write goes through.
        QVERIFY(writeTextFileAtomic(path, fresh).ok);
        QCOMPARE(bytesOf(path), fresh);
    }

    void writerNamesReasonOfShortWrite()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("log.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        SjisTextWriter w(&f);
        {
            FileSizeLimit cap(4096);
            QVERIFY(cap.ok());
            w.writeBytes(QByteArray(100000, 'x'));
            w.writeLine(QStringLiteral("after"));
        }
        QVERIFY(w.failed());
        QCOMPARE(w.errorString(), tooLarge());
    }

    void scriptedDialogsRecordAndAnswer()
    {
        ScriptedDialogs d;
        d.answer(Dialogs::Answer::No);
        QVERIFY(!Dialogs::askYesNo(QStringLiteral("よろしいですか？"), QStringLiteral("確認")));
        Dialogs::inform(QStringLiteral("OK only"), QStringLiteral("t"));
        QCOMPARE(d.messages().size(), 2);
        QCOMPARE(d.messages().at(0).icon, Dialogs::Icon::Question);
        QCOMPARE(d.messages().at(0).buttons, Dialogs::Buttons::YesNo);
        QCOMPARE(d.last().text, QStringLiteral("OK only"));
        QVERIFY(d.drained());
    }

    void errorReportText()
    {
        ScriptedDialogs d;
        ErrorReport(53, QStringLiteral("ファイルが見つかりません"));
        QCOMPARE(d.last().text, QStringLiteral("エラー番号53\rファイルが見つかりません"));
        QCOMPARE(d.last().icon, Dialogs::Icon::Exclamation);
    }
};

QTEST_GUILESS_MAIN(TestCommon)
#include "tst_common.moc"
