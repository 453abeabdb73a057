#include "frmDataList.h"

#include "ScreenTable.h"
#include "common/Common.h"
#include "recorder/Intake.h"
#include "store/DbFile.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

frmDataList::frmDataList(int type, const QString &title, QWidget *parent) : QDialog(parent)
{
    setObjectName(formName(ScreenId::DataList));
    setWindowTitle(title);
    setModal(true);

    auto *lay = new QVBoxLayout(this);
    m_title = new QLabel(title, this);
    m_title->setObjectName(QStringLiteral("lblTitle"));
    lay->addWidget(m_title);
    m_grid = new QTableWidget(kRowsPerPage, 4, this);
    m_grid->setObjectName(QStringLiteral("grdList"));
    m_grid->setHorizontalHeaderLabels(
        {QStringLiteral("日付"), QStringLiteral("時刻"), QStringLiteral("カード番号"), QStringLiteral("入退")});
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::NoSelection);
    m_grid->setFocusPolicy(Qt::NoFocus);
    for (int r = 0; r < kRowsPerPage; ++r)
        for (int c = 0; c < 4; ++c)
            m_grid->setItem(r, c, new QTableWidgetItem);
    m_grid->setMinimumSize(360, m_grid->verticalHeader()->defaultSectionSize() * (kRowsPerPage + 1) + 8);
    lay->addWidget(m_grid);

    auto *buttons = new QHBoxLayout;
    m_pageLabel = new QLabel(this);
    m_pageLabel->setObjectName(QStringLiteral("lblPage"));
    m_before = new QPushButton(QStringLiteral("前頁"), this);
    m_before->setObjectName(QStringLiteral("cmdBefore"));
    m_next = new QPushButton(QStringLiteral("次頁"), this);
    m_next->setObjectName(QStringLiteral("cmdNext"));
    auto *close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    buttons->addWidget(m_pageLabel);
    buttons->addStretch();
    buttons->addWidget(m_before);
    buttons->addWidget(m_next);
    buttons->addWidget(close);
    lay->addLayout(buttons);

    connect(m_before, &QPushButton::clicked, this, [this] { showPage(m_page - 1); });
    connect(m_next, &QPushButton::clicked, this, [this] { showPage(m_page + 1); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    if (!Intake::listRows(dbs().intake, type, m_rows)) {
        m_rows.clear();
        ErrorReport(dbs().intake.errorNumber(), dbs().intake.errorText());
    }
    showPage(1);
}

void frmDataList::showPage(int page)
{
    const int pages = qMax(1, int((m_rows.size() + kRowsPerPage - 1) / kRowsPerPage));
    m_page = qBound(1, page, pages);
    const int first = (m_page - 1) * kRowsPerPage;
    for (int r = 0; r < kRowsPerPage; ++r) {
        const QStringList row = first + r < m_rows.size() ? m_rows.at(first + r) : QStringList();
        QString date, time, card, io;
        if (!row.isEmpty()) {
            date = row.value(0) + QLatin1Char('/') + row.value(1);
            time = row.value(2) + QLatin1Char(':') + row.value(3);
            card = row.value(5).left(9);
            io = row.value(6) == QLatin1String("0")   ? QStringLiteral("入")
                 : row.value(6) == QLatin1String("1") ? QStringLiteral("退")
                                                      : QString();
        }
        m_grid->item(r, 0)->setText(date);
        m_grid->item(r, 1)->setText(time);
        m_grid->item(r, 2)->setText(card);
        m_grid->item(r, 3)->setText(io);
    }
    m_before->setEnabled(m_page > 1);
    m_next->setEnabled(m_rows.size() > m_page * kRowsPerPage);
    m_pageLabel->setText(QStringLiteral("%1 / %2").arg(m_page).arg(pages));
}
