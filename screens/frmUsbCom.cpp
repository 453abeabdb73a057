#include "frmUsbCom.h"

#include "DbFile.h"
#include "ExFile.h"
#include "UsbLink.h"

#include <QHBoxLayout>
#include <QLabel>

frmUsbCom::frmUsbCom(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmUsbCom"));
    setWindowTitle(QStringLiteral("frmUsbCom"));
    setModal(true);
    auto *lay = new QHBoxLayout(this);
    auto *label = new QLabel(QStringLiteral(" 送受信中"), this);
    label->setObjectName(QStringLiteral("Label1"));
    lay->addWidget(label);
    move(0, 0);

    m_link = new UsbLink(dbs().intake, this);
    UsbLink::Settings s;
    s.commandSet = g_install.commandSet;
    m_link->setSettings(s);
    connect(m_link, &UsbLink::finished, this, &frmUsbCom::onFinished);
}

frmUsbCom::~frmUsbCom() = default;

void frmUsbCom::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    move(0, 0);
    if (!m_started) {
        m_started = true;
        m_link->start();
    }
}

void frmUsbCom::reject()
{
    if (m_link->isFinished())
        QDialog::reject();
}

void frmUsbCom::onFinished()
{
    m_result = m_link->result();
    accept();
}

CalcoloCom::CollectionResult frmUsbCom::run(QWidget *parent)
{
    frmUsbCom dlg(parent);
    dlg.exec();
    return dlg.result();
}
