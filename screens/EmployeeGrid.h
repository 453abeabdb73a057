#pragma once

#include "PrintQuestions.h"
#include "ScreenHost.h"

#include <QString>
#include <QVector>
#include <QWidget>

class QPushButton;
class QTableWidgetItem;
class EmployeeTable;

// The grid both employee screens are built on (frmMasSet for the employee master, frmCardSet
// for giving cards to employees): a working copy of the 100 employee rows, each cell
// validated when it is left, and the whole table written at once with Kojin_Write.
//
// Controls (objectName): VSFlexGrid1 (columns No., 社員番号, 氏名, カード番号, 区分, 対象),
// cmdSet, cmdPrint, and cmdDelete (master) or cmdCancel (cards).
class EmployeeGrid : public QWidget, public EditingScreen
{
    Q_OBJECT
public:
    enum class Mode { Master, Card };
    ~EmployeeGrid() override;

    // Set from the screen's creation until its first load has run the start routine.
    bool FormIniFlag = true;

    bool isChanged() const { return m_changed; }
    // Unsaved rows or ticks, a cell being edited, or a refused cell.
    bool holdsEdits() const override;
    // The check without taking the keyboard focus, for a screen standing behind another.
    int settleEdits() override { return check(1); }
    int markedCount() const { return m_marks; }

    // Called by the grid's cell editor when an edit is committed; false when the text was
    // refused (the message was shown and the cell is entered again).
    bool commitCell(int row, int col, const QString &text);
    // Keys the grid hands over before its own handling; true when consumed.
    bool gridKey(int key, const QString &text, bool editing, int col);
    bool isDigitColumn(int col) const { return col == 1 || col == 3; }

protected:
    EmployeeGrid(Mode mode, QWidget *parent);
    // The screen's load: runs the start routine and clears FormIniFlag.
    void load();
    // MasterEdit_Start / CardEdit_Start.
    void startRoutine();
    // MasSet_check / CardSet_check: -1 stay, 0 go on.
    int check(int kind);
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void printBy(PrintRoute route);
    struct Row {
        QString number, name, card;
        QString category = QStringLiteral("01");
        QString active = QStringLiteral("0");
        bool mark = false;
    };

    bool master() const { return m_mode == Mode::Master; }
    bool editable(int row, int col) const;
    bool editsAtOnce(int row, int col) const;
    void redraw();
    void drawRow(int row);
    QTableWidgetItem *cell(int row, int col) const;
    void setCellText(int row, int col, const QString &text);

    bool validateCell(int row, int col, const QString &text);
    bool validateNumber(int row, const QString &text);
    bool validateCard(int row, const QString &text);
    void refuse(int row, int col, const QString &message, const QString &cellText);
    void onActiveToggled(int row);
    void onHeaderClicked(int section);
    void onCellClicked(int row, int col);
    void onCurrentCellChanged(int row, int col);
    bool finishEdit();
    void editCell(int row, int col);
    void moveNext();
    void removeRow(int row);
    void syncChecks();
    bool sameActiveCard(int row, const QString &card) const;

    bool save(bool ask);
    void cmdSet_Click();
    void cmdDelete_Click();
    void cmdPrint_Click();
    // The employee master list into a PDF file, printer or not.
    void cmdPdf_Click();
    void cmdCancel_Click();

    const Mode m_mode;
    const QString m_title;
    QVector<Row> m_rows;
    bool m_changed = false;
    int m_marks = 0;
    bool m_updating = false;   // the screen itself is writing cells
    bool m_validating = false; // a validation (and its message box) is running
    bool m_cellFailed = false; // the last validation refused its cell
    bool m_reenterPending = false;
    bool m_placed = false;
    EmployeeTable *m_grid = nullptr;
    QPushButton *m_set = nullptr;
    QPushButton *m_delete = nullptr;
    QPushButton *m_print = nullptr;
    QPushButton *m_pdf = nullptr;
    QPushButton *m_cancel = nullptr;
};
