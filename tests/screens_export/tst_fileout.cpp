// The export screen: what it offers when it opens, its visibility rules and pickers, its
// validation messages, the save dialog's checks and the payroll choice it keeps.

#include "tests/output/ExportFixture.h"

#include "screens/frmDateSelect.h"
#include "screens/frmFileOut.h"

#include "store/DbFile.h"
#include "store/ExFile.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestHome.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace {

template <typename T>
T *child(QWidget *w, const QString &name)
{
    T *c = w->findChild<T *>(name);
    if (!c)
        qWarning("no control %s", qPrintable(name));
    return c;
}

void choose(QWidget *w, const QString &radio) { child<QRadioButton>(w, radio)->click(); }
bool shown(QWidget *w, const QString &name) { return !child<QWidget>(w, name)->isHidden(); }

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
}

} // namespace

class TestFileOut : public QObject
{
    Q_OBJECT
private slots:
    void init() { qputenv("CORVAN21_NOW", "2010-03-02T10:00:00"); }

    void opensWithTheMonthsEmployeesAndDates()
    {
        TestHome home;
        QVERIFY(ExportFixture::build(home));
        ScriptedDialogs dlg;
        frmFileOut w;
        auto *emp = child<QComboBox>(&w, QStringLiteral("cbo社員番号"));
        QCOMPARE(emp->count(), 6);
        QCOMPARE(emp->itemText(1), QStringLiteral("000002 髙橋一郎"));
        QCOMPARE(emp->currentIndex(), 0);
        QCOMPARE(child<QComboBox>(&w, QStringLiteral("cbo範囲社員_1"))->currentIndex(), 5);
        QCOMPARE(child<QListWidget>(&w, QStringLiteral("lst任意社員"))->count(), 6);
        auto *dates = child<QComboBox>(&w, QStringLiteral("cbo日付"));
        QCOMPARE(dates->count(), 28);
        QCOMPARE(dates->itemText(0), QStringLiteral("2010年 02月 01日"));
        QCOMPARE(child<QComboBox>(&w, QStringLiteral("cbo範囲日付_1"))->currentText(),
                 QStringLiteral("2010年 02月 28日"));
        for (int i = 0; i < kItemCount; ++i)
            QVERIFY(child<QCheckBox>(&w, QStringLiteral("chk項目_%1").arg(i))->isChecked());
        QVERIFY(dlg.messages().isEmpty());
    }

    void framesFollowTheChoices()
    {
        TestHome home;
        QVERIFY(ExportFixture::build(home));
        ScriptedDialogs dlg;
        frmFileOut w;
        QVERIFY(shown(&w, QStringLiteral("Frame1")) && !shown(&w, QStringLiteral("Frame2"))
                && !shown(&w, QStringLiteral("Frame6")));
        QVERIFY(!shown(&w, QStringLiteral("Frame3")) && !shown(&w, QStringLiteral("Frame4")));
        choose(&w, QStringLiteral("opt対象社員_1"));
        QVERIFY(shown(&w, QStringLiteral("Frame3")) && !shown(&w, QStringLiteral("Frame4")));
        choose(&w, QStringLiteral("opt対象社員_2"));
        QVERIFY(!shown(&w, QStringLiteral("Frame3")) && shown(&w, QStringLiteral("Frame4")));
        QVERIFY(shown(&w, QStringLiteral("cbo範囲社員_0")) && !shown(&w, QStringLiteral("lst任意社員")));
        choose(&w, QStringLiteral("opt複数社員_1"));
        QVERIFY(!shown(&w, QStringLiteral("cbo範囲社員_0")) && !shown(&w, QStringLiteral("lbl範囲社員"))
                && shown(&w, QStringLiteral("lst任意社員")));

        choose(&w, QStringLiteral("optファイル種別_1"));
        QVERIFY(!shown(&w, QStringLiteral("Frame1")) && shown(&w, QStringLiteral("Frame2"))
                && shown(&w, QStringLiteral("Frame5")));
        QVERIFY(!shown(&w, QStringLiteral("Frame10")) && !shown(&w, QStringLiteral("Frame11")));
        choose(&w, QStringLiteral("opt対象日_1"));
        QVERIFY(shown(&w, QStringLiteral("Frame10")) && !shown(&w, QStringLiteral("Frame11")));
        choose(&w, QStringLiteral("opt対象日_0")); // "１ヶ月" leaves the frames as they were
        QVERIFY(shown(&w, QStringLiteral("Frame10")) && !shown(&w, QStringLiteral("Frame11")));
        choose(&w, QStringLiteral("opt対象日_2"));
        QVERIFY(!shown(&w, QStringLiteral("Frame10")) && shown(&w, QStringLiteral("Frame11")));
        choose(&w, QStringLiteral("opt複数日付_1"));
        QVERIFY(!shown(&w, QStringLiteral("cmdDateSel1_0")) && shown(&w, QStringLiteral("lst任意日付")));

        choose(&w, QStringLiteral("optファイル種別_2"));
        QVERIFY(shown(&w, QStringLiteral("Frame6")) && !shown(&w, QStringLiteral("Frame5"))
                && !shown(&w, QStringLiteral("Frame7")));
        choose(&w, QStringLiteral("opt集計_1"));
        QVERIFY(shown(&w, QStringLiteral("Frame7")));
    }

