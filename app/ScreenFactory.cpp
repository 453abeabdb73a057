#include "ScreenFactory.h"

#include "frmSetMenu.h"
#include "HelpCalls.h"
#include "frmDataInput.h"
#include "frmLANset.h"
#include "frmCalendar.h"
#include "frmCardSet.h"
#include "frmKubunSet.h"
#include "frmMasSet.h"
#include "frmKojinEdit.h"
#include "frmListEdit.h"
#include "frmListPrint.h"
#include "frmFileOut.h"

#include <QWidget>

namespace {

struct Entry {
    const char *formName;
    QWidget *(*make)();
};

// One line per screen, in menu order.
const Entry kScreens[] = {
    {"frmSetMenu", []() -> QWidget * { return new frmSetMenu; }},
    {"frmDataInput", []() -> QWidget * { return new frmDataInput; }},
    {"frmKojinEdit", []() -> QWidget * { return new frmKojinEdit; }},
    {"frmListEdit", []() -> QWidget * { return new frmListEdit; }},
    {"frmLANset", []() -> QWidget * { frmLANset::setHelpHandler(showHelp); return new frmLANset; }},
    {"frmMasSet", []() -> QWidget * { return new frmMasSet; }},
    {"frmCardSet", []() -> QWidget * { return new frmCardSet; }},
    {"frmKubunSet", []() -> QWidget * { return new frmKubunSet; }},
    {"frmCalendar", []() -> QWidget * { return new frmCalendar; }},
    {"frmFileOut", []() -> QWidget * { return new frmFileOut; }},
    {"frmListPrint", []() -> QWidget * { return new frmListPrint; }},
};

const Entry *find(const QString &formName)
{
    for (const Entry &e : kScreens)
        if (formName == QLatin1String(e.formName))
            return &e;
    return nullptr;
}

} // namespace

QWidget *createScreen(const QString &formName)
{
    const Entry *e = find(formName);
    return e ? e->make() : nullptr;
}

bool screenAvailable(const QString &formName) { return find(formName) != nullptr; }
