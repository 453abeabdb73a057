#include "PrintOut.h"

#include "ReportCanvas.h"

#include "ExportFormat.h"
#include "ExportJob.h"
#include "ExportWriters.h"
#include "calc/Calculate.h"
#include "calc/Period.h"
#include "calc/TimeMath.h"
#include "common/Common.h"
#include "store/DbFile.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <memory>

namespace {

const QString kCrLf = QStringLiteral("\r\n");
// Error numbers the messages have always shown: a file that cannot be written, a printer that
// does not take the document.
constexpr int kErrPathAccess = 75;
constexpr int kErrPrinter = 482;

constexpr qreal kRow = 5;         // every table row is 5 mm high
constexpr qreal kFigureInset = 1; // figures end 1 mm left of their column's right line
constexpr qreal kTextInset = 1;   // left-aligned texts start 1 mm right of their line

// A test stands in for the system's printers with PrintOut_SetPrinterProbe.
bool (*testPrinterProbe)() = nullptr;

// A printer or file that does not take the document fails the print run itself. A failure
// to set the device up (the printer, or the PDF file standing in for it) is titled "印刷";
// one while the finished document is handed over is any other print error, "印刷エラー".
const QString kSetupTitle = QStringLiteral("印刷");
const QString kDeviceTitle = QStringLiteral("印刷エラー");

QString monthTitle(const RunState &run)
{
    return zeroPad(trimBlanks(run.year).toInt(), 4) + QStringLiteral("年") + zeroPad(trimBlanks(run.month).toInt(), 2);
}

QString issueText() { return QStringLiteral("発行 ") + Clock::today().toString(QStringLiteral("yyyy年MM月dd日")); }

QString longDate(const QDate &d)
{
    return d.toString(QStringLiteral("yyyy年MM月dd日")) + QLatin1Char('(') + weekdayName(d) + QLatin1Char(')');
}

// Hours and minutes of the day, both with two digits ("00:00" for none).
QString clockOf(int minutes) { return zeroPad(minutes / 60, 2) + QLatin1Char(':') + zeroPad(minutes % 60, 2); }

void problem(PrintResult &r, ReportKind kind, int number, const QString &description)
{
    r.problems << PrintProblem{PrintOut_ReportTitle(kind), PrintOut_ErrorText(number, description)};
}

void noteCategory(PrintResult &r, const KojinTable &employees, int employee)
{
    if (!categoryCodeKnown(employees[size_t(employee)].category) && !r.unknownCategory.contains(employee))
        r.unknownCategory << employee;
}

// The common heading: the title centred in its box and underlined, the issue text
// right-aligned at the table's right edge in the same band.
void heading(ReportCanvas &c, const QString &title, qreal titlePoints, qreal x1, qreal x2, qreal y1, qreal y2,
             qreal right)
{
    c.setFontSize(titlePoints);
    c.textCentred(x1, x2, y1, y2, title);
    c.line(x1, y2, x2, y2);
    c.setFontSize(10);
    c.textRight(right, y1, y2, issueText());
}

// Vertical lines at each x from y1 to y2, horizontal lines from the first to the last x at
// y1, y1 + 5, ... y2.
template <size_t N>
void frame(ReportCanvas &c, const std::array<qreal, N> &xs, qreal y1, int rows)
{
    const qreal y2 = y1 + rows * kRow;
    for (int r = 0; r <= rows; ++r)
        c.line(xs.front(), y1 + r * kRow, xs.back(), y1 + r * kRow);
    for (qreal x : xs)
        c.line(x, y1, x, y2);
}

// ---------------------------------------------------------------- individual monthly report

const std::array<qreal, 14> kIndX = {15, 40, 52, 64, 76, 88, 102, 114, 126, 138, 150, 162, 174, 190};
constexpr qreal kIndTop = 25;
constexpr int kIndRows = 35; // caption row, 32 day rows, count row, sum row
constexpr int kIndDayRows = 32;

const char16_t *const kIndCaptions[] = {u"月/日(曜)", u"出勤", u"退勤", u"出勤", u"退勤",   u"就業", u"遅早",
                                        u"残業",      u"早出", u"深夜", u"休日", u"法定外", u"合計"};

void individualPage(ReportCanvas &c, const QString &title, const IndividualBlock &b)
{
    heading(c, title, 10, 70, 130, 5, 10, 190);

    // Employee block between the heading and the table.
    const ExportEmployee &e = b.employee;
    const std::array<qreal, 5> blockX = {15, 40, 88, 114, 126};
    const QString captions[] = {QStringLiteral("社員番号"), QStringLiteral("氏名"), QStringLiteral("カード番号"),
                                QStringLiteral("区分"), QStringLiteral("対象")};
    const QString values[] = {e.number, e.name, e.card, e.category, ExportFormat::subjectText(e.active)};
    for (int i = 0; i < 5; ++i) {
        c.textLeft(blockX[size_t(i)], 12, 17, captions[i]);
        c.textLeft(blockX[size_t(i)], 18, 23, values[i]);
    }

    c.setFontSize(9);
    frame(c, kIndX, kIndTop, kIndRows);
    for (int k = 0; k < 13; ++k)
        c.textCentred(kIndX[size_t(k)], kIndX[size_t(k) + 1], kIndTop, kIndTop + kRow,
                      QString::fromUtf16(kIndCaptions[k]));

    auto figureCells = [&](qreal y, auto textOf) {
        for (int f = 0; f < FigureCount; ++f)
            c.textRight(kIndX[size_t(f) + 6] - kFigureInset, y, y + kRow, textOf(f));
    };

    const int days = int(qMin<qsizetype>(b.days.size(), kIndDayRows));
    for (int r = 0; r < days; ++r) {
        const qreal y = kIndTop + (r + 1) * kRow;
        const ExportRow &row = b.rows[r];
        c.textLeft(kIndX[0] + kTextInset, y, y + kRow, ExportWriters::dayLabel(b.days[r]));
        for (int s = 0; s < 4; ++s) {
            if (row.clocks[size_t(s)] != emptyTimeText())
                c.textLeft(kIndX[size_t(s) + 1] + kTextInset, y, y + kRow, row.clocks[size_t(s)]);
        }
        figureCells(y, [&](int f) { return Minutes_ToHhmm(qint16(row.figures[size_t(f)])); });
    }

    const qreal countY = kIndTop + (kIndDayRows + 1) * kRow;
    const qreal sumY = countY + kRow;
    c.textLeft(kIndX[0] + kTextInset, countY, countY + kRow, QStringLiteral("回数"));
    figureCells(countY, [&](int f) { return QString::number(b.totals.counts[size_t(f)]); });
    c.textLeft(kIndX[0] + kTextInset, sumY, sumY + kRow, QStringLiteral("合計"));
    figureCells(sumY, [&](int f) { return Minutes_ToHhhmm(b.totals.sums[size_t(f)]); });
    c.setFontSize(10);
}

void drawIndividual(const PrintJob &job, const MonthInputs &in, ReportCanvas &c, PrintResult &res)
{
    auto tables = std::make_unique<BlockTables>();
    if (const int error = PeriodDays_FillFixed(in.run, in.company, tables->days); error != 0) {
        problem(res, ReportIndividual, error, dbs().calendar.errorText());
        return;
    }
    const QString title = PrintOut_Title(ReportIndividual, in.run);
    bool first = true;
    for (int i : job.employees) {
        if (i < 0 || i >= job.employeeCount || i >= kEmployeeSlots)
            continue;
        // The employee's figures first: a page is begun only for an employee that prints,
        // so one whose punches cannot be read leaves no blank page in the job.
        int error = 0;
        QString errorText;
        const IndividualBlock b = computeIndividualBlock(in, *tables, i, &error, &errorText);
        if (error) {
            problem(res, ReportIndividual, error, errorText);
            continue;
        }
        if (!first && !c.newPage()) {
            problem(res, ReportIndividual, kErrPrinter, QStringLiteral("改ページできませんでした。"));
            return;
        }
        first = false;
        noteCategory(res, in.employees, i);
        individualPage(c, title, b);
    }
}

// ---------------------------------------------------------------- daily report

const std::array<qreal, 16> kDayX = {12, 25, 53, 58, 69, 80, 91, 102, 115, 126, 137, 148, 159, 170, 181, 194};
constexpr qreal kDayTop = 15;
constexpr int kDayPerPage = 50;

const char16_t *const kDayCaptions[] = {u"社員No", u"氏　名", u"区",   u"出勤", u"退勤", u"出勤",   u"退勤", u"就業",
                                        u"遅早",   u"残業",   u"早出", u"深夜", u"休日", u"法定外", u"合計"};

void dailyPages(ReportCanvas &c, const QString &title, const DailyBlock &b, bool &first, PrintResult &res)
{
    const int n = int(b.employees.size());
    const int pages = (n - 1) / kDayPerPage + 1; // truncating: no employees still give a page
    for (int p = 0; p < pages; ++p) {
        if (!first && !c.newPage()) {
            problem(res, ReportDaily, kErrPrinter, QStringLiteral("改ページできませんでした。"));
            return;
        }
        first = false;
        const bool last = p == pages - 1;
        heading(c, title, 10, 70, 130, 5, 10, 194);
        c.setFontSize(12);
        c.textLeft(12, 10, 15, QStringLiteral("年月日"));
        c.textLeft(25, 10, 15, longDate(b.date));
        c.textRight(194, 10, 15,
                    QStringLiteral("ページ") + QString::number(p + 1) + QStringLiteral(" / ") + QString::number(pages));

        c.setFontSize(9);
        frame(c, kDayX, kDayTop, last ? kDayPerPage + 3 : kDayPerPage + 1);
        for (int k = 0; k < 15; ++k)
            c.textCentred(kDayX[size_t(k)], kDayX[size_t(k) + 1], kDayTop, kDayTop + kRow,
                          QString::fromUtf16(kDayCaptions[k]));

        auto figureCells = [&](qreal y, auto textOf) {
            for (int f = 0; f < FigureCount; ++f)
                c.textRight(kDayX[size_t(f) + 8] - kFigureInset, y, y + kRow, textOf(f));
        };
        for (int k = 0; k < kDayPerPage; ++k) {
            const int r = p * kDayPerPage + k;
            if (r >= n)
                break;
            const qreal y = kDayTop + (k + 1) * kRow;
            const ExportEmployee &e = b.employees[r];
            const ExportRow &row = b.rows[r];
            c.textLeft(13, y, y + kRow, e.number);
            c.textLeftFit(26, kDayX[2] - 26 - 0.5, y, y + kRow, e.name);
            c.textLeft(54, y, y + kRow, e.category);
            for (int s = 0; s < 4; ++s) {
                if (row.clocks[size_t(s)] != emptyTimeText())
                    c.textLeft(kDayX[size_t(s) + 3] + kTextInset, y, y + kRow, row.clocks[size_t(s)]);
            }
            figureCells(y, [&](int f) { return Minutes_ToHhmm(qint16(row.figures[size_t(f)])); });
        }
        if (last) {
            const qreal countY = kDayTop + (kDayPerPage + 1) * kRow; // 270
            const qreal sumY = countY + kRow;
            c.textLeft(13, countY, countY + kRow, QStringLiteral("人数"));
            figureCells(countY, [&](int f) { return QString::number(b.totals.counts[size_t(f)]); });
            c.textLeft(13, sumY, sumY + kRow, QStringLiteral("合計"));
            figureCells(sumY, [&](int f) { return Minutes_ToHhhmm(b.totals.sums[size_t(f)]); });
        }
        c.setFontSize(10);
    }
}

void drawDaily(const PrintJob &job, const MonthInputs &in, ReportCanvas &c, PrintResult &res)
{
    auto tables = std::make_unique<BlockTables>();
    PeriodRange period;
    if (const int error = PeriodDays_FillCompact(in.run, in.company, tables->days, period); error != 0) {
        problem(res, ReportDaily, error, dbs().calendar.errorText());
        return;
    }
    const QString title = PrintOut_Title(ReportDaily, in.run);
    const int count = qBound(0, job.employeeCount, kEmployeeSlots);
    bool first = true;
    for (const QDate &d : job.dates) {
        int error = 0;
        QString errorText;
        const DailyBlock b = computeDailyBlock(in, *tables, d, count, &error, &errorText);
        if (error) {
            problem(res, ReportDaily, error, errorText);
            continue;
        }
        for (int i = 0; i < count; ++i)
            noteCategory(res, in.employees, i);
        dailyPages(c, title, b, first, res);
    }
}

// ---------------------------------------------------------------- employee master list

const std::array<qreal, 7> kMasX = {30, 40, 62, 114, 140, 154, 170};
constexpr qreal kMasTop = 20;
constexpr int kMasPerPage = 40;

void drawMasterList(const MonthInputs &in, ReportCanvas &c, PrintResult &res)
{
    // The list shows what is stored, all employees, read into a table of its own: the
    // program's table may hold the master screen's unsaved rows.
    auto stored = std::make_unique<KojinTable>();
    const int n = Kojin_Load(*stored, false);
    QVector<Employee> rows;
    for (int i = 0; i < n && i < kEmployeeSlots; ++i)
        rows << (*stored)[size_t(i)];

    const int pages = (int(rows.size()) - 1) / kMasPerPage + 1;
    const char16_t *const captions[] = {u"No.", u"社員番号", u"氏　名", u"カード番号", u"区分", u"対象"};
    for (int p = 0; p < pages; ++p) {
        if (p > 0 && !c.newPage()) {
            problem(res, ReportMasterList, kErrPrinter, QStringLiteral("改ページできませんでした。"));
            return;
        }
        heading(c, PrintOut_Title(ReportMasterList, in.run), 12, 40, 120, 10, 15, 170);
        c.textRight(170, 15, 20,
                    QStringLiteral("ページ") + QString::number(p + 1) + QLatin1Char('/') + QString::number(pages));
        const int onPage = qMin(kMasPerPage, int(rows.size()) - p * kMasPerPage);
        frame(c, kMasX, kMasTop, onPage + 1);
        c.setFontSize(12);
        for (int k = 0; k < 6; ++k)
            c.textCentred(kMasX[size_t(k)], kMasX[size_t(k) + 1], kMasTop, kMasTop + kRow,
                          QString::fromUtf16(captions[k]), 0.2);
        c.setFontSize(10);
        for (int k = 0; k < onPage; ++k) {
            const int i = p * kMasPerPage + k;
            const Employee &e = rows[i];
            const qreal y = kMasTop + (k + 1) * kRow;
            c.textCentred(kMasX[0], kMasX[1], y, y + kRow, QStringLiteral("%1").arg(i + 1, 3));
            c.textLeft(kMasX[1] + kTextInset, y, y + kRow, e.number);
            c.textLeftFit(kMasX[2] + kTextInset, kMasX[3] - kMasX[2] - 2 * kTextInset, y, y + kRow, e.name);
            c.textLeft(kMasX[3] + kTextInset, y, y + kRow, e.card);
            c.textLeft(kMasX[4] + kTextInset, y, y + kRow, e.category);
            c.textCentred(kMasX[5], kMasX[6], y, y + kRow, ExportFormat::subjectText(e.active));
        }
    }
}

// ---------------------------------------------------------------- work category list

const std::array<qreal, 6> kKubX = {20, 50, 80, 110, 140, 170};
const std::array<qreal, 3> kKubBlockTop = {25, 105, 185};
constexpr int kKubRows = 14;

const char16_t *const kKubCaptions[kKubRows] = {
    u"区分",       u"就業時間",   u"残業基準時間", u"遅刻早退時間", u"早出時間",     u"残業時間",     u"深夜時間",
    u"休憩時間１", u"休憩時間２", u"休憩時間３",   u"丸め方法",     u"就業丸め単位", u"遅早丸め単位", u"残業丸め単位"};

QString span(const Category &k, CategoryTime start, CategoryTime end)
{
    return clockOf(k.minutes[start]) + QStringLiteral(" ～ ") + clockOf(k.minutes[end]);
}

QString categoryValue(const Category &k, int row)
{
    switch (row) {
    case 1: return span(k, WorkStart, WorkEnd);
    case 2: return clockOf(k.baseMinutes);
    case 3: return span(k, LateStart, LateEnd);
    case 4: return span(k, EarlyStart, EarlyEnd);
    case 5: return span(k, OverStart, OverEnd);
    case 6: return span(k, NightStart, NightEnd);
    case 7: return span(k, Break1Start, Break1End);
    case 8: return span(k, Break2Start, Break2End);
    case 9: return span(k, Break3Start, Break3End);
    case 10: return k.method;
    case 11: return k.unitWork;
    case 12: return k.unitLate;
    case 13: return k.unitOver;
    }
    return QString();
}

void drawCategoryList(const MonthInputs &in, ReportCanvas &c)
{
    // What is stored, read into a table of its own: the program's table may hold the category
    // screen's unsaved rows.
    KubunTable categories;
    Kubun_Load(categories);

    c.setFontSize(12);
    c.textCentredX(50, 130, 10, PrintOut_Title(ReportCategoryList, in.run));
    c.line(50, 15, 130, 15);
    c.setFontSize(10);
    c.textRight(170, 10, 15, issueText());

    for (size_t b = 0; b < kKubBlockTop.size(); ++b) {
        const qreal top = kKubBlockTop[b];
        const qreal bottom = top + kKubRows * kRow;
        frame(c, kKubX, top, kKubRows);
        // The outer frame is drawn heavier than the cell lines.
        c.setLineWidth(0.3);
        c.line(kKubX.front(), top, kKubX.back(), top);
        c.line(kKubX.front(), bottom, kKubX.back(), bottom);
        c.line(kKubX.front(), top, kKubX.front(), bottom);
        c.line(kKubX.back(), top, kKubX.back(), bottom);
        c.line(kKubX[1], top, kKubX[1], bottom);
        c.setLineWidth(0);
        for (int r = 0; r < kKubRows; ++r) {
            const qreal y = top + r * kRow;
            const qreal dy = r == 0 ? -0.2 : 0;
            c.textCentred(kKubX[0], kKubX[1], y, y + kRow, QString::fromUtf16(kKubCaptions[r]), dy);
            for (int col = 0; col < 4; ++col) {
                const int n = int(b) * 4 + col + 1;
                if (n > 10)
                    continue; // the last block holds categories 9 and 10 only
                const QString v =
                    r == 0 ? QStringLiteral("区分") + QString::number(n) : categoryValue(categories[size_t(n)], r);
                c.textCentred(kKubX[size_t(col) + 1], kKubX[size_t(col) + 2], y, y + kRow, v, dy);
            }
        }
    }
}

QPageLayout a4Portrait()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

} // namespace

