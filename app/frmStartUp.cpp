#include "frmStartUp.h"

#include "AppHooks.h"
#include "MDIForm1.h"
#include "MonthLists.h"
#include "StartupLogic.h"
#include "common/Common.h"
#include "common/Dialogs.h"
#include "screens/ScreenTable.h"
#include "store/DbFile.h"
#include "store/ExFile.h"
#include "store/MonthStart.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {
const QString kStartError = QStringLiteral("起動エラー");
const QString kReinstall = QStringLiteral("CORVAN21を正しくインストールしてください、終了します");
} // namespace

frmStartUp::frmStartUp(QWidget *parent) : QWidget(parent)
{
    setObjectName(formName(ScreenId::StartUp));
    setWindowTitle(appTitle());
    setAttribute(Qt::WA_DeleteOnClose);

    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("picStartUp"));
    m_picture->setAlignment(Qt::AlignCenter);

    m_pwd = new QLineEdit(this);
    m_pwd->setObjectName(QStringLiteral("txtPwd"));
    m_pwd->setEchoMode(QLineEdit::Password);
    m_year = new QComboBox(this);
    m_year->setObjectName(QStringLiteral("cboYear"));
    m_month = new QComboBox(this);
    m_month->setObjectName(QStringLiteral("cboMonth"));
    m_start = new QPushButton(QStringLiteral("開始"), this);
    m_start->setObjectName(QStringLiteral("cmdStart"));
    m_end = new QPushButton(QStringLiteral("終了"), this);
    m_end->setObjectName(QStringLiteral("cmdEnd"));

    auto *month = new QHBoxLayout;
    month->addWidget(m_year);
    month->addWidget(new QLabel(QStringLiteral("年"), this));
    month->addWidget(m_month);
    month->addWidget(new QLabel(QStringLiteral("月度"), this));
    month->addStretch();
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("パスワード"), m_pwd);
    form->addRow(QStringLiteral("処理年月"), month);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_start);
    buttons->addWidget(m_end);
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(m_picture);
    lay->addLayout(form);
    lay->addLayout(buttons);

    connect(m_year, &QComboBox::currentIndexChanged, this, [this] { refillMonthList(m_year, m_month); });
    connect(m_start, &QPushButton::clicked, this, &frmStartUp::start);
    connect(m_end, &QPushButton::clicked, this, &frmStartUp::quit);
    connect(m_pwd, &QLineEdit::returnPressed, this, [this] {
        start();
        if (isVisible())
            m_pwd->clear();
    });
}

bool frmStartUp::loadFailure(const QString &firstLine)
{
    Dialogs::show({firstLine + QLatin1Char('\n') + kReinstall, kStartError, Dialogs::Icon::Critical,
                   Dialogs::Buttons::CancelTryAgainContinue, 1});
    closeAllDatabases();
    return false;
}

bool frmStartUp::load()
{
    if (!readStartupSettings())
        return loadFailure(QStringLiteral("設定ファイルの読み込みに失敗しました！"));

    const QString iconPath = installedFile(g_install.iconFile);
    const QString picturePath = installedFile(g_install.pictureFile);
    const QPixmap picture(picturePath);
    const QIcon icon(iconPath);
    if (!QFileInfo(iconPath).isFile() || icon.isNull() || picture.isNull())
        return loadFailure(QStringLiteral("イメージファイルが見つかりませんでした！"));
    QApplication::setWindowIcon(icon);
    setWindowIcon(icon);
    m_picture->setPixmap(picture);

    if (!openMasterDatabase())
        return loadFailure(QStringLiteral("エラー：") + masterDbPath() + QStringLiteral("が見つかりませんでした"));

    fillYearList(m_year);
    selectText(m_year, g_startup.year);
    refillMonthList(m_year, m_month);
    selectText(m_month, g_startup.month);

    if (g_install.linkKind == LinkUsb && usbDriverCheck() != 0) {
        Dialogs::show({QStringLiteral("ＵＳＢドライバが見つかりませんでした！") + QLatin1Char('\n')
                           + QStringLiteral("付属のＵＳＢドライバを正しくインストールしてください、終了します"),
                       kStartError, Dialogs::Icon::Critical, Dialogs::Buttons::CancelTryAgainContinue, 1});
        closeAllDatabases();
        return false;
    }
    return true;
}

void frmStartUp::start()
{
    if (!Password_Test(trimBlanks(m_pwd->text()))) {
        Dialogs::show({QStringLiteral("正しいパスワードを入力してください。"), kStartError, Dialogs::Icon::Critical,
                       Dialogs::Buttons::OkOnly, 2});
        m_pwd->clear();
        m_pwd->setFocus();
        return;
    }
    const QString year = m_year->currentText();
    const QString month = m_month->currentText();
    if (year.isEmpty() || month.isEmpty())
        return;
    const int d = monthDistance(g_startup.year.toInt(), g_startup.month.toInt(), year.toInt(), month.toInt());
    if (d <= -7
        && !Dialogs::askYesNo(QStringLiteral("処理月が７ヶ月以上戻されます。よろしいですか？"),
                              QStringLiteral("処理月　確認")))
        return;

    const QString key = year + month;
    QString why;
    const MonthOpen o = openMonthlyDatabase(key, &why);
    if (o == MonthOpen::Unreadable || o == MonthOpen::Failed) {
        Dialogs::show({monthOpenMessage(key, why), kStartError, Dialogs::Icon::Critical, Dialogs::Buttons::OkOnly, 1});
        return;
    }
    auto startFailed = [&](const QString &description) {
        Dialogs::show({QStringLiteral("処理年月の開始に失敗しました！　") + QLatin1Char('\n')
                           + QStringLiteral("エラー：") + description,
                       kStartError, Dialogs::Icon::Critical, Dialogs::Buttons::OkOnly, 2});
    };
    if (!openIntakeAndCalendar(&why)) {
        startFailed(why);
        return;
    }
    if (!Kaisya_Read())
        return;
    if (!enterMonth(year, month, true, &why)) {
        startFailed(why);
        return;
    }
    auto *main = new MDIForm1;
    main->setAttribute(Qt::WA_DeleteOnClose);
    main->setMonthLabel(year, month);
    main->show();
    main->showSetMenu();
    close();
}

void frmStartUp::quit()
{
    closeAllDatabases();
    close();
    AppHooks::endProgram(0);
}

bool showLoginScreen()
{
    auto *w = new frmStartUp;
    if (!w->load()) {
        delete w;
        return false;
    }
    w->adjustSize();
    if (const QScreen *s = w->screen())
        w->move(s->availableGeometry().center() - w->rect().center());
    w->show();
    return true;
}
