#include "frmCalendar.h"

#include "ScreenTable.h"
#include "common/Common.h"
#include "common/Dialogs.h"
#include "store/DbFile.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const QString kTitle = screenTitle(ScreenId::Calendar);

QColor colourOf(DayType t)
{
    switch (t) {
    case DayType::Holiday: return QColor(Qt::red);
    case DayType::Extra: return QColor(Qt::blue);
    case DayType::Weekday: break;
    }
    return QColor(Qt::black);
}

// Full-width digits for the grid titles (２０１０年 ４月).
QString fullWidth(const QString &digits)
{
    QString s;
    for (QChar c : digits)
        s += c.isDigit() ? QChar(0xFF10 + (c.unicode() - u'0')) : c;
    return s;
}

} // namespace

frmCalendar::frmCalendar(QWidget *parent) : QWidget(parent)
{
    setObjectName(formName(ScreenId::Calendar));
    setWindowTitle(kTitle);

    m_year = new QComboBox(this);
    m_year->setObjectName(QStringLiteral("cboYear"));
    for (int y = 2001; y <= 2099; ++y)
        m_year->addItem(QString::number(y));
    m_month = new QComboBox(this);
    m_month->setObjectName(QStringLiteral("cboMonth"));
    for (int m = 1; m <= 12; ++m)
        m_month->addItem(zeroPad(m, 2));
    m_before = new QPushButton(QStringLiteral("＜"), this);
    m_before->setObjectName(QStringLiteral("cmdBefore"));
    m_next = new QPushButton(QStringLiteral("＞"), this);
    m_next->setObjectName(QStringLiteral("cmdNext"));
    for (auto *b : {m_before, m_next})
        b->setFixedWidth(36);

    auto *top = new QHBoxLayout;
    top->addWidget(m_before);
    top->addWidget(m_year);
    top->addWidget(new QLabel(QStringLiteral("年"), this));
    top->addWidget(m_month);
    top->addWidget(new QLabel(QStringLiteral("月"), this));
    top->addWidget(m_next);
    top->addStretch();

    auto *grids = new QHBoxLayout;
    grids->addWidget(buildGrid(0));
    grids->addSpacing(16);
    grids->addWidget(buildGrid(1));

    auto *kyuuka = new QGroupBox(QStringLiteral("設定する区分"), this);
    auto *kl = new QHBoxLayout(kyuuka);
    m_kyuuka = new QButtonGroup(this);
    const QStringList kinds = {QStringLiteral("平日"), QStringLiteral("休日"), QStringLiteral("法定外")};
    for (int i = 0; i < 3; ++i) {
        auto *r = new QRadioButton(kinds.at(i), kyuuka);
        r->setObjectName(QStringLiteral("optKyuuka_%1").arg(i));
        m_kyuuka->addButton(r, i);
        kl->addWidget(r);
    }
    m_kyuuka->button(1)->setChecked(true);

    m_set = new QPushButton(QStringLiteral("登録"), this);
    m_set->setObjectName(QStringLiteral("cmdSet"));
    m_set->setMinimumWidth(90);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(kyuuka);
    bottom->addStretch();
    bottom->addWidget(m_set);

    auto *v = new QVBoxLayout(this);
    v->addLayout(top);
    v->addLayout(grids);
    v->addLayout(bottom);
    v->addStretch();

    connect(m_month, &QComboBox::currentIndexChanged, this, [this] { onMonthChange(); });
    connect(m_year, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_suppress)
            onMonthChange();
    });
    connect(m_before, &QPushButton::clicked, this, [this] { moveMonth(-1); });
    connect(m_next, &QPushButton::clicked, this, [this] { moveMonth(1); });
    connect(m_set, &QPushButton::clicked, this, [this] {
        if (save(false))
            m_changed = false;
    });

    // Open on the processing month.
    QDate start(g_run.year.toInt(), g_run.month.toInt(), 1);
    if (!start.isValid())
        start = QDate(Clock::today().year(), Clock::today().month(), 1);
    m_suppress = true;
    m_year->setCurrentIndex(qBound(0, start.year() - 2001, m_year->count() - 1));
    m_suppress = false;
    m_month->setCurrentIndex(start.month() - 1);
    onMonthChange(); // the month combo may already have stood on this month
}

