// The print selection screen: its pickers and their visibility, the selections the print
// button builds, the checks before printing and the printer dialog's answer carried out, one
// job per copy, into PDF files.

#include "screens/frmDateSelect.h"
#include "screens/frmKubunSet.h"
#include "screens/frmListPrint.h"
#include "screens/frmMasSet.h"

#include "common/Common.h"
#include "tests/output/ExportFixture.h"
#include "tests/output_print/PdfPages.h"

#include "output/PrintOut.h"
#include "store/DbFile.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestHome.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

bool noPrinter() { return false; }
bool aPrinter() { return true; }

template <typename T>
T *child(QWidget &w, const QString &name)
{
    T *c = w.findChild<T *>(name);
    if (!c)
        qWarning("no control %s", qPrintable(name));
    return c;
}

void choose(QWidget &w, const QString &radio) { child<QRadioButton>(w, radio)->click(); }

bool shown(QWidget &w, const QString &name) { return child<QWidget>(w, name)->isVisibleTo(&w); }

const QString kNoPrinter = QStringLiteral(
    "プリンタがインストールされていません。\r\nプリンタをインストールした後に、この作業を行って下さい。");

} // namespace

class TestListPrint : public QObject
{
    Q_OBJECT

    QScopedPointer<TestHome> m_home;
    QTemporaryDir m_out;

    Dialogs::PrintRequest toPdf(const QString &name, int copies = 1)
    {
        Dialogs::PrintRequest r;
        r.copies = copies;
        r.pdfPath = m_out.filePath(name);
        r.accepted = true;
        return r;
    }

private slots:
    void init()
    {
        qputenv("CORVAN21_NOW", "2010-03-02T10:00:00");
        m_home.reset(new TestHome);
        QVERIFY(ExportFixture::build(*m_home));
        PrintOut_SetPrinterProbe(aPrinter);
    }
    void cleanup()
    {
        PrintOut_SetPrinterProbe(nullptr);
        m_home.reset();
    }

    void pickersShowAsOnTheExportScreen()
    {
        frmListPrint w;
        QCOMPARE(child<QLabel>(w, QStringLiteral("lblTitle"))->text(), QStringLiteral("　帳票印刷　"));
        QCOMPARE(child<QGroupBox>(w, QStringLiteral("Frame1"))->title(), QStringLiteral("社員指定"));
        QCOMPARE(child<QGroupBox>(w, QStringLiteral("Frame2"))->title(), QStringLiteral("日付け指定"));
        QCOMPARE(child<QRadioButton>(w, QStringLiteral("Option4_2"))->text(), QStringLiteral("複数日付け"));
        QCOMPARE(child<QPushButton>(w, QStringLiteral("cmdPrint"))->text(), QStringLiteral("印刷"));

        // 個人リスト, 全社員 at first: no employee picker.
        QVERIFY(shown(w, QStringLiteral("Frame1")));
        QVERIFY(!shown(w, QStringLiteral("Frame2")));
        QVERIFY(!shown(w, QStringLiteral("Frame3")));
        QVERIFY(!shown(w, QStringLiteral("Frame4")));
        choose(w, QStringLiteral("Option2_1"));
        QVERIFY(shown(w, QStringLiteral("Combo1")));
        QVERIFY(!shown(w, QStringLiteral("Frame4")));
        choose(w, QStringLiteral("Option2_2"));
        QVERIFY(!shown(w, QStringLiteral("Frame3")));
        QVERIFY(shown(w, QStringLiteral("Combo2_0")));
        QVERIFY(!shown(w, QStringLiteral("List1")));
        choose(w, QStringLiteral("Option3_1"));
        QVERIFY(shown(w, QStringLiteral("List1")));
        QVERIFY(!shown(w, QStringLiteral("Combo2_1")));

        choose(w, QStringLiteral("Option1_1"));
        QVERIFY(!shown(w, QStringLiteral("Frame1")));
        QVERIFY(shown(w, QStringLiteral("Frame2")));
        QVERIFY(!shown(w, QStringLiteral("Frame10")));
        QVERIFY(!shown(w, QStringLiteral("Frame11")));
        choose(w, QStringLiteral("Option4_1"));
        QVERIFY(shown(w, QStringLiteral("cboDate1")));
        QVERIFY(shown(w, QStringLiteral("cmdDateSel1")));
        choose(w, QStringLiteral("Option4_0")); // "１ヶ月" leaves the frames as they were
        QVERIFY(shown(w, QStringLiteral("Frame10")));
        choose(w, QStringLiteral("Option4_2"));
        QVERIFY(!shown(w, QStringLiteral("Frame10")));
        QVERIFY(shown(w, QStringLiteral("cboDate2_1")));
        QVERIFY(shown(w, QStringLiteral("cmdDateSel2_0")));
        choose(w, QStringLiteral("Option5_1"));
        QVERIFY(shown(w, QStringLiteral("List2")));
        QVERIFY(!shown(w, QStringLiteral("cboDate2_0")));
    }

