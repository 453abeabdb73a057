#include "frmListPrint.h"

#include "frmDateSelect.h"

#include "Common.h"
#include "DbFile.h"
#include "Dialogs.h"
#include "ExportJob.h"
#include "Period.h"

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

const QString kTitle = QStringLiteral("印刷");
const QString kCrLf = QStringLiteral("\r\n");

QButtonGroup *radioGroup(QWidget *owner, const QString &name, const QStringList &captions, QBoxLayout *into)
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

QVector<int> selectedRows(const QListWidget *list)
{
    QVector<int> rows;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected())
            rows << i;
    return rows;
}

} // namespace

frmListPrint::frmListPrint(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmListPrint"));
    setWindowTitle(QStringLiteral("帳票印刷"));
    buildUi();
    m_employeeCount = Kojin_Read(true);
    Kubun_Read();
    Period_Set();
    fillLists();
    applyVisibility();
}

void frmListPrint::buildUi()
{
    auto *root = new QVBoxLayout(this);
    auto *title = new QLabel(QStringLiteral("　帳票印刷　"), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont f = title->font();
    f.setPointSize(f.pointSize() + 4);
    f.setBold(true);
    title->setFont(f);
    root->addWidget(title);

    auto *kindRow = new QHBoxLayout;
    m_kind = radioGroup(this, QStringLiteral("Option1"), {QStringLiteral("個人リスト"), QStringLiteral("日報リスト")}, kindRow);
    kindRow->addStretch();
    root->addLayout(kindRow);

    // 社員指定
    m_frameEmployee = new QGroupBox(QStringLiteral("社員指定"), this);
    m_frameEmployee->setObjectName(QStringLiteral("Frame1"));
    auto *empLayout = new QVBoxLayout(m_frameEmployee);
    auto *empTargets = new QHBoxLayout;
    m_targetEmployee = radioGroup(this, QStringLiteral("Option2"),
                                  {QStringLiteral("全社員"), QStringLiteral("社員"), QStringLiteral("複数社員")}, empTargets);
    empLayout->addLayout(empTargets);
    m_frame3 = new QWidget(m_frameEmployee);
    m_frame3->setObjectName(QStringLiteral("Frame3"));
    auto *f3 = new QHBoxLayout(m_frame3);
    m_employee = combo(m_frame3, QStringLiteral("Combo1"));
    f3->addWidget(m_employee);
    f3->addStretch();
    empLayout->addWidget(m_frame3);
    m_frame4 = new QWidget(m_frameEmployee);
    m_frame4->setObjectName(QStringLiteral("Frame4"));
    auto *f4 = new QVBoxLayout(m_frame4);
    auto *sevEmp = new QHBoxLayout;
    m_severalEmployee =
        radioGroup(m_frame4, QStringLiteral("Option3"), {QStringLiteral("範囲指定"), QStringLiteral("任意指定")}, sevEmp);
    f4->addLayout(sevEmp);
    auto *rangeEmp = new QHBoxLayout;
    m_rangeEmployee[0] = combo(m_frame4, QStringLiteral("Combo2_0"));
    m_rangeEmployeeLabel = new QLabel(QStringLiteral("～"), m_frame4);
    m_rangeEmployeeLabel->setObjectName(QStringLiteral("Label1"));
    m_rangeEmployee[1] = combo(m_frame4, QStringLiteral("Combo2_1"));
    rangeEmp->addWidget(m_rangeEmployee[0]);
    rangeEmp->addWidget(m_rangeEmployeeLabel);
    rangeEmp->addWidget(m_rangeEmployee[1]);
    rangeEmp->addStretch();
    f4->addLayout(rangeEmp);
    m_listEmployee = new QListWidget(m_frame4);
    m_listEmployee->setObjectName(QStringLiteral("List1"));
    m_listEmployee->setSelectionMode(QAbstractItemView::MultiSelection);
    f4->addWidget(m_listEmployee);
    empLayout->addWidget(m_frame4);
    root->addWidget(m_frameEmployee);

    // 日付け指定
    m_frameDate = new QGroupBox(QStringLiteral("日付け指定"), this);
    m_frameDate->setObjectName(QStringLiteral("Frame2"));
    auto *dateLayout = new QVBoxLayout(m_frameDate);
    auto *dateTargets = new QHBoxLayout;
    m_targetDate = radioGroup(this, QStringLiteral("Option4"),
                              {QStringLiteral("１ヶ月"), QStringLiteral("１日"), QStringLiteral("複数日付け")}, dateTargets);
    dateLayout->addLayout(dateTargets);
    m_frame10 = new QWidget(m_frameDate);
    m_frame10->setObjectName(QStringLiteral("Frame10"));
    auto *f10 = new QHBoxLayout(m_frame10);
    m_date = combo(m_frame10, QStringLiteral("cboDate1"));
    m_dateButton = dateButton(m_frame10, QStringLiteral("cmdDateSel1"));
    f10->addWidget(m_date);
    f10->addWidget(m_dateButton);
    f10->addStretch();
    dateLayout->addWidget(m_frame10);
    m_frame11 = new QWidget(m_frameDate);
    m_frame11->setObjectName(QStringLiteral("Frame11"));
    auto *f11 = new QVBoxLayout(m_frame11);
    auto *sevDate = new QHBoxLayout;
    m_severalDate =
        radioGroup(m_frame11, QStringLiteral("Option5"), {QStringLiteral("範囲指定"), QStringLiteral("任意指定")}, sevDate);
    f11->addLayout(sevDate);
    auto *rangeDate = new QHBoxLayout;
    for (int i = 0; i < 2; ++i) {
        m_rangeDate[i] = combo(m_frame11, QStringLiteral("cboDate2_%1").arg(i));
        m_rangeDateButton[i] = dateButton(m_frame11, QStringLiteral("cmdDateSel2_%1").arg(i));
    }
    m_rangeDateLabel = new QLabel(QStringLiteral("～"), m_frame11);
    m_rangeDateLabel->setObjectName(QStringLiteral("Label2"));
    rangeDate->addWidget(m_rangeDate[0]);
    rangeDate->addWidget(m_rangeDateButton[0]);
    rangeDate->addWidget(m_rangeDateLabel);
    rangeDate->addWidget(m_rangeDate[1]);
    rangeDate->addWidget(m_rangeDateButton[1]);
    rangeDate->addStretch();
    f11->addLayout(rangeDate);
    m_listDate = new QListWidget(m_frame11);
    m_listDate->setObjectName(QStringLiteral("List2"));
    m_listDate->setSelectionMode(QAbstractItemView::MultiSelection);
    f11->addWidget(m_listDate);
    dateLayout->addWidget(m_frame11);
    // Until "１日" or "複数日付け" is chosen neither date frame is shown.
    m_frame10->setVisible(false);
    m_frame11->setVisible(false);
    root->addWidget(m_frameDate);

    m_print = new QPushButton(QStringLiteral("印刷"), this);
    m_print->setObjectName(QStringLiteral("cmdPrint"));
    m_print->setAutoDefault(false);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(m_print);
    root->addLayout(bottom);
    root->addStretch();

    for (QButtonGroup *g : {m_kind, m_targetEmployee, m_severalEmployee, m_targetDate, m_severalDate})
        connect(g, &QButtonGroup::idToggled, this, [this](int, bool on) {
            if (on)
                applyVisibility();
        });
    connect(m_rangeEmployee[0], &QComboBox::currentIndexChanged, this,
            [this] { rangeChanged(m_rangeEmployee[0], m_rangeEmployee[1], true); });
    connect(m_rangeEmployee[1], &QComboBox::currentIndexChanged, this,
            [this] { rangeChanged(m_rangeEmployee[0], m_rangeEmployee[1], false); });
    connect(m_rangeDate[0], &QComboBox::currentIndexChanged, this,
            [this] { rangeChanged(m_rangeDate[0], m_rangeDate[1], true); });
    connect(m_rangeDate[1], &QComboBox::currentIndexChanged, this,
            [this] { rangeChanged(m_rangeDate[0], m_rangeDate[1], false); });
    connect(m_dateButton, &QPushButton::clicked, this, [this] { pickDate(m_date, m_dateButton); });
    for (int i = 0; i < 2; ++i)
        connect(m_rangeDateButton[i], &QPushButton::clicked, this,
                [this, i] { pickDate(m_rangeDate[i], m_rangeDateButton[i]); });
    connect(m_print, &QPushButton::clicked, this, &frmListPrint::cmdPrint_Click);
}

void frmListPrint::fillLists()
{
    QStringList employees;
    for (int i = 0; i < m_employeeCount; ++i)
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

    m_dates = periodDates();
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

void frmListPrint::applyVisibility()
{
    const int kind = m_kind->checkedId();
    m_frameEmployee->setVisible(kind == 0);
    m_frameDate->setVisible(kind == 1);

    const int te = m_targetEmployee->checkedId();
    m_frame3->setVisible(te == 1);
    m_frame4->setVisible(te == 2);
    const bool empRange = m_severalEmployee->checkedId() == 0;
    m_rangeEmployee[0]->setVisible(empRange);
    m_rangeEmployee[1]->setVisible(empRange);
    m_rangeEmployeeLabel->setVisible(empRange);
    m_listEmployee->setVisible(!empRange);

    // "１ヶ月" leaves the two date frames as they were, as on the export screen.
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

void frmListPrint::rangeChanged(QComboBox *from, QComboBox *to, bool fromMoved)
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

void frmListPrint::pickDate(QComboBox *combo, QPushButton *button)
{
    if (m_dates.isEmpty())
        return;
    QDate selected = m_dates.value(combo->currentIndex());
    if (!selected.isValid())
        selected = m_dates.first();
    // Beside the drop-down, just below the button.
    const QPoint at = combo->mapToGlobal(QPoint(combo->width() + 2, 0)) + QPoint(0, button->height() + 40);
    if (!frmDateSelect::pick(m_dates.first(), m_dates.last(), selected, this, at))
        return;
    const qint64 index = m_dates.first().daysTo(selected);
    if (index >= 0 && index < combo->count())
        combo->setCurrentIndex(int(index));
}

bool frmListPrint::buildSelection(PrintJob &job)
{
    job = PrintJob();
    job.employeeCount = m_employeeCount;
    const QString noEmployee = QStringLiteral("社員番号指定を行って下さい");
    const QString noDate = QStringLiteral("日付け指定を行って下さい");

    if (m_kind->checkedId() == 0) {
        job.kind = ReportIndividual;
        job.employeeMode = m_targetEmployee->checkedId();
        if (job.employeeMode == 0) {
            for (int i = 0; i < m_employeeCount; ++i)
                job.employees << i;
        } else if (job.employeeMode == 1) {
            if (m_employee->currentIndex() >= 0)
                job.employees << m_employee->currentIndex();
        } else {
            job.severalMode = m_severalEmployee->checkedId();
            if (job.severalMode == 0) {
                const int a = m_rangeEmployee[0]->currentIndex(), b = m_rangeEmployee[1]->currentIndex();
                for (int i = qMax(a, 0); a >= 0 && i <= b; ++i)
                    job.employees << i;
            } else {
                job.employees = selectedRows(m_listEmployee);
            }
        }
        if (job.employees.isEmpty()) {
            Dialogs::inform(noEmployee, kTitle);
            return false;
        }
        job.employees.resize(qMin<qsizetype>(job.employees.size(), kSelectionSlots));
        return true;
    }

    job.kind = ReportDaily;
    job.employeeMode = m_targetDate->checkedId();
    if (job.employeeMode == 0) {
        job.dates = m_dates;
    } else if (job.employeeMode == 1) {
        const QDate d = m_dates.value(m_date->currentIndex());
        if (d.isValid())
            job.dates << d;
    } else {
        job.severalMode = m_severalDate->checkedId();
        if (job.severalMode == 0) {
            const int a = m_rangeDate[0]->currentIndex(), b = m_rangeDate[1]->currentIndex();
            for (int i = qMax(a, 0); a >= 0 && i <= b; ++i)
                job.dates << m_dates.value(i);
        } else {
            for (int r : selectedRows(m_listDate))
                job.dates << m_dates.value(r);
        }
    }
    if (job.dates.isEmpty()) {
        Dialogs::inform(noDate, kTitle);
        return false;
    }
    job.dates.resize(qMin<qsizetype>(job.dates.size(), kSelectionSlots));
    return true;
}

void frmListPrint::cmdPrint_Click()
{
    if (m_employeeCount <= 0) {
        Dialogs::inform(QStringLiteral("個人マスターに対象となるデータが存在しません。") + kCrLf
                            + QStringLiteral("個人マスターを登録して下さい。"),
                        kTitle);
        return;
    }
    // Without a printer the user is told so, and can still print to a PDF file.
    PrintOut_CheckPrinter();
    PrintJob job;
    if (!buildSelection(job))
        return;
    PrintOut_Ask(job);
}
