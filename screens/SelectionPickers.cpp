#include "SelectionPickers.h"

#include "frmDateSelect.h"

#include "calc/Period.h"
#include "common/Common.h"
#include "output/ExportJob.h"
#include "store/DbFile.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QComboBox *combo(QWidget *owner, const QString &name)
{
    auto *c = new QComboBox(owner);
    c->setObjectName(name);
    c->setMinimumContentsLength(18);
    return c;
}

QPushButton *dateButton(QWidget *owner, const QString &name)
{
    auto *b = new QPushButton(QStringLiteral("▼"), owner);
    b->setObjectName(name);
    b->setFixedWidth(28);
    b->setAutoDefault(false);
    return b;
}

} // namespace

QButtonGroup *SelectionPickers::radioGroup(QWidget *owner, const QString &name, const QStringList &captions,
                                           QBoxLayout *into)
{
    auto *g = new QButtonGroup(owner);
    for (int i = 0; i < captions.size(); ++i) {
        auto *b = new QRadioButton(captions.at(i), owner);
        b->setObjectName(name + QLatin1Char('_') + QString::number(i));
        g->addButton(b, i);
        into->addWidget(b);
    }
    g->button(0)->setChecked(true);
    return g;
}

QVector<int> SelectionPickers::selectedRows(const QListWidget *list)
{
    QVector<int> rows;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected())
            rows << i;
    return rows;
}

QGroupBox *SelectionPickers::buildEmployeeFrame(QWidget *owner)
{
    auto *frame = new QGroupBox(QStringLiteral("社員指定"), owner);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto *empLayout = new QVBoxLayout(frame);
    auto *empTargets = new QHBoxLayout;
    m_targetEmployee =
        radioGroup(owner, m_names.targetEmployee,
                   {QStringLiteral("全社員"), QStringLiteral("社員"), QStringLiteral("複数社員")}, empTargets);
    empLayout->addLayout(empTargets);
    m_frame3 = new QWidget(frame);
    m_frame3->setObjectName(QStringLiteral("Frame3"));
    auto *f3 = new QHBoxLayout(m_frame3);
    m_employee = combo(m_frame3, m_names.employee);
    f3->addWidget(m_employee);
    f3->addStretch();
    empLayout->addWidget(m_frame3);
    m_frame4 = new QWidget(frame);
    m_frame4->setObjectName(QStringLiteral("Frame4"));
    auto *f4 = new QVBoxLayout(m_frame4);
    auto *sevEmp = new QHBoxLayout;
    m_severalEmployee =
        radioGroup(m_frame4, m_names.severalEmployee, {QStringLiteral("範囲指定"), QStringLiteral("任意指定")}, sevEmp);
    f4->addLayout(sevEmp);
    auto *rangeEmp = new QHBoxLayout;
    m_rangeEmployee[0] = combo(m_frame4, m_names.rangeEmployee.arg(0));
    m_rangeEmployeeLabel = new QLabel(QStringLiteral("～"), m_frame4);
    m_rangeEmployeeLabel->setObjectName(m_names.rangeEmployeeLabel);
    m_rangeEmployee[1] = combo(m_frame4, m_names.rangeEmployee.arg(1));
    rangeEmp->addWidget(m_rangeEmployee[0]);
    rangeEmp->addWidget(m_rangeEmployeeLabel);
    rangeEmp->addWidget(m_rangeEmployee[1]);
    rangeEmp->addStretch();
    f4->addLayout(rangeEmp);
    m_listEmployee = new QListWidget(m_frame4);
    m_listEmployee->setObjectName(m_names.listEmployee);
    m_listEmployee->setSelectionMode(QAbstractItemView::MultiSelection);
    f4->addWidget(m_listEmployee);
    empLayout->addWidget(m_frame4);
    return frame;
}

