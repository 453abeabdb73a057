#include "SetupWizard.h"

#include "AppHooks.h"
#include "StartupLogic.h"
#include "common/Common.h"
#include "common/Dialogs.h"
#include "frmStartUp.h"
#include "screens/ScreenTable.h"
#include "store/DbFile.h"
#include "store/ExFile.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

WizardState &wizardState()
{
    static WizardState s;
    return s;
}

QString initialPasswordText()
{
    QString full;
    for (const QChar c : QString::fromLatin1(kMasterPassword))
        full += c.isDigit() ? QChar(0xFF10 + (c.unicode() - '0')) : c;
    return QLatin1Char(' ') + full + QLatin1Char(' ');
}

namespace {

const QString kNext = QStringLiteral("次へ(&N) ＞");
const QString kBack = QStringLiteral("＜ 戻る(&B)");

QString nowText() { return Clock::now().toString(QStringLiteral("yyyy年 MM月 dd日 HH:mm")); }

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setMinimumWidth(96);
    return b;
}

QLabel *text(QWidget *parent, const QString &t)
{
    auto *l = new QLabel(t, parent);
    l->setWordWrap(true);
    return l;
}

// A label showing the current date and time, refreshed by Timer1 every second.
QLabel *clockLabel(QWidget *parent)
{
    auto *l = new QLabel(nowText(), parent);
    l->setObjectName(QStringLiteral("LblDateTime"));
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * 1.3);
    f.setBold(true);
    l->setFont(f);
    auto *t = new QTimer(parent);
    t->setObjectName(QStringLiteral("Timer1"));
    t->setInterval(1000);
    QObject::connect(t, &QTimer::timeout, l, [l] { l->setText(nowText()); });
    t->start();
    return l;
}

QHBoxLayout *buttonRow(std::initializer_list<QPushButton *> buttons)
{
    auto *row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton *b : buttons)
        row->addWidget(b);
    return row;
}

QString closingDayText(const QString &day)
{
    return day == QLatin1String("31") ? QStringLiteral("月末") : day + QStringLiteral("日");
}

} // namespace

WizardScreen::WizardScreen(const QString &question, QWidget *parent) : QDialog(parent), m_question(question)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(480, 320);
}

void WizardScreen::moveTo(WizardScreen *next)
{
    next->move(pos());
    next->show();
    m_movingOn = true;
    close();
}

void WizardScreen::closeEvent(QCloseEvent *event)
{
    if (m_movingOn) {
        event->accept();
        return;
    }
    raise();
    activateWindow();
    if (!Dialogs::askYesNo(m_question, QStringLiteral("終了確認"), 2)) {
        event->ignore();
        return;
    }
    event->accept();
    AppHooks::endProgram(0);
}

frmInitDateTime::frmInitDateTime(QWidget *parent)
    : WizardScreen(QStringLiteral("初期設定を中断します。よろしいですか？"), parent)
{
    setObjectName(formName(ScreenId::InitDateTime));
    setWindowTitle(screenTitle(ScreenId::InitDateTime));
    m_dateTime = clockLabel(this);
    auto *dateSet = button(this, "cmdDateSet", QStringLiteral("日時の変更"));
    dateSet->setVisible(AppHooks::canOpenDateTimeSettings());
    auto *next = button(this, "CmdNext", kNext);
    auto *cancel = button(this, "cmdCansel", QStringLiteral("キャンセル"));
    next->setDefault(true);

    auto *box = new QGroupBox(QStringLiteral("現在日時"), this);
    auto *boxLay = new QHBoxLayout(box);
    boxLay->addWidget(m_dateTime);
    boxLay->addStretch();
    boxLay->addWidget(dateSet);
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(text(this, QStringLiteral("お使いのパソコンの日時を設定します。")));
    lay->addWidget(box);
    lay->addWidget(text(this, QStringLiteral("現在の日時でよろしければ次へボタンを押下して下さい。")));
    lay->addStretch();
    lay->addLayout(buttonRow({next, cancel}));

    connect(dateSet, &QPushButton::clicked, this, [] { AppHooks::openDateTimeSettings(); });
    connect(next, &QPushButton::clicked, this, &frmInitDateTime::next);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
}

