#pragma once

#include "PrintOut.h"

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
    QVector<QDate> dates() const { return m_dates; }

public slots:
    void cmdPrint_Click();

private:
    void buildUi();
    void fillLists();
    void applyVisibility();
    void rangeChanged(QComboBox *from, QComboBox *to, bool fromMoved);
    void pickDate(QComboBox *combo, QPushButton *button);

    int m_employeeCount = 0;
    QVector<QDate> m_dates;

    QButtonGroup *m_kind = nullptr;            // Option1
    QButtonGroup *m_targetEmployee = nullptr;  // Option2
    QButtonGroup *m_severalEmployee = nullptr; // Option3
    QButtonGroup *m_targetDate = nullptr;      // Option4
    QButtonGroup *m_severalDate = nullptr;     // Option5

    QGroupBox *m_frameEmployee = nullptr;
    QGroupBox *m_frameDate = nullptr;
    QWidget *m_frame3 = nullptr;
    QWidget *m_frame4 = nullptr;
    QWidget *m_frame10 = nullptr;
    QWidget *m_frame11 = nullptr;

    QComboBox *m_employee = nullptr; // Combo1
    QComboBox *m_rangeEmployee[2] = {nullptr, nullptr};
    QLabel *m_rangeEmployeeLabel = nullptr;
    QListWidget *m_listEmployee = nullptr; // List1
    QComboBox *m_date = nullptr;           // cboDate1
    QPushButton *m_dateButton = nullptr;
    QComboBox *m_rangeDate[2] = {nullptr, nullptr};
    QPushButton *m_rangeDateButton[2] = {nullptr, nullptr};
    QLabel *m_rangeDateLabel = nullptr;
    QListWidget *m_listDate = nullptr; // List2
    QPushButton *m_print = nullptr;
};
