#pragma once

#include "PrintQuestions.h"

#include "SelectionPickers.h"

#include <QDate>
#include <QVector>
#include <QWidget>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;

// The print selection screen ("　帳票印刷　"): the individual monthly report for all, one or
// several employees, or the daily report for the month, one date or several dates. The pickers
// behave as those of the export screen; the printer dialog offers a PDF file when the system
// has no printer.
//
// Controls (objectName): lblTitle, Option1_0..1, Frame1 "社員指定" (Option2_0..2, Frame3 with
// Combo1, Frame4 with Option3_0..1, Combo2_0/1, List1), Frame2 "日付け指定" (Option4_0..2,
// Frame10 with cboDate1 and cmdDateSel1, Frame11 with Option5_0..1, cboDate2_0/1,
// cmdDateSel2_0/1, List2), cmdPrint.
class frmListPrint : public QWidget
{
    Q_OBJECT
public:
    explicit frmListPrint(QWidget *parent = nullptr);

    // The selection as the print button builds it; false (after the warning) when an
    // employee or date choice is missing.
    bool buildSelection(PrintJob &job);

    int employeeCount() const { return m_employeeCount; }
    QVector<QDate> dates() const { return m_pickers.dates(); }

public slots:
    void cmdPrint_Click();
    // The same report into a PDF file, printer or not.
    void cmdPdf_Click();

private:
    void printBy(PrintRoute route);
    void buildUi();
    void applyVisibility();

    int m_employeeCount = 0;
    SelectionPickers m_pickers{{QStringLiteral("Option2"), QStringLiteral("Combo1"), QStringLiteral("Option3"),
                                QStringLiteral("Combo2_%1"), QStringLiteral("Label1"), QStringLiteral("List1"),
                                QStringLiteral("Option4"), QStringLiteral("複数日付け"), QStringLiteral("cboDate1"),
                                QStringLiteral("cmdDateSel1"), QStringLiteral("Option5"), QStringLiteral("cboDate2_%1"),
                                QStringLiteral("cmdDateSel2_%1"), QStringLiteral("Label2"), QStringLiteral("List2")}};

    QButtonGroup *m_kind = nullptr; // Option1

    QGroupBox *m_frameEmployee = nullptr;
    QGroupBox *m_frameDate = nullptr;

    QPushButton *m_print = nullptr;
    QPushButton *m_pdf = nullptr;
};
