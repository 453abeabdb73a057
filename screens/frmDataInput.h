#pragma once

#include "recorder/CalcoloCom.h"
#include "recorder/Intake.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

// The collected-data screen (データ収集): collects punches through the link screen of the
// installation's link kind, marks duplicates, and processes the intake table into the month's
// time cards, with lists and deletes of what is left over.
//
// Controls (objectName): cmdデータ収集, cmd収集一覧, cmd重複一覧, cmd重複削除, lbl収集数, lbl重複数,
// cmdデータ処理, cmd未処理一覧, cmdマスタなし一覧, cmd月違い一覧, cmd未処理削除, lbl正常数, lbl未処理数,
// lblマスタなし数, lbl月度違い数, cmdCardSet.
class frmDataInput : public QWidget
{
    Q_OBJECT
public:
    explicit frmDataInput(QWidget *parent = nullptr);

    // Runs a link screen modally and returns its outcome; waitingRows feeds the 10000 limit.
    using LinkScreen = std::function<CalcoloCom::CollectionResult(int waitingRows, QWidget *parent)>;
    // Both link screens are built in; tests put their own in their place here.
    static void setLinkScreen(int linkKind, LinkScreen screen);
    // Opens a list (tests replace it to look at the list without a modal loop).
    using ListOpener = std::function<void(int type, const QString &title, QWidget *parent)>;
    static void setListOpener(ListOpener opener);

    // show counts (kensuuDisp): counts, labels and button enabling.
    void kensuuDisp();
    const Intake::Counts &counts() const { return m_counts; }
    int movedCount() const { return m_moved; }
    const Intake::PeriodBounds &periodBounds() const { return m_bounds; }

    void cmdデータ収集_Click();
    void cmdデータ処理_Click();
    void cmd重複削除_Click();
    void cmd未処理削除_Click();
    void cmdCardSet_Click();
    void openList(int type);

private:
    QPushButton *button(const char *name, const QString &caption);
    QLabel *count(const char *name);
    bool confirmDelete();

    Intake::Counts m_counts;
    Intake::PeriodBounds m_bounds;
    int m_moved = 0;

    QPushButton *m_collect = nullptr, *m_listCollected = nullptr, *m_listDup = nullptr, *m_delDup = nullptr;
    QPushButton *m_process = nullptr, *m_listUnprocessed = nullptr, *m_listNoMaster = nullptr,
                *m_listOtherMonth = nullptr, *m_delClassified = nullptr, *m_cardSet = nullptr;
    QLabel *m_lblCollected = nullptr, *m_lblDup = nullptr, *m_lblMoved = nullptr, *m_lblUnprocessed = nullptr,
           *m_lblNoMaster = nullptr, *m_lblOtherMonth = nullptr;
};
