#include "frmListEdit.h"

#include "ScreenTable.h"
#include "calc/Punch.h"
#include "calc/TimeMath.h"
#include "common/Common.h"
#include "common/Dialogs.h"
#include "frmDateSelect.h"
#include "store/ExFile.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <memory>

namespace {

const QString kTitle = screenTitle(ScreenId::ListEdit);

constexpr int kVisibleRows = 16;
constexpr int kPitch = 20;
constexpr int kNumberX = 0, kNumberW = 64;
constexpr int kNameX = 66, kNameW = 130;
constexpr int kFieldX = 200;
constexpr int kFigureX = kFieldX + 4 * 46 + 6;
constexpr int kSheetW = kFigureX + 8 * 50;

QLabel *cellLabel(QWidget *parent, const QString &name, int x, int y, int w)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    l->setGeometry(x, y, w, kPitch - 1);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    return l;
}

QLabel *headerLabel(const QString &text, QWidget *parent, int x, int w)
{
    auto *l = new QLabel(text, parent);
    l->setGeometry(x, 0, w, kPitch);
    l->setAlignment(Qt::AlignCenter);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Raised);
    return l;
}

} // namespace

frmListEdit::frmListEdit(QWidget *parent) : PunchSheet(kTitle, parent)
{
    setObjectName(formName(ScreenId::ListEdit));
    setWindowTitle(screenTitle(ScreenId::ListEdit));

    auto *caption = new QLabel(QStringLiteral(" 一覧修正 "), this);
    caption->setObjectName(QStringLiteral("lblCaption"));
    QFont cf = caption->font();
    cf.setPointSizeF(cf.pointSizeF() * 1.3);
    cf.setBold(true);
    caption->setFont(cf);
    caption->setFrameShape(QFrame::Box);

    m_date = new QComboBox(this);
    m_date->setObjectName(QStringLiteral("cboDate"));
    m_date->setMinimumWidth(100);
    m_before = new QPushButton(QStringLiteral("前日"), this);
    m_before->setObjectName(QStringLiteral("cmdBefore"));
    m_next = new QPushButton(QStringLiteral("翌日"), this);
    m_next->setObjectName(QStringLiteral("cmdNext"));
    m_dateSel = new QPushButton(QStringLiteral("日付選択"), this);
    m_dateSel->setObjectName(QStringLiteral("cmdDateSel"));
    m_dayChange = new QLabel(this);
    m_dayChange->setObjectName(QStringLiteral("lbl日替"));
    m_dayChange->setFrameShape(QFrame::Panel);
    m_dayChange->setFrameShadow(QFrame::Sunken);
    m_dayChange->setMinimumWidth(50);
    m_dayChange->setAlignment(Qt::AlignCenter);
    m_reCalc = new QPushButton(QStringLiteral("再計算"), this);
    m_reCalc->setObjectName(QStringLiteral("cmdReCalc"));

    auto *top = new QHBoxLayout;
    top->addWidget(caption);
    top->addSpacing(16);
    top->addWidget(new QLabel(QStringLiteral("修正日"), this));
    top->addWidget(m_date);
    top->addWidget(m_before);
    top->addWidget(m_next);
    top->addWidget(m_dateSel);
    top->addSpacing(16);
    top->addWidget(new QLabel(QStringLiteral("日替時刻"), this));
    top->addWidget(m_dayChange);
    top->addStretch();
    top->addWidget(m_reCalc);

    auto *header = new QWidget(this);
    header->setFixedSize(kSheetW, kPitch);
    headerLabel(QStringLiteral("社員番号"), header, kNumberX, kNumberW);
    headerLabel(QStringLiteral("氏名"), header, kNameX, kNameW);
    for (int c = 0; c < 4; ++c)
        headerLabel(slotName(c), header, kFieldX + c * 46, 44);
    for (int f = 0; f < 8; ++f)
        headerLabel(figureNames()[size_t(f)], header, kFigureX + f * 50, 48);

    // Opening: fresh category and employee tables.
    Kubun_Read();
    m_count = Kojin_Read(true);
    m_kojin = g_kojin;

    auto *viewport = new QWidget(this);
    viewport->setObjectName(QStringLiteral("sheetView"));
    viewport->setFixedSize(kSheetW, kVisibleRows * kPitch);
    m_sheet = new QWidget(viewport);
    m_sheet->setObjectName(QStringLiteral("sheet"));
    m_sheet->setGeometry(0, 0, kSheetW, std::max(m_count, kVisibleRows) * kPitch);
    for (int r = 0; r < m_count; ++r) {
        const int y = r * kPitch;
        m_numberLabels.append(cellLabel(m_sheet, QStringLiteral("lbl社員番号_%1").arg(r), kNumberX, y, kNumberW));
        m_nameLabels.append(cellLabel(m_sheet, QStringLiteral("lbl氏名_%1").arg(r), kNameX, y, kNameW));
        addRow(m_sheet, y, kFieldX, kFigureX);
    }

    m_scroll = new QScrollBar(Qt::Vertical, this);
    m_scroll->setObjectName(QStringLiteral("VScroll1"));
    m_scroll->setFixedHeight(kVisibleRows * kPitch);
    m_scroll->setMinimum(0);
    m_scroll->setMaximum(std::max(0, m_count - kVisibleRows));
    m_scroll->setPageStep(kVisibleRows);
    m_scroll->setSingleStep(1);
    m_scroll->setEnabled(m_count > kVisibleRows);

    auto *body = new QHBoxLayout;
    body->setSpacing(2);
    body->addWidget(viewport);
    body->addWidget(m_scroll);
    body->addStretch();

    auto *headerLine = new QHBoxLayout;
    headerLine->addWidget(header);
    headerLine->addStretch();

    auto *v = new QVBoxLayout(this);
    v->addLayout(top);
    v->addSpacing(4);
    v->addLayout(headerLine);
    v->addLayout(body);
    v->addStretch();

    connect(m_scroll, &QScrollBar::valueChanged, this, [this](int value) { scrolled(value); });
    connect(m_before, &QPushButton::clicked, this, [this] {
        if (m_date->currentIndex() > 0)
            m_date->setCurrentIndex(m_date->currentIndex() - 1);
    });
    connect(m_next, &QPushButton::clicked, this, [this] {
        if (m_date->currentIndex() + 1 < m_date->count())
            m_date->setCurrentIndex(m_date->currentIndex() + 1);
    });
    connect(m_dateSel, &QPushButton::clicked, this, [this] { pickDate(); });
    connect(m_reCalc, &QPushButton::clicked, this, [this] { reCalc(); });

    fillPeriod();
    m_index = 0;
    if (m_count > 0) {
        loadAndCompute();
        fillDates();
        reportUnknownCategories();
    }
    connect(m_date, &QComboBox::currentIndexChanged, this, [this](int i) { dateChanged(i); });
    m_dayChange->setText(g_company.dayChange);
    if (m_count == 0) {
        m_next->setEnabled(false);
        m_dateSel->setEnabled(false);
        m_reCalc->setEnabled(false);
    }
    updateButtons();
}

