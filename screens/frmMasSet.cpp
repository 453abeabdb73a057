#include "frmMasSet.h"

#include "ScreenTable.h"

frmMasSet::frmMasSet(QWidget *parent) : EmployeeGrid(Mode::Master, parent)
{
    setObjectName(formName(ScreenId::MasSet));
    setWindowTitle(screenTitle(ScreenId::MasSet));
    load();
}
