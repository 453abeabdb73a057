#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

#include <utility>

struct PeriodRange;
class QBoxLayout;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QWidget;

// The employee and date pickers the export and print screens share: all / one / several
// employees (a range or a free choice), the whole month / one date / several dates, with
// date-picker buttons. Both screens must behave alike, so the frames, the ranges that never
// reverse and the visibility rules live here; each screen supplies its own control names.
class SelectionPickers
{
public:
    // The objectNames (and the one caption that differs) each screen gives its controls.
    // rangeEmployee, rangeDate and rangeDateButton take the end (0/1) through %1.
    struct Names {
        QString targetEmployee;
        QString employee;
        QString severalEmployee;
        QString rangeEmployee;
        QString rangeEmployeeLabel;
        QString listEmployee;
        QString targetDate;
        QString severalDatesCaption;
        QString date;
        QString dateButton;
        QString severalDate;
        QString rangeDate;
        QString rangeDateButton;
        QString rangeDateLabel;
        QString listDate;
    };

    explicit SelectionPickers(Names names) : m_names(std::move(names)) {}

    // The "社員指定" (Frame1) and "日付け指定" (Frame2) group boxes; owner is the screen.
    QGroupBox *buildEmployeeFrame(QWidget *owner);
    QGroupBox *buildDateFrame(QWidget *owner);
    // Keeps each range in order and opens the calendar from the date buttons.
    void connectPickers(QWidget *owner);
    // Fills the lists from the loaded employees (the program's table) and the accounting period.
    void fill(int employeeCount, const PeriodRange &period);
    // Shows the controls that belong to the chosen targets.
    void applyVisibility();

    QDate dateOfIndex(int index) const { return m_dates.value(index); }
    const QVector<QDate> &dates() const { return m_dates; }

    QButtonGroup *targetEmployee() const { return m_targetEmployee; }
    QButtonGroup *severalEmployee() const { return m_severalEmployee; }
    QButtonGroup *targetDate() const { return m_targetDate; }
    QButtonGroup *severalDate() const { return m_severalDate; }
    QComboBox *employee() const { return m_employee; }
    QComboBox *rangeEmployee(int end) const { return m_rangeEmployee[end]; }
    QListWidget *listEmployee() const { return m_listEmployee; }
    QComboBox *date() const { return m_date; }
    QComboBox *rangeDate(int end) const { return m_rangeDate[end]; }
    QListWidget *listDate() const { return m_listDate; }

    // Radio buttons name_0, name_1, ... in one group, the first one checked.
    static QButtonGroup *radioGroup(QWidget *owner, const QString &name, const QStringList &captions, QBoxLayout *into);
    static QVector<int> selectedRows(const QListWidget *list);

private:
    void rangeChanged(QComboBox *from, QComboBox *to, bool fromMoved);
    void pickDate(QWidget *owner, QComboBox *combo, QPushButton *button);

    Names m_names;
    QVector<QDate> m_dates;

    QButtonGroup *m_targetEmployee = nullptr;
    QButtonGroup *m_severalEmployee = nullptr;
    QButtonGroup *m_targetDate = nullptr;
    QButtonGroup *m_severalDate = nullptr;

    QWidget *m_frame3 = nullptr;
    QWidget *m_frame4 = nullptr;
    QWidget *m_frame10 = nullptr;
    QWidget *m_frame11 = nullptr;

    QComboBox *m_employee = nullptr;
    QComboBox *m_rangeEmployee[2] = {nullptr, nullptr};
    QLabel *m_rangeEmployeeLabel = nullptr;
    QListWidget *m_listEmployee = nullptr;
    QComboBox *m_date = nullptr;
    QPushButton *m_dateButton = nullptr;
    QComboBox *m_rangeDate[2] = {nullptr, nullptr};
    QPushButton *m_rangeDateButton[2] = {nullptr, nullptr};
    QLabel *m_rangeDateLabel = nullptr;
    QListWidget *m_listDate = nullptr;
};