void frmInitDateTime::next()
{
    const QDate today = Clock::today();
    if (today.toString(QStringLiteral("yyyy/MM/dd")) < QLatin1String("2006/01/01")) {
        Dialogs::inform(QStringLiteral("2005年以前は設定できません！"), windowTitle(), Dialogs::Icon::Exclamation);
        return;
    }
    WizardState &s = wizardState();
    s.year = zeroPad(today.year(), 4);
    s.month = zeroPad(today.month(), 2);
    s.day = zeroPad(today.day(), 2);
    moveTo(new frmInitCloseDay);
}

frmInitCloseDay::frmInitCloseDay(QWidget *parent)
    : WizardScreen(QStringLiteral("初期設定を中断します。よろしいですか？"), parent)
{
    setObjectName(formName(ScreenId::InitCloseDay));
    setWindowTitle(screenTitle(ScreenId::InitCloseDay));
    m_simebi = new QComboBox(this);
    m_simebi->setObjectName(QStringLiteral("cboSimebi"));
    for (int d = 1; d <= 28; ++d)
        m_simebi->addItem(zeroPad(d, 2) + QStringLiteral("日"), d);
    m_simebi->addItem(QStringLiteral("月末"), 31);
    auto *back = button(this, "CmdBack", kBack);
    m_next = button(this, "CmdNext", kNext);
    auto *cancel = button(this, "CmdCancel", QStringLiteral("キャンセル"));

    const QString chosen = wizardState().closingDay;
    const int i = chosen.isEmpty() ? -1 : m_simebi->findData(chosen.toInt());
    m_simebi->setCurrentIndex(i);
    m_next->setEnabled(i >= 0);

    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("締め日　：　毎月"), this));
    row->addWidget(m_simebi);
    row->addWidget(new QLabel(QStringLiteral("締め"), this));
    row->addStretch();
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(text(this, QStringLiteral("締日を設定します。")));
    lay->addLayout(row);
    lay->addWidget(text(this, QStringLiteral("締日の設定は必須です。かならず締日を設定してください。")));
    lay->addWidget(text(this, QStringLiteral("締日を選択しないと次へ進めません")));
    lay->addStretch();
    lay->addLayout(buttonRow({back, m_next, cancel}));

    connect(m_simebi, &QComboBox::currentIndexChanged, this, [this](int index) { m_next->setEnabled(index >= 0); });
    connect(back, &QPushButton::clicked, this, &frmInitCloseDay::back);
    connect(m_next, &QPushButton::clicked, this, &frmInitCloseDay::next);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
}

void frmInitCloseDay::storeChoice()
{
    if (m_simebi->currentIndex() >= 0)
        wizardState().closingDay = QString::number(m_simebi->currentData().toInt());
}

void frmInitCloseDay::next()
{
    if (m_simebi->currentIndex() < 0)
        return;
    storeChoice();
    moveTo(new frmInitConfirm);
}

void frmInitCloseDay::back()
{
    storeChoice();
    moveTo(new frmInitDateTime);
}

frmInitConfirm::frmInitConfirm(QWidget *parent)
    : WizardScreen(QStringLiteral("初期設定を中断します。よろしいですか？"), parent)
{
    setObjectName(formName(ScreenId::InitConfirm));
    setWindowTitle(screenTitle(ScreenId::InitConfirm));
    m_dateTime = clockLabel(this);
    auto *simebi = new QLabel(closingDayText(wizardState().closingDay), this);
    simebi->setObjectName(QStringLiteral("LblSimebi"));
    simebi->setFont(m_dateTime->font());
    auto *back = button(this, "CmdBack", kBack);
    auto *finish = button(this, "CmdFinish", QStringLiteral("完了"));
    auto *cancel = button(this, "CmdCancel", QStringLiteral("キャンセル"));

    auto *box = new QGroupBox(this);
    auto *grid = new QGridLayout(box);
    grid->addWidget(new QLabel(QStringLiteral("日　時"), box), 0, 0);
    grid->addWidget(m_dateTime, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("締め日"), box), 1, 0);
    grid->addWidget(simebi, 1, 1);
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(text(this, QStringLiteral("初期設定の内容を確認し、よろしければ完了ボタンを押下して下さい。")));
    lay->addWidget(box);
    lay->addWidget(text(this, QStringLiteral("訂正する場合は戻るを押下して下さい。")));
    lay->addWidget(text(this, QStringLiteral("キャンセルすると設定内容は破棄されます。")));
    lay->addStretch();
    lay->addLayout(buttonRow({back, finish, cancel}));

    connect(back, &QPushButton::clicked, this, &frmInitConfirm::back);
    connect(finish, &QPushButton::clicked, this, &frmInitConfirm::finish);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
}

