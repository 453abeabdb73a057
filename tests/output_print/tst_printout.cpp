// The printed reports read back from their PDF: texts, positions in millimetres, the lines of
// the tables, page counts and page texts, the copies as separate jobs, and the failures.

#include "PdfPages.h"

#include "common/Common.h"
#include "tests/output/ExportFixture.h"

#include "calc/Calculate.h"
#include "calc/Period.h"
#include "output/PrintOut.h"
#include "output/ReportCanvas.h"
#include "store/DbFile.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using PdfPages::Page;
using PdfPages::Word;

namespace {

constexpr double kTol = 0.5; // mm

// The em of a text of the given size in mm, and its top as placed by the reports, found back
// from the word box that pdftotext gives (the face's ascent and descent around the baseline:
// 1.160 and 0.288 em; the reports put the em box's top, 0.88 em above the baseline, at the
// text's y).
double em(double points) { return points * 25.4 / 72.0; }
double textTop(const Word &w)
{
    const double size = (w.y2 - w.y1) / 1.448;
    const double baseline = w.y1 + 1.160 * size;
    return baseline - 0.88 * size;
}
// Centre of the text's em box, which the reports centre in their bands.
double textMiddle(const Word &w, double points) { return textTop(w) + em(points) / 2; }

QString keepFolder() { return qEnvironmentVariable("CORVAN_PRINT_KEEP"); }

void keep(const QString &pdf, const QString &name)
{
    if (keepFolder().isEmpty())
        return;
    QDir().mkpath(keepFolder());
    QFile::remove(keepFolder() + QLatin1Char('/') + name);
    QFile::copy(pdf, keepFolder() + QLatin1Char('/') + name);
}

} // namespace

class TestPrintOut : public QObject
{
    Q_OBJECT

    QScopedPointer<TestHome> m_home;
    QTemporaryDir m_out;
    int m_count = 0;
    // What the reports are computed from, held by the test.
    std::unique_ptr<ExportFixture::Inputs> m_inputs;
    MonthInputs in() const { return m_inputs->in(); }

    QString pdf(const QString &name) const { return m_out.filePath(name); }

    PrintResult print(const PrintJob &job, const QString &name)
    {
        const PrintResult r = PrintOut_Job(job, in(), QString(), pdf(name));
        keep(pdf(name), name);
        return r;
    }

    PrintJob individual(QVector<int> employees = {})
    {
        PrintJob job;
        job.kind = ReportIndividual;
        job.employeeCount = m_count;
        if (employees.isEmpty())
            for (int i = 0; i < m_count; ++i)
                employees << i;
        job.employees = employees;
        return job;
    }

    // Adds employees 100001.. with a day's punches, so that the tables run over a page.
    bool addEmployees(int n)
    {
        for (int i = 0; i < n; ++i) {
            const QString number = QString::number(100001 + i);
            const QString card = QStringLiteral("9%1").arg(i, 8, 10, QLatin1Char('0'));
            if (!dbs().monthly.exec(
                    QStringLiteral(
                        "INSERT INTO 個人 (NO, 社員番号, 氏名, カード番号, 区分, 対象) VALUES (?,?,?,?,?,?)"),
                    {QString::number(10 + i), number, QStringLiteral("社員%1").arg(i + 1), card, QStringLiteral("01"),
                     QStringLiteral("1")}))
                return false;
            for (const auto &[h, io] : {std::pair{"08", "0"}, std::pair{"17", "1"}})
                if (!dbs().monthly.exec(
                        QStringLiteral("INSERT INTO タイムカード (月, 日, 時, 分, 秒, IDコード, 入退, 異例コード, CR) "
                                       "VALUES ('02','01',?,'30','00',?,?,'00','0')"),
                        {QString::fromLatin1(h), card, QString::fromLatin1(io)}))
                    return false;
        }
        m_count = m_inputs->load();
        return true;
    }

private slots:
    void init()
    {
        qputenv("CORVAN21_NOW", "2010-03-02T10:00:00");
        m_home.reset(new TestHome);
        QVERIFY(ExportFixture::build(*m_home));
        m_inputs = std::make_unique<ExportFixture::Inputs>();
        m_count = m_inputs->load();
        QCOMPARE(m_count, 6);
        QVERIFY(m_inputs->categories > 0);
        PeriodRange period;
        QVERIFY(Period_Set(m_inputs->run, m_inputs->company, period));
    }
    void cleanup() { m_home.reset(); }

