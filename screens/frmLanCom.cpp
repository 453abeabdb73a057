#include "frmLanCom.h"

#include "recorder/LanLink.h"
#include "store/DbFile.h"
#include "store/ExFile.h"

frmLanCom::frmLanCom(int waitingRows, QWidget *parent) : LinkScreen(ScreenId::LanCom, parent)
{
    m_link = new LanLink(dbs().intake, this);
    LanLink::Settings s;
    // Read afresh: the address may have been changed since the settings were loaded.
    s.host = userSetting(UserKey::IP_adrs, g_recorderAddress);
    s.port = quint16(g_install.recorderPort);
    s.commandSet = g_install.commandSet;
    s.dayChange = g_company.dayChange;
    s.waitingRows = waitingRows;
    m_link->setSettings(s);
    host(m_link);
}

frmLanCom::~frmLanCom() = default;

CalcoloCom::CollectionResult frmLanCom::run(int waitingRows, QWidget *parent)
{
    frmLanCom dlg(waitingRows, parent);
    dlg.exec();
    return dlg.result();
}
