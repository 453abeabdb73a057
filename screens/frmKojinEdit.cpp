#include "frmKojinEdit.h"

#include "ScreenTable.h"
#include "calc/Punch.h"
#include "calc/TimeMath.h"
#include "common/Common.h"
#include "common/Dialogs.h"
#include "store/ExFile.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace {

const QString kTitle = screenTitle(ScreenId::KojinEdit);

constexpr int kRows = 32;
constexpr int kHalfRows = 16;
constexpr int kPitch = 20; // one row of the sheet
constexpr int kDateX = 0, kDateW = 116;
constexpr int kWeekX = 118, kWeekW = 24;
constexpr int kFieldX = 146;
constexpr int kFigureX = kFieldX + 4 * 46 + 6;
constexpr int kSheetW = kFigureX + 8 * 50;

QLabel *headerLabel(const QString &text, QWidget *parent, int x, int w)
{
    auto *l = new QLabel(text, parent);
    l->setGeometry(x, 0, w, kPitch);
    l->setAlignment(Qt::AlignCenter);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Raised);
    return l;
}

QColor weekdayColour(const QString &dayType, const QColor &window)
{
    if (dayType == dayTypeHoliday())
        return QColor(255, 0, 0);
    if (dayType == dayTypeNonStatutory())
        return QColor(0x90, 0x90, 0xFF);
    return window;
}

} // namespace

frmKojinEdit::frmKojinEdit(QWidget *parent) : PunchSheet(kTitle, parent)
{
    setObjectName(formName(ScreenId::KojinEdit));
    setWindowTitle(screenTitle(ScreenId::KojinEdit));

    auto *caption = new QLabel(QStringLiteral(" 個人修正 "), this);
    caption->setObjectName(QStringLiteral("lblCaption"));
    QFont cf = caption->font();
    cf.setPointSizeF(cf.pointSizeF() * 1.3);
    cf.setBold(true);
    caption->setFont(cf);
    caption->setFrameShape(QFrame::Box);

    m_employee = new QComboBox(this);
    m_employee->setObjectName(QStringLiteral("cbo社員番号"));
    m_employee->setMinimumWidth(240);
    m_dayChange = new QLabel(this);
    m_dayChange->setObjectName(QStringLiteral("lbl日替"));
    m_dayChange->setFrameShape(QFrame::Panel);
    m_dayChange->setFrameShadow(QFrame::Sunken);
    m_dayChange->setMinimumWidth(50);
    m_dayChange->setAlignment(Qt::AlignCenter);
    m_before = new QPushButton(QStringLiteral("前半"), this);
    m_before->setObjectName(QStringLiteral("cmdBefore"));
    m_after = new QPushButton(QStringLiteral("後半"), this);
    m_after->setObjectName(QStringLiteral("cmdAfter"));
    m_reCalc = new QPushButton(QStringLiteral("再計算"), this);
    m_reCalc->setObjectName(QStringLiteral("cmdReCalc"));

    auto *top = new QHBoxLayout;
    top->addWidget(caption);
    top->addSpacing(16);
    top->addWidget(new QLabel(QStringLiteral("社員"), this));
    top->addWidget(m_employee);
    top->addSpacing(16);
    top->addWidget(new QLabel(QStringLiteral("日替時刻"), this));
    top->addWidget(m_dayChange);
    top->addStretch();
    top->addWidget(m_before);
    top->addWidget(m_after);
    top->addSpacing(12);
    top->addWidget(m_reCalc);

    // Column headings.
    auto *header = new QWidget(this);
    header->setFixedSize(kSheetW, kPitch);
    headerLabel(QStringLiteral("日付"), header, kDateX, kDateW);
    headerLabel(QStringLiteral("曜"), header, kWeekX, kWeekW);
    for (int c = 0; c < 4; ++c)
        headerLabel(slotName(c), header, kFieldX + c * 46, 44);
    for (int f = 0; f < 8; ++f)
        headerLabel(figureNames()[size_t(f)], header, kFigureX + f * 50, 48);

    // The sheet of 32 rows behind a window of 16.
    auto *viewport = new QWidget(this);
    viewport->setObjectName(QStringLiteral("sheetView"));
    viewport->setFixedSize(kSheetW, kHalfRows * kPitch);
    buildSheet(viewport);

    // Counts and sums of the period.
    auto *totals = new QWidget(this);
    totals->setFixedSize(kSheetW, 2 * kPitch + 2);
    const QStringList figureKeys = {QStringLiteral("就業"),   QStringLiteral("遅早"), QStringLiteral("早出"),
                                    QStringLiteral("深夜"),   QStringLiteral("残業"), QStringLiteral("休日"),
                                    QStringLiteral("法定外"), QStringLiteral("勤務")};
    for (int line = 0; line < 2; ++line) {
        auto *t = new QLabel(line == 0 ? QStringLiteral("回数") : QStringLiteral("合計"), totals);
        t->setGeometry(kFieldX + 3 * 46, line * (kPitch + 2), 44, kPitch);
        t->setAlignment(Qt::AlignCenter);
        t->setFrameShape(QFrame::Panel);
        t->setFrameShadow(QFrame::Raised);
        for (int f = 0; f < 8; ++f) {
            auto *l = new QLabel(totals);
            l->setObjectName(QStringLiteral("lbl") + figureKeys.at(f)
                             + (line == 0 ? QStringLiteral("_回数") : QStringLiteral("_合計")));
            l->setGeometry(kFigureX + f * 50, line * (kPitch + 2), 48, kPitch);
            l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            l->setFrameShape(QFrame::Panel);
            l->setFrameShadow(QFrame::Sunken);
            (line == 0 ? m_countLabels : m_sumLabels)[size_t(f)] = l;
        }
    }

    auto *v = new QVBoxLayout(this);
    v->addLayout(top);
    v->addSpacing(4);
    v->addWidget(header);
    v->addWidget(viewport);
    v->addSpacing(4);
    v->addWidget(totals);
    v->addStretch();

    connect(m_before, &QPushButton::clicked, this, [this] {
        if (!m_fieldError)
            showHalf(0);
    });
    connect(m_after, &QPushButton::clicked, this, [this] {
        if (!m_fieldError)
            showHalf(1);
    });
    connect(m_reCalc, &QPushButton::clicked, this, [this] { reCalc(); });

    // Opening: fresh category and employee tables, then the first employee.
    Kubun_Read();
    m_count = Kojin_Read(true);
    m_kojin = g_kojin;
    fillPeriod();
    {
        QSignalBlocker block(m_employee);
        for (int i = 0; i < m_count; ++i)
            m_employee->addItem(trimBlanks(m_kojin[size_t(i)].number) + QLatin1Char(' ')
                                + trimBlanks(m_kojin[size_t(i)].name));
    }
    connect(m_employee, &QComboBox::currentIndexChanged, this, [this](int i) { employeeChanged(i); });
    m_dayChange->setText(g_company.dayChange);
    if (m_count > 0) {
        m_current = 0;
        m_employee->setCurrentIndex(0);
        loadAndCompute();
    }
    showHalf(0);
    if (m_count == 0) {
        m_after->setEnabled(false);
        m_reCalc->setEnabled(false);
    }
    focusFirstRow();
}