    void individualReportOfA28DayMonth()
    {
        const PrintResult r = print(individual(), QStringLiteral("individual.pdf"));
        QVERIFY(r.ok);
        QVERIFY(r.problems.isEmpty());
        QCOMPARE(r.jobs, 1);
        QCOMPARE(r.pages, 6); // one page per active employee
        const QVector<Page> pages = PdfPages::read(pdf(QStringLiteral("individual.pdf")));
        QCOMPARE(pages.size(), 6);
        const Page &p = pages[0];

        // Heading: the title centred in 70..130 over the band 5..10, the issue text ending at 190.
        const auto title = PdfPages::find(p, QStringLiteral("2010年02月"));
        QCOMPARE(title.size(), 1);
        const auto title2 = PdfPages::find(p, QStringLiteral("勤務個人リスト"));
        QCOMPARE(title2.size(), 1);
        QVERIFY(qAbs((title[0].x1 + title2[0].x2) / 2 - 100) < kTol);
        QVERIFY(qAbs(textMiddle(title[0], 10) - 7.5) < kTol);
        const auto issued = PdfPages::find(p, QStringLiteral("2010年03月02日"));
        QCOMPARE(issued.size(), 1);
        QVERIFY(qAbs(issued[0].x2 - 190) < kTol);
        QCOMPARE(PdfPages::find(p, QStringLiteral("発行")).size(), 1);

        // Employee block: captions and values at their x positions.
        QVERIFY(qAbs(PdfPages::find(p, QStringLiteral("社員番号")).value(0).x1 - 15) < kTol);
        QVERIFY(qAbs(PdfPages::find(p, QStringLiteral("カード番号")).value(0).x1 - 88) < kTol);
        QVERIFY(qAbs(PdfPages::find(p, QStringLiteral("山田太郎")).value(0).x1 - 40) < kTol);
        QVERIFY(qAbs(PdfPages::find(p, QStringLiteral("あり")).value(0).x1 - 126) < kTol);

        // Captions centred in their columns in the row 25..30.
        const auto dayCaption = PdfPages::find(p, QStringLiteral("月/日(曜)"));
        QCOMPARE(dayCaption.size(), 1);
        QVERIFY(qAbs(dayCaption[0].cx() - 27.5) < kTol);
        QVERIFY(qAbs(textMiddle(dayCaption[0], 9) - 27.5) < kTol);
        const auto nonStat = PdfPages::find(p, QStringLiteral("法定外"));
        QCOMPARE(nonStat.size(), 1);
        QVERIFY(qAbs(nonStat[0].cx() - 168) < kTol);

        // 28 day rows, from the row 30..35 on, each day label at the first column.
        auto days = PdfPages::matching(p, QRegularExpression(QStringLiteral("^02月\\d\\d日\\(.\\)$")));
        std::sort(days.begin(), days.end(), [](const Word &a, const Word &b) { return a.y1 < b.y1; });
        QCOMPARE(days.size(), 28);
        QCOMPARE(days.first().text, QStringLiteral("02月01日(月)"));
        QCOMPARE(days.last().text, QStringLiteral("02月28日(日)"));
        for (int d = 0; d < 28; ++d) {
            QVERIFY2(qAbs(textMiddle(days[d], 9) - (32.5 + 5 * d)) < kTol,
                     qPrintable(days[d].text + QString::number(textMiddle(days[d], 9))));
            QVERIFY(days[d].x1 > 15 && days[d].x1 < 17);
        }

        // 02/01: 08:40-19:10 gives work 7:45, late 0:15, overtime 1:30, total 9:15; clock texts
        // left in their columns, figures ending 1 mm left of the right line.
        const auto in = PdfPages::inBox(p, 40, 52, 30, 35);
        QCOMPARE(in.size(), 1);
        QCOMPARE(in[0].text, QStringLiteral("08:40"));
        QVERIFY(in[0].x1 > 40 && in[0].x1 < 42);
        QCOMPARE(PdfPages::inBox(p, 52, 64, 30, 35).value(0).text, QStringLiteral("19:10"));
        QVERIFY(PdfPages::inBox(p, 64, 88, 30, 35).isEmpty()); // no second pair
        const auto work = PdfPages::inBox(p, 88, 102, 30, 35);
        QCOMPARE(work.size(), 1);
        QCOMPARE(work[0].text, QStringLiteral("7:45"));
        QVERIFY(qAbs(work[0].x2 - 101) < kTol);
        QCOMPARE(PdfPages::inBox(p, 102, 114, 30, 35).value(0).text, QStringLiteral("0:15"));
        const auto total = PdfPages::inBox(p, 174, 190, 30, 35);
        QCOMPARE(total.value(0).text, QStringLiteral("9:15"));
        QVERIFY(qAbs(total.value(0).x2 - 189) < kTol);

        // A day without punches (02/06) prints nothing after its label.
        QVERIFY(PdfPages::inBox(p, 40, 190, 55, 60).isEmpty());
        // 02/08 has a clock-in only: the time shows, no figures.
        QCOMPARE(PdfPages::inBox(p, 40, 190, 65, 70).size(), 1);

        // The count and sum rows at the foot of the 35-row frame (190..195, 195..200).
        const auto countRow = PdfPages::find(p, QStringLiteral("回数"));
        QCOMPARE(countRow.size(), 1);
        QVERIFY(qAbs(textMiddle(countRow[0], 9) - 192.5) < kTol);
        const auto counts = PdfPages::inBox(p, 88, 190, 190, 195);
        QCOMPARE(counts.size(), 8);
        // 休日 once (Sunday 02/07), 法定外 once (02/27); a figure nobody has counts 0.
        QCOMPARE(PdfPages::inBox(p, 150, 162, 190, 195).value(0).text, QStringLiteral("1"));
        QCOMPARE(PdfPages::inBox(p, 162, 174, 190, 195).value(0).text, QStringLiteral("1"));
        const auto sumLabel = PdfPages::find(p, QStringLiteral("合計"));
        QCOMPARE(sumLabel.size(), 2); // the caption and the sum row
        QVERIFY(qAbs(textMiddle(sumLabel[1], 9) - 197.5) < kTol);

        // The frame: 36 horizontal lines from 25 to 200, verticals down to 200, nothing below.
        const QImage img = PdfPages::image(pdf(QStringLiteral("individual.pdf")), 0);
        QVERIFY(!img.isNull());
        for (int k = 0; k <= 35; ++k)
            QVERIFY2(PdfPages::hLine(img, 25 + 5 * k, 15, 190), qPrintable(QString::number(k)));
        QVERIFY(!PdfPages::hLine(img, 205, 15, 190));
        for (double x : {15.0, 40.0, 52.0, 88.0, 102.0, 174.0, 190.0})
            QVERIFY2(PdfPages::vLine(img, x, 25, 200), qPrintable(QString::number(x)));
        QVERIFY(!PdfPages::vLine(img, 45, 25, 200));
        QVERIFY(PdfPages::hLine(img, 10, 70, 130)); // the title's underline
    }

