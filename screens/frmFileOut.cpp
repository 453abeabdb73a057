#include "frmFileOut.h"

#include "ScreenTable.h"
#include "SelectionPickers.h"

#include "ExportFileChoice.h"
#include "ProgramInputs.h"
#include "calc/Period.h"
#include "common/Common.h"
#include "common/Dialogs.h"
#include "output/ExportFormat.h"
#include "store/DbFile.h"
#include "store/ExFile.h"

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

const QString kTitle = screenTitle(ScreenId::FileOut);
const QString kCrLf = QStringLiteral("\r\n");

} // namespace

frmFileOut::frmFileOut(QWidget *parent) : QWidget(parent)
{
    setObjectName(formName(ScreenId::FileOut));
    setWindowTitle(kTitle);
    buildUi();

    m_employeeCount = Kojin_Read(true);
    Kubun_Read();
    PeriodRange period;
    if (!Period_Set(g_run, g_company, period))
        Dialogs::inform(QStringLiteral("エラーが発生しました。"), QStringLiteral("ファイル出力フォーム処理"));
    m_pickers.fill(m_employeeCount, period);

    bool ok = false;
    const int stored = userSetting(UserKey::Syuukei).toInt(&ok);
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
    m_kind = SelectionPickers::radioGroup(
        this, QStringLiteral("optファイル種別"),
        {QStringLiteral("個人ファイル"), QStringLiteral("日報ファイル"), QStringLiteral("集計ファイル")}, kindRow);
    root->addWidget(kindBox);

    m_frameEmployee = m_pickers.buildEmployeeFrame(this);
    root->addWidget(m_frameEmployee);
    m_frameDate = m_pickers.buildDateFrame(this);
    root->addWidget(m_frameDate);

    // 集計
    m_frameTotals = new QGroupBox(QStringLiteral("集計"), this);
    m_frameTotals->setObjectName(QStringLiteral("Frame6"));
    auto *totLayout = new QVBoxLayout(m_frameTotals);
    auto *totRow = new QHBoxLayout;
    m_totals = SelectionPickers::radioGroup(this, QStringLiteral("opt集計"),
                                            {QStringLiteral("集計ファイル"), QStringLiteral("給与ソフト選択")}, totRow);
    totLayout->addLayout(totRow);
    m_frame7 = new QWidget(m_frameTotals);
    m_frame7->setObjectName(QStringLiteral("Frame7"));
    auto *f7 = new QHBoxLayout(m_frame7);
    m_package = SelectionPickers::radioGroup(
        m_frame7, QStringLiteral("opt給与ソフト"),
        {QStringLiteral("PCA給与2000"), QStringLiteral("給与奉行21"), QStringLiteral("弥生給与")}, f7);
    totLayout->addWidget(m_frame7);
    root->addWidget(m_frameTotals);

    // 出力項目
    m_frameItems = new QGroupBox(QStringLiteral("出力項目"), this);
    m_frameItems->setObjectName(QStringLiteral("Frame5"));
    auto *grid = new QGridLayout(m_frameItems);
    static const char *const captions[kItemCount] = {"入退1", "入退2", "就業", "遅早",   "残業",
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

    for (QButtonGroup *g : {m_kind, m_pickers.targetEmployee(), m_pickers.severalEmployee(), m_pickers.targetDate(),
                            m_pickers.severalDate(), m_totals})
        connect(g, &QButtonGroup::idClicked, this, [this] { applyVisibility(); });
    for (QButtonGroup *g : {m_kind, m_pickers.targetEmployee(), m_pickers.severalEmployee(), m_pickers.targetDate(),
                            m_pickers.severalDate(), m_totals})
        connect(g, &QButtonGroup::idToggled, this, [this](int, bool on) {
            if (on)
                applyVisibility();
        });
    m_pickers.connectPickers(this);
    connect(m_write, &QPushButton::clicked, this, &frmFileOut::cmdFileOut_Click);
}

void frmFileOut::applyVisibility()
{
    const int kind = m_kind->checkedId();
    m_frameEmployee->setVisible(kind == 0);
    m_frameDate->setVisible(kind == 1);
    m_frameTotals->setVisible(kind == 2);
    // The ticks still apply to the totals layouts, which take items 2 to 8 from them.
    m_frameItems->setVisible(kind != 2);

    m_pickers.applyVisibility();

    m_frame7->setVisible(m_totals->checkedId() == 1);
}

frmFileOut::Choices frmFileOut::readChoices() const
{
    Choices c;
    c.kind = m_kind->checkedId();
    switch (c.kind) {
    case 0:
        c.target = m_pickers.targetEmployee()->checkedId();
        if (c.target == 2)
            c.several = m_pickers.severalEmployee()->checkedId() == 0 ? 0 : 1;
        break;
    case 1:
        c.target = m_pickers.targetDate()->checkedId();
        if (c.target == 2)
            c.several = m_pickers.severalDate()->checkedId() == 0 ? 0 : 1;
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
            if (m_pickers.employee()->currentIndex() < 0) {
                Dialogs::inform(noEmployee, kTitle);
                return;
            }
            job.employees << m_pickers.employee()->currentIndex();
        } else if (c.several == 1) {
            job.employees = SelectionPickers::selectedRows(m_pickers.listEmployee());
            if (job.employees.isEmpty()) {
                Dialogs::inform(noEmployee, kTitle);
                return;
            }
        } else {
            const int a = m_pickers.rangeEmployee(0)->currentIndex();
            const int b = m_pickers.rangeEmployee(1)->currentIndex();
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
            job.dates = m_pickers.dates();
        } else if (c.target == 1) {
            const QDate d = m_pickers.dateOfIndex(m_pickers.date()->currentIndex());
            if (d.isValid())
                job.dates << d;
        } else if (c.several == 1) {
            const QVector<int> rows = SelectionPickers::selectedRows(m_pickers.listDate());
            if (rows.isEmpty()) {
                Dialogs::inform(QStringLiteral("日付け指定を行って下さい"), kTitle);
                return;
            }
            for (int r : rows)
                job.dates << m_pickers.dateOfIndex(r);
        } else {
            const int a = m_pickers.rangeDate(0)->currentIndex();
            const int b = m_pickers.rangeDate(1)->currentIndex();
            for (int i = qMax(a, 0); i <= b; ++i)
                job.dates << m_pickers.dateOfIndex(i);
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
    const ExportFileChoice file = chooseExportFile({fileName, filters, byExtension}, g_startup);
    if (!file.chosen)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ExportResult r = exportToFile(job, programInputs(), file.path, file.createdEmpty);
    QApplication::restoreOverrideCursor();
    if (!r.ok) {
        Dialogs::inform(r.errorText, r.errorTitle);
        return;
    }
    if (!r.unknownCategory.isEmpty())
        Dialogs::inform(unknownCategoryMessage(g_kojin, r.unknownCategory), kTitle);
    Dialogs::inform(QStringLiteral("ファイルを出力しました"), kTitle, Dialogs::Icon::Information);
}

void frmFileOut::storePayrollChoice() { setUserSetting(UserKey::Syuukei, QString::number(payrollChoice())); }

void frmFileOut::closeEvent(QCloseEvent *e)
{
    storePayrollChoice();
    QWidget::closeEvent(e);
}