QString PrintOut_ErrorText(int number, const QString &description)
{
    return QStringLiteral("印刷エラーが発生しました。") + kCrLf + QStringLiteral("Error=") + QString::number(number)
           + kCrLf + description;
}

QString PrintOut_ReportTitle(ReportKind kind)
{
    switch (kind) {
    case ReportIndividual: return QStringLiteral("個人別印刷");
    case ReportDaily: return QStringLiteral("日報印刷");
    case ReportMasterList: return QStringLiteral("個人マスタ印刷");
    case ReportCategoryList: return QStringLiteral("勤務区分印刷");
    }
    return QStringLiteral("印刷");
}

QString PrintOut_Title(ReportKind kind, const RunState &run)
{
    switch (kind) {
    case ReportIndividual: return monthTitle(run) + QStringLiteral("月 勤務個人リスト");
    case ReportDaily: return monthTitle(run) + QStringLiteral("月 勤務日報リスト");
    case ReportMasterList: return monthTitle(run) + QStringLiteral("月度　個人マスターリスト");
    case ReportCategoryList: return monthTitle(run) + QStringLiteral("月度 勤務区分 一覧");
    }
    return QString();
}

void PrintOut_Draw(const PrintJob &job, const MonthInputs &in, ReportCanvas &canvas, PrintResult &result)
{
    canvas.setFontSize(10);
    switch (job.kind) {
    case ReportIndividual: drawIndividual(job, in, canvas, result); break;
    case ReportDaily: drawDaily(job, in, canvas, result); break;
    case ReportMasterList: drawMasterList(in, canvas, result); break;
    case ReportCategoryList: drawCategoryList(in, canvas); break;
    }
    std::sort(result.unknownCategory.begin(), result.unknownCategory.end());
}