    void individualCountAndSumRows()
    {
        // Employee 000004 worked 02/01 only: 08:30-17:30, work 8:00 once.
        const PrintResult r = print(individual({3}), QStringLiteral("one.pdf"));
        QVERIFY(r.ok);
        QCOMPARE(r.pages, 1);
        const Page p = PdfPages::read(pdf(QStringLiteral("one.pdf"))).value(0);
        QCOMPARE(PdfPages::inBox(p, 88, 102, 190, 195).value(0).text, QStringLiteral("1"));
        QCOMPARE(PdfPages::inBox(p, 102, 114, 190, 195).value(0).text, QStringLiteral("0"));
        QCOMPARE(PdfPages::inBox(p, 150, 162, 190, 195).value(0).text, QStringLiteral("0"));
        const auto workSum = PdfPages::inBox(p, 88, 102, 195, 200);
        QCOMPARE(workSum.value(0).text, QStringLiteral("8:00"));
        QVERIFY(qAbs(workSum.value(0).x2 - 101) < kTol);
        QVERIFY(PdfPages::inBox(p, 102, 114, 195, 200).isEmpty()); // a zero sum is blank
    }

    void aPeriodAcrossTwoMonthsPrintsItsDaysWithoutGaps()
    {
        // Closing on the 20th: 2010/01/21 to 2010/02/20, 31 days, which the fixed layout keeps
        // on rows 0..10 and 12..31; the report prints them one after the other.
        QVERIFY(dbs().monthly.exec(QStringLiteral("UPDATE 会社 SET 締日 = '20'")));
        QVERIFY(Kaisya_Read());
        m_inputs->company = g_company;
        QCOMPARE(m_inputs->company.closingDayNo, 20);
        const PrintResult r = print(individual({0}), QStringLiteral("period.pdf"));
        QVERIFY(r.ok);
        const Page p = PdfPages::read(pdf(QStringLiteral("period.pdf"))).value(0);
        auto days = PdfPages::matching(p, QRegularExpression(QStringLiteral("^0[12]月\\d\\d日\\(.\\)$")));
        std::sort(days.begin(), days.end(), [](const Word &a, const Word &b) { return a.y1 < b.y1; });
        QCOMPARE(days.size(), 31);
        QCOMPARE(days.first().text, QStringLiteral("01月21日(木)"));
        QCOMPARE(days[11].text, QStringLiteral("02月01日(月)"));
        QCOMPARE(days.last().text, QStringLiteral("02月20日(土)"));
        QVERIFY(qAbs(textMiddle(days[11], 9) - 87.5) < kTol);
        QCOMPARE(PdfPages::inBox(p, 40, 52, 85, 90).value(0).text, QStringLiteral("08:40"));
        QVERIFY(qAbs(textMiddle(days.last(), 9) - 182.5) < kTol);
        QVERIFY(qAbs(textMiddle(PdfPages::find(p, QStringLiteral("回数")).value(0), 9) - 192.5) < kTol);
    }

