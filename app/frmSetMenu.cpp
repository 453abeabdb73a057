#include "frmSetMenu.h"

#include "MDIForm1.h"
#include "ScreenFactory.h"
#include "screens/ScreenTable.h"
#include "store/ExFile.h"

#include <QGridLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStyle>

frmSetMenu::frmSetMenu(QWidget *parent) : QWidget(parent)
{
    setObjectName(formName(ScreenId::SetMenu));
    setWindowTitle(screenTitle(ScreenId::SetMenu));
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(16, 16, 16, 16);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    int row = 0;
    auto add = [&](const char *name, const QString &caption, QStyle::StandardPixmap pix, std::optional<ScreenId> screen,
                   auto action) {
        auto *image = new QLabel(this);
        image->setObjectName(QString::fromLatin1(name) + QStringLiteral("Image"));
        image->setPixmap(style()->standardIcon(pix).pixmap(32, 32));
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setMinimumSize(220, 40);
        if (screen)
            b->setEnabled(screenAvailable(*screen));
        connect(b, &QPushButton::clicked, this, action);
        grid->addWidget(image, row, 0);
        grid->addWidget(b, row, 1);
        ++row;
        return std::pair{image, b};
    };
    add("cmdMasSet", QStringLiteral("個人マスタ　登録"), QStyle::SP_DirHomeIcon, ScreenId::MasSet,
        [this] { openInstead(ScreenId::MasSet); });
    add("cmdKubun", QStringLiteral("勤務区分　設定"), QStyle::SP_FileDialogListView, ScreenId::KubunSet,
        [this] { openInstead(ScreenId::KubunSet); });
    add("cmdCalendar", QStringLiteral("カレンダー設定"), QStyle::SP_FileDialogDetailedView, ScreenId::Calendar,
        [this] { openInstead(ScreenId::Calendar); });
    add("cmdSimebi", QStringLiteral("締日、日替の設定"), QStyle::SP_BrowserReload, std::nullopt, [] {
        if (auto *m = MDIForm1::instance())
            m->simebiSet();
    });
    add("cmdPwdChg", QStringLiteral("パスワード変更"), QStyle::SP_DialogApplyButton, std::nullopt, [] {
        if (auto *m = MDIForm1::instance())
            m->pwdChg();
    });
    auto [lanImage, lanButton] =
        add("cmdLANSet", QStringLiteral("LAN設定"), QStyle::SP_DriveNetIcon, ScreenId::LANset, [] {
            if (auto *m = MDIForm1::instance())
                m->lanSet();
        });
    const bool lan = g_install.linkKind == LinkLan;
    lanImage->setVisible(lan);
    lanButton->setVisible(lan);
}

void frmSetMenu::openInstead(ScreenId screen)
{
    MDIForm1 *m = MDIForm1::instance();
    if (!m)
        return;
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->hide();
    m->openScreen(screen);
}
