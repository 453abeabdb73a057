#pragma once

#include <QDialog>
#include <QStringList>
#include <QVector>

class QLabel;
class QPushButton;
class QTableWidget;

// The modal list of one kind of intake rows (collected, unprocessed, no master, other month,
// duplicates), 14 rows a page.
//
// Controls (objectName): lblTitle, grdList (14 rows: date, time, card, in/out), lblPage,
// cmdBefore, cmdNext, cmdClose.
class frmDataList : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kRowsPerPage = 14;

    // type: Intake::ListType. A failed read is reported and leaves the list empty.
    frmDataList(int type, const QString &title, QWidget *parent = nullptr);

    int page() const { return m_page; }
    int rowCount() const { return int(m_rows.size()); }

private:
    void showPage(int page);

    QVector<QStringList> m_rows;
    int m_page = 1;
    QLabel *m_title = nullptr;
    QLabel *m_pageLabel = nullptr;
    QTableWidget *m_grid = nullptr;
    QPushButton *m_before = nullptr;
    QPushButton *m_next = nullptr;
};