    void dailyReportRunsOverTwoPagesFor51Employees()
    {
        QVERIFY(addEmployees(45));
        QCOMPARE(m_count, 51);
        PrintJob job;
        job.kind = ReportDaily;
        job.employeeCount = m_count;
        job.dates = {QDate(2010, 2, 1), QDate(2010, 2, 2)};
        const PrintResult r = print(job, QStringLiteral("daily.pdf"));
        QVERIFY(r.ok);
        QVERIFY(r.problems.isEmpty());
        QCOMPARE(r.pages, 4);
        const QVector<Page> pages = PdfPages::read(pdf(QStringLiteral("daily.pdf")));
        QCOMPARE(pages.size(), 4);

        for (int k = 0; k < 4; ++k) {
            const Page &p = pages[k];
            // "ページ1 / 2": the number, a blank, the slash, a blank and the count.
            const auto page = PdfPages::matching(p, QRegularExpression(QStringLiteral("^ページ\\d$")));
            QCOMPARE(page.size(), 1);
            QCOMPARE(page[0].text, QStringLiteral("ページ%1").arg(k % 2 + 1));
            const auto slash = PdfPages::find(p, QStringLiteral("/"));
            QCOMPARE(slash.size(), 1);
            const auto count = PdfPages::inBox(p, slash[0].x2, 200, 10, 15);
            QCOMPARE(count.size(), 1);
            QCOMPARE(count[0].text, QStringLiteral("2"));
            QVERIFY(qAbs(count[0].x2 - 194) < kTol);
            QVERIFY(slash[0].x1 - page[0].x2 > 0.5); // blanks around the slash
            QVERIFY(qAbs(textMiddle(page[0], 12) - 12.5) < kTol);

            QCOMPARE(PdfPages::find(p, QStringLiteral("勤務日報リスト")).size(), 1);
            // "年月日" at 12 and the date at 25 nearly touch in 12 point: one word for pdftotext.
            const auto date = PdfPages::inBox(p, 10, 80, 10, 15);
            QCOMPARE(date.size(), 1);
            QCOMPARE(date[0].text,
                     k < 2 ? QStringLiteral("年月日2010年02月01日(月)") : QStringLiteral("年月日2010年02月02日(火)"));
            QVERIFY(qAbs(date[0].x1 - 12) < kTol);
            const auto caption = PdfPages::find(p, QStringLiteral("社員No"));
            QCOMPARE(caption.size(), 1);
            QVERIFY(qAbs(caption[0].cx() - 18.5) < kTol);
            QVERIFY(qAbs(textMiddle(caption[0], 9) - 17.5) < kTol);
        }

        // 50 employees on the first page, the 51st on the second; count and sum rows only on
        // the date's last page.
        const auto numbersOf = [](const Page &p) {
            return PdfPages::matching(p, QRegularExpression(QStringLiteral("^\\d{6}$")));
        };
        const auto first = numbersOf(pages[0]);
        QCOMPARE(first.size(), 50);
        QCOMPARE(first.first().text, QStringLiteral("000001"));
        QVERIFY(qAbs(first.first().x1 - 13) < kTol);
        QVERIFY(qAbs(textMiddle(first.first(), 9) - 22.5) < kTol);
        QVERIFY(qAbs(textMiddle(first.last(), 9) - 267.5) < kTol);
        const auto second = numbersOf(pages[1]);
        QCOMPARE(second.size(), 1);
        QCOMPARE(second[0].text, QStringLiteral("100045"));
        QVERIFY(PdfPages::find(pages[0], QStringLiteral("人数")).isEmpty());
        const auto people = PdfPages::find(pages[1], QStringLiteral("人数"));
        QCOMPARE(people.size(), 1);
        QVERIFY(qAbs(textMiddle(people[0], 9) - 272.5) < kTol);
        QVERIFY(qAbs(people[0].x1 - 13) < kTol);

        // 02/01: four of the fixture's employees and the 45 new ones worked; the counts end
        // 1 mm left of their column's right line.
        const auto workCount = PdfPages::inBox(pages[1], 102, 115, 270, 275);
        QCOMPARE(workCount.size(), 1);
        QCOMPARE(workCount[0].text, QStringLiteral("49"));
        QVERIFY(qAbs(workCount[0].x2 - 114) < kTol);
        const auto nightCount = PdfPages::inBox(pages[1], 148, 159, 270, 275);
        QCOMPARE(nightCount.value(0).text, QStringLiteral("0"));
        QCOMPARE(PdfPages::find(pages[1], QStringLiteral("合計")).size(), 2);

        // The frame: 51 rows (15..270) on the first page, 53 rows (15..280) on the last.
        const QImage p1 = PdfPages::image(pdf(QStringLiteral("daily.pdf")), 0);
        const QImage p2 = PdfPages::image(pdf(QStringLiteral("daily.pdf")), 1);
        QVERIFY(PdfPages::hLine(p1, 15, 12, 194));
        QVERIFY(PdfPages::hLine(p1, 270, 12, 194));
        QVERIFY(!PdfPages::hLine(p1, 275, 12, 194));
        QVERIFY(PdfPages::vLine(p1, 53, 15, 270));
        QVERIFY(!PdfPages::vLine(p1, 53, 271, 279));
        QVERIFY(PdfPages::hLine(p2, 25, 12, 194));
        QVERIFY(PdfPages::hLine(p2, 280, 12, 194));
        QVERIFY(!PdfPages::hLine(p2, 285, 12, 194));
        for (double x : {12.0, 25.0, 53.0, 58.0, 102.0, 115.0, 181.0, 194.0})
            QVERIFY2(PdfPages::vLine(p2, x, 15, 280), qPrintable(QString::number(x)));
    }