    void rangesNeverReverse()
    {
        TestHome home;
        QVERIFY(ExportFixture::build(home));
        ScriptedDialogs dlg;
        frmFileOut w;
        for (const QString &base : {QStringLiteral("cbo範囲社員_"), QStringLiteral("cbo範囲日付_")}) {
            auto *from = child<QComboBox>(&w, base + QLatin1Char('0'));
            auto *to = child<QComboBox>(&w, base + QLatin1Char('1'));
            to->setCurrentIndex(2);
            from->setCurrentIndex(4); // past "to": "to" follows
            QCOMPARE(to->currentIndex(), 4);
            from->setCurrentIndex(3);
            QCOMPARE(to->currentIndex(), 4);
            to->setCurrentIndex(1); // before "from": "from" follows
            QCOMPARE(from->currentIndex(), 1);
        }
    }

    void dateButtonOpensThePickerWithinThePeriod()
    {
        TestHome home;
        QVERIFY(ExportFixture::build(home));
        ScriptedDialogs dlg;
        frmFileOut w;
        w.show();
        choose(&w, QStringLiteral("optファイル種別_1"));
        choose(&w, QStringLiteral("opt対象日_1"));
        auto *date = child<QComboBox>(&w, QStringLiteral("cbo日付"));
        date->setCurrentIndex(2);
        QDate shownMonth;
        QTimer::singleShot(0, this, [&] {
            auto *picker = qobject_cast<frmDateSelect *>(QApplication::activeModalWidget());
            QVERIFY(picker);
            QCOMPARE(picker->MinDate(), QDate(2010, 2, 1));
            QCOMPARE(picker->MaxDate(), QDate(2010, 2, 28));
            shownMonth = picker->displayedMonth();
            // February 2010 begins on a Monday: the 7th is the eighth button, Sunday first.
            picker->findChild<QPushButton *>(QStringLiteral("chkDay_7"))->click();
        });
        child<QPushButton>(&w, QStringLiteral("cmdDateSel"))->click();
        QCOMPARE(shownMonth, QDate(2010, 2, 1));
        QCOMPARE(date->currentIndex(), 6);

        QTimer::singleShot(0, this, [&] {
            auto *picker = qobject_cast<frmDateSelect *>(QApplication::activeModalWidget());
            QVERIFY(picker);
            picker->findChild<QPushButton *>(QStringLiteral("cmdCancel"))->click();
        });
        child<QPushButton>(&w, QStringLiteral("cmdDateSel"))->click();
        QCOMPARE(date->currentIndex(), 6);
    }

