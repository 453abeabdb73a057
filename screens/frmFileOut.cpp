#include "frmFileOut.h"

#include "frmDateSelect.h"

#include "Common.h"
#include "DbFile.h"
#include "Dialogs.h"
#include "ExFile.h"
#include "ExportFileChoice.h"
#include "Period.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("ファイル出力");
const QString kCrLf = QStringLiteral("\r\n");
const QString kPayrollKey = QStringLiteral("Syuukei");

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

frmFileOut::frmFileOut(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmFileOut"));
    setWindowTitle(kTitle);
    buildUi();

    m_employeeCount = Kojin_Read(true);
    Kubun_Read();
    if (!Period_Set())
        Dialogs::inform(QStringLiteral("エラーが発生しました。"), QStringLiteral("ファイル出力フォーム処理"));
    fillLists();

    bool ok = false;
    const int stored = userSetting(kPayrollKey, QStringLiteral("-1")).toInt(&ok);
    if (ok && stored >= 0 && stored <= 2) {
        m_totals->button(1)->setChecked(true);
        m_package->button(stored)->setChecked(true);
    } else {
        m_totals->button(0)->setChecked(true);
    }
    applyVisibility();
}

frmFileOut::~frmFileOut() { storePayrollChoice(); }

void frmFileOut::buildUi()
{
    auto *root = new QVBoxLayout(this);
    auto *title = new QLabel(QStringLiteral(" ファイル出力 "), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont f = title->font();
    f.setPointSize(f.pointSize() + 4);
    f.setBold(true);
    title->setFont(f);
    root->addWidget(title);

    auto *kindBox = new QGroupBox(QStringLiteral("ファイル種別"), this);
    kindBox->setObjectName(QStringLiteral("Frame0"));
    auto *kindRow = new QHBoxLayout(kindBox);
    m_kind = radioGroup(this, QStringLiteral("optファイル種別"),
                        {QStringLiteral("個人ファイル"), QStringLiteral("日報ファイル"), QStringLiteral("集計ファイル")}, kindRow);
    root->addWidget(kindBox);

    // 社員指定
    m_frameEmployee = new QGroupBox(QStringLiteral("社員指定"), this);
    m_frameEmployee->setObjectName(QStringLiteral("Frame1"));
    auto *empLayout = new QVBoxLayout(m_frameEmployee);
    auto *empTargets = new QHBoxLayout;
    m_targetEmployee = radioGroup(this, QStringLiteral("opt対象社員"),
                                  {QStringLiteral("全社員"), QStringLiteral("社員"), QStringLiteral("複数社員")}, empTargets);
    empLayout->addLayout(empTargets);
    m_frame3 = new QWidget(m_frameEmployee);
    m_frame3->setObjectName(QStringLiteral("Frame3"));
    auto *f3 = new QHBoxLayout(m_frame3);
    m_employee = combo(m_frame3, QStringLiteral("cbo社員番号"));
    f3->addWidget(m_employee);
    f3->addStretch();
    empLayout->addWidget(m_frame3);
    m_frame4 = new QWidget(m_frameEmployee);
    m_frame4->setObjectName(QStringLiteral("Frame4"));
    auto *f4 = new QVBoxLayout(m_frame4);
    auto *sevEmp = new QHBoxLayout;
    m_severalEmployee = radioGroup(m_frame4, QStringLiteral("opt複数社員"), {QStringLiteral("範囲指定"), QStringLiteral("任意指定")}, sevEmp);
    f4->addLayout(sevEmp);
    auto *rangeEmp = new QHBoxLayout;
    m_rangeEmployee[0] = combo(m_frame4, QStringLiteral("cbo範囲社員_0"));
    m_rangeEmployeeLabel = new QLabel(QStringLiteral("～"), m_frame4);
    m_rangeEmployeeLabel->setObjectName(QStringLiteral("lbl範囲社員"));
    m_rangeEmployee[1] = combo(m_frame4, QStringLiteral("cbo範囲社員_1"));
    rangeEmp->addWidget(m_rangeEmployee[0]);
    rangeEmp->addWidget(m_rangeEmployeeLabel);
    rangeEmp->addWidget(m_rangeEmployee[1]);
    rangeEmp->addStretch();
    f4->addLayout(rangeEmp);
    m_listEmployee = new QListWidget(m_frame4);
    m_listEmployee->setObjectName(QStringLiteral("lst任意社員"));
    m_listEmployee->setSelectionMode(QAbstractItemView::MultiSelection);
    f4->addWidget(m_listEmployee);
    empLayout->addWidget(m_frame4);
    root->addWidget(m_frameEmployee);

    // 日付け指定
    m_frameDate = new QGroupBox(QStringLiteral("日付け指定"), this);
    m_frameDate->setObjectName(QStringLiteral("Frame2"));
    auto *dateLayout = new QVBoxLayout(m_frameDate);
    auto *dateTargets = new QHBoxLayout;
    m_targetDate = radioGroup(this, QStringLiteral("opt対象日"),
                              {QStringLiteral("１ヶ月"), QStringLiteral("１日"), QStringLiteral("複数日付")}, dateTargets);
    dateLayout->addLayout(dateTargets);
    m_frame10 = new QWidget(m_frameDate);
    m_frame10->setObjectName(QStringLiteral("Frame10"));
    auto *f10 = new QHBoxLayout(m_frame10);
    m_date = combo(m_frame10, QStringLiteral("cbo日付"));
    m_dateButton = dateButton(m_frame10, QStringLiteral("cmdDateSel"));
    f10->addWidget(m_date);
    f10->addWidget(m_dateButton);
    f10->addStretch();
    dateLayout->addWidget(m_frame10);
    m_frame11 = new QWidget(m_frameDate);
    m_frame11->setObjectName(QStringLiteral("Frame11"));
    auto *f11 = new QVBoxLayout(m_frame11);
    auto *sevDate = new QHBoxLayout;
    m_severalDate = radioGroup(m_frame11, QStringLiteral("opt複数日付"), {QStringLiteral("範囲指定"), QStringLiteral("任意指定")}, sevDate);
    f11->addLayout(sevDate);
    auto *rangeDate = new QHBoxLayout;
    for (int i = 0; i < 2; ++i) {
        m_rangeDate[i] = combo(m_frame11, QStringLiteral("cbo範囲日付_%1").arg(i));
        m_rangeDateButton[i] = dateButton(m_frame11, QStringLiteral("cmdDateSel1_%1").arg(i));
    }
    m_rangeDateLabel = new QLabel(QStringLiteral("～"), m_frame11);
    m_rangeDateLabel->setObjectName(QStringLiteral("lbl範囲日付"));
    rangeDate->addWidget(m_rangeDate[0]);
    rangeDate->addWidget(m_rangeDateButton[0]);
    rangeDate->addWidget(m_rangeDateLabel);
    rangeDate->addWidget(m_rangeDate[1]);
    rangeDate->addWidget(m_rangeDateButton[1]);
    rangeDate->addStretch();
    f11->addLayout(rangeDate);
    m_listDate = new QListWidget(m_frame11);
    m_listDate->setObjectName(QStringLiteral("lst任意日付"));
    m_listDate->setSelectionMode(QAbstractItemView::MultiSelection);
    f11->addWidget(m_listDate);
    dateLayout->addWidget(m_frame11);
    // Until "１日" or "複数日付" is chosen neither date frame is shown.
    m_frame10->setVisible(false);
    m_frame11->setVisible(false);
    root->addWidget(m_frameDate);

    // 集計
    m_frameTotals = new QGroupBox(QStringLiteral("集計"), this);
    m_frameTotals->setObjectName(QStringLiteral("Frame6"));
    auto *totLayout = new QVBoxLayout(m_frameTotals);
    auto *totRow = new QHBoxLayout;
    m_totals = radioGroup(this, QStringLiteral("opt集計"), {QStringLiteral("集計ファイル"), QStringLiteral("給与ソフト選択")}, totRow);
    totLayout->addLayout(totRow);
    m_frame7 = new QWidget(m_frameTotals);
    m_frame7->setObjectName(QStringLiteral("Frame7"));
    auto *f7 = new QHBoxLayout(m_frame7);
    m_package = radioGroup(m_frame7, QStringLiteral("opt給与ソフト"),
                           {QStringLiteral("PCA給与2000"), QStringLiteral("給与奉行21"), QStringLiteral("弥生給与")}, f7);
    totLayout->addWidget(m_frame7);
    root->addWidget(m_frameTotals);

    // 出力項目
    m_frameItems = new QGroupBox(QStringLiteral("出力項目"), this);
    m_frameItems->setObjectName(QStringLiteral("Frame5"));
    auto *grid = new QGridLayout(m_frameItems);
    static const char *const captions[kItemCount] = {"入退1", "入退2", "就業", "遅早", "残業",
                                                     "早出",  "深夜",  "休日", "法定外", "合計"};
    for (int i = 0; i < kItemCount; ++i) {
        m_items[i] = new QCheckBox(QString::fromUtf8(captions[i]), m_frameItems);
        m_items[i]->setObjectName(QStringLiteral("chk項目_%1").arg(i));
        m_items[i]->setChecked(true);
        grid->addWidget(m_items[i], i / 5, i % 5);
    }
    root->addWidget(m_frameItems);

    m_write = new QPushButton(QStringLiteral("ファイル書き込み"), this);
    m_write->setObjectName(QStringLiteral("cmdFileOut"));
    m_write->setAutoDefault(false);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(m_write);
    root->addLayout(bottom);
    root->addStretch();

    for (QButtonGroup *g : {m_kind, m_targetEmployee, m_severalEmployee, m_targetDate, m_severalDate, m_totals})
        connect(g, &QButtonGroup::idClicked, this, [this] { applyVisibility(); });
    for (QButtonGroup *g : {m_kind, m_targetEmployee, m_severalEmployee, m_targetDate, m_severalDate, m_totals})
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
        connect(m_rangeDateButton[i], &QPushButton::clicked, this, [this, i] { pickDate(m_rangeDate[i], m_rangeDateButton[i]); });
    connect(m_write, &QPushButton::clicked, this, &frmFileOut::cmdFileOut_Click);
}

void frmFileOut::fillLists()
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

void frmFileOut::applyVisibility()
{
    const int kind = m_kind->checkedId();
    m_frameEmployee->setVisible(kind == 0);
    m_frameDate->setVisible(kind == 1);
    m_frameTotals->setVisible(kind == 2);
    // The ticks still apply to the totals layouts, which take items 2 to 8 from them.
    m_frameItems->setVisible(kind != 2);

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

    m_frame7->setVisible(m_totals->checkedId() == 1);
}

void frmFileOut::rangeChanged(QComboBox *from, QComboBox *to, bool fromMoved)
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

QDate frmFileOut::dateOfIndex(int index) const { return m_dates.value(index); }

void frmFileOut::pickDate(QComboBox *combo, QPushButton *button)
{
    if (m_dates.isEmpty())
        return;
    QDate selected = dateOfIndex(combo->currentIndex());
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

frmFileOut::Choices frmFileOut::readChoices() const
{
    Choices c;
    c.kind = m_kind->checkedId();
    switch (c.kind) {
    case 0:
        c.target = m_targetEmployee->checkedId();
        if (c.target == 2)
            c.several = m_severalEmployee->checkedId() == 0 ? 0 : 1;
        break;
    case 1:
        c.target = m_targetDate->checkedId();
        if (c.target == 2)
            c.several = m_severalDate->checkedId() == 0 ? 0 : 1;
        break;
    case 2:
        if (m_totals->checkedId() == 0) {
            c.target = 0;
        } else {
            c.target = 1;
            c.several = m_package->checkedId();
        }
        break;
    default: break;
    }
    for (int i = 0; i < kItemCount; ++i)
        c.items[i] = m_items[i]->isChecked();
    return c;
}

int frmFileOut::payrollChoice() const { return m_totals->checkedId() == 1 ? m_package->checkedId() : -1; }

void frmFileOut::cmdFileOut_Click()
{
    if (m_employeeCount <= 0) {
        Dialogs::inform(QStringLiteral("個人マスターに対象となるデータが存在しません。") + kCrLf
                            + QStringLiteral("個人マスターを登録して下さい。"),
                        kTitle);
        return;
    }
    const Choices c = readChoices();
    const QString caption = g_run.year + QStringLiteral("年") + g_run.month + QStringLiteral("月度");
    ExportJob job;
    job.items = c.items;
    job.employeeCount = m_employeeCount;
    const QString noEmployee = QStringLiteral("社員番号指定を行って下さい");

    switch (c.kind) {
    case 0: {
        job.kind = ExportKind::Individual;
        if (c.target == 0) {
            for (int i = 0; i < m_employeeCount; ++i)
                job.employees << i;
        } else if (c.target == 1) {
            if (m_employee->currentIndex() < 0) {
                Dialogs::inform(noEmployee, kTitle);
                return;
            }
            job.employees << m_employee->currentIndex();
        } else if (c.several == 1) {
            job.employees = selectedRows(m_listEmployee);
            if (job.employees.isEmpty()) {
                Dialogs::inform(noEmployee, kTitle);
                return;
            }
        } else {
            const int a = m_rangeEmployee[0]->currentIndex();
            const int b = m_rangeEmployee[1]->currentIndex();
            if (a < 0 || b < 0) {
                Dialogs::inform(noEmployee, kTitle);
                return;
            }
            for (int i = a; i <= b; ++i)
                job.employees << i;
        }
        runExport(job, caption + QStringLiteral("個人"), ExportFilters::ownLayouts(), true);
        break;
    }
    case 1: {
        job.kind = ExportKind::Daily;
        if (c.target == 0) {
            job.dates = m_dates;
        } else if (c.target == 1) {
            const QDate d = dateOfIndex(m_date->currentIndex());
            if (d.isValid())
                job.dates << d;
        } else if (c.several == 1) {
            const QVector<int> rows = selectedRows(m_listDate);
            if (rows.isEmpty()) {
                Dialogs::inform(QStringLiteral("日付け指定を行って下さい"), kTitle);
                return;
            }
            for (int r : rows)
                job.dates << dateOfIndex(r);
        } else {
            const int a = m_rangeDate[0]->currentIndex();
            const int b = m_rangeDate[1]->currentIndex();
            for (int i = qMax(a, 0); i <= b; ++i)
                job.dates << dateOfIndex(i);
        }
        runExport(job, caption + QStringLiteral("日報"), ExportFilters::ownLayouts(), true);
        break;
    }
    case 2:
        job.kind = ExportKind::Totals;
        if (c.target == 1) {
            job.payroll = true;
            job.package = c.several;
            runExport(job, ExportFilters::payrollFileName(c.several), ExportFilters::payroll(c.several), false);
        } else {
            runExport(job, caption + QStringLiteral("集計"), ExportFilters::ownLayouts(), true);
        }
        break;
    default: break;
    }
}

void frmFileOut::runExport(const ExportJob &job, const QString &fileName, const QStringList &filters, bool byExtension)
{
    const ExportFileChoice file = chooseExportFile({fileName, filters, byExtension});
    if (!file.chosen)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ExportResult r = exportToFile(job, file.path, file.createdEmpty);
    QApplication::restoreOverrideCursor();
    if (!r.ok) {
        Dialogs::inform(r.errorText, r.errorTitle);
        return;
    }
    if (!r.unknownCategory.isEmpty())
        Dialogs::inform(unknownCategoryMessage(r.unknownCategory), kTitle);
    Dialogs::inform(QStringLiteral("ファイルを出力しました"), kTitle, Dialogs::Icon::Information);
}

void frmFileOut::storePayrollChoice()
{
    setUserSetting(kPayrollKey, QString::number(payrollChoice()));
}

void frmFileOut::closeEvent(QCloseEvent *e)
{
    storePayrollChoice();
    QWidget::closeEvent(e);
}
