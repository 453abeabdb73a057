#include "frmCardSet.h"

frmCardSet::frmCardSet(QWidget *parent)
    : EmployeeGrid(Mode::Card, parent)
{
    setObjectName(QStringLiteral("frmCardSet"));
    setWindowTitle(QStringLiteral("frmCardSet"));
    load();
}
