#include "frmListPrint.h"

#include "ScreenTable.h"
#include "SelectionPickers.h"

#include "ProgramInputs.h"
#include "calc/Period.h"
#include "common/Common.h"
#include "common/Dialogs.h"
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

const QString kTitle = QStringLiteral("印刷");
const QString kCrLf = QStringLiteral("\r\n");

} // namespace

frmListPrint::frmListPrint(QWidget *parent) : QWidget(parent)
{
    setObjectName(formName(ScreenId::ListPrint));
    setWindowTitle(screenTitle(ScreenId::ListPrint));
    buildUi();
    m_employeeCount = Kojin_Read(true);
    Kubun_Read();
    PeriodRange period;
    Period_Set(g_run, g_company, period);
    m_pickers.fill(m_employeeCount, period);
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
    m_kind = SelectionPickers::radioGroup(this, QStringLiteral("Option1"),
                                          {QStringLiteral("個人リスト"), QStringLiteral("日報リスト")}, kindRow);
    kindRow->addStretch();
    root->addLayout(kindRow);

    m_frameEmployee = m_pickers.buildEmployeeFrame(this);
    root->addWidget(m_frameEmployee);
    m_frameDate = m_pickers.buildDateFrame(this);
    root->addWidget(m_frameDate);

    m_print = new QPushButton(QStringLiteral("印刷"), this);
    m_print->setObjectName(QStringLiteral("cmdPrint"));
    m_print->setAutoDefault(false);
    m_pdf = new QPushButton(QStringLiteral("PDF出力"), this);
    m_pdf->setObjectName(QStringLiteral("cmdPdf"));
    m_pdf->setAutoDefault(false);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(m_pdf);
    bottom->addWidget(m_print);
    root->addLayout(bottom);
    root->addStretch();

    for (QButtonGroup *g : {m_kind, m_pickers.targetEmployee(), m_pickers.severalEmployee(), m_pickers.targetDate(),
                            m_pickers.severalDate()})
        connect(g, &QButtonGroup::idToggled, this, [this](int, bool on) {
            if (on)
                applyVisibility();
        });
    m_pickers.connectPickers(this);
    connect(m_print, &QPushButton::clicked, this, &frmListPrint::cmdPrint_Click);
    connect(m_pdf, &QPushButton::clicked, this, &frmListPrint::cmdPdf_Click);
}

void frmListPrint::applyVisibility()
{
    const int kind = m_kind->checkedId();
    m_frameEmployee->setVisible(kind == 0);
    m_frameDate->setVisible(kind == 1);

    m_pickers.applyVisibility();
}

bool frmListPrint::buildSelection(PrintJob &job)
{
    job = PrintJob();
    job.employeeCount = m_employeeCount;
    const QString noEmployee = QStringLiteral("社員番号指定を行って下さい");
    const QString noDate = QStringLiteral("日付け指定を行って下さい");

    if (m_kind->checkedId() == 0) {
        job.kind = ReportIndividual;
        job.employeeMode = m_pickers.targetEmployee()->checkedId();
        if (job.employeeMode == 0) {
            for (int i = 0; i < m_employeeCount; ++i)
                job.employees << i;
        } else if (job.employeeMode == 1) {
            if (m_pickers.employee()->currentIndex() >= 0)
                job.employees << m_pickers.employee()->currentIndex();
        } else {
            job.severalMode = m_pickers.severalEmployee()->checkedId();
            if (job.severalMode == 0) {
                const int a = m_pickers.rangeEmployee(0)->currentIndex(),
                          b = m_pickers.rangeEmployee(1)->currentIndex();
                for (int i = qMax(a, 0); a >= 0 && i <= b; ++i)
                    job.employees << i;
            } else {
                job.employees = SelectionPickers::selectedRows(m_pickers.listEmployee());
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
    job.employeeMode = m_pickers.targetDate()->checkedId();
    if (job.employeeMode == 0) {
        job.dates = m_pickers.dates();
    } else if (job.employeeMode == 1) {
        const QDate d = m_pickers.dateOfIndex(m_pickers.date()->currentIndex());
        if (d.isValid())
            job.dates << d;
    } else {
        job.severalMode = m_pickers.severalDate()->checkedId();
        if (job.severalMode == 0) {
            const int a = m_pickers.rangeDate(0)->currentIndex(), b = m_pickers.rangeDate(1)->currentIndex();
            for (int i = qMax(a, 0); a >= 0 && i <= b; ++i)
                job.dates << m_pickers.dateOfIndex(i);
        } else {
            for (int r : SelectionPickers::selectedRows(m_pickers.listDate()))
                job.dates << m_pickers.dateOfIndex(r);
        }
    }
    if (job.dates.isEmpty()) {
        Dialogs::inform(noDate, kTitle);
        return false;
    }
    job.dates.resize(qMin<qsizetype>(job.dates.size(), kSelectionSlots));
    return true;
}

void frmListPrint::cmdPrint_Click() { printBy(PrintRoute::Printer); }

void frmListPrint::cmdPdf_Click() { printBy(PrintRoute::Pdf); }

void frmListPrint::printBy(PrintRoute route)
{
    if (m_employeeCount <= 0) {
        Dialogs::inform(QStringLiteral("個人マスターに対象となるデータが存在しません。") + kCrLf
                            + QStringLiteral("個人マスターを登録して下さい。"),
                        kTitle);
        return;
    }
    // Without a printer the user is told so and nothing else happens; a PDF file is printed
    // through its own button, printer or not.
    if (route == PrintRoute::Printer && !PrintOut_CheckPrinter())
        return;
    PrintJob job;
    if (!buildSelection(job))
        return;
    if (route == PrintRoute::Printer)
        PrintOut_Ask(job, programInputs());
    else
        PrintOut_AskPdf(job, programInputs());
}
