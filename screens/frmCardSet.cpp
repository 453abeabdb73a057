#include "frmCardSet.h"

#include "ScreenTable.h"

frmCardSet::frmCardSet(QWidget *parent) : EmployeeGrid(Mode::Card, parent)
{
    setObjectName(formName(ScreenId::CardSet));
    setWindowTitle(screenTitle(ScreenId::CardSet));
    load();
}