QGroupBox *SelectionPickers::buildDateFrame(QWidget *owner)
{
    auto *frame = new QGroupBox(QStringLiteral("日付け指定"), owner);
    frame->setObjectName(QStringLiteral("Frame2"));
    auto *dateLayout = new QVBoxLayout(frame);
    auto *dateTargets = new QHBoxLayout;
    m_targetDate =
        radioGroup(owner, m_names.targetDate,
                   {QStringLiteral("１ヶ月"), QStringLiteral("１日"), m_names.severalDatesCaption}, dateTargets);
    dateLayout->addLayout(dateTargets);
    m_frame10 = new QWidget(frame);
    m_frame10->setObjectName(QStringLiteral("Frame10"));
    auto *f10 = new QHBoxLayout(m_frame10);
    m_date = combo(m_frame10, m_names.date);
    m_dateButton = dateButton(m_frame10, m_names.dateButton);
    f10->addWidget(m_date);
    f10->addWidget(m_dateButton);
    f10->addStretch();
    dateLayout->addWidget(m_frame10);
    m_frame11 = new QWidget(frame);
    m_frame11->setObjectName(QStringLiteral("Frame11"));
    auto *f11 = new QVBoxLayout(m_frame11);
    auto *sevDate = new QHBoxLayout;
    m_severalDate =
        radioGroup(m_frame11, m_names.severalDate, {QStringLiteral("範囲指定"), QStringLiteral("任意指定")}, sevDate);
    f11->addLayout(sevDate);
    auto *rangeDate = new QHBoxLayout;
    for (int i = 0; i < 2; ++i) {
        m_rangeDate[i] = combo(m_frame11, m_names.rangeDate.arg(i));
        m_rangeDateButton[i] = dateButton(m_frame11, m_names.rangeDateButton.arg(i));
    }
    m_rangeDateLabel = new QLabel(QStringLiteral("～"), m_frame11);
    m_rangeDateLabel->setObjectName(m_names.rangeDateLabel);
    rangeDate->addWidget(m_rangeDate[0]);
    rangeDate->addWidget(m_rangeDateButton[0]);
    rangeDate->addWidget(m_rangeDateLabel);
    rangeDate->addWidget(m_rangeDate[1]);
    rangeDate->addWidget(m_rangeDateButton[1]);
    rangeDate->addStretch();
    f11->addLayout(rangeDate);
    m_listDate = new QListWidget(m_frame11);
    m_listDate->setObjectName(m_names.listDate);
    m_listDate->setSelectionMode(QAbstractItemView::MultiSelection);
    f11->addWidget(m_listDate);
    dateLayout->addWidget(m_frame11);
    // Until "１日" or the several-dates choice is made neither date frame is shown.
    m_frame10->setVisible(false);
    m_frame11->setVisible(false);
    return frame;
}

void SelectionPickers::connectPickers(QWidget *owner)
{
    QObject::connect(m_rangeEmployee[0], &QComboBox::currentIndexChanged, owner,
                     [this] { rangeChanged(m_rangeEmployee[0], m_rangeEmployee[1], true); });
    QObject::connect(m_rangeEmployee[1], &QComboBox::currentIndexChanged, owner,
                     [this] { rangeChanged(m_rangeEmployee[0], m_rangeEmployee[1], false); });
    QObject::connect(m_rangeDate[0], &QComboBox::currentIndexChanged, owner,
                     [this] { rangeChanged(m_rangeDate[0], m_rangeDate[1], true); });
    QObject::connect(m_rangeDate[1], &QComboBox::currentIndexChanged, owner,
                     [this] { rangeChanged(m_rangeDate[0], m_rangeDate[1], false); });
    QObject::connect(m_dateButton, &QPushButton::clicked, owner,
                     [this, owner] { pickDate(owner, m_date, m_dateButton); });
    for (int i = 0; i < 2; ++i)
        QObject::connect(m_rangeDateButton[i], &QPushButton::clicked, owner,
                         [this, owner, i] { pickDate(owner, m_rangeDate[i], m_rangeDateButton[i]); });
}

