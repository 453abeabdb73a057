#pragma once

#include "PunchSheet.h"
#include "calc/Period.h"
#include "store/DbFile.h"

class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

// The individual time-card editor (" 個人修正 "): one employee's punches and figures for the
// whole accounting period, 32 date rows in the fixed-position layout shown in two halves of
// 16, with the period's counts and totals below. Corrected days are written back whole.
//
// Controls (objectName): cbo社員番号, cmdBefore "前半", cmdAfter "後半", cmdReCalc "再計算",
// lbl日替; per row r (0..31) lbl日付_r, lbl曜日_r, txt入1_r txt退1_r txt入2_r txt退2_r,
// lbl就業_r lbl遅早_r lbl早出_r lbl深夜_r lbl残業_r lbl休日_r lbl法定外_r lbl合計_r; the counts
// lbl就業_回数 .. lbl法定外_回数, lbl勤務_回数 and the sums lbl就業_合計 .. lbl法定外_合計,
// lbl勤務_合計.
class frmKojinEdit : public PunchSheet
{
    Q_OBJECT
public:
    explicit frmKojinEdit(QWidget *parent = nullptr);

    // Refreshes the screen for the current employee (the month or the punches changed).
    void KojinEdit_Start();
    // The editing guard's check: -1 to stay (a field was refused, or the save failed), 0 when
    // the screen may be left; unsaved edits are saved when the user says so.
    int KojinEdit_check(int checkType = 0);
    void reloadData() override { KojinEdit_Start(); }

    int currentEmployee() const { return m_current; }
    int employeeCount() const { return m_count; }
    bool secondHalf() const { return m_half == 1; }
    // Rows of the fixed layout this screen works on.
    const PeriodDays &periodDays() const { return m_days; }

protected:
    bool rowNavigable(int row) const override;
    bool rowUsed(int row) const override;
    int saveRow(int row, int &unseen) override;
    QString rowCaption(int row) const override;
    void reloadStored() override;

private:
    void buildSheet(QWidget *viewport);
    void fillPeriod();
    void loadAndCompute();
    // Reads the current employee's punches (the slots and the stored rows behind them).
    void readPunches();
    void computeAndShow();
    void showHalf(int half);
    void focusFirstRow();
    void employeeChanged(int index);
    void reCalc();

    QComboBox *m_employee = nullptr;
    QPushButton *m_before = nullptr;
    QPushButton *m_after = nullptr;
    QLabel *m_dayChange = nullptr;
    QWidget *m_sheet = nullptr;
    QVector<QLabel *> m_dateLabels;
    QVector<QLabel *> m_weekdayLabels;
    std::array<QLabel *, 8> m_countLabels{};
    std::array<QLabel *, 8> m_sumLabels{};

    PeriodDays m_days;
    std::array<Employee, kEmployeeSlots> m_kojin; // the employee table as this screen read it
    int m_count = 0;
    int m_current = -1;
    int m_half = 0;
};