    void pickersHoldTheActiveEmployeesAndThePeriod()
    {
        frmListPrint w;
        auto *one = child<QComboBox>(w, QStringLiteral("Combo1"));
        QCOMPARE(one->count(), 6); // the inactive employee is not offered
        QCOMPARE(one->itemText(0), QStringLiteral("000001 山田太郎"));
        QCOMPARE(one->currentIndex(), 0);
        auto *from = child<QComboBox>(w, QStringLiteral("Combo2_0"));
        auto *to = child<QComboBox>(w, QStringLiteral("Combo2_1"));
        QCOMPARE(to->currentIndex(), 5);
        auto *dates = child<QComboBox>(w, QStringLiteral("cboDate2_1"));
        QCOMPARE(dates->count(), 28);
        QCOMPARE(dates->itemText(0), QStringLiteral("2010年 02月 01日"));
        QCOMPARE(dates->currentIndex(), 27);

        // A range is never reversed: the other end follows.
        to->setCurrentIndex(2);
        from->setCurrentIndex(4);
        QCOMPARE(to->currentIndex(), 4);
        to->setCurrentIndex(1);
        QCOMPARE(from->currentIndex(), 1);
    }

    void selectionsFollowTheChoices()
    {
        ScriptedDialogs dialogs;
        frmListPrint w;
        PrintJob job;
        QVERIFY(w.buildSelection(job));
        QCOMPARE(job.kind, ReportIndividual);
        QCOMPARE(job.employees, (QVector<int>{0, 1, 2, 3, 4, 5}));

        choose(w, QStringLiteral("Option2_1"));
        child<QComboBox>(w, QStringLiteral("Combo1"))->setCurrentIndex(3);
        QVERIFY(w.buildSelection(job));
        QCOMPARE(job.employees, QVector<int>{3});

        choose(w, QStringLiteral("Option2_2"));
        child<QComboBox>(w, QStringLiteral("Combo2_0"))->setCurrentIndex(2);
        child<QComboBox>(w, QStringLiteral("Combo2_1"))->setCurrentIndex(4);
        QVERIFY(w.buildSelection(job));
        QCOMPARE(job.employees, (QVector<int>{2, 3, 4}));

        choose(w, QStringLiteral("Option3_1"));
        auto *list = child<QListWidget>(w, QStringLiteral("List1"));
        list->item(4)->setSelected(true);
        list->item(1)->setSelected(true);
        QVERIFY(w.buildSelection(job));
        QCOMPARE(job.employees, (QVector<int>{1, 4})); // list order
        list->clearSelection();
        QVERIFY(!w.buildSelection(job));
        QCOMPARE(dialogs.messages().size(), 1);
        QCOMPARE(dialogs.last().text, QStringLiteral("社員番号指定を行って下さい"));
        QCOMPARE(dialogs.last().title, QStringLiteral("印刷"));
        QCOMPARE(dialogs.last().icon, Dialogs::Icon::Exclamation);

        choose(w, QStringLiteral("Option1_1"));
        QVERIFY(w.buildSelection(job));
        QCOMPARE(job.kind, ReportDaily);
        QCOMPARE(job.dates.size(), 28);
        QCOMPARE(job.dates.last(), QDate(2010, 2, 28));
        choose(w, QStringLiteral("Option4_2"));
        child<QComboBox>(w, QStringLiteral("cboDate2_0"))->setCurrentIndex(9);
        child<QComboBox>(w, QStringLiteral("cboDate2_1"))->setCurrentIndex(11);
        QVERIFY(w.buildSelection(job));
        QCOMPARE(job.dates, (QVector<QDate>{QDate(2010, 2, 10), QDate(2010, 2, 11), QDate(2010, 2, 12)}));
        choose(w, QStringLiteral("Option5_1"));
        QVERIFY(!w.buildSelection(job));
        QCOMPARE(dialogs.last().text, QStringLiteral("日付け指定を行って下さい"));
        QCOMPARE(dialogs.last().title, QStringLiteral("印刷"));
        QVERIFY(dialogs.drained());
    }