QWidget *frmCalendar::buildGrid(int g)
{
    Grid &grid = m_grid[g];
    auto *box = new QWidget(this);
    auto *v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 0);
    grid.title = new QLabel(box);
    grid.title->setObjectName(QStringLiteral("lblMonth%1").arg(g + 1));
    grid.title->setAlignment(Qt::AlignCenter);
    QFont f = grid.title->font();
    f.setPointSizeF(f.pointSizeF() * 1.2);
    grid.title->setFont(f);
    v->addWidget(grid.title);

    auto *layout = new QGridLayout;
    layout->setSpacing(2);
    static const char16_t *names[] = {u"日", u"月", u"火", u"水", u"木", u"金", u"土"};
    for (int k = 0; k < 7; ++k) {
        auto *b = new QPushButton(QString::fromUtf16(names[k]), box);
        b->setObjectName(QStringLiteral("cmdYoubi%1_%2").arg(g + 1).arg(k));
        b->setFixedSize(40, 26);
        connect(b, &QPushButton::clicked, this, [this, g, k] { clickYoubi(g, k); });
        layout->addWidget(b, 0, k);
        grid.youbi.append(b);
    }
    for (int i = 0; i < 42; ++i) {
        auto *l = new QLabel(box);
        l->setObjectName(QStringLiteral("lblDay%1_%2").arg(g + 1).arg(i));
        l->setAlignment(Qt::AlignCenter);
        l->setFixedSize(40, 30);
        l->setFrameShape(QFrame::Box);
        l->setAutoFillBackground(true);
        QPalette pal = l->palette();
        pal.setColor(QPalette::Window, Qt::white);
        l->setPalette(pal);
        l->installEventFilter(this);
        layout->addWidget(l, 1 + i / 7, i % 7);
        grid.days.append(l);
    }
    grid.type.fill(DayType::Weekday, 42);
    v->addLayout(layout);
    return box;
}

void frmCalendar::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
            sub->move(0, 0);
    }
}

DayType frmCalendar::chosenType() const
{
    switch (m_kyuuka->checkedId()) {
    case 1: return DayType::Holiday;
    case 2: return DayType::Extra;
    default: break;
    }
    return DayType::Weekday;
}

void frmCalendar::onMonthChange()
{
    const QDate date(m_year->currentText().toInt(), m_month->currentText().toInt(), 1);
    if (!date.isValid() || date == m_selected)
        return;
    if (m_changed)
        save(true);
    m_selected = date;
    m_changed = false;

    const bool first = m_year->currentIndex() == 0 && m_month->currentIndex() == 0;
    const bool last = m_year->currentIndex() == m_year->count() - 1 && m_month->currentIndex() == m_month->count() - 1;
    m_before->setEnabled(!first);
    m_next->setEnabled(!last);

    // An accounting period that closes on the 31st lies in its own month; any other closing
    // day reaches back into the month before.
    m_first = g_company.closingDayNo == 31 ? m_selected : m_selected.addMonths(-1);
    paintMonth(0, m_first);
    paintMonth(1, m_first.addMonths(1));
}

void frmCalendar::moveMonth(int delta)
{
    const QDate d = m_selected.addMonths(delta);
    if (d.year() < 2001 || d.year() > 2099)
        return;
    m_suppress = true;
    m_year->setCurrentIndex(d.year() - 2001);
    m_suppress = false;
    m_month->setCurrentIndex(d.month() - 1);
    onMonthChange(); // in case only the year moved the combos
}

void frmCalendar::setDay(int g, int index, DayType t)
{
    Grid &grid = m_grid[g];
    grid.type[index] = t;
    QLabel *l = grid.days.at(index);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, colourOf(t));
    l->setPalette(pal);
}