QDate frmListEdit::selectedDate() const { return m_period.first.addDays(m_index); }

void frmListEdit::fillPeriod()
{
    if (const int rc = PeriodDays_FillCompact(g_run, g_company, m_days, m_period))
        ErrorReport(rc, dbs().calendar.errorText());
    for (int r = 0; r < m_count; ++r) {
        m_numberLabels[r]->setText(QLatin1Char(' ') + m_kojin[size_t(r)].number);
        m_nameLabels[r]->setText(QLatin1Char(' ') + m_kojin[size_t(r)].name);
        clearRow(r, true);
    }
}

void frmListEdit::fillDates()
{
    QSignalBlocker block(m_date);
    m_date->clear();
    for (const PeriodDay &d : m_days.rows) {
        if (!d.used())
            break;
        m_date->addItem(QStringLiteral("%1月%2日").arg(d.month).arg(d.day));
    }
    m_index = std::clamp(m_index, 0, std::max(0, m_date->count() - 1));
    m_date->setCurrentIndex(m_date->count() > 0 ? m_index : -1);
}

bool frmListEdit::rowUsed(int row) const { return row >= 0 && row < m_count; }
bool frmListEdit::rowNavigable(int row) const { return rowUsed(row); }

void frmListEdit::revealRow(int row)
{
    const int v = m_scroll->value();
    int target = v;
    if (row < v)
        target = row;
    else if (row >= v + kVisibleRows)
        target = row - kVisibleRows + 1;
    if (target != v) {
        m_revealing = true;
        m_scroll->setValue(target);
        m_revealing = false;
    }
}

void frmListEdit::scrolled(int value)
{
    m_sheet->move(0, -value * kPitch);
    if (m_revealing || m_count == 0)
        return;
    if (!commitPending())
        return;
    focusField(value, m_lastCol);
}

int frmListEdit::saveRow(int row, int &unseen)
{
    const PeriodDay &d = m_days.rows[size_t(m_index)];
    const int rc =
        PunchDay_Replace(dbs().monthly, d.month, d.day, m_kojin[size_t(row)].card, m_work[row], m_shown[row], &unseen);
    if (rc)
        ErrorReport(rc, dbs().monthly.errorText());
    return rc;
}

QString frmListEdit::rowCaption(int row) const
{
    const Employee &e = m_kojin[size_t(row)];
    return e.number + QLatin1Char(' ') + e.name;
}