    void masterListPagesOfForty()
    {
        QVERIFY(addEmployees(34)); // 41 stored, 40 of them active: the inactive one is listed too
        // The program's table may hold the master screen's unsaved rows: the list leaves it be.
        g_kojin[0].name = QStringLiteral("未保存の行");
        const auto program = g_kojin;
        const Dialogs::PrintRequest request{1, QString(), pdf(QStringLiteral("master.pdf")), true};
        const PrintResult r = PrintOut_MasterList(in(), request);
        keep(pdf(QStringLiteral("master.pdf")), QStringLiteral("master.pdf"));
        QVERIFY(r.ok);
        QCOMPARE(r.pages, 2);
        QCOMPARE(m_count, 40); // the caller's table is left as it was (active only)
        for (int i = 0; i < kEmployeeSlots; ++i)
            QCOMPARE(g_kojin[size_t(i)].name, program[size_t(i)].name);
        const QVector<Page> pages = PdfPages::read(pdf(QStringLiteral("master.pdf")));
        QCOMPARE(pages.size(), 2);
        for (int k = 0; k < 2; ++k) {
            const auto page = PdfPages::find(pages[k], QStringLiteral("ページ%1/2").arg(k + 1)); // no blanks
            QCOMPARE(page.size(), 1);
            QVERIFY(qAbs(page[0].x2 - 170) < kTol);
            QVERIFY(qAbs(textMiddle(page[0], 10) - 17.5) < kTol);
            const auto title = PdfPages::find(pages[k], QStringLiteral("2010年02月度"));
            QCOMPARE(title.size(), 1);
            QVERIFY(qAbs(textMiddle(title[0], 12) - 12.5) < kTol);
            const auto card = PdfPages::find(pages[k], QStringLiteral("カード番号"));
            QCOMPARE(card.size(), 1);
            QVERIFY(qAbs(card[0].cx() - 127) < kTol);
            QVERIFY(qAbs(textMiddle(card[0], 12) - 22.7) < kTol); // 0.2 mm below the middle
        }
        QCOMPARE(PdfPages::find(pages[0], QStringLiteral("個人マスターリスト")).size(), 1);
        const auto numbers = PdfPages::matching(pages[0], QRegularExpression(QStringLiteral("^\\d{6}$")));
        QCOMPARE(numbers.size(), 40);
        QCOMPARE(PdfPages::find(pages[0], QStringLiteral("休職者")).size(), 1);
        QCOMPARE(PdfPages::find(pages[0], QStringLiteral("なし")).size(), 1);
        QVERIFY(qAbs(PdfPages::find(pages[0], QStringLiteral("なし"))[0].cx() - 162) < kTol);
        const auto last = PdfPages::matching(pages[1], QRegularExpression(QStringLiteral("^\\d{6}$")));
        QCOMPARE(last.size(), 1);
        QCOMPARE(PdfPages::inBox(pages[1], 30, 40, 25, 30).value(0).text, QStringLiteral("41"));
        QVERIFY(qAbs(last[0].x1 - 41) < kTol);
        QVERIFY(qAbs(textMiddle(last[0], 10) - 27.5) < kTol);
    }

