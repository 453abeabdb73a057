#pragma once

#include "PrintQuestions.h"
#include "ScreenHost.h"
#include "store/DbFile.h"

#include <QVector>
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Work category settings (" 勤務区分 設定 "): one of the ten categories at a time, each time
// field checked as it is left and the whole category checked before it is stored. An accepted
// edit not yet saved shows in red.
//
// Controls (objectName): cbo区分, frameKubun, txtTime_0..txtTime_16 (16 = 残業基準時数),
// cbo丸め, cbo就業丸め, cbo遅早丸め, cbo残業丸め, lbl日替, cmdSet, cmdPrint.
class frmKubunSet : public QWidget, public EditingScreen
{
    Q_OBJECT
public:
    explicit frmKubunSet(QWidget *parent = nullptr);

    // The editing guard's check: -1 stay (a field or the category is wrong), 0 go on after
    // offering to save.
    int KubunSet_check(int kind);

    int currentCategory() const { return m_current; }
    bool isChanged() const { return m_changed; }
    bool fieldRejected() const { return m_fieldError; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void printBy(PrintRoute route);
    bool fieldCheck(int index);
    bool categoryCheck();
    bool save(bool ask);
    void showCategory(int n);
    void onCategoryChosen();
    void onComboChanged(QComboBox *combo);
    void setRed(QWidget *w, bool red);
    void focusField(int index);
    void moveFrom(int index, int key);
    bool comboKey(QComboBox *combo, int key);
    void cmdPrint_Click();
    // The work category list into a PDF file, printer or not.
    void cmdPdf_Click();

    QComboBox *m_kubun = nullptr;
    QGroupBox *m_frame = nullptr;
    QVector<QLineEdit *> m_times; // 17
    QComboBox *m_method = nullptr;
    QComboBox *m_unitWork = nullptr;
    QComboBox *m_unitLate = nullptr;
    QComboBox *m_unitOver = nullptr;
    QLabel *m_dayChange = nullptr;
    QPushButton *m_set = nullptr;
    QPushButton *m_print = nullptr;
    QPushButton *m_pdf = nullptr;

    Category m_work; // working copy of the shown category
    int m_current = 1;
    bool m_changed = false;
    bool m_fieldError = false;
    bool m_suppress = false; // the screen itself sets the selector
    bool m_checking = false; // a field check (and its message) is running
    bool m_placed = false;
    int m_focused = -1; // the time field holding the focus
};