    void missingChoicesAreRefusedBeforeAnyFileDialog()
    {
        TestHome home;
        QVERIFY(ExportFixture::build(home));
        ScriptedDialogs dlg;
        {
            frmFileOut w;
            choose(&w, QStringLiteral("opt対象社員_2"));
            choose(&w, QStringLiteral("opt複数社員_1"));
            child<QPushButton>(&w, QStringLiteral("cmdFileOut"))->click();
            QCOMPARE(dlg.last().text, QStringLiteral("社員番号指定を行って下さい"));
            QCOMPARE(dlg.last().title, QStringLiteral("ファイル出力"));
            QCOMPARE(dlg.last().icon, Dialogs::Icon::Exclamation);

            choose(&w, QStringLiteral("optファイル種別_1"));
            choose(&w, QStringLiteral("opt対象日_2"));
            choose(&w, QStringLiteral("opt複数日付_1"));
            child<QPushButton>(&w, QStringLiteral("cmdFileOut"))->click();
            QCOMPARE(dlg.last().text, QStringLiteral("日付け指定を行って下さい"));
        }
        QVERIFY(dbs().monthly.exec(QStringLiteral("UPDATE 個人 SET 対象 = '0'")));
        frmFileOut empty;
        child<QPushButton>(&empty, QStringLiteral("cmdFileOut"))->click();
        QCOMPARE(dlg.last().text,
                 QStringLiteral("個人マスターに対象となるデータが存在しません。\r\n個人マスターを登録して下さい。"));
        QCOMPARE(dlg.messages().size(), 3);
        QVERIFY(dlg.fileRequests().isEmpty());
    }

    void saveDialogAsksAgainUntilTheNameIsUsable()
    {
        TestHome home;
        QVERIFY(ExportFixture::build(home));
        ScriptedDialogs dlg;
        const QString readOnly = home.file(QStringLiteral("ro.csv"));
        const QString hidden = home.file(QStringLiteral(".hidden.csv"));
        const QString existing = home.file(QStringLiteral("out/old.csv"));
        QDir().mkpath(home.file(QStringLiteral("out")));
        writeFile(readOnly, "keep");
        QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup);
        writeFile(hidden, "keep");
        writeFile(existing, "old");

        frmFileOut w;
        choose(&w, QStringLiteral("opt対象社員_1")); // the first employee, 000001
        dlg.answerFile(readOnly);
        dlg.answerFile(hidden);
        QDir().mkpath(home.file(QStringLiteral("dir.csv")));
        dlg.answerFile(home.file(QStringLiteral("dir.csv"))); // a folder is no file name
        dlg.answerFile(home.file(QStringLiteral("x.xls")));   // neither layout
        dlg.answerFile(existing);
        for (int i = 0; i < 4; ++i) // the four warnings before the question
            dlg.answer(Dialogs::Answer::Ok);
        dlg.answer(Dialogs::Answer::No);
        dlg.answerFile(existing);
        dlg.answer(Dialogs::Answer::Yes);
        child<QPushButton>(&w, QStringLiteral("cmdFileOut"))->click();
        QVERIFY(dlg.drained());

        const Dialogs::FileRequest first = dlg.fileRequests().first();
        QCOMPARE(first.kind, Dialogs::FileRequest::Kind::Save);
        QCOMPARE(first.title, QStringLiteral("ファイル出力"));
        QCOMPARE(first.fileName, QStringLiteral("2010年02月度個人"));
        QCOMPARE(first.filters, (QStringList{QStringLiteral("データファイル（csv形式） (*.csv)"),
                                             QStringLiteral("テキスト(txt形式) (*.txt)")}));
        QCOMPARE(dlg.fileRequests().size(), 6);

        const auto &m = dlg.messages();
        QCOMPARE(m.size(), 7);
        QCOMPARE(m[0].text, QStringLiteral("次のファイルは書き込み禁止になっています。\r\n") + readOnly);
        QCOMPARE(m[0].title, QStringLiteral("ファイル出力エラー"));
        QCOMPARE(m[1].text, QStringLiteral("そのファイル名は使用できません。\r\n別のファイル名にして下さい。"));
        QCOMPARE(m[1].title, QStringLiteral("ファイル出力エラー"));
        QCOMPARE(m[2].text, m[1].text);
        QVERIFY(m[3].text.startsWith(QStringLiteral("そのファイル名は使用できません。")));
        QCOMPARE(m[4].text,
                 QStringLiteral("次のファイルは既に存在します。上書きしてもよろしいですか？\r\n") + existing);
        QCOMPARE(m[4].title, QStringLiteral("ファイル出力"));
        QCOMPARE(m[4].buttons, Dialogs::Buttons::YesNo);
        QCOMPARE(m[4].icon, Dialogs::Icon::Question);
        QCOMPARE(m[6].text, QStringLiteral("ファイルを出力しました"));
        QCOMPARE(m[6].icon, Dialogs::Icon::Information);