    void categoryListBlocks()
    {
        // The program's table may hold the category screen's unsaved rows: the list shows what
        // is stored and leaves the table be.
        g_kubun[1].times[WorkStart] = QStringLiteral("06:15");
        const Dialogs::PrintRequest request{1, QString(), pdf(QStringLiteral("kubun.pdf")), true};
        const PrintResult r = PrintOut_CategoryList(in(), request);
        keep(pdf(QStringLiteral("kubun.pdf")), QStringLiteral("kubun.pdf"));
        QVERIFY(r.ok);
        QCOMPARE(g_kubun[1].times[WorkStart], QStringLiteral("06:15"));
        QCOMPARE(r.pages, 1);
        const Page p = PdfPages::read(pdf(QStringLiteral("kubun.pdf"))).value(0);
        QCOMPARE(PdfPages::find(p, QStringLiteral("勤務区分")).size(), 1);
        QCOMPARE(PdfPages::find(p, QStringLiteral("一覧")).size(), 1);
        // Captions of the three blocks, each centred in 20..50.
        const auto caption = PdfPages::find(p, QStringLiteral("残業丸め単位"));
        QCOMPARE(caption.size(), 3);
        QVERIFY(qAbs(caption[0].cx() - 35) < kTol);
        QVERIFY(qAbs(textMiddle(caption[0], 10) - 92.5) < kTol);
        QVERIFY(qAbs(textMiddle(caption[1], 10) - 172.5) < kTol);
        QVERIFY(qAbs(textMiddle(caption[2], 10) - 252.5) < kTol);
        for (int n = 1; n <= 10; ++n)
            QCOMPARE(PdfPages::find(p, QStringLiteral("区分%1").arg(n)).size(), 1);
        const auto k5 = PdfPages::find(p, QStringLiteral("区分5"))[0];
        QVERIFY(qAbs(k5.cx() - 65) < kTol);
        QVERIFY(qAbs(textMiddle(k5, 10) - 107.3) < kTol); // 0.2 mm above the middle
        // Category 01's values; the others show the empty spans.
        const auto work = PdfPages::inBox(p, 50, 80, 30, 35);
        QCOMPARE(work.size(), 3);
        QCOMPARE(work[0].text + work[1].text + work[2].text, PdfPages::norm(QStringLiteral("08:30～17:30")));
        QVERIFY(qAbs((work[0].x1 + work[2].x2) / 2 - 65) < kTol);
        QCOMPARE(PdfPages::inBox(p, 50, 80, 35, 40).value(0).text, QStringLiteral("00:00"));
        QCOMPARE(PdfPages::inBox(p, 50, 80, 75, 80).value(0).text, PdfPages::norm(QStringLiteral("1：時数丸め")));
        QCOMPARE(PdfPages::inBox(p, 50, 80, 80, 85).value(0).text, PdfPages::norm(QStringLiteral("15分")));
        const auto other = PdfPages::inBox(p, 80, 110, 30, 35);
        QCOMPARE(other.size(), 3);
        QCOMPARE(other[0].text + other[1].text + other[2].text, PdfPages::norm(QStringLiteral("00:00～00:00")));
        QCOMPARE(PdfPages::inBox(p, 80, 110, 80, 85).value(0).text, PdfPages::norm(QStringLiteral("01分")));
        QVERIFY(PdfPages::inBox(p, 110, 170, 185, 255).isEmpty()); // block 3 holds 9 and 10 only

        const QImage img = PdfPages::image(pdf(QStringLiteral("kubun.pdf")), 0);
        for (double top : {25.0, 105.0, 185.0}) {
            QVERIFY(PdfPages::hLine(img, top, 20, 170));
            QVERIFY(PdfPages::hLine(img, top + 70, 20, 170));
            QVERIFY(PdfPages::vLine(img, 110, top, top + 70));
        }
        QVERIFY(!PdfPages::hLine(img, 100, 20, 170)); // the 10 mm gap between blocks
        QVERIFY(PdfPages::hLine(img, 15, 50, 130));
    }

