#pragma once

#include "PunchEntry.h"
#include "ScreenHost.h"
#include "calc/Calculate.h"

#include <QVector>
#include <QWidget>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

// What the two time-card editors share: rows of four punch fields and eight figure labels,
// the key filter and field navigation, the field and order checks, the red marking of
// accepted unsaved edits and the save of the changed rows. A row is a date (frmKojinEdit) or
// an employee (frmListEdit); the subclass says which rows can be entered and how a row is
// written back.
//
// The program's employee table may have been filled by another screen since this one loaded;
// the editors keep their own copies of it and of the period's days, and every computation
// reads those and the stored punches the screen holds, so a recalculation or a save never
// works on another screen's rows.
class PunchSheet : public QWidget, public EditingScreen
{
    Q_OBJECT
public:
    bool isChanged() const { return m_changed; }
    bool holdsEdits() const override;
    int settleEdits() override { return checkLeave(1); }
    bool fieldRejected() const { return m_fieldError; }
    // The text the save would write for a row (the last accepted or loaded slots).
    PunchSlots workingCopy(int row) const { return m_work.value(row); }

    // The figure columns in display order and their names (就業 遅早 早出 深夜 残業 休日 法定外 合計).
    static const std::array<Figure, 8> &figureOrder();
    static const std::array<QString, 8> &figureNames();
    static QString slotName(int col); // 入1 退1 入2 退2

protected:
    PunchSheet(const QString &title, QWidget *parent);

    struct SheetRow {
        std::array<QLineEdit *, 4> field{};
        std::array<QLabel *, 8> figure{};
    };

    // Builds the widgets of one row inside sheet, at y; x positions come from columns.
    // The objectNames carry the row number: txt入1_5, lbl就業_5.
    void addRow(QWidget *sheet, int y, int fieldX, int figureX);
    int rowCount() const { return int(m_rows.size()); }

    // Rows that the keyboard may move to (used and on display).
    virtual bool rowNavigable(int row) const = 0;
    // Brings a row into view before the focus goes to it.
    virtual void revealRow(int row) { Q_UNUSED(row) }
    // Writes one row's working copy back into the database (PunchDay_Replace on m_shown[row]);
    // 0 or the error number. unseen: rows of that day stored since the screen read it, which
    // the write kept beside the corrected slots.
    virtual int saveRow(int row, int &unseen) = 0;
    // The row as the merge message names it (a date, an employee).
    virtual QString rowCaption(int row) const = 0;
    // Reads the stored punches of every row again and shows them (after a save that merged).
    virtual void reloadStored() = 0;
    // Rows that exist in the data (a date of the period, an employee).
    virtual bool rowUsed(int row) const = 0;

    // Puts a stored row and its figures on screen, in black, and takes it as the working copy.
    void showStoredRow(int row, const DayResult &result);
    void clearRow(int row, bool enabled);
    void setRowEnabled(int row, bool enabled);

    void focusField(int row, int col);
    // False while the screen stands behind another child screen of the main window.
    bool inFront() const;
    int firstNavigableRow(int from = 0) const;

    // Validates the field being edited if its text was typed but not yet checked. False when
    // it was rejected.
    bool commitPending();

    enum class SaveOutcome { Nothing, Saved, Declined, Failed };
    // Saves the rows with accepted edits (asking first when ask is set). Failed: a write was
    // refused; the rows written so far are saved, the others keep their edits.
    SaveOutcome save(bool ask);
    // Drops unsaved edits and shows the stored slots again.
    void dropEdits();
    // The body of the check routines (KojinEdit_check, ListEdit_check).
    int checkLeave(int checkType);

    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

    QString m_title;
    QPushButton *m_reCalc = nullptr;
    QVector<SheetRow> m_rows;
    QVector<PunchSlots> m_stored;         // as in the database (loaded or saved)
    QVector<PunchSlots> m_work;           // last accepted or loaded texts
    QVector<std::array<bool, 4>> m_dirty; // accepted, not yet written
    QVector<StoredDay> m_shown;           // the stored rows behind each row, as read
    bool m_changed = false;
    bool m_fieldError = false;
    int m_lastRow = -1;
    int m_lastCol = 0;

private:
    bool locate(QObject *o, int &row, int &col) const;
    bool checkField(int row, int col);
    void keyMove(int row, int col, int key, Qt::KeyboardModifiers mods);
    void setRed(QLineEdit *e, bool red);
    bool m_placed = false;
};