void frmKojinEdit::buildSheet(QWidget *viewport)
{
    m_sheet = new QWidget(viewport);
    m_sheet->setObjectName(QStringLiteral("sheet"));
    m_sheet->setGeometry(0, 0, kSheetW, kRows * kPitch);
    for (int r = 0; r < kRows; ++r) {
        const int y = r * kPitch;
        auto *date = new QLabel(m_sheet);
        date->setObjectName(QStringLiteral("lbl日付_%1").arg(r));
        date->setGeometry(kDateX, y, kDateW, kPitch - 1);
        date->setFrameShape(QFrame::Panel);
        date->setFrameShadow(QFrame::Sunken);
        auto *week = new QLabel(m_sheet);
        week->setObjectName(QStringLiteral("lbl曜日_%1").arg(r));
        week->setGeometry(kWeekX, y, kWeekW, kPitch - 1);
        week->setAlignment(Qt::AlignCenter);
        week->setFrameShape(QFrame::Panel);
        week->setFrameShadow(QFrame::Sunken);
        week->setAutoFillBackground(true);
        m_dateLabels.append(date);
        m_weekdayLabels.append(week);
        addRow(m_sheet, y, kFieldX, kFigureX);
    }
}

void frmKojinEdit::fillPeriod()
{
    if (const int rc = PeriodDays_FillFixed(g_run, g_company, m_days))
        ErrorReport(rc, dbs().calendar.errorText());
    const QColor window = palette().color(QPalette::Window);
    for (int r = 0; r < kRows; ++r) {
        const PeriodDay &d = m_days.rows[size_t(r)];
        QPalette p = m_weekdayLabels[r]->palette();
        if (d.used()) {
            m_dateLabels[r]->setText(QLatin1Char(' ') + zeroPad(d.year, 4) + QStringLiteral("年") + zeroPad(d.month, 2)
                                     + QStringLiteral("月") + zeroPad(d.day, 2) + QStringLiteral("日"));
            m_weekdayLabels[r]->setText(weekdayName(d.date()));
            p.setColor(QPalette::Window, weekdayColour(d.dayType, window));
        } else {
            m_dateLabels[r]->clear();
            m_weekdayLabels[r]->clear();
            p.setColor(QPalette::Window, window);
        }
        m_weekdayLabels[r]->setPalette(p);
        clearRow(r, d.used() && m_count > 0);
    }
}

bool frmKojinEdit::rowUsed(int row) const { return row >= 0 && row < kRows && m_days.rows[size_t(row)].used(); }

bool frmKojinEdit::rowNavigable(int row) const { return rowUsed(row) && m_count > 0 && row / kHalfRows == m_half; }

int frmKojinEdit::saveRow(int row, int &unseen)
{
    const PeriodDay &d = m_days.rows[size_t(row)];
    const int rc = PunchDay_Replace(dbs().monthly, d.month, d.day, m_kojin[size_t(m_current)].card, m_work[row],
                                    m_shown[row], &unseen);
    if (rc)
        ErrorReport(rc, dbs().monthly.errorText());
    return rc;
}