void PrintOut_Paint(const PrintJob &job, const MonthInputs &in, QPagedPaintDevice &device, PrintResult &result)
{
    QPainter painter;
    if (!painter.begin(&device)) {
        result.ok = false;
        result.problems << PrintProblem{
            kSetupTitle, PrintOut_ErrorText(kErrPrinter, QStringLiteral("印刷を開始できませんでした。"))};
        return;
    }
    painter.setRenderHint(QPainter::TextAntialiasing);
    ReportCanvas canvas(painter, [&device]() { return device.newPage(); });
    PrintOut_Draw(job, in, canvas, result);
    result.pages = canvas.pageCount();
    if (!painter.end()) {
        result.ok = false;
        result.problems << PrintProblem{
            kDeviceTitle, PrintOut_ErrorText(kErrPrinter, QStringLiteral("印刷を終了できませんでした。"))};
    }
}

PrintResult PrintOut_Job(const PrintJob &job, const MonthInputs &in, const QString &printerName, const QString &pdfPath)
{
    PrintResult res;
    if (!pdfPath.isEmpty()) {
        QSaveFile file(pdfPath);
        if (!file.open(QIODevice::WriteOnly)) {
            res.ok = false;
            res.problems << PrintProblem{kSetupTitle, PrintOut_ErrorText(kErrPathAccess, file.errorString())};
            return res;
        }
        {
            QPdfWriter pdf(&file);
            pdf.setPageLayout(a4Portrait());
            pdf.setResolution(1200);
            pdf.setCreator(QStringLiteral("corvan21"));
            pdf.setTitle(PrintOut_Title(job.kind, in.run));
            PrintOut_Paint(job, in, pdf, res);
        }
        if (!res.ok) {
            file.cancelWriting();
            return res;
        }
        if (!file.commit()) {
            res.ok = false;
            res.problems << PrintProblem{kDeviceTitle, PrintOut_ErrorText(kErrPathAccess, file.errorString())};
            return res;
        }
        res.jobs = 1;
        return res;
    }

    QPrinter printer(QPrinter::HighResolution);
    if (!printerName.isEmpty())
        printer.setPrinterName(printerName);
    printer.setCopyCount(1);
    printer.setDocName(PrintOut_Title(job.kind, in.run));
    // Zero margins are clamped to what the printer can reach: the origin is the top left
    // corner of its printable area.
    printer.setPageLayout(a4Portrait());
    if (!printer.isValid()) {
        res.ok = false;
        res.problems << PrintProblem{kSetupTitle,
                                     PrintOut_ErrorText(kErrPrinter, QStringLiteral("プリンタが見つかりません。"))};
        return res;
    }
    PrintOut_Paint(job, in, printer, res);
    // The document goes to the queue when the painter ends; a queue that refused it leaves the
    // printer in its error state.
    if (res.ok && printer.printerState() == QPrinter::Error) {
        res.ok = false;
        res.problems << PrintProblem{kDeviceTitle,
                                     PrintOut_ErrorText(kErrPrinter, QStringLiteral("プリンタに送れませんでした。"))};
    }
    if (res.ok)
        res.jobs = 1;
    return res;
}

