#include "frmMonthChg.h"

#include "MDIForm1.h"
#include "MonthLists.h"
#include "common/Common.h"
#include "common/Dialogs.h"
#include "screens/ScreenTable.h"
#include "store/DbFile.h"
#include "store/MonthStart.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

frmMonthChg::frmMonthChg(QWidget *parent) : QDialog(parent)
{
    setObjectName(formName(ScreenId::MonthChg));
    setWindowTitle(screenTitle(ScreenId::MonthChg));
    setModal(true);
    m_year = new QComboBox(this);
    m_year->setObjectName(QStringLiteral("cboYear"));
    m_month = new QComboBox(this);
    m_month->setObjectName(QStringLiteral("cboMonth"));
    m_change = new QPushButton(QStringLiteral("変更"), this);
    m_change->setObjectName(QStringLiteral("cmdChange"));
    m_cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));

    auto *row = new QHBoxLayout;
    row->addWidget(m_year);
    row->addWidget(new QLabel(QStringLiteral("年"), this));
    row->addWidget(m_month);
    row->addWidget(new QLabel(QStringLiteral("月度"), this));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_change);
    buttons->addWidget(m_cancel);
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(new QLabel(QStringLiteral("処理月を選択してください。"), this));
    lay->addLayout(row);
    lay->addLayout(buttons);

    fillYearList(m_year);
    selectText(m_year, g_startup.year);
    refillMonthList(m_year, m_month);
    selectText(m_month, g_startup.month);
    m_changed = false;

    connect(m_year, &QComboBox::currentIndexChanged, this, [this] {
        refillMonthList(m_year, m_month);
        listChanged();
    });
    connect(m_month, &QComboBox::currentIndexChanged, this, &frmMonthChg::listChanged);
    connect(m_change, &QPushButton::clicked, this, &frmMonthChg::change);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmMonthChg::listChanged()
{
    m_changed = m_year->currentText() != g_startup.year || m_month->currentText() != g_startup.month;
}

void frmMonthChg::change()
{
    if (!m_changed) {
        reject();
        return;
    }
    const QString year = m_year->currentText();
    const QString month = m_month->currentText();
    const int d = monthDistance(g_startup.year.toInt(), g_startup.month.toInt(), year.toInt(), month.toInt());
    if (d <= -7
        && !Dialogs::askYesNo(QStringLiteral("処理月が７ヶ月以上戻されます。よろしいですか？"),
                              QStringLiteral("処理月　確認")))
        return;

    const QString oldKey = g_run.key();
    const QString key = year + month;
    // The month in use comes back whenever the new one cannot be started, so that the work
    // that follows never lands in a month other than the one on the label.
    const CompanySettings oldCompany = g_company;
    auto backToOldMonth = [&] {
        openMonthlyDatabase(oldKey, nullptr);
        g_company = oldCompany;
    };
    QString why;
    const MonthOpen o = openMonthlyDatabase(key, &why);
    if (o == MonthOpen::Unreadable || o == MonthOpen::Failed) {
        Dialogs::show({monthOpenMessage(key, why), QStringLiteral("処理月変更"), Dialogs::Icon::Critical,
                       Dialogs::Buttons::OkOnly, 1});
        backToOldMonth();
        return;
    }
    if (!Kaisya_Read()) {
        backToOldMonth();
        return;
    }
    if (!enterMonth(year, month, true, &why)) {
        Dialogs::show(
            {QStringLiteral("処理年月の開始に失敗しました！　") + QLatin1Char('\n') + QStringLiteral("エラー：") + why,
             QStringLiteral("処理月変更"), Dialogs::Icon::Critical, Dialogs::Buttons::OkOnly, 2});
    }
    accept();
    if (MDIForm1 *m = MDIForm1::instance()) {
        m->setMonthLabel(year, month);
        m->reloadScreens();
    }
}
