#pragma once

#include "output/ExportJob.h"

#include "SelectionPickers.h"

#include <QDate>
#include <QVector>
#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

// The export screen (" ファイル出力 "): writes the processing month's attendance as an
// individual, daily or totals file, in the comma (.csv) or text (.txt) layout the file name
// selects, or as the import file of a payroll package. The payroll choice is kept in the
// user's settings (Syuukei) from one use of the screen to the next.
//
// Controls (objectName): optファイル種別_0..2, Frame1 "社員指定" (opt対象社員_0..2, Frame3 with
// cbo社員番号, Frame4 with opt複数社員_0..1, cbo範囲社員_0/1, lst任意社員), Frame2 "日付け指定"
// (opt対象日_0..2, Frame10 with cbo日付 and cmdDateSel, Frame11 with opt複数日付_0..1,
// cbo範囲日付_0/1, cmdDateSel1_0/1, lst任意日付), Frame6 "集計" (opt集計_0..1, Frame7 with
// opt給与ソフト_0..2), Frame5 "出力項目" (chk項目_0..9), cmdFileOut.
class frmFileOut : public QWidget
{
    Q_OBJECT
public:
    explicit frmFileOut(QWidget *parent = nullptr);
    ~frmFileOut() override;

    // The choices as the write button reads them (-1: not set).
    struct Choices {
        int kind = -1;
        int target = -1;
        int several = -1;
        ExportItems items{};
    };
    Choices readChoices() const;

    // The payroll package chosen (0..2), or -1 for the own totals layout.
    int payrollChoice() const;

public slots:
    void cmdFileOut_Click();

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void buildUi();
    void applyVisibility();
    void storePayrollChoice();
    // Runs one export to a chosen file and tells the user how it went.
    void runExport(const ExportJob &job, const QString &fileName, const QStringList &filters, bool byExtension);

    int m_employeeCount = 0;
    SelectionPickers m_pickers{
        {QStringLiteral("opt対象社員"), QStringLiteral("cbo社員番号"), QStringLiteral("opt複数社員"),
         QStringLiteral("cbo範囲社員_%1"), QStringLiteral("lbl範囲社員"), QStringLiteral("lst任意社員"),
         QStringLiteral("opt対象日"), QStringLiteral("複数日付"), QStringLiteral("cbo日付"),
         QStringLiteral("cmdDateSel"), QStringLiteral("opt複数日付"), QStringLiteral("cbo範囲日付_%1"),
         QStringLiteral("cmdDateSel1_%1"), QStringLiteral("lbl範囲日付"), QStringLiteral("lst任意日付")}};

    QButtonGroup *m_kind = nullptr;
    QButtonGroup *m_totals = nullptr;
    QButtonGroup *m_package = nullptr;

    QGroupBox *m_frameEmployee = nullptr; // 社員指定
    QGroupBox *m_frameDate = nullptr;     // 日付け指定
    QGroupBox *m_frameTotals = nullptr;   // 集計
    QGroupBox *m_frameItems = nullptr;    // 出力項目 (Frame5)
    QWidget *m_frame7 = nullptr;

    QCheckBox *m_items[kItemCount] = {};
    QPushButton *m_write = nullptr;
};