void SelectionPickers::fill(int employeeCount, const PeriodRange &period)
{
    QStringList employees;
    for (int i = 0; i < employeeCount; ++i)
        employees << trimBlanks(g_kojin[size_t(i)].number) + QLatin1Char(' ') + trimBlanks(g_kojin[size_t(i)].name);
    for (QComboBox *c : {m_employee, m_rangeEmployee[0], m_rangeEmployee[1]}) {
        QSignalBlocker block(c);
        c->clear();
        c->addItems(employees);
    }
    m_listEmployee->clear();
    m_listEmployee->addItems(employees);
    {
        QSignalBlocker b0(m_rangeEmployee[0]), b1(m_rangeEmployee[1]);
        m_employee->setCurrentIndex(employees.isEmpty() ? -1 : 0);
        m_rangeEmployee[0]->setCurrentIndex(employees.isEmpty() ? -1 : 0);
        m_rangeEmployee[1]->setCurrentIndex(int(employees.size()) - 1);
    }

    m_dates = periodDates(period);
    QStringList dates;
    for (const QDate &d : m_dates)
        dates << zeroPad(d.year(), 4) + QStringLiteral("年 ") + zeroPad(d.month(), 2) + QStringLiteral("月 ")
                     + zeroPad(d.day(), 2) + QStringLiteral("日");
    for (QComboBox *c : {m_date, m_rangeDate[0], m_rangeDate[1]}) {
        QSignalBlocker block(c);
        c->clear();
        c->addItems(dates);
    }
    m_listDate->clear();
    m_listDate->addItems(dates);
    QSignalBlocker b0(m_rangeDate[0]), b1(m_rangeDate[1]);
    m_date->setCurrentIndex(dates.isEmpty() ? -1 : 0);
    m_rangeDate[0]->setCurrentIndex(dates.isEmpty() ? -1 : 0);
    m_rangeDate[1]->setCurrentIndex(int(dates.size()) - 1);
}

void SelectionPickers::applyVisibility()
{
    const int te = m_targetEmployee->checkedId();
    m_frame3->setVisible(te == 1);
    m_frame4->setVisible(te == 2);
    const bool empRange = m_severalEmployee->checkedId() == 0;
    m_rangeEmployee[0]->setVisible(empRange);
    m_rangeEmployee[1]->setVisible(empRange);
    m_rangeEmployeeLabel->setVisible(empRange);
    m_listEmployee->setVisible(!empRange);

    // "１ヶ月" leaves the two date frames as they were.
    const int td = m_targetDate->checkedId();
    if (td == 1) {
        m_frame10->setVisible(true);
        m_frame11->setVisible(false);
    } else if (td == 2) {
        m_frame10->setVisible(false);
        m_frame11->setVisible(true);
    }
    const bool dateRange = m_severalDate->checkedId() == 0;
    for (int i = 0; i < 2; ++i) {
        m_rangeDate[i]->setVisible(dateRange);
        m_rangeDateButton[i]->setVisible(dateRange);
    }
    m_rangeDateLabel->setVisible(dateRange);
    m_listDate->setVisible(!dateRange);
}

void SelectionPickers::rangeChanged(QComboBox *from, QComboBox *to, bool fromMoved)
{
    // A range is never reversed: the other end follows the one the user moved.
    const int a = from->currentIndex();
    const int b = to->currentIndex();
    if (a < 0 || b < 0 || a <= b)
        return;
    if (fromMoved)
        to->setCurrentIndex(a);
    else
        from->setCurrentIndex(b);
}

void SelectionPickers::pickDate(QWidget *owner, QComboBox *combo, QPushButton *button)
{
    if (m_dates.isEmpty())
        return;
    QDate selected = dateOfIndex(combo->currentIndex());
    if (!selected.isValid())
        selected = m_dates.first();
    // Beside the drop-down, just below the button.
    const QPoint at = combo->mapToGlobal(QPoint(combo->width() + 2, 0)) + QPoint(0, button->height() + 40);
    if (!frmDateSelect::pick(m_dates.first(), m_dates.last(), selected, owner, at))
        return;
    const qint64 index = m_dates.first().daysTo(selected);
    if (index >= 0 && index < combo->count())
        combo->setCurrentIndex(int(index));
}
