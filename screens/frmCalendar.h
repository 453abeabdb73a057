#pragma once

#include "ScreenHost.h"
#include "store/CalendarStore.h"

#include <QDate>
#include <QVector>
#include <QWidget>

class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;

// The company calendar screen: the day types of the two calendar months an accounting period
// touches, edited by clicking days or whole weekday columns. A day's text colour carries its
// type until the months are saved (black 平日, red 休日, blue 法定外).
//
// Controls (objectName): cboYear, cboMonth, cmdBefore, cmdNext, lblMonth1/lblMonth2 (grid
// titles), lblDay1_0..41 and lblDay2_0..41 (Sunday first), cmdYoubi1_0..6 and cmdYoubi2_0..6
// (0 = Sunday), optKyuuka_0..2 (平日, 休日, 法定外), cmdSet.
class frmCalendar : public QWidget, public EditingScreen
{
    Q_OBJECT
public:
    explicit frmCalendar(QWidget *parent = nullptr);

    // The editing guard's check: offers to save unsaved edits; always lets the screen go (0).
    int Calendar_Check();

    // First days of the months shown in grid 1 and grid 2.
    QDate month1() const { return m_first; }
    QDate month2() const { return m_first.addMonths(1); }
    bool isChanged() const { return m_changed; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    struct Grid {
        QLabel *title = nullptr;
        QVector<QLabel *> days;       // 42
        QVector<QPushButton *> youbi; // 7
        QVector<DayType> type;        // 42, what each label's colour says
        QDate month;
        int offset = 0; // weekday of the 1st, Sunday = 0
        int count = 0;  // days in the month
    };

    QWidget *buildGrid(int g);
    void onMonthChange();
    void moveMonth(int delta);
    void paintMonth(int g, const QDate &month);
    void setDay(int g, int index, DayType t);
    void clickDay(int g, int index);
    void clickYoubi(int g, int weekday);
    DayType chosenType() const;
    bool save(bool ask);

    QComboBox *m_year = nullptr;
    QComboBox *m_month = nullptr;
    QPushButton *m_before = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_set = nullptr;
    QButtonGroup *m_kyuuka = nullptr;
    Grid m_grid[2];

    QDate m_selected = QDate(1990, 1, 1); // so that the first choice always counts as a change
    QDate m_first;
    bool m_changed = false;
    bool m_suppress = false;
    bool m_placed = false;
};