        QCOMPARE(contents(existing), ExportFixture::expected(QStringLiteral("individual_000001.csv")));
        QCOMPARE(contents(readOnly), QByteArray("keep"));
        QCOMPARE(contents(hidden), QByteArray("keep"));
        QVERIFY(!QFile::exists(home.file(QStringLiteral("x.xls"))));

        // The folder is the next dialog's starting point, in memory and in 起動.
        QCOMPARE(g_startup.exportPath, home.file(QStringLiteral("out")));
        QVector<QStringList> rows;
        QVERIFY(dbs().master.select(QStringLiteral("SELECT 書き出しpath FROM 起動"), rows));
        QCOMPARE(rows.value(0).value(0), home.file(QStringLiteral("out")));
        dlg.clear();
        dlg.cancelFile();
        child<QPushButton>(&w, QStringLiteral("cmdFileOut"))->click();
        QCOMPARE(dlg.fileRequests().first().directory, home.file(QStringLiteral("out")));
        QVERIFY(dlg.messages().isEmpty()); // cancel ends the export silently
    }

    void payrollChoiceIsKeptBetweenUses()
    {
        TestHome home;
        QVERIFY(ExportFixture::build(home));
        ScriptedDialogs dlg;
        {
            frmFileOut w;
            QVERIFY(child<QRadioButton>(&w, QStringLiteral("opt集計_0"))->isChecked());
            choose(&w, QStringLiteral("optファイル種別_2"));
            choose(&w, QStringLiteral("opt集計_1"));
            choose(&w, QStringLiteral("opt給与ソフト_2"));
            const QString path = home.file(QStringLiteral("kintai.txt"));
            dlg.answerFile(path);
            child<QPushButton>(&w, QStringLiteral("cmdFileOut"))->click();
            QCOMPARE(dlg.fileRequests().first().fileName, QStringLiteral("kintai"));
            QCOMPARE(dlg.fileRequests().first().filters,
                     QStringList{QStringLiteral("弥生給与データ形式（txt形式） (*.txt)")});
            QCOMPARE(dlg.last().text, QStringLiteral("ファイルを出力しました"));
            QCOMPARE(contents(path), ExportFixture::expected(QStringLiteral("kintai_yayoi.txt")));
            w.close();
        }
        QCOMPARE(userSetting(UserKey::Syuukei), QStringLiteral("2"));
        {
            frmFileOut again;
            QVERIFY(child<QRadioButton>(&again, QStringLiteral("opt集計_1"))->isChecked());
            QVERIFY(child<QRadioButton>(&again, QStringLiteral("opt給与ソフト_2"))->isChecked());
            QCOMPARE(again.payrollChoice(), 2);
            choose(&again, QStringLiteral("opt給与ソフト_0"));
            dlg.answerFile(home.file(QStringLiteral("kintai0.dat")));
            choose(&again, QStringLiteral("optファイル種別_2"));
            child<QPushButton>(&again, QStringLiteral("cmdFileOut"))->click();
            QCOMPARE(dlg.fileRequests().last().fileName, QStringLiteral("kintai0"));
            QCOMPARE(contents(home.file(QStringLiteral("kintai0.dat"))),
                     ExportFixture::expected(QStringLiteral("kintai0.dat")));
            choose(&again, QStringLiteral("opt集計_0"));
            again.close();
        }
        QCOMPARE(userSetting(UserKey::Syuukei), QStringLiteral("-1"));
    }

    void writeFailureIsShownWithoutTheCompletionMessage()
    {
        TestHome home;
        QVERIFY(ExportFixture::build(home));
        ScriptedDialogs dlg;
        frmFileOut w;
        choose(&w, QStringLiteral("optファイル種別_1"));
        QVERIFY(dbs().monthly.exec(QStringLiteral("ALTER TABLE タイムカード RENAME TO 退避")));
        const QString path = home.file(QStringLiteral("日報.txt"));
        dlg.answerFile(path);
        child<QPushButton>(&w, QStringLiteral("cmdFileOut"))->click();
        QCOMPARE(dlg.messages().size(), 1);
        QCOMPARE(dlg.last().title, QStringLiteral("日報TXTファイル出力エラー"));
        QVERIFY(dlg.last().text.startsWith(QStringLiteral("ファイルを書き込めませんでした。\r\nError=")));
        QVERIFY(!QFile::exists(path)); // the empty file of the dialog's check is gone again
    }
};

QTEST_MAIN(TestFileOut)
#include "tst_fileout.moc"
