#include "frmLanCom.h"

#include "DbFile.h"
#include "ExFile.h"
#include "LanLink.h"

#include <QHBoxLayout>
#include <QLabel>

frmLanCom::frmLanCom(int waitingRows, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmLanCom"));
    setWindowTitle(QStringLiteral("frmLanCom"));
    setModal(true);
    auto *lay = new QHBoxLayout(this);
    auto *label = new QLabel(QStringLiteral(" 送受信中"), this);
    label->setObjectName(QStringLiteral("Label1"));
    lay->addWidget(label);
    move(0, 0);

    m_link = new LanLink(dbs().intake, this);
    LanLink::Settings s;
    // Read afresh: the address may have been changed since the settings were loaded.
    s.host = userSetting(QStringLiteral("IP_adrs"), g_recorderAddress);
    s.port = quint16(g_install.recorderPort);
    s.commandSet = g_install.commandSet;
    s.dayChange = g_company.dayChange;
    s.waitingRows = waitingRows;
    m_link->setSettings(s);
    connect(m_link, &LanLink::finished, this, &frmLanCom::onFinished);
}

frmLanCom::~frmLanCom() = default;

void frmLanCom::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    move(0, 0);
    if (!m_started) {
        m_started = true;
        m_link->start();
    }
}

void frmLanCom::reject()
{
    if (m_link->isFinished())
        QDialog::reject();
}

void frmLanCom::onFinished()
{
    m_result = m_link->result();
    accept();
}

CalcoloCom::CollectionResult frmLanCom::run(int waitingRows, QWidget *parent)
{
    frmLanCom dlg(waitingRows, parent);
    dlg.exec();
    return dlg.result();
}
