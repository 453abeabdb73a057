#include "ScreenFactory.h"

#include "HelpCalls.h"
#include "frmSetMenu.h"
#include "screens/frmCalendar.h"
#include "screens/frmCardSet.h"
#include "screens/frmDataInput.h"
#include "screens/frmFileOut.h"
#include "screens/frmKojinEdit.h"
#include "screens/frmKubunSet.h"
#include "screens/frmLANset.h"
#include "screens/frmListEdit.h"
#include "screens/frmListPrint.h"
#include "screens/frmMasSet.h"

#include <QWidget>

namespace {

struct Maker {
    ScreenId screen;
    QWidget *(*make)();
};

// One line per screen the main window makes, in menu order.
const Maker kMakers[] = {
    {ScreenId::SetMenu, []() -> QWidget * { return new frmSetMenu; }},
    {ScreenId::DataInput, []() -> QWidget * { return new frmDataInput; }},
    {ScreenId::KojinEdit, []() -> QWidget * { return new frmKojinEdit; }},
    {ScreenId::ListEdit, []() -> QWidget * { return new frmListEdit; }},
    {ScreenId::LANset,
     []() -> QWidget * {
         frmLANset::setHelpHandler(showHelp);
         return new frmLANset;
     }},
    {ScreenId::MasSet, []() -> QWidget * { return new frmMasSet; }},
    {ScreenId::CardSet, []() -> QWidget * { return new frmCardSet; }},
    {ScreenId::KubunSet, []() -> QWidget * { return new frmKubunSet; }},
    {ScreenId::Calendar, []() -> QWidget * { return new frmCalendar; }},
    {ScreenId::FileOut, []() -> QWidget * { return new frmFileOut; }},
    {ScreenId::ListPrint, []() -> QWidget * { return new frmListPrint; }},
};

const Maker *find(ScreenId screen)
{
    for (const Maker &m : kMakers)
        if (m.screen == screen)
            return &m;
    return nullptr;
}

} // namespace

QWidget *createScreen(ScreenId screen)
{
    const Maker *m = find(screen);
    return m ? m->make() : nullptr;
}

bool screenAvailable(ScreenId screen) { return find(screen) != nullptr; }
