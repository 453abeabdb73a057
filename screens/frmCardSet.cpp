#include "frmCardSet.h"

frmCardSet::frmCardSet(QWidget *parent)
    : EmployeeGrid(Mode::Card, parent)
{
    setObjectName(QStringLiteral("frmCardSet"));
    setWindowTitle(QStringLiteral("カード番号登録"));
    load();
}