void frmInitConfirm::back() { moveTo(new frmInitCloseDay); }

void frmInitConfirm::finish()
{
    const WizardState &s = wizardState();
    Database &master = dbs().master;
    bool ok = master.open(masterDbPath());
    ok = ok && master.exec(QStringLiteral("UPDATE 会社 SET 締日 = ?"), {s.closingDay});
    ok = ok && master.exec(QStringLiteral(" update 会社 set 日替時刻 =  '03:00'"));
    ok = ok && Kidou_Write(QStringLiteral("起動年"), s.year) && Kidou_Write(QStringLiteral("起動月"), s.month);
    const int no = master.errorNumber();
    const QString desc = master.errorText();
    master.close();
    if (!ok) {
        // Nothing is recorded as done, so the wizard runs again at the next start.
        Dialogs::inform(QStringLiteral("初期設定を書き込めませんでした。") + QStringLiteral("\n\nエラー：(")
                            + QString::number(no) + QLatin1Char(')') + desc,
                        windowTitle(), Dialogs::Icon::Exclamation);
        return;
    }
    if (!recordSetupCompleted()) {
        Dialogs::inform(QStringLiteral("初期設定を書き込めませんでした。") + QLatin1Char('\n') + installSettingsPath(),
                        windowTitle(), Dialogs::Icon::Exclamation);
        return;
    }
    setUserSetting(UserKey::Pass_Wd, QString::fromLatin1(kMasterPassword));
    moveTo(new frmInitPassWord);
}

frmInitPassWord::frmInitPassWord(QWidget *parent)
    : WizardScreen(QStringLiteral("初期設定を終了します。よろしいですか？"), parent)
{
    setObjectName(formName(ScreenId::InitPassWord));
    setWindowTitle(screenTitle(ScreenId::InitPassWord));
    Password_Read();
    auto *pwd = new QLabel(initialPasswordText(), this);
    pwd->setObjectName(QStringLiteral("lblPasswd"));
    QFont f = pwd->font();
    f.setPointSizeF(f.pointSizeF() * 1.6);
    f.setBold(true);
    pwd->setFont(f);
    pwd->setFrameShape(QFrame::Box);
    auto *ok = button(this, "CmdOk", QStringLiteral("了　解"));
    ok->setDefault(true);

    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("お客様のパスワード　："), this));
    row->addWidget(pwd);
    row->addStretch();
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(text(this, QStringLiteral("Corvan21は起動する際にパスワードの入力を求められます。")));
    lay->addWidget(text(this, QStringLiteral("お客様のパスワードは下記のとおりです。")));
    lay->addLayout(row);
    lay->addWidget(text(this, QStringLiteral("※　使用の際に誤ったパスワードは受け付けられません。")));
    lay->addWidget(text(this, QStringLiteral("あらかじめパスワードを控えて大切に保管して下さい。")));
    lay->addWidget(text(this, QStringLiteral("万が一、パスワードを紛失した場合はCDマニュアルを")));
    lay->addWidget(text(this, QStringLiteral("ご覧下さい。")));
    lay->addWidget(text(this, QStringLiteral("確認後は、了解ボタンをクリックしてください。")));
    lay->addStretch();
    lay->addLayout(buttonRow({ok}));
    connect(ok, &QPushButton::clicked, this, &frmInitPassWord::ok);
}

void frmInitPassWord::ok()
{
    m_movingOn = true;
    const bool shown = showLoginScreen();
    close();
    if (!shown)
        AppHooks::endProgram(1);
}

void startSetupWizard()
{
    wizardState() = WizardState();
    auto *first = new frmInitDateTime;
    first->show();
}