    void everyCopyIsAJobOfItsOwn()
    {
        Dialogs::PrintRequest req{2, QString(), pdf(QStringLiteral("copies.pdf")), true};
        const PrintResult r = PrintOut_Print(individual({0}), in(), req);
        QVERIFY(r.ok);
        QCOMPARE(r.jobs, 2);
        QCOMPARE(PdfPages::read(pdf(QStringLiteral("copies.pdf"))).size(), 1);
        QCOMPARE(PdfPages::read(pdf(QStringLiteral("copies-2.pdf"))).size(), 1);
        QVERIFY(!QFileInfo::exists(pdf(QStringLiteral("copies-3.pdf"))));
        QCOMPARE(PrintOut_CopyPath(QStringLiteral("/a/b.c/report"), 3), QStringLiteral("/a/b.c/report-3"));
    }

    void aFileThatCannotBeWrittenIsAnError()
    {
        const QString path = pdf(QStringLiteral("locked/out.pdf")); // the folder does not exist
        const PrintResult r = PrintOut_Job(individual({0}), in(), QString(), path);
        QVERIFY(!r.ok);
        QCOMPARE(r.jobs, 0);
        QCOMPARE(r.problems.size(), 1);
        QCOMPARE(r.problems[0].title, QStringLiteral("印刷")); // the device could not be set up
        QVERIFY(r.problems[0].text.startsWith(QStringLiteral("印刷エラーが発生しました。\r\nError=75\r\n")));
        QVERIFY(!QFileInfo::exists(path));
    }