    void theDateButtonOpensThePickerLimitedToThePeriod()
    {
        frmListPrint w;
        w.show();
        choose(w, QStringLiteral("Option1_1"));
        choose(w, QStringLiteral("Option4_1"));
        QDate min, max;
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<frmDateSelect *>(QApplication::activeModalWidget());
            QVERIFY(d);
            min = d->MinDate();
            max = d->MaxDate();
            // February 2010 begins on a Monday: day 10 is the eleventh button.
            d->findChild<QPushButton *>(QStringLiteral("chkDay_10"))->click();
        });
        child<QPushButton>(w, QStringLiteral("cmdDateSel1"))->click();
        QCOMPARE(min, QDate(2010, 2, 1));
        QCOMPARE(max, QDate(2010, 2, 28));
        QCOMPARE(child<QComboBox>(w, QStringLiteral("cboDate1"))->currentIndex(), 9);
    }

    void noEmployeesNothingToPrint()
    {
        QVERIFY(dbs().monthly.exec(QStringLiteral("DELETE FROM 個人")));
        ScriptedDialogs dialogs;
        frmListPrint w;
        child<QPushButton>(w, QStringLiteral("cmdPrint"))->click();
        QCOMPARE(dialogs.messages().size(), 1); // and no printer dialog
        QCOMPARE(dialogs.last().text,
                 QStringLiteral("個人マスターに対象となるデータが存在しません。\r\n個人マスターを登録して下さい。"));
        QCOMPARE(dialogs.last().title, QStringLiteral("印刷"));
    }

    // The message says to install a printer first, and nothing else happens: no printer
    // dialog, no file. The PDF button prints all the same, and says nothing of printers.
    void withoutAPrinterOnlyThePdfButtonPrints()
    {
        PrintOut_SetPrinterProbe(noPrinter);
        ScriptedDialogs dialogs;
        const auto before = QDir(m_out.path()).entryList(QDir::Files);
        frmListPrint w;
        child<QPushButton>(w, QStringLiteral("cmdPrint"))->click();
        QCOMPARE(dialogs.messages().size(), 1);
        QCOMPARE(dialogs.last().text, kNoPrinter);
        QCOMPARE(dialogs.last().title, QStringLiteral("印刷"));
        QCOMPARE(dialogs.last().icon, Dialogs::Icon::Exclamation);
        QVERIFY(dialogs.fileRequests().isEmpty());
        QCOMPARE(QDir(m_out.path()).entryList(QDir::Files), before);

        dialogs.clear();
        QCOMPARE(child<QPushButton>(w, QStringLiteral("cmdPdf"))->text(), QStringLiteral("PDF出力"));
        dialogs.answerFile(m_out.filePath(QStringLiteral("all"))); // no extension given
        child<QPushButton>(w, QStringLiteral("cmdPdf"))->click();
        QVERIFY(dialogs.messages().isEmpty());
        QVERIFY(dialogs.drained());
        QCOMPARE(dialogs.fileRequests().size(), 1);
        const Dialogs::FileRequest ask = dialogs.fileRequests().at(0);
        QCOMPARE(ask.kind, Dialogs::FileRequest::Kind::Save);
        QCOMPARE(ask.title, QStringLiteral("PDF出力"));
        QCOMPARE(ask.fileName, QStringLiteral("2010年02月 勤務個人リスト.pdf"));
        const auto pages = PdfPages::read(m_out.filePath(QStringLiteral("all.pdf")));
        QCOMPARE(pages.size(), 6);
        QCOMPARE(PdfPages::find(pages[5], QStringLiteral("森鷗外")).size(), 1);

        // The selection is checked as for the printer; a cancelled file dialog ends silently.
        dialogs.clear();
        choose(w, QStringLiteral("Option2_2"));
        choose(w, QStringLiteral("Option3_1"));
        child<QPushButton>(w, QStringLiteral("cmdPdf"))->click();
        QCOMPARE(dialogs.messages().size(), 1);
        QCOMPARE(dialogs.last().text, QStringLiteral("社員番号指定を行って下さい"));
        QVERIFY(dialogs.fileRequests().isEmpty());
        dialogs.clear();
        choose(w, QStringLiteral("Option2_0"));
        dialogs.cancelFile();
        child<QPushButton>(w, QStringLiteral("cmdPdf"))->click();
        QVERIFY(dialogs.messages().isEmpty());
        QVERIFY(dialogs.drained());
    }

    void theMasterScreensStopWithoutAPrinterAndWritePdfs()
    {
        PrintOut_SetPrinterProbe(noPrinter);
        ScriptedDialogs dialogs;
        {
            frmMasSet w;
            w.show();
            child<QPushButton>(w, QStringLiteral("cmdPrint"))->click();
            QCOMPARE(dialogs.messages().size(), 1);
            QCOMPARE(dialogs.last().text, kNoPrinter);
            dialogs.clear();
            dialogs.answerFile(m_out.filePath(QStringLiteral("master.pdf")));
            child<QPushButton>(w, QStringLiteral("cmdPdf"))->click();
        }
        {
            frmKubunSet w;
            w.show();
            child<QPushButton>(w, QStringLiteral("cmdPrint"))->click();
            QCOMPARE(dialogs.messages().size(), 1);
            QCOMPARE(dialogs.last().text, kNoPrinter);
            dialogs.clear();
            dialogs.answerFile(m_out.filePath(QStringLiteral("kubun.pdf")));
            child<QPushButton>(w, QStringLiteral("cmdPdf"))->click();
        }
        QVERIFY(dialogs.messages().isEmpty());
        QVERIFY(dialogs.drained());
        const auto master = PdfPages::read(m_out.filePath(QStringLiteral("master.pdf")));
        QCOMPARE(master.size(), 1);
        QCOMPARE(PdfPages::find(master[0], QStringLiteral("個人マスターリスト")).size(), 1);
        const auto kubun = PdfPages::read(m_out.filePath(QStringLiteral("kubun.pdf")));
        QCOMPARE(kubun.size(), 1);
        QCOMPARE(PdfPages::find(kubun[0], QStringLiteral("区分10")).size(), 1);
    }

    void cancellingThePrinterDialogEndsSilently()
    {
        ScriptedDialogs dialogs;
        dialogs.cancelPrint();
        const auto before = QDir(m_out.path()).entryList(QDir::Files);
        frmListPrint w;
        child<QPushButton>(w, QStringLiteral("cmdPrint"))->click();
        QVERIFY(dialogs.messages().isEmpty());
        QVERIFY(dialogs.drained());
        QCOMPARE(QDir(m_out.path()).entryList(QDir::Files), before);
    }

    void twoCopiesAreTwoJobs()
    {
        ScriptedDialogs dialogs;
        dialogs.answerPrint(toPdf(QStringLiteral("day.pdf"), 2));
        frmListPrint w;
        choose(w, QStringLiteral("Option1_1"));
        choose(w, QStringLiteral("Option4_1"));
        child<QComboBox>(w, QStringLiteral("cboDate1"))->setCurrentIndex(6);
        child<QPushButton>(w, QStringLiteral("cmdPrint"))->click();
        QVERIFY(dialogs.messages().isEmpty());
        for (const QString &name : {QStringLiteral("day.pdf"), QStringLiteral("day-2.pdf")}) {
            const auto pages = PdfPages::read(m_out.filePath(name));
            QCOMPARE(pages.size(), 1);
            QCOMPARE(PdfPages::inBox(pages[0], 10, 80, 10, 15).value(0).text,
                     PdfPages::norm(QStringLiteral("年月日2010年02月07日(日)")));
            // The long name is narrowed to its column rather than run over 区.
            const auto name5 = PdfPages::find(pages[0], QStringLiteral("勅使河原左衛門三郎兵衛"));
            QCOMPARE(name5.size(), 1);
            QVERIFY(name5[0].x2 < 53);
        }
        QVERIFY(!QFileInfo::exists(m_out.filePath(QStringLiteral("day-3.pdf"))));
    }

    void theMasterScreensPrintTheirLists()
    {
        ScriptedDialogs dialogs;
        dialogs.answerPrint(toPdf(QStringLiteral("master.pdf")));
        dialogs.answerPrint(toPdf(QStringLiteral("kubun.pdf")));
        {
            frmMasSet w;
            w.show();
            child<QPushButton>(w, QStringLiteral("cmdPrint"))->click();
        }
        {
            frmKubunSet w;
            w.show();
            child<QPushButton>(w, QStringLiteral("cmdPrint"))->click();
        }
        QVERIFY(dialogs.messages().isEmpty());
        QVERIFY(dialogs.drained());
        const auto master = PdfPages::read(m_out.filePath(QStringLiteral("master.pdf")));
        QCOMPARE(master.size(), 1);
        QCOMPARE(PdfPages::find(master[0], QStringLiteral("個人マスターリスト")).size(), 1);
        QCOMPARE(PdfPages::find(master[0], QStringLiteral("休職者")).size(), 1);
        const auto kubun = PdfPages::read(m_out.filePath(QStringLiteral("kubun.pdf")));
        QCOMPARE(kubun.size(), 1);
        QCOMPARE(PdfPages::find(kubun[0], QStringLiteral("区分10")).size(), 1);
    }

    void aFileThatCannotBeWrittenIsReported()
    {
        ScriptedDialogs dialogs;
        dialogs.answerPrint(toPdf(QStringLiteral("no/such/folder.pdf")));
        frmListPrint w;
        child<QPushButton>(w, QStringLiteral("cmdPrint"))->click();
        QCOMPARE(dialogs.messages().size(), 1);
        QCOMPARE(dialogs.last().title, QStringLiteral("印刷")); // the printer (here its PDF file) could not be set up
        QVERIFY(dialogs.last().text.startsWith(QStringLiteral("印刷エラーが発生しました。\r\nError=75\r\n")));
    }
};

QTEST_MAIN(TestListPrint)
#include "tst_listprint.moc"