void frmListEdit::readPunches()
{
    const PeriodDay &d = m_days.rows[size_t(std::clamp(m_index, 0, kPeriodRows - 1))];
    QHash<QString, StoredDay> rows;
    auto punches = std::make_unique<PunchRows>();
    {
        // The pairing and the rows a later save may replace come from one state of the file.
        // The employees are the screen's own: another screen may have read all employees, or
        // none, since this one opened.
        ReadScope scope(dbs().monthly);
        const PairingMode mode = pairingModeFor(g_install.linkKind);
        if (const int rc = Punch_LoadDate(d.month, d.day, m_kojin, m_count, mode, *punches))
            ErrorReport(rc, dbs().monthly.errorText());
        else if (const int rc2 = PunchDays_ReadDate(dbs().monthly, d.month, d.day, rows))
            ErrorReport(rc2, dbs().monthly.errorText());
    }
    for (int r = 0; r < m_count; ++r) {
        m_stored[r] = punches->rows[size_t(r)].slot;
        m_shown[r] = rows.value(punchDayKey(d.month, d.day, m_kojin[size_t(r)].card));
    }
}

void frmListEdit::reloadStored()
{
    const PeriodDay &d = m_days.rows[size_t(std::clamp(m_index, 0, kPeriodRows - 1))];
    if (m_count == 0 || !d.used())
        return;
    readPunches();
    computeAndShow();
}

void frmListEdit::loadAndCompute()
{
    const PeriodDay &d = m_days.rows[size_t(std::clamp(m_index, 0, kPeriodRows - 1))];
    if (m_count == 0 || !d.used())
        return;
    readPunches();
    computeAndShow();
    focusField(0, 0);
}

void frmListEdit::computeAndShow()
{
    const PeriodDay &d = m_days.rows[size_t(std::clamp(m_index, 0, kPeriodRows - 1))];
    if (m_count == 0 || !d.used())
        return;
    auto punches = std::make_unique<PunchRows>();
    for (int r = 0; r < m_count; ++r)
        punches->rows[size_t(r)].slot = m_stored[r];
    auto figures = std::make_unique<CalcFigures>();
    Totals_CalcDate(g_kubun, d.dayType, m_kojin, m_count, *punches, *figures);
    for (int r = 0; r < m_count; ++r)
        showStoredRow(r, figures->days.rows[size_t(r)]);
}

void frmListEdit::reportUnknownCategories()
{
    const QVector<int> rows = employeesWithUnknownCategory(m_kojin, m_count);
    if (rows.isEmpty())
        return;
    QString text = QStringLiteral("次の社員の勤務区分は登録できない区分のため、勤務時間は計算されません。");
    for (int r : rows) {
        const Employee &e = m_kojin[size_t(r)];
        text += QLatin1Char('\n') + e.number + QLatin1Char(' ') + e.name + QStringLiteral("（区分 ") + e.category
                + QStringLiteral("）");
    }
    Dialogs::inform(text, kTitle, Dialogs::Icon::Exclamation);
}

void frmListEdit::updateButtons()
{
    const int i = m_date->currentIndex();
    m_before->setEnabled(m_count > 0 && i > 0);
    m_next->setEnabled(m_count > 0 && i >= 0 && i + 1 < m_date->count());
}

void frmListEdit::dateChanged(int index)
{
    if (index < 0 || index == m_index || m_count == 0) {
        updateButtons();
        return;
    }
    auto back = [this] {
        QSignalBlocker block(m_date);
        m_date->setCurrentIndex(m_index);
        updateButtons();
    };
    if (!commitPending()) {
        back();
        return;
    }
    if (save(true) == SaveOutcome::Failed) {
        back(); // the edits stay with the date they were made on
        return;
    }
    m_changed = false;
    m_index = index;
    loadAndCompute();
    updateButtons();
}

void frmListEdit::pickDate()
{
    if (m_count == 0)
        return;
    QDate chosen = selectedDate();
    const QPoint below = m_dateSel->mapToGlobal(QPoint(0, m_dateSel->height()));
    if (!frmDateSelect::pick(m_period.first, m_period.last, chosen, this, below))
        return;
    const int index = int(m_period.first.daysTo(chosen));
    if (index >= 0 && index < m_date->count())
        m_date->setCurrentIndex(index);
}

void frmListEdit::reCalc()
{
    if (m_count == 0 || m_fieldError || !commitPending())
        return;
    if (save(false) == SaveOutcome::Failed)
        return;
    computeAndShow();
    focusField(0, 0);
}

void frmListEdit::ListEdit_Start()
{
    fillPeriod();
    if (m_count > 0) {
        fillDates();
        loadAndCompute();
        reportUnknownCategories();
    }
    m_changed = false;
    updateButtons();
}

int frmListEdit::ListEdit_check(int checkType) { return checkLeave(checkType); }
