#pragma once

#include <QDate>
#include <QDialog>
#include <QVector>

class QLabel;
class QPushButton;

// The date picker ("日付選択"): one month of day buttons, coloured by the company calendar,
// limited to MinDate..MaxDate. The daily list editor, the export and the print screens open
// it to choose one date of an accounting period.
//
// Callers normally use pick(). The shared SelectedDate / CancelFlag pair is kept for callers
// written the classic way: store the initial date in SelectedDate, set MinDate and MaxDate,
// exec(), then read CancelFlag (0 chosen, -1 cancelled) and SelectedDate.
//
// Controls (objectName): cmdBefore "＜", cmdNext "＞", lblMonth (title), chkDay_0..chkDay_41
// (Sunday first), cmdCancel "キャンセル".
class frmDateSelect : public QDialog
{
    Q_OBJECT
public:
    // Shared with the callers: in, the initial date; out, the chosen one.
    static QDate SelectedDate;
    // 0 after a choice, -1 after cancel.
    static int CancelFlag;

    explicit frmDateSelect(QWidget *parent = nullptr);

    // Shows the picker modally for a date in min..max, starting at selected. globalPos, when
    // given, is where the dialog's top-left corner goes (e.g. just below the date button).
    // Returns true and sets selected when a day was chosen; false on cancel.
    static bool pick(const QDate &min, const QDate &max, QDate &selected, QWidget *parent,
                     const QPoint &globalPos = QPoint());

    void setMinDate(const QDate &d) { m_min = d; }
    void setMaxDate(const QDate &d) { m_max = d; }
    QDate MinDate() const { return m_min; }
    QDate MaxDate() const { return m_max; }

    // Takes SelectedDate as the selected day and shows its month; clears CancelFlag.
    // exec() runs it when the caller has not.
    void load();
    QDate displayedMonth() const { return m_month; }

    int exec() override;

public slots:
    void reject() override; // cancel, also for Escape and the window's close button

private:
    void paintMonth();
    void chooseDay(int index);
    void setDayLook(QPushButton *b, const QColor &text, bool selected);

    QDate m_min, m_max;
    QDate m_month;    // first day of the displayed month
    QDate m_selected; // the highlighted day
    bool m_loaded = false;
    QLabel *m_title = nullptr;
    QPushButton *m_before = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_cancel = nullptr;
    QVector<QPushButton *> m_days;
    QVector<QColor> m_dayColour; // text colour of each day button by its day type
};