void frmCalendar::paintMonth(int g, const QDate &month)
{
    Grid &grid = m_grid[g];
    grid.month = month;
    grid.offset = month.dayOfWeek() % 7;
    grid.count = DaysInMonth(month.year(), month.month());
    for (int i = 0; i < 42; ++i) {
        grid.days.at(i)->clear();
        setDay(g, i, DayType::Weekday);
    }
    for (int d = 1; d <= grid.count; ++d)
        grid.days.at(grid.offset + d - 1)->setText(QString::number(d));
    grid.title->setText(fullWidth(zeroPad(month.year(), 4)) + QStringLiteral("年 ")
                        + fullWidth(QString::number(month.month())) + QStringLiteral("月"));

    QMap<int, DayType> types;
    if (!Calendar_ReadMonth(dbs().calendar, month.year(), month.month(), types)) {
        ErrorReport(dbs().calendar.errorNumber(), dbs().calendar.errorText());
        return;
    }
    if (types.isEmpty()) {
        // A month nobody has set yet: Sundays are the holidays.
        for (int i = 0; i < 42; i += 7)
            if (!grid.days.at(i)->text().isEmpty())
                setDay(g, i, DayType::Holiday);
        return;
    }
    for (auto it = types.cbegin(); it != types.cend(); ++it)
        setDay(g, grid.offset + it.key() - 1, it.value());
}

bool frmCalendar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::LeftButton) {
            for (int g = 0; g < 2; ++g) {
                const int i = int(m_grid[g].days.indexOf(static_cast<QLabel *>(watched)));
                if (i >= 0) {
                    clickDay(g, i);
                    return true;
                }
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmCalendar::clickDay(int g, int index)
{
    Grid &grid = m_grid[g];
    if (grid.days.at(index)->text().isEmpty())
        return;
    const DayType chosen = chosenType();
    const DayType now = grid.type.at(index);
    // 休日 and 法定外 toggle their own colour on and off; 平日 just clears.
    const DayType next = chosen == DayType::Weekday ? DayType::Weekday : (now == chosen ? DayType::Weekday : chosen);
    if (next != now) {
        setDay(g, index, next);
        m_changed = true;
    }
}

void frmCalendar::clickYoubi(int g, int weekday)
{
    Grid &grid = m_grid[g];
    const DayType chosen = chosenType();
    DayType target = chosen;
    if (chosen != DayType::Weekday) {
        bool all = true;
        for (int i = weekday; i < 42; i += 7)
            if (!grid.days.at(i)->text().isEmpty() && grid.type.at(i) != chosen)
                all = false;
        if (all) // the button takes the whole column off again
            target = DayType::Weekday;
    }
    for (int i = weekday; i < 42; i += 7)
        if (!grid.days.at(i)->text().isEmpty() && grid.type.at(i) != target)
            setDay(g, i, target);
    m_changed = true;
}

bool frmCalendar::save(bool ask)
{
    if (ask && !Dialogs::askYesNo(QStringLiteral("変更されたカレンダー設定を保存します。よろしいですか？"), kTitle))
        return false;
    for (const Grid &grid : m_grid) {
        QVector<DayType> types;
        for (int d = 1; d <= grid.count; ++d)
            types.append(grid.type.at(grid.offset + d - 1));
        if (!Calendar_SaveMonth(dbs().calendar, grid.month.year(), grid.month.month(), types)) {
            ErrorReport(dbs().calendar.errorNumber(), dbs().calendar.errorText());
            return false;
        }
    }
    return true;
}

int frmCalendar::Calendar_Check()
{
    if (m_changed) {
        save(true);
        // Show what is stored now: the saved edits, or the old days when the edits were
        // declined, so the screen never keeps colours that are not in the calendar.
        paintMonth(0, m_grid[0].month);
        paintMonth(1, m_grid[1].month);
    }
    m_changed = false;
    return 0;
}
