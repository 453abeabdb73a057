#include "frmUsbCom.h"

#include "recorder/UsbLink.h"
#include "store/DbFile.h"
#include "store/ExFile.h"

frmUsbCom::frmUsbCom(QWidget *parent) : LinkScreen(ScreenId::UsbCom, parent)
{
    m_link = new UsbLink(dbs().intake, this);
    UsbLink::Settings s;
    s.commandSet = g_install.commandSet;
    m_link->setSettings(s);
    host(m_link);
}

frmUsbCom::~frmUsbCom() = default;

CalcoloCom::CollectionResult frmUsbCom::run(QWidget *parent)
{
    frmUsbCom dlg(parent);
    dlg.exec();
    return dlg.result();
}
