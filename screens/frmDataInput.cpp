#include "frmDataInput.h"

#include "ScreenHost.h"
#include "common/Common.h"
#include "common/Dialogs.h"
#include "frmCardSet.h"
#include "frmDataList.h"
#include "frmLanCom.h"
#include "frmUsbCom.h"
#include "store/DbFile.h"
#include "store/ExFile.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>

#include <map>

using CalcoloCom::CollectionResult;

namespace {

std::map<int, frmDataInput::LinkScreen> &linkScreens()
{
    static std::map<int, frmDataInput::LinkScreen> m{
        {LinkLan, [](int waiting, QWidget *parent) { return frmLanCom::run(waiting, parent); }},
        // The USB link has no row limit of its own: the waiting rows are not its concern.
        {LinkUsb, [](int, QWidget *parent) { return frmUsbCom::run(parent); }},
    };
    return m;
}

frmDataInput::ListOpener g_listOpener;

const QString kCollectTitle = QStringLiteral("データ収集");
// "ActiveX component can't create object": what the program meets when a link screen cannot be made.
constexpr int kErrCannotCreate = 429;

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

void frmDataInput::setLinkScreen(int linkKind, LinkScreen screen) { linkScreens()[linkKind] = std::move(screen); }
void frmDataInput::setListOpener(ListOpener opener) { g_listOpener = std::move(opener); }

QPushButton *frmDataInput::button(const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, this);
    b->setObjectName(QString::fromUtf8(name));
    return b;
}

QLabel *frmDataInput::count(const char *name)
{
    auto *l = new QLabel(QStringLiteral("0"), this);
    l->setObjectName(QString::fromUtf8(name));
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setMinimumWidth(64);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    return l;
}