QString PrintOut_CopyPath(const QString &pdfPath, int copy)
{
    if (copy <= 1)
        return pdfPath;
    const QFileInfo fi(pdfPath);
    const QString suffix = fi.suffix();
    const QString stem = suffix.isEmpty() ? pdfPath : pdfPath.left(pdfPath.size() - suffix.size() - 1);
    return stem + QLatin1Char('-') + QString::number(copy) + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
}

PrintResult PrintOut_Print(const PrintJob &job, const MonthInputs &in, const Dialogs::PrintRequest &request)
{
    PrintResult all;
    const int copies = qMax(1, request.copies);
    for (int k = 1; k <= copies; ++k) {
        const QString pdf = request.pdfPath.isEmpty() ? QString() : PrintOut_CopyPath(request.pdfPath, k);
        PrintResult one = PrintOut_Job(job, in, request.printerName, pdf);
        all.jobs += one.jobs;
        all.pages = one.pages;
        // The same messages come with every copy; they are shown once.
        if (k == 1) {
            all.problems = one.problems;
            all.unknownCategory = one.unknownCategory;
        }
        if (!one.ok) {
            all.ok = false;
            if (k > 1)
                all.problems << one.problems;
            break; // a device that failed once fails the next copy too
        }
    }
    return all;
}

bool PrintOut_PrinterInstalled()
{
    if (testPrinterProbe)
        return testPrinterProbe();
    return !QPrinterInfo::availablePrinters().isEmpty();
}

QString PrintOut_DefaultPrinter()
{
    if (testPrinterProbe)
        return QString();
    return QPrinterInfo::defaultPrinterName();
}

void PrintOut_SetPrinterProbe(bool (*probe)()) { testPrinterProbe = probe; }

bool PrintOut_PrinterExists(const QString &name) { return !QPrinterInfo::printerInfo(name).isNull(); }

PrintResult PrintOut_MasterList(const MonthInputs &in, const Dialogs::PrintRequest &request)
{
    PrintJob job;
    job.kind = ReportMasterList;
    return PrintOut_Print(job, in, request);
}

PrintResult PrintOut_CategoryList(const MonthInputs &in, const Dialogs::PrintRequest &request)
{
    PrintJob job;
    job.kind = ReportCategoryList;
    return PrintOut_Print(job, in, request);
}