QString frmKojinEdit::rowCaption(int row) const
{
    const PeriodDay &d = m_days.rows[size_t(row)];
    return zeroPad(d.year, 4) + QStringLiteral("年") + zeroPad(d.month, 2) + QStringLiteral("月") + zeroPad(d.day, 2)
           + QStringLiteral("日");
}

void frmKojinEdit::readPunches()
{
    const Employee &emp = m_kojin[size_t(m_current)];
    QHash<QString, StoredDay> rows;
    auto punches = std::make_unique<PunchRows>();
    {
        // The pairing and the rows a later save may replace come from one state of the file.
        ReadScope scope(dbs().monthly);
        if (const int rc = Punch_LoadEmployee(m_days, emp.card, pairingModeFor(g_install.linkKind), *punches))
            ErrorReport(rc, dbs().monthly.errorText());
        else if (const int rc2 = PunchDays_ReadCard(dbs().monthly, emp.card, rows))
            ErrorReport(rc2, dbs().monthly.errorText());
    }
    for (int r = 0; r < kRows; ++r) {
        m_stored[r] = punches->rows[size_t(r)].slot;
        const PeriodDay &d = m_days.rows[size_t(r)];
        m_shown[r] = d.used() ? rows.value(punchDayKey(d.month, d.day, emp.card)) : StoredDay();
    }
}

void frmKojinEdit::reloadStored()
{
    if (m_current < 0 || m_current >= m_count)
        return;
    readPunches();
    computeAndShow();
}

void frmKojinEdit::loadAndCompute()
{
    if (m_current < 0 || m_current >= m_count)
        return;
    const Employee &emp = m_kojin[size_t(m_current)];
    readPunches();
    computeAndShow();
    if (!categoryCodeKnown(emp.category)) {
        Dialogs::inform(QStringLiteral("社員番号 ") + emp.number + QLatin1Char(' ') + emp.name
                            + QStringLiteral(" の勤務区分「") + emp.category
                            + QStringLiteral("」は登録できない区分です。") + QLatin1Char('\n')
                            + QStringLiteral("勤務時間は計算されません。"),
                        kTitle, Dialogs::Icon::Exclamation);
    }
}

void frmKojinEdit::computeAndShow()
{
    if (m_current < 0 || m_current >= m_count)
        return;
    // The screen's own period and stored punches, with the program's category table.
    auto punches = std::make_unique<PunchRows>();
    for (int r = 0; r < kRows; ++r)
        punches->rows[size_t(r)].slot = m_stored[r];
    auto figures = std::make_unique<CalcFigures>();
    Totals_CalcEmployee(g_kubun, categoryNumberOf(m_kojin[size_t(m_current)].category), m_days, *punches, *figures);
    for (int r = 0; r < kRows; ++r) {
        if (rowUsed(r))
            showStoredRow(r, figures->days.rows[size_t(r)]);
    }
    for (int f = 0; f < 8; ++f) {
        const MonthTotal &t = figures->totals.figure[size_t(figureOrder()[size_t(f)])];
        m_countLabels[size_t(f)]->setText(QString::number(t.count));
        m_sumLabels[size_t(f)]->setText(Minutes_ToHhhmm(t.sum));
    }
}

void frmKojinEdit::showHalf(int half)
{
    m_half = half;
    m_sheet->move(0, -half * kHalfRows * kPitch);
    for (int r = 0; r < kRows; ++r) {
        const Qt::FocusPolicy p = r / kHalfRows == half ? Qt::StrongFocus : Qt::NoFocus;
        for (QLineEdit *e : m_rows[r].field)
            e->setFocusPolicy(p);
    }
    m_before->setEnabled(half != 0);
    m_after->setEnabled(half != 1 && m_count > 0);
    focusFirstRow();
}

void frmKojinEdit::focusFirstRow()
{
    const int r = firstNavigableRow(m_half * kHalfRows);
    if (r >= 0)
        focusField(r, 0);
}

void frmKojinEdit::employeeChanged(int index)
{
    if (index == m_current || index < 0)
        return;
    auto back = [this] {
        QSignalBlocker block(m_employee);
        m_employee->setCurrentIndex(m_current);
    };
    if (!commitPending()) {
        back();
        return;
    }
    if (save(true) == SaveOutcome::Failed) {
        back(); // the edits stay on screen with the employee they belong to
        return;
    }
    m_changed = false;
    m_current = index;
    loadAndCompute();
    focusFirstRow();
}

void frmKojinEdit::reCalc()
{
    if (m_count == 0 || m_fieldError || !commitPending())
        return;
    if (save(false) == SaveOutcome::Failed)
        return;
    computeAndShow();
    focusFirstRow();
}

void frmKojinEdit::KojinEdit_Start()
{
    fillPeriod();
    if (m_count > 0)
        loadAndCompute();
    m_changed = false;
    showHalf(m_half);
}

int frmKojinEdit::KojinEdit_check(int checkType) { return checkLeave(checkType); }