frmDataInput::frmDataInput(QWidget *parent) : QWidget(parent)
{
    setObjectName(formName(ScreenId::DataInput));
    setWindowTitle(screenTitle(ScreenId::DataInput));

    auto *lay = new QVBoxLayout(this);
    auto *caption = new QLabel(QStringLiteral(" データ収集 "), this);
    caption->setObjectName(QStringLiteral("lblCaption"));
    QFont f = caption->font();
    f.setPointSize(f.pointSize() + 4);
    f.setBold(true);
    caption->setFont(f);
    lay->addWidget(caption);

    auto row = [this](QGridLayout *g, int r, const QString &label, QLabel *value) {
        g->addWidget(new QLabel(label, this), r, 0);
        g->addWidget(value, r, 1);
    };

    auto *frame1 = new QGroupBox(QStringLiteral("①データ収集"), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    auto *g1 = new QGridLayout(frame1);
    m_collect = button("cmdデータ収集", QStringLiteral("データ収集開始"));
    m_listCollected = button("cmd収集一覧", QStringLiteral("収集データ一覧"));
    m_listDup = button("cmd重複一覧", QStringLiteral("重複データ一覧"));
    m_delDup = button("cmd重複削除", QStringLiteral("データ削除"));
    m_lblCollected = count("lbl収集数");
    m_lblDup = count("lbl重複数");
    g1->addWidget(m_collect, 0, 0, 1, 2);
    row(g1, 1, QStringLiteral("収集データ数"), m_lblCollected);
    g1->addWidget(m_listCollected, 1, 2);
    row(g1, 2, QStringLiteral("重複データ数"), m_lblDup);
    g1->addWidget(m_listDup, 2, 2);
    g1->addWidget(m_delDup, 2, 3);
    lay->addWidget(frame1);

    auto *frame2 = new QGroupBox(QStringLiteral("② データ処理"), this);
    frame2->setObjectName(QStringLiteral("Frame2"));
    auto *g2 = new QGridLayout(frame2);
    m_process = button("cmdデータ処理", QStringLiteral("データ処理"));
    m_listUnprocessed = button("cmd未処理一覧", QStringLiteral("未処理データ一覧"));
    m_listNoMaster = button("cmdマスタなし一覧", QStringLiteral("マスタなしデータ一覧"));
    m_listOtherMonth = button("cmd月違い一覧", QStringLiteral("月度違いデータ一覧"));
    m_delClassified = button("cmd未処理削除", QStringLiteral("データ削除"));
    m_lblMoved = count("lbl正常数");
    m_lblUnprocessed = count("lbl未処理数");
    m_lblNoMaster = count("lblマスタなし数");
    m_lblOtherMonth = count("lbl月度違い数");
    g2->addWidget(m_process, 0, 0, 1, 2);
    row(g2, 1, QStringLiteral("正常データ数"), m_lblMoved);
    row(g2, 2, QStringLiteral("未処理データ数"), m_lblUnprocessed);
    g2->addWidget(m_listUnprocessed, 2, 2);
    g2->addWidget(m_delClassified, 2, 3);
    row(g2, 3, QStringLiteral("マスタなしデータ数"), m_lblNoMaster);
    g2->addWidget(m_listNoMaster, 3, 2);
    row(g2, 4, QStringLiteral("月度違いデータ数"), m_lblOtherMonth);
    g2->addWidget(m_listOtherMonth, 4, 2);
    lay->addWidget(frame2);

    auto *bottom = new QHBoxLayout;
    m_cardSet = button("cmdCardSet", QStringLiteral("カード番号変更"));
    bottom->addStretch();
    bottom->addWidget(m_cardSet);
    lay->addLayout(bottom);
    lay->addStretch();

    connect(m_collect, &QPushButton::clicked, this, &frmDataInput::cmdデータ収集_Click);
    connect(m_process, &QPushButton::clicked, this, &frmDataInput::cmdデータ処理_Click);
    connect(m_delDup, &QPushButton::clicked, this, &frmDataInput::cmd重複削除_Click);
    connect(m_delClassified, &QPushButton::clicked, this, &frmDataInput::cmd未処理削除_Click);
    connect(m_cardSet, &QPushButton::clicked, this, &frmDataInput::cmdCardSet_Click);
    connect(m_listCollected, &QPushButton::clicked, this, [this] { openList(Intake::ListCollected); });
    connect(m_listUnprocessed, &QPushButton::clicked, this, [this] { openList(Intake::ListUnprocessed); });
    connect(m_listNoMaster, &QPushButton::clicked, this, [this] { openList(Intake::ListNoMaster); });
    connect(m_listOtherMonth, &QPushButton::clicked, this, [this] { openList(Intake::ListOtherMonth); });
    connect(m_listDup, &QPushButton::clicked, this, [this] { openList(Intake::ListDuplicates); });

    m_bounds = Intake::SyorituCal(g_run.year, g_run.month, g_company.closingDayNo, Clock::today());
    kensuuDisp();
}

void frmDataInput::kensuuDisp()
{
    Intake::Counts c;
    if (!Intake::readCounts(dbs().intake, c))
        ErrorReport(dbs().intake.errorNumber(), dbs().intake.errorText());
    m_counts = c;
    auto show = [](QLabel *l, int n, std::initializer_list<QPushButton *> buttons) {
        l->setText(QString::number(n));
        for (QPushButton *b : buttons)
            b->setEnabled(n > 0);
    };
    show(m_lblDup, c.duplicates, {m_delDup, m_listDup});
    show(m_lblCollected, c.collected, {m_listCollected});
    show(m_lblNoMaster, c.noMaster, {m_listNoMaster});
    show(m_lblOtherMonth, c.otherMonth, {m_listOtherMonth});
    show(m_lblUnprocessed, c.unprocessed, {m_listUnprocessed, m_delClassified});
    m_lblMoved->setText(QString::number(m_moved));
}

void frmDataInput::cmdデータ収集_Click()
{
    int failure = 0;
    {
        WaitCursor wait;
        const auto it = linkScreens().find(g_install.linkKind);
        if (it == linkScreens().end() || !it->second) {
            failure = kErrCannotCreate;
        } else {
            // The link's limit counts what waits here: the collected and the classified rows.
            const int waiting = m_lblCollected->text().toInt() + m_lblUnprocessed->text().toInt();
            const CollectionResult r = it->second(waiting, this);
            QApplication::restoreOverrideCursor();
            if (r.code != 0) {
                Dialogs::inform(r.message(), kCollectTitle, Dialogs::Icon::Exclamation);
                CalcoloCom::logError(r.message());
            } else {
                Dialogs::inform(QStringLiteral("正常終了しました。"), kCollectTitle, Dialogs::Icon::Information);
            }
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
        // Also after a failed collection: the rows that did arrive are compared too.
        if (!Intake::markDuplicates(dbs().intake) && !failure)
            failure = dbs().intake.errorNumber() ? dbs().intake.errorNumber() : 1;
        kensuuDisp();
    }
    if (failure)
        Dialogs::inform(QStringLiteral("ドライバが使用できません。 (") + QString::number(failure) + QLatin1Char(')'),
                        appTitle(), Dialogs::Icon::None);
}

void frmDataInput::cmdデータ処理_Click()
{
    // An open editor keeps its copy of the days it shows; a save from that copy after rows
    // moved in would work on old rows. Its unsaved edits are settled first, and it reads the
    // days again once rows have moved.
    if (!settleOpenScreens(punchEditors()))
        return;
    Intake::ProcessResult r;
    bool ok = false;
    {
        WaitCursor wait;
        const QString monthly = dbs().monthly.isOpen() ? dbs().monthly.path() : monthlyDbPath(g_run.key());
        ok = Intake::process(dbs().intake, monthly, m_bounds, Clock::today(), r);
        if (ok)
            m_moved = r.moved;
        kensuuDisp();
    }
    if (ok && r.moved > 0)
        reloadOpenScreens(punchEditors());
    if (!ok) {
        ErrorReport(r.errorNumber, r.errorText);
        return;
    }
    if (r.leapDayWarning)
        Dialogs::inform(QStringLiteral("年度が違うデータがありました。") + QLatin1Char('\r'), appTitle(),
                        Dialogs::Icon::Exclamation);
}

bool frmDataInput::confirmDelete()
{
    Dialogs::Message m;
    m.text = QStringLiteral("削除しますか。");
    m.title = QStringLiteral("削除確認");
    m.icon = Dialogs::Icon::Critical;
    m.buttons = Dialogs::Buttons::YesNo;
    m.defaultButton = 2;
    return Dialogs::show(m) == Dialogs::Answer::Yes;
}

void frmDataInput::cmd重複削除_Click()
{
    if (!confirmDelete())
        return;
    if (!Intake::deleteDuplicates(dbs().intake))
        ErrorReport(dbs().intake.errorNumber(), dbs().intake.errorText());
    kensuuDisp();
}

void frmDataInput::cmd未処理削除_Click()
{
    if (!confirmDelete())
        return;
    if (!Intake::deleteClassified(dbs().intake))
        ErrorReport(dbs().intake.errorNumber(), dbs().intake.errorText());
    kensuuDisp();
}

void frmDataInput::openList(int type)
{
    const QString title = Intake::listTitle(type);
    if (g_listOpener) {
        g_listOpener(type, title, this);
        return;
    }
    frmDataList list(type, title, this);
    list.exec();
}

void frmDataInput::cmdCardSet_Click()
{
    ScreenHost *host = screenHost();
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->hide();
    else if (host)
        hide();
    if (!host) {
        // Without a main window the card screen stands on its own.
        auto *w = new frmCardSet;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->show();
        return;
    }
    if (auto *card = qobject_cast<frmCardSet *>(host->findScreen(ScreenId::CardSet))) {
        // Loaded before: read the employees afresh, unless the screen holds card edits not yet
        // saved. Those stay as the user left them (the employee table cannot have changed
        // under them: a save of the master screen closes this one).
        if (!card->isChanged())
            card->CardEdit_Start();
        host->showScreen(card);
        return;
    }
    host->showScreen(new frmCardSet); // a new screen starts itself
}
