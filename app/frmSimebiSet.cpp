#include "frmSimebiSet.h"

#include "HelpCalls.h"
#include "MDIForm1.h"
#include "common/Common.h"
#include "common/Dialogs.h"
#include "screens/ScreenTable.h"
#include "store/DbFile.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

frmSimebiSet::frmSimebiSet(QWidget *parent) : QDialog(parent)
{
    setObjectName(formName(ScreenId::SimebiSet));
    setWindowTitle(screenTitle(ScreenId::SimebiSet));
    setModal(true);

    m_simebi = new QComboBox(this);
    m_simebi->setObjectName(QStringLiteral("cboSimebi"));
    for (int d = 1; d <= 28; ++d)
        m_simebi->addItem(zeroPad(d, 2) + QStringLiteral("日"), d);
    m_simebi->addItem(QStringLiteral("月末"), 31);
    m_higawari = new QComboBox(this);
    m_higawari->setObjectName(QStringLiteral("cboHigawari"));
    for (int h = 0; h < 24; ++h)
        m_higawari->addItem(zeroPad(h, 2) + QStringLiteral(":00"));

    m_set = new QPushButton(QStringLiteral("変更"), this);
    m_set->setObjectName(QStringLiteral("cmdSet"));
    m_cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    auto *help = new QPushButton(QStringLiteral("ヘルプ"), this);
    help->setObjectName(QStringLiteral("CmdHelp"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("締め日　："), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("毎月"), this), 0, 1);
    grid->addWidget(m_simebi, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("締め"), this), 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("日替時刻　："), this), 1, 0);
    grid->addWidget(m_higawari, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(help);
    buttons->addStretch();
    buttons->addWidget(m_set);
    buttons->addWidget(m_cancel);
    grid->addLayout(buttons, 2, 0, 1, 4);

    // Closing day 31 is "月末" (the last item); any other day n is item n.
    const int day = g_company.closingDayNo;
    m_simebi->setCurrentIndex(day == 31 ? 28 : qBound(1, day, 28) - 1);
    m_higawari->setCurrentIndex(qBound(0, g_company.dayChange.left(2).toInt(), 23));
    m_simebiAtOpen = m_simebi->currentIndex();
    m_higawariAtOpen = m_higawari->currentIndex();

    m_simebi->installEventFilter(this);
    m_higawari->installEventFilter(this);
    connect(m_set, &QPushButton::clicked, this, &frmSimebiSet::set);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [] { showHelp(10006); });
}

bool frmSimebiSet::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == m_simebi)
                m_higawari->setFocus();
            else if (watched == m_higawari)
                (m_set->isEnabled() ? m_set : m_cancel)->setFocus();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmSimebiSet::set()
{
    if (m_simebi->currentIndex() != m_simebiAtOpen) {
        QVector<QStringList> rows;
        if (!dbs().monthly.select(QStringLiteral(" select * from タイムカード order by 月, 日; "), rows)) {
            showDbFailure(QStringLiteral("締日、日替時刻データの書き込みに失敗しました。！"),
                          dbs().monthly.errorNumber(), dbs().monthly.errorText());
            return;
        }
        if (!rows.isEmpty()) {
            Dialogs::inform(QStringLiteral("当月度は、既にタイムカードが読み込まれています。") + QStringLiteral("\n\n")
                                + QStringLiteral("月度を変えてから締め日を変更してください。"),
                            QStringLiteral("締め日 設定"), Dialogs::Icon::Exclamation);
            reject();
            return;
        }
    }
    const QString closingDay =
        m_simebi->currentIndex() != m_simebiAtOpen ? QString::number(m_simebi->currentData().toInt()) : QString();
    const QString dayChange = m_higawari->currentIndex() != m_higawariAtOpen ? m_higawari->currentText() : QString();
    // Both or neither: a failed write leaves the files, the settings in memory and the open
    // screens as they were, and the dialog open for another try.
    if (!Kaisya_Write(closingDay, dayChange))
        return;
    accept();
    if (MDIForm1 *m = MDIForm1::instance())
        m->reloadScreens();
}
