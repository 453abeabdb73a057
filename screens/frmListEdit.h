#pragma once

#include "PunchSheet.h"
#include "calc/Period.h"
#include "store/DbFile.h"

class QComboBox;
class QLabel;
class QPushButton;
class QScrollBar;
class QWidget;

// The daily list editor (" 一覧修正 "): one date of the accounting period for every active
// employee, 16 rows on view with a scroll bar. Entry and saving follow the individual editor;
// a date change saves the edits of the date left.
//
// Controls (objectName): cboDate, cmdBefore, cmdNext, cmdDateSel, VScroll1, lbl日替, cmdReCalc;
// per employee row r: lbl社員番号_r, lbl氏名_r, txt入1_r txt退1_r txt入2_r txt退2_r and the
// figure labels lbl就業_r .. lbl合計_r.
class frmListEdit : public PunchSheet
{
    Q_OBJECT
public:
    explicit frmListEdit(QWidget *parent = nullptr);

    // Refreshes the selected date (the month or the punches changed).
    void ListEdit_Start();
    int ListEdit_check(int checkType = 0);
    void reloadData() override { ListEdit_Start(); }

    int employeeCount() const { return m_count; }
    int dateIndex() const { return m_index; }
    QDate selectedDate() const;
    const PeriodDays &periodDays() const { return m_days; }

protected:
    bool rowNavigable(int row) const override;
    bool rowUsed(int row) const override;
    int saveRow(int row, int &unseen) override;
    QString rowCaption(int row) const override;
    void reloadStored() override;
    void revealRow(int row) override;

private:
    void fillPeriod();
    void fillDates();
    void loadAndCompute();
    // Reads the selected date's punches (the slots and the stored rows behind them).
    void readPunches();
    void computeAndShow();
    void dateChanged(int index);
    void pickDate();
    void scrolled(int value);
    void updateButtons();
    void reCalc();
    void reportUnknownCategories();

    QComboBox *m_date = nullptr;
    QPushButton *m_before = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_dateSel = nullptr;
    QScrollBar *m_scroll = nullptr;
    QLabel *m_dayChange = nullptr;
    QWidget *m_sheet = nullptr;
    QVector<QLabel *> m_numberLabels;
    QVector<QLabel *> m_nameLabels;

    PeriodDays m_days; // compact layout: item i of the date list is row i
    PeriodRange m_period;
    std::array<Employee, kEmployeeSlots> m_kojin; // the employee table as this screen read it
    int m_count = 0;
    int m_index = 0;
    bool m_revealing = false;
};
