#include "frmDateSelect.h"

#include "ScreenTable.h"
#include "common/Common.h"
#include "store/CalendarStore.h"
#include "store/DbFile.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

QDate frmDateSelect::SelectedDate;
int frmDateSelect::CancelFlag = 0;

namespace {

// The selected day's background.
const QColor kSelectedBack(0xC0, 0xFF, 0xFF);

QColor typeColour(DayType t)
{
    switch (t) {
    case DayType::Holiday: return QColor(Qt::red);
    case DayType::Extra: return QColor(Qt::blue);
    case DayType::Weekday: break;
    }
    return QColor(Qt::black);
}

} // namespace

frmDateSelect::frmDateSelect(QWidget *parent) : QDialog(parent)
{
    setObjectName(formName(ScreenId::DateSelect));
    setWindowTitle(screenTitle(ScreenId::DateSelect));
    setModal(true);

    m_before = new QPushButton(QStringLiteral("＜"), this);
    m_before->setObjectName(QStringLiteral("cmdBefore"));
    m_next = new QPushButton(QStringLiteral("＞"), this);
    m_next->setObjectName(QStringLiteral("cmdNext"));
    for (auto *b : {m_before, m_next}) {
        b->setFixedWidth(32);
        b->setAutoDefault(false);
    }
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("lblMonth"));
    m_title->setAlignment(Qt::AlignCenter);

    auto *top = new QHBoxLayout;
    top->addWidget(m_before);
    top->addWidget(m_title, 1);
    top->addWidget(m_next);

    auto *grid = new QGridLayout;
    grid->setSpacing(1);
    static const char16_t *names[] = {u"日", u"月", u"火", u"水", u"木", u"金", u"土"};
    for (int c = 0; c < 7; ++c) {
        auto *l = new QLabel(QString::fromUtf16(names[c]), this);
        l->setAlignment(Qt::AlignCenter);
        grid->addWidget(l, 0, c);
    }
    for (int i = 0; i < 42; ++i) {
        auto *b = new QPushButton(this);
        b->setObjectName(QStringLiteral("chkDay_%1").arg(i));
        b->setCheckable(true);
        b->setAutoDefault(false);
        b->setFixedSize(34, 26);
        b->setAutoFillBackground(true);
        connect(b, &QPushButton::clicked, this, [this, i] { chooseDay(i); });
        grid->addWidget(b, 1 + i / 7, i % 7);
        m_days.append(b);
    }
    m_dayColour.fill(QColor(Qt::black), 42);

    m_cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cancel->setAutoDefault(false);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(m_cancel);

    auto *v = new QVBoxLayout(this);
    v->addLayout(top);
    v->addLayout(grid);
    v->addLayout(bottom);
    setFixedSize(sizeHint());

    connect(m_before, &QPushButton::clicked, this, [this] {
        m_month = m_month.addMonths(-1);
        paintMonth();
    });
    connect(m_next, &QPushButton::clicked, this, [this] {
        m_month = m_month.addMonths(1);
        paintMonth();
    });
    connect(m_cancel, &QPushButton::clicked, this, &frmDateSelect::reject);
}

bool frmDateSelect::pick(const QDate &min, const QDate &max, QDate &selected, QWidget *parent, const QPoint &globalPos)
{
    SelectedDate = selected;
    frmDateSelect dlg(parent);
    dlg.setMinDate(min);
    dlg.setMaxDate(max);
    if (!globalPos.isNull())
        dlg.move(globalPos);
    dlg.exec();
    if (CancelFlag != 0)
        return false;
    selected = SelectedDate;
    return true;
}

void frmDateSelect::load()
{
    CancelFlag = 0;
    m_selected = SelectedDate.isValid() ? SelectedDate : (m_min.isValid() ? m_min : Clock::today());
    m_month = QDate(m_selected.year(), m_selected.month(), 1);
    m_loaded = true;
    paintMonth();
}

int frmDateSelect::exec()
{
    if (!m_loaded)
        load();
    return QDialog::exec();
}

void frmDateSelect::reject()
{
    CancelFlag = -1;
    QDialog::reject();
}

void frmDateSelect::setDayLook(QPushButton *b, const QColor &text, bool selected)
{
    QPalette pal = b->palette();
    pal.setColor(QPalette::Active, QPalette::ButtonText, text);
    pal.setColor(QPalette::Inactive, QPalette::ButtonText, text);
    const QColor back = selected ? kSelectedBack : palette().color(QPalette::Button);
    pal.setColor(QPalette::Button, back);
    b->setPalette(pal);
    b->setChecked(selected);
}

void frmDateSelect::paintMonth()
{
    m_title->setText(QStringLiteral("%1年 %2月").arg(m_month.year()).arg(m_month.month()));

    // The picker moves between the two months of an accounting period: back only while the
    // period starts before this month, forward only while it ends after it.
    if (m_month > m_min) {
        m_before->setEnabled(true);
        m_next->setEnabled(false);
    } else {
        m_before->setEnabled(false);
        m_next->setEnabled(m_max.isValid() && (m_max.year() != m_month.year() || m_max.month() != m_month.month()));
    }

    QMap<int, DayType> types;
    Calendar_ReadMonth(dbs().calendar, m_month.year(), m_month.month(), types);

    const int offset = m_month.dayOfWeek() % 7; // Sunday first
    const int n = DaysInMonth(m_month.year(), m_month.month());
    for (int i = 0; i < 42; ++i) {
        QPushButton *b = m_days.at(i);
        const int day = i - offset + 1;
        if (day < 1 || day > n) {
            b->setText(QString());
            b->setEnabled(false);
            m_dayColour[i] = QColor(Qt::black);
            setDayLook(b, m_dayColour[i], false);
            continue;
        }
        const QDate date(m_month.year(), m_month.month(), day);
        b->setText(QString::number(day));
        const bool inRange = (!m_min.isValid() || date >= m_min) && (!m_max.isValid() || date <= m_max);
        b->setEnabled(inRange);
        m_dayColour[i] = inRange ? typeColour(types.value(day, DayType::Weekday)) : QColor(Qt::black);
        setDayLook(b, m_dayColour[i], date == m_selected);
    }
}

void frmDateSelect::chooseDay(int index)
{
    QPushButton *b = m_days.at(index);
    if (b->text().isEmpty())
        return;
    for (int i = 0; i < 42; ++i)
        if (i != index && m_days.at(i)->isChecked())
            setDayLook(m_days.at(i), m_dayColour.at(i), false);
    setDayLook(b, m_dayColour.at(index), true);
    m_selected = QDate(m_month.year(), m_month.month(), b->text().toInt());
    SelectedDate = QDate::fromString(m_month.toString(QStringLiteral("yyyy/MM/")) + zeroPad(b->text().toInt(), 2),
                                     QStringLiteral("yyyy/MM/dd"));
    CancelFlag = 0;
    accept();
}