    void anEmployeeWhosePunchesCannotBeReadLeavesNoBlankPage()
    {
        // タイムカード becomes a view that fails on reading the second employee's card (abs()
        // of the smallest integer is an error), the others read as before.
        const QString card = m_inputs->kojin[1].card;
        QVERIFY(dbs().monthly.exec(QStringLiteral("ALTER TABLE タイムカード RENAME TO 打刻")));
        QVERIFY(
            dbs().monthly.exec(QStringLiteral("CREATE VIEW タイムカード AS SELECT * FROM 打刻 WHERE "
                                              "CASE WHEN IDコード = '%1' THEN abs(-9223372036854775807 - 1) ELSE 1 END")
                                   .arg(card)));
        const PrintResult r = print(individual({0, 1, 2}), QStringLiteral("gap.pdf"));
        QCOMPARE(r.problems.size(), 1);
        QCOMPARE(r.problems[0].title, QStringLiteral("個人別印刷"));
        QCOMPARE(r.pages, 2);
        const QVector<Page> pages = PdfPages::read(pdf(QStringLiteral("gap.pdf")));
        QCOMPARE(pages.size(), 2);
        QCOMPARE(PdfPages::find(pages[0], m_inputs->kojin[0].number).size(), 1);
        QCOMPARE(PdfPages::find(pages[1], m_inputs->kojin[2].number).size(), 1);

        // The first employee failing leaves no empty first page either.
        const PrintResult r2 = print(individual({1, 2}), QStringLiteral("gap2.pdf"));
        QCOMPARE(r2.problems.size(), 1);
        const QVector<Page> pages2 = PdfPages::read(pdf(QStringLiteral("gap2.pdf")));
        QCOMPARE(pages2.size(), 1);
        QCOMPARE(PdfPages::find(pages2[0], m_inputs->kojin[2].number).size(), 1);
    }

    void employeesOfAnUnknownCategoryAreNamed()
    {
        QVERIFY(dbs().monthly.exec(QStringLiteral("UPDATE 個人 SET 区分 = '12' WHERE 社員番号 = '000002'")));
        m_count = m_inputs->load();
        const PrintResult r = print(individual(), QStringLiteral("unknown.pdf"));
        QVERIFY(r.ok);
        QCOMPARE(r.unknownCategory, QVector<int>{1});
        const Page p = PdfPages::read(pdf(QStringLiteral("unknown.pdf"))).value(1);
        QCOMPARE(PdfPages::find(p, QStringLiteral("08:30")).size(), 1); // clock columns still print
        QVERIFY(PdfPages::inBox(p, 88, 190, 30, 35).isEmpty());         // but no figures
    }

    void aDatabaseFailureIsReportedUnderTheReportsTitle()
    {
        QVERIFY(dbs().monthly.exec(QStringLiteral("DROP TABLE タイムカード")));
        PrintJob job;
        job.kind = ReportDaily;
        job.employeeCount = m_count;
        job.dates = {QDate(2010, 2, 1)};
        const PrintResult r = print(job, QStringLiteral("broken.pdf"));
        QCOMPARE(r.problems.size(), 1);
        QCOMPARE(r.problems[0].title, QStringLiteral("日報印刷"));
        QVERIFY(r.problems[0].text.startsWith(QStringLiteral("印刷エラーが発生しました。\r\nError=")));
    }
};

QTEST_MAIN(TestPrintOut)
#include "tst_printout.moc"
